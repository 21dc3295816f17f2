#pragma once

#include "app/IDesktop.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class QSystemTrayIcon;
class QWidget;

// The desktop interface realised with Qt widgets: message boxes, the tray,
// the shell, the pickers, the password window and the wait cursor.
class TWidgetDesktop : public QObject, public IDesktop
{
    Q_OBJECT

public:
    struct TNotice {
        QString title;
        QString text;
    };
    // Notices that found no tray; the oldest go first once the list is full.
    static constexpr int kKeptNoticesLimit = 50;

    explicit TWidgetDesktop(QObject* parent = nullptr);
    // Restores the cursor when work still had the wait cursor up.
    ~TWidgetDesktop() override;

    // The owner of message boxes and dialogs when no window of the program
    // is active; otherwise the active modal window, or else the active
    // window, owns them.
    void SetParentWindow(QWidget* window);
    // The tray icon that shows notices as balloons, set by the main window
    // once it has made one. The icon stays the caller's.
    void SetTrayIcon(QSystemTrayIcon* trayIcon);
    // Caption of the message boxes, "Tessaryn" unless changed.
    void SetCaption(const QString& caption);
    QString Caption() const { return m_caption; }
    QList<TNotice> KeptNotices() const { return m_keptNotices; }
    int WaitDepth() const { return m_waitDepth; }

    TAnswer MessageBox(const QString& text, TMsgKind kind, TButtons buttons) override;
    void Notice(const QString& title, const QString& text) override;
    bool ShellOpen(const QString& path) override;
    bool ShellExplore(const QString& folder) override;
    void ShowFileProperties(const QString& path) override;
    std::optional<QString> RequestEntryPassword(int code, const QString& title) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& value) override;
    QString PickFolder(const QString& caption, const QString& start) override;
    // The filter in Qt's form: "Text files (*.txt);;All files (*)".
    QString PickOpenFile(const QString& caption, const QString& start, const QString& filter) override;
    QString PickSaveFile(const QString& caption, const QString& start, const QString& filter) override;
    void BeginWait() override;
    void EndWait() override;
    void BeginProgress(const QString& text, bool cancellable) override;
    bool StepProgress(qint64 done, qint64 total) override;
    void EndProgress() override;
    // The progress window of the outermost running work, while there is one.
    QProgressDialog* ProgressDialog() const { return m_progress; }

signals:
    // A notice that could not be shown in the tray (there is none, or the
    // desktop has no notification area); it is also kept in KeptNotices.
    void noticeShown(const QString& title, const QString& text);

private:
    QWidget* DialogParent() const;

    QPointer<QWidget> m_parentWindow;
    QPointer<QSystemTrayIcon> m_trayIcon;
    QString m_caption;
    QList<TNotice> m_keptNotices;
    int m_waitDepth = 0;
    QPointer<QProgressDialog> m_progress;
    int m_progressDepth = 0;
    qint64 m_lastEvents = 0;
};
