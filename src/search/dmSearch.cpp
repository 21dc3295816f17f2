#include "search/dmSearch.h"

#include "app/IDesktop.h"
#include "db/dmConnection.h"
#include "search/SearchOptions.h"
#include "search/SearchQuery.h"

const QString TdmSearch::ParseErrorText =
    QStringLiteral("An error occurred while parsing the search keys. Please check the keywords and retry.");
const QString TdmSearch::EntryFilesIndex = QStringLiteral("entry;type;name");
const QString TdmSearch::BookmarkSetIndex = QStringLiteral("ordering");

TdmSearch::TdmSearch(TdmConnection& connection, IDesktop& desktop) : m_connection(connection), m_desktop(desktop)
{
    cdsSearch.SetOnChange([this] { LinkEntryFiles(); });
}

bool TdmSearch::RunSearch(const TOstrivaleSearchOptions& options)
{
    const QVariantList request = options.ToRequest();
    // A search without keys in a large base brings hundreds of megabytes:
    // the previous result goes before the next one is fetched, so the two
    // are never held at once. Keys that will be refused keep it in place.
    if (TSearchQuery(m_connection.Dialect()).Build(request).parseFailure == 0) {
        cdsEntryFiles.Close();
        cdsSearch.Close();
        m_linked = false;
    }
    TSearchResult result = m_connection.SearchEntries(request);
    if (result.parseFailure != 0) {
        m_desktop.ShowMessage(ParseErrorText, IDesktop::TMsgKind::Warning);
        return false;
    }

    // The files first. They are narrowed to no entry before they are
    // ordered, so that only the few files of one entry are ever sorted, also
    // when a search without keys brings every file of the database. Each
    // packet is released as soon as its record set holds the rows.
    cdsEntryFiles.LoadFromPacket(std::move(result.files));
    result.files = DataPacket();
    m_linked = false;
    LinkEntryFiles();
    cdsEntryFiles.SetIndexFieldNames(EntryFilesIndex);

    // Then the entries; every move of their cursor narrows the files to the
    // current entry.
    cdsSearch.LoadFromPacket(std::move(result.entries));
    result.entries = DataPacket();
    const QString index = BrowsingBookmarkSet ? BookmarkSetIndex : (SortField ? SortField() : QString());
    cdsSearch.SetIndexFieldNames(index);
    cdsSearch.First();
    return !cdsSearch.IsEmpty();
}

void TdmSearch::LinkEntryFiles()
{
    if (!cdsEntryFiles.Active() || !cdsEntryFiles.HasField(QStringLiteral("entry")))
        return;
    const bool onEntry = cdsSearch.Active() && !cdsSearch.IsEmpty() && cdsSearch.HasField(QStringLiteral("code"));
    // Without a current entry no file is shown: a null code matches no row.
    const QVariant code = onEntry ? cdsSearch.Value(QStringLiteral("code")) : QVariant();
    if (m_linked && code == m_linkedEntry)
        return;
    cdsEntryFiles.SetRange(QStringLiteral("entry"), code);
    m_linkedEntry = code;
    m_linked = true;
}
