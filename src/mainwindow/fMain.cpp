#include "mainwindow/fMain.h"

#include "browsing/dBookmarkSets.h"
#include "browsing/fBookBrowser.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "browsing/fCategoryBrowser.h"
#include "browsing/EntryGrid.h"
#include "browsing/fEntryBrowser.h"
#include "maintenance/fDatabaseMaintenance.h"
#include "controls/CustomDrawnSplitter.h"
#include "controls/HelpContext.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/TaskAssistant.h"
#include "mainwindow/ToolbarAssistant.h"
#include "settings/ISettingsManager.h"
#include "organisation/fBookmarkSetManager.h"
#include "organisation/fCategories.h"
#include "preferences/fPreferences.h"
#include "editing/fEntry.h"
#include "editing/fOpenEntries.h"
#include "editing/EntryTransferWindows.h"
#include "mainwindow/MonitoredFolderCommands.h"

#include "app/AppResources.h"
#include "app/Logging.h"
#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/fSplash.h"
#include "controls/MenuStyle.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/EntryCapture.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/OpenEntries.h"
#include "engine/OpenWithDesktop.h"
#include "engine/frmQuickNote.h"

#include <QAction>
#include <QDialog>
#include <QApplication>
#include <QDir>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

namespace {

constexpr int kToolBarHeight = 48;
constexpr int kTaskAssistantWidth = 255;
constexpr int kLeftWidth = 249;
constexpr int kSplitterSize = 10;
constexpr int kAuxiliaryHeight = 128;
constexpr int kMinimumRestHeight = 250;
const QSize kMinimumSize(700, 520);
const QSize kInitialClientSize(782, 514);

// The strip of the toolbar, painted by its window.
class TPaintBox : public QWidget
{
public:
    explicit TPaintBox(std::function<void(QPainter&)> paint, QWidget* parent = nullptr)
        : QWidget(parent), m_paint(std::move(paint))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_paint(painter);
    }

private:
    std::function<void(QPainter&)> m_paint;
};

QFrame* NewPanel(const char* name, QWidget* parent = nullptr)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

} // namespace

const QString TfrmTessarynMain::ApplicationTitle = QStringLiteral("Tessaryn");
const QString TfrmTessarynMain::TrayTip = QStringLiteral("[Tessaryn] - (left-click to activate)");
const QString TfrmTessarynMain::UnsavedEntriesText =
    QStringLiteral("There are open entries which have been modified but not saved yet. You must first close (or "
                   "save) them before exiting the application.");
const QString TfrmTessarynMain::StoredInMonitoredFolderText =
    QStringLiteral("Stored in the monitored folder: %1");
const QByteArray TfrmTessarynMain::ActivateMessage = QByteArrayLiteral("2025");
const QByteArray TfrmTessarynMain::ActivatedAnswer = QByteArrayLiteral("activated");

QString TfrmTessarynMain::ActivationServerName()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/TfrmTessarynMain");
}

QString TfrmTessarynMain::HelpPage(int context)
{
    return TAppResources::DataFolder() + QStringLiteral("/help/") + QString::number(context)
           + QStringLiteral(".html");
}

TfrmTessarynMain::TfrmTessarynMain(TdmMain& dmMain, QWidget* parent)
    : TFrmStatusBarMain(dmMain, parent), SystemTrayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    setObjectName(QStringLiteral("frmTessarynMain"));
    FormCreate();
}

void TfrmTessarynMain::miSearchClick()
{
    // The search takes the place of the left browser.
    CloseLeftBrowser();
    if (m_entryBrowser)
        m_entryBrowser->ShowSearchBox();
}

void TfrmTessarynMain::miBrowseByCategoryClick()
{
    ShowCategoryBrowser();
}

void TfrmTessarynMain::ShowCategoryBrowser()
{
    if (!m_entryBrowser)
        return;
    CloseOtherBrowsers(m_categoryBrowser);
    m_entryBrowser->BeginGridUpdate();
    paLeft->show();
    if (!m_categoryBrowser) {
        m_categoryBrowser = new TfrmCategoryBrowser(m_dmMain, paLeft);
        paLeft->layout()->addWidget(m_categoryBrowser);
        TfrmCategoryBrowser* browser = m_categoryBrowser;
        browser->OnBrowseCategory = [this](int code) { m_entryBrowser->BrowseCategory(code); };
        browser->OnMoveSelectedToCategory = [this](int code) { m_entryBrowser->MoveSelectedToCategory(code); };
        browser->IsEntryGridDrag = [this](const QObject* source) {
            const QWidget* grid = m_entryBrowser->Grid();
            return source
                   && (source == grid
                       || (source->isWidgetType() && grid->isAncestorOf(static_cast<const QWidget*>(source))));
        };
        m_entryBrowser->OnCategoryDragEnded = [browser] { browser->tvEndDrag(); };
    }
    m_entryBrowser->SetLeftView(TfrmEntryBrowser::TLeftView::Categories);
    m_categoryBrowser->SelectCategory(m_lastCategoryBrowsed);
    m_categoryBrowser->show();
    m_entryBrowser->EndGridUpdate();
    if (m_lastCategoryEntry > 0)
        m_entryBrowser->LocateEntry(m_lastCategoryEntry);
    miBrowseByCategory->setEnabled(false);
    miSearch->setEnabled(true);
    m_entryBrowser->UpdateSelectionCommands();
    if (m_layout)
        m_layout->BrowserShown();
}

void TfrmTessarynMain::ShowBookmarkSetBrowser()
{
    if (!m_entryBrowser)
        return;
    CloseOtherBrowsers(m_bookmarkSetBrowser);
    paLeft->show();
    if (!m_bookmarkSetBrowser) {
        try {
            m_bookmarkSetBrowser = new TfrmBookmarkSetBrowser(m_dmMain, paLeft);
        } catch (const ETessarynError& error) {
            m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
            CloseLeftBrowser();
            return;
        }
        paLeft->layout()->addWidget(m_bookmarkSetBrowser);
        m_bookmarkSetBrowser->OnBrowseSet = [this](int code) {
            m_entryBrowser->BrowseBookmarkSet(code);
            m_entryBrowser->UpdateSelectionCommands();
        };
        m_entryBrowser->MoveBookmark = [this](int setCode, int from, int to) {
            return ::MoveBookmark(m_dmMain.Connection(), m_dmMain.Desktop(), setCode, from, to);
        };
    }
    m_entryBrowser->SetLeftView(TfrmEntryBrowser::TLeftView::BookmarkSets);
    m_bookmarkSetBrowser->LocateSet(m_lastBookmarkSetBrowsed);
    // Showing binds the list, which lists the current set's entries.
    m_bookmarkSetBrowser->show();
    if (m_lastBookmarkSetEntry > 0)
        m_entryBrowser->LocateEntry(m_lastBookmarkSetEntry);
    miBrowseByBookmarkSet->setEnabled(false);
    miSearch->setEnabled(true);
    m_entryBrowser->UpdateSelectionCommands();
    if (m_layout)
        m_layout->BrowserShown();
}

void TfrmTessarynMain::ShowBookBrowser()
{
    if (!m_entryBrowser)
        return;
    CloseOtherBrowsers(m_bookBrowser);
    paLeft->show();
    if (!m_bookBrowser) {
        try {
            m_bookBrowser = new TfrmBookBrowser(m_dmMain, paLeft);
        } catch (const ETessarynError& error) {
            m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
            CloseLeftBrowser();
            return;
        }
        paLeft->layout()->addWidget(m_bookBrowser);
    }
    m_bookBrowser->show();
    miSearch->setEnabled(true);
    if (m_layout)
        m_layout->BrowserShown();
}

void TfrmTessarynMain::CloseOtherBrowsers(const QWidget* keep)
{
    if (m_categoryBrowser && m_categoryBrowser != keep) {
        m_lastCategoryBrowsed = m_categoryBrowser->CurrentCategoryCode();
        m_lastCategoryEntry = m_entryBrowser ? m_entryBrowser->CurrentEntryCode() : 0;
        if (m_entryBrowser)
            m_entryBrowser->OnCategoryDragEnded = nullptr;
        // Its destruction stores which categories were collapsed.
        delete m_categoryBrowser;
        m_categoryBrowser = nullptr;
        miBrowseByCategory->setEnabled(true);
    }
    if (m_bookmarkSetBrowser && m_bookmarkSetBrowser != keep) {
        m_lastBookmarkSetBrowsed = m_bookmarkSetBrowser->CurrentSetCode();
        m_lastBookmarkSetEntry = m_entryBrowser ? m_entryBrowser->CurrentEntryCode() : 0;
        if (m_entryBrowser)
            m_entryBrowser->MoveBookmark = nullptr;
        delete m_bookmarkSetBrowser;
        m_bookmarkSetBrowser = nullptr;
        miBrowseByBookmarkSet->setEnabled(true);
    }
    if (m_bookBrowser && m_bookBrowser != keep) {
        delete m_bookBrowser;
        m_bookBrowser = nullptr;
    }
}

void TfrmTessarynMain::miManageBookmarkSetsClick()
{
    try {
        TfrmBookmarkSetManager manager(m_dmMain, this);
        if (manager.exec() != TfrmBookmarkSetManager::ResultYes || !m_bookmarkSetBrowser)
            return;
        const int entry = m_entryBrowser ? m_entryBrowser->CurrentEntryCode() : 0;
        m_bookmarkSetBrowser->ReloadFrom(manager.SetsRecordSet());
        if (m_entryBrowser && entry > 0)
            m_entryBrowser->LocateEntry(entry);
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    }
}

void TfrmTessarynMain::miDatabaseStatisticsClick()
{
    TFrmDatabaseStatistics window(m_dmMain, this);
    window.exec();
}

void TfrmTessarynMain::miDatabaseCompactClick()
{
    TFrmShrinkDatabase window(m_dmMain, this);
    window.exec();
}

void TfrmTessarynMain::miDatabaseBackupClick()
{
    // The settings go into the database first, so the backup holds them.
    try {
        m_dmMain.SaveSettings();
        m_dmMain.Settings().Flush();
    } catch (const ETessarynError&) {
        // the backup is worth having without the latest settings
    }
    TfrmBackupDatabase window(m_dmMain, this);
    window.exec();
}

void TfrmTessarynMain::miDatabaseRestoreClick()
{
    if (m_dmMain.Desktop().MessageBox(TFrmRestoreDatabase::ConfirmText, IDesktop::TMsgKind::Confirmation,
                                      IDesktop::TButtons::YesNo)
        != IDesktop::TAnswer::Yes)
        return;
    TFrmRestoreDatabase window(m_dmMain, this);
    if (window.exec() != QDialog::Accepted)
        return;
    // Everything on show comes from the restored data now.
    if (m_categoryBrowser) {
        try {
            m_categoryBrowser->ReloadTree();
        } catch (const ETessarynError& error) {
            m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
        }
    }
    if (m_bookmarkSetBrowser)
        ReopenBookmarkSetBrowser();
    if (m_entryBrowser)
        m_entryBrowser->RefreshKeepingSelection();
}

void TfrmTessarynMain::ReopenBookmarkSetBrowser()
{
    // The list of sets was read before the restore.
    CloseLeftBrowser();
    ShowBookmarkSetBrowser();
}

void TfrmTessarynMain::CloseLeftBrowser()
{
    CloseOtherBrowsers(nullptr);
    if (m_entryBrowser) {
        m_entryBrowser->SetLeftView(TfrmEntryBrowser::TLeftView::None);
        m_entryBrowser->UpdateSelectionCommands();
    }
    paLeft->hide();
    if (m_layout)
        m_layout->UpdateCommandStates();
}

void TfrmTessarynMain::acManageCategoriesExecute()
{
    const bool hadCategories = m_dmMain.Categories().Count() > 0;
    if (m_categoryBrowser)
        m_categoryBrowser->FreezeSelection();
    try {
        TfrmCategories manager(m_dmMain, this);
        manager.exec();
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    }
    if (m_categoryBrowser) {
        try {
            m_categoryBrowser->ReloadTree();
        } catch (const ETessarynError& error) {
            m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
        }
        m_categoryBrowser->ThawSelection();
    } else if (!hadCategories && m_dmMain.Categories().Count() > 0) {
        // The first categories: show them where entries are browsed.
        ShowCategoryBrowser();
    }
    // The entry cards show category paths, which may have changed.
    if (m_entryBrowser)
        m_entryBrowser->RefreshKeepingSelection();
}

TfrmTessarynMain::~TfrmTessarynMain()
{
    // The editors and the open-entries window still use the main data
    // module while they go: they are taken down before it.
    UninstallEntryEditors(m_dmMain);
    // The layout is stored while the browsers it names are still open.
    if (m_layout)
        m_layout->SaveLayout();
    UninstallEntryTransferWindows(m_dmMain);
    // The category browser stores its state while the settings are there.
    delete m_categoryBrowser;
    m_categoryBrowser = nullptr;
    delete m_bookmarkSetBrowser;
    m_bookmarkSetBrowser = nullptr;
    delete m_bookBrowser;
    m_bookBrowser = nullptr;
    m_dmMain.OnManageCategories = nullptr;
    m_dmMain.EntryManager().ShowPreferences = nullptr;
    m_dmMain.RemoveColorSchemeObserver(this);
    m_dmMain.OnShowTrayIconChanged = nullptr;
    m_dmMain.Capture().OpenDroppedEntry = nullptr;
    RemoveTrayIcon();
}

void TfrmTessarynMain::FormCreate()
{
    m_logo = TAppResources::Picture(QStringLiteral("BMP_TOOLBAR_LOGO"));
    m_hiddenInTrayBar = false;
    setWindowTitle(ApplicationTitle);
    setWindowIcon(TAppResources::Icon(QStringLiteral("A_ICO")));
    setMinimumSize(kMinimumSize);

    // A dropped entry opens once the drop has completed, as a new entry.
    m_dmMain.Capture().OpenDroppedEntry = [this](TEntryData* entry) {
        RunCommand([&] { m_dmMain.EntryManager().ShowEntryEditor(entry, true); });
    };

    CreateLayout();
    m_entryBrowser = CreateEntryBrowser(m_dmMain, paBrowse);
    // Ctrl+F is the Search command's, wherever the focus is in the window.
    m_entryBrowser->SetFindKeyOwnedByHost(true);
    InstallEntryEditors(m_dmMain);
    CreateTrayMenu();
    CreateMenus();
    InstallEntryTransferWindows(m_dmMain, this);
    // Owned by the window; it binds the monitored folder's commands by name.
    m_monitoredFolder = new TMonitoredFolderCommands(
        m_dmMain, *this, [this](const QString& text, const QString& title) { ShowBalloon(text, title); },
        [this] {
            if (m_layout)
                m_layout->UpdateCommandStates();
            else if (m_entryBrowser)
                m_entryBrowser->UpdateSelectionCommands();
        });
    // A store may take the monitored folder's files while it is not watched
    // (an entry editor pauses the watching, and so do the preferences).
    m_dmMain.EntryManager().RefreshBrowser = [refreshBrowser = m_dmMain.EntryManager().RefreshBrowser,
                                              folder = QPointer<TMonitoredFolderCommands>(m_monitoredFolder)] {
        if (refreshBrowser)
            refreshBrowser();
        if (folder)
            folder->CheckFolderContent();
    };
    m_entryBrowser->OnGoToCategory = [this](int code) {
        if (!m_categoryBrowser)
            ShowCategoryBrowser();
        m_categoryBrowser->SelectCategory(code);
    };
    m_dmMain.OnManageCategories = [this] { acManageCategoriesExecute(); };
    m_layout = new TMainLayoutManager(*this);
    // Every way to the preferences (the mail command's, the mail window's)
    // comes here, so that the window edits the task assistant and toolbar shown.
    m_dmMain.EntryManager().ShowPreferences = [this](const QString& page) { ShowPreferences(page); };
    // A database that can only be read offers nothing that would change it;
    // the title says why.
    if (m_dmMain.Connection().ReadOnly()) {
        setWindowTitle(ApplicationTitle + QStringLiteral(" (read-only)"));
        for (const char* name : {"miNewEntry", "miManageCategories", "miManageBookmarkSets", "miDatabaseCompact",
                                 "miDatabaseRestore"})
            if (QAction* action = findChild<QAction*>(QString::fromLatin1(name)))
                action->setEnabled(false);
    }
    // The first opening takes two thirds of the screen, never less than the
    // design's size; later openings come back where the user left the window.
    QSize size(kInitialClientSize.width(), kInitialClientSize.height() + menuBar()->sizeHint().height());
    if (const QScreen* screen = this->screen()) {
        const QSize available = screen->availableGeometry().size();
        size = size.expandedTo(available * 2 / 3).boundedTo(available);
    }
    resize(size);

    m_exitRequested = false;
    if (m_dmMain.App.ShowTrayIcon)
        ShowTrayIcon();
    else
        HideTrayIcon();
    m_dmMain.OnShowTrayIconChanged = [this](bool show) {
        if (show)
            ShowTrayIcon();
        else
            HideTrayIcon();
    };

    setAcceptDrops(true);
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, &TfrmTessarynMain::SessionEndQuery);
#endif
    m_dmMain.AddColorSchemeObserver(this);
    ApplyColorScheme();
}

void TfrmTessarynMain::CreateLayout()
{
    auto* column = new QVBoxLayout(ClientArea());
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    paToolBar = NewPanel("paToolBar");
    paToolBar->setFixedHeight(kToolBarHeight);
    SetControlHelpContext(paToolBar, HelpToolBar);
    PaintBox = new TPaintBox([this](QPainter& painter) { PaintBoxPaint(painter); });
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    auto* strip = new QHBoxLayout(paToolBar);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->addWidget(PaintBox);
    column->addWidget(paToolBar);

    // paMain and the bottom panel share the height through splitterHorizontal.
    splitterHorizontal = new TCustomDrawnSplitter(Qt::Vertical);
    splitterHorizontal->setObjectName(QStringLiteral("splitterHorizontal"));
    splitterHorizontal->setHandleWidth(kSplitterSize);
    splitterHorizontal->setChildrenCollapsible(false);
    column->addWidget(splitterHorizontal, 1);

    paMain = new QWidget;
    paMain->setObjectName(QStringLiteral("paMain"));
    auto* mainRow = new QHBoxLayout(paMain);
    mainRow->setContentsMargins(0, 0, 0, 0);
    mainRow->setSpacing(0);
    paTop = new QWidget;
    paTop->setObjectName(QStringLiteral("paTop"));
    mainRow->addWidget(paTop, 1);
    paTaskAssistant = NewPanel("paTaskAssistant");
    paTaskAssistant->setFixedWidth(kTaskAssistantWidth);
    paTaskAssistant->hide();
    mainRow->addWidget(paTaskAssistant);

    // The left browser and the entry browser share the width through
    // splitterVertical; its bar goes with paLeft, which starts hidden.
    auto* topColumn = new QVBoxLayout(paTop);
    topColumn->setContentsMargins(0, 0, 0, 0);
    splitterVertical = new TCustomDrawnSplitter(Qt::Horizontal);
    splitterVertical->setObjectName(QStringLiteral("splitterVertical"));
    splitterVertical->setHandleWidth(kSplitterSize);
    splitterVertical->setChildrenCollapsible(false);
    topColumn->addWidget(splitterVertical);
    paLeft = NewPanel("paLeft");
    auto* leftColumn = new QVBoxLayout(paLeft);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    paBrowse = NewPanel("paBrowse");
    splitterVertical->addWidget(paLeft);
    splitterVertical->addWidget(paBrowse);
    splitterVertical->setStretchFactor(0, 0);
    splitterVertical->setStretchFactor(1, 1);
    splitterVertical->setSizes({kLeftWidth, kInitialClientSize.width() - kLeftWidth - kSplitterSize});
    paLeft->hide();

    paAuxiliary = NewPanel("paAuxiliary");
    paAuxiliary->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    splitterHorizontal->addWidget(paMain);
    splitterHorizontal->addWidget(paAuxiliary);
    splitterHorizontal->setStretchFactor(0, 1);
    splitterHorizontal->setStretchFactor(1, 0);
    const int mainHeight = kInitialClientSize.height() - kToolBarHeight - kSplitterSize - kAuxiliaryHeight - 19;
    splitterHorizontal->setSizes({mainHeight, kAuxiliaryHeight});
}

QAction* TfrmTessarynMain::AddCommand(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                                      QChar shortcut, void (TfrmTessarynMain::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    if (!shortcut.isNull())
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(shortcut.unicode())));
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    else
        // Its window or its part of the work area is not in this release:
        // the command is shown where it belongs, but cannot be chosen.
        action->setEnabled(false);
    return action;
}

void TfrmTessarynMain::CreateMenus()
{
    QMenuBar* cmMain = menuBar();
    cmMain->setObjectName(QStringLiteral("cmMain"));
    // The menu is the window's own; a global menu bar would take it away
    // from the window and its status bar hints.
    cmMain->setNativeMenuBar(false);

    auto heading = [cmMain](const char* name, const QString& caption, const QString& hint) {
        QMenu* menu = cmMain->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setStatusTip(hint);
        return menu;
    };

    QMenu* m = heading("miNewEntry", QStringLiteral("New entry"), QStringLiteral("Create a new entry using various methods"));
    AddCommand(m, "miNewEntryFromMonitoredFolder", QStringLiteral("From monitored folder files"),
               QStringLiteral("Creates a new entry from files contained in the \"monitored folder\""), QChar(),
               &TfrmTessarynMain::NewEntryFromMonitoredFolder);
    m->addSeparator();
    AddCommand(m, "miNewEntryFromClipboard", QStringLiteral("From clipboard contents"),
               QStringLiteral("Creates a new entry from clipboard contents (files, text, etc)"), QChar(),
               &TfrmTessarynMain::NewEntryFromClipboard);
    AddCommand(m, "miNewEntryFromQuickNote", QStringLiteral("From a \"Quick Note\""),
               QStringLiteral("Lets you write some text in an editor window and creates a new entry with this text"),
               QChar(), &TfrmTessarynMain::miNewEntryFromQuickNoteClick);
    m->addSeparator();
    AddCommand(m, "miNewEntryFromClipboardAsHTML", QStringLiteral("From clipboard contents (as HTML)"),
               QStringLiteral("Creates a new entry from clipboard contents in HTML format"), QChar(),
               &TfrmTessarynMain::NewEntryFromClipboardAsHTML);
    AddCommand(m, "miNewEntryFromClipboardAsPlainText", QStringLiteral("From clipboard contents (as plain text)"),
               QStringLiteral("Creates a new entry from clipboard contents in plain text format"), QChar(),
               &TfrmTessarynMain::NewEntryFromClipboardAsPlainText);

    m = heading("miMonitoredFolder", QStringLiteral("Monitored folder"), QString());
    AddCommand(m, "miPasteFromClipboard", QStringLiteral("Paste from clipboard"),
               QStringLiteral("Paste clipboard contents into files in monitored folder"), QChar(),
               &TfrmTessarynMain::PasteFromClipboard);
    AddCommand(m, "miPasteAsHtml", QStringLiteral("Paste from clipboard as HTML"),
               QStringLiteral("Paste clipboard contents into an HTML file in monitored folder"), QChar(),
               &TfrmTessarynMain::PasteAsHtml);
    AddCommand(m, "miPasteAsText", QStringLiteral("Paste from clipboard as plain text"),
               QStringLiteral("Paste clipboard contents into a plain text (.TXT) file in monitored folder"), QChar(),
               &TfrmTessarynMain::PasteAsText);
    m->addSeparator();
    AddCommand(m, "miManageMonitoredFolder", QStringLiteral("Manage files"),
               QStringLiteral("View monitored folder to select files to store in Tessaryn entries"));
    AddCommand(m, "miOpenMonitoredFolder", QStringLiteral("Explore"),
               QStringLiteral("Opens monitored folder to view / edit files"), QChar(),
               &TfrmTessarynMain::acOpenMonitoredFolderExecute);
    m->addSeparator();
    AddCommand(m, "miClear", QStringLiteral("Clear"), QStringLiteral("Click to empty all files from monitored folder"));

    m = heading("miBrowse", QStringLiteral("Browse"), QStringLiteral("Browse entries by category, book, bookmark sets, etc"));
    miBrowseByCategory = AddCommand(m, "miBrowseByCategory", QStringLiteral("Categories"),
                                    QStringLiteral("Browse entries by category"), QLatin1Char('G'),
                                    &TfrmTessarynMain::miBrowseByCategoryClick);
    AddCommand(m, "miBrowseByBook", QStringLiteral("Books"), QStringLiteral("Browse the books you have created"))
        ->setVisible(false);
    miBrowseByBookmarkSet = AddCommand(m, "miBrowseByBookmarkSet", QStringLiteral("Bookmark sets"),
                                       QStringLiteral("Browse bookmark sets"), QLatin1Char('K'),
                                       &TfrmTessarynMain::ShowBookmarkSetBrowser);
    m->addSeparator();
    miSearch = AddCommand(m, "miSearch", QStringLiteral("Search"),
                          QStringLiteral("Search for certain words or phrases"), QLatin1Char('F'),
                          &TfrmTessarynMain::miSearchClick);

    m = heading("miOrganize", QStringLiteral("Organize"),
                QStringLiteral("Management of categories, bookmark sets, folder, etc."));
    miManageCategories = AddCommand(m, "miManageCategories", QStringLiteral("Manage categories"),
                                    QStringLiteral("Add, delete, change categories"), QChar(),
                                    &TfrmTessarynMain::acManageCategoriesExecute);
    AddCommand(m, "miManageBookmarkSets", QStringLiteral("Manage bookmark sets"),
               QStringLiteral("Add, delete, change bookmark sets"), QChar(),
               &TfrmTessarynMain::miManageBookmarkSetsClick);
    QMenu* miMonitor = m->addMenu(QStringLiteral("Monitoring"));
    miMonitor->setObjectName(QStringLiteral("miMonitor"));
    miMonitor->menuAction()->setObjectName(QStringLiteral("miMonitor"));
    miMonitor->menuAction()->setVisible(false);
    AddCommand(miMonitor, "miStartMonitoring", QStringLiteral("Start monitoring folder"),
               QStringLiteral("Start monitoring for folder changes"));
    AddCommand(miMonitor, "miStopMonitoring", QStringLiteral("Stop monitoring folder"),
               QStringLiteral("Stop monitoring folder changes"));

    m = heading("miView", QStringLiteral("View"), QString());
    AddCommand(m, "miViewOpenEntries", QStringLiteral("Open entries"),
               QStringLiteral("Show the window with the entries currently open for editing"), QChar(),
               &TfrmTessarynMain::acWN_OpenEntriesExecute);
    m->addSeparator();
    AddCommand(m, "miViewTaskAssistant", QStringLiteral("Task Assistant"),
               QStringLiteral("Show / hide the task assistant"))
        ->setCheckable(true);
    AddCommand(m, "miViewBottomPanel", QStringLiteral("Bottom panel"), QString())->setVisible(false);
    m->addSeparator();
    AddCommand(m, "miOpenExtractFolder", QStringLiteral("\"Extract\" folder"),
               QStringLiteral("Opens folder into which files are extracted temporarily"), QChar(),
               &TfrmTessarynMain::acOpenExtractFolderExecute);
    AddCommand(m, "miOpenExportFolder", QStringLiteral("Open \"export\" folder"),
               QStringLiteral("Opens folder into which application exports entries (e.g. as .HTML, etc.)"), QChar(),
               &TfrmTessarynMain::miOpenExportFolderClick);

    m = heading("miDatabase", QStringLiteral("Database"), QString());
    AddCommand(m, "miDatabaseStatistics", QStringLiteral("Statistics"),
               QStringLiteral("View the total number of entries, categories etc. in the database"), QChar(),
               &TfrmTessarynMain::miDatabaseStatisticsClick);
    m->addSeparator();
    AddCommand(m, "miDatabaseCompact", QStringLiteral("Compact"),
               QStringLiteral("Shrinks Tessaryn database to minimize the disk space it occupies"), QChar(),
               &TfrmTessarynMain::miDatabaseCompactClick);
    m->addSeparator();
    AddCommand(m, "miDatabaseBackup", QStringLiteral("Backup"),
               QStringLiteral("Backs up Tessaryn database to a folder you will be asked to specify."), QChar(),
               &TfrmTessarynMain::miDatabaseBackupClick);
    AddCommand(m, "miDatabaseRestore", QStringLiteral("Restore"),
               QStringLiteral("Restores Tessaryn database from a backup file you have previously created"), QChar(),
               &TfrmTessarynMain::miDatabaseRestoreClick);

    m = heading("miApplication", QStringLiteral("Application"), QStringLiteral("Hide / minimize / exit this application"));
    miSendToTrayBar = AddCommand(m, "miSendToTrayBar", QStringLiteral("Send to tray bar"),
                                 QStringLiteral("Hides this window (leaves the application icon in the tray bar)"),
                                 QLatin1Char('T'), &TfrmTessarynMain::acSendToTrayBarExecute);
    miApplicationSeparator1 = m->addSeparator();
    miApplicationSeparator1->setObjectName(QStringLiteral("miApplicationSeparator1"));
    AddCommand(m, "miPreferences", QStringLiteral("Settings"), QStringLiteral("Edit application settings"), QChar(),
               &TfrmTessarynMain::acPreferencesExecute);
    m->addSeparator();
    AddCommand(m, "miExit", QStringLiteral("Exit"), QStringLiteral("Exit Tessaryn"), QLatin1Char('Q'),
               &TfrmTessarynMain::DoExitApplication);

    m = heading("miHelp", QStringLiteral("Help"), QString());
    AddCommand(m, "miHelpContents", QStringLiteral("Contents"), QStringLiteral("Shows Tessaryn help contents"), QChar(),
               &TfrmTessarynMain::miHelpContentsClick);
    AddCommand(m, "miQuickStart", QStringLiteral("Quick Start !"), QStringLiteral("Help on how you can get started "),
               QChar(), &TfrmTessarynMain::miQuickStartClick);
    AddCommand(m, "miHowdoI", QStringLiteral("How do I..."), QString(), QChar(), &TfrmTessarynMain::miHowdoIClick);
    m->addSeparator();
    AddCommand(m, "miAbout", QStringLiteral("About"), QStringLiteral("About Tessaryn..."), QChar(),
               &TfrmTessarynMain::miAboutClick);
}

void TfrmTessarynMain::CreateTrayMenu()
{
    popTrayBar = new QMenu(this);
    popTrayBar->setObjectName(QStringLiteral("popTrayBar"));
    AddCommand(popTrayBar, "miActivate", QStringLiteral("Activate"), QString(), QChar(), &TfrmTessarynMain::DoActivate);
    Sendtotraybar1 = AddCommand(popTrayBar, "Sendtotraybar1", QStringLiteral("Send to tray bar"), QString(),
                                QLatin1Char('T'), &TfrmTessarynMain::acSendToTrayBarExecute);
    Sendtotraybar1->setVisible(false);
    AddCommand(popTrayBar, "miPopPreferences", QStringLiteral("Settings"), QStringLiteral("Edit application settings"),
               QChar(), &TfrmTessarynMain::acPreferencesExecute);
    popTrayBar->addSeparator();
    AddCommand(popTrayBar, "miPopExit", QStringLiteral("Exit"), QStringLiteral("Exits the application permanently"),
               QLatin1Char('Q'), &TfrmTessarynMain::DoExitApplication);
}

void TfrmTessarynMain::acPreferencesExecute()
{
    QMetaObject::invokeMethod(this, [this] { ShowPreferences(QStringLiteral("laEntryBrowsing")); },
                              Qt::QueuedConnection);
}

void TfrmTessarynMain::ShowPreferences(const QString& linkName)
{
    // The window edits this window's task assistant and toolbar through them.
    if (m_layout)
        TFrmPreferences::ShowPreferences(m_dmMain, {m_layout->TaskAssistant(), m_layout->Toolbar()}, linkName, this);
}

// --- activation by a second instance ---------------------------------------------

bool TfrmTessarynMain::ListenForActivation(const QString& serverName)
{
    delete m_activationServer;
    m_activationServer = new QLocalServer(this);
    m_activationServer->setObjectName(QStringLiteral("ActivationServer"));
    m_activationServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_activationServer->listen(serverName)) {
        // The caller holds the instance lock, so a socket left behind is
        // that of a process that died: take its place.
        QLocalServer::removeServer(serverName);
        if (!m_activationServer->listen(serverName))
            return false;
    }
    connect(m_activationServer, &QLocalServer::newConnection, this, &TfrmTessarynMain::ActivationConnection);
    return true;
}

void TfrmTessarynMain::ActivationConnection()
{
    while (QLocalSocket* socket = m_activationServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine().trimmed() == ActivateMessage) {
                DoActivate();
                // the sender waits for this answer, as it would for a sent message
                socket->write(ActivatedAnswer + '\n');
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

void TfrmTessarynMain::LogActivation()
{
    const QString path = qEnvironmentVariable("TESSARYN_ACTIVATION_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        log.write("activated " + QByteArray::number(QCoreApplication::applicationPid()) + '\n');
}

// --- tray bar ---------------------------------------------------------------------

void TfrmTessarynMain::AddTrayIcon()
{
    if (m_trayIcon)
        return;
    m_trayIcon = new QSystemTrayIcon(windowIcon(), this);
    m_trayIcon->setObjectName(QStringLiteral("TrayIcon"));
    m_trayIcon->setToolTip(TrayTip);
    // a right click pops the menu up at the cursor
    m_trayIcon->setContextMenu(popTrayBar);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            DoActivate();
    });
    connect(m_trayIcon, &QSystemTrayIcon::messageClicked, this, &TfrmTessarynMain::DoActivate);
    // Without a notification area (a bare X server, no display) there is
    // nothing to show it in.
    if (SystemTrayAvailable())
        m_trayIcon->show();
}

void TfrmTessarynMain::RemoveTrayIcon()
{
    delete m_trayIcon;
    m_trayIcon = nullptr;
}

void TfrmTessarynMain::ShowTrayIcon()
{
    AddTrayIcon();
    miSendToTrayBar->setVisible(true);
    miApplicationSeparator1->setVisible(true);
}

void TfrmTessarynMain::HideTrayIcon()
{
    RemoveTrayIcon();
    miSendToTrayBar->setVisible(false);
    miApplicationSeparator1->setVisible(false);
}

bool TfrmTessarynMain::ShowBalloon(const QString& text, const QString& title)
{
    if (m_trayIcon && m_trayIcon->isVisible() && SystemTrayAvailable() && QSystemTrayIcon::supportsMessages()) {
        m_trayIcon->showMessage(title.left(BalloonTitleLimit), text.left(BalloonTextLimit),
                                QSystemTrayIcon::Information, BalloonTimeoutMs);
        return true;
    }
    // A balloon nobody can see would leave a save, a move or a paste without
    // any sign that it happened; the window says it instead.
    ShowInfoHint(text);
    return true;
}

bool TfrmTessarynMain::CanHideToTray() const
{
    return m_dmMain.App.ShowTrayIcon && SystemTrayAvailable();
}

void TfrmTessarynMain::HideToTrayBar()
{
    hide();
    m_hiddenInTrayBar = true;
}

void TfrmTessarynMain::DoActivate()
{
    if (m_hiddenInTrayBar || isHidden())
        show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    m_hiddenInTrayBar = false;
    LogActivation();
}

void TfrmTessarynMain::acSendToTrayBarExecute()
{
    // With no notification area a hidden window could not be found again;
    // the task bar keeps a minimized one within reach.
    if (!SystemTrayAvailable()) {
        showMinimized();
        return;
    }
    HideToTrayBar();
}

// --- exit and close ---------------------------------------------------------------

void TfrmTessarynMain::DoExitApplication()
{
    m_exitRequested = true;
    close();
}

bool TfrmTessarynMain::FormCloseQuery()
{
    // Without a notification area the close button is Exit: hiding the
    // window would leave the program running with no way back to it.
    const bool allowed = m_exitRequested || m_sessionEnding || !CanHideToTray();
    if (!allowed) {
        HideToTrayBar();
        return false;
    }
    if (m_dmMain.EntryManager().OpenEntries().AnyModified()) {
        m_dmMain.Desktop().ShowMessage(UnsavedEntriesText, IDesktop::TMsgKind::Warning);
        DoActivate();
        return false;
    }
    return true;
}

void TfrmTessarynMain::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    TFrmStatusBarMain::closeEvent(event);
    event->accept();
    emit FormClosed();
}

void TfrmTessarynMain::CommitSessionData()
{
    // The session may end the process without another word once this
    // returns: what Exit would store goes to the database now.
    qCInfo(lcStartup) << "the desktop session is ending; storing the settings";
    try {
        m_dmMain.SaveSettings();
        m_dmMain.Settings().Flush();
    } catch (const ETessarynError& e) {
        qCWarning(lcStartup).noquote() << "the settings could not be stored:" << e.Message();
    }
}

bool TfrmTessarynMain::QueryEndSession()
{
    if (m_dmMain.EntryManager().OpenEntries().AnyModified()) {
        m_dmMain.Desktop().ShowMessage(UnsavedEntriesText, IDesktop::TMsgKind::Warning);
        DoActivate();
        return false;
    }
    return true;
}

void TfrmTessarynMain::SessionEndQuery(QSessionManager& manager)
{
#ifndef QT_NO_SESSIONMANAGER
    if (!m_dmMain.EntryManager().OpenEntries().AnyModified()) {
        // the windows are about to be closed: the tray must not keep this one
        m_sessionEnding = true;
        CommitSessionData();
        return;
    }
    // the session manager must be asked before a message is shown
    const bool interact = manager.allowsInteraction();
    QueryEndSession();
    if (interact)
        manager.release();
    manager.cancel();
#else
    Q_UNUSED(manager);
#endif
}

// --- keyboard ---------------------------------------------------------------------

bool TfrmTessarynMain::FormKeyDown(QKeyEvent* event)
{
    if (TFrmStatusBarMain::FormKeyDown(event))
        return true;
    // Keys of a dialog opened over this window are the dialog's.
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus ? focus->window() : QApplication::activeWindow();
    if (target && target != this)
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_F1 && modifiers == Qt::NoModifier) {
        OpenHelp(FocusHelpContext(focus, HelpWindow));
        return true;
    }
    if (modifiers != Qt::ControlModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_F:
        // The search box is the layout's; the key is the window's either way.
        if (miSearch->isEnabled())
            miSearch->trigger();
        return true;
    case Qt::Key_Q:
        DoExitApplication();
        return true;
    case Qt::Key_T:
        acSendToTrayBarExecute();
        return true;
    default:
        return false;
    }
}

// --- drops and pastes -----------------------------------------------------------------

QStringList TfrmTessarynMain::DropComboTarget1Drop(const TDropData& data)
{
    TAppSettings& app = m_dmMain.App;
    if (!m_dmMain.EventAssistant().RealDrop() || app.OnDropAction != 0) {
        const QStringList written = m_dmMain.EventAssistant().StoreDroppedData(app.MonitoredFolder, data);
        // The files land in a folder the user is not looking at: say where
        // they went, or the command seems to have done nothing.
        if (!written.isEmpty()) {
            QStringList names;
            for (const QString& path : written)
                names.append(QFileInfo(path).fileName());
            m_dmMain.Desktop().Notice(QStringLiteral("[Tessaryn]"),
                                      StoredInMonitoredFolderText.arg(names.join(QStringLiteral(", "))));
            m_monitoredFolder->CheckFolderContent();
        }
        return written;
    }
    // the new entry opens once the drop has completed (OpenDroppedEntry)
    m_dmMain.Capture().CreateEntryFromDrop(data);
    return {};
}

void TfrmTessarynMain::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    const bool wanted = mime->hasUrls() || mime->hasText() || mime->hasHtml() || mime->hasImage()
                        || mime->hasFormat(QStringLiteral("text/x-moz-url"));
    if (!wanted || !(event->possibleActions() & (Qt::CopyAction | Qt::LinkAction))) {
        event->ignore();
        return;
    }
    event->setDropAction(event->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    event->accept();
}

void TfrmTessarynMain::dragMoveEvent(QDragMoveEvent* event)
{
    event->setDropAction(event->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    event->accept();
}

void TfrmTessarynMain::dropEvent(QDropEvent* event)
{
    // A drop while another window of the program is in front is not meant for this one.
    if (!isActiveWindow()) {
        event->ignore();
        return;
    }
    event->setDropAction(event->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
    event->accept();
    const TDropData data = TDropData::FromMimeData(*event->mimeData());
    RunCommand([&] { DropComboTarget1Drop(data); });
}

void TfrmTessarynMain::PasteIntoMonitoredFolder(int handling)
{
    RunCommand([&] {
        TAppSettings& app = m_dmMain.App;
        const TRestoreOnExit<int> mode(app.ClipboardTextHandling, handling != 0 ? handling : app.ClipboardTextHandling);
        // a paste is a drop that is not real: it always lands in the monitored folder
        const QStringList written =
            m_dmMain.EventAssistant().PasteClipboard([this](const TDropData& data) { return DropComboTarget1Drop(data); });
        if (written.isEmpty())
            m_dmMain.Desktop().ShowMessage(TEventAssistant::NothingToStoreText, IDesktop::TMsgKind::Information);
    });
}

void TfrmTessarynMain::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const EAbort&) {
    } catch (const ETessarynError& e) {
        m_dmMain.Desktop().ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
    } catch (const std::exception& e) {
        m_dmMain.Desktop().ShowMessage(QString::fromUtf8(e.what()), IDesktop::TMsgKind::Error);
    }
}

// --- commands -------------------------------------------------------------------------

void TfrmTessarynMain::NewEntryFromMonitoredFolder()
{
    RunCommand([this] { m_dmMain.EntryManager().CreateEntryFromMonitoredFolder(m_dmMain.App.MonitoredFolder); });
}

void TfrmTessarynMain::NewEntryFromClipboard()
{
    RunCommand([this] { m_dmMain.Capture().CreateEntryFromClipboard(0); });
}

void TfrmTessarynMain::NewEntryFromClipboardAsHTML()
{
    RunCommand([this] { m_dmMain.Capture().CreateEntryFromClipboard(2); });
}

void TfrmTessarynMain::NewEntryFromClipboardAsPlainText()
{
    RunCommand([this] { m_dmMain.Capture().CreateEntryFromClipboard(3); });
}

void TfrmTessarynMain::miNewEntryFromQuickNoteClick()
{
    TFrmQuickNote note(m_dmMain, this);
    if (note.exec() != QDialog::Accepted)
        return;
    const QString text = note.Text();
    RunCommand([&] { m_dmMain.Capture().CreateEntryFromQuickNote(text); });
}

void TfrmTessarynMain::PasteFromClipboard()
{
    PasteIntoMonitoredFolder(0);
}

void TfrmTessarynMain::PasteAsHtml()
{
    PasteIntoMonitoredFolder(2);
}

void TfrmTessarynMain::PasteAsText()
{
    PasteIntoMonitoredFolder(3);
}

void TfrmTessarynMain::Explore(const QString& folder)
{
    ExploreWithDesktop(m_dmMain.Desktop(), folder);
}

void TfrmTessarynMain::acOpenMonitoredFolderExecute()
{
    Explore(m_dmMain.App.MonitoredFolder);
}

void TfrmTessarynMain::acOpenExtractFolderExecute()
{
    Explore(m_dmMain.App.ExtractFolder);
}

void TfrmTessarynMain::miOpenExportFolderClick()
{
    Explore(m_dmMain.App.ExportFolder);
}

void TfrmTessarynMain::acWN_OpenEntriesExecute()
{
    if (m_dmMain.EntryManager().OpenEntries().Count() <= 0)
        return;
    // The window of the open entries exists only while entries are open in it.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("TfrmOpenEntries")) {
            window->show();
            window->raise();
            window->activateWindow();
            return;
        }
    }
}

void TfrmTessarynMain::OpenHelpPage(IDesktop& desktop, int context)
{
    const QString page = HelpPage(context);
    if (!QFileInfo(page).isFile()) {
        desktop.ShowMessage(QStringLiteral("The help page \"%1\" could not be found. The program's help folder may be "
                                           "missing: install the program again.")
                                .arg(QDir::toNativeSeparators(page)),
                            IDesktop::TMsgKind::Error);
        return;
    }
    OpenWithDesktop(desktop, page);
}

void TfrmTessarynMain::OpenHelp(int context)
{
    OpenHelpPage(m_dmMain.Desktop(), context);
}

void TfrmTessarynMain::miHelpContentsClick()
{
    OpenHelp(HelpContents);
}

void TfrmTessarynMain::miQuickStartClick()
{
    OpenHelp(HelpQuickStart);
}

void TfrmTessarynMain::miHowdoIClick()
{
    OpenHelp(HelpHowDoI);
}

void TfrmTessarynMain::miAboutClick()
{
    TfrmSplash about(this);
    about.OnReleased = [this] { ApplyColorScheme(); };
    about.ShowAbout();
}

// --- painting and colours ---------------------------------------------------------------

bool TfrmTessarynMain::GradientStrip() const
{
    return m_dmMain.Colour(csHighlightStart) != m_dmMain.Colour(csHighlightEnd);
}

void TfrmTessarynMain::PaintBoxPaint(QPainter& painter)
{
    const QRect area = PaintBox->rect().adjusted(0, 0, 0, -1);
    const QColor start = m_dmMain.Colour(csHighlightStart);
    if (GradientStrip()) {
        QLinearGradient gradient(area.topLeft(), area.bottomLeft());
        gradient.setColorAt(0, start);
        gradient.setColorAt(1, TdmMain::Lighten(start, 40));
        painter.fillRect(area, gradient);
    } else {
        painter.fillRect(area, start);
    }
    if (!m_logo.isNull())
        painter.drawPixmap(area.right() + 1 - m_logo.width(), area.top(), m_logo);
}

void TfrmTessarynMain::ApplyColorScheme()
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, m_dmMain.Colour(csWindow));
    colours.setColor(QPalette::WindowText, m_dmMain.Colour(csWindowText));
    setPalette(colours);

    // Every menu of the program, this window's and the pop-ups of the
    // others, frames its highlighted item with the pen colour and fills it
    // from the brush colour.
    TCoolMenuStyle::Install()->SetMenuColours(m_dmMain.Colour(csMenuPen), m_dmMain.Colour(csMenuBrush));

    for (TCustomDrawnSplitter* splitter : {splitterHorizontal, splitterVertical}) {
        splitter->SetArrowColor(m_dmMain.Colour(csSplitterArrow));
        splitter->SetButtonColor(m_dmMain.Colour(csSplitterButton));
        splitter->SetButtonColorHigh(m_dmMain.Colour(csSplitterButtonHighlight));
    }
    if (m_layout) {
        const QColor end = m_dmMain.Colour(csHighlightEnd);
        m_layout->TaskAssistant().SetHeaderColor(
            QColor(qMax(0, end.red() - 12), qMax(0, end.green() - 12), qMax(0, end.blue() - 12)));
    }
    PaintBox->update();
}

void TfrmTessarynMain::SetWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TfrmTessarynMain::SetDefaultCursor()
{
    QApplication::restoreOverrideCursor();
}

// --- splitters --------------------------------------------------------------------------

bool TfrmTessarynMain::splitterHorizontalCanResize(int newHeight) const
{
    return centralWidget()->height() - newHeight >= kMinimumRestHeight;
}

void TfrmTessarynMain::LimitBottomPanel()
{
    // The splitter keeps the panel within its maximum height, so the rule
    // holds for every drag and every resize of the window.
    paAuxiliary->setMaximumHeight(qMax(0, centralWidget()->height() - kMinimumRestHeight));
}

void TfrmTessarynMain::resizeEvent(QResizeEvent* event)
{
    TFrmStatusBarMain::resizeEvent(event);
    LimitBottomPanel();
    if (m_layout)
        m_layout->Toolbar().SetVisibleLimit(TToolbarAssistant::LimitForWidth(width()));
}

void TfrmTessarynMain::FormShow()
{
    TFrmStatusBarMain::FormShow();
    if (!m_layoutLoaded && m_layout) {
        m_layoutLoaded = true;
        m_layout->LoadLayout();
    }
    if (m_layout)
        m_layout->UpdateCommandStates();
}
