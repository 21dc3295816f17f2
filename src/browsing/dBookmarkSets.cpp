#include "browsing/dBookmarkSets.h"

#include "app/IDesktop.h"
#include "db/dmConnection.h"
#include "engine/FileHelpers.h"

#include <exception>

const QString TdmBookmarkSets::SetNotFoundText = QStringLiteral("Bookmark set could not be located. Cannot proceed.");

namespace {

const QString kCode = QStringLiteral("code");
const QString kEntry = QStringLiteral("entry");
const QString kOrdering = QStringLiteral("ordering");

} // namespace

void TdmBookmarkSets::LoadBookmarkSets()
{
    const DataPackets packets = m_connection.GetBookmarkSets();
    cdsBookMarksets.LoadFromPacket(packets.value(0));
    cdsBookMarksets.SetIndexFieldNames(QStringLiteral("name"));
    cdsBookMarksets.First();
}

void TdmBookmarkSets::LoadBookmarkSet(int setCode)
{
    const DataPackets packets = m_connection.GetBookmarkSet(setCode);
    cdsBookMarksets.LoadFromPacket(packets.value(0));
    cdsBookmarks.LoadFromPacket(packets.value(1));
    cdsBookmarks.SetIndexFieldNames(kOrdering);
    cdsBookmarks.First();
}

void TdmBookmarkSets::ApplySetAndBookmarkChanges()
{
    DeltaArray deltas;
    deltas.append(cdsBookMarksets.HasChanges() ? std::optional<Delta>(cdsBookMarksets.GetDelta()) : std::nullopt);
    deltas.append(cdsBookmarks.HasChanges() ? std::optional<Delta>(cdsBookmarks.GetDelta()) : std::nullopt);
    m_connection.ApplyBookmarkSetUpdates(deltas);
    cdsBookMarksets.MergeChangeLog();
    cdsBookmarks.MergeChangeLog();
}

void TdmBookmarkSets::ApplySetChanges()
{
    if (cdsBookMarksets.HasUnpostedChange())
        cdsBookMarksets.Post();
    m_connection.ApplyBookmarkSetListUpdates(
        {cdsBookMarksets.HasChanges() ? std::optional<Delta>(cdsBookMarksets.GetDelta()) : std::nullopt});
    cdsBookMarksets.MergeChangeLog();
}

int TdmBookmarkSets::CreateBookmarkSet(const QString& name, const QString& description)
{
    try {
        LoadBookmarkSets();
        const int code = m_connection.GetNextRecID(QStringLiteral("bookmarksets"));
        cdsBookMarksets.Append();
        cdsBookMarksets.SetValue(kCode, code);
        cdsBookMarksets.SetValue(QStringLiteral("GUID"), NewGuidText());
        cdsBookMarksets.SetValue(QStringLiteral("name"), name);
        cdsBookMarksets.SetValue(QStringLiteral("description"), description);
        cdsBookMarksets.Post();
        ApplySetChanges();
        return code;
    } catch (const std::exception&) {
        // The caller learns from -1 that no set was made and adds nothing.
        cdsBookMarksets.CancelUpdates();
        return -1;
    }
}

void TdmBookmarkSets::RenumberBookmarks()
{
    // Walking the ordering index while changing the ordering would move the
    // rows under the cursor: the codes are taken first, and the new numbers
    // go in at once.
    QList<std::pair<QVariant, QVariant>> numbers;
    int place = 0;
    for (cdsBookmarks.First(); !cdsBookmarks.Eof(); cdsBookmarks.Next())
        numbers.append({cdsBookmarks.Value(kCode), ++place});
    cdsBookmarks.SetValues(kCode, kOrdering, numbers);
}

namespace {

// Loads the set (the default one for -1) or says that it is gone.
bool LoadExistingSet(TdmBookmarkSets& module, IDesktop& desktop, int setCode)
{
    module.LoadBookmarkSet(setCode);
    if (module.cdsBookMarksets.IsEmpty()) {
        desktop.ShowMessage(TdmBookmarkSets::SetNotFoundText, IDesktop::TMsgKind::Warning);
        return false;
    }
    return true;
}

bool HasBookmark(ClientRecordSet& bookmarks, int entryCode)
{
    return bookmarks.Locate(kEntry, entryCode);
}

} // namespace

bool AddBookmarks(TdmConnection& connection, IDesktop& desktop, const QList<int>& entryCodes, int setCode)
{
    if (setCode == -1)
        setCode = TdmBookmarkSets::DefaultSet;
    TdmBookmarkSets module(connection);
    if (!LoadExistingSet(module, desktop, setCode))
        return false;
    ClientRecordSet& bookmarks = module.cdsBookmarks;
    // Bookmarks of deleted entries go with their entries and leave gaps in
    // the numbering; closing them first keeps a new bookmark's number from
    // meeting one already there.
    module.RenumberBookmarks();
    int count = bookmarks.RecordCount();
    for (int entry : entryCodes) {
        if (HasBookmark(bookmarks, entry))
            continue;
        bookmarks.Append();
        bookmarks.SetValue(QStringLiteral("bookmarkset"), setCode);
        bookmarks.SetValue(kEntry, entry);
        bookmarks.SetValue(kOrdering, ++count);
        bookmarks.Post();
    }
    module.ApplySetAndBookmarkChanges();
    return true;
}

bool RemoveBookmarks(TdmConnection& connection, IDesktop& desktop, const QList<int>& entryCodes, int setCode)
{
    if (setCode == -1)
        setCode = TdmBookmarkSets::DefaultSet;
    TdmBookmarkSets module(connection);
    if (!LoadExistingSet(module, desktop, setCode))
        return false;
    QVariantList entries;
    for (int entry : entryCodes)
        entries.append(entry);
    module.cdsBookmarks.DeleteRows(kEntry, entries);
    module.RenumberBookmarks();
    module.ApplySetAndBookmarkChanges();
    return true;
}

bool MoveBookmark(TdmConnection& connection, IDesktop& desktop, int setCode, int from, int to)
{
    TdmBookmarkSets module(connection);
    if (!LoadExistingSet(module, desktop, setCode))
        return false;
    ClientRecordSet& bookmarks = module.cdsBookmarks;
    const int count = bookmarks.RecordCount();
    // A position the set does not have (it changed since it was listed)
    // moves nothing, and the caller must not take it for a move.
    if (from < 0 || to < 0 || from >= count || to >= count)
        return false;
    if (from == to)
        return true;
    const int step = to < from ? -1 : 1;
    auto orderingAt = [&](int position) {
        bookmarks.SetRecNo(position + 1);
        return bookmarks.AsInteger(kOrdering);
    };
    const int target = orderingAt(to);
    QList<TRecordBookmark> moves;
    for (int i = from;; i += step) {
        const int ordering = orderingAt(i);
        moves.append({bookmarks.AsInteger(kCode), i == from ? target : ordering - step});
        if (i == to)
            break;
    }
    QList<std::pair<QVariant, QVariant>> orderings;
    for (const TRecordBookmark& move : moves)
        orderings.append({move.code, move.ordering});
    bookmarks.SetValues(kCode, kOrdering, orderings);
    module.ApplySetAndBookmarkChanges();
    return true;
}
