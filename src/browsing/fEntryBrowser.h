#pragma once

#include "db/DataPacket.h"
#include "search/SearchOptions.h"
#include "settings/dmMain.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class ETessarynError;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class TResSpeedBtn3State;
class QShortcut;
class QSplitter;
class TdmSearch;
class TEditMRUListObserver;
class TCategoryMenu;
class TEntryFiles;
class TEntryFilesGrid;
class TEntryGrid;

// The window in which the user sees entries: the result of a keyword search,
// the entries of a category or of a bookmark set. It has no border of its own
// and lives inside another window (the main window's browse panel, the entry
// picker).
//
// From top to bottom: the search box, the result grid of entry cards, the
// files of the highlighted entry (hidden until asked for) and the button row
// with the result count. The commands on the highlighted entry and on the
// selected entries are QActions of the browser, in its popup menu; the main
// window's toolbar and task assistant trigger the same actions.
//
// The selection is a list of rows in the order they were selected. It follows
// its entries when the rows are re-sorted, so that a command on the selected
// entries always acts on the entries the user marked.
class TfrmEntryBrowser : public QWidget, public IColorSchemeObserver
{
    Q_OBJECT

public:
    // What the main window's left browser shows; it decides the drag
    // behaviour and some commands.
    enum class TLeftView { None, Categories, BookmarkSets };

    // More entries than this are fetched by a search without keys only after
    // the user confirmed it.
    static constexpr int KeylessSearchLimit = 1000;
    static const QString KeylessSearchQuestion;
    static const QString SearchFailedText;
    static const QString RecordCountText;
    static const QString EntryNotSavedText;
    // The drag format of entries: their codes joined by ",".
    static const QString EntryCodesMimeType;
    static QList<int> EntryCodesFromMime(const QMimeData* mime);

    explicit TfrmEntryBrowser(TdmMain& dmMain, QWidget* parent = nullptr);
    ~TfrmEntryBrowser() override;

    // --- operations other windows call ---
    // Runs a search and shows its result; without options it re-runs the
    // browser's own options (a refresh). A search the database rejects is
    // reported and leaves the previous result on screen. False then.
    bool DoSearch(const TOstrivaleSearchOptions* options = nullptr);
    void BrowseCategory(int categoryCode);
    void BrowseBookmarkSet(int setCode);
    // Re-runs the current search keeping the selected entries, the current
    // entry and the scroll position. Failures are swallowed.
    void RefreshKeepingSelection();
    void ShowSearchBox();
    void HideSearchBox();
    // Ctrl+F shows the search box, unless the host window has a command of
    // its own on that key: two owners of one key make Qt drop the key as
    // ambiguous, so the browser then leaves it to the host.
    void SetFindKeyOwnedByHost(bool owned);
    void ShowEntryFiles();
    void HideEntryFiles();
    // 0 when there is no current entry.
    int CurrentEntryCode() const;
    // Makes the entry current, or the first one when the result holds none.
    void LocateEntry(int code);
    // In the order their rows were selected.
    QList<int> SelectedEntryCodes() const;
    int SelectedCount() const;
    // 0 when there is no result.
    int ResultCount() const;
    void UpdateSelectionCommands();
    void BeginGridUpdate();
    void EndGridUpdate();
    void SetEntryActionsEnabled(bool enabled);
    void SetSelectionEnabled(bool enabled);
    bool EntryActionsEnabled() const { return m_entryActionsEnabled; }
    bool SelectionEnabled() const { return m_selectionEnabled; }
    void MoveSelectedToCategory(int categoryCode);
    void ApplyColorScheme() override;

    // --- the host's side ---
    void SetLeftView(TLeftView view) { m_leftView = view; }
    TLeftView LeftView() const { return m_leftView; }
    // The bookmark set shown, -1 when the result is no bookmark set.
    int CurrentBookmarkSet() const { return m_bookmarkSet; }
    const TOstrivaleSearchOptions& OwnSearchOptions() const { return m_options; }

    // Refreshes the command states of the main window.
    std::function<void()> OnUpdateCommands;
    // Shows the category browser with that category selected (which browses
    // it); "Go to containing category" is disabled without it.
    std::function<void(int categoryCode)> OnGoToCategory;
    // True while the open-entries window is showing: a search then leaves
    // the keyboard focus where it is.
    std::function<bool()> OpenEntriesWindowShowing;
    // Entries dragged towards the category tree were dropped or the drag
    // was abandoned: the tree clears its drop highlight.
    std::function<void()> OnCategoryDragEnded;
    // Moves the bookmark at fromRow of the set to toRow (0-based); rows can
    // be dragged within a bookmark set only while it is installed.
    std::function<bool(int setCode, int fromRow, int toRow)> MoveBookmark;

    TdmSearch& Search() const { return *m_search; }
    TEntryGrid* Grid() const { return gr; }
    TEntryFilesGrid* FilesGrid() const { return grEntryFiles; }
    TEntryFiles& EntryFiles() const { return *m_entryFiles; }
    QMenu* EntriesMenu() const { return popEntries; }
    QMenu* EntryFilesMenu() const { return popEntryFiles; }
    QLineEdit* SearchEdit() const { return edSearch; }
    TEditMRUListObserver* SearchHistory() const { return m_searchHistory.get(); }

    // --- commands on the highlighted entry ---
    QAction* acEN_ViewEntry;
    QAction* acEN_EditEntry;
    QAction* acEN_ExploreEntry;
    QAction* acEN_GoToCategory;
    QAction* acEN_AddPassword;
    QAction* acEN_RemovePassword;
    QAction* miAddClipboardContents;
    QAction* miAddClipboardContentsAsHTML;
    QAction* miAddClipboardContentsAsPlainText;
    QAction* miAddMonitoredFolderFiles;
    // --- commands on the selected entries ---
    QAction* acEN_ExtractEntries;
    QAction* acEN_MergeEntries;
    QAction* miMoveToCategory;
    QAction* acEN_DeleteEntries;
    QAction* miMail;
    QAction* miHTMLExport;
    QAction* miAddToDefaultBookmarks;
    QAction* miAddToExistingBookmarkSet;
    QAction* miAddToNewBookmarkSet;
    QAction* miRemoveBookmarks;
    // --- selection, expansion, sorting ---
    QAction* acEN_SelectThis;
    QAction* acEN_SelectAll;
    QAction* acEN_SelectNone;
    QAction* acEN_InvertSelection;
    QAction* acEN_ToggleAutoExpand;
    QAction* acEN_SortByLastModifiedDesc;
    QAction* acEN_SortByCreationOrderAsc;
    QAction* acEN_SortByCreationOrderDesc;
    QAction* acEN_SortByTitle;
    // --- the files popup ---
    QAction* miOpenCurrent;
    QAction* miSelectHighlightedFile;
    QAction* miSelectAllFiles;
    QAction* miSelectNoneFiles;
    QAction* miInvertSelectionFiles;
    QAction* miExtractSelected;

    // --- handlers ---
    void btnSearchClick();
    void btnSearchOptionsClick();
    void btnBrowseDownClick() { ShowEntryFiles(); }
    void btnBrowseUpClick() { HideEntryFiles(); }
    void acEN_SelectThisExecute();
    void acEN_SelectAllExecute();
    void acEN_SelectNoneExecute();
    void acEN_InvertSelectionExecute();
    void acEN_ToggleAutoExpandExecute();
    void acEN_SortByXXXExecute(int sortOrder);
    void acEN_ViewEntryExecute();
    void acEN_EditEntryExecute();
    void acEN_ExploreEntryExecute();
    void acEN_GoToCategoryExecute();
    void AddClipboardContents(int textMode);
    void acEN_ExtractEntriesExecute();
    void miMoveToCategoryClick();
    void miHTMLExportClick();
    void miMailClick();
    void miAddToDefaultBookmarksClick();
    void miAddToExistingBookmarkSetClick();
    void miAddToNewBookmarkSetClick();
    void miRemoveBookmarksClick();
    // Adds the selected entries to a set (-1: the default set) and says so.
    void AddSelectedToBookmarkSet(int setCode);
    void acEN_DeleteEntriesExecute();
    void miOpenCurrentClick();
    void miExtractSelectedClick();
    void GridDoubleClick();
    void popEntriesPopup();
    void popEntryFilesPopup();


protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildActions();
    void BuildMenus();
    // Runs a command of the engine; its errors become one message, a
    // cancelled password none.
    bool RunCommand(const std::function<void()>& command);
    bool RunSearch(const TOstrivaleSearchOptions* options, bool reportErrors);
    void RestorePreviousResult(int currentRow);
    void ShowSearchError(const ETessarynError& error);
    // The current record moved: its files, the host's notification.
    void dsSearchDataChange();
    void ShowCurrentEntryFiles();
    bool GridKeyDown(QKeyEvent* event);
    void GridMouseDown(QMouseEvent* event, int row);
    void GridStartDrag();
    bool GridDragEvent(QEvent* event);
    void ReselectCodes(const QList<int>& codes);
    // The rows holding the entries of codes, in the order of codes; codes
    // not found are left out.
    static QList<int> RowsOfCodes(const QList<int>& codes, const DataPacket& rows);
    QStringList SelectedEntryTitles() const;
    QStringList PrepareFilesForDrag();
    void UpdateRecordCount();
    void UpdateCheckMarks();
    void UpdateCommands();
    bool IsBookmarkListing(const TOstrivaleSearchOptions& options) const;
    void ShowEntriesMenu(const QPoint& globalPos);
    void ShowEntryFilesMenu(const QPoint& globalPos);

    TdmMain& m_dmMain;
    std::unique_ptr<TdmSearch> m_search;
    std::unique_ptr<TEntryFiles> m_entryFiles;
    TOstrivaleSearchOptions m_options;
    TLeftView m_leftView = TLeftView::None;
    int m_bookmarkSet = -1;
    bool m_entryActionsEnabled = true;
    bool m_selectionEnabled = true;
    bool m_ownOptionsSet = false;

    QFrame* paSearch;
    QLabel* laSearch;
    QLineEdit* edSearch;
    QPushButton* btnSearch;
    QLabel* laSearchOperator;
    QComboBox* coSearchOperator;
    QPushButton* btnSearchOptions;
    QSplitter* splBrowseFiles;
    QFrame* paBrowsedEntries;
    TEntryGrid* gr;
    QFrame* paEntryFiles;
    TEntryFilesGrid* grEntryFiles;
    QFrame* paBrowseButtons;
    QLabel* laRecordCount;
    TResSpeedBtn3State* btnBrowseDown;
    TResSpeedBtn3State* btnBrowseUp;
    QMenu* popEntries;
    QMenu* miEN_MarkedEntries;
    QMenu* miSelectMenu;
    QMenu* miSortMenu;
    QAction* miFirstSeparator;
    QAction* miClipboardSeparator;
    QAction* miSelectMenuAction;
    QAction* miMarkedEntriesAction;
    QAction* miSeparatorBookmark2;
    QMenu* popEntryFiles;
    QMenu* miSelectFilesMenu;
    QAction* miSelectFilesSeparator;
    QAction* miSelectFilesMenuAction;
    std::unique_ptr<TEditMRUListObserver> m_searchHistory;
    QShortcut* m_findShortcut = nullptr;
};

// Makes the entry browser of the main window inside host (its browse panel),
// filling it, and has the entry manager refresh it after operations that
// change entries (RefreshKeepingSelection). The host owns the browser.
TfrmEntryBrowser* CreateEntryBrowser(TdmMain& dmMain, QWidget* host);
