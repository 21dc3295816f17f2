#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TdmMain;
class TEntryData;
class TfrmEntry;

// One entry open for editing: the entry object, owned, and the editor window
// showing it (not owned; the windows set it).
struct TOpenEntry {
    explicit TOpenEntry(std::unique_ptr<TEntryData> entry);
    ~TOpenEntry();
    TOpenEntry(const TOpenEntry&) = delete;
    TOpenEntry& operator=(const TOpenEntry&) = delete;

    std::unique_ptr<TEntryData> Entry;
    TfrmEntry* Editor = nullptr;
};

// The entries open for editing. Other operations ask it so that they refuse
// to delete, merge or re-create an entry that is being edited, and reuse the
// open object instead of reading the entry again.
//
// With "Edit multiple entries" on, every opened entry is listed here, in
// opening order, until its editor closes. With it off, one editor at a time
// is shown modally and its entry is held aside, not listed: the checks of the
// other operations do not apply to it (the modal editor blocks them anyway).
//
// This class is the data side. The editor windows install the hooks below
// when they exist; until then OpenForEditing keeps the entry and does
// nothing else.
class TOpenEntries {
public:
    // Shows the entry in an editor, new or edit mode. A modal editor returns
    // once it has closed (and called CloseEntry).
    using TShowEditor = std::function<void(TEntryData* entry, bool isNew)>;
    // Told just before an entry held here is freed, so that the windows
    // detach its editor and remove its page.
    using TEntryClosing = std::function<void(TEntryData* entry)>;

    explicit TOpenEntries(TdmMain& main);
    ~TOpenEntries();
    TOpenEntries(const TOpenEntries&) = delete;
    TOpenEntries& operator=(const TOpenEntries&) = delete;

    TShowEditor ShowEditor;
    TEntryClosing EntryClosing;
    // Brings the page of an open entry to the front of the open-entries
    // window, when that window exists.
    std::function<void(int code)> ShowEntryPage;

    // Takes ownership of the entry, whose stored files now stay in its folder
    // after a save while an editor shows them. When another object of the same
    // code is already open, that one is shown and the given one is freed
    // (their folder is the same one and is left as it is).
    void OpenForEditing(TEntryData* entry, bool isNew);
    // Called by an editor when it closes, and by the engine to release an
    // entry it no longer needs. An entry held here (listed, or the modal
    // editor's) is taken out, its folder cleaned under the clean-up policy
    // that empties it when the entry closes, and freed. Any other object is
    // only freed: its folder is what the operation that loaded it left on
    // disk for the user (a file opened, a folder window, extracted files).
    void CloseEntry(TEntryData* entry);

    // The first listed entry with that code, in opening order, or nullptr.
    TEntryData* FindOpenEntry(int code) const;
    // The category objects were recreated or some deleted: every open entry
    // finds its category again by code.
    void ResolveCategories();
    TEntryData* Find(int code) const { return FindOpenEntry(code); }
    int IndexOfCode(int code) const;
    bool AnyOpen(const QList<int>& codes) const;
    // True while a listed entry has changes not yet stored; the main window
    // refuses to exit then.
    bool AnyModified() const;
    // True when the object itself is held here, listed or modal.
    bool Holds(const TEntryData* entry) const;
    // The entry of that code held here, listed or the modal editor's, or
    // nullptr: what an operation must act on instead of reading it afresh.
    TEntryData* FindHeld(int code) const;
    // The entry held here, listed or modal, that works in that folder, or
    // nullptr: what lies there may be the user's unsaved work.
    TEntryData* FindUsingFolder(const QString& folder) const;
    bool UsesFolder(const QString& folder) const { return FindUsingFolder(folder) != nullptr; }
    // The entry of the modal editor, or nullptr.
    TEntryData* ModalEntry() const { return m_modalEntry.get(); }

    int Count() const { return int(m_items.size()); }
    TOpenEntry& Items(int index) const { return *m_items.at(size_t(index)); }

private:
    // Takes the entry out of the registry's keeping: cleaned and freed.
    void Release(std::unique_ptr<TEntryData> entry);

    TdmMain& m_main;
    std::vector<std::unique_ptr<TOpenEntry>> m_items;
    std::unique_ptr<TEntryData> m_modalEntry;
};
