#include "engine/FileLists.h"


#include "app/IDesktop.h"
#include "db/ClientRecordSet.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FolderTreeWatcher.h"
#include "engine/OpenWithDesktop.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <exception>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Runs a piece of code when the scope ends, also when an error unwinds it.
template <typename F>
class TScopeExit {
public:
    explicit TScopeExit(F f) : m_f(std::move(f)) {}
    ~TScopeExit() { m_f(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F m_f;
};

// Brackets a change of a list between BeginUpdate and EndUpdate. When an
// error unwinds through it, the lock is lowered without telling anyone: a
// notification now could only raise a second error.
template <typename End, typename Abandon>
class TUpdateScope {
public:
    TUpdateScope(End end, Abandon abandon) : m_end(std::move(end)), m_abandon(std::move(abandon)) {}
    ~TUpdateScope() noexcept(false)
    {
        if (std::uncaught_exceptions() > m_exceptions)
            m_abandon();
        else
            m_end();
    }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    End m_end;
    Abandon m_abandon;
    int m_exceptions = std::uncaught_exceptions();
};

fs::path ToFsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// The entries of a folder as items, in the order the file system returns
// them; hidden entries included. A time that cannot be read stays null.
QList<TEntryItem> ReadFolderItems(const QString& folderPath)
{
    QList<TEntryItem> items;
    const QDir dir(folderPath);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& info : entries) {
        const quint8 kind = info.isDir() ? TEntryItem::KindFolder : TEntryItem::KindFile;
        const QString name = info.fileName();
        // The listing's own facts, not a second look at the disk per file;
        // a folder counts what it holds (links not followed).
        const qint64 bytes = !info.exists() ? 0 : info.isDir() && !info.isSymLink() ? FolderSize(info.filePath())
                                                  : info.isDir() ? 0 : info.size();
        items.append(TEntryItem(kind, name, bytes, info.lastModified(), TGenericFiles::LookupIconIndex(name, kind)));
    }
    return items;
}

// Deletes exactly the entry at path: a file, a link (not what it points to)
// or a folder with its content. Names are taken literally; a "*" in a file
// name is part of the name here, never a pattern.
bool DeleteEntry(const QString& path)
{
    std::error_code ec;
    fs::remove_all(ToFsPath(path), ec);
    return !ec;
}

enum class TRenameResult { Done, Taken, Failed };

// Renames without ever replacing what is at the target: the kernel refuses
// atomically when the name is taken, so no file is lost to a race either.
TRenameResult RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return TRenameResult::Done;
    if (errno == EEXIST)
        return TRenameResult::Taken;
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system without the flag: the checked rename of the helpers.
        if (QFileInfo(to).exists() || QFileInfo(to).isSymLink())
            return TRenameResult::Taken;
        return ShellRename(from, to) ? TRenameResult::Done : TRenameResult::Failed;
    }
    return TRenameResult::Failed;
}

TGenericFiles::TIconLookup& IconLookup()
{
    static TGenericFiles::TIconLookup lookup;
    return lookup;
}

} // namespace

// --- TGenericFiles ----------------------------------------------------------

TGenericFiles::TGenericFiles() = default;

TGenericFiles::~TGenericFiles()
{
    const QList<IFilesObserver*> observers = std::exchange(m_observers, {});
    for (IFilesObserver* observer : observers)
        observer->FilesDestroyed(this);
    qDeleteAll(m_items);
}

TEntryItem* TGenericFiles::Items(int index) const
{
    return InRange(index) ? m_items.at(index) : nullptr;
}

int TGenericFiles::IndexOf(const QString& name) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items.at(i)->Name().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int TGenericFiles::IndexOfExact(const QString& name) const
{
    for (int i = 0; i < Count(); ++i) {
        if (m_items.at(i)->Name() == name)
            return i;
    }
    return -1;
}

QList<int> TGenericFiles::Selection() const
{
    QList<int> indices;
    indices.reserve(m_markedCount);
    for (size_t i = 0; i < m_marked.size(); ++i)
        if (m_marked[i])
            indices.append(int(i));
    return indices;
}

void TGenericFiles::Mark(int index, bool marked)
{
    const auto i = size_t(index);
    if (bool(m_marked[i]) == marked)
        return;
    const bool differed = bool(m_marked[i]) != SnapshotMarked(i);
    m_marked[i] = marked;
    m_markedCount += marked ? 1 : -1;
    m_snapshotDifferences += differed ? -1 : 1;
}

void TGenericFiles::CountSnapshotDifferences()
{
    qsizetype differences = 0;
    const size_t end = std::max(m_marked.size(), m_snapshot.size());
    for (size_t i = 0; i < end; ++i)
        if (SnapshotMarked(i) != (i < m_marked.size() && m_marked[i]))
            ++differences;
    m_snapshotDifferences = differences;
}

void TGenericFiles::TakeSelectionSnapshot()
{
    m_snapshot = m_marked;
    m_snapshotDifferences = 0;
}

QList<int> TGenericFiles::SnapshotIndices() const
{
    QList<int> indices;
    for (size_t i = 0; i < m_snapshot.size(); ++i)
        if (m_snapshot[i])
            indices.append(int(i));
    return indices;
}

void TGenericFiles::SetSelected(int index, bool marked)
{
    if (!InRange(index))
        return;
    // Clearing always counts as a change, setting only when it was not set.
    const bool changed = !marked || !IsSelected(index);
    Mark(index, marked);
    if (changed && m_onSelectionChanged)
        m_onSelectionChanged(this);
    Notify(ItemChanged, index);
}

void TGenericFiles::SelectAll()
{
    SetMarksWhere([](const TEntryItem&, bool) { return true; });
    Notify(SelectionChanged);
}

void TGenericFiles::SelectNone()
{
    SetMarksWhere([](const TEntryItem&, bool) { return false; });
    Notify(SelectionChanged);
}

bool TGenericFiles::SetMarksWhere(const std::function<bool(const TEntryItem&, bool marked)>& keep)
{
    bool changed = false;
    int count = 0;
    for (size_t i = 0; i < m_marked.size(); ++i) {
        const bool marked = keep(*m_items.at(qsizetype(i)), m_marked[i]);
        changed = changed || bool(m_marked[i]) != marked;
        m_marked[i] = marked;
        count += marked ? 1 : 0;
    }
    m_markedCount = count;
    CountSnapshotDifferences();
    return changed;
}

void TGenericFiles::RemoveItemsWhere(const std::function<bool(const TEntryItem&, bool marked)>& drop)
{
    QList<TEntryItem*> items;
    items.reserve(m_items.size());
    std::vector<char> marks;
    marks.reserve(m_marked.size());
    int current = -1;
    int count = 0;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        TEntryItem* item = m_items.at(i);
        const bool marked = m_marked[size_t(i)];
        if (drop(*item, marked)) {
            delete item;
            continue;
        }
        if (i == m_currentIndex)
            current = int(items.size());
        items.append(item);
        marks.push_back(marked);
        count += marked ? 1 : 0;
    }
    m_items = std::move(items);
    m_marked = std::move(marks);
    m_markedCount = count;
    m_currentIndex = current;
    // The snapshot stays by index: marks that moved with their items count
    // as different from it, as they did when the list was compared by index.
    CountSnapshotDifferences();
}

void TGenericFiles::InvertSelection()
{
    for (int i = 0; i < Count(); ++i)
        SetSelected(i, !IsSelected(i));
}

void TGenericFiles::SetSelectedByName(const QString& name, bool marked)
{
    const int index = IndexOf(name);
    if (index != -1)
        SetSelected(index, marked);
}

void TGenericFiles::SetCurrent(int index)
{
    if (!InRange(index) || index == m_currentIndex)
        return;
    m_currentIndex = index;
    Notify(CurrentChanged, index);
}

void TGenericFiles::OpenItem(int index)
{
    (void)index;
}

void TGenericFiles::RemoveItem(int index)
{
    if (!InRange(index))
        return;
    if (m_currentIndex == index)
        m_currentIndex = -1;
    else if (m_currentIndex > index)
        --m_currentIndex;
    m_markedCount -= m_marked[size_t(index)] ? 1 : 0;
    m_marked.erase(m_marked.begin() + index);
    delete m_items.takeAt(index);
    CountSnapshotDifferences();
}

void TGenericFiles::DeleteItems()
{
    qDeleteAll(m_items);
    m_items.clear();
    m_marked.clear();
    m_markedCount = 0;
    m_currentIndex = -1;
    CountSnapshotDifferences();
}

void TGenericFiles::Clear()
{
    DeleteItems();
    Notify(ListChanged);
}

void TGenericFiles::AddObserver(IFilesObserver* observer)
{
    if (!observer || m_observers.contains(observer))
        return;
    m_observers.append(observer);
    ++m_updateLock;
    TScopeExit lower([this] { --m_updateLock; });
    observer->FilesChanged(this, ListChanged, -1);
}

void TGenericFiles::RemoveObserver(IFilesObserver* observer)
{
    m_observers.removeAll(observer);
}

void TGenericFiles::ClearObservers()
{
    m_observers.clear();
}

void TGenericFiles::EndUpdate()
{
    if (m_updateLock > 0 && --m_updateLock == 0)
        Notify(ListChanged);
}

void TGenericFiles::Notify(int kind, int index)
{
    if (IsUpdating())
        return;
    ++m_updateLock;
    TScopeExit lower([this] { --m_updateLock; });
    // An observer may unregister itself or another one while being told.
    const QList<IFilesObserver*> observers = m_observers;
    for (IFilesObserver* observer : observers) {
        if (m_observers.contains(observer))
            observer->FilesChanged(this, kind, index);
    }
}

void TGenericFiles::Sort(int sortKind)
{
    if (m_items.isEmpty())
        return;
    // Marks follow the items themselves, so that two names that differ only
    // in case keep their own marks.
    QSet<const TEntryItem*> marked;
    for (int i = 0; i < Count(); ++i)
        if (IsSelected(i))
            marked.insert(m_items.at(i));
    {
        TEntryItemSorter sorter(m_items, sortKind);
        ShellSort(sorter);
    }
    SetMarksWhere([&](const TEntryItem& item, bool) { return marked.contains(&item); });
    Notify(Reordered);
}

bool TGenericFiles::DetermineMainFile()
{
    m_mainFileName.clear();
    if (m_items.isEmpty())
        return false;
    if (Count() == 1) {
        m_mainFileName = m_items.at(0)->Name();
        return true;
    }
    if (Count() != 2)
        return false;

    // The suffix tests are case-sensitive on purpose: a browser saves
    // "page.htm" beside "page_files".
    QString folder;
    QString page;
    for (const TEntryItem* item : std::as_const(m_items)) {
        const QString& name = item->Name();
        if (name.endsWith(QStringLiteral("_files")))
            folder = name;
        else if (name.endsWith(QStringLiteral(".htm")) || name.endsWith(QStringLiteral(".html")))
            page = name;
    }
    if (folder.isEmpty() || page.isEmpty())
        return false;
    if (!folder.toLower().startsWith(HtmlBaseName(page).toLower()))
        return false;
    m_mainFileName = page;
    return true;
}

void TGenericFiles::SetIconLookup(TIconLookup lookup)
{
    IconLookup() = std::move(lookup);
}

int TGenericFiles::LookupIconIndex(const QString& name, quint8 kind)
{
    const TIconLookup& lookup = IconLookup();
    return lookup ? lookup(name, kind) : 0;
}

// --- TFolderFiles -----------------------------------------------------------

TFolderFiles::TFolderFiles(TdmMain& main, TEntryData* ownerEntry) : m_main(main), m_ownerEntry(ownerEntry)
{
}

TFolderFiles::~TFolderFiles()
{
    m_watcher.reset();
}

void TFolderFiles::ListFolder(const QString& path)
{
    {
        BeginUpdate();
        TUpdateScope scope([this] { EndUpdate(); }, [this] { AbandonUpdate(); });
        m_folderPath = IncludeTrailingBackslash(path);
        DeleteItems();
        for (TEntryItem item : ReadFolderItems(m_folderPath)) {
            if (!item.Date().isValid())
                item.SetDate(QDateTime::currentDateTime());
            AppendItem(new TEntryItem(item));
        }
        SelectAll();
        if (m_ownerEntry)
            SyncWithEntryFiles();
        TakeSelectionSnapshot();
    }
    if (m_ownerEntry)
        StartWatching();
}

void TFolderFiles::Refresh()
{
    if (m_folderPath.isEmpty())
        return;   // never listed: there is nothing to compare with
    // Every step below looks names up in hashes: a folder of 100,000 files
    // is compared with its list in one pass, not once per file.
    QSet<QString> marked;
    QHash<QString, int> listed;
    listed.reserve(Count());
    for (int i = 0; i < Count(); ++i) {
        listed.insert(Items(i)->Name(), i);
        if (IsSelected(i))
            marked.insert(Items(i)->Name());
    }

    bool changed = false;
    QSet<QString> onDisk;
    const QList<TEntryItem> found = ReadFolderItems(m_folderPath);
    onDisk.reserve(found.size());
    for (const TEntryItem& item : found) {
        onDisk.insert(item.Name());
        const auto known = listed.constFind(item.Name());
        if (known == listed.constEnd()) {
            changed = true;
            listed.insert(item.Name(), Count());
            AppendItem(new TEntryItem(item));
            if (m_main.App.AutoSelectAddedFiles)
                marked.insert(item.Name());
            continue;
        }
        // A file written since it was listed counts as a change once: the
        // item takes the new time and size, so that the next refresh does
        // not find the same write again.
        TEntryItem* existing = Items(known.value());
        if (item.Date().isValid() && (!existing->Date().isValid() || item.Date() > existing->Date())) {
            changed = true;
            existing->SetDate(item.Date());
            existing->SetSize(item.Size());
        }
    }
    if (onDisk.size() != Count()) {
        RemoveItemsWhere([&](const TEntryItem& item, bool) { return !onDisk.contains(item.Name()); });
        changed = true;
    }
    SetMarksWhere([&](const TEntryItem& item, bool) { return marked.contains(item.Name()); });

    if (changed) {
        m_changed = true;
        Notify(ListChanged);
        NotifyOwner();
    }
}

void TFolderFiles::SyncWithEntryFiles()
{
    if (!m_ownerEntry)
        return;
    TEntryFiles& stored = m_ownerEntry->EntryFiles();
    BeginUpdate();
    TUpdateScope scope([this] { EndUpdate(); }, [this] { AbandonUpdate(); });
    // Both lists are matched through sets of names, in one pass each.
    QSet<QString> storedNames;
    storedNames.reserve(stored.Count());
    for (int i = 0; i < stored.Count(); ++i)
        storedNames.insert(stored.Items(i)->Name());
    bool unmarked = false;
    for (int i = 0; i < Count(); ++i)
        unmarked = unmarked || !storedNames.contains(Items(i)->Name());
    if (unmarked) {
        SetMarksWhere([&](const TEntryItem& item, bool marked) { return marked && storedNames.contains(item.Name()); });
        // One word to the entry for all the marks cleared, not one per item.
        NotifyOwner();
    }
    QSet<QString> names;
    names.reserve(Count());
    for (int i = 0; i < Count(); ++i)
        names.insert(Items(i)->Name());
    if (names.size() < storedNames.size() || !std::all_of(storedNames.cbegin(), storedNames.cend(),
                                                           [&](const QString& name) { return names.contains(name); }))
        stored.RemoveItemsWhere([&](const TEntryItem& item, bool) { return !names.contains(item.Name()); });
}

void TFolderFiles::StartWatching()
{
    if (m_ownerEntry && !m_ownerEntry->WatchFolder())
        return;
    if (m_folderPath.isEmpty())
        return;
    if (!m_watcher)
        m_watcher = std::make_unique<TFolderTreeWatcher>(
            [this](const TFolderTreeWatcher::TReport& report) { WatchEvent(report.appeared, report.changedBelow); });
    m_watcher->Start(m_folderPath);
    // A change made between the listing and the new watch sends no event.
    Refresh();
}

void TFolderFiles::StopWatching()
{
    if (m_watcher)
        m_watcher->Stop();
}

bool TFolderFiles::IsWatching() const
{
    return m_watcher && m_watcher->Active();
}

void TFolderFiles::WatchEvent(bool pathsAppeared, bool changedBelow)
{
    // New paths are files or folders created or renamed anywhere below the
    // folder. Whatever happens inside a subfolder changes that folder's
    // content, which the refresh of the top folder cannot see. What was
    // deleted or written at the top shows in the refresh itself.
    if (pathsAppeared || changedBelow)
        MarkChanged();
    Refresh();
    NotifyOwner();
}

void TFolderFiles::DeleteSelectedFiles()
{
    bool deleted = false;
    for (int i = Count() - 1; i >= 0; --i) {
        if (!IsSelected(i))
            continue;
        DeleteEntry(m_folderPath + Items(i)->Name());
        deleted = true;
    }
    // The items go whatever the disk said: a file that stayed comes back
    // with the next refresh.
    RemoveItemsWhere([](const TEntryItem&, bool marked) { return marked; });
    if (deleted)
        SyncWithEntryFiles();
    Notify(ListChanged);
}

void TFolderFiles::RenameCurrent()
{
    const TEntryItem* current = CurrentItem();
    if (!current)
        return;
    const QString oldName = current->Name();
    IDesktop& desktop = m_main.Desktop();
    const std::optional<QString> answer =
        desktop.InputQuery(QStringLiteral("Rename file"), QStringLiteral("Enter filename"), oldName);
    if (!answer || *answer == oldName)
        return;
    const QString newName = *answer;
    // The folder may have been refreshed while the question was open.
    const int index = IndexOfExact(oldName);
    if (index == -1)
        return;

    if (newName.isEmpty() || newName.contains(u'/') || newName == u"." || newName == u".." || newName.contains(QChar(0))) {
        desktop.ShowMessage(QStringLiteral("\"%1\" is not a valid file name.").arg(newName),
                            IDesktop::TMsgKind::Warning);
        return;
    }
    const QString target = m_folderPath + newName;
    TRenameResult result = TRenameResult::Taken;
    if (IndexOfExact(newName) == -1)
        result = RenameNoReplace(m_folderPath + oldName, target);
    if (result == TRenameResult::Taken) {
        desktop.ShowMessage(
            QStringLiteral("The file \"%1\" was not renamed: a file named \"%2\" already exists in this folder.")
                .arg(oldName, newName),
            IDesktop::TMsgKind::Warning);
        return;
    }
    if (result == TRenameResult::Failed) {
        desktop.ShowMessage(QStringLiteral("The file \"%1\" could not be renamed to \"%2\".").arg(oldName, newName),
                            IDesktop::TMsgKind::Warning);
        return;
    }
    // The item keeps its place, and with it its mark.
    Items(index)->SetName(newName);
    m_changed = true;
    Notify(ItemChanged, index);
    NotifyOwner();
}

void TFolderFiles::SnapshotSelection()
{
    m_changed = false;
    TakeSelectionSnapshot();
}

bool TFolderFiles::HasChanged() const
{
    // The same marks by index as in the snapshot, kept up to date with every
    // mark, so that asking is free however often the windows ask.
    return m_changed || SelectionDiffersFromSnapshot();
}

qint64 TFolderFiles::SelectedSize() const
{
    // A folder is stored with everything below it, so that is what it weighs:
    // counting it as nothing would let a file refused on its own pass inside one.
    qint64 total = 0;
    for (int i = 0; i < Count(); ++i) {
        if (!IsSelected(i))
            continue;
        const TEntryItem* item = Items(i);
        total += item->IsFolder() ? FolderSize(m_folderPath + item->Name()) : item->Size();
    }
    return total;
}

qint64 TFolderFiles::SelectedFileCount() const
{
    qint64 count = 0;
    for (const int index : Selection()) {
        const TEntryItem* item = Items(index);
        if (!item->IsFolder()) {
            ++count;
            continue;
        }
        // Links are not followed: a link is stored as one member.
        std::error_code ec;
        fs::recursive_directory_iterator it(ToFsPath(m_folderPath + item->Name()),
                                            fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code statError;
            if (!fs::is_directory(it->symlink_status(statError)))
                ++count;
        }
    }
    return count;
}

void TFolderFiles::SetCurrent(int index)
{
    if (!InRange(index))
        return;
    if (index != CurrentIndex())
        Notify(CurrentChanged, CurrentIndex());
    SetCurrentIndex(index);
    Notify(CurrentChanged, index);
}

void TFolderFiles::OpenItem(int index)
{
    if (const TEntryItem* item = Items(index))
        OpenWithDesktop(m_main.Desktop(), m_folderPath + item->Name());
}

void TFolderFiles::SelectAll()
{
    TGenericFiles::SelectAll();
    NotifyOwner();
}

void TFolderFiles::SelectNone()
{
    TGenericFiles::SelectNone();
    NotifyOwner();
}

void TFolderFiles::InvertSelection()
{
    TGenericFiles::InvertSelection();
    NotifyOwner();
}

void TFolderFiles::NotifyOwner()
{
    if (m_ownerEntry)
        m_ownerEntry->NotifyObservers();
}

// --- TEntryFiles ------------------------------------------------------------

TEntryFiles::TEntryFiles(ClientRecordSet* recordSet) : m_recordSet(recordSet)
{
}

void TEntryFiles::LoadFromRecordSet(int entryCode)
{
    DeleteItems();
    m_entryCode = entryCode;
    if (!m_recordSet || !m_recordSet->Active())
        return;
    // Read from a copy of the rows so that the record set's cursor, and
    // whoever follows it, is left alone.
    const DataPacket rows = m_recordSet->ToPacket();
    const int nameField = rows.FieldIndex(QStringLiteral("Name"));
    const int typeField = rows.FieldIndex(QStringLiteral("Type"));
    const int sizeField = rows.FieldIndex(QStringLiteral("FileSize"));
    if (nameField < 0 || typeField < 0 || sizeField < 0)
        return;
    for (const QList<QVariant>& row : rows.rows) {
        const QString name = row.at(nameField).toString();
        const auto kind = quint8(row.at(typeField).toInt());
        AppendItem(new TEntryItem(kind, name, row.at(sizeField).toLongLong(), QDateTime(),
                                  LookupIconIndex(name, kind)));
    }
}

void TEntryFiles::SetCurrent(int index)
{
    if (index == CurrentIndex() || !InRange(index))
        return;
    SetCurrentIndex(index);
    if (m_recordSet && m_recordSet->Active())
        m_recordSet->SetRecNo(index + 1);
}

void TEntryFiles::OpenItem(int index)
{
    const TEntryItem* item = Items(index);
    if (item && OpenEntryFile)
        OpenEntryFile(m_entryCode, item->Name(), item->Kind());
}
