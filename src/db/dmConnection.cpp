#include "db/dmConnection.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/SchemaUpgrade.h"
#include "db/dServerData.h"
#include "search/SearchQuery.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QUrl>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInt g_connectionCounter;

QString ServerText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

} // namespace

TdmConnection::TdmConnection(const TConnectionInfo& info)
    : m_info(info),
      m_connectionName(QStringLiteral("tessaryn-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))),
      m_dialect(TEngineDialect::Create(info.engine))
{
}

TdmConnection::~TdmConnection()
{
    Disconnect();
}

void TdmConnection::Disconnect()
{
    if (m_db.isValid()) {
        if (m_db.isOpen()) {
            if (m_transactionDepth > 0)
                m_db.exec(QStringLiteral("rollback"));
            m_db.close();
        }
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_transactionDepth = 0;
    m_searchIndexed = false;
}

void TdmConnection::ReadSchemaState()
{
    // A database without the record (not made yet, or not Tessaryn's) has
    // no index to trust.
    m_searchIndexed = Connected() && !TSchemaUpgrade(*this).Needed();
}

bool TdmConnection::Connected() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool TdmConnection::Connect(bool requireSchema) noexcept
{
    m_connectStatus = 1;
    m_lastConnectError.clear();
    try {
        Disconnect();
        m_readOnly = false;
        if (m_info.engine == TConnectionInfo::TEngine::SQLite) {
            // Opening a missing file would create an empty database: a missing
            // database is a failed connection, never a new one.
            if (requireSchema && !QFileInfo(m_info.sqlitePath).isFile()) {
                m_lastConnectError = QStringLiteral("Database file %1 does not exist").arg(m_info.sqlitePath);
                return false;
            }
            // A file, or a folder, that cannot be written (a read-only
            // medium, another user's files) is opened for reading only.
            const QFileInfo file(m_info.sqlitePath);
            const bool folderWritable = QFileInfo(file.absolutePath()).isWritable();
            m_readOnly = file.isFile() && (!file.isWritable() || !folderWritable);
            m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
            if (m_readOnly && !folderWritable) {
                // Without a writable folder SQLite cannot keep the shared
                // memory its log needs; nobody can write there either, so
                // the file is read as unchanging.
                m_db.setDatabaseName(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)
                                     + QStringLiteral("?immutable=1"));
                m_db.setConnectOptions(
                    QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
            } else {
                m_db.setDatabaseName(m_info.sqlitePath);
                m_db.setConnectOptions(m_readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000;QSQLITE_OPEN_READONLY")
                                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            }
        } else {
            m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
            QString options = m_info.connInfo;
            if (!options.contains(QStringLiteral("connect_timeout")))
                options += QStringLiteral(" connect_timeout=10");
            m_db.setConnectOptions(options);
        }
        if (!m_db.open()) {
            m_lastConnectError = ServerText(m_db.lastError());
            Disconnect();
            return false;
        }
        if (m_readOnly)
            m_dialect->PrepareReadOnlyConnection(m_db);
        else
            m_dialect->PrepareConnection(m_db);
        if (requireSchema) {
            // A file or database that is not a Tessaryn database fails here.
            QSqlQuery probe(m_db);
            if (!probe.exec(QStringLiteral("select count(*) from entries where 1 = 0"))) {
                m_lastConnectError = ServerText(probe.lastError());
                Disconnect();
                return false;
            }
        }
        ReadSchemaState();
        m_connectStatus = 0;
        return true;
    } catch (const std::exception& e) {
        m_lastConnectError = QString::fromUtf8(e.what());
    } catch (...) {
        m_lastConnectError = QStringLiteral("Unknown error while connecting");
    }
    Disconnect();
    return false;
}

void TdmConnection::BeginTransaction()
{
    if (m_transactionDepth == 0) {
        QSqlQuery q(m_db);
        if (!q.exec(m_dialect->BeginTransactionSql()))
            throw EDatabaseError(ServerText(q.lastError()));
    }
    ++m_transactionDepth;
}

void TdmConnection::Commit()
{
    if (m_transactionDepth <= 0)
        return;
    if (--m_transactionDepth == 0) {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("commit"))) {
            const QString text = ServerText(q.lastError());
            QSqlQuery(m_db).exec(QStringLiteral("rollback"));
            throw EDatabaseError(text);
        }
    }
}

void TdmConnection::Rollback()
{
    if (m_transactionDepth <= 0)
        return;
    m_transactionDepth = 0;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("rollback"));
}

// --- gateway operations: each one runs in a fresh server-side module ---------

DataPackets TdmConnection::GetEntry(int code) { return TdmServerData(*this).GetEntry(code); }

void TdmConnection::ApplyEntryUpdates(const DeltaArray& deltas)
{
    TdmServerData(*this).ApplyInTransaction({{QStringLiteral("entries"), deltas.value(0)},
                                             {QStringLiteral("entryfiles"), deltas.value(1)}});
}

bool TdmConnection::DeleteEntries(const QString& codes) { return TdmServerData(*this).DeleteEntries(codes); }
int TdmConnection::CountEntries() { return TdmServerData(*this).CountEntries(); }

void TdmConnection::MoveEntriesToCategory(const QString& codes, int category)
{
    TdmServerData(*this).MoveEntriesToCategory(codes, category);
}

DataPackets TdmConnection::GetCategories() { return TdmServerData(*this).GetCategories(); }

void TdmConnection::ApplyCategoryUpdates(const DeltaArray& deltas)
{
    TdmServerData(*this).ApplyInTransaction({{QStringLiteral("categories"), deltas.value(0)}});
}

bool TdmConnection::CategoryHasEntries(int category) { return TdmServerData(*this).CategoryHasEntries(category); }

int TdmConnection::GetNewEntryCode() { return GetNextRecID(QStringLiteral("entries")); }
int TdmConnection::GetNextRecID(const QString& tableName) { return TdmServerData(*this).ReserveNextRecIDs(tableName, 1); }

int TdmConnection::ReserveNextRecIDs(const QString& tableName, int count)
{
    return TdmServerData(*this).ReserveNextRecIDs(tableName, count);
}

DataPackets TdmConnection::GetBookmarkSets() { return TdmServerData(*this).GetBookmarkSets(); }
DataPackets TdmConnection::GetBookmarkSet(int code) { return TdmServerData(*this).GetBookmarkSet(code); }

void TdmConnection::ApplyBookmarkSetUpdates(const DeltaArray& deltas)
{
    TdmServerData(*this).ApplyInTransaction({{QStringLiteral("bookmarkSets"), deltas.value(0)},
                                             {QStringLiteral("bookmarks"), deltas.value(1)}});
}

void TdmConnection::ApplyBookmarkSetListUpdates(const DeltaArray& deltas)
{
    TdmServerData(*this).ApplyInTransaction({{QStringLiteral("bookmarkSets"), deltas.value(0)}});
}

DataPackets TdmConnection::GetBooks() { return TdmServerData(*this).GetBooks(); }

DataPackets TdmConnection::GetSettings(const QString& user, const QString& computer)
{
    return TdmServerData(*this).GetSettings(user, computer);
}

void TdmConnection::ApplySettingsUpdates(const Delta& delta)
{
    // Settings go out without a transaction: rows written before a failing
    // row stay written.
    TdmServerData(*this).ApplyDelta(QStringLiteral("settings"), delta);
}

DataPackets TdmConnection::GetCharsets() { return TdmServerData(*this).GetCharsets(); }
DataPackets TdmConnection::GetTemplate(const QString& id) { return TdmServerData(*this).GetTemplate(id); }

void TdmConnection::AddMRUListItem(int userCode, int listCode, const QString& text)
{
    TdmServerData(*this).AddMRUListItem(userCode, listCode, text);
}

TSearchResult TdmConnection::SearchEntries(const QVariantList& request)
{
    return ::SearchEntries(*this, request);
}

void TdmConnection::OpenQueries(const QList<TSqlStatement>& statements, const QList<ClientRecordSet*>& recordSets)
{
    if (statements.size() != recordSets.size())
        throw EDatabaseError(QStringLiteral("OpenQueries: %1 statements for %2 record sets")
                                 .arg(statements.size())
                                 .arg(recordSets.size()));
    DataPackets packets;
    {
        TdmServerData server(*this);
        for (const auto& statement : statements)
            packets.append(server.RunQuery(statement));
    }
    for (int i = 0; i < packets.size(); ++i)
        recordSets[i]->LoadFromPacket(packets[i]);
}

bool TdmConnection::CanAccess(int, int) const
{
    return true;
}
