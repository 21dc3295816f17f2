#include "engine/OpenEntries.h"

#include "engine/EntryData.h"
#include "settings/dmMain.h"

#include <QDir>

#include <algorithm>

TOpenEntry::TOpenEntry(std::unique_ptr<TEntryData> entry) : Entry(std::move(entry)) {}

TOpenEntry::~TOpenEntry() = default;

TOpenEntries::TOpenEntries(TdmMain& main) : m_main(main) {}

TOpenEntries::~TOpenEntries()
{
    // The program is ending: the editors are gone and the clean-up policy of
    // the main data module takes care of the folders.
    m_items.clear();
    m_modalEntry.reset();
}

void TOpenEntries::OpenForEditing(TEntryData* entry, bool isNew)
{
    if (!entry)
        return;
    std::unique_ptr<TEntryData> owned(Holds(entry) ? nullptr : entry);
    entry->SetDeleteStoredFilesAfterSave(false);

    if (m_main.App.EditMultipleEntries) {
        if (owned) {
            const int index = IndexOfCode(entry->Code());
            if (index == -1) {
                m_items.push_back(std::make_unique<TOpenEntry>(std::move(owned)));
            } else {
                // Already open: show that one. The object given is a second
                // copy over the same folder, which must not be cleaned.
                owned.reset();
                entry = m_items[size_t(index)]->Entry.get();
            }
        }
    } else if (owned) {
        // One modal editor at a time: the one still shown is closed first.
        if (m_modalEntry)
            CloseEntry(m_modalEntry.get());
        m_modalEntry = std::move(owned);
    } else if (entry == m_modalEntry.get()) {
        // Its modal editor is showing it already.
        return;
    }

    if (ShowEditor)
        ShowEditor(entry, isNew);
}

void TOpenEntries::CloseEntry(TEntryData* entry)
{
    if (!entry)
        return;
    if (entry == m_modalEntry.get()) {
        Release(std::move(m_modalEntry));
        return;
    }
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [entry](const std::unique_ptr<TOpenEntry>& item) { return item->Entry.get() == entry; });
    if (it == m_items.end()) {
        delete entry;
        return;
    }
    std::unique_ptr<TOpenEntry> openEntry = std::move(*it);
    m_items.erase(it);
    Release(std::move(openEntry->Entry));
}

void TOpenEntries::Release(std::unique_ptr<TEntryData> entry)
{
    if (EntryClosing)
        EntryClosing(entry.get());
    entry->CleanFolder();
}

TEntryData* TOpenEntries::FindOpenEntry(int code) const
{
    const int index = IndexOfCode(code);
    return index == -1 ? nullptr : m_items[size_t(index)]->Entry.get();
}

void TOpenEntries::ResolveCategories()
{
    for (const auto& item : m_items)
        item->Entry->ResolveCategory();
}

int TOpenEntries::IndexOfCode(int code) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->Entry->Code() == code)
            return int(i);
    return -1;
}

bool TOpenEntries::AnyOpen(const QList<int>& codes) const
{
    return std::any_of(m_items.begin(), m_items.end(), [&codes](const std::unique_ptr<TOpenEntry>& item) {
        return codes.contains(item->Entry->Code());
    });
}

bool TOpenEntries::AnyModified() const
{
    return std::any_of(m_items.begin(), m_items.end(),
                       [](const std::unique_ptr<TOpenEntry>& item) { return item->Entry->IsModified(); });
}

bool TOpenEntries::Holds(const TEntryData* entry) const
{
    if (entry && entry == m_modalEntry.get())
        return true;
    return std::any_of(m_items.begin(), m_items.end(),
                       [entry](const std::unique_ptr<TOpenEntry>& item) { return item->Entry.get() == entry; });
}

TEntryData* TOpenEntries::FindHeld(int code) const
{
    if (m_modalEntry && m_modalEntry->Code() == code)
        return m_modalEntry.get();
    return FindOpenEntry(code);
}

TEntryData* TOpenEntries::FindUsingFolder(const QString& folder) const
{
    const QString wanted = QDir::cleanPath(folder);
    const auto uses = [&wanted](const TEntryData* entry) {
        return entry && QDir::cleanPath(entry->GetFolder()) == wanted;
    };
    if (uses(m_modalEntry.get()))
        return m_modalEntry.get();
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&uses](const std::unique_ptr<TOpenEntry>& item) { return uses(item->Entry.get()); });
    return it == m_items.end() ? nullptr : (*it)->Entry.get();
}
