#pragma once

#include "engine/OpenEntries.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class TCategory;
class TdmDB;
class TdmMain;
class TEntryData;
class TEntryFiles;
class TFolderFiles;
class TTransferredItem;

// The engine's single entry point for operations on whole entries: creating,
// opening, viewing, extracting, deleting and re-filing them, and moving files
// between folder lists. Owns the registry of entries open for editing.
//
// Every operation asks the access check first and shows its refusal text; the
// messages and notices go through the desktop interface. Errors of the
// gateway and of the packaging pass through to the caller unless the
// operation answers with a result; a cancelled password ends an operation
// with the silent abort (EAbort), which callers never report.
//
// While it exists the manager is the file mover of entries
// (TEntryData::MoveSelectedFilesTo) and opens the files of stored-files lists
// (TEntryFiles::OpenItem).
class TEntryManager {
public:
    // A success notice, shown when the user asked to be told of changes.
    void Notify(const QString& text);

    TEntryManager(TdmMain& main, TdmDB& db);
    ~TEntryManager();
    TEntryManager(const TEntryManager&) = delete;
    TEntryManager& operator=(const TEntryManager&) = delete;

    TOpenEntries& OpenEntries() { return m_openEntries; }

    // Re-runs the entry browser's search keeping its selection; installed by
    // the main window.
    std::function<void()> RefreshBrowser;
    // Installed by the windows: the settings window at the page of that link
    // name (by the main window, whose task assistant and toolbar it edits),
    // and the mail window for prepared attachments and body text.
    std::function<void(const QString& page)> ShowPreferences;
    std::function<void(const QStringList& attachments, const QString& body)> ShowMailWindow;

    // A new entry, not yet stored: a code, the title "<Enter title here>",
    // today's creation date, a new GUID and its folder on disk. nullptr after
    // the refusal message when the user may not create entries.
    std::unique_ptr<TEntryData> CreateNewEntry(bool watchFolder);
    // The entry read and unpacked into its folder (ExtractWholeEntry).
    std::unique_ptr<TEntryData> LoadAndExtractEntry(int code);
    // Reads the entry and unpacks all of it into its folder. The folder is
    // emptied first, so that it holds exactly what is stored and an editor
    // or a store working from it never takes up files an earlier extraction
    // left there. Nothing is ever extracted into a folder an entry open for
    // editing works in (OpenEntryInFolderText is thrown): the editor's
    // unsaved files there would be overwritten or stored away under it.
    void ExtractWholeEntry(TEntryData& entry);
    // The entry read, its archive written to the extract folder, nothing unpacked.
    std::unique_ptr<TEntryData> LoadEntryRecordOnly(int code);

    // Hands the entry to the registry, which owns it from then on and opens
    // the editor. An entry the user may not view is not handed over: it is
    // freed, unless the registry already holds it. False then.
    bool ShowEntryEditor(TEntryData* entry, bool isNew);
    void EditEntry(int code);
    // Opens the entry's main file (a single file, or a saved web page with its
    // files folder) directly, otherwise the editor.
    void ViewEntry(int code);
    // Double click: view, edit or open the folder, by the default action
    // settings for single and multiple file entries.
    void OpenEntryByDefaultAction(int code);
    // Shows the entry's folder: for an entry open for editing the editor's
    // folder as it is, otherwise a fresh extraction (the folder stays).
    void ExploreEntry(int code);
    // Extracts one stored item (kind 1 file, 2 folder) and opens it.
    void OpenEntryFile(int code, const QString& name, int kind);

    // Extracts every entry into its folder; false at the first error (a
    // cancelled password ends it with EAbort instead), and after a refusal
    // when one of them is open for editing.
    bool ExtractEntries(const QList<int>& codes);
    // The browser's command around ExtractEntries: its error message or its
    // notice. A cancelled password shows nothing.
    bool ExtractMarkedEntries(const QList<int>& codes);
    // Extracts the items marked in entryFiles into the entry's folder; for an
    // open entry offers to show its editor instead.
    void ExtractSelectedEntryFiles(int code, TEntryFiles& entryFiles);

    // Deletes the entries' rows (their files go with them).
    bool DeleteEntryList(const QList<int>& codes);
    // The browser's "delete marked entries": refuses while any of them is open,
    // asks for confirmation (naming each entry, titles by index of codes, for
    // up to 20 of them), deletes, and reports. True when they were deleted.
    bool DeleteEntries(const QList<int>& codes, const QStringList& titles);

    // Sending entries by e-mail: the refusals, the attachments prepared in
    // the mail folder (each entry's archive, or all of its files), the limits
    // of count and size, then the mail window. PrepareMail does all but the
    // window; an empty result follows a refusal already shown.
    struct TMailPreparation {
        QStringList attachments;
        QString body;
        qint64 totalSize = 0;
    };
    std::optional<TMailPreparation> PrepareMail(const QList<int>& codes);
    void MailEntries(const QList<int>& codes);
    static constexpr int MaxMailAttachments = 10;

    // Files the entries under the category. False after the refusal message.
    bool MoveEntriesUnderCategory(const QList<int>& codes, int categoryCode);

    // A new entry working directly on the monitored folder, every file of it
    // marked, opened in the editor. Refused while another entry made from
    // the monitored folder is open. False when refused or on any error.
    bool CreateEntryFromMonitoredFolder(const QString& folder);
    // The first open entry whose folder is the monitored folder.
    TEntryData* FindEntryUsingMonitoredFolder() const;

    // Move or copy the marked items of source into target's folder. An item
    // whose name target already lists (ignoring case) is first renamed in the
    // source folder to "<new entry code>_<name>". Returns the names the items
    // have in the target folder. The lists are not updated.
    QStringList MoveSelectedFiles(TFolderFiles& source, TFolderFiles& target);
    QStringList CopySelectedFiles(TFolderFiles& source, TFolderFiles& target);

    // --- merging, files between entries, passwords ------------------------
    //
    // Files that leave one place for another are copied first; the originals
    // go (from the monitored folder, or from the entry that gave them, which
    // is then stored again) only once the entry receiving them has been
    // stored. A store that fails, or a new entry whose editor is closed
    // without saving, leaves every file where it was.

    // The values the merge dialog ends with.
    struct TMergeValues {
        QString title;
        QString keywords;
        QString source;
        QString comments;
        TCategory* category = nullptr;
    };
    // Installed by the windows: the merge dialog over the source entries,
    // the password dialog of a new password, and the entry picker. Each
    // answers nothing when the user cancels (and when none is installed).
    std::function<std::optional<TMergeValues>(const QList<TEntryData*>& sources)> ShowMergeDialog;
    std::function<std::optional<QString>()> ShowPasswordProtect;
    std::function<std::optional<int>()> PickEntry;

    // Merges the entries into a new one in one transaction: the new entry
    // and the deletion of the sources are kept together or not at all.
    bool MergeEntries(const QList<int>& codes);
    // The browser's command: MergeEntries, and "Entries were NOT merged." on false.
    bool MergeMarkedEntries(const QList<int>& codes);
    // Moves (copy false) or copies the marked items of sourceList into the
    // stored entry of that code.
    bool AddFilesToEntry(TFolderFiles& sourceList, int code, bool copy);
    // The browser's "Add monitored folder files" to the entry of that code
    // and title: every file of the monitored folder, after the confirmation.
    bool AddMonitoredFolderFilesToEntry(int code, const QString& title);
    // The marked items of an entry's folder into a new entry opened for editing.
    bool CutOrCopyIntoNewEntry(TEntryData& sourceEntry, bool copy);
    // The marked items of a folder of no entry (the monitored folder) into a
    // new entry opened for editing.
    bool CreateEntryFromFolderFiles(TFolderFiles& sourceList, bool copy);
    // Both refuse an entry open for editing: the archive is rebuilt from
    // the stored files, which the editor's folder may no longer be.
    bool AddPassword(int code);
    bool RemovePassword(int code);
    // The browser's commands around them: the notice or the "NOT" message.
    bool AddPasswordToEntry(int code);
    bool RemovePasswordFromEntry(int code);
    // The typed password; nothing when the user cancelled.
    std::optional<QString> AskNewPassword();

    // The file-list menu's commands that take marked files elsewhere, with
    // their refusals and confirmations, over an entry's folder or the
    // monitored folder.
    enum class TFolderTransfer { CutIntoNewEntry, CopyIntoNewEntry, MoveToEntry, CopyToEntry };
    bool TransferFolderFiles(TFolderFiles& list, TFolderTransfer kind);
    bool IsMonitoredFolder(const QString& folder) const;

    // How long a file of the monitored folder must stay the same (size and
    // modification time) before it is taken, and how long an operation
    // waits for that before it gives up. A file still being written (a
    // download, a large copy) is never taken half.
    int StableFileQuietMs = 500;
    int StableFileWaitMs = 5000;

    // The error of an extraction refused because the folder is that open
    // entry's.
    static QString OpenEntryInFolderText(const TEntryData& open);

private:
    // Throws OpenEntryInFolderText when an entry open for editing works in
    // the folder the entry would be extracted into.
    void CheckFolderNotInUse(const TEntryData& entry) const;
    // Shows the refusal and answers true when any of the entries is open for
    // editing, listed or in the modal editor.
    bool RefuseOpenEntries(const QList<int>& codes, const QString& refusal);
    // The open entry of that code (listed or the modal editor's), or a fresh
    // extraction released at the end.
    class TUsedEntry;
    TUsedEntry UseEntry(int code);
    std::unique_ptr<TEntryData> NewEntryObject(bool watchFolder);
    // A watching entry of that code, loaded by load with its watcher paused.
    std::unique_ptr<TEntryData> LoadEntry(int code, const std::function<void(TEntryData&)>& load);
    bool CheckView(int code);
    // The entry's main file opened (0), its editor (1) or its folder window
    // (2), by the action for entries with and without a main file.
    void OpenEntryWith(int code, int singleFileAction, int multipleFilesAction);
    // With originals, the source's items keep their names (a taken name is
    // changed in the target instead) and each item that went is recorded
    // there as it was just before it was copied.
    QStringList TransferSelectedFiles(TFolderFiles& source, TFolderFiles& target, bool move,
                                      QList<TTransferredItem>* originals = nullptr);
    // Copies the marked items of source into target (see Copy/MoveSelectedFiles)
    // after the checks of items taken from the monitored folder; what was
    // copied is recorded in originals. False after a message when nothing
    // may be taken.
    bool CopyForTransfer(TFolderFiles& source, TFolderFiles& target, QStringList& targetNames,
                         QList<TTransferredItem>& originals);
    // Once target holds the copies: removes the originals from the folder
    // where they are still exactly what was copied, and names in a warning
    // what stays; when the folder belongs to the entry of sourceCode (not
    // 0, titled sourceTitle when the files were taken), that entry is
    // stored again without them. Never throws: the target is stored by
    // then, and its store succeeded whatever happens here.
    void RemoveTransferredItems(int sourceCode, const QString& sourceTitle, const QString& folder,
                                const QList<TTransferredItem>& originals, const TEntryData& target) noexcept;
    bool CheckMonitoredItems(TFolderFiles& source);

    TdmMain& m_main;
    TdmDB& m_db;
    TOpenEntries m_openEntries;
};
