#include "engine/dDB.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/ProtectedFolders.h"
#include "engine/StableFiles.h"
#include "engine/ZipArchive.h"
#include "engine/dZip.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

void Warn(IDesktop& desktop, const QString& text)
{
    desktop.ShowMessage(text, IDesktop::TMsgKind::Warning);
}

// How long a file of the monitored folder must stay unchanged before it is
// stored, and how long a store waits for that.
constexpr int kSettleQuietMs = 500;
constexpr int kSettleWaitMs = 5000;

bool FolderHasItems(const QString& folder)
{
    return !QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

// Once unpacked, or stored from its folder, a protected entry's files lie
// there in plain form: that folder must not outlive the run. A folder the
// entry was only pointed at holds the user's own files and is not recorded.
void RecordPlainCopies(TEntryData& entry)
{
    if (entry.PasswordProtected() && entry.FolderOverride().isEmpty())
        entry.Main().ProtectedFolders().Add(entry.GetFolder());
}

// Empties an entry's folder before an extraction; an error when anything
// stays, since it would be taken for part of the entry.
void EmptyEntryFolder(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return;
    ShellDelete(folder + QStringLiteral("*.*"));
    if (FolderHasItems(folder))
        throw ETessarynError(QStringLiteral("The folder \"%1\" could not be emptied before the entry was extracted "
                                            "into it.")
                                 .arg(folder));
}

} // namespace

QString TdmDB::NotExtractedText()
{
    return QStringLiteral("Entry could not be extracted. \r\nIf the entry is password protected, try again and make "
                          "sure you provide the correct password.");
}

bool TdmDB::HasPendingChanges(std::initializer_list<ClientRecordSet*> recordSets)
{
    for (ClientRecordSet* rs : recordSets)
        if (rs->HasChanges() || rs->HasUnpostedChange())
            return true;
    return false;
}

void TdmDB::LoadEntryRecord(TEntryData& entry)
{
    // The archive is read straight into the extract folder, where
    // LoadFromPacket names it.
    const QString folder = QFileInfo(entry.GetExtractArchivePath()).absolutePath();
    QDir().mkpath(folder);
    entry.LoadFromPacket(entry.Main().Connection().GetEntry(entry.Code(), folder));
}

void TdmDB::ApplyEntry(TEntryData& entry)
{
    const DeltaArray deltas = entry.BuildEntryDelta();
    entry.Main().Connection().ApplyEntryUpdates(deltas);
}

bool TdmDB::StoreEntry(TEntryData& entry)
{
    IDesktop& desktop = entry.Main().Desktop();
    TCursorRestore wait(desktop);
    TFolderFiles& files = entry.FolderFiles();
    // An entry working on the monitored folder never takes what must stay
    // there (a link leading out, a pipe), also when it arrived after the
    // entry was made: it is unmarked and named.
    const bool monitored = !entry.FolderOverride().isEmpty()
                           && IncludeTrailingBackslash(entry.FolderOverride())
                                  == IncludeTrailingBackslash(entry.Main().App.MonitoredFolder);
    if (monitored)
        HoldBackUnstorableItems(files, desktop, THoldBack::NameAll);
    if (files.SelectedCount() == 0) {
        Warn(desktop, QStringLiteral("You must store at least one file in the entry."));
        return false;
    }
    if (!files.HasChanged() && !entry.PasswordChanged()) {
        // only the row's fields changed: the archive in the row stays as it is
        ApplyEntry(entry);
        return true;
    }

    // An entry the database cannot hold is refused before anything is packed.
    const TdmConnection& connection = entry.Main().Connection();
    if (const qint64 size = files.SelectedSize(); size > connection.MaxValueBytes()) {
        const QLocale locale;
        Warn(desktop, QStringLiteral("This entry cannot be stored: its files take %1 bytes, more than the %2 bytes "
                                     "(%3 GB) that the database can hold in one entry. Nothing was saved; store the "
                                     "files in several entries.")
                          .arg(locale.toString(size), locale.toString(connection.MaxValueBytes()),
                               locale.toString(double(connection.MaxValueBytes()) / 1e9, 'g', 3)));
        return false;
    }

    // Files taken straight from the monitored folder may still be being
    // written by another program: they are stored only once they are whole.
    if (monitored) {
        QStringList paths;
        for (const int index : files.Selection())
            paths.append(files.FolderPath() + files.Items(index)->Name());
        if (const QString changing = WaitUntilFilesSettle(paths, kSettleQuietMs, kSettleWaitMs); !changing.isEmpty()) {
            Warn(desktop, QStringLiteral("The file \"%1\" is still being written into the monitored folder. Save the "
                                         "entry again when it is complete.")
                              .arg(changing));
            return false;
        }
    }

    RecordPlainCopies(entry);
    const QString archive = entry.GetStoreArchivePath();
    try {
        TdmZip zip;
        zip.PrepareCompress(archive);
        zip.AddEntryFiles(entry);
    } catch (const EAbort&) {
        // Stopped by the user while packing: nothing is stored, nothing moved.
        QFile::remove(archive);
        return false;
    } catch (const ETessarynError& e) {
        QFile::remove(archive);
        Warn(desktop, QStringLiteral("The following error occurred while compressing files: <%1>").arg(e.Message()));
        return false;
    }
    try {
        entry.LoadArchiveIntoRecord(archive);
    } catch (const ETessarynError& e) {
        QFile::remove(archive);
        Warn(desktop,
             QStringLiteral("The following error occurred while storing compressed file in database: <%1>").arg(e.Message()));
        return false;
    }
    if (QFile::exists(archive) && !QFile::remove(archive))
        Warn(desktop, QStringLiteral("The temporary compressed file: <%1> could not be deleted.").arg(archive));

    ApplyEntry(entry);

    if (entry.DeleteStoredFilesAfterSave()) {
        try {
            files.DeleteSelectedFiles();
        } catch (const ETessarynError& e) {
            Warn(desktop,
                 QStringLiteral("The following error occurred while deleting files from monitored folder: <%1>")
                     .arg(e.Message()));
        }
    }
    return true;
}

void TdmDB::ExtractEntry(TEntryData& entry, const QString& name, TEntryFiles* entryFiles, int kind)
{
    Extract(entry, name, entryFiles, kind, false);
}

void TdmDB::ExtractEntryAfresh(TEntryData& entry)
{
    Extract(entry, QString(), nullptr, 1, entry.FolderOverride().isEmpty());
}

void TdmDB::Extract(TEntryData& entry, const QString& name, TEntryFiles* entryFiles, int kind, bool emptyFolder)
{
    IDesktop& desktop = entry.Main().Desktop();
    TCursorRestore wait(desktop);
    LoadEntryRecord(entry);
    const QString archive = entry.GetExtractArchivePath();

    QString password;
    if (entry.PasswordProtected()) {
        const std::optional<QString> typed = desktop.RequestEntryPassword(entry.Code(), entry.Title());
        if (!typed) {
            QFile::remove(archive);
            throw EAbort();
        }
        password = *typed;
    }
    entry.SetPassword(password);

    RecordPlainCopies(entry);
    try {
        if (emptyFolder)
            EmptyEntryFolder(entry.GetFolder());
        TdmZip zip;
        zip.PrepareExtract(archive);
        if (entryFiles)
            zip.ExtractEntryItems(entry, *entryFiles);
        else
            zip.ExtractEntryItem(entry, name, kind);
    } catch (const EAbort&) {
        // Stopped by the user: the archive layer took back what it wrote.
        QFile::remove(archive);
        throw;
    } catch (const EZipWrongPassword&) {
        // Nothing was unpacked: the same end as a folder left empty.
        QFile::remove(archive);
        throw ETessarynError(NotExtractedText());
    } catch (const ETessarynError& e) {
        QFile::remove(archive);
        Warn(desktop, QStringLiteral("The following error occurred while extracting files: <%1>").arg(e.Message()));
        // The operation that asked for the files cannot go on without them.
        throw EAbort();
    }

    if (QFile::exists(archive) && !QFile::remove(archive))
        Warn(desktop, QStringLiteral("The temporary extracted file: <%1> could not be deleted.").arg(archive));

    entry.RefreshFileLists();
    // An entry may hold only empty files or an empty folder: what counts is
    // whether anything came out, not how many bytes.
    if (!FolderHasItems(entry.GetFolder()))
        throw ETessarynError(NotExtractedText());
    entry.ClearModified();
}
