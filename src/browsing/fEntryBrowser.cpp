#include "browsing/fEntryBrowser.h"

#include "controls/FancyComboBox.h"
#include "controls/ResBitBtn.h"
#include "controls/ResSpeedBtn3State.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "browsing/EntryFilesGrid.h"
#include "browsing/HtmlExport.h"
#include "browsing/dBookmarkSets.h"
#include "browsing/EntryGrid.h"
#include "browsing/IDataChangeListener.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/EntryCapture.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/OpenWithDesktop.h"
#include "engine/fMailEntries.h"
#include "editing/fSelectBookmarkSet.h"
#include "editing/fSelectCategories.h"
#include "mainwindow/CategoryMenu.h"
#include "organisation/fBookmarkSetManager.h"
#include "search/SearchQuery.h"
#include "search/dmSearch.h"
#include "settings/MruDropDown.h"
#include "settings/MruLists.h"

#include <QActionGroup>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

const QString TfrmEntryBrowser::KeylessSearchQuestion =
    QStringLiteral("Searching without specifying any keys will fetch ALL %1 entries from the database. Are you sure "
                   "you want to proceed?");
const QString TfrmEntryBrowser::SearchFailedText =
    QStringLiteral("The search could not be completed; the previous result is still shown.\r\n\r\nThe database "
                   "reported: %1");
const QString TfrmEntryBrowser::RecordCountText = QStringLiteral("%1 entries found.");
const QString TfrmEntryBrowser::EntryNotSavedText = QStringLiteral("Entry was NOT saved.");
const QString TfrmEntryBrowser::EntryCodesMimeType = QStringLiteral("application/x-tessaryn-entry-codes");

namespace {

const QString kCode = QStringLiteral("code");
const QString kTitle = QStringLiteral("Title");
const QString kCategory = QStringLiteral("category");
const QString kOrdering = QStringLiteral("Ordering");

// A bookmark set lists the standard columns (in the engine's own form) and
// the position of each entry in the set.
const QString kBookmarkOrdering = QStringLiteral(", bookmarks.Ordering");
const QString kBookmarkFrom = QStringLiteral(" from bookmarks inner join entries on bookmarks.entry = entries.code ");
const QString kBookmarkWhere = QStringLiteral("where bookmarks.bookmarkset = ");

QAction* NewAction(QObject* parent, const char* name, const QString& caption, const QString& hint = QString())
{
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    return action;
}

} // namespace

QList<int> TfrmEntryBrowser::EntryCodesFromMime(const QMimeData* mime)
{
    QList<int> codes;
    if (mime && mime->hasFormat(EntryCodesMimeType))
        CommaTextToCodes(QString::fromLatin1(mime->data(EntryCodesMimeType)), codes);
    return codes;
}

TfrmEntryBrowser::TfrmEntryBrowser(TdmMain& dmMain, QWidget* parent)
    : QWidget(parent),
      m_dmMain(dmMain),
      m_search(std::make_unique<TdmSearch>(dmMain.Connection(), dmMain.Desktop()))
{
    setObjectName(QStringLiteral("frmEntryBrowser"));
    // Entries with the same title or modification day follow their codes,
    // so that a refresh keeps the rows where a re-sort put them.
    m_search->SortField = [this] {
        const QString field = m_dmMain.EntriesSortField();
        return field.compare(QStringLiteral("title"), Qt::CaseInsensitive) == 0
                       || field.compare(QStringLiteral("ReverseDateModified"), Qt::CaseInsensitive) == 0
                   ? field + QStringLiteral(";code")
                   : field;
    };
    m_entryFiles = std::make_unique<TEntryFiles>(&m_search->cdsEntryFiles);

    BuildControls();
    BuildActions();
    BuildMenus();

    gr->SetAutoExpand(m_dmMain.App.AutoExpandSearchEntries);
    gr->SetSource(&m_search->cdsSearch);
    m_searchHistory = std::make_unique<TEditMRUListObserver>(edSearch, false, m_dmMain.SearchMRU(), &m_dmMain);
    // Installed after the history's filter, so that this one sees the keys
    // first (Qt asks the latest filter first) and can tell whether Escape
    // found the list of recent searches open.
    edSearch->installEventFilter(this);

    m_dmMain.AddColorSchemeObserver(this);
    ApplyColorScheme();
    UpdateCheckMarks();
    HideEntryFiles();
}

TfrmEntryBrowser::~TfrmEntryBrowser()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    // The history goes before its edit box, the files grid before its list.
    m_searchHistory.reset();
    delete grEntryFiles;
    grEntryFiles = nullptr;
}

// --- building -------------------------------------------------------------------

void TfrmEntryBrowser::BuildControls()
{
    paSearch = new QFrame(this);
    paSearch->setObjectName(QStringLiteral("paSearch"));
    laSearch = new QLabel(QStringLiteral("Search for:"), paSearch);
    laSearch->setObjectName(QStringLiteral("laSearch"));
    edSearch = new QLineEdit(paSearch);
    edSearch->setObjectName(QStringLiteral("edSearch"));
    laSearch->setBuddy(edSearch);
    btnSearch = new TResBitBtn(QStringLiteral("Search!"), paSearch);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setAutoDefault(false);
    laSearchOperator = new QLabel(QStringLiteral("Match:"), paSearch);
    laSearchOperator->setObjectName(QStringLiteral("laSearchOperator"));
    coSearchOperator = new TFancyComboBox(paSearch);
    coSearchOperator->setObjectName(QStringLiteral("coSearchOperator"));
    coSearchOperator->addItems({QStringLiteral("ALL of the keys"), QStringLiteral("ANY of the keys")});
    coSearchOperator->setCurrentIndex(TOstrivaleSearchOptions::OperatorAll);
    btnSearchOptions = new TResBitBtn(QStringLiteral("Options"), paSearch);
    btnSearchOptions->setObjectName(QStringLiteral("btnSearchOptions"));
    btnSearchOptions->setAutoDefault(false);
    auto* searchLayout = new QHBoxLayout(paSearch);
    searchLayout->setContentsMargins(4, 3, 4, 3);
    searchLayout->addWidget(laSearch);
    searchLayout->addWidget(edSearch, 1);
    searchLayout->addWidget(btnSearch);
    searchLayout->addSpacing(6);
    searchLayout->addWidget(laSearchOperator);
    searchLayout->addWidget(coSearchOperator);
    searchLayout->addWidget(btnSearchOptions);

    splBrowseFiles = new QSplitter(Qt::Vertical, this);
    splBrowseFiles->setObjectName(QStringLiteral("splBrowseFiles"));
    splBrowseFiles->setChildrenCollapsible(false);
    paBrowsedEntries = new QFrame(splBrowseFiles);
    paBrowsedEntries->setObjectName(QStringLiteral("paBrowsedEntries"));
    gr = new TEntryGrid(paBrowsedEntries);
    auto* entriesLayout = new QVBoxLayout(paBrowsedEntries);
    entriesLayout->setContentsMargins(0, 0, 0, 0);
    entriesLayout->addWidget(gr);
    paEntryFiles = new QFrame(splBrowseFiles);
    paEntryFiles->setObjectName(QStringLiteral("paEntryFiles"));
    grEntryFiles = new TEntryFilesGrid(m_entryFiles.get(), paEntryFiles);
    auto* filesLayout = new QVBoxLayout(paEntryFiles);
    filesLayout->setContentsMargins(0, 0, 0, 0);
    filesLayout->addWidget(grEntryFiles);
    splBrowseFiles->addWidget(paBrowsedEntries);
    splBrowseFiles->addWidget(paEntryFiles);
    splBrowseFiles->setStretchFactor(0, 3);
    splBrowseFiles->setStretchFactor(1, 1);

    paBrowseButtons = new QFrame(this);
    paBrowseButtons->setObjectName(QStringLiteral("paBrowseButtons"));
    laRecordCount = new QLabel(paBrowseButtons);
    laRecordCount->setObjectName(QStringLiteral("laRecordCount"));
    laRecordCount->setVisible(false);
    btnBrowseDown = new TResSpeedBtn3State(paBrowseButtons);
    btnBrowseDown->setObjectName(QStringLiteral("btnBrowseDown"));
    btnBrowseDown->SetBitmapNormal(QStringLiteral("BMP_FILES_SHOW_NORMAL"));
    btnBrowseDown->SetBitmapHighlighted(QStringLiteral("BMP_FILES_SHOW_HOT"));
    btnBrowseDown->SetBitmapDown(QStringLiteral("BMP_FILES_SHOW_DOWN"));
    btnBrowseDown->setStatusTip(QStringLiteral("Click to show files contained in entry"));
    btnBrowseUp = new TResSpeedBtn3State(paBrowseButtons);
    btnBrowseUp->setObjectName(QStringLiteral("btnBrowseUp"));
    btnBrowseUp->SetBitmapNormal(QStringLiteral("BMP_FILES_HIDE_NORMAL"));
    btnBrowseUp->SetBitmapHighlighted(QStringLiteral("BMP_FILES_HIDE_HOT"));
    btnBrowseUp->SetBitmapDown(QStringLiteral("BMP_FILES_HIDE_DOWN"));
    btnBrowseUp->setStatusTip(QStringLiteral("Click to hide files contained in entry"));
    auto* buttonsLayout = new QHBoxLayout(paBrowseButtons);
    buttonsLayout->setContentsMargins(4, 1, 2, 1);
    buttonsLayout->addWidget(laRecordCount, 1);
    buttonsLayout->addWidget(btnBrowseDown);
    buttonsLayout->addWidget(btnBrowseUp);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(paSearch);
    layout->addWidget(splBrowseFiles, 1);
    layout->addWidget(paBrowseButtons);

    gr->viewport()->setAcceptDrops(true);
    gr->viewport()->installEventFilter(this);
    gr->CategoryPath = [this](int code) {
        const TCategory* category = m_dmMain.Categories().FindByCode(code);
        return category ? category->GetPath() : QString();
    };
    gr->OnKeyDown = [this](QKeyEvent* event) { return GridKeyDown(event); };
    gr->OnMouseDown = [this](QMouseEvent* event, int row) { GridMouseDown(event, row); };
    gr->OnStartDrag = [this] { GridStartDrag(); };
    connect(gr, &TEntryGrid::CurrentRecordChanged, this, &TfrmEntryBrowser::dsSearchDataChange);
    connect(gr, &TEntryGrid::RowDoubleClicked, this, &TfrmEntryBrowser::GridDoubleClick);
    connect(gr, &TEntryGrid::ContextMenuRequested, this, &TfrmEntryBrowser::ShowEntriesMenu);
    connect(grEntryFiles, &TEntryFilesGrid::ContextMenuRequested, this, &TfrmEntryBrowser::ShowEntryFilesMenu);
    grEntryFiles->FilesToDrag = [this] { return PrepareFilesForDrag(); };

    connect(btnSearch, &QPushButton::clicked, this, &TfrmEntryBrowser::btnSearchClick);
    connect(btnSearchOptions, &QPushButton::clicked, this, &TfrmEntryBrowser::btnSearchOptionsClick);
    connect(btnBrowseDown, &QAbstractButton::clicked, this, &TfrmEntryBrowser::btnBrowseDownClick);
    connect(btnBrowseUp, &QAbstractButton::clicked, this, &TfrmEntryBrowser::btnBrowseUpClick);
    m_findShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    m_findShortcut->setObjectName(QStringLiteral("FindShortcut"));
    m_findShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(m_findShortcut, &QShortcut::activated, this, &TfrmEntryBrowser::ShowSearchBox);
}

void TfrmEntryBrowser::SetFindKeyOwnedByHost(bool owned)
{
    m_findShortcut->setEnabled(!owned);
}

void TfrmEntryBrowser::BuildActions()
{
    acEN_ViewEntry = NewAction(this, "acEN_ViewEntry", QStringLiteral("View entry"),
                               QStringLiteral("Views currently highlighted entry (opens it with its associated "
                                              "application)"));
    acEN_EditEntry = NewAction(this, "acEN_EditEntry", QStringLiteral("Edit entry"),
                               QStringLiteral("Allows editing of the entry data and embedded files"));
    acEN_ExploreEntry = NewAction(this, "acEN_ExploreEntry", QStringLiteral("Explore entry folder"),
                                  QStringLiteral("Extracts entry from database and opens its folder contents in "
                                                 "Windows Exlporer"));
    acEN_GoToCategory = NewAction(this, "acEN_GoToCategory", QStringLiteral("Go to containing category"),
                                  QStringLiteral("Browse the category containing this entry"));
    acEN_AddPassword = NewAction(this, "acEN_AddPassword", QStringLiteral("Password protect this entry"),
                                 QStringLiteral("Password protect this entry"));
    acEN_RemovePassword = NewAction(this, "acEN_RemovePassword", QStringLiteral("Remove password from this entry"),
                                    QStringLiteral("Remove password from this entry"));
    miAddClipboardContents = NewAction(this, "miAddClipboardContents", QStringLiteral("Add clipboard contents"),
                                       QStringLiteral("Adds clipboard contents to this entry"));
    miAddClipboardContentsAsHTML =
        NewAction(this, "miAddClipboardContentsAsHTML", QStringLiteral("Add clipboard contents (as HTML)"),
                  QStringLiteral("Adds clipboard contents (in HTML format) to this entry"));
    miAddClipboardContentsAsPlainText =
        NewAction(this, "miAddClipboardContentsAsPlainText", QStringLiteral("Add clipboard contents (as plain text)"),
                  QStringLiteral("Adds clipboard contents (in plain text format) to this entry"));
    miAddMonitoredFolderFiles = NewAction(this, "miAddMonitoredFolderFiles", QStringLiteral("Add monitored folder files"),
                                          QStringLiteral("Add monitored folder files to this entry"));

    acEN_ExtractEntries = NewAction(this, "acEN_ExtractEntries", QStringLiteral("Extract"),
                                    QStringLiteral("Extracts selected entries to default folders"));
    acEN_MergeEntries = NewAction(this, "acEN_MergeEntries", QStringLiteral("Merge"),
                                  QStringLiteral("Merges selected entries into a new, single entry"));
    miMoveToCategory = NewAction(this, "miMoveToCategory", QStringLiteral("Move to category..."),
                                 QStringLiteral("Move all selected entries to a category you will be asked to specify"));
    acEN_DeleteEntries = NewAction(this, "acEN_DeleteEntries", QStringLiteral("Delete"),
                                   QStringLiteral("Permanently deletes the selected entries from the database"));
    miMail = NewAction(this, "miMail", QStringLiteral("Send by e-Mail"), QStringLiteral("Sends selected entries by e-mail"));
    miHTMLExport = NewAction(this, "miHTMLExport", QStringLiteral("Export to an .HTML file"),
                             QStringLiteral("Exports selected entries to an HTML file"));
    miAddToDefaultBookmarks = NewAction(this, "miAddToDefaultBookmarks", QStringLiteral("Add bookmarks"),
                                        QStringLiteral("Adds the selected enrties to the default bookmark set"));
    miAddToExistingBookmarkSet =
        NewAction(this, "miAddToExistingBookmarkSet", QStringLiteral("Add to existing bookmark set"),
                  QStringLiteral("Adds selected entries to an existing bookmark set which you will be asked to specify"));
    miAddToNewBookmarkSet = NewAction(this, "miAddToNewBookmarkSet", QStringLiteral("Add to new bookmark set"),
                                      QStringLiteral("Create a new bookmark set and add the selected entries to it"));
    miRemoveBookmarks = NewAction(this, "miRemoveBookmarks", QStringLiteral("Remove bookmarks"),
                                  QStringLiteral("Removes the selected entries from the current bookmark set"));

    acEN_SelectThis = NewAction(this, "acEN_SelectThis", QStringLiteral("Select highlighted entry"));
    acEN_SelectAll = NewAction(this, "acEN_SelectAll", QStringLiteral("Select all"));
    acEN_SelectNone = NewAction(this, "acEN_SelectNone", QStringLiteral("Select none"));
    acEN_InvertSelection = NewAction(this, "acEN_InvertSelection", QStringLiteral("Invert selection"));
    // The grid handles these keys itself; on the actions they are shown in
    // the menus and work there only, so that the same keys keep their own
    // meaning in the files grid and the search box.
    acEN_SelectThis->setShortcut(QKeySequence(Qt::Key_Space));
    acEN_SelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    acEN_SelectNone->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    acEN_InvertSelection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    acEN_DeleteEntries->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* action : {acEN_SelectThis, acEN_SelectAll, acEN_SelectNone, acEN_InvertSelection, acEN_DeleteEntries})
        action->setShortcutContext(Qt::WidgetShortcut);
    acEN_ToggleAutoExpand = NewAction(this, "acEN_ToggleAutoExpand", QStringLiteral("Auto expand entries"));
    acEN_ToggleAutoExpand->setCheckable(true);
    acEN_SortByLastModifiedDesc = NewAction(this, "acEN_SortByLastModifiedDesc", QStringLiteral("Last modified date"));
    acEN_SortByCreationOrderAsc = NewAction(this, "acEN_SortByCreationOrderAsc", QStringLiteral("Creation order"));
    acEN_SortByCreationOrderDesc =
        NewAction(this, "acEN_SortByCreationOrderDesc", QStringLiteral("Reverse creation order"));
    acEN_SortByTitle = NewAction(this, "acEN_SortByTitle", QStringLiteral("Title"));
    auto* sortGroup = new QActionGroup(this);
    const QList<QAction*> sorts = {acEN_SortByLastModifiedDesc, acEN_SortByCreationOrderAsc,
                                   acEN_SortByCreationOrderDesc, acEN_SortByTitle};
    for (int order = 0; order < sorts.size(); ++order) {
        sorts[order]->setCheckable(true);
        sortGroup->addAction(sorts[order]);
        connect(sorts[order], &QAction::triggered, this, [this, order] { acEN_SortByXXXExecute(order); });
    }

    miOpenCurrent = NewAction(this, "miOpenCurrent", QStringLiteral("Open highlighted file"));
    miSelectHighlightedFile = NewAction(this, "miSelectHighlightedFile", QStringLiteral("(De-) select highlighted file"));
    miSelectAllFiles = NewAction(this, "miSelectAllFiles", QStringLiteral("Select all"));
    miSelectNoneFiles = NewAction(this, "miSelectNoneFiles", QStringLiteral("Select none"));
    miInvertSelectionFiles = NewAction(this, "miInvertSelectionFiles", QStringLiteral("Invert selection"));
    miExtractSelected = NewAction(this, "miExtractSelected", QStringLiteral("Extract selected file(s)"));

    connect(acEN_ViewEntry, &QAction::triggered, this, &TfrmEntryBrowser::acEN_ViewEntryExecute);
    connect(acEN_EditEntry, &QAction::triggered, this, &TfrmEntryBrowser::acEN_EditEntryExecute);
    connect(acEN_ExploreEntry, &QAction::triggered, this, &TfrmEntryBrowser::acEN_ExploreEntryExecute);
    connect(acEN_GoToCategory, &QAction::triggered, this, &TfrmEntryBrowser::acEN_GoToCategoryExecute);
    connect(miAddClipboardContents, &QAction::triggered, this, [this] { AddClipboardContents(0); });
    connect(miAddClipboardContentsAsHTML, &QAction::triggered, this, [this] { AddClipboardContents(2); });
    connect(miAddClipboardContentsAsPlainText, &QAction::triggered, this, [this] { AddClipboardContents(3); });
    connect(acEN_ExtractEntries, &QAction::triggered, this, &TfrmEntryBrowser::acEN_ExtractEntriesExecute);
    connect(miMoveToCategory, &QAction::triggered, this, &TfrmEntryBrowser::miMoveToCategoryClick);
    connect(miHTMLExport, &QAction::triggered, this, &TfrmEntryBrowser::miHTMLExportClick);
    connect(miMail, &QAction::triggered, this, &TfrmEntryBrowser::miMailClick);
    connect(miAddToDefaultBookmarks, &QAction::triggered, this, &TfrmEntryBrowser::miAddToDefaultBookmarksClick);
    connect(miAddToExistingBookmarkSet, &QAction::triggered, this,
            &TfrmEntryBrowser::miAddToExistingBookmarkSetClick);
    connect(miAddToNewBookmarkSet, &QAction::triggered, this, &TfrmEntryBrowser::miAddToNewBookmarkSetClick);
    connect(miRemoveBookmarks, &QAction::triggered, this, &TfrmEntryBrowser::miRemoveBookmarksClick);
    connect(acEN_DeleteEntries, &QAction::triggered, this, &TfrmEntryBrowser::acEN_DeleteEntriesExecute);
    // Merging, passwords and the monitored folder's files are the entry
    // manager's; the browser shows their outcome.
    connect(acEN_MergeEntries, &QAction::triggered, this, [this] {
        bool merged = false;
        RunCommand([&] { merged = m_dmMain.EntryManager().MergeMarkedEntries(SelectedEntryCodes()); });
        if (merged) {
            gr->SelectNone();
            DoSearch();
        }
    });
    auto onCurrent = [this](const std::function<bool(int code, const QString& title)>& command) {
        const int code = CurrentEntryCode();
        if (code <= 0 || !m_entryActionsEnabled)
            return;
        bool done = false;
        RunCommand([&] { done = command(code, gr->Value(gr->CurrentRow(), gr->FieldIndex(kTitle)).toString()); });
        if (done)
            RefreshKeepingSelection();
    };
    connect(acEN_AddPassword, &QAction::triggered, this, [this, onCurrent] {
        onCurrent([this](int code, const QString&) { return m_dmMain.EntryManager().AddPasswordToEntry(code); });
    });
    connect(acEN_RemovePassword, &QAction::triggered, this, [this, onCurrent] {
        onCurrent([this](int code, const QString&) { return m_dmMain.EntryManager().RemovePasswordFromEntry(code); });
    });
    connect(miAddMonitoredFolderFiles, &QAction::triggered, this, [this, onCurrent] {
        onCurrent([this](int code, const QString& title) {
            return m_dmMain.EntryManager().AddMonitoredFolderFilesToEntry(code, title);
        });
    });
    connect(acEN_SelectThis, &QAction::triggered, this, &TfrmEntryBrowser::acEN_SelectThisExecute);
    connect(acEN_SelectAll, &QAction::triggered, this, &TfrmEntryBrowser::acEN_SelectAllExecute);
    connect(acEN_SelectNone, &QAction::triggered, this, &TfrmEntryBrowser::acEN_SelectNoneExecute);
    connect(acEN_InvertSelection, &QAction::triggered, this, &TfrmEntryBrowser::acEN_InvertSelectionExecute);
    connect(acEN_ToggleAutoExpand, &QAction::triggered, this, &TfrmEntryBrowser::acEN_ToggleAutoExpandExecute);
    connect(miOpenCurrent, &QAction::triggered, this, &TfrmEntryBrowser::miOpenCurrentClick);
    connect(miSelectHighlightedFile, &QAction::triggered, this, [this] { m_entryFiles->ToggleCurrent(); });
    connect(miSelectAllFiles, &QAction::triggered, this, [this] { m_entryFiles->SelectAll(); });
    connect(miSelectNoneFiles, &QAction::triggered, this, [this] { m_entryFiles->SelectNone(); });
    connect(miInvertSelectionFiles, &QAction::triggered, this, [this] { m_entryFiles->InvertSelection(); });
    connect(miExtractSelected, &QAction::triggered, this, &TfrmEntryBrowser::miExtractSelectedClick);
}

void TfrmEntryBrowser::BuildMenus()
{
    popEntries = new QMenu(this);
    popEntries->setObjectName(QStringLiteral("popEntries"));
    popEntries->addAction(acEN_ViewEntry);
    popEntries->addAction(acEN_EditEntry);
    popEntries->addAction(acEN_ExploreEntry);
    popEntries->addAction(acEN_GoToCategory);
    popEntries->addAction(acEN_AddPassword);
    popEntries->addAction(acEN_RemovePassword);
    miFirstSeparator = popEntries->addSeparator();
    popEntries->addAction(miAddClipboardContents);
    popEntries->addAction(miAddClipboardContentsAsHTML);
    popEntries->addAction(miAddClipboardContentsAsPlainText);
    popEntries->addAction(miAddMonitoredFolderFiles);
    miClipboardSeparator = popEntries->addSeparator();

    miEN_MarkedEntries = new QMenu(QStringLiteral("Selected entries..."), popEntries);
    miEN_MarkedEntries->setObjectName(QStringLiteral("miEN_MarkedEntries"));
    miEN_MarkedEntries->addAction(acEN_ExtractEntries);
    miEN_MarkedEntries->addAction(acEN_MergeEntries);
    miEN_MarkedEntries->addAction(miMoveToCategory);
    miEN_MarkedEntries->addAction(acEN_DeleteEntries);
    miEN_MarkedEntries->addSeparator()->setObjectName(QStringLiteral("miSeparatorMail"));
    miEN_MarkedEntries->addAction(miMail);
    miEN_MarkedEntries->addAction(miHTMLExport);
    miEN_MarkedEntries->addSeparator()->setObjectName(QStringLiteral("miSeparatorBookmark1"));
    miEN_MarkedEntries->addAction(miAddToDefaultBookmarks);
    miEN_MarkedEntries->addAction(miAddToExistingBookmarkSet);
    miEN_MarkedEntries->addAction(miAddToNewBookmarkSet);
    miSeparatorBookmark2 = miEN_MarkedEntries->addSeparator();
    miSeparatorBookmark2->setObjectName(QStringLiteral("miSeparatorBookmark2"));
    miEN_MarkedEntries->addAction(miRemoveBookmarks);
    miMarkedEntriesAction = popEntries->addMenu(miEN_MarkedEntries);

    miSelectMenu = new QMenu(QStringLiteral("Select..."), popEntries);
    miSelectMenu->setObjectName(QStringLiteral("miSelect"));
    miSelectMenu->addAction(acEN_SelectThis);
    miSelectMenu->addAction(acEN_SelectAll);
    miSelectMenu->addAction(acEN_SelectNone);
    miSelectMenu->addAction(acEN_InvertSelection);
    miSelectMenuAction = popEntries->addMenu(miSelectMenu);
    popEntries->addSeparator();
    popEntries->addAction(acEN_ToggleAutoExpand);
    miSortMenu = new QMenu(QStringLiteral("Sort entries by"), popEntries);
    miSortMenu->setObjectName(QStringLiteral("miSortBy"));
    miSortMenu->addAction(acEN_SortByLastModifiedDesc);
    miSortMenu->addAction(acEN_SortByCreationOrderAsc);
    miSortMenu->addAction(acEN_SortByCreationOrderDesc);
    miSortMenu->addAction(acEN_SortByTitle);
    popEntries->addMenu(miSortMenu);
    connect(popEntries, &QMenu::aboutToShow, this, &TfrmEntryBrowser::popEntriesPopup);

    popEntryFiles = new QMenu(this);
    popEntryFiles->setObjectName(QStringLiteral("popEntryFiles"));
    popEntryFiles->addAction(miOpenCurrent);
    miSelectFilesMenu = new QMenu(QStringLiteral("Select..."), popEntryFiles);
    miSelectFilesMenu->setObjectName(QStringLiteral("miSelectFiles"));
    miSelectFilesMenu->addAction(miSelectHighlightedFile);
    miSelectFilesMenu->addAction(miSelectAllFiles);
    miSelectFilesMenu->addAction(miSelectNoneFiles);
    miSelectFilesMenu->addAction(miInvertSelectionFiles);
    miSelectFilesMenuAction = popEntryFiles->addMenu(miSelectFilesMenu);
    miSelectFilesSeparator = popEntryFiles->addSeparator();
    popEntryFiles->addAction(miExtractSelected);
    connect(popEntryFiles, &QMenu::aboutToShow, this, &TfrmEntryBrowser::popEntryFilesPopup);

}

// --- showing and hiding parts -------------------------------------------------------

void TfrmEntryBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The browser starts from the shared options unless it was given its
    // own already; later shows (the main window back from the tray) keep
    // what it browses now.
    if (!m_ownOptionsSet) {
        m_ownOptionsSet = true;
        m_options.Assign(m_dmMain.SearchOptions());
    }
    UpdateCheckMarks();
}

void TfrmEntryBrowser::ShowSearchBox()
{
    paSearch->setVisible(true);
    edSearch->setFocus(Qt::ShortcutFocusReason);
    edSearch->selectAll();
}

void TfrmEntryBrowser::HideSearchBox()
{
    m_searchHistory->CloseDropDown();
    paSearch->setVisible(false);
}

void TfrmEntryBrowser::ShowEntryFiles()
{
    paEntryFiles->setVisible(true);
    btnBrowseDown->setVisible(false);
    btnBrowseUp->setVisible(true);
}

void TfrmEntryBrowser::HideEntryFiles()
{
    paEntryFiles->setVisible(false);
    btnBrowseDown->setVisible(true);
    btnBrowseUp->setVisible(false);
}

// --- searching ----------------------------------------------------------------------

bool TfrmEntryBrowser::IsBookmarkListing(const TOstrivaleSearchOptions& options) const
{
    return options.CustomSelect.contains(kOrdering, Qt::CaseInsensitive);
}

void TfrmEntryBrowser::btnSearchClick()
{
    IDesktop& desktop = m_dmMain.Desktop();
    const QString keys = edSearch->text();
    m_searchHistory->CloseDropDown();
    if (keys.trimmed().isEmpty()) {
        try {
            const int count = m_dmMain.Connection().CountEntries();
            if (count > KeylessSearchLimit && !desktop.Confirm(KeylessSearchQuestion.arg(count)))
                return;
        } catch (const ETessarynError& error) {
            ShowSearchError(error);
            return;
        }
    }
    TOstrivaleSearchOptions& shared = m_dmMain.SearchOptions();
    shared.Keys = keys;
    shared.Operator = coSearchOperator->currentIndex() == TOstrivaleSearchOptions::OperatorAny
                          ? TOstrivaleSearchOptions::OperatorAny
                          : TOstrivaleSearchOptions::OperatorAll;
    gr->SelectNone();
    try {
        m_dmMain.SearchMRU().AddText(keys);
    } catch (const ETessarynError&) {
        // Not remembering the text is no reason to keep the user from searching.
    }
    m_bookmarkSet = -1;
    if (!DoSearch(&shared))
        return;
    if (ResultCount() > 0 && !(OpenEntriesWindowShowing && OpenEntriesWindowShowing()))
        gr->setFocus(Qt::OtherFocusReason);
    if (ResultCount() > 0 && m_search->cdsSearch.RecNo() != 1) {
        m_search->cdsSearch.First();
        gr->FollowSource();
    }
}

// The options are the program's search options, edited in the settings
// (which the main window opens); the next search from the box copies them.
void TfrmEntryBrowser::btnSearchOptionsClick()
{
    if (m_dmMain.EntryManager().ShowPreferences)
        m_dmMain.EntryManager().ShowPreferences(QStringLiteral("tsSearchOptions"));
}

bool TfrmEntryBrowser::DoSearch(const TOstrivaleSearchOptions* options)
{
    return RunSearch(options, true);
}

bool TfrmEntryBrowser::RunSearch(const TOstrivaleSearchOptions* options, bool reportErrors)
{
    TCursorRestore wait(m_dmMain.Desktop());
    TOstrivaleSearchOptions previous;
    previous.Assign(m_options);
    if (options) {
        m_options.Assign(*options);
        m_ownOptionsSet = true;
    }
    const int previousRow = gr->CurrentRow();
    bool succeeded = true;
    BeginGridUpdate();
    try {
        m_search->BrowsingBookmarkSet = IsBookmarkListing(m_options);
        m_search->RunSearch(m_options);
    } catch (const ETessarynError& error) {
        succeeded = false;
        m_options.Assign(previous);
        RestorePreviousResult(previousRow);
        if (reportErrors)
            ShowSearchError(error);
    }
    EndGridUpdate();
    UpdateRecordCount();
    UpdateCommands();
    return succeeded;
}

void TfrmEntryBrowser::RestorePreviousResult(int currentRow)
{
    // The grid still holds the rows it showed (it is not rebuilt while the
    // search runs): they go back into the result, in the order shown, so
    // that the screen and the commands agree. The files of those entries are
    // gone with the failed fetch.
    ClientRecordSet& result = m_search->cdsSearch;
    DataPacket shown = gr->DisplayedRows();
    if (shown.fields.isEmpty()) {
        result.Close();
        return;
    }
    try {
        result.LoadFromPacket(std::move(shown));
        result.SetRecNo(currentRow + 1);
    } catch (const ETessarynError&) {
        result.Close();
    }
}

void TfrmEntryBrowser::ShowSearchError(const ETessarynError& error)
{
    m_dmMain.Desktop().ShowMessage(SearchFailedText.arg(error.Message()), IDesktop::TMsgKind::Error);
}

void TfrmEntryBrowser::BrowseCategory(int categoryCode)
{
    TOstrivaleSearchOptions options;
    options.Assign(m_dmMain.SearchOptions());
    options.Keys.clear();
    options.AllCategories = false;
    options.IncludeSubcategories = false;
    options.CategoryCodes = {categoryCode};
    HideSearchBox();
    gr->SelectNone();
    m_bookmarkSet = -1;
    DoSearch(&options);
}

void TfrmEntryBrowser::BrowseBookmarkSet(int setCode)
{
    TOstrivaleSearchOptions options;
    options.CustomSelect = TSearchQuery::StandardSelect(m_dmMain.Connection().Dialect()) + kBookmarkOrdering;
    options.CustomFrom = kBookmarkFrom;
    options.CustomWhere = kBookmarkWhere + QString::number(setCode);
    HideSearchBox();
    gr->SelectNone();
    m_bookmarkSet = setCode;
    DoSearch(&options);
}

void TfrmEntryBrowser::RefreshKeepingSelection()
{
    const QList<int> selected = SelectedEntryCodes();
    const int current = CurrentEntryCode();
    const int top = gr->TopRow();
    BeginGridUpdate();
    try {
        if (RunSearch(nullptr, false)) {
            // The grid is rebuilt when the counter drops, with the rows of
            // the new result in their order.
            gr->SetSelection(selected.isEmpty() ? QList<int>()
                                                : RowsOfCodes(selected, m_search->cdsSearch.ToPacket()));
        }
    } catch (...) {
        // A refresh follows an operation that already succeeded; it never
        // turns that into a failure.
    }
    EndGridUpdate();
    try {
        LocateEntry(current);
        if (top < gr->RecordCount())
            gr->SetTopRow(top);
        gr->ScrollToRow(gr->CurrentRow());
    } catch (...) {
    }
    UpdateRecordCount();
}

QList<int> TfrmEntryBrowser::RowsOfCodes(const QList<int>& codes, const DataPacket& rows)
{
    // One pass over the rows, looking each one up among the few codes.
    QHash<int, int> position;
    for (int i = 0; i < codes.size(); ++i)
        position.insert(codes[i], i);
    QList<int> found(codes.size(), -1);
    const int codeField = rows.FieldIndex(kCode);
    for (int row = 0; row < rows.RowCount() && !position.isEmpty(); ++row) {
        const auto at = position.constFind(rows.rows[row].value(codeField).toInt());
        if (at != position.constEnd())
            found[at.value()] = row;
    }
    found.removeAll(-1);
    return found;
}

void TfrmEntryBrowser::ReselectCodes(const QList<int>& codes)
{
    gr->SetSelection(codes.isEmpty() ? QList<int>() : RowsOfCodes(codes, gr->DisplayedRows()));
}

void TfrmEntryBrowser::UpdateRecordCount()
{
    if (!m_search->cdsSearch.Active())
        return;
    const int count = ResultCount();
    laRecordCount->setText(RecordCountText.arg(count > 0 ? QString::number(count) : QStringLiteral("No")));
    laRecordCount->setVisible(true);
}

// --- the current entry ------------------------------------------------------------

int TfrmEntryBrowser::CurrentEntryCode() const
{
    const ClientRecordSet& result = m_search->cdsSearch;
    if (!result.Active() || result.IsEmpty())
        return 0;
    return result.AsInteger(kCode);
}

void TfrmEntryBrowser::LocateEntry(int code)
{
    ClientRecordSet& result = m_search->cdsSearch;
    if (!result.Active() || result.IsEmpty())
        return;
    if (!result.Locate(kCode, code))
        result.First();
    gr->FollowSource();
}

int TfrmEntryBrowser::ResultCount() const
{
    return m_search->cdsSearch.Active() ? m_search->cdsSearch.RecordCount() : 0;
}

void TfrmEntryBrowser::dsSearchDataChange()
{
    ShowCurrentEntryFiles();
    for (QWidget* host = parentWidget(); host; host = host->parentWidget()) {
        if (auto* listener = dynamic_cast<IDataChangeListener*>(host)) {
            listener->DataChanged(&m_search->cdsSearch, QString());
            break;
        }
    }
}

void TfrmEntryBrowser::ShowCurrentEntryFiles()
{
    m_entryFiles->LoadFromRecordSet(CurrentEntryCode());
    m_entryFiles->Notify(TGenericFiles::ListChanged);
}

// --- selection ---------------------------------------------------------------------

QList<int> TfrmEntryBrowser::SelectedEntryCodes() const
{
    QList<int> codes;
    codes.reserve(gr->SelectedCount());
    for (const int row : gr->Selection())
        codes.append(gr->CodeAt(row));
    return codes;
}

QStringList TfrmEntryBrowser::SelectedEntryTitles() const
{
    QStringList titles;
    const int title = gr->FieldIndex(kTitle);
    for (const int row : gr->Selection())
        titles.append(gr->Value(row, title).toString());
    return titles;
}

int TfrmEntryBrowser::SelectedCount() const
{
    return gr->SelectedCount();
}

void TfrmEntryBrowser::acEN_SelectThisExecute()
{
    if (!m_selectionEnabled || !gr->HasRecords())
        return;
    gr->ToggleRow(gr->CurrentRow());
    UpdateCommands();
}

void TfrmEntryBrowser::acEN_SelectAllExecute()
{
    if (!m_selectionEnabled)
        return;
    gr->SelectAll();
    UpdateCommands();
}

void TfrmEntryBrowser::acEN_SelectNoneExecute()
{
    if (!m_selectionEnabled)
        return;
    gr->SelectNone();
    UpdateCommands();
}

void TfrmEntryBrowser::acEN_InvertSelectionExecute()
{
    if (!m_selectionEnabled)
        return;
    gr->InvertSelection();
    UpdateCommands();
}

void TfrmEntryBrowser::BeginGridUpdate()
{
    gr->BeginUpdate();
}

void TfrmEntryBrowser::EndGridUpdate()
{
    gr->EndUpdate();
}

// --- expansion and sorting ---------------------------------------------------------

void TfrmEntryBrowser::acEN_ToggleAutoExpandExecute()
{
    m_dmMain.App.AutoExpandSearchEntries = !m_dmMain.App.AutoExpandSearchEntries;
    gr->SetAutoExpand(m_dmMain.App.AutoExpandSearchEntries);
    UpdateCheckMarks();
}

void TfrmEntryBrowser::acEN_SortByXXXExecute(int sortOrder)
{
    m_dmMain.App.EntriesSortOrder = sortOrder;
    ClientRecordSet& result = m_search->cdsSearch;
    // A bookmark set keeps its own order whatever the setting says.
    if (result.Active() && !IsBookmarkListing(m_options)) {
        // The grid orders its rows itself, in the order the next search will
        // bring (see SortField); the selection stays with its entries.
        const QList<int> selected = SelectedEntryCodes();
        TCursorRestore wait(m_dmMain.Desktop());
        gr->SortRows(m_dmMain.EntriesSortField());
        ReselectCodes(selected);
    }
    UpdateCheckMarks();
    UpdateCommands();
}

void TfrmEntryBrowser::UpdateCheckMarks()
{
    const QList<QAction*> sorts = {acEN_SortByLastModifiedDesc, acEN_SortByCreationOrderAsc,
                                   acEN_SortByCreationOrderDesc, acEN_SortByTitle};
    for (int order = 0; order < sorts.size(); ++order)
        sorts[order]->setChecked(order == m_dmMain.App.EntriesSortOrder);
    acEN_ToggleAutoExpand->setChecked(m_dmMain.App.AutoExpandSearchEntries);
}

// --- command states ----------------------------------------------------------------

void TfrmEntryBrowser::UpdateSelectionCommands()
{
    acEN_MergeEntries->setEnabled(m_selectionEnabled && SelectedCount() > 1);
    miEN_MarkedEntries->setEnabled(m_selectionEnabled && SelectedCount() > 0);
    miMarkedEntriesAction->setEnabled(miEN_MarkedEntries->isEnabled());
    for (QAction* action : {acEN_ExtractEntries, miMoveToCategory, acEN_DeleteEntries})
        action->setEnabled(m_selectionEnabled && SelectedCount() > 0);
}

void TfrmEntryBrowser::UpdateCommands()
{
    UpdateSelectionCommands();
    const bool records = gr->HasRecords();
    for (QAction* action : {acEN_ViewEntry, acEN_EditEntry, acEN_ExploreEntry})
        action->setEnabled(records && m_entryActionsEnabled);
    for (QAction* action : {miAddClipboardContents, miAddClipboardContentsAsHTML, miAddClipboardContentsAsPlainText,
                            miAddMonitoredFolderFiles, acEN_AddPassword, acEN_RemovePassword})
        action->setEnabled(records && m_entryActionsEnabled);
    acEN_GoToCategory->setEnabled(records && OnGoToCategory && m_leftView != TLeftView::Categories);
    // A bookmark set keeps its own order: no sort command is offered, in
    // this menu or through the toolbar and the task assistant, which follow
    // these commands.
    const bool sorting = m_leftView != TLeftView::BookmarkSets;
    miSortMenu->setEnabled(sorting);
    for (QAction* action : {acEN_SortByLastModifiedDesc, acEN_SortByCreationOrderAsc, acEN_SortByCreationOrderDesc,
                            acEN_SortByTitle})
        action->setEnabled(sorting);
    for (QAction* action : {acEN_SelectThis, acEN_SelectAll, acEN_SelectNone, acEN_InvertSelection})
        action->setEnabled(records && m_selectionEnabled);
    if (OnUpdateCommands)
        OnUpdateCommands();
}

void TfrmEntryBrowser::popEntriesPopup()
{
    UpdateCommands();
    const bool protectedEntry =
        gr->HasRecords() && gr->Value(gr->CurrentRow(), QStringLiteral("PasswordProtected")).toInt() == 1;
    acEN_RemovePassword->setVisible(m_entryActionsEnabled && protectedEntry);
    acEN_AddPassword->setVisible(m_entryActionsEnabled && !protectedEntry);
    acEN_SelectThis->setText(gr->IsSelected(gr->CurrentRow()) ? QStringLiteral("Unselect highlighted entry")
                                                               : QStringLiteral("Select highlighted entry"));
    const bool bookmarks = m_leftView == TLeftView::BookmarkSets;
    miSeparatorBookmark2->setVisible(bookmarks);
    miRemoveBookmarks->setVisible(bookmarks);
}

void TfrmEntryBrowser::popEntryFilesPopup()
{
    const bool current = m_entryFiles->CurrentItem() != nullptr;
    miOpenCurrent->setEnabled(current && m_entryActionsEnabled);
    miSelectHighlightedFile->setEnabled(current && m_selectionEnabled);
    for (QAction* action : {miSelectAllFiles, miSelectNoneFiles, miInvertSelectionFiles})
        action->setEnabled(m_entryFiles->Count() > 0 && m_selectionEnabled);
    miExtractSelected->setEnabled(m_entryFiles->SelectedCount() > 0 && CurrentEntryCode() > 0);
}

void TfrmEntryBrowser::ShowEntriesMenu(const QPoint& globalPos)
{
    // Nothing to act on in an empty result.
    if (!gr->HasRecords())
        return;
    popEntries->popup(globalPos);
}

void TfrmEntryBrowser::ShowEntryFilesMenu(const QPoint& globalPos)
{
    if (m_entryActionsEnabled)
        popEntryFiles->popup(globalPos);
}

void TfrmEntryBrowser::SetEntryActionsEnabled(bool enabled)
{
    m_entryActionsEnabled = enabled;
    for (QAction* action : {acEN_ViewEntry, acEN_EditEntry, acEN_ExploreEntry, miFirstSeparator, acEN_AddPassword,
                            acEN_RemovePassword, miAddClipboardContents, miAddClipboardContentsAsHTML,
                            miAddClipboardContentsAsPlainText, miAddMonitoredFolderFiles})
        action->setVisible(enabled);
    grEntryFiles->SetOpeningAllowed(enabled);
    UpdateCommands();
}

void TfrmEntryBrowser::SetSelectionEnabled(bool enabled)
{
    m_selectionEnabled = enabled;
    miSelectMenuAction->setVisible(enabled);
    miMarkedEntriesAction->setVisible(enabled);
    miSelectFilesMenuAction->setVisible(enabled);
    miSelectFilesSeparator->setVisible(enabled);
    for (QAction* action : {miSelectHighlightedFile, miSelectAllFiles, miSelectNoneFiles, miInvertSelectionFiles})
        action->setEnabled(enabled);
    grEntryFiles->SetMarkingAllowed(enabled);
    UpdateCommands();
}

// --- grid keys, mouse and dragging --------------------------------------------------

bool TfrmEntryBrowser::GridKeyDown(QKeyEvent* event)
{
    if (!gr->HasRecords())
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::ControlModifier)
            GridDoubleClick();
        else if (modifiers == Qt::ShiftModifier)
            acEN_EditEntryExecute();
        else if (modifiers == Qt::NoModifier && !gr->AutoExpand())
            gr->ToggleExpansion(gr->CurrentRow());
        return true;
    case Qt::Key_Space:
        if (!m_selectionEnabled || modifiers != Qt::NoModifier)
            return false;
        acEN_SelectThisExecute();
        return true;
    case Qt::Key_Delete:
        if (!m_selectionEnabled || modifiers != Qt::NoModifier)
            return false;
        acEN_DeleteEntriesExecute();
        return true;
    case Qt::Key_A:
    case Qt::Key_D:
    case Qt::Key_I:
        if (!m_selectionEnabled || modifiers != Qt::ControlModifier)
            return false;
        if (event->key() == Qt::Key_A)
            acEN_SelectAllExecute();
        else if (event->key() == Qt::Key_D)
            acEN_SelectNoneExecute();
        else
            acEN_InvertSelectionExecute();
        return true;
    default:
        return false;
    }
}

void TfrmEntryBrowser::GridMouseDown(QMouseEvent* event, int row)
{
    if (m_selectionEnabled && (event->modifiers() & Qt::ControlModifier) && row == gr->CurrentRow())
        acEN_SelectThisExecute();
}

void TfrmEntryBrowser::GridStartDrag()
{
    QList<int> codes;
    if (m_leftView == TLeftView::Categories && SelectedCount() > 0)
        codes = SelectedEntryCodes();
    else if (m_leftView == TLeftView::BookmarkSets && gr->HasRecords())
        codes = {CurrentEntryCode()};
    if (codes.isEmpty())
        return;
    auto* mime = new QMimeData;
    mime->setData(EntryCodesMimeType, CodesToCommaText(codes).toLatin1());
    auto* drag = new QDrag(gr);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
    // The end of the drag, dropped or not.
    if (m_leftView == TLeftView::BookmarkSets)
        gr->SetDropTargetRow(-1);
    else if (OnCategoryDragEnded)
        OnCategoryDragEnded();
}

bool TfrmEntryBrowser::GridDragEvent(QEvent* event)
{
    const bool acceptable = m_leftView == TLeftView::BookmarkSets && MoveBookmark && m_bookmarkSet >= 0;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!acceptable || drag->source() != gr || !drag->mimeData()->hasFormat(EntryCodesMimeType)) {
            drag->ignore();
            return true;
        }
        gr->SetDropTargetRow(gr->RowAt(drag->position().toPoint().y()));
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::DragLeave:
        gr->SetDropTargetRow(-1);
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const int target = gr->RowAt(drop->position().toPoint().y());
        const int from = gr->CurrentRow();
        if (acceptable && drop->source() == gr && target >= 0 && target < gr->RecordCount() && target != from) {
            BeginGridUpdate();
            bool moved = false;
            RunCommand([&] { moved = MoveBookmark(m_bookmarkSet, from, target); });
            if (moved)
                RefreshKeepingSelection();
            EndGridUpdate();
            if (moved)
                gr->SetCurrentRow(target);
        }
        gr->SetDropTargetRow(-1);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

void TfrmEntryBrowser::GridDoubleClick()
{
    if (!gr->HasRecords() || !m_entryActionsEnabled)
        return;
    const int code = CurrentEntryCode();
    RunCommand([&] { m_dmMain.EntryManager().OpenEntryByDefaultAction(code); });
}

bool TfrmEntryBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edSearch && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            btnSearchClick();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            // The first Escape closes the list of recent searches only; the
            // search box goes with the next one.
            if (TfrmMRUList* list = m_searchHistory->DropDown(); list && list->isVisible())
                m_searchHistory->CloseDropDown();
            else
                HideSearchBox();
            return true;
        }
    }
    if (watched == gr->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            return GridDragEvent(event);
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- commands on the highlighted entry ------------------------------------------------

bool TfrmEntryBrowser::RunCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const EAbort&) {
    } catch (const ETessarynError& error) {
        m_dmMain.Desktop().ShowMessage(error.Message(), IDesktop::TMsgKind::Error);
    }
    return false;
}

void TfrmEntryBrowser::acEN_ViewEntryExecute()
{
    if (const int code = CurrentEntryCode(); code > 0 && m_entryActionsEnabled)
        RunCommand([&] { m_dmMain.EntryManager().ViewEntry(code); });
}

void TfrmEntryBrowser::acEN_EditEntryExecute()
{
    if (const int code = CurrentEntryCode(); code > 0 && m_entryActionsEnabled)
        RunCommand([&] { m_dmMain.EntryManager().EditEntry(code); });
}

void TfrmEntryBrowser::acEN_ExploreEntryExecute()
{
    if (const int code = CurrentEntryCode(); code > 0 && m_entryActionsEnabled)
        RunCommand([&] { m_dmMain.EntryManager().ExploreEntry(code); });
}

void TfrmEntryBrowser::acEN_GoToCategoryExecute()
{
    const int code = CurrentEntryCode();
    if (code <= 0 || !OnGoToCategory || m_leftView == TLeftView::Categories)
        return;
    const int category = m_search->cdsSearch.AsInteger(kCategory);
    OnGoToCategory(category);
    LocateEntry(code);
}

void TfrmEntryBrowser::AddClipboardContents(int textMode)
{
    const int code = CurrentEntryCode();
    if (code <= 0 || !m_entryActionsEnabled)
        return;
    bool added = false;
    try {
        added = m_dmMain.Capture().AddClipboardToEntry(code, textMode);
    } catch (const EAbort&) {
        return;
    } catch (const ETessarynError&) {
        added = false;
    }
    if (added)
        DoSearch();
    else
        m_dmMain.Desktop().ShowMessage(EntryNotSavedText, IDesktop::TMsgKind::Warning);
}

void TfrmEntryBrowser::miOpenCurrentClick()
{
    if (m_entryFiles->CurrentItem())
        RunCommand([&] { m_entryFiles->OpenItem(m_entryFiles->CurrentIndex()); });
}

void TfrmEntryBrowser::miExtractSelectedClick()
{
    const int code = CurrentEntryCode();
    if (code > 0 && m_entryFiles->SelectedCount() > 0)
        RunCommand([&] { m_dmMain.EntryManager().ExtractSelectedEntryFiles(code, *m_entryFiles); });
}

QStringList TfrmEntryBrowser::PrepareFilesForDrag()
{
    const int code = CurrentEntryCode();
    if (code <= 0 || !m_entryFiles->CurrentItem())
        return {};
    TEntryManager& manager = m_dmMain.EntryManager();
    // The marked files, or the one under the mouse when none is marked.
    const bool markCurrent = m_entryFiles->SelectedCount() == 0;
    if (markCurrent)
        m_entryFiles->SelectCurrent();
    QStringList names;
    for (const int index : m_entryFiles->Selection())
        names.append(m_entryFiles->Items(index)->Name());
    QString folder;
    bool ready = true;
    if (const TEntryData* open = manager.OpenEntries().FindOpenEntry(code)) {
        // An entry open in its editor already has its files on disk.
        folder = open->GetFolder();
    } else {
        TEntryData probe(m_dmMain, false);
        probe.SetCode(code);
        folder = probe.GetFolder();
        ready = RunCommand([&] { manager.ExtractSelectedEntryFiles(code, *m_entryFiles); });
    }
    if (markCurrent)
        m_entryFiles->SelectNone();
    QStringList paths;
    if (!ready)
        return paths;
    for (const QString& name : std::as_const(names))
        if (QFileInfo::exists(folder + name))
            paths.append(folder + name);
    return paths;
}

// --- commands on the selected entries --------------------------------------------------

void TfrmEntryBrowser::acEN_ExtractEntriesExecute()
{
    const QList<int> codes = SelectedEntryCodes();
    if (!codes.isEmpty())
        RunCommand([&] { m_dmMain.EntryManager().ExtractMarkedEntries(codes); });
}

void TfrmEntryBrowser::miMoveToCategoryClick()
{
    if (SelectedCount() == 0)
        return;
    // With no category yet there is nothing to pick: offer to make one.
    if (!TCategoryMenu::EnsureCategories(m_dmMain))
        return;
    if (const int picked = TfrmSelectCategories::PickCategory(m_dmMain, this); picked != 0)
        MoveSelectedToCategory(picked);
}

// --- HTML export -----------------------------------------------------------------------

void TfrmEntryBrowser::miHTMLExportClick()
{
    const QList<int> codes = SelectedEntryCodes();
    if (codes.isEmpty() || !m_selectionEnabled)
        return;
    IDesktop& desktop = m_dmMain.Desktop();
    for (int code : codes) {
        if (m_dmMain.EntryManager().OpenEntries().FindOpenEntry(code)) {
            desktop.MessageBox(THtmlExport::EntriesOpenText, IDesktop::TMsgKind::Information, IDesktop::TButtons::Ok);
            return;
        }
    }
    const QString chosen = desktop.PickSaveFile(QStringLiteral("Export to an .HTML file"),
                                                IncludeTrailingBackslash(m_dmMain.App.ExportFolder),
                                                QStringLiteral("HTML files (*.htm *.html)"));
    if (chosen.isEmpty())
        return;
    // The blocks follow the grid's order, the folders the selection's.
    QList<THtmlExportRow> rows;
    for (int row = 0; row < gr->RowCount(); ++row)
        if (gr->IsSelected(row))
            rows.append({gr->CodeAt(row), gr->Value(row, kTitle).toString(),
                         gr->Value(row, QStringLiteral("Comments")).toString()});
    QString page;
    if (RunCommand([&] { page = THtmlExport(m_dmMain).Export(codes, rows, chosen); }) && !page.isEmpty())
        OpenWithDesktop(desktop, page);
}

// --- mail ------------------------------------------------------------------------------

void TfrmEntryBrowser::miMailClick()
{
    const QList<int> codes = SelectedEntryCodes();
    if (codes.isEmpty() || !m_selectionEnabled)
        return;
    RunCommand([&] { m_dmMain.EntryManager().MailEntries(codes); });
}

// --- bookmarks -------------------------------------------------------------------------

void TfrmEntryBrowser::AddSelectedToBookmarkSet(int setCode)
{
    const QList<int> codes = SelectedEntryCodes();
    if (codes.isEmpty())
        return;
    IDesktop& desktop = m_dmMain.Desktop();
    bool added = false;
    if (!RunCommand([&] { added = AddBookmarks(m_dmMain.Connection(), desktop, codes, setCode); }))
        return;
    if (!added) {
        desktop.ShowMessage(QStringLiteral("Bookmarks were NOT added."), IDesktop::TMsgKind::Warning);
        return;
    }
    m_dmMain.EntryManager().Notify(QStringLiteral("Bookmarks were added succesfully."));
    // The set on show gets the entries at its end.
    const int target = setCode == -1 ? TdmBookmarkSets::DefaultSet : setCode;
    if (m_leftView == TLeftView::BookmarkSets && m_bookmarkSet == target)
        RefreshKeepingSelection();
}

void TfrmEntryBrowser::miAddToDefaultBookmarksClick()
{
    AddSelectedToBookmarkSet(-1);
}

void TfrmEntryBrowser::miAddToExistingBookmarkSetClick()
{
    if (SelectedCount() == 0)
        return;
    int setCode = -1;
    bool picked = false;
    RunCommand([&] { picked = TFrmSelectBookmarkSet::PickBookmarkSet(m_dmMain, setCode, this); });
    if (picked)
        AddSelectedToBookmarkSet(setCode);
}

void TfrmEntryBrowser::miAddToNewBookmarkSetClick()
{
    if (SelectedCount() == 0)
        return;
    int setCode = -1;
    RunCommand([&] { setCode = AskNewBookmarkSet(m_dmMain, this); });
    if (setCode != -1)
        AddSelectedToBookmarkSet(setCode);
}

void TfrmEntryBrowser::miRemoveBookmarksClick()
{
    const QList<int> codes = SelectedEntryCodes();
    if (codes.isEmpty())
        return;
    // The set listed; the default set when no bookmark set is browsed.
    const int setCode = m_leftView == TLeftView::BookmarkSets ? m_bookmarkSet : -1;
    IDesktop& desktop = m_dmMain.Desktop();
    bool removed = false;
    if (!RunCommand([&] { removed = RemoveBookmarks(m_dmMain.Connection(), desktop, codes, setCode); }))
        return;
    if (!removed) {
        desktop.ShowMessage(QStringLiteral("Bookmarks were NOT removed."), IDesktop::TMsgKind::Warning);
        return;
    }
    m_dmMain.EntryManager().Notify(QStringLiteral("Bookmarks were removed succesfully."));
    RefreshKeepingSelection();
}

void TfrmEntryBrowser::MoveSelectedToCategory(int categoryCode)
{
    const QList<int> codes = SelectedEntryCodes();
    if (codes.isEmpty())
        return;
    TEntryManager& manager = m_dmMain.EntryManager();
    bool moved = false;
    RunCommand([&] { moved = manager.MoveEntriesUnderCategory(codes, categoryCode); });
    // The manager refreshes the main browser itself; any other browser (and a
    // main browser the manager does not know) shows the new categories here.
    if (moved && !manager.RefreshBrowser)
        RefreshKeepingSelection();
}

void TfrmEntryBrowser::acEN_DeleteEntriesExecute()
{
    if (!m_selectionEnabled)
        return;
    QList<int> codes = SelectedEntryCodes();
    QStringList titles = SelectedEntryTitles();
    // With nothing marked (the Delete key on the grid) the highlighted entry is meant.
    if (codes.isEmpty() && gr->HasRecords()) {
        codes = {CurrentEntryCode()};
        titles = {gr->Value(gr->CurrentRow(), gr->FieldIndex(kTitle)).toString()};
    }
    if (codes.isEmpty() || codes.first() <= 0)
        return;
    bool deleted = false;
    RunCommand([&] { deleted = m_dmMain.EntryManager().DeleteEntries(codes, titles); });
    if (deleted) {
        gr->SelectNone();
        DoSearch();
    }
}

// --- colours ----------------------------------------------------------------------------

void TfrmEntryBrowser::ApplyColorScheme()
{
    const TdmMain& dm = m_dmMain;
    QPalette own = palette();
    own.setColor(QPalette::Window, dm.Colour(csWindow));
    own.setColor(QPalette::WindowText, dm.Colour(csWindowText));
    setPalette(own);
    setAutoFillBackground(true);

    for (QMenu* menu :
         {popEntries, miEN_MarkedEntries, miSelectMenu, miSortMenu, popEntryFiles, miSelectFilesMenu}) {
        QPalette colours = menu->palette();
        colours.setColor(QPalette::Highlight, dm.Colour(csMenuBrush));
        colours.setColor(QPalette::HighlightedText, dm.Colour(csWindowText));
        menu->setPalette(colours);
    }
    QPalette operatorColours = coSearchOperator->palette();
    operatorColours.setColor(QPalette::Highlight, dm.Colour(csHighlightStart));
    operatorColours.setColor(QPalette::HighlightedText, dm.Colour(csGridText));
    coSearchOperator->setPalette(operatorColours);

    TEntryGridColours colours;
    colours.grid = dm.Colour(csGrid);
    colours.gridText = dm.Colour(csGridText);
    colours.highlightStart = dm.Colour(csHighlightStart);
    colours.highlightEnd = dm.Colour(csHighlightEnd);
    colours.selectedTitle = dm.Colour(csSelectedTitle);
    colours.label = dm.Colour(csGridLabel);
    colours.note = dm.Colour(csGridNote);
    gr->SetColours(colours);
    grEntryFiles->SetColours(colours.grid, colours.highlightStart, colours.highlightEnd, colours.gridText,
                             colours.note);
}

// --- the main window's browser -------------------------------------------------------------

TfrmEntryBrowser* CreateEntryBrowser(TdmMain& dmMain, QWidget* host)
{
    auto* browser = new TfrmEntryBrowser(dmMain, host);
    if (host) {
        QLayout* layout = host->layout();
        if (!layout) {
            layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        layout->addWidget(browser);
    }
    QPointer<TfrmEntryBrowser> guarded(browser);
    dmMain.EntryManager().RefreshBrowser = [guarded] {
        if (guarded)
            guarded->RefreshKeepingSelection();
    };
    TdmMain* main = &dmMain;
    dmMain.EntryManager().ShowMailWindow = [main, guarded](const QStringList& attachments, const QString& body) {
        TfrmMailEntries window(*main, guarded ? guarded->window() : nullptr);
        window.SetAttachments(attachments);
        window.meBody->setPlainText(body);
        window.Run();
    };
    return browser;
}
