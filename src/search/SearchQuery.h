#pragma once

#include "db/DataPacket.h"
#include "db/dmConnection.h"

#include <QString>
#include <QVariantList>

class TEngineDialect;
struct TSearchKey;
class TSearchKeyParser;

// What a search returns: parseFailure is 0 when the keys were understood;
// otherwise it holds the parser's result and both packets are left empty.
struct TSearchResult {
    int parseFailure = 0;
    DataPacket entries;
    DataPacket files;
};

// The two statements of one search: the matching entries, and the files of
// those entries.
struct TSearchStatements {
    int parseFailure = 0;
    TSqlStatement entries;
    TSqlStatement files;
    // The keys went through the index: the files are better fetched by the
    // codes of the entries found (FilesOfEntries) than by files' own
    // statement, which would look the keys up again. Both give the same rows.
    bool filesOfFoundEntries = false;
};

// Server-side assembly of a search request (TOstrivaleSearchOptions::ToRequest)
// into statements in the engine's own form. Every search key travels as a
// bound value, so no key can change a statement; a "%" or "_" in a key keeps
// its wildcard meaning. Category codes are checked to be integers and written
// as numbers.
//
// Two paths find the same rows: Scan compares every row with "%key%";
// Indexed asks the database's substring index (TSchemaUpgrade) for the keys
// it can answer exactly (at least three characters, no wildcard) and scans
// for the others.
enum class TSearchPath { Scan, Indexed };

class TSearchQuery {
public:
    explicit TSearchQuery(const TEngineDialect& dialect, TSearchPath path = TSearchPath::Scan);

    // The standard select list of the entries statement, beginning with
    // "select". Listings that need one more column (a bookmark set's order)
    // take it as their custom select and append ", <column>". The columns
    // carry the same names on every engine.
    static QString StandardSelect(const TEngineDialect& dialect);

    // The files statement for the entries of a packet that has a "code" column.
    static TSqlStatement FilesOfEntries(const DataPacket& entries);

    // Throws EDatabaseError when the request is malformed (too few values,
    // a category code that is no integer).
    TSearchStatements Build(const QVariantList& request) const;

private:
    static QString FilesSelect();
    // The key condition as sets of codes, the index answering the keys it
    // can; empty when it can answer none. Bound values go to params.
    QString IndexedKeyCondition(const QVariantList& request, QVariantList& params) const;
    // A select of the codes of the entries (through the entry columns) or of
    // the file rows one key finds.
    QString EntryKeyRows(const TSearchKey& key, const QStringList& columns, QVariantList& params) const;
    QString FileKeyRows(const TSearchKey& key, QVariantList& params) const;
    // The same when every key is a text the index answers: one lookup for
    // all of them. Empty when a searched column is not in the index.
    QString AllKeysIndexedCondition(const QVariantList& request, const QStringList& texts, QVariantList& params) const;
    // The parser of the keys over the entry columns, its patterns bound.
    TSearchKeyParser EntryKeyParser(const QVariantList& request, QVariantList& params) const;
    // The index's own names of the entry columns (not categories.name); a
    // null text in the list for a column the index does not hold.
    QStringList IndexedEntryColumns(const QStringList& columns) const;

    const TEngineDialect& m_dialect;
    TSearchPath m_path;
};

// Builds and runs the statements of a search in one server-side module, on
// the indexed path when the database has its index.
// Nothing runs when the keys cannot be parsed. Errors of the database
// propagate as EDatabaseError.
TSearchResult SearchEntries(TdmConnection& connection, const QVariantList& request);
