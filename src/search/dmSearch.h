#pragma once

#include "db/ClientRecordSet.h"

#include <QString>
#include <QVariant>

#include <functional>

class IDesktop;
class TdmConnection;
class TOstrivaleSearchOptions;

// The search data module: runs a search through the gateway and holds its
// result for the entry browser and the entry picker. cdsSearch holds the
// entries found; cdsEntryFiles their files, shown as the detail of the
// current entry (only that entry's files, ordered by type and name).
class TdmSearch {
public:
    static const QString ParseErrorText;
    static const QString EntryFilesIndex;
    static const QString BookmarkSetIndex;

    TdmSearch(TdmConnection& connection, IDesktop& desktop);
    TdmSearch(const TdmSearch&) = delete;
    TdmSearch& operator=(const TdmSearch&) = delete;

    ClientRecordSet cdsSearch;
    ClientRecordSet cdsEntryFiles;

    // The field the entries are ordered by ("ReverseDateModified", "code",
    // "ReverseCreationOrder" or "title"), installed by the main data module.
    // Unset, the entries keep the order the server sent.
    std::function<QString()> SortField;
    // Set while the main window lists a bookmark set: the entries are then
    // ordered by their position in the set.
    bool BrowsingBookmarkSet = false;

    // Runs the search and loads both record sets. Keys that cannot be parsed
    // are reported to the user as a warning and leave the previous result in
    // place. Errors of the database propagate; both record sets are then
    // closed. True when an entry was found.
    bool RunSearch(const TOstrivaleSearchOptions& options);

private:
    // Narrows cdsEntryFiles to the current entry of cdsSearch.
    void LinkEntryFiles();

    TdmConnection& m_connection;
    IDesktop& m_desktop;
    // The entry code cdsEntryFiles is narrowed to, so that moving within the
    // same entry does not rebuild the detail view.
    QVariant m_linkedEntry;
    bool m_linked = false;
};
