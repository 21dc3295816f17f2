#pragma once

#include "editing/IOstrivaleDropTarget.h"
#include "engine/EntryData.h"
#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class TFrameLabel;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class TBPageControl;
class QToolButton;
class TCategory;
class TEditMRUListObserver;
class TFolderFilesGridObserver;
class TFolderFilesMenu;
struct TDropData;

// The window in which one entry is made or changed: its title, keywords,
// source, comments, category and password on the "Entry data" page, and the
// files of the entry's folder on the "Embedded files" page, where the marked
// files are the ones stored in the entry.
//
// The open-entries registry makes the window for an entry, either modal or
// docked as a page of the open-entries window (see fOpenEntries.h), and
// frees the entry once the window has closed. Every change the user makes
// goes into the entry object at once; nothing reaches the database until a
// save, which first checks the entry against the limits below.
class TfrmEntry : public TFrmStatusBar, public IOstrivaleDropTarget, public IColorSchemeObserver,
                  public IEntryDataObserver
{
    Q_OBJECT

public:
    // Limits of one entry's stored files.
    static constexpr int MaxFileCount = 500;
    static constexpr qint64 MaxFileSize = 10000000;       // refused above, unless any size is allowed
    static constexpr qint64 ConfirmFileSize = 3000000;    // asked above

    // Asks for a new password, typed twice; nothing when cancelled. The
    // password window installs it; without one a password cannot be added
    // (an existing one can still be removed).
    static inline std::function<std::optional<QString>(QWidget* parent)> PasswordProtectDialog;

    explicit TfrmEntry(TdmMain& dmMain, QWidget* owner = nullptr);
    ~TfrmEntry() override;

    // The entry shown, not owned; nullptr detaches the window from its entry.
    void AttachEntry(TEntryData* entry);
    TEntryData* Entry() const { return m_entry; }

    // Makes the window a borderless page filling container (its layout, when
    // it is a stacked layout, gets it as a page). A docked window has no hint
    // strip and menu of its own and does not close on Esc.
    void DockInto(QWidget* container);
    bool Docked() const { return m_docked; }

    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return m_readOnly; }
    void SetNewMode();
    void SetEditMode();
    bool IsNew() const { return m_isNew; }

    // The active page of the page control: 0 "Entry data", 1 "Embedded files".
    int PageIndex() const;
    void SetPageIndex(int index);
    void ResizeFilesGrid();
    // The "Actions" menu, which the open-entries window shows in its own menu bar.
    QMenu* ActionsMenu() const { return m_actionsMenu; }
    // The menu the category control opens; exists once it has been opened.
    QMenu* CategoryMenu() const { return m_categoryMenu; }
    TFolderFilesMenu* FolderFilesMenu() const { return m_folderFilesMenu; }
    TFolderFilesGridObserver* FilesGridObserver() const { return m_filesObserver.get(); }
    TEditMRUListObserver* SourceHistory() const { return m_sourceHistory.get(); }
    TEditMRUListObserver* KeywordsHistory() const { return m_keywordsHistory.get(); }

    // IOstrivaleDropTarget: a docked window answers with the open-entries
    // window's answer.
    bool DropsAccepted() const override;
    void EnableDrops() override;
    void DisableDrops() override;
    void ApplyColorScheme() override;
    void EntryDataChanged(TEntryData* entry) override;

    void LoadControlValues();
    void StoreControlValues();
    void UpdatePasswordDisplay();
    void UpdateSaveCommands();

    // Checks the entry against the rules and limits, remembers the source and
    // keywords and stores it. True only when it was stored.
    bool ValidateAndSave();
    // "Save": the window stays open.
    void SaveEntryChanges();
    // "Save and close".
    void SaveEntryChangesAndExit();
    // "Close": closing asks about unsaved changes first. True when the window closed.
    bool DoFormClose();
    bool IsClosing() const { return m_closing; }

    void ExploreFolder();
    // Pastes the clipboard into the entry's folder. textMode 0 follows the
    // "Clipboard text handling" setting, 2 forces HTML and 3 plain text for
    // this paste.
    void AddClipboardContents(int textMode = 0);
    void AddQuickNote();
    void AddMonitoredFolderFiles();
    // Writes a drop's or a paste's data into the entry's folder; the paths
    // written. Nothing while drops are refused.
    QStringList DropComboTarget1Drop(const TDropData& data);

    void btnPasswordClick();
    void CategoryMenuPopup();

    // The texts the checks show.
    static QString NoTitleText();
    static QString NoCategoryText();
    static QString NoFilesText();
    static QString TooManyFilesText();
    static QString TooLargeText();
    static QString ConfirmLargeText();
    static QString SaveChangesText();
    static QString PasswordLabelText(bool passwordProtected);
    // What a capture tells in the status bar: "Added 1 file: note.txt".
    static QString AddedText(const QStringList& names);

    void ApplyPlacement() override;
    void SavePlacement() override;
    bool FormKeyDown(QKeyEvent* event) override;
    // True for that key pressed without modifiers (the keypad flag aside).
    static bool PlainKey(const QKeyEvent& event, int key);
    // True while the keyboard belongs to a window other than window (a
    // dialog opened over it), whose keys the key preview shows to it too.
    static bool KeyOfAnotherWindow(const QWidget* window);

    void done(int result) override;
    void reject() override;

protected:
    void FormShow() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildEntryDataPage();
    QWidget* BuildEmbeddedFilesPage();
    void BuildActions();
    void CategoryMenuItemClick(TCategory* category);
    bool FormCloseQuery();
    void FormClose();
    // Moves the files of a new entry made from the monitored folder into the
    // entry's own folder, after it was stored.
    void RelocateMonitoredFiles();
    void ResumeMonitoring();
    void RefreshFolderFiles();
    // Tells in the status bar which files a capture put into the entry.
    void ShowAdded(const QStringList& names);
    bool AcceptsMime(const QMimeData* mime) const;
    IOstrivaleDropTarget* HostDropTarget() const;

    TEntryData* m_entry = nullptr;
    bool m_dropsAccepted = true;
    bool m_docked = false;
    bool m_monitoringSuspended = false;
    bool m_isNew = false;
    bool m_readOnly = false;
    bool m_loading = false;
    bool m_closing = false;
    int m_modalResult = 0;
    std::unique_ptr<TFolderFilesGridObserver> m_filesObserver;
    std::unique_ptr<TEditMRUListObserver> m_sourceHistory;
    std::unique_ptr<TEditMRUListObserver> m_keywordsHistory;

    QMenuBar* m_menuBar = nullptr;
    QMenu* m_actionsMenu = nullptr;
    QMenu* m_categoryMenu = nullptr;
    TFolderFilesMenu* m_folderFilesMenu = nullptr;

    QAction* acAddClipboard = nullptr;
    QAction* acAddMonitoredFiles = nullptr;
    QAction* acAddQuickNote = nullptr;
    QAction* acAddClipboardAsText = nullptr;
    QAction* acAddClipboardAsHtml = nullptr;
    QAction* acPassword = nullptr;
    QAction* acSave = nullptr;
    QAction* acSaveAndClose = nullptr;
    QAction* acClose = nullptr;

    TFrameLabel* laEntryID = nullptr;
    QLineEdit* edTitle = nullptr;
    TBPageControl* pc = nullptr;
    QWidget* tsEntryData = nullptr;
    QWidget* tsEmbeddedFiles = nullptr;
    QLineEdit* edKeywords = nullptr;
    QFrame* paCategory = nullptr;
    QLabel* laCategory = nullptr;
    QToolButton* btnSelectCategory = nullptr;
    QLineEdit* edSource = nullptr;
    QPlainTextEdit* meComments = nullptr;
    QLabel* laPassword = nullptr;
    QPushButton* btnPassword = nullptr;
    QTableWidget* grFolderFiles = nullptr;
    QPushButton* btnExplore = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
};
