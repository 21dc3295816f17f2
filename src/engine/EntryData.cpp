#include "engine/EntryData.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "db/BlobFile.h"
#include "db/dmConnection.h"
#include "engine/Category.h"
#include "engine/FileHelpers.h"
#include "engine/OpenWithDesktop.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

const QString kNoticeTitle = QStringLiteral("[Tessaryn]:");

IDesktop::TMsgKind Warning()
{
    return IDesktop::TMsgKind::Warning;
}

// Moves one item into a folder under its own name, or under a free variant
// of it when the name is taken there. A name holding "*" or "?" is moved
// literally: the shell helpers would read it as a pattern.
bool MoveItemInto(const QString& from, const QString& folder, const QString& name, bool isFolder)
{
    if (!name.contains(u'*') && !name.contains(u'?'))
        return ShellMove(from, folder);
    const QString target = UniqueTargetPath(folder + name, isFolder);
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(target).toStdString()), ec);
    return !ec;
}

void MoveMarkedItems(TFolderFiles& source, TFolderFiles& target)
{
    const bool watching = source.IsWatching();
    source.StopWatching();
    QDir().mkpath(target.FolderPath());
    source.BeginUpdate();
    for (int i = source.Count() - 1; i >= 0; --i) {
        if (!source.IsSelected(i))
            continue;
        const TEntryItem* item = source.Items(i);
        if (MoveItemInto(source.FolderPath() + item->Name(), target.FolderPath(), item->Name(), item->IsFolder()))
            source.RemoveItem(i);
    }
    source.EndUpdate();
    if (watching)
        source.ResumeWatching();
    target.Refresh();
}

TEntryData::TFileMover& FileMover()
{
    static TEntryData::TFileMover mover;
    return mover;
}

} // namespace

TEntryData::TEntryData(TdmMain& main, bool watchFolder)
    : m_main(main),
      m_watchFolder(watchFolder),
      m_entryFiles(std::make_unique<TEntryFiles>(&m_entryFilesRecordSet)),
      m_folderFiles(std::make_unique<TFolderFiles>(main, this))
{
    // A new entry counts as modified until it has been stored or loaded.
    m_folderFiles->MarkChanged();
    m_folderFiles->SetOnSelectionChanged([this](TGenericFiles*) { NotifyObservers(); });
    m_entryRecordSet.SetOnChange([this] { NotifyObservers(); });
}

TEntryData::~TEntryData()
{
    m_entryRecordSet.SetOnChange(nullptr);
    m_folderFiles->StopWatching();
    m_folderFiles->SetOnSelectionChanged(nullptr);
    m_observers.clear();
}

// --- loading and storing ----------------------------------------------------

void TEntryData::LoadFromPacket(const DataPackets& packet)
{
    m_modified = false;
    m_passwordChanged = false;
    m_entryRecordSet.LoadFromPacket(packet.value(0));
    m_entryFilesRecordSet.LoadFromPacket(packet.value(1));

    if (m_entryRecordSet.IsEmpty() && m_code != 0) {
        m_main.Desktop().ShowMessage(
            QStringLiteral("Entry [ %1 ] was not found in the Knowledge Base.").arg(m_code), Warning());
        throw EAbort();
    }

    const ClientRecordSet& row = m_entryRecordSet;
    m_code = row.Value(QStringLiteral("code")).toInt();
    const QVariant category = row.Value(QStringLiteral("Category"));
    m_category = category.isNull() ? nullptr : m_main.Categories().FindByCode(category.toInt());
    m_title = row.AsString(QStringLiteral("Title"));
    m_keywords = row.AsString(QStringLiteral("Keywords"));
    m_passwordProtected = row.Value(QStringLiteral("PasswordProtected")).toInt() == 1;
    m_dateCreated = row.Value(QStringLiteral("DateCreated")).toDateTime();
    m_dateModified = row.Value(QStringLiteral("DateModified")).toDateTime();
    m_comments = row.AsString(QStringLiteral("comments"));
    m_source = row.AsString(QStringLiteral("source"));

    if (m_code == 0)
        return;
    const QString archivePath = GetExtractArchivePath();
    QDir().mkpath(QFileInfo(archivePath).absolutePath());
    const QVariant items = row.Value(QStringLiteral("Items"));
    if (TBlobFile::Holds(items)) {
        // The archive came from the database into a file of its own: it
        // gets its name here, without passing through memory.
        items.value<TBlobFile>().SaveAs(archivePath);
    } else {
        QSaveFile file(archivePath);
        if (!file.open(QIODevice::WriteOnly))
            throw ETessarynError(QStringLiteral("Cannot create file \"%1\". %2").arg(archivePath, file.errorString()));
        const QByteArray archive = items.toByteArray();
        if (file.write(archive) != archive.size() || !file.commit())
            throw ETessarynError(QStringLiteral("Cannot write file \"%1\". %2").arg(archivePath, file.errorString()));
    }
    m_folderFiles->SnapshotSelection();
}

DeltaArray TEntryData::BuildEntryDelta()
{
    if (m_comments.isEmpty())
        m_comments = QStringLiteral(" ");
    m_dateModified = QDateTime(m_main.CurrentDate(), QTime(0, 0));

    ClientRecordSet& row = m_entryRecordSet;
    row.Edit();
    row.SetValue(QStringLiteral("Code"), m_code);
    row.SetValue(QStringLiteral("Title"), m_title);
    row.SetValue(QStringLiteral("Keywords"), m_keywords);
    row.SetValue(QStringLiteral("Category"), m_category ? QVariant(m_category->Code()) : QVariant());
    row.SetValue(QStringLiteral("source"), m_source);
    row.SetValue(QStringLiteral("PasswordProtected"), m_passwordProtected ? 1 : 0);
    row.SetValue(QStringLiteral("DateModified"), m_dateModified);
    row.SetValue(QStringLiteral("comments"), m_comments);
    row.Post();

    TFolderFiles& folder = *m_folderFiles;
    if (folder.SelectedCount() == 0) {
        m_main.Desktop().ShowMessage(QStringLiteral("You must store at least one file in the entry."), Warning());
        throw EAbort();
    }

    // One code per listed item, marked or not; the unmarked ones are never used.
    int nextCode = m_main.Connection().ReserveNextRecIDs(QStringLiteral("entryfiles"), folder.Count());

    ClientRecordSet& files = m_entryFilesRecordSet;
    while (!files.IsEmpty()) {
        files.First();
        files.Delete();
    }
    for (int i = 0; i < folder.Count(); ++i) {
        if (!folder.IsSelected(i))
            continue;
        const TEntryItem* item = folder.Items(i);
        files.Append();
        files.SetValue(QStringLiteral("code"), nextCode++);
        files.SetValue(QStringLiteral("Entry"), m_code);
        files.SetValue(QStringLiteral("Type"), int(item->Kind()));
        files.SetValue(QStringLiteral("FileSize"), item->Size());
        files.SetValue(QStringLiteral("Name"), item->Name());
        files.Post();
    }
    m_entryFiles->LoadFromRecordSet(m_code);

    return m_main.PackDeltas({&m_entryRecordSet, &m_entryFilesRecordSet});
}

bool TEntryData::Save(const TStoreFunction& store)
{
    if (store && store(*this)) {
        ClearModified();
        AcceptChanges();
        if (m_main.App.NotifyEntriesChanged)
            m_main.Desktop().Notice(
                kNoticeTitle,
                QStringLiteral("The selected file(s) have been successfully stored under the title \"%1\".").arg(m_title));
        for (const std::function<void()>& work : std::exchange(m_afterStore, {}))
            work();
        return true;
    }
    m_main.Desktop().ShowMessage(QStringLiteral("Entry was NOT saved."), Warning());
    return false;
}

void TEntryData::LoadArchiveIntoRecord(const QString& archivePath)
{
    const QString path = archivePath.isEmpty() ? GetStoreArchivePath() : archivePath;
    // The row holds the archive file open, not its bytes: archives may be as
    // large as the database allows, and the write streams from the file.
    // The file's name may go before the row is written; its content stays.
    const TBlobFile archive = TBlobFile::OpenFile(path);
    TdmConnection& connection = m_main.Connection();
    if (archive.Size() > connection.MaxValueBytes())
        throw ETessarynError(QStringLiteral("The entry's archive is too large to store. ")
                             + connection.ValueTooLargeText(archive.Size()));
    m_entryRecordSet.Edit();
    m_entryRecordSet.SetValue(QStringLiteral("Items"), QVariant::fromValue(archive));
    m_entryRecordSet.Post();
}

// --- setters ----------------------------------------------------------------

void TEntryData::SetColumn(const QString& column, const QVariant& value)
{
    m_entryRecordSet.Edit();
    m_entryRecordSet.SetValue(column, value);
}

void TEntryData::SetCode(int code)
{
    m_code = code;
    if (m_entryRecordSet.Active())
        m_entryRecordSet.SetValue(QStringLiteral("code"), code);
}

void TEntryData::SetTextField(QString& field, const QString& value, const QString& column)
{
    if (value == field)
        return;
    field = value;
    SetColumn(column, value);
}

void TEntryData::SetTitle(const QString& title)
{
    SetTextField(m_title, title, QStringLiteral("Title"));
}

void TEntryData::SetKeywords(const QString& keywords)
{
    SetTextField(m_keywords, keywords, QStringLiteral("Keywords"));
}

void TEntryData::SetSource(const QString& source)
{
    SetTextField(m_source, source, QStringLiteral("source"));
}

void TEntryData::SetComments(const QString& comments)
{
    SetTextField(m_comments, comments, QStringLiteral("comments"));
}

void TEntryData::SetCategory(TCategory* category)
{
    if (category == m_category)
        return;
    m_category = category;
    m_modified = true;
    NotifyObservers();
    SetColumn(QStringLiteral("category"), category ? QVariant(category->Code()) : QVariant());
}

void TEntryData::ResolveCategory()
{
    // A new entry's row may still be in the edit buffer; Value reads it there.
    const QVariant code = m_entryRecordSet.Active() ? m_entryRecordSet.Value(QStringLiteral("category")) : QVariant();
    // The old object may be gone, and a new one may even sit at its address:
    // the windows are told in any case, to show the category as it is now.
    m_category = code.isNull() ? nullptr : m_main.Categories().FindByCode(code.toInt());
    NotifyObservers();
}

void TEntryData::SetPasswordProtected(bool passwordProtected)
{
    if (passwordProtected == m_passwordProtected)
        return;
    m_passwordProtected = passwordProtected;
    SetColumn(QStringLiteral("PasswordProtected"), passwordProtected ? 1 : 0);
}

void TEntryData::SetPassword(const QString& password)
{
    if (password == m_password)
        return;
    m_passwordChanged = true;
    m_password = password;
    m_modified = true;
    NotifyObservers();
}

// --- change tracking --------------------------------------------------------

bool TEntryData::IsModified() const
{
    return m_modified || m_folderFiles->HasChanged() || m_entryRecordSet.HasUnpostedChange()
           || m_entryRecordSet.HasChanges();
}

void TEntryData::ClearModified()
{
    m_modified = false;
    m_folderFiles->SnapshotSelection();
    m_passwordChanged = false;
}

void TEntryData::AcceptChanges()
{
    for (ClientRecordSet* recordSet : {&m_entryRecordSet, &m_entryFilesRecordSet}) {
        if (recordSet->Active())
            recordSet->MergeChangeLog();
    }
}

// --- folders ----------------------------------------------------------------

QString TEntryData::GetFolder() const
{
    if (!m_folderOverride.isEmpty())
        return IncludeTrailingBackslash(m_folderOverride);
    return IncludeTrailingBackslash(m_main.App.ExtractFolder) + QString::number(m_code) + u'/';
}

QString TEntryData::GetStoreArchivePath() const
{
    return IncludeTrailingBackslash(m_main.App.CompressionFolder) + QString::number(m_code) + QStringLiteral(".zip");
}

QString TEntryData::GetExtractArchivePath() const
{
    return IncludeTrailingBackslash(m_main.App.ExtractFolder) + QString::number(m_code) + QStringLiteral(".zip");
}

void TEntryData::RefreshFileLists()
{
    m_entryFiles->LoadFromRecordSet(m_code);
    m_folderFiles->ListFolder(GetFolder());
}

void TEntryData::CleanFolder()
{
    if (m_main.App.CleanupTemporaryFiles != 0)
        return;
    // A folder of the entry's own is temporary; a folder the entry was only
    // pointed at (the monitored folder) holds the user's files and is left alone.
    if (!m_folderOverride.isEmpty())
        return;
    ShellDelete(GetFolder() + QStringLiteral("*.*"));
}

void TEntryData::ExploreFolder()
{
    ExploreWithDesktop(m_main.Desktop(), GetFolder());
}

void TEntryData::MoveSelectedFilesTo(const QString& folder)
{
    TFolderFiles target(m_main, nullptr);
    target.ListFolder(folder);
    const TFileMover& mover = FileMover();
    if (mover)
        mover(*m_folderFiles, target);
    else
        MoveMarkedItems(*m_folderFiles, target);
    NotifyObservers();
}

void TEntryData::SetFileMover(TFileMover mover)
{
    FileMover() = std::move(mover);
}

// --- observers --------------------------------------------------------------

void TEntryData::AddObserver(IEntryDataObserver* observer)
{
    if (observer && !m_observers.contains(observer))
        m_observers.append(observer);
}

void TEntryData::RemoveObserver(IEntryDataObserver* observer)
{
    m_observers.removeAll(observer);
}

void TEntryData::NotifyObservers()
{
    if (m_notifying)
        return;
    m_notifying = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{m_notifying};
    const QList<IEntryDataObserver*> observers = m_observers;
    for (IEntryDataObserver* observer : observers) {
        if (m_observers.contains(observer))
            observer->EntryDataChanged(this);
    }
}
