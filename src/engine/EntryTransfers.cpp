// The entry manager's operations that combine entries and carry files
// between them: merging, moving and copying marked files into new or
// existing entries, and adding or removing an entry's password.

#include "engine/EntryManager.h"

#include "app/AccessChecks.h"
#include "app/Errors.h"
#include "app/IDesktop.h"
#include "app/User.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/MostUsedCategories.h"
#include "engine/StableFiles.h"
#include "engine/TransferredItem.h"
#include "engine/UsedEntry.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

using TKind = IDesktop::TMsgKind;

// Above this many files the confirmation of adding the monitored folder's
// files counts them instead of naming them.
constexpr int kListedFilesLimit = 10;

const QString kCutAllText = QStringLiteral(
    "You cannot \"cut\" ALL the files of an entry, you must leave at least one.\r\nIf you want to move ALL entry "
    "files to another entry, then you should \"Merge\" the entries instead.");
const QString kRemoveFromEntryText = QStringLiteral(
    "The file(s) you have selected will be removed from current entry \r\nand the remaining files will be stored (in "
    "current entry) before creating a new entry. \r\nAre you sure you want to proceed?");
const QString kCutFromMonitoredText =
    QStringLiteral("The file(s) you have selected will be removed from the monitored folder\r\nand will be stored in "
                   "a new entry.\r\nAre you sure you want to proceed?");
const QString kMoveFromMonitoredText =
    QStringLiteral("The file(s) you have selected will be removed from the monitored folder\r\nand will be stored in "
                   "an existing entry you will be asked to specify.\r\nAre you sure you want to proceed?");

// Removes one item exactly as named: a link goes itself, never what it
// points at, and "*" or "?" in a name are not read as a pattern.
bool RemoveItem(const QString& path)
{
    std::error_code ec;
    fs::remove_all(fs::path(QFile::encodeName(path).toStdString()), ec);
    return !ec;
}

// Stops a folder list's watcher for the length of a scope.
class TWatchPause {
public:
    explicit TWatchPause(TFolderFiles& files) : m_files(files), m_watching(files.IsWatching())
    {
        m_files.StopWatching();
    }
    ~TWatchPause()
    {
        if (m_watching)
            m_files.ResumeWatching();
    }
    TWatchPause(const TWatchPause&) = delete;
    TWatchPause& operator=(const TWatchPause&) = delete;

private:
    TFolderFiles& m_files;
    bool m_watching;
};

QStringList MarkedNames(const TFolderFiles& files)
{
    QStringList names;
    for (const int index : files.Selection())
        names.append(files.Items(index)->Name());
    return names;
}

} // namespace

bool TEntryManager::IsMonitoredFolder(const QString& folder) const
{
    return !m_main.App.MonitoredFolder.isEmpty()
           && IncludeTrailingBackslash(folder) == IncludeTrailingBackslash(m_main.App.MonitoredFolder);
}

// --- carrying files ----------------------------------------------------------

bool TEntryManager::CheckMonitoredItems(TFolderFiles& source)
{
    if (!IsMonitoredFolder(source.FolderPath()))
        return true;
    IDesktop& desktop = m_main.Desktop();
    QStringList paths;
    for (const QString& name : MarkedNames(source))
        paths.append(source.FolderPath() + name);
    // A link in the monitored folder may point anywhere; what it points at
    // is not the user's material for the entry and is never stored.
    if (const QString link = FirstLinkLeadingOutside(paths, source.FolderPath()); !link.isEmpty()) {
        desktop.ShowMessage(QStringLiteral("\"%1\" is a link to a place outside the monitored folder; it cannot be "
                                           "stored. Unmark it, or replace it with the files themselves. Nothing was "
                                           "moved or copied.")
                                .arg(link),
                            TKind::Warning);
        return false;
    }
    // Files the program cannot name stay where they are; the user is told.
    if (const QStringList unnameable = UnnameableItems(source.FolderPath()); !unnameable.isEmpty())
        desktop.ShowMessage(QStringLiteral("These files of the monitored folder have names that are not valid text "
                                           "(UTF-8) and cannot be stored; they stay in the folder. Rename them to "
                                           "store them:\r\n%1")
                                .arg(unnameable.join(QStringLiteral("\r\n"))),
                            TKind::Warning);
    TCursorRestore wait(desktop);
    if (const QString changing = WaitUntilFilesSettle(paths, StableFileQuietMs, StableFileWaitMs); !changing.isEmpty()) {
        desktop.ShowMessage(QStringLiteral("The file \"%1\" is still being written into the monitored folder. Try "
                                           "again when it is complete. Nothing was moved or copied.")
                                .arg(changing),
                            TKind::Warning);
        return false;
    }
    return true;
}

bool TEntryManager::CopyForTransfer(TFolderFiles& source, TFolderFiles& target, QStringList& targetNames,
                                    QList<TTransferredItem>& originals)
{
    if (!CheckMonitoredItems(source))
        return false;
    const QStringList wanted = MarkedNames(source);
    // A name that is not valid text on disk (bytes that are not UTF-8)
    // cannot be named again to copy, store or delete it.
    for (const QString& name : wanted) {
        if (name.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(source.FolderPath() + name)
            && !QFileInfo(source.FolderPath() + name).isSymLink()) {
            m_main.Desktop().ShowMessage(QStringLiteral("The name of the file \"%1\" is not valid text (UTF-8), so "
                                                        "it cannot be stored. Rename it and try again. Nothing was "
                                                        "moved or copied.")
                                             .arg(name),
                                         TKind::Warning);
            return false;
        }
    }
    // An item that vanished in the meantime (deleted by another program) is
    // told of; the others go on.
    QStringList missing;
    for (const QString& name : wanted)
        if (!QFileInfo::exists(source.FolderPath() + name) && !QFileInfo(source.FolderPath() + name).isSymLink())
            missing.append(name);
    targetNames = TransferSelectedFiles(source, target, false, &originals);
    if (!missing.isEmpty())
        m_main.Desktop().ShowMessage(QStringLiteral("These files were no longer in the folder \"%1\" and were not "
                                                    "taken:\r\n%2")
                                         .arg(source.FolderPath(), missing.join(QStringLiteral("\r\n"))),
                                     TKind::Warning);
    if (targetNames.size() + missing.size() < wanted.size()) {
        // Something could not be copied (a full disk, no rights): nothing is
        // half taken, the copies made are removed again.
        for (const QString& name : std::as_const(targetNames))
            RemoveItem(target.FolderPath() + name);
        m_main.Desktop().ShowMessage(
            QStringLiteral("The files could not be copied into the folder \"%1\". Nothing was moved or copied.")
                .arg(target.FolderPath()),
            TKind::Error);
        return false;
    }
    return !targetNames.isEmpty();
}

void TEntryManager::RemoveTransferredItems(int sourceCode, const QString& sourceTitle, const QString& folder,
                                           const QList<TTransferredItem>& originals, const TEntryData& target) noexcept
{
    IDesktop& desktop = m_main.Desktop();
    const auto entryText = [](int code, const QString& title) {
        return QStringLiteral("[ %1. %2 ]").arg(QString::number(code), title);
    };
    QString place = sourceCode == 0 ? QStringLiteral("the folder \"%1\"").arg(folder)
                                    : QStringLiteral("entry ") + entryText(sourceCode, sourceTitle);
    QStringList kept;
    const auto notTakenOut = [&](const QString& reason) {
        // The target holds the files: whatever failed here loses nothing,
        // the source merely keeps them as well.
        desktop.ShowMessage(QStringLiteral("The files copied into entry %1 could not be taken out of %2, which still "
                                           "holds them.%3")
                                .arg(entryText(target.Code(), target.Title()), place,
                                     reason.isEmpty() ? QString() : QStringLiteral("\r\n") + reason),
                            TKind::Warning);
    };
    try {
        if (sourceCode == 0) {
            for (const TTransferredItem& item : originals)
                kept += item.RemoveUnchanged(folder);
        } else {
            // The entry that gave the files stores what it has left: the
            // object open for editing, whose folder holds the originals, or
            // the stored entry, closed since. For the latter, what is still
            // on disk from its last opening tells whether its files are
            // exactly what was copied; the extraction that follows replaces
            // what is on disk, so the entry is touched only when all of them
            // are, and nothing newer can be lost.
            TEntryData* held = m_openEntries.FindHeld(sourceCode);
            QList<QStringList> unchanged;
            bool whole = true;
            if (!held) {
                for (const TTransferredItem& item : originals) {
                    unchanged.append(item.Unchanged(folder));
                    whole = whole && item.IsUnchanged(folder);
                }
            }
            if (held || whole) {
                TUsedEntry source = held ? TUsedEntry(m_openEntries, held, nullptr)
                                         : TUsedEntry(m_openEntries, nullptr, LoadAndExtractEntry(sourceCode));
                place = QStringLiteral("entry ") + entryText(source->Code(), source->Title());
                TFolderFiles& files = source->FolderFiles();
                {
                    TWatchPause pause(files);
                    for (qsizetype i = 0; i < originals.size(); ++i)
                        kept += held ? originals[i].RemoveUnchanged(source->GetFolder())
                                     : originals[i].RemovePaths(source->GetFolder(), unchanged[i]);
                    files.Refresh();
                }
                // A failed store has said so ("Entry was NOT saved.").
                if (!source->Save([this](TEntryData& entry) { return m_db.StoreEntry(entry); }))
                    notTakenOut(QString());
            } else {
                for (const TTransferredItem& item : originals)
                    kept.append(item.Name());
            }
        }
    } catch (const ETessarynError& e) {
        notTakenOut(e.Message());
    } catch (const std::exception&) {
        // a cancelled password, or anything else: told without a reason
        notTakenOut(QString());
    }
    kept.sort();
    if (!kept.isEmpty())
        desktop.ShowMessage(QStringLiteral("These files were not removed from %1: they are no longer exactly what was "
                                           "copied into entry %2 (they changed, or were added, since) or could not "
                                           "be deleted. They stay where they are; entry %2 holds what was copied:"
                                           "\r\n%3")
                                .arg(place, entryText(target.Code(), target.Title()),
                                     kept.join(QStringLiteral("\r\n"))),
                            TKind::Warning);
    try {
        if (RefreshBrowser)
            RefreshBrowser();
    } catch (const std::exception&) {
    }
}

// --- merging -----------------------------------------------------------------

bool TEntryManager::MergeEntries(const QList<int>& codes)
{
    IDesktop& desktop = m_main.Desktop();
    TdmConnection& connection = m_main.Connection();
    // All three checks, as one refusal: the merged entries are deleted,
    // read, and a new entry is made of them.
    for (const int kind : {akDelete, akView}) {
        if (!CheckAccess(connection, desktop, codes, kind, AccessTexts::MergeEntries))
            return false;
    }
    if (!m_main.User().HasRight(TUser::urCreateEntries)) {
        desktop.ShowMessage(AccessTexts::MergeEntries, TKind::Warning);
        return false;
    }
    if (RefuseOpenEntries(codes, QStringLiteral("Some of the selected entries are open for editing. You must first "
                                                "close them before merging them.")))
        return false;

    try {
        std::vector<std::unique_ptr<TEntryData>> sources;
        QList<TEntryData*> sourceList;
        for (const int code : codes) {
            auto source = NewEntryObject(false);
            source->SetCode(code);
            source->CleanFolder();
            ExtractWholeEntry(*source);
            source->FolderFiles().ListFolder(source->GetFolder());
            sourceList.append(source.get());
            sources.push_back(std::move(source));
        }
        if (!ShowMergeDialog)
            return false;
        const std::optional<TMergeValues> values = ShowMergeDialog(sourceList);
        if (!values)
            return false;
        if (values->category)
            m_main.MostUsedCategories().CategoryUsed(values->category);

        const bool autoEdit = m_main.App.AutoEditMergedEntries;
        std::unique_ptr<TEntryData> merged = CreateNewEntry(autoEdit);
        if (!merged)
            return false;
        TFolderFiles& mergedFiles = merged->FolderFiles();
        for (TEntryData* source : std::as_const(sourceList)) {
            mergedFiles.ListFolder(merged->GetFolder());
            const QStringList wanted = MarkedNames(source->FolderFiles());
            if (CopySelectedFiles(source->FolderFiles(), mergedFiles).size() != wanted.size())
                throw ETessarynError(QStringLiteral("The files of entry [ %1. %2 ] could not all be copied into the "
                                                    "merged entry.")
                                         .arg(QString::number(source->Code()), source->Title()));
        }
        merged->SetCategory(values->category);
        merged->SetTitle(values->title);
        merged->SetKeywords(values->keywords);
        merged->SetSource(values->source);
        merged->SetComments(values->comments);
        mergedFiles.ListFolder(merged->GetFolder());
        mergedFiles.SelectAll();
        // The stored files leave the folder only once the sources are gone
        // as well: until the end the merge can still be undone whole.
        merged->SetDeleteStoredFilesAfterSave(false);

        // The new entry and the deletion of the sources are one transaction:
        // either the merged entry exists with every file and the sources are
        // gone, or nothing changed.
        connection.BeginTransaction();
        try {
            if (!m_db.StoreEntry(*merged)) {
                connection.Rollback();
                return false;
            }
            if (!connection.DeleteEntries(CodesToCommaText(codes)))
                throw ETessarynError(QStringLiteral("The merged entries could not be deleted."));
            connection.Commit();
        } catch (...) {
            connection.Rollback();
            throw;
        }
        merged->ClearModified();
        merged->AcceptChanges();
        if (!autoEdit) {
            TFolderFiles& files = merged->FolderFiles();
            files.SelectAll();
            files.DeleteSelectedFiles();
        }
        Notify(QStringLiteral("The selected entries have been successfully merged."));
        if (autoEdit)
            ShowEntryEditor(merged.release(), false);
        else
            m_openEntries.CloseEntry(merged.release());
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), TKind::Error);
        return false;
    }
}

bool TEntryManager::MergeMarkedEntries(const QList<int>& codes)
{
    const bool merged = MergeEntries(codes);
    if (merged) {
        if (RefreshBrowser)
            RefreshBrowser();
    } else {
        m_main.Desktop().ShowMessage(QStringLiteral("Entries were NOT merged."), TKind::Warning);
    }
    return merged;
}

// --- files into an existing entry ------------------------------------------------

bool TEntryManager::AddFilesToEntry(TFolderFiles& sourceList, int code, bool copy)
{
    IDesktop& desktop = m_main.Desktop();
    if (!CheckAccess(m_main.Connection(), desktop, {code}, akModify, AccessTexts::ModifyEntry))
        return false;
    // The target will be shown in its editor: a refusal to show it comes
    // before any file is copied, not after.
    const bool autoEdit = m_main.App.AutoEditEntriesIfFilesAdded;
    if (autoEdit && !CheckView(code))
        return false;
    try {
        const TEntryData* sourceOwner = sourceList.OwnerEntry();
        if (sourceOwner && sourceOwner->Code() == code) {
            desktop.ShowMessage(QStringLiteral("The files already belong to this entry."), TKind::Information);
            return false;
        }
        TUsedEntry target = UseEntry(code);
        TFolderFiles& targetFiles = target->FolderFiles();
        QStringList targetNames;
        QList<TTransferredItem> originals;
        {
            TWatchPause pauseSource(sourceList);
            TWatchPause pauseTarget(targetFiles);
            if (!CopyForTransfer(sourceList, targetFiles, targetNames, originals))
                return false;
            sourceList.Refresh();
            sourceList.SelectAll();
            targetFiles.Refresh();
            for (const QString& name : std::as_const(targetNames))
                targetFiles.SetSelectedByName(name, true);
        }

        // The originals go once the entry holds the files.
        const int sourceCode = sourceOwner ? sourceOwner->Code() : 0;
        const QString sourceTitle = sourceOwner ? sourceOwner->Title() : QString();
        const QString sourceFolder = sourceList.FolderPath();
        const TEntryData* targetEntry = &*target;
        auto removeOriginals = [this, copy, sourceCode, sourceTitle, sourceFolder, originals, targetEntry] {
            if (!copy)
                RemoveTransferredItems(sourceCode, sourceTitle, sourceFolder, originals, *targetEntry);
        };
        if (autoEdit) {
            target->RunAfterNextStore(removeOriginals);
            return ShowEntryEditor(target.HandOver(), false);
        }
        // A failed store (a message, or the database's error) takes the
        // copies out again: every file stays where it was.
        auto dropCopies = [&] {
            for (const QString& name : std::as_const(targetNames))
                RemoveItem(target->GetFolder() + name);
            targetFiles.Refresh();
        };
        bool saved = false;
        try {
            saved = target->Save([this](TEntryData& entry) { return m_db.StoreEntry(entry); });
        } catch (...) {
            dropCopies();
            throw;
        }
        if (!saved) {
            dropCopies();
            return false;
        }
        removeOriginals();
        if (RefreshBrowser)
            RefreshBrowser();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), TKind::Error);
        return false;
    }
}

bool TEntryManager::AddMonitoredFolderFilesToEntry(int code, const QString& title)
{
    TFolderFiles files(m_main, nullptr);
    files.ListFolder(m_main.App.MonitoredFolder);
    files.SelectAll();
    if (files.SelectedCount() == 0)
        return false;
    QString question;
    if (files.SelectedCount() <= kListedFilesLimit) {
        QString list;
        for (const QString& name : MarkedNames(files))
            list += name + QStringLiteral("\r\n");
        question = QStringLiteral("Are you sure you want to add the following files:\r\n\r\n%1 \r\n\r\nto entry: "
                                  "\r\n\r\n[%2. %3]?")
                       .arg(list, QString::number(code), title);
    } else {
        question = QStringLiteral("Are you sure you want to add the %1 files in the monitored folder to entry: "
                                  "\r\n[%2. %3]?")
                       .arg(QString::number(files.SelectedCount()), QString::number(code), title);
    }
    if (!m_main.Desktop().Confirm(question))
        return false;
    return AddFilesToEntry(files, code, false);
}

// --- files into a new entry ----------------------------------------------------

bool TEntryManager::CutOrCopyIntoNewEntry(TEntryData& sourceEntry, bool copy)
{
    return CreateEntryFromFolderFiles(sourceEntry.FolderFiles(), copy);
}

bool TEntryManager::CreateEntryFromFolderFiles(TFolderFiles& sourceList, bool copy)
{
    try {
        std::unique_ptr<TEntryData> entry = CreateNewEntry(true);
        if (!entry)
            return false;
        TFolderFiles& files = entry->FolderFiles();
        files.ListFolder(entry->GetFolder());
        QStringList targetNames;
        QList<TTransferredItem> originals;
        {
            TWatchPause pause(sourceList);
            if (!CopyForTransfer(sourceList, files, targetNames, originals)) {
                entry->CleanFolder();
                return false;
            }
            files.ListFolder(entry->GetFolder());
            files.SelectAll();
            sourceList.Refresh();
            // What stays in an entry the files are cut from is stored in it
            // once they are gone: every file left in its folder.
            if (!copy && sourceList.OwnerEntry())
                sourceList.SelectAll();
        }
        if (!copy) {
            // Cut: the files leave the entry (or the folder) they came from
            // when the new entry is stored; until then both hold them.
            const TEntryData* owner = sourceList.OwnerEntry();
            const int sourceCode = owner ? owner->Code() : 0;
            const QString sourceTitle = owner ? owner->Title() : QString();
            const QString sourceFolder = sourceList.FolderPath();
            const TEntryData* created = entry.get();
            entry->RunAfterNextStore([this, sourceCode, sourceTitle, sourceFolder, originals, created] {
                RemoveTransferredItems(sourceCode, sourceTitle, sourceFolder, originals, *created);
            });
        }
        return ShowEntryEditor(entry.release(), true);
    } catch (const EAbort&) {
        return false;
    } catch (const ETessarynError& e) {
        m_main.Desktop().ShowMessage(e.Message(), TKind::Error);
        return false;
    }
}

// --- the file-list menu ----------------------------------------------------------

bool TEntryManager::TransferFolderFiles(TFolderFiles& list, TFolderTransfer kind)
{
    if (list.SelectedCount() == 0)
        return false;
    IDesktop& desktop = m_main.Desktop();
    TEntryData* owner = list.OwnerEntry();
    const bool monitored = IsMonitoredFolder(list.FolderPath());
    const bool cut = kind == TFolderTransfer::CutIntoNewEntry;
    const bool move = kind == TFolderTransfer::MoveToEntry;
    const bool all = list.SelectedCount() == list.Count();
    if (all && !monitored && ((cut && owner) || move)) {
        desktop.ShowMessage(kCutAllText, TKind::Information);
        return false;
    }
    if (cut || move) {
        const QString question = !monitored ? kRemoveFromEntryText : cut ? kCutFromMonitoredText : kMoveFromMonitoredText;
        if (!desktop.Confirm(question))
            return false;
    }
    if (cut || kind == TFolderTransfer::CopyIntoNewEntry)
        return owner ? CutOrCopyIntoNewEntry(*owner, !cut) : CreateEntryFromFolderFiles(list, !cut);
    const std::optional<int> code = PickEntry ? PickEntry() : std::nullopt;
    if (!code)
        return false;
    return AddFilesToEntry(owner ? owner->FolderFiles() : list, *code, !move);
}

// --- passwords -------------------------------------------------------------------

std::optional<QString> TEntryManager::AskNewPassword()
{
    return ShowPasswordProtect ? ShowPasswordProtect() : std::nullopt;
}

bool TEntryManager::AddPassword(int code)
{
    IDesktop& desktop = m_main.Desktop();
    if (!CheckAccess(m_main.Connection(), desktop, {code}, akModify, AccessTexts::AddPassword))
        return false;
    if (RefuseOpenEntries({code}, QStringLiteral("This entry is open for editing. You must first close it before "
                                                 "adding a password to it.")))
        return false;
    try {
        const std::unique_ptr<TEntryData> entry = LoadAndExtractEntry(code);
        const std::optional<QString> password = AskNewPassword();
        if (!password) {
            entry->CleanFolder();
            return false;
        }
        entry->SetPasswordProtected(true);
        entry->SetPassword(*password);
        entry->FolderFiles().ListFolder(entry->GetFolder());
        // Stored again whole: the archive is rebuilt with every member
        // encrypted, since the password changed.
        const bool saved = entry->Save([this](TEntryData& e) { return m_db.StoreEntry(e); });
        entry->CleanFolder();
        return saved;
    } catch (const EAbort&) {
        return false;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), TKind::Error);
        return false;
    }
}

bool TEntryManager::RemovePassword(int code)
{
    IDesktop& desktop = m_main.Desktop();
    if (!CheckAccess(m_main.Connection(), desktop, {code}, akModify, AccessTexts::RemovePassword))
        return false;
    if (RefuseOpenEntries({code}, QStringLiteral("This entry is open for editing. You must first close it before "
                                                 "removing its password.")))
        return false;
    try {
        // Asks for the current password: only who knows it may remove it.
        const std::unique_ptr<TEntryData> entry = LoadAndExtractEntry(code);
        entry->SetPasswordProtected(false);
        entry->SetPassword(QString());
        entry->FolderFiles().ListFolder(entry->GetFolder());
        if (entry->FolderFiles().SelectedCount() == 0)
            return false;
        const bool saved = entry->Save([this](TEntryData& e) { return m_db.StoreEntry(e); });
        entry->CleanFolder();
        return saved;
    } catch (const EAbort&) {
        return false;
    } catch (const ETessarynError& e) {
        desktop.ShowMessage(e.Message(), TKind::Error);
        return false;
    }
}

bool TEntryManager::AddPasswordToEntry(int code)
{
    const bool added = AddPassword(code);
    if (added)
        Notify(QStringLiteral("Password was added succesfully."));
    else
        m_main.Desktop().ShowMessage(QStringLiteral("The password was NOT added to the selected entry."), TKind::Error);
    return added;
}

bool TEntryManager::RemovePasswordFromEntry(int code)
{
    const bool removed = RemovePassword(code);
    if (removed)
        Notify(QStringLiteral("Password was removed succesfully."));
    else
        m_main.Desktop().ShowMessage(QStringLiteral("The password was NOT removed from the selected entry."),
                                     TKind::Error);
    return removed;
}
