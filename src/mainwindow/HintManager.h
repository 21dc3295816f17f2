#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The program shows no tooltips. The hint of the control under the mouse
// (its status tip, or the nearest one of its parents inside its window) and
// of the highlighted menu item becomes the application's current hint, which
// the status bar window the mouse is over shows (IStatusBarWindow).
//
// One instance for the whole program, made at start-up before any window
// exists: it watches every event of the application, swallows every tooltip
// request and every status tip (so no QStatusBar of Qt's ever competes with
// the program's own status bars), and routes the hints. Destroying it removes
// it again.
class THintManager : public QObject
{
    Q_OBJECT

public:
    explicit THintManager(QObject* parent = nullptr);
    ~THintManager() override;

    // The instance in use, null when there is none.
    static THintManager* Instance();
    // The application's current hint text; empty without an instance.
    static QString ApplicationHint();

    QString Hint() const { return m_hint; }
    // Makes `hint` the current hint and has the status bar window that holds
    // `source` show it. Without a source, or when that window carries no
    // status bar, only the text changes.
    void SetHint(const QString& hint, QWidget* source);

    // The hint of a control: its status tip, or the first non-empty one of
    // its parents up to and including its window.
    static QString HintOf(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_hint;
};
