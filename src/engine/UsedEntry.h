#pragma once

#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/OpenEntries.h"

#include <memory>
#include <utility>

// "The entry" of an operation: the object open in the registry for that code,
// or a fresh extraction that is released when the operation is done with it.
class TEntryManager::TUsedEntry {
public:
    TUsedEntry(TOpenEntries& registry, TEntryData* open, std::unique_ptr<TEntryData> fresh)
        : m_registry(registry), m_entry(open ? open : fresh.get()), m_fresh(std::move(fresh))
    {
    }
    ~TUsedEntry()
    {
        if (m_fresh)
            m_registry.CloseEntry(m_fresh.release());
    }
    TUsedEntry(const TUsedEntry&) = delete;
    TUsedEntry& operator=(const TUsedEntry&) = delete;

    TEntryData* operator->() const { return m_entry; }
    TEntryData& operator*() const { return *m_entry; }
    // For the editor: the registry takes a fresh entry over from here.
    TEntryData* HandOver()
    {
        (void)m_fresh.release();
        return m_entry;
    }

private:
    TOpenEntries& m_registry;
    TEntryData* m_entry;
    std::unique_ptr<TEntryData> m_fresh;
};
