#pragma once

#include "engine/EntryItem.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class ClientRecordSet;
class TdmMain;
class TEntryData;
class TFolderTreeWatcher;
class TGenericFiles;

// Told of every change of a file list. Observers are not owned by the list:
// whoever registers one keeps it alive and removes it before destroying it.
// A list that goes away first calls FilesDestroyed on the observers still
// registered, so that they can forget it.
class IFilesObserver {
public:
    virtual ~IFilesObserver() = default;
    // kind is one of TGenericFiles::TNotifyKind; index names the item for
    // ItemChanged and CurrentChanged, and is -1 otherwise.
    virtual void FilesChanged(TGenericFiles* files, int kind, int index) = 0;
    virtual void FilesDestroyed(TGenericFiles* files) { (void)files; }
};

// An observable list of files and folders with a set of marked items (the
// selection) and a current item. The list owns its items.
class TGenericFiles {
public:
    enum TNotifyKind {
        ItemChanged = 0,       // the mark of one item was set or cleared
        SelectionChanged = 1,  // several marks changed
        ListChanged = 2,       // items were added, removed or replaced
        Reordered = 3,         // items were sorted
        CurrentChanged = 4     // the current item moved
    };
    using TSelectionCallback = std::function<void(TGenericFiles*)>;
    // Icon index of an item by name and kind; the windows install a lookup
    // into their image list, without one every item has index 0.
    using TIconLookup = std::function<int(const QString& name, quint8 kind)>;

    TGenericFiles();
    virtual ~TGenericFiles();
    TGenericFiles(const TGenericFiles&) = delete;
    TGenericFiles& operator=(const TGenericFiles&) = delete;

    int Count() const { return int(m_items.size()); }
    // The item at index, or nullptr outside the list.
    TEntryItem* Items(int index) const;
    int CurrentIndex() const { return m_currentIndex; }
    TEntryItem* CurrentItem() const { return Items(m_currentIndex); }
    const QString& MainFileName() const { return m_mainFileName; }

    // First item whose name equals name without regard to case; -1 when none.
    int IndexOf(const QString& name) const;
    // First item whose name equals name exactly; the file system here tells
    // a.txt and A.txt apart, so matching against the disk uses this form.
    int IndexOfExact(const QString& name) const;
    bool Contains(const QString& name) const { return IndexOf(name) != -1; }

    // Selection. The marks are kept beside the items, so that asking for
    // one costs the same in a list of five items as in one of 100,000.
    bool IsSelected(int index) const { return InRange(index) && m_marked[size_t(index)]; }
    int SelectedCount() const { return m_markedCount; }
    // The marked indices in ascending order.
    QList<int> Selection() const;
    virtual void SetSelected(int index, bool marked);
    virtual void SelectAll();
    virtual void SelectNone();
    virtual void InvertSelection();
    void SelectCurrent() { SetSelected(m_currentIndex, true); }
    void UnselectCurrent() { SetSelected(m_currentIndex, false); }
    void ToggleCurrent() { SetSelected(m_currentIndex, !IsSelected(m_currentIndex)); }
    void SetSelectedByName(const QString& name, bool marked);
    // Called after one item's mark was set or cleared through SetSelected.
    void SetOnSelectionChanged(TSelectionCallback callback) { m_onSelectionChanged = std::move(callback); }

    virtual void SetCurrent(int index);
    virtual void OpenItem(int index);

    // Removes the item and its mark; marks of the items after it move down
    // with them.
    void RemoveItem(int index);
    // Deletes every item for which drop is true in one pass; the marks and the
    // current item follow the items that stay. No notification.
    void RemoveItemsWhere(const std::function<bool(const TEntryItem&, bool marked)>& drop);
    // Removes the items and the selection and sends ListChanged. Observers
    // stay registered: they are not the list's to end (ClearObservers drops
    // them).
    virtual void Clear();

    // Observers, called in the order they registered. A new observer is sent
    // ListChanged at once, so that it builds itself.
    void AddObserver(IFilesObserver* observer);
    void RemoveObserver(IFilesObserver* observer);
    void ClearObservers();
    // While updating, Notify does nothing; the last EndUpdate sends ListChanged.
    void BeginUpdate() { ++m_updateLock; }
    void EndUpdate();
    bool IsUpdating() const { return m_updateLock > 0; }
    // Tells every observer; the list counts as updating meanwhile, so that
    // notifications caused by an observer's own handling are dropped.
    void Notify(int kind, int index = -1);

    // Puts the items in descending order of the sort kind's key (see
    // TEntryItemSorter); the same items stay marked.
    void Sort(int sortKind);
    // True when the list holds one file to open directly, named by
    // MainFileName: a single item, or a saved web page with its "_files"
    // folder.
    bool DetermineMainFile();

    static void SetIconLookup(TIconLookup lookup);
    static int LookupIconIndex(const QString& name, quint8 kind);

protected:
    // Takes ownership of the item; it comes unmarked.
    void AppendItem(TEntryItem* item)
    {
        m_items.append(item);
        m_marked.push_back(0);
    }
    // Deletes the items and empties the selection, without notifying.
    void DeleteItems();
    // Marks exactly the items for which keep is true, in one pass; no
    // notification. True when any mark changed.
    bool SetMarksWhere(const std::function<bool(const TEntryItem&, bool marked)>& keep);

    // The reference state of the marks: by index, as they were when it was
    // taken. Whether the marks now differ from it is known at any moment
    // without comparing the lists again.
    void TakeSelectionSnapshot();
    bool SelectionDiffersFromSnapshot() const { return m_snapshotDifferences != 0; }
    QList<int> SnapshotIndices() const;
    void SetCurrentIndex(int index) { m_currentIndex = index; }
    // Lowers the update lock without the ListChanged of EndUpdate.
    void AbandonUpdate()
    {
        if (m_updateLock > 0)
            --m_updateLock;
    }
    bool InRange(int index) const { return index >= 0 && index < Count(); }

private:
    // Sets one mark, keeping the count and the comparison with the snapshot.
    void Mark(int index, bool marked);
    bool SnapshotMarked(size_t index) const { return index < m_snapshot.size() && m_snapshot[index]; }
    void CountSnapshotDifferences();

    QList<TEntryItem*> m_items;
    std::vector<char> m_marked;          // one per item
    int m_markedCount = 0;
    std::vector<char> m_snapshot;        // marks by index at the last snapshot
    qsizetype m_snapshotDifferences = 0; // indices whose mark differs from it
    QList<IFilesObserver*> m_observers;
    int m_currentIndex = -1;
    int m_updateLock = 0;
    QString m_mainFileName;
    TSelectionCallback m_onSelectionChanged;
};

// The files and folders of one folder on disk. When it belongs to an entry,
// its selection is the set of items stored, or to be stored, in the entry,
// and it tracks whether that set or the folder changed since the reference
// state (the last store or load).
class TFolderFiles : public TGenericFiles {
public:
    TFolderFiles(TdmMain& main, TEntryData* ownerEntry);
    ~TFolderFiles() override;   // stops the watcher first

    const QString& FolderPath() const { return m_folderPath; }
    TEntryData* OwnerEntry() const { return m_ownerEntry; }

    // Lists every entry of the folder (hidden ones included), marks them all,
    // then, for an entry, keeps marked only the items the entry stores and
    // starts watching the folder.
    void ListFolder(const QString& path);
    // Brings the list in line with the disk without losing marks.
    void Refresh();
    // For an entry: unmarks the items the entry does not store, and drops from
    // the entry's stored list the items that are no longer on disk.
    void SyncWithEntryFiles();

    // Watches the folder and all its subfolders; every change ends in a
    // Refresh on this thread. Nothing happens for an owner entry that does not
    // watch its folder.
    void StartWatching();
    void StopWatching();
    void ResumeWatching() { StartWatching(); }
    bool IsWatching() const;

    // Deletes the marked items from the disk and from the list.
    void DeleteSelectedFiles();
    // Asks for a new name of the current item and renames it on disk. A name
    // that is already taken in the folder is refused with a warning; both
    // files stay as they are.
    void RenameCurrent();

    // Change tracking against a reference state.
    void MarkChanged() { m_changed = true; }
    bool Changed() const { return m_changed; }
    void SnapshotSelection();
    QList<int> SelectionSnapshot() const { return SnapshotIndices(); }
    bool HasChanged() const;

    // Sum of the sizes of the marked items. Summed in 64 bits so that many
    // large files cannot wrap around the entry's size limits.
    qint64 SelectedSize() const;
    // How many files the marked items store: a marked folder counts every
    // file below it, not one.
    qint64 SelectedFileCount() const;

    void SetCurrent(int index) override;
    void OpenItem(int index) override;
    void SelectAll() override;
    void SelectNone() override;
    void InvertSelection() override;

private:
    void NotifyOwner();
    void WatchEvent(bool pathsAppeared, bool changedBelow);

    TdmMain& m_main;
    TEntryData* m_ownerEntry;
    QString m_folderPath;
    bool m_changed = false;
    std::unique_ptr<TFolderTreeWatcher> m_watcher;
};

// The files stored in an entry, as listed by its entryfiles rows.
class TEntryFiles : public TGenericFiles {
public:
    // Extracts and opens one stored item (entry code, item name, item kind);
    // installed by the entry manager.
    using TOpenEntryFile = std::function<void(int code, const QString& name, int kind)>;
    static inline TOpenEntryFile OpenEntryFile;

    explicit TEntryFiles(ClientRecordSet* recordSet);

    ClientRecordSet* RecordSet() const { return m_recordSet; }
    int EntryCode() const { return m_entryCode; }

    // One item per row of the record set, in row order. Sends no
    // notification: the caller rebuilds what shows the list.
    void LoadFromRecordSet(int entryCode);

    // Also moves the record set to the item's row.
    void SetCurrent(int index) override;
    void OpenItem(int index) override;

private:
    ClientRecordSet* m_recordSet;
    int m_entryCode = 0;
};
