#pragma once

#include "db/ClientRecordSet.h"

#include <QList>
#include <QString>

class IDesktop;
class TdmConnection;

// A bookmark's new place while a reorder is worked out.
struct TRecordBookmark {
    int code = 0;
    int ordering = 0;
};

// The bookmark sets and the bookmarks of one set, as the gateway hands them
// out. Within a set the stored orderings run 1, 2, 3 ... without gaps after
// every operation here, and an entry is at most once in a set. Sets with a
// code below 100 are the program's own; set 1 is the default set.
class TdmBookmarkSets {
public:
    static constexpr int DefaultSet = 1;
    static constexpr int FirstUserSet = 100;
    static bool IsReserved(int setCode) { return setCode < FirstUserSet; }
    static const QString SetNotFoundText;

    explicit TdmBookmarkSets(TdmConnection& connection) : m_connection(connection) {}

    // All sets, by name.
    void LoadBookmarkSets();
    // The one set (none when there is no such set) and its bookmarks in
    // their order.
    void LoadBookmarkSet(int setCode);
    // Both record sets' changes in one transaction; the logs then start afresh.
    void ApplySetAndBookmarkChanges();
    // The sets' changes only.
    void ApplySetChanges();
    // A new set stored at once: its code, or -1 when nothing was made.
    int CreateBookmarkSet(const QString& name, const QString& description);

    // The bookmarks' orderings become 1, 2, 3 ... in their present order.
    void RenumberBookmarks();

    ClientRecordSet cdsBookMarksets;
    ClientRecordSet cdsBookmarks;

private:
    TdmConnection& m_connection;
};

// Operations of the entry browser. A set code of -1 means the default set
// (not for MoveBookmark). A missing set is reported and gives false; a
// refusal of the database is raised with its message, and then nothing of
// the operation is stored.
bool AddBookmarks(TdmConnection& connection, IDesktop& desktop, const QList<int>& entryCodes, int setCode);
bool RemoveBookmarks(TdmConnection& connection, IDesktop& desktop, const QList<int>& entryCodes, int setCode);
// Positions are 0-based places in the set's order, as the entry browser
// lists it: the bookmark at from takes the place of the one at to, those
// between move one place towards from. False, and nothing stored, for a
// position outside the set.
bool MoveBookmark(TdmConnection& connection, IDesktop& desktop, int setCode, int from, int to);
