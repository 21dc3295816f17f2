#pragma once

#include "db/DataPacket.h"
#include "db/Schema.h"
#include "db/dmConnection.h"

#include <QString>

// The server-side module of one gateway call: it assembles the statements of
// that call, runs them on the gateway's connection and turns results into
// packets, or applies deltas row by row. It holds no state between calls.
class TdmServerData {
public:
    explicit TdmServerData(TdmConnection& connection);

    // Reads
    DataPacket RunQuery(const TSqlStatement& statement);
    // The entry's archive is read in pieces into a file without a name in
    // blobFolder; see TdmConnection::GetEntry.
    DataPackets GetEntry(int code, const QString& blobFolder = QString());
    int CountEntries();
    DataPackets GetCategories();
    bool CategoryHasEntries(int category);
    DataPackets GetBookmarkSets();
    DataPackets GetBookmarkSet(int code);
    DataPackets GetBooks();
    DataPackets GetSettings(const QString& user, const QString& computer);
    DataPackets GetCharsets();
    DataPackets GetTemplate(const QString& id);

    // Writes
    // Applies deltas to their tables in one transaction; Null elements are skipped.
    void ApplyInTransaction(const QList<QPair<QString, std::optional<Delta>>>& deltas);
    // Applies one delta row by row in its order, outside any transaction of its own.
    void ApplyDelta(const QString& tableName, const Delta& delta);
    bool DeleteEntries(const QString& codes);
    void MoveEntriesToCategory(const QString& codes, int category);
    void AddMRUListItem(int userCode, int listCode, const QString& text);

    // Identifiers
    int ReserveNextRecIDs(const QString& tableName, int count);

    // Runs a statement that changes data and returns the number of rows affected.
    int Execute(const TSqlStatement& statement);

private:
    // Binary values of any size, streamed between a file (or bytes) and
    // the database in pieces of a few megabytes, never escaped into a
    // statement's text. Both run inside the transaction of their call.
    //
    // The rows of table matching where, with every binary column read into
    // a file in blobFolder.
    DataPacket ReadRowsWithBlobs(const TTableDef& table, const QString& where, const QVariantList& params,
                                 const QString& blobFolder);
    QVariant ReadBlob(const TTableDef& table, const TColumnDef& column, const QVariant& key, qint64 size,
                      const QString& blobFolder);
    // Puts value into column of the one row that where (with whereParams)
    // finds, the row whose key is key; the same failures as a row of a delta.
    void WriteBlob(const TTableDef& table, const TColumnDef& column, const QVariant& key, const QString& where,
                   const QVariantList& whereParams, const QVariant& value);
    // Checks the count of rows one statement of a delta changed.
    static void CheckOneRow(int affected);

    // Entries carry their category without a foreign key, so the references
    // are guarded here, inside the write transaction of the call.
    // Locks a category row against deletion until the transaction ends;
    // throws EDatabaseError(missingMessage) when the row is gone already.
    void LockCategory(qint64 category, const QString& missingMessage);
    // Locks every category that an entries delta files an entry into.
    void LockCategoriesFiledBy(const Delta& entries);
    // After a categories delta: refuses it when a deleted category still has
    // entries or subcategories.
    void CheckDeletedCategoriesUnused(const Delta& categories);

    TdmConnection& m_connection;
};

// "4,9,12" checked to hold only decimal codes; throws EDatabaseError otherwise.
QString CheckedCodeList(const QString& codes);
