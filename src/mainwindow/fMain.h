#pragma once

#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QByteArray>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class IDesktop;
class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QFrame;
class QKeyEvent;
class QLocalServer;
class QMenu;
class QPainter;
class QResizeEvent;
class QSessionManager;
class TCustomDrawnSplitter;
class TMainLayoutManager;
class TMonitoredFolderCommands;
class QSystemTrayIcon;
struct TDropData;

// The program's only top-level window and the owner of its command set: the
// main menu cmMain, the work area (toolbar strip, browsers, task assistant,
// bottom panel, status bar), the tray icon with its menu popTrayBar and its
// balloons, the drop target, and the rules that keep the program from ending
// while edited entries are unsaved.
//
// Closing the window with "Show tray bar icon" on hides it to the tray
// instead; only Exit (menu, tray menu, Ctrl+Q) ends the program then. A
// desktop without a notification area has nowhere to bring a hidden window
// back from: there the close button acts as Exit, "Send to tray bar" (Ctrl+T)
// minimizes the window, and the notices meant for balloons appear in the
// window's status bar. The window emits FormClosed when a close has been
// allowed: the start-up code ends the message loop on it.
//
// A second start of the program asks the running one to come to the front
// (message 2025) through a local server named after the window class, per
// user; the window listens once ListenForActivation has been called.
//
// Test aid: when TESSARYN_ACTIVATION_LOG names a file, every DoActivate
// appends a line "activated <process id>" to it, so that tests driving the
// program as a separate process can see the activation.
class TfrmEntryBrowser;
class TfrmBookBrowser;
class TfrmBookmarkSetBrowser;
class TfrmCategoryBrowser;

class TfrmTessarynMain : public TFrmStatusBarMain, public IColorSchemeObserver
{
    Q_OBJECT

public:
    static const QString ApplicationTitle;
    static const QString TrayTip;
    static const QString UnsavedEntriesText;
    // The notice after a drop or a paste wrote files into the monitored
    // folder; %1 lists their names.
    static const QString StoredInMonitoredFolderText;
    // The activation message a second instance sends, and the answer it
    // waits for: sent when the running window has handled it.
    static const QByteArray ActivateMessage;
    static const QByteArray ActivatedAnswer;
    static constexpr int BalloonTimeoutMs = 1500;
    static constexpr int BalloonTextLimit = 255;
    static constexpr int BalloonTitleLimit = 63;
    static constexpr int HelpContents = 1000;
    static constexpr int HelpQuickStart = 18;
    static constexpr int HelpHowDoI = 62;
    // F1 on the window, and on the toolbar strip
    static constexpr int HelpWindow = 1;
    static constexpr int HelpToolBar = 7;

    // The local server of the running instance: "TfrmTessarynMain" in the
    // user's runtime folder.
    static QString ActivationServerName();
    // <executable folder>/help/<context>.html
    static QString HelpPage(int context);
    // Opens the page of that help context; a missing page opens nothing.
    static void OpenHelpPage(IDesktop& desktop, int context);

    explicit TfrmTessarynMain(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmTessarynMain() override;

    // Starts answering second instances; false when the name cannot be taken.
    bool ListenForActivation(const QString& serverName = ActivationServerName());

    // Whether the desktop has a notification area for the tray icon now.
    // Asks Qt unless replaced (tests do: the offscreen platform has none).
    std::function<bool()> SystemTrayAvailable;

    // Operations other windows call
    // A balloon on the tray icon, text and title cut to their limits. Where
    // no balloon can be shown (no tray icon, a desktop without a notification
    // area or balloons) the text goes into the status bar instead. True when
    // the notice was shown one way or the other.
    bool ShowBalloon(const QString& text, const QString& title);
    void ApplyColorScheme() override;
    void SetWaitCursor();
    void SetDefaultCursor();
    void ShowTrayIcon();
    void HideTrayIcon();

    void DoActivate();
    void DoExitApplication();
    // Hides the window; only the tray icon or a second start brings it back.
    void HideToTrayBar();

    bool HiddenInTrayBar() const { return m_hiddenInTrayBar; }
    bool ExitRequested() const { return m_exitRequested; }
    // The tray icon, while "Show tray bar icon" has it added (whether or not
    // the desktop has a notification area to show it in).
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    QMenu* TrayMenu() const { return popTrayBar; }

    // Keys seen before the window's controls: F1, Ctrl+F, Ctrl+Q, Ctrl+T.
    bool FormKeyDown(QKeyEvent* event) override;
    // The rule of the log-off and shut-down query: false (after the warning,
    // with the window brought forward) while open entries have unsaved changes.
    bool QueryEndSession();
    // Stores the settings at once, as the desktop's session ends.
    void CommitSessionData();

    // What a drop on the window, or a paste into the monitored folder (which
    // the capture engine presents as a drop that is not real), does with its
    // data; returns the files written into the monitored folder.
    QStringList DropComboTarget1Drop(const TDropData& data);

    // The left panel: the category browser, the bookmark-set browser or
    // the book browser, or nothing (the search box). Each Show makes (or
    // keeps) its browser and closes the others; CloseLeftBrowser closes
    // whichever is open.
    void ShowCategoryBrowser();
    void ShowBookmarkSetBrowser();
    void ShowBookBrowser();
    void CloseLeftBrowser();
    TfrmCategoryBrowser* CategoryBrowser() const { return m_categoryBrowser; }
    TfrmBookmarkSetBrowser* BookmarkSetBrowser() const { return m_bookmarkSetBrowser; }
    TfrmBookBrowser* BookBrowser() const { return m_bookBrowser; }
    // Opens the bookmark-set manager modally; after a save the bookmark-set
    // browser shows the changed sets.
    void miManageBookmarkSetsClick();
    TfrmEntryBrowser* EntryBrowser() const { return m_entryBrowser; }
    // Opens the category manager modally; the category browser stays where
    // it was and shows the changed tree afterwards.
    void acManageCategoriesExecute();
    // The Database menu: statistics, compaction, backup and restore.
    void miDatabaseStatisticsClick();
    // Queued, so the command that asked has returned before the window opens.
    void acPreferencesExecute();
    // The preferences window at the page of that link, modal.
    void ShowPreferences(const QString& linkName);
    void miDatabaseCompactClick();
    void miDatabaseBackupClick();
    void miDatabaseRestoreClick();

    // The strip is a gradient unless the palette was made for a display of
    // fewer than 24 bits, whose highlight is flat.
    bool GradientStrip() const;
    // A new height of the bottom panel is accepted only while 250 pixels of
    // the window's client height remain for the rest.
    bool splitterHorizontalCanResize(int newHeight) const;

    // The work area's layout: browsers, panels, task assistant, toolbar.
    TMainLayoutManager& LayoutManager() const { return *m_layout; }

signals:
    // A close has been allowed: the program ends.
    void FormClosed();

protected:
    // The first showing applies the stored layout; every showing refreshes
    // the command states.
    void FormShow() override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TMainLayoutManager;
    void FormCreate();
    void CreateLayout();
    void CreateMenus();
    void CreateTrayMenu();
    QAction* AddCommand(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                        QChar shortcut = QChar(), void (TfrmTessarynMain::*handler)() = nullptr);
    void AddTrayIcon();
    void RemoveTrayIcon();
    // Tells the activation log, when a test asked for one.
    static void LogActivation();
    void ActivationConnection();
    void SessionEndQuery(QSessionManager& manager);
    void PaintBoxPaint(QPainter& painter);
    bool FormCloseQuery();
    // The tray can take the window: the setting is on and the desktop has a
    // notification area.
    bool CanHideToTray() const;
    void LimitBottomPanel();
    void OpenHelp(int context);
    void Explore(const QString& folder);
    // Pastes the clipboard into the monitored folder; handling 0 keeps the
    // "Clipboard text handling" setting, 2 and 3 force HTML or plain text.
    void PasteIntoMonitoredFolder(int handling);
    // Runs a command of the engine; its errors reach the user as messages.
    void RunCommand(const std::function<void()>& command);

    // Command handlers
    void NewEntryFromMonitoredFolder();
    void NewEntryFromClipboard();
    void miNewEntryFromQuickNoteClick();
    void NewEntryFromClipboardAsHTML();
    void NewEntryFromClipboardAsPlainText();
    void PasteFromClipboard();
    void PasteAsHtml();
    void PasteAsText();
    void acOpenMonitoredFolderExecute();
    void acWN_OpenEntriesExecute();
    void acOpenExtractFolderExecute();
    void miOpenExportFolderClick();
    // Hides the window to the tray, or minimizes it when the desktop has no
    // notification area to bring it back from.
    void acSendToTrayBarExecute();
    void miHelpContentsClick();
    void miQuickStartClick();
    void miHowdoIClick();
    void miAboutClick();
    void miSearchClick();
    void miBrowseByCategoryClick();

    bool m_hiddenInTrayBar = false;
    bool m_exitRequested = false;
    // The session is ending and the query allowed it: a close then ends the
    // program even with the tray icon on.
    bool m_sessionEnding = false;
    QPixmap m_logo;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QLocalServer* m_activationServer = nullptr;
    TMainLayoutManager* m_layout = nullptr;
    bool m_layoutLoaded = false;
    TMonitoredFolderCommands* m_monitoredFolder = nullptr;

    // Layout
    QFrame* paToolBar;
    QWidget* PaintBox;
    QWidget* paMain;
    QFrame* paTaskAssistant;
    QWidget* paTop;
    TCustomDrawnSplitter* splitterHorizontal;
    TCustomDrawnSplitter* splitterVertical;
    QFrame* paLeft;
    QFrame* paBrowse;
    QFrame* paAuxiliary;

    // Menus
    QMenu* popTrayBar;
    QAction* miSendToTrayBar;
    QAction* miApplicationSeparator1;
    QAction* Sendtotraybar1;
    QAction* miSearch;
    QAction* miBrowseByCategory;
    QAction* miBrowseByBookmarkSet;
    QAction* miManageCategories;
    TfrmEntryBrowser* m_entryBrowser = nullptr;
    TfrmCategoryBrowser* m_categoryBrowser = nullptr;
    TfrmBookmarkSetBrowser* m_bookmarkSetBrowser = nullptr;
    TfrmBookBrowser* m_bookBrowser = nullptr;
    // Where the category browser was when it closed, for its next opening.
    int m_lastCategoryBrowsed = -1;
    int m_lastCategoryEntry = 0;
    // The same for the bookmark-set browser.
    int m_lastBookmarkSetBrowsed = -1;
    int m_lastBookmarkSetEntry = 0;
    // Closes the left browsers other than the one wanted.
    void CloseOtherBrowsers(const QWidget* keep);
    // Reopens the bookmark-set browser with the sets as they are now.
    void ReopenBookmarkSetBrowser();
};
