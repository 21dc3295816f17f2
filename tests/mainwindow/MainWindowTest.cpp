#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "app/fSplash.h"
#include "browsing/EntryGrid.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "browsing/fCategoryBrowser.h"
#include "browsing/fEntryBrowser.h"
#include "controls/BTreeView.h"
#include "controls/DropDownPanelWLabels.h"
#include "controls/MenuStyle.h"
#include "controls/RecordListGrid.h"
#include "editing/fSelectBookmarkSet.h"
#include "organisation/fBookmarkSetManager.h"
#include "editing/fSelectCategories.h"
#include "organisation/fCategories.h"
#include "preferences/fPreferences.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/MostUsedCategories.h"
#include "engine/OpenEntries.h"
#include "mainwindow/CategoryMenu.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/TaskAssistant.h"
#include "mainwindow/ToolbarAssistant.h"
#include "mainwindow/fMain.h"
#include "mainwindow/fTaskAssistant.h"
#include "settings/MruDropDown.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QPainter>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QSqlError>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

// Work (with Beta and Alpha below it) and R&D, a category without children.
constexpr int kWork = 10;
constexpr int kBeta = 11;
constexpr int kAlpha = 12;
constexpr int kResearch = 13;

// The test desktop, with the tray notices also handed to the main window
// the way the program's own desktop hands them (TApplicationDesktop).
class NoticeRoutingDesktop : public RecordingDesktop {
public:
    std::function<bool(const QString& title, const QString& text)> NoticeChannel;

    void Notice(const QString& title, const QString& text) override
    {
        RecordingDesktop::Notice(title, text);
        if (NoticeChannel)
            NoticeChannel(title, text);
    }
};

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TAppResources::Register()); }

    void SetUp() override
    {
        db = TestDatabase::Create(TEngine::SQLite);
        conn = db->Connect();
        QSqlQuery q(conn->Database());
        for (const QString& row : {QString("%1, 0, 'Work'").arg(kWork), QString("%1, %2, 'Beta'").arg(kBeta).arg(kWork),
                                   QString("%1, %2, 'Alpha'").arg(kAlpha).arg(kWork),
                                   QString("%1, 0, 'R&D'").arg(kResearch)})
            ASSERT_TRUE(q.exec("insert into categories (code, parent, name) values (" + row + ")"))
                << q.lastError().text().toStdString();
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        main->EntryManager().OpenEntries().ShowEditor = [this](TEntryData* entry, bool isNew) {
            edited.append({entry, isNew});
        };
    }

    void TearDown() override
    {
        desktop.NoticeChannel = nullptr;
        window.reset();
        main.reset();
        conn.reset();
        db.reset();
        QGuiApplication::clipboard()->clear();
    }

    TfrmTessarynMain& Open(bool trayIcon)
    {
        main->App.ShowTrayIcon = trayIcon;
        window = std::make_unique<TfrmTessarynMain>(*main);
        TfrmTessarynMain* w = window.get();
        desktop.NoticeChannel = [w](const QString& title, const QString& text) { return w->ShowBalloon(text, title); };
        // the window installs the entry editors; these tests only record what would open
        main->EntryManager().OpenEntries().ShowEditor = [this](TEntryData* entry, bool isNew) {
            edited.append({entry, isNew});
        };
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        Activate(window.get());
        return *window;
    }

    static void Activate(QWidget* w)
    {
        w->activateWindow();
        QApplication::setActiveWindow(w);
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    }

    QAction* Command(const QString& name) const
    {
        QAction* action = window->findChild<QAction*>(name);
        EXPECT_TRUE(action) << name.toStdString();
        return action;
    }

    static QStringList Names(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }

    // Drops the text on the window the way a drag from another program ends.
    void DropText(const QString& text)
    {
        QMimeData mime;
        mime.setText(text);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
    }

    // The text of the window's status bar.
    QString StatusText() const { return window->findChild<QLabel*>("paHint")->text(); }

    // A key typed by the user: it goes to the widget with the keyboard focus,
    // or to the active window when nothing in it has the focus.
    static void TypeKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
    }

    NoticeRoutingDesktop desktop;
    QString home;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TdmConnection> conn;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmTessarynMain> window;
    QList<std::pair<TEntryData*, bool>> edited;
};

} // namespace

TEST_F(MainWindow, LayoutOfTheWorkArea)
{
    TfrmTessarynMain& w = Open(false);
    EXPECT_STREQ(w.metaObject()->className(), "TfrmTessarynMain");
    EXPECT_EQ(w.windowTitle(), "Tessaryn");
    EXPECT_EQ(w.minimumSize(), QSize(700, 520));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.findChild<QWidget*>("paToolBar")->height(), 48);
    EXPECT_EQ(w.findChild<QWidget*>("paBottom")->height(), 19);
    // a first start: the categories on the left, the task assistant on the
    // right, the bottom panel hidden
    EXPECT_TRUE(w.findChild<QWidget*>("paAuxiliary")->isHidden());
    for (const char* shown : {"paMain", "paTop", "paBrowse", "paLeft", "paTaskAssistant", "PaintBox"})
        EXPECT_TRUE(w.findChild<QWidget*>(shown)->isVisible()) << shown;
    EXPECT_EQ(w.findChild<QWidget*>("paTaskAssistant")->maximumWidth(), 255);
    // the bottom row stays at the bottom, the strip at the top
    EXPECT_EQ(w.findChild<QWidget*>("paToolBar")->mapTo(&w, QPoint(0, 0)).y(), w.menuBar()->height());
    QWidget* bottom = w.findChild<QWidget*>("paBottom");
    EXPECT_EQ(bottom->mapTo(&w, QPoint(0, 0)).y() + bottom->height(), w.height());
}

TEST_F(MainWindow, MenuCommandsCarryTheirCaptionsHintsShortcutsAndStates)
{
    Open(true);
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
        const char* shortcut;
        bool enabled;
        bool visible;
    } rows[] = {
        {"miNewEntry", "New entry", "Create a new entry using various methods", "", true, true},
        {"miNewEntryFromMonitoredFolder", "From monitored folder files",
         "Creates a new entry from files contained in the \"monitored folder\"", "", true, true},
        {"miNewEntryFromClipboard", "From clipboard contents",
         "Creates a new entry from clipboard contents (files, text, etc)", "", true, true},
        {"miNewEntryFromQuickNote", "From a \"Quick Note\"",
         "Lets you write some text in an editor window and creates a new entry with this text", "", true, true},
        {"miNewEntryFromClipboardAsHTML", "From clipboard contents (as HTML)",
         "Creates a new entry from clipboard contents in HTML format", "", true, true},
        {"miNewEntryFromClipboardAsPlainText", "From clipboard contents (as plain text)",
         "Creates a new entry from clipboard contents in plain text format", "", true, true},
        {"miMonitoredFolder", "Monitored folder", "", "", true, true},
        {"miPasteFromClipboard", "Paste from clipboard", "Paste clipboard contents into files in monitored folder", "",
         true, true},
        {"miPasteAsHtml", "Paste from clipboard as HTML",
         "Paste clipboard contents into an HTML file in monitored folder", "", true, true},
        {"miPasteAsText", "Paste from clipboard as plain text",
         "Paste clipboard contents into a plain text (.TXT) file in monitored folder", "", true, true},
        {"miManageMonitoredFolder", "Manage files",
         "View monitored folder to select files to store in Tessaryn entries", "", true, true},
        {"miOpenMonitoredFolder", "Explore", "Opens monitored folder to view / edit files", "", true, true},
        {"miClear", "Clear", "Click to empty all files from monitored folder", "", true, true},
        {"miBrowse", "Browse", "Browse entries by category, book, bookmark sets, etc", "", true, true},
        // (a first start browses the categories already)
        {"miBrowseByCategory", "Categories", "Browse entries by category", "Ctrl+G", false, true},
        {"miBrowseByBook", "Books", "Browse the books you have created", "", false, false},
        {"miBrowseByBookmarkSet", "Bookmark sets", "Browse bookmark sets", "Ctrl+K", true, true},
        {"miSearch", "Search", "Search for certain words or phrases", "Ctrl+F", true, true},
        {"miOrganize", "Organize", "Management of categories, bookmark sets, folder, etc.", "", true, true},
        {"miManageCategories", "Manage categories", "Add, delete, change categories", "", true, true},
        {"miManageBookmarkSets", "Manage bookmark sets", "Add, delete, change bookmark sets", "", true, true},
        {"miStartMonitoring", "Start monitoring folder", "Start monitoring for folder changes", "", false, true},
        // the folder is watched from the start
        {"miStopMonitoring", "Stop monitoring folder", "Stop monitoring folder changes", "", true, true},
        {"miView", "View", "", "", true, true},
        {"miViewOpenEntries", "Open entries", "Show the window with the entries currently open for editing", "", true,
         true},
        {"miViewTaskAssistant", "Task Assistant", "Show / hide the task assistant", "", true, true},
        {"miViewBottomPanel", "Bottom panel", "", "", false, false},
        {"miOpenExtractFolder", "\"Extract\" folder", "Opens folder into which files are extracted temporarily", "",
         true, true},
        {"miOpenExportFolder", "Open \"export\" folder",
         "Opens folder into which application exports entries (e.g. as .HTML, etc.)", "", true, true},
        {"miDatabase", "Database", "", "", true, true},
        {"miDatabaseStatistics", "Statistics", "View the total number of entries, categories etc. in the database", "",
         true, true},
        {"miDatabaseCompact", "Compact", "Shrinks Tessaryn database to minimize the disk space it occupies", "", true,
         true},
        {"miDatabaseBackup", "Backup", "Backs up Tessaryn database to a folder you will be asked to specify.", "",
         true, true},
        {"miDatabaseRestore", "Restore", "Restores Tessaryn database from a backup file you have previously created",
         "", true, true},
        {"miApplication", "Application", "Hide / minimize / exit this application", "", true, true},
        {"miSendToTrayBar", "Send to tray bar", "Hides this window (leaves the application icon in the tray bar)",
         "Ctrl+T", true, true},
        {"miPreferences", "Settings", "Edit application settings", "", true, true},
        {"miExit", "Exit", "Exit Tessaryn", "Ctrl+Q", true, true},
        {"miHelp", "Help", "", "", true, true},
        {"miHelpContents", "Contents", "Shows Tessaryn help contents", "", true, true},
        {"miQuickStart", "Quick Start !", "Help on how you can get started ", "", true, true},
        {"miHowdoI", "How do I...", "", "", true, true},
        {"miAbout", "About", "About Tessaryn...", "", true, true},
        // the tray menu
        {"miActivate", "Activate", "", "", true, true},
        {"Sendtotraybar1", "Send to tray bar", "", "Ctrl+T", false, false},
        {"miPopPreferences", "Settings", "Edit application settings", "", true, true},
        {"miPopExit", "Exit", "Exits the application permanently", "Ctrl+Q", true, true},
    };
    QStringList seen;
    for (const auto& row : rows) {
        QAction* action = Command(row.name);
        if (!action)
            continue;
        seen << row.name;
        EXPECT_EQ(action->text(), row.caption) << row.name;
        EXPECT_EQ(action->statusTip(), row.hint) << row.name;
        EXPECT_EQ(action->shortcut().toString(), row.shortcut) << row.name;
        EXPECT_EQ(action->isEnabled(), row.enabled) << row.name;
        EXPECT_EQ(action->isVisible(), row.visible) << row.name;
    }
    // The headings in their order, and no command outside the table.
    QStringList headings;
    for (QAction* a : window->menuBar()->actions())
        headings << a->text();
    EXPECT_EQ(headings, QStringList({"New entry", "Monitored folder", "Browse", "Organize", "View", "Database",
                                     "Application", "Help"}));
    EXPECT_EQ(window->menuBar()->objectName(), "cmMain");
    EXPECT_EQ(window->TrayMenu()->objectName(), "popTrayBar");
    // (the embedded entry browser brings its own popup commands)
    for (QAction* a : window->findChildren<QAction*>()) {
        bool ofBrowser = false;
        for (QObject* o = a->parent(); o && !ofBrowser; o = o->parent())
            ofBrowser = o->objectName() == "frmEntryBrowser";
        if (!ofBrowser && !a->isSeparator() && a->objectName().startsWith("mi") && a->objectName() != "miMonitor") {
            EXPECT_TRUE(seen.contains(a->objectName())) << a->objectName().toStdString();
        }
    }
    EXPECT_FALSE(Command("miMonitor")->isVisible());
    EXPECT_TRUE(Command("miViewTaskAssistant")->isCheckable());
}

TEST_F(MainWindow, SettingsCommandsOpenThePreferencesAfterTheCommandReturns)
{
    Open(true);
    QStringList opened;
    TFrmPreferences::ExecuteHook = [&](TFrmPreferences& preferences) {
        opened << preferences.CurrentLink();
        return int(QDialog::Rejected);
    };
    Command("miPreferences")->trigger();
    EXPECT_TRUE(opened.isEmpty()) << "posted, not opened inside the command";
    EXPECT_TRUE(TestEnv::WaitFor([&] { return opened.size() == 1; }));
    Command("miPopPreferences")->trigger();
    EXPECT_TRUE(TestEnv::WaitFor([&] { return opened.size() == 2; }));
    TFrmPreferences::ExecuteHook = nullptr;
    EXPECT_EQ(opened, QStringList({"laEntryBrowsing", "laEntryBrowsing"}));
}

TEST_F(MainWindow, TraySettingDecidesWhetherClosingHidesOrEnds)
{
    TfrmTessarynMain& w = Open(true);
    w.SystemTrayAvailable = [] { return true; };   // a desktop with a notification area
    QSignalSpy closed(&w, &TfrmTessarynMain::FormClosed);
    ASSERT_TRUE(w.TrayIcon());
    EXPECT_EQ(w.TrayIcon()->toolTip(), "[Tessaryn] - (left-click to activate)");
    EXPECT_EQ(w.TrayIcon()->contextMenu(), w.TrayMenu());

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(w.HiddenInTrayBar());
    EXPECT_EQ(closed.count(), 0);

    // the tray menu's Activate brings it back
    Command("miActivate")->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.HiddenInTrayBar());

    // the setting switched off takes the icon and the tray command away
    main->SetShowTrayIcon(false);
    EXPECT_FALSE(w.TrayIcon());
    EXPECT_FALSE(Command("miSendToTrayBar")->isVisible());
    EXPECT_FALSE(Command("miApplicationSeparator1")->isVisible());
    EXPECT_TRUE(w.close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(MainWindow, UnsavedEntryBlocksExitUntilItIsClosedAndExitStaysRequested)
{
    TfrmTessarynMain& w = Open(true);
    w.SystemTrayAvailable = [] { return true; };   // a desktop with a notification area
    QSignalSpy closed(&w, &TfrmTessarynMain::FormClosed);
    main->App.EditMultipleEntries = true;
    auto* entry = new TEntryData(*main, false);   // a new entry counts as modified
    entry->SetCode(77);
    main->EntryManager().OpenEntries().OpenForEditing(entry, true);
    ASSERT_TRUE(main->EntryManager().OpenEntries().AnyModified());

    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, TfrmTessarynMain::UnsavedEntriesText);
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::Ok);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.ExitRequested());
    EXPECT_EQ(closed.count(), 0);
    // the log-off query gives the same answer
    EXPECT_FALSE(w.QueryEndSession());
    EXPECT_EQ(desktop.messages.size(), 2);

    main->EntryManager().OpenEntries().CloseEntry(entry);
    EXPECT_TRUE(w.QueryEndSession());
    // a plain close now ends the program, although the tray icon is on
    EXPECT_TRUE(w.close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(w.HiddenInTrayBar());
}

TEST_F(MainWindow, KeysOfTheWindow)
{
    TfrmTessarynMain& w = Open(false);
    QSignalSpy closed(&w, &TfrmTessarynMain::FormClosed);

    // Ctrl+F takes the keyboard to the entry browser's search box
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w.isVisible());
    QWidget* search = w.findChild<QWidget*>("edSearch");
    ASSERT_NE(search, nullptr);
    EXPECT_TRUE(TestEnv::WaitFor([&] { return search->hasFocus() || QApplication::focusWidget() == search; }, 2000));
    // the window's keys still work while the search box has the keyboard
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(w.isVisible());
    w.setFocus();
    // a T without exactly Ctrl is no command
    QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(w.isVisible());

    // Ctrl+T hides the window also without a tray icon to bring it back with,
    // on a desktop that has a notification area
    w.SystemTrayAvailable = [] { return true; };
    QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(w.HiddenInTrayBar());
    EXPECT_FALSE(w.TrayIcon());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

// A desktop without a notification area (a bare window manager): nothing
// could bring a hidden window back, so nothing hides it.
TEST_F(MainWindow, WithoutANotificationAreaTheWindowNeverHidesIntoNothing)
{
    TfrmTessarynMain& w = Open(true);
    w.SystemTrayAvailable = [] { return false; };
    QSignalSpy closed(&w, &TfrmTessarynMain::FormClosed);

    // "Send to tray bar", by key and by menu, minimizes instead
    const std::function<void()> sendToTray[] = {[] { TypeKey(Qt::Key_T, Qt::ControlModifier); },
                                                [this] { Command("miSendToTrayBar")->trigger(); }};
    for (const auto& send : sendToTray) {
        send();
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.isMinimized());
        EXPECT_FALSE(w.HiddenInTrayBar());
        w.DoActivate();
        ASSERT_FALSE(w.isMinimized());
    }

    // the close button is Exit, with Exit's rule about unsaved entries
    main->App.EditMultipleEntries = true;
    auto* entry = new TEntryData(*main, false);
    entry->SetCode(77);
    main->EntryManager().OpenEntries().OpenForEditing(entry, true);
    EXPECT_FALSE(w.close());
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmTessarynMain::UnsavedEntriesText});
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.HiddenInTrayBar());
    EXPECT_EQ(closed.count(), 0);
    main->EntryManager().OpenEntries().CloseEntry(entry);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(closed.count(), 1);
}

// The notices a tray would show as balloons appear in the status bar when
// there is no tray: after a save, a move and a paste into the monitored folder.
TEST_F(MainWindow, WithoutANotificationAreaNoticesAppearInTheStatusBar)
{
    TfrmTessarynMain& w = Open(true);
    w.SystemTrayAvailable = [] { return false; };
    TfrmEntryBrowser* browser = w.EntryBrowser();
    const QString monitored = main->App.MonitoredFolder;

    const struct {
        const char* action;
        std::function<void()> run;
        QString expected;   // a regular expression for the whole text
    } cases[] = {
        {"save",
         [this] {
             std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(false);
             QFile file(entry->GetFolder() + "report.txt");
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.close();
             entry->FolderFiles().ListFolder(entry->GetFolder());
             entry->FolderFiles().SelectAll();
             entry->SetTitle("Quarterly report");
             entry->SetCategory(main->Categories().FindByCode(kAlpha));
             ASSERT_TRUE(entry->Save([this](TEntryData& e) { return main->DB().StoreEntry(e); }));
         },
         "The selected file\\(s\\) have been successfully stored under the title \"Quarterly report\"\\."},
        {"move",
         [browser] {
             browser->ShowSearchBox();
             browser->SearchEdit()->setText("report");
             QTest::keyClick(browser->SearchEdit(), Qt::Key_Return);
             ASSERT_EQ(browser->ResultCount(), 1);
             browser->acEN_SelectAll->trigger();
             browser->MoveSelectedToCategory(kResearch);
         },
         "The selected entries have been moved under the specified category\\."},
        {"paste",
         [this] {
             QGuiApplication::clipboard()->setText("pasted");
             Command("miPasteFromClipboard")->trigger();
         },
         "Stored in the monitored folder: Text_.*\\.txt"},
    };
    for (const auto& c : cases) {
        w.ShowInfoHint(QString());
        c.run();
        EXPECT_TRUE(QRegularExpression("^" + c.expected + "$").match(StatusText()).hasMatch())
            << c.action << ": " << StatusText().toStdString();
    }
    EXPECT_EQ(Names(monitored).size(), 1);
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

// Ctrl+F has one owner in the window, the Search command: typed wherever the
// keyboard is, it takes it to the search box; Escape in the box closes the
// list of recent searches first, and Ctrl+F brings back a hidden box.
TEST_F(MainWindow, CtrlFTakesTheKeyboardToTheSearchBoxFromAnywhere)
{
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, Keywords, PasswordProtected) values "
                               "(5, %1, 'Quarterly offer', 'offer', 0), (6, %1, 'Old offer', 'offer', 0)")
                           .arg(kAlpha)))
        << q.lastError().text().toStdString();
    TfrmTessarynMain& w = Open(false);
    TfrmEntryBrowser* browser = w.EntryBrowser();
    QLineEdit* search = browser->SearchEdit();
    QWidget* searchPanel = browser->findChild<QWidget*>("paSearch");
    search->setFocus();
    QTest::keyClicks(search, "offer");
    QTest::keyClick(search, Qt::Key_Return);
    ASSERT_EQ(browser->ResultCount(), 2);

    const struct {
        const char* from;
        std::function<QWidget*()> focus;
    } places[] = {
        {"the entry grid", [browser] { return static_cast<QWidget*>(browser->Grid()); }},
        {"the category tree",
         [&w] {
             w.ShowCategoryBrowser();
             return static_cast<QWidget*>(w.CategoryBrowser()->Tree());
         }},
        {"wherever the keyboard went when Escape hid the search box",
         [&]() -> QWidget* {
             search->setFocus();
             TypeKey(Qt::Key_Escape);
             EXPECT_FALSE(searchPanel->isVisible());
             return nullptr;
         }},
    };
    for (const auto& place : places) {
        if (QWidget* start = place.focus()) {
            start->setFocus();
            ASSERT_TRUE(TestEnv::WaitFor([start] { return QApplication::focusWidget() == start; }, 2000))
                << place.from;
        }
        TypeKey(Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(searchPanel->isVisible()) << place.from;
        EXPECT_EQ(QApplication::focusWidget(), search) << place.from;
        EXPECT_FALSE(w.CategoryBrowser()) << place.from;
    }

    // the recent searches drop down; the first Escape closes only them
    search->clear();
    QTest::keyClicks(search, "off");
    ASSERT_TRUE(TfrmMRUList::Instance());
    TypeKey(Qt::Key_Escape);
    EXPECT_FALSE(TfrmMRUList::Instance());
    EXPECT_TRUE(searchPanel->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(MainWindow, SecondInstanceMessageShowsTheHiddenWindow)
{
    TfrmTessarynMain& w = Open(false);
    const QString log = TestEnv::ScratchFolder() + "activations.log";
    qputenv("TESSARYN_ACTIVATION_LOG", log.toUtf8());
    const QString server = TestEnv::ScratchFolder() + "TfrmTessarynMain";
    ASSERT_TRUE(w.ListenForActivation(server));
    w.HideToTrayBar();
    ASSERT_TRUE(w.isHidden());

    QLocalSocket second;
    second.connectToServer(server);
    ASSERT_TRUE(second.waitForConnected(2000));
    second.write(TfrmTessarynMain::ActivateMessage + '\n');
    ASSERT_TRUE(TestEnv::WaitFor([&] { return second.canReadLine(); }));
    EXPECT_EQ(second.readLine().trimmed(), TfrmTessarynMain::ActivatedAnswer);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.HiddenInTrayBar());
    qunsetenv("TESSARYN_ACTIVATION_LOG");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "activated " + QByteArray::number(QCoreApplication::applicationPid()) + "\n");

    // anything else is answered with nothing and changes nothing
    w.HideToTrayBar();
    QLocalSocket other;
    other.connectToServer(server);
    ASSERT_TRUE(other.waitForConnected(2000));
    other.write("2024\n");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return other.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_TRUE(w.isHidden());
}

TEST_F(MainWindow, DropsActOnlyOnTheActiveWindowAndFollowTheDropSetting)
{
    TfrmTessarynMain& w = Open(true);
    const QString monitored = main->App.MonitoredFolder;
    main->App.OnDropAction = 1;

    QWidget other;
    other.resize(200, 100);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    Activate(&other);
    DropText("dropped while another window is in front");
    EXPECT_TRUE(Names(monitored).isEmpty());

    Activate(&w);
    DropText("a dropped note");
    const QStringList written = Names(monitored);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written[0].startsWith("Text_") && written[0].endsWith(".txt")) << written[0].toStdString();

    // "Create a new entry with the dropped files / text": the entry opens once the drop is over
    main->App.OnDropAction = 0;
    DropText("a note for a new entry");
    EXPECT_TRUE(edited.isEmpty());
    ASSERT_TRUE(TestEnv::WaitFor([&] { return !edited.isEmpty(); }));
    EXPECT_TRUE(edited[0].second);
    EXPECT_EQ(Names(edited[0].first->GetFolder()).size(), 1);
    EXPECT_EQ(Names(monitored).size(), 1);
}

TEST_F(MainWindow, PasteCommandsWriteTheClipboardIntoTheMonitoredFolder)
{
    Open(true);
    const QString monitored = main->App.MonitoredFolder;
    main->App.ClipboardTextHandling = 1;   // plain text
    const struct {
        const char* command;
        const char* prefix;
        const char* suffix;
    } rows[] = {{"miPasteFromClipboard", "Text_", ".txt"},
                {"miPasteAsHtml", "Html_", ".html"},
                {"miPasteAsText", "Text_", ".txt"}};
    for (const auto& row : rows) {
        QDir(monitored).removeRecursively();
        QDir().mkpath(monitored);
        QGuiApplication::clipboard()->setText("pasted\nlines");
        Command(row.command)->trigger();
        const QStringList names = Names(monitored);
        ASSERT_EQ(names.size(), 1) << row.command;
        EXPECT_TRUE(names[0].startsWith(row.prefix) && names[0].endsWith(row.suffix)) << names[0].toStdString();
        EXPECT_EQ(main->App.ClipboardTextHandling, 1) << row.command;
    }
    EXPECT_TRUE(desktop.messages.isEmpty());

    QGuiApplication::clipboard()->clear();
    Command("miPasteFromClipboard")->trigger();
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TEventAssistant::NothingToStoreText});
}

TEST_F(MainWindow, MonitoredFolderIsWatchedFromTheStartAndClearEmptiesIt)
{
    const QString monitored = main->App.MonitoredFolder;
    QDir().mkpath(monitored);
    main->App.NotifyMonitoredFolderChanges = true;
    Open(false);   // without a tray icon the notice shows in the status bar
    EXPECT_FALSE(Command("miStartMonitoring")->isEnabled());
    EXPECT_TRUE(Command("miStopMonitoring")->isEnabled());

    WriteFile(monitored + "a.txt", "a");
    WriteFile(monitored + "sub/deeper/b.txt", "b");
    EXPECT_TRUE(QTest::qWaitFor([this] { return StatusText().contains("Monitored folder files have changed."); }, 5000))
        << StatusText().toStdString();

    desktop.QueueAnswer(IDesktop::TAnswer::No);
    Command("miClear")->trigger();
    EXPECT_TRUE(QFile::exists(monitored + "a.txt"));
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "Are you sure you want to clear folder:\r\n" + monitored + " ?");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Confirmation);
    Command("miClear")->trigger();
    EXPECT_TRUE(QDir(monitored).exists());
    EXPECT_TRUE(QDir(monitored).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    // watching is back as it was
    EXPECT_TRUE(Command("miStopMonitoring")->isEnabled());
    Command("miStopMonitoring")->trigger();
    EXPECT_TRUE(Command("miStartMonitoring")->isEnabled());
    EXPECT_FALSE(Command("miStopMonitoring")->isEnabled());
}

// The toolbar buttons and task links of the commands on the monitored
// folder's files are enabled exactly when the folder holds at least one byte
// (in any file, at any depth): at start, after each notice of a change,
// after Clear, and after a store took its files while it was not watched.
TEST_F(MainWindow, MonitoredFolderCommandsAreEnabledExactlyWhenTheFolderIsNotEmpty)
{
    const QString monitored = main->App.MonitoredFolder;
    WriteFile(monitored + "sub/report.txt", "report");
    main->App.NotifyMonitoredFolderChanges = true;
    main->App.AutoEditEntriesIfFilesAdded = false;
    Open(false);   // without a tray icon the notice shows in the status bar
    TToolbarAssistant& bar = window->LayoutManager().Toolbar();
    // the one of the four the default toolbar does not show
    bar.FindEntry("btn_ClearMonitoredFolder")->Visible = true;
    bar.BuildButtons();
    TDropDownPanelWLabels* links = window->LayoutManager().TaskAssistant().Window()->Panel(2);
    auto states = [&] {
        QList<bool> result;
        for (const char* id : {"btn_NewEntryFromMonitoredFolder", "btn_AddMonitoredFolderToEntry",
                               "btn_ManageMonitoredFolder", "btn_ClearMonitoredFolder"})
            result << bar.Button(id)->isEnabled();
        for (const char* link : {"laMonitoredFolderNewEntry", "laMonitoredCurrentEntry", "laMonitoredManage",
                                 "laMonitoredClear"})
            result << links->LabelEnabled(link);
        return result;
    };
    const QList<bool> enabled(8, true), disabled(8, false);
    EXPECT_EQ(states(), enabled) << "a folder holding a file at start";

    Command("miClear")->trigger();
    EXPECT_EQ(states(), disabled) << "after Clear";

    // one empty file: the folder still counts as empty
    WriteFile(monitored + "empty.txt", "");
    EXPECT_TRUE(QTest::qWaitFor([this] { return StatusText().contains("Monitored folder files have changed."); }, 5000));
    EXPECT_EQ(states(), disabled) << "an empty file only";
    WriteFile(monitored + "empty.txt", "now with bytes");
    EXPECT_TRUE(QTest::qWaitFor([&] { return states() == enabled; }, 5000)) << "a notice of a file with bytes";

    // Not watched: a store that takes the folder's files still counts.
    Command("miStopMonitoring")->trigger();
    std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(false);
    ASSERT_TRUE(entry);
    WriteFile(entry->GetFolder() + "own.txt", "own");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    entry->SetTitle("Holder");
    entry->SetCategory(main->Categories().FindByCode(kWork));
    ASSERT_TRUE(entry->Save([this](TEntryData& e) { return main->DB().StoreEntry(e); }));
    ASSERT_TRUE(main->EntryManager().AddMonitoredFolderFilesToEntry(entry->Code(), "Holder"))
        << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_TRUE(Names(monitored).isEmpty());
    EXPECT_EQ(states(), disabled) << "after a store";
}

// The main data module owns the folders: the watcher is told when the
// preferences choose another monitored folder, and watches that one at once.
TEST_F(MainWindow, AMonitoredFolderChosenInThePreferencesIsWatchedAtOnce)
{
    const QString before = main->App.MonitoredFolder;
    const QString chosen = TestEnv::ScratchFolder() + "watched";
    main->App.NotifyMonitoredFolderChanges = true;
    Open(false);   // without a tray icon the notice shows in the status bar
    int shown = 0;
    TFrmPreferences::ExecuteHook = [&](TFrmPreferences& preferences) {
        ++shown;
        preferences.show();
        preferences.SelectLink("laFolders");
        preferences.edMonitoredFolder->selectAll();
        QTest::keyClicks(preferences.edMonitoredFolder, chosen);
        desktop.QueueAnswer(IDesktop::TAnswer::Yes);   // create it
        QTest::mouseClick(preferences.btnOK, Qt::LeftButton);
        return preferences.result();
    };
    Command("miPreferences")->trigger();
    EXPECT_TRUE(TestEnv::WaitFor([&] { return shown == 1; }));
    TFrmPreferences::ExecuteHook = nullptr;
    ASSERT_EQ(main->App.MonitoredFolder, chosen + "/");

    const auto noticed = [this](int ms) {
        return QTest::qWaitFor([this] { return StatusText().contains("Monitored folder files have changed."); }, ms);
    };
    WriteFile(before + "left behind.txt");
    EXPECT_FALSE(noticed(1500)) << "the former folder is no longer watched";
    WriteFile(chosen + "/arrived.txt");
    EXPECT_TRUE(noticed(5000)) << StatusText().toStdString();
}

TEST_F(MainWindow, NewEntryCommandsOpenTheNewEntryForEditing)
{
    Open(true);
    QGuiApplication::clipboard()->setText("clipboard text");
    Command("miNewEntryFromClipboardAsHTML")->trigger();
    ASSERT_EQ(edited.size(), 1);
    EXPECT_TRUE(edited[0].second);
    QStringList names = Names(edited[0].first->GetFolder());
    ASSERT_EQ(names.size(), 1);
    EXPECT_TRUE(names[0].startsWith("Html_"));

    // a quick note saved: its text becomes the new entry
    QTimer::singleShot(0, [] {
        auto* note = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(note);
        QTest::keyClicks(note->findChild<QPlainTextEdit*>("meText"), "a quick note");
        QTest::mouseClick(note->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    });
    Command("miNewEntryFromQuickNote")->trigger();
    ASSERT_EQ(edited.size(), 2);
    names = Names(edited[1].first->GetFolder());
    ASSERT_EQ(names.size(), 1);
    QFile note(edited[1].first->GetFolder() + names[0]);
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll(), "a quick note\r\n");

    // files in the monitored folder: an entry working on that folder
    QFile file(main->App.MonitoredFolder + "kept.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Command("miNewEntryFromMonitoredFolder")->trigger();
    ASSERT_EQ(edited.size(), 3);
    EXPECT_EQ(edited[2].first->GetFolder(), main->App.MonitoredFolder);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(MainWindow, FolderHelpAndOpenEntriesCommands)
{
    TfrmTessarynMain& w = Open(true);
    Command("miOpenMonitoredFolder")->trigger();
    Command("miOpenExtractFolder")->trigger();
    Command("miOpenExportFolder")->trigger();
    EXPECT_EQ(desktop.explored,
              QStringList({main->App.MonitoredFolder, main->App.ExtractFolder, main->App.ExportFolder}));

    // the help pages beside the executable open from the menu and with F1
    ASSERT_TRUE(QFile::exists(TfrmTessarynMain::HelpPage(18)));
    Command("miQuickStart")->trigger();
    Command("miHowdoI")->trigger();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_F1);
    EXPECT_EQ(desktop.opened, QStringList({TfrmTessarynMain::HelpPage(18), TfrmTessarynMain::HelpPage(62),
                                           TfrmTessarynMain::HelpPage(1)}));
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join('\n').toStdString();

    // a desktop that cannot show a folder or a page is never silent about it
    desktop.Clear();
    desktop.shellExploreSucceeds = false;
    desktop.shellOpenSucceeds = false;
    Command("miOpenExtractFolder")->trigger();
    Command("miQuickStart")->trigger();
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList({"No file manager is set up to show the folder \"" +
                               QDir(main->App.ExtractFolder).absolutePath() +
                               "\". Open it from a file manager, or install one.",
                           "No program is set up to open \"18.html\". Open it from its folder, or install a program "
                           "for this kind of file."}));
    desktop.shellExploreSucceeds = desktop.shellOpenSucceeds = true;

    // without open entries there is no window of them to show
    Command("miViewOpenEntries")->trigger();
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible() && top != &w) << top->metaObject()->className();
}

// F1 opens the page of the control that has the focus, or of the nearest
// one around it that has a page: the category tree's is 4, the bookmark-set
// list's 5; everything else in the window opens the window's page, 1.
TEST_F(MainWindow, F1OpensThePageOfTheControlWithTheFocus)
{
    TfrmTessarynMain& w = Open(true);
    const auto f1 = [&](QWidget* clicked, const QPoint& at) {
        desktop.opened.clear();
        QTest::mouseClick(clicked, Qt::LeftButton, Qt::NoModifier, at);
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus && (focus == clicked || focus->isAncestorOf(clicked)));
        QTest::keyClick(focus ? focus : &w, Qt::Key_F1);
        return desktop.opened;
    };

    Command("miBrowseByCategory")->trigger();
    ASSERT_TRUE(w.CategoryBrowser());
    TBTreeView* tree = w.CategoryBrowser()->Tree();
    const QRect firstNode = tree->RowRect(0);
    EXPECT_EQ(f1(tree->viewport(), QPoint(tree->TextRect(firstNode, 1).left() + 3, firstNode.center().y())),
              QStringList{TfrmTessarynMain::HelpPage(4)});

    Command("miSearch")->trigger();
    QLineEdit* keys = w.EntryBrowser()->SearchEdit();
    EXPECT_EQ(f1(keys, keys->rect().center()), QStringList{TfrmTessarynMain::HelpPage(1)});

    Command("miBrowseByBookmarkSet")->trigger();
    ASSERT_TRUE(w.BookmarkSetBrowser());
    TRecordListGrid* sets = w.BookmarkSetBrowser()->Grid();
    EXPECT_EQ(f1(sets->viewport(), sets->RowRect(0).center()), QStringList{TfrmTessarynMain::HelpPage(5)});
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join('\n').toStdString();
}

TEST_F(MainWindow, AboutShowsTheSplashWithItsLinks)
{
    Open(true);
    bool closeShown = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<TfrmSplash*>(QApplication::activeModalWidget());
        ASSERT_TRUE(about);
        closeShown = about->findChild<QLabel*>("laClose")->isVisible();
        QTest::keyClick(about, Qt::Key_Escape);
    });
    Command("miAbout")->trigger();
    EXPECT_TRUE(closeShown);
    EXPECT_FALSE(QApplication::activeModalWidget());
}

TEST_F(MainWindow, ColourSchemeReachesWindowMenusAndToolbarStrip)
{
    TfrmTessarynMain& w = Open(true);
    QWidget* strip = w.findChild<QWidget*>("PaintBox");
    const auto pixel = [strip](int y) { return strip->grab().toImage().pixelColor(4, y); };

    for (int scheme = 0; scheme < 4; ++scheme) {
        main->SetColourScheme(scheme);
        EXPECT_EQ(w.palette().color(QPalette::Window), main->Colour(csWindow)) << scheme;
        EXPECT_EQ(w.palette().color(QPalette::WindowText), main->Colour(csWindowText)) << scheme;
        ASSERT_TRUE(TCoolMenuStyle::Installed());
        EXPECT_EQ(w.menuBar()->style(), TCoolMenuStyle::Installed()) << scheme;
        EXPECT_EQ(TCoolMenuStyle::Installed()->PenColor(), main->Colour(csMenuPen)) << scheme;
        EXPECT_EQ(TCoolMenuStyle::Installed()->BrushColor(), main->Colour(csMenuBrush)) << scheme;
        EXPECT_TRUE(w.GradientStrip());
        const QColor start = main->Colour(csHighlightStart);
        EXPECT_EQ(pixel(0), start) << scheme;
        // top to bottom towards the colour lightened by 40; the last row is not painted
        const QColor end = TdmMain::Lighten(start, 40);
        const QColor low = pixel(strip->height() - 2);
        EXPECT_NEAR(low.red(), end.red(), 2) << scheme;
        EXPECT_NEAR(low.blue(), end.blue(), 2) << scheme;
    }

    main->SetScreenDepth(16);
    main->SetColourScheme(0);
    EXPECT_FALSE(w.GradientStrip());
    EXPECT_EQ(pixel(0), main->Colour(csHighlightStart));
    EXPECT_EQ(pixel(strip->height() - 2), main->Colour(csHighlightStart));
}

TEST_F(MainWindow, BottomPanelLeavesTwoHundredFiftyPixels)
{
    TfrmTessarynMain& w = Open(true);
    w.resize(700, 520);
    Command("miViewBottomPanel")->trigger();
    QApplication::processEvents();
    auto* splitter = w.findChild<QSplitter*>("splitterHorizontal");
    QWidget* bottom = w.findChild<QWidget*>("paAuxiliary");
    splitter->setSizes({10, 2000});
    QApplication::processEvents();
    const int client = w.centralWidget()->height();
    EXPECT_EQ(bottom->height(), client - 250);
    EXPECT_TRUE(w.splitterHorizontalCanResize(client - 250));
    EXPECT_FALSE(w.splitterHorizontalCanResize(client - 249));
}

// --- the category chooser ---------------------------------------------------------------

TEST_F(MainWindow, CategoryMenuOffersTheTreeAndTheMostUsedFirst)
{
    QMenu menu;
    TCategoryMenu chooser(*main, menu);
    QList<TCategory*> picked;
    chooser.OnCategoryPicked = [&](TCategory* c) { picked.append(c); };

    // nothing used yet: the tree alone, siblings by name
    QList<QAction*> items = menu.actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "R&&D");   // shown as typed, not as an accelerator
    EXPECT_EQ(TCategoryMenu::CategoryCodeOf(items[0]), kResearch);
    ASSERT_TRUE(items[1]->menu());
    EXPECT_EQ(items[1]->text(), "Work");
    EXPECT_EQ(TCategoryMenu::CategoryCodeOf(items[1]), 0);   // a submenu is no pick
    QList<QAction*> work = items[1]->menu()->actions();
    ASSERT_EQ(work.size(), 3);
    EXPECT_EQ(work[0]->text(), "[ Work ]");
    EXPECT_EQ(work[0]->statusTip(), TCategoryMenu::GeneralHint);
    EXPECT_TRUE(work[0]->font().bold());
    EXPECT_EQ(TCategoryMenu::CategoryCodeOf(work[0]), kWork);
    EXPECT_EQ(work[1]->text(), "Alpha");
    EXPECT_EQ(work[2]->text(), "Beta");
    EXPECT_FALSE(work[1]->font().bold());

    // a click on an item of the open menu picks it and counts its use
    TCategory* research = main->Categories().FindByCode(kResearch);
    const int before = research->Occurences();
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(menu.actions()[0]).center());
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0], research);
    EXPECT_EQ(research->Occurences(), before + 1);
    menu.actions()[1]->menu()->actions()[1]->trigger();   // Alpha
    EXPECT_EQ(picked.last()->Code(), kAlpha);

    // opening again shows the most recent first, by path, then the tree
    emit menu.aboutToShow();
    items = menu.actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), "Work -> Alpha");
    EXPECT_EQ(items[0]->statusTip(), TCategoryMenu::MostUsedHint);
    EXPECT_EQ(items[1]->text(), "R&&D");
    EXPECT_EQ(items[1]->statusTip(), TCategoryMenu::MostUsedHint);
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), "R&&D");
    EXPECT_TRUE(items[3]->statusTip().isEmpty());
    EXPECT_EQ(menu.findChildren<QMenu*>().size(), 1);   // the old submenu went with the old items

    // picking from the most-used part counts as well
    items[0]->trigger();
    EXPECT_EQ(main->MostUsedCategories().RecentList().first()->Code(), kAlpha);
    EXPECT_EQ(picked.size(), 3);

    main->App.ShowMostUsedCategoriesFirst = false;
    chooser.BuildCategoryMenu();
    EXPECT_EQ(menu.actions().size(), 2);
}

TEST_F(MainWindow, CategoryMenuLightsUpTheMostUsedInTheirOwnColours)
{
    TCoolMenuStyle* style = TCoolMenuStyle::Install();
    QMenu menu;
    TCategoryMenu chooser(*main, menu);
    main->MostUsedCategories().CategoryUsed(main->Categories().FindByCode(kAlpha));
    // Dusk and Dawn swap the two pairs of colours
    for (int scheme : {0, 2}) {
        main->SetColourScheme(scheme);
        style->SetMenuColours(main->Colour(csMenuPen), main->Colour(csMenuBrush));
        menu.popup(QPoint(10, 10));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        const QList<QAction*> items = menu.actions();
        ASSERT_EQ(items.size(), 4);
        ASSERT_EQ(items[0]->statusTip(), TCategoryMenu::MostUsedHint);
        struct Case {
            QAction* item;
            TColorSlot pen;
            TColorSlot brush;
        };
        for (const Case& c : {Case{items[0], csMostUsedMenuPen, csMostUsedMenuBrush}, Case{items[2], csMenuPen, csMenuBrush},
                              Case{items[3], csMenuPen, csMenuBrush}}) {
            menu.setActiveAction(c.item);
            QApplication::processEvents();
            const QImage image = menu.grab().toImage();
            const QRect r = menu.actionGeometry(c.item);
            EXPECT_EQ(image.pixelColor(r.left(), r.center().y()), main->Colour(c.pen)) << scheme;
            EXPECT_EQ(image.pixelColor(r.left() + 2, r.bottom() - 1), TdmMain::Lighten(main->Colour(c.brush), 32))
                << scheme;
        }
        menu.hide();
    }
}

// --- pictures for the eye -------------------------------------------------------------

// With TESSARYN_SCREENS=<folder>, the main window in each colour scheme
// (with a menu open), the splash and the About window are written there as
// PNG files.
TEST_F(MainWindow, ScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    QDir().mkpath(folder);
    TfrmTessarynMain& w = Open(true);
    for (int scheme = 0; scheme < 4; ++scheme) {
        main->SetColourScheme(scheme);
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/main-scheme-%1.png").arg(scheme)));
        // a menu with a highlighted item, and one with commands not available yet
        for (const char* name : {"miNewEntry", "miMonitoredFolder"}) {
            QMenu* menu = w.findChild<QMenu*>(name);
            menu->popup(w.mapToGlobal(QPoint(4, w.menuBar()->height())));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
            menu->setActiveAction(menu->actions()[2]);
            QApplication::processEvents();
            ASSERT_TRUE(menu->grab().save(folder + QString("/%1-scheme-%2.png").arg(name).arg(scheme)));
            menu->hide();
        }
    }
    // the start-up splash frees itself when its time is up
    QPointer<TfrmSplash> splash = new TfrmSplash;
    splash->ShowForStartup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
    ASSERT_TRUE(splash->grab().save(folder + "/splash.png"));
    splash->findChild<QLabel*>("laClose")->show();
    splash->findChild<QLabel*>("laCredits")->show();
    ASSERT_TRUE(splash->grab().save(folder + "/about.png"));
    delete splash.data();
}


namespace {

// What the screen shows of the given windows, each at its place.
QImage Composed(const QList<QWidget*>& windows)
{
    QRect area;
    for (QWidget* w : windows)
        area |= w->frameGeometry();
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(90, 90, 100));
    QPainter painter(&image);
    for (QWidget* w : windows)
        painter.drawPixmap(w->geometry().topLeft() - area.topLeft(), w->grab());
    return image;
}

} // namespace

// With TESSARYN_SCREENS=<folder>: the main menu opened, a pop-up with a
// checked, a disabled and a shortcut item, and the category menu with its
// most used categories, in the Dusk and Dawn schemes.
TEST_F(MainWindow, MenuScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    QDir().mkpath(folder);
    TfrmTessarynMain& w = Open(false);
    w.resize(760, 420);
    w.move(0, 0);
    main->MostUsedCategories().CategoryUsed(main->Categories().FindByCode(kResearch));
    main->MostUsedCategories().CategoryUsed(main->Categories().FindByCode(kAlpha));
    for (int scheme : {0, 2}) {
        const QString name = scheme == 0 ? "dusk" : "dawn";
        main->SetColourScheme(scheme);
        QApplication::processEvents();

        // the main menu: "Browse" dropped down from the bar, an item lit up
        QMenu* browse = w.findChild<QMenu*>("miBrowse");
        QMenuBar* bar = w.menuBar();
        bar->setActiveAction(browse->menuAction());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(browse));
        browse->setActiveAction(browse->actions()[0]);
        QApplication::processEvents();
        ASSERT_TRUE(Composed({&w, browse}).save(folder + "/menu-main-" + name + ".png"));
        browse->hide();
        bar->setActiveAction(nullptr);

        // a pop-up with a checked, a disabled and a shortcut item
        QMenu popup;
        popup.addAction("Search")->setShortcut(QKeySequence("Ctrl+F"));
        QAction* taskAssistant = popup.addAction("Task Assistant");
        taskAssistant->setCheckable(true);
        taskAssistant->setChecked(true);
        popup.addAction("Paste from clipboard")->setEnabled(false);
        popup.addSeparator();
        popup.addAction("Invert selection")->setShortcut(QKeySequence("Ctrl+I"));
        popup.addMenu("Selected files")->addAction("Delete");
        popup.popup(w.mapToGlobal(QPoint(120, 90)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
        popup.setActiveAction(popup.actions()[0]);
        QApplication::processEvents();
        ASSERT_TRUE(Composed({&w, &popup}).save(folder + "/menu-popup-" + name + ".png"));
        popup.hide();

        // the category menu: the most used first, one of them lit up
        QMenu categories;
        TCategoryMenu chooser(*main, categories);
        categories.popup(w.mapToGlobal(QPoint(200, 60)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&categories));
        categories.setActiveAction(categories.actions()[0]);
        QApplication::processEvents();
        const QImage mostUsed = categories.grab().toImage();
        categories.setActiveAction(categories.actions().last());
        QApplication::processEvents();
        QMenu* work = categories.actions().last()->menu();
        work->popup(categories.mapToGlobal(categories.actionGeometry(categories.actions().last()).topRight()));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(work));
        work->setActiveAction(work->actions()[1]);
        QApplication::processEvents();
        QImage both = Composed({&w, &categories, work});
        {
            // the same menu once more beside it, its most used item lit up
            QImage wide(both.width() + mostUsed.width() + 20, both.height(), QImage::Format_RGB32);
            wide.fill(QColor(90, 90, 100));
            QPainter painter(&wide);
            painter.drawImage(0, 0, both);
            painter.drawImage(both.width() + 10, categories.geometry().top() - w.frameGeometry().top(), mostUsed);
            both = wide;
        }
        ASSERT_TRUE(both.save(folder + "/menu-categories-" + name + ".png"));
        work->hide();
        categories.hide();
    }
}

namespace {

// The category manager the menu command opens, driven like a user: the
// category window is answered with a name, then "Save" is pressed.
void AddCategoryInTheOpenManager(const QString& name, int* shown = nullptr)
{
    QTimer::singleShot(0, [name, shown] {
        auto* manager = qobject_cast<TfrmCategories*>(QApplication::activeModalWidget());
        ASSERT_TRUE(manager);
        if (shown)
            ++*shown;
        manager->ExecuteEditDialog = [name](TfrmEditCategory& dialog) {
            dialog.show();
            dialog.edName->setText(name);
            QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        QTest::mouseClick(manager->btnNewPeer, Qt::LeftButton);
        QTest::mouseClick(manager->btnSave, Qt::LeftButton);
    });
}

QPoint NodePoint(TBTreeView* tree, TBTreeViewNode* node)
{
    const QRect row = tree->RowRect(tree->RowOfNode(node));
    return QPoint(tree->TextRect(row, node->Level()).left() + 3, row.center().y());
}

} // namespace

TEST_F(MainWindow, ANewUserMakesTheFirstCategoryWhereverOneIsNeeded)
{
    QSqlQuery(conn->Database()).exec("delete from categories");
    main->Categories().Load(0);
    ASSERT_EQ(main->Categories().Count(), 0);
    TfrmTessarynMain& w = Open(false);
    EXPECT_FALSE(w.CategoryBrowser());

    // a window that needs a category asks first; "No" leaves everything as it was
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    EXPECT_FALSE(TCategoryMenu::EnsureCategories(*main));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TCategoryMenu::NoCategoriesText});
    EXPECT_EQ(desktop.messages.value(0).buttons, IDesktop::TButtons::YesNo);

    // "Yes" opens the manager; the category made there is there at once
    int shown = 0;
    AddCategoryInTheOpenManager("Notes", &shown);
    EXPECT_TRUE(TCategoryMenu::EnsureCategories(*main));
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(main->Categories().Count(), 1);
    EXPECT_EQ(main->Categories().Items(0)->Name(), "Notes");
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select name from categories"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "Notes");

    // the first categories appear in the left panel, browsed at once
    ASSERT_TRUE(w.CategoryBrowser());
    EXPECT_TRUE(w.findChild<QWidget*>("paLeft")->isVisible());
    EXPECT_EQ(w.CategoryBrowser()->CurrentCategoryCode(), main->Categories().Items(0)->Code());
    EXPECT_EQ(w.EntryBrowser()->LeftView(), TfrmEntryBrowser::TLeftView::Categories);
    EXPECT_EQ(w.EntryBrowser()->OwnSearchOptions().CategoryCodes, QList<int>{main->Categories().Items(0)->Code()});
    EXPECT_FALSE(Command("miBrowseByCategory")->isEnabled());

    // and the menu command opens the same manager; the browser shows the new tree
    AddCategoryInTheOpenManager("Archive");
    Command("miManageCategories")->trigger();
    EXPECT_EQ(w.CategoryBrowser()->Tree()->RowCount(), 2);
    // (in the place it was made; the name order comes with the next start)
    EXPECT_EQ(w.CategoryBrowser()->Tree()->NodeAtRow(1)->Caption, "Archive");
}

TEST_F(MainWindow, GoToContainingCategoryAndTheBrowserAroundTheManager)
{
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, Keywords, PasswordProtected) values "
                               "(5, %1, 'Quarterly offer', 'offer', 0), (6, %1, 'Old offer', 'offer', 0), "
                               "(7, %2, 'Lab offer', 'offer', 0)")
                           .arg(kAlpha)
                           .arg(kResearch)))
        << q.lastError().text().toStdString();
    TfrmTessarynMain& w = Open(false);
    TfrmEntryBrowser* browser = w.EntryBrowser();
    Command("miSearch")->trigger();
    browser->SearchEdit()->setText("offer");
    QTest::keyClick(browser->SearchEdit(), Qt::Key_Return);
    ASSERT_EQ(browser->ResultCount(), 3);
    browser->LocateEntry(6);
    ASSERT_TRUE(browser->acEN_GoToCategory->isEnabled());

    // from a search result to the entry's category, the same entry highlighted
    browser->acEN_GoToCategory->trigger();
    ASSERT_TRUE(w.CategoryBrowser());
    EXPECT_EQ(w.CategoryBrowser()->CurrentCategoryCode(), kAlpha);
    EXPECT_EQ(browser->ResultCount(), 2);
    EXPECT_EQ(browser->CurrentEntryCode(), 6);
    EXPECT_FALSE(browser->acEN_GoToCategory->isEnabled());

    // Search closes the browser; Categories brings it back where it was
    Command("miSearch")->trigger();
    EXPECT_FALSE(w.CategoryBrowser());
    EXPECT_FALSE(w.findChild<QWidget*>("paLeft")->isVisible());
    Command("miBrowseByCategory")->trigger();
    ASSERT_TRUE(w.CategoryBrowser());
    EXPECT_EQ(w.CategoryBrowser()->CurrentCategoryCode(), kAlpha);

    // while the manager is open a click in the browser starts no search; after
    // it the same category is current, under its new name, without a search
    TBTreeView* tree = w.CategoryBrowser()->Tree();
    QTimer::singleShot(0, [&] {
        auto* manager = qobject_cast<TfrmCategories*>(QApplication::activeModalWidget());
        ASSERT_TRUE(manager);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          NodePoint(tree, tree->NodeAtRow(tree->RowCount() - 1)));
        EXPECT_EQ(browser->OwnSearchOptions().CategoryCodes, QList<int>{kAlpha});
        TBTreeViewNode* alpha = manager->Tree()->FindNodeByData(main->Categories().FindByCode(kAlpha));
        manager->Tree()->MakeNodeCurrent(alpha);
        manager->ExecuteEditDialog = [](TfrmEditCategory& dialog) {
            dialog.show();
            dialog.edName->setText("Alpha renamed");
            QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
            return dialog.result() == QDialog::Accepted;
        };
        QTest::mouseClick(manager->btnEdit, Qt::LeftButton);
        QTest::mouseClick(manager->btnSave, Qt::LeftButton);
    });
    Command("miManageCategories")->trigger();
    EXPECT_EQ(w.CategoryBrowser()->CurrentCategoryCode(), kAlpha);
    EXPECT_FALSE(w.CategoryBrowser()->Frozen());
    EXPECT_EQ(tree->CurrentNode()->Caption, "Alpha renamed");
    EXPECT_EQ(browser->OwnSearchOptions().CategoryCodes, QList<int>{kAlpha});
    EXPECT_EQ(browser->CurrentEntryCode(), 6);
}

TEST_F(MainWindow, BookmarkSetsAreBrowsedAddedToReorderedAndManaged)
{
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, Keywords, PasswordProtected) values "
                               "(5, %1, 'Five', 'k', 0), (6, %1, 'Six', 'k', 0), (7, %1, 'Seven', 'k', 0), "
                               "(8, %1, 'Eight', 'k', 0)")
                           .arg(kWork)));
    ASSERT_TRUE(q.exec("insert into bookmarkSets (code, GUID, name, description) values (100, "
                       "'00000000-0000-0000-0000-000000000100', 'Reading', '')"));
    conn->ReserveNextRecIDs("bookmarksets", 1);
    for (const auto& [entry, ordering] : {std::pair{7, 1}, std::pair{5, 2}, std::pair{6, 3}})
        ASSERT_TRUE(q.exec(QString("insert into bookmarks (bookmarkset, entry, ordering) values (100, %1, %2)")
                               .arg(entry)
                               .arg(ordering)));
    auto stored = [&](int set) {
        QSqlQuery rows(conn->Database());
        EXPECT_TRUE(rows.exec(QString("select entry from bookmarks where bookmarkset = %1 order by ordering").arg(set)));
        QList<int> entries;
        while (rows.next())
            entries << rows.value(0).toInt();
        return entries;
    };
    TfrmTessarynMain& w = Open(true);
    TfrmEntryBrowser* browser = w.EntryBrowser();
    auto listed = [&] {
        QList<int> codes;
        for (int row = 0; row < browser->Grid()->RowCount(); ++row)
            codes << browser->Grid()->CodeAt(row);
        return codes;
    };

    // Ctrl+K: the sets by name in the left panel, the first one listed
    QTest::keyClick(&w, Qt::Key_K, Qt::ControlModifier);
    TfrmBookmarkSetBrowser* sets = w.BookmarkSetBrowser();
    ASSERT_TRUE(sets);
    EXPECT_TRUE(sets->isVisible());
    EXPECT_FALSE(Command("miBrowseByBookmarkSet")->isEnabled());
    TRecordListGrid* list = sets->Grid();
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->RowText(0), "Default");
    EXPECT_EQ(browser->CurrentBookmarkSet(), 1);
    EXPECT_EQ(browser->ResultCount(), 0);
    // a set's entries in its own order, without the sort menu
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(1).center());
    EXPECT_EQ(browser->CurrentBookmarkSet(), 100);
    EXPECT_EQ(listed(), QList<int>({7, 5, 6}));
    browser->popEntriesPopup();
    EXPECT_FALSE(browser->findChild<QMenu*>("miSortBy")->isEnabled());
    EXPECT_TRUE(browser->miRemoveBookmarks->isVisible());

    // the drop of a dragged row moves the bookmark and the listing follows
    ASSERT_TRUE(browser->MoveBookmark);
    EXPECT_TRUE(browser->MoveBookmark(100, 0, 2));
    EXPECT_EQ(stored(100), QList<int>({5, 6, 7}));

    // removing the selected entries from the set listed
    browser->RefreshKeepingSelection();
    EXPECT_EQ(listed(), QList<int>({5, 6, 7}));
    browser->LocateEntry(6);
    QTest::keyClick(browser->Grid(), Qt::Key_Space);
    browser->miRemoveBookmarks->trigger();
    EXPECT_EQ(stored(100), QList<int>({5, 7}));
    EXPECT_EQ(listed(), QList<int>({5, 7}));
    EXPECT_TRUE(desktop.notices.contains("[Tessaryn]|Bookmarks were removed succesfully."))
        << desktop.notices.join(" / ").toStdString();

    // adding to the default set, to a chosen one and to a new one
    Command("miSearch")->trigger();
    EXPECT_FALSE(w.BookmarkSetBrowser());
    browser->SearchEdit()->setText("k");
    QTest::keyClick(browser->SearchEdit(), Qt::Key_Return);
    ASSERT_EQ(browser->ResultCount(), 4);
    browser->LocateEntry(8);
    QTest::keyClick(browser->Grid(), Qt::Key_Space);
    browser->LocateEntry(5);
    QTest::keyClick(browser->Grid(), Qt::Key_Space);
    desktop.notices.clear();
    browser->miAddToDefaultBookmarks->trigger();
    EXPECT_EQ(stored(1).size(), 2);
    TFrmSelectBookmarkSet::ExecuteHook = [](TFrmSelectBookmarkSet& picker) {
        picker.Browser()->LocateSet(100);
        return int(QDialog::Accepted);
    };
    browser->miAddToExistingBookmarkSet->trigger();
    TFrmSelectBookmarkSet::ExecuteHook = nullptr;
    EXPECT_EQ(stored(100), QList<int>({5, 7, 8})) << "5 was there already";
    TFrmEditBookmarkSet::ExecuteHook = [](TFrmEditBookmarkSet& dialog) {
        dialog.edName->setText("Fresh");
        return true;
    };
    browser->miAddToNewBookmarkSet->trigger();
    TFrmEditBookmarkSet::ExecuteHook = nullptr;
    EXPECT_EQ(desktop.notices, QStringList(3, "[Tessaryn]|Bookmarks were added succesfully."));
    ASSERT_TRUE(q.exec("select code from bookmarkSets where name = 'Fresh'"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(stored(q.value(0).toInt()).size(), 2);
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();

    // Ctrl+K again: back where it was; the manager's renaming shows at once
    // and the same set stays listed
    QTest::keyClick(&w, Qt::Key_K, Qt::ControlModifier);
    sets = w.BookmarkSetBrowser();
    ASSERT_TRUE(sets);
    EXPECT_EQ(sets->CurrentSetCode(), 100);
    QTimer::singleShot(0, [] {
        auto* manager = qobject_cast<TfrmBookmarkSetManager*>(QApplication::activeModalWidget());
        ASSERT_TRUE(manager);
        ASSERT_TRUE(manager->Browser()->SetsRecordSet().Locate("code", 100));
        manager->Browser()->Grid()->Resync();
        manager->ExecuteEditDialog = [](TFrmEditBookmarkSet& dialog) {
            dialog.edName->setText("Reading now");
            return true;
        };
        QTest::mouseClick(manager->btnEdit, Qt::LeftButton);
        QTest::mouseClick(manager->btnSave, Qt::LeftButton);
    });
    Command("miManageBookmarkSets")->trigger();
    list = w.BookmarkSetBrowser()->Grid();
    EXPECT_EQ(list->RowText(list->CurrentRow()), "Reading now");
    EXPECT_EQ(w.BookmarkSetBrowser()->CurrentSetCode(), 100);
    EXPECT_EQ(browser->CurrentBookmarkSet(), 100);

    // the category browser takes the panel's place
    Command("miBrowseByCategory")->trigger();
    EXPECT_FALSE(w.BookmarkSetBrowser());
    EXPECT_TRUE(w.CategoryBrowser());
    EXPECT_TRUE(Command("miBrowseByBookmarkSet")->isEnabled());
}

TEST_F(MainWindow, CategoryScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    QDir().mkpath(folder);
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, Keywords, Comments, PasswordProtected) "
                               "values (5, %1, 'Quarterly offer', 'offer', 'Prices for the third quarter', 0), "
                               "(6, %1, 'Old offer', 'offer', '', 0)")
                           .arg(kBeta)));
    TfrmTessarynMain& w = Open(false);
    w.resize(900, 560);
    for (int scheme : {0, 2}) {
        main->SetColourScheme(scheme);
        w.ShowCategoryBrowser();
        w.CategoryBrowser()->SelectCategory(kBeta);
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/category-browser-scheme-%1.png").arg(scheme)));

        TfrmCategories manager(*main, &w);
        manager.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&manager));
        manager.Tree()->MakeNodeCurrent(manager.Tree()->FindNodeByData(main->Categories().FindByCode(kAlpha)));
        QApplication::processEvents();
        ASSERT_TRUE(manager.grab().save(folder + QString("/category-manager-scheme-%1.png").arg(scheme)));
        manager.hide();

        TfrmSelectCategories picker(*main, &w);
        picker.SelectCodes({kAlpha, kResearch});
        picker.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&picker));
        picker.ShowShortcuts(true);
        QApplication::processEvents();
        ASSERT_TRUE(picker.grab().save(folder + QString("/category-picker-scheme-%1.png").arg(scheme)));
        picker.hide();
    }
}

// On a database that can only be read the commands that would change it are
// not offered, and the title says why.
TEST_F(MainWindow, TheEndOfTheDesktopSessionStoresTheSettingsAtOnce)
{
    TfrmTessarynMain& w = Open(true);
    const auto storedTrayValues = [this] {
        QSqlQuery q(conn->Database());
        EXPECT_TRUE(q.exec("select _values from settings where _key like '%Tray bar%'"));
        QString values;
        while (q.next())
            values += q.value(0).toString();
        return values;
    };
    main->App.NotifyEntriesChanged = false;
    EXPECT_FALSE(storedTrayValues().contains("Notify when entries are changed=0"));
    // The session may end the process right after asking: what Exit would
    // store is in the database by then, and the window is still there.
    w.CommitSessionData();
    EXPECT_TRUE(storedTrayValues().contains("Notify when entries are changed=0"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST(ReadOnlyMainWindow, OffersNoCommandThatWouldChangeTheDatabase)
{
    ASSERT_TRUE(TAppResources::Register());
    const QString medium = TestEnv::ScratchFolder() + "/medium";
    TestEnv::TScopedTmpfs disk(medium, "16m");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString file = medium + "/tessaryn.db";
    TestDatabase::CreateSqliteFile(file);
    ASSERT_TRUE(disk.RemountReadOnly());
    TdmConnection reader(TConnectionInfo::Embedded(file));
    ASSERT_TRUE(reader.Connect());
    RecordingDesktop desktop;
    TdmMain main(reader, desktop);
    ASSERT_TRUE(main.IsInitialized());
    TfrmTessarynMain window(main);
    EXPECT_TRUE(window.windowTitle().endsWith("(read-only)"));
    for (const char* name : {"miNewEntry", "miManageCategories", "miManageBookmarkSets", "miDatabaseCompact",
                             "miDatabaseRestore"}) {
        QAction* action = window.findChild<QAction*>(name);
        ASSERT_TRUE(action) << name;
        EXPECT_FALSE(action->isEnabled()) << name;
    }
    EXPECT_TRUE(window.findChild<QAction*>("miDatabaseBackup")->isEnabled());
    EXPECT_TRUE(window.findChild<QAction*>("miBrowseByCategory")->isEnabled());
}
