#include "engine/FileLists.h"

#include "app/IDesktop.h"
#include "db/ClientRecordSet.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/OpenWithDesktop.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <cerrno>
#include <exception>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
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

QString FromFsPath(const fs::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
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
        items.append(TEntryItem(kind, name, FileSizeOf(folderPath + name), info.lastModified(),
                                TGenericFiles::LookupIconIndex(name, kind)));
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

// Watches a folder and every folder below it. The platform's watcher names
// neither files nor subfolders and does not recurse, so every folder and
// every file of the tree is watched (a file's own watch reports writes to
// it), and after each burst of events the tree is listed again: the watch
// list follows folders and files as they come and go, and a path that was
// not there before counts as created or renamed. Events arrive on the thread
// that owns the watcher; a short single-shot timer folds a burst into one
// rescan.
class TFolderTreeWatcher {
public:
    using TCallback = std::function<void(bool pathsAppeared)>;

    explicit TFolderTreeWatcher(TCallback callback) : m_callback(std::move(callback))
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(kSettleMs);
        QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_timer, [this] { Schedule(); });
        QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_timer, [this] { Schedule(); });
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Rescan(); });
    }

    // Drops whatever was watched and pending, then watches root's tree as it
    // is now.
    void Start(const QString& root)
    {
        Stop();
        m_root = ExcludeTrailingBackslash(root);
        m_active = true;
        m_paths = Scan();
        Arm(m_paths);
    }

    void Stop()
    {
        m_active = false;
        m_timer.stop();
        const QStringList watched = m_watcher.directories() + m_watcher.files();
        if (!watched.isEmpty())
            m_watcher.removePaths(watched);
        m_paths.clear();
    }

    bool Active() const { return m_active; }

private:
    static constexpr int kSettleMs = 40;

    void Schedule()
    {
        if (m_active && !m_timer.isActive())
            m_timer.start();
    }

    // Full paths of the tree below the root (the root itself excluded);
    // links are listed but not followed.
    QSet<QString> Scan() const
    {
        QSet<QString> paths;
        std::error_code ec;
        fs::recursive_directory_iterator it(ToFsPath(m_root), fs::directory_options::skip_permission_denied, ec);
        if (ec)
            return paths;
        for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            paths.insert(FromFsPath(it->path()));
        }
        return paths;
    }

    // Watches the root and every real folder and file of paths, and nothing else.
    void Arm(const QSet<QString>& paths)
    {
        QSet<QString> wanted;
        if (QFileInfo(m_root).isDir())
            wanted.insert(m_root);
        for (const QString& path : paths) {
            if (!QFileInfo(path).isSymLink())
                wanted.insert(path);
        }
        QSet<QString> watched;
        for (const QString& path : m_watcher.directories() + m_watcher.files())
            watched.insert(path);

        const QSet<QString> gone = watched - wanted;
        if (!gone.isEmpty())
            m_watcher.removePaths(gone.values());
        const QSet<QString> added = wanted - watched;
        if (!added.isEmpty())
            m_watcher.addPaths(added.values());
    }

    void Rescan()
    {
        if (!m_active)
            return;
        QSet<QString> paths = Scan();
        bool appeared = false;
        for (const QString& path : paths) {
            if (!m_paths.contains(path)) {
                appeared = true;
                break;
            }
        }
        Arm(paths);
        m_paths = std::move(paths);
        // The callback may stop, restart or even end this watcher: nothing
        // of it is touched afterwards.
        m_callback(appeared);
    }

    TCallback m_callback;
    QFileSystemWatcher m_watcher;
    QTimer m_timer;
    QString m_root;
    QSet<QString> m_paths;
    bool m_active = false;
};

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

void TGenericFiles::SetSelected(int index, bool marked)
{
    if (!InRange(index))
        return;
    bool changed = false;
    if (!marked) {
        m_selection.removeAll(index);
        changed = true;
    } else if (!m_selection.contains(index)) {
        m_selection.append(index);
        changed = true;
    }
    if (changed && m_onSelectionChanged)
        m_onSelectionChanged(this);
    Notify(ItemChanged, index);
}

void TGenericFiles::SelectAll()
{
    m_selection.clear();
    for (int i = 0; i < Count(); ++i)
        m_selection.append(i);
    Notify(SelectionChanged);
}

void TGenericFiles::SelectNone()
{
    m_selection.clear();
    Notify(SelectionChanged);
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
    m_selection.removeAll(index);
    for (int& marked : m_selection) {
        if (marked > index)
            --marked;
    }
    if (m_currentIndex == index)
        m_currentIndex = -1;
    else if (m_currentIndex > index)
        --m_currentIndex;
    delete m_items.takeAt(index);
}

void TGenericFiles::DeleteItems()
{
    qDeleteAll(m_items);
    m_items.clear();
    m_selection.clear();
    m_currentIndex = -1;
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
    for (const int index : std::as_const(m_selection))
        marked.insert(m_items.at(index));
    {
        TEntryItemSorter sorter(m_items, sortKind);
        ShellSort(sorter);
    }
    m_selection.clear();
    for (int i = 0; i < Count(); ++i) {
        if (marked.contains(m_items.at(i)))
            m_selection.append(i);
    }
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
        m_selectionSnapshot = m_selection;
    }
    if (m_ownerEntry)
        StartWatching();
}

void TFolderFiles::Refresh()
{
    if (m_folderPath.isEmpty())
        return;   // never listed: there is nothing to compare with
    QSet<QString> marked;
    for (const int index : std::as_const(m_selection))
        marked.insert(Items(index)->Name());

    bool changed = false;
    QSet<QString> onDisk;
    for (const TEntryItem& found : ReadFolderItems(m_folderPath)) {
        onDisk.insert(found.Name());
        const int index = IndexOfExact(found.Name());
        if (index == -1) {
            changed = true;
            AppendItem(new TEntryItem(found));
            if (m_main.App.AutoSelectAddedFiles)
                marked.insert(found.Name());
            continue;
        }
        // A file written since it was listed counts as a change once: the
        // item takes the new time and size, so that the next refresh does
        // not find the same write again.
        TEntryItem* existing = Items(index);
        if (found.Date().isValid() && (!existing->Date().isValid() || found.Date() > existing->Date())) {
            changed = true;
            existing->SetDate(found.Date());
            existing->SetSize(found.Size());
        }
    }
    for (int i = Count() - 1; i >= 0; --i) {
        if (!onDisk.contains(Items(i)->Name())) {
            RemoveItem(i);
            changed = true;
        }
    }
    m_selection.clear();
    for (int i = 0; i < Count(); ++i) {
        if (marked.contains(Items(i)->Name()))
            m_selection.append(i);
    }

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
    for (int i = 0; i < Count(); ++i) {
        if (stored.IndexOfExact(Items(i)->Name()) == -1)
            SetSelected(i, false);
    }
    for (int i = stored.Count() - 1; i >= 0; --i) {
        if (IndexOfExact(stored.Items(i)->Name()) == -1)
            stored.RemoveItem(i);
    }
}

void TFolderFiles::StartWatching()
{
    if (m_ownerEntry && !m_ownerEntry->WatchFolder())
        return;
    if (m_folderPath.isEmpty())
        return;
    if (!m_watcher)
        m_watcher = std::make_unique<TFolderTreeWatcher>([this](bool appeared) { WatchEvent(appeared); });
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

void TFolderFiles::WatchEvent(bool pathsAppeared)
{
    // New paths are files or folders created or renamed anywhere below the
    // folder; what was deleted or written shows in the refresh itself.
    if (pathsAppeared)
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
        // The item goes whatever the disk said: a file that stayed comes
        // back with the next refresh.
        DeleteEntry(m_folderPath + Items(i)->Name());
        RemoveItem(i);
        deleted = true;
    }
    m_selection.clear();
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
    m_selectionSnapshot = m_selection;
}

bool TFolderFiles::HasChanged() const
{
    if (m_changed || m_selection.size() != m_selectionSnapshot.size())
        return true;
    for (const int index : m_selection) {
        if (!m_selectionSnapshot.contains(index))
            return true;
    }
    return false;
}

qint64 TFolderFiles::SelectedSize() const
{
    // A folder is stored with everything below it, so that is what it weighs:
    // counting it as nothing would let a file refused on its own pass inside one.
    qint64 total = 0;
    for (const int index : m_selection) {
        const TEntryItem* item = Items(index);
        total += item->IsFolder() ? FolderSize(m_folderPath + item->Name()) : qint64(item->Size());
    }
    return total;
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
        AppendItem(new TEntryItem(kind, name, qint32(row.at(sizeField).toLongLong()), QDateTime(),
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
