#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QUrl>
#include <functional>

class QFrame;
class QLabel;
class QTimer;
class TScrollingCredits;

// How long the splash waits: the start-up splash stays up this long after it
// is shown, the credits start scrolling this long after they are opened.
// Tests shorten them.
struct TSplashTimings {
    int StartupMs = 2000;
    int CreditsDelayMs = 4000;
};

// The splash window: shown while the program starts, and again, modally, as
// the About window of the main window.
//
// A borderless, always-on-top picture (JPG_SPLASH, the window sized to it and
// cut to a rounded rectangle) with the version, the maker, and in About mode
// the "Close" and "Credits" links. Dragging anywhere on it moves it, except on
// the links while they can be clicked.
//
// Start-up mode: the window cannot be closed by the user; Timer1's first tick
// closes and frees it. About mode: Escape or "Close" closes it; "Credits"
// shows the credits panel, which starts scrolling a moment later. Whenever it
// goes, it calls OnReleased (the main window applies its colour scheme again).
class TfrmSplash : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmSplash(QWidget* parent = nullptr, const TSplashTimings& timings = {});

    // "Version 1.2.1": the program's major, minor and release numbers.
    static QString VersionText();
    // The maker's web page, opened by a click on the company label.
    static QUrl CompanyUrl();

    // Not modal; the window frees itself when Timer1 releases it.
    void ShowForStartup();
    // Modal; returns when the window is closed. The caller frees the window.
    int ShowAbout();

    // The user may close the window: not while the start-up timer runs.
    bool CanClose() const;

    // Called once when the window goes: closed in About mode or released after start-up.
    std::function<void()> OnReleased;
    // Opens a web page; the desktop's browser when unset.
    std::function<void(const QUrl&)> OnOpenWebPage;

public slots:
    void reject() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class TTimerAction { Release, StartScrolling };

    void CreateControls();
    void CentreOnScreen();
    bool LinksClickable() const;
    void LinkClicked(QLabel* link);
    void laCreditsClick();
    void Timer1Timer();

    TSplashTimings m_timings;
    TTimerAction m_timerAction = TTimerAction::Release;
    bool m_released = false;
    QLabel* m_pressedLink = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;

    QLabel* imgSplash;
    QLabel* laVersion;
    QLabel* laClose;
    QLabel* laCredits;
    QLabel* laCompany;
    QFrame* bvMarquee;
    TScrollingCredits* Marquee;
    QTimer* Timer1;
};
