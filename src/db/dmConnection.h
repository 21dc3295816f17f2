#pragma once

#include "db/ClientRecordSet.h"
#include "db/ConnectionInfo.h"
#include "db/DataPacket.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>

class ISQLAssistant;
class TEngineDialect;
struct TSearchResult;

// A statement with its bound values; user texts always travel as bound values.
struct TSqlStatement {
    QString text;
    QVariantList params;
};

// Access kinds asked of CanAccess.
enum TAccessKind { akView = 1, akModify = 2, akDelete = 4 };

// The one gateway between the program and its database. Every data operation
// is one short call: a fresh server-side module (TdmServerData) runs the
// statements of that call and is destroyed before the call returns. Reads
// return whole result sets as DataPackets; writes take the deltas of record
// sets and apply them in one transaction per call.
class TdmConnection {
public:
    explicit TdmConnection(const TConnectionInfo& info);
    ~TdmConnection();   // closes the connection
    TdmConnection(const TdmConnection&) = delete;
    TdmConnection& operator=(const TdmConnection&) = delete;

    const TConnectionInfo& Info() const { return m_info; }
    TConnectionInfo::TEngine Engine() const { return m_info.engine; }

    // Opens the connection. Never raises: reports false on any failure.
    // requireSchema: the database must already hold the Tessaryn tables (the
    // initializer connects without it to create them).
    bool Connect(bool requireSchema = true) noexcept;
    bool Connected() const;
    void Disconnect();
    // 0 after a successful connect, 1 before and after a failed one.
    int ConnectStatus() const { return m_connectStatus; }
    QString LastConnectError() const { return m_lastConnectError; }
    // The database can only be read (its file or folder is not writable).
    bool ReadOnly() const { return m_readOnly; }
    // The database has a substring index that answers searches as a full
    // scan would (see TSchemaUpgrade); without it a search reads every row.
    bool SearchIndexed() const { return m_searchIndexed; }
    // Reads again what the database says of its schema (after an upgrade).
    void ReadSchemaState();

    // Entries, files, categories. The entry's archive (Items) comes as a
    // value kept in a file without a name in blobFolder (the system's
    // temporary folder when empty), never as bytes in memory.
    DataPackets GetEntry(int code, const QString& blobFolder = QString());
    void ApplyEntryUpdates(const DeltaArray& deltas);
    bool DeleteEntries(const QString& codes);
    int CountEntries();
    void MoveEntriesToCategory(const QString& codes, int category);
    DataPackets GetCategories();
    void ApplyCategoryUpdates(const DeltaArray& deltas);
    bool CategoryHasEntries(int category);

    // Identifiers
    int GetNewEntryCode();
    int GetNextRecID(const QString& tableName);
    int ReserveNextRecIDs(const QString& tableName, int count);

    // Bookmark sets, books, settings, MRU lists, templates, charsets
    DataPackets GetBookmarkSets();
    DataPackets GetBookmarkSet(int code);
    void ApplyBookmarkSetUpdates(const DeltaArray& deltas);
    void ApplyBookmarkSetListUpdates(const DeltaArray& deltas);
    DataPackets GetBooks();
    DataPackets GetSettings(const QString& user, const QString& computer);
    void ApplySettingsUpdates(const Delta& delta);
    DataPackets GetCharsets();
    DataPackets GetTemplate(const QString& id);
    void AddMRUListItem(int userCode, int listCode, const QString& text);

    // Search: the entries matching a search request and their files
    // (TOstrivaleSearchOptions::ToRequest, search/SearchQuery.h).
    TSearchResult SearchEntries(const QVariantList& request);

    // Runs n SELECT statements and loads result i into record set i.
    void OpenQueries(const QList<TSqlStatement>& statements, const QList<ClientRecordSet*>& recordSets);

    // The hook for a per-object permission policy: the policy installed
    // answers; without one (this system installs none) every request is granted.
    bool CanAccess(int objectCode, int accessKind) const;
    std::function<bool(int objectCode, int accessKind)> AccessPolicy;

    // The largest binary value one column of a row can hold, in bytes, the
    // same on both engines: SQLite's limit on a value (1,000,000,000 bytes
    // unless its build says less), which is also below PostgreSQL's 1 GB.
    qint64 MaxValueBytes() const;
    // The message for a value of size bytes above that limit.
    QString ValueTooLargeText(qint64 size) const;

    // Engine services for the server-side module and the schema builder.
    QSqlDatabase& Database() { return m_db; }
    const TEngineDialect& Dialect() const { return *m_dialect; }
    // Nesting of explicit transactions on the connection (0 = autocommit).
    int TransactionDepth() const { return m_transactionDepth; }
    void BeginTransaction();
    // A transaction that only reads, from one state of the database.
    void BeginReadTransaction();
    void Commit();
    void Rollback();

    // Raises the database's failure as EDatabaseError. When the connection
    // to the server was lost, the message says so: nothing of the operation
    // that failed was kept, and the next operation opens a new connection.
    [[noreturn]] void RaiseError(const QString& serverText);
    // Opens a lost connection again before a gateway operation; raises with
    // the reason when the server cannot be reached.
    void EnsureConnected();

private:
    TConnectionInfo m_info;
    QString m_connectionName;
    QSqlDatabase m_db;
    std::unique_ptr<TEngineDialect> m_dialect;
    int m_connectStatus = 1;
    bool m_readOnly = false;
    bool m_searchIndexed = false;
    QString m_lastConnectError;
    int m_transactionDepth = 0;
    bool m_requireSchema = true;
    bool m_wasConnected = false;
    bool m_lost = false;

    bool ConnectionLost(QString* reason) const;
};
