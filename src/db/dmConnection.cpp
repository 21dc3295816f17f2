#include "db/dmConnection.h"

#include "app/Errors.h"
#include "app/Logging.h"
#include "db/EngineDialect.h"
#include "db/SchemaUpgrade.h"
#include "db/dServerData.h"
#include "search/SearchQuery.h"

#include <QAtomicInt>
#include <QLocale>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <sqlite3.h>

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

namespace {

// A connection string fit for a log: libpq takes a password in it too.
QString WithoutPassword(QString connInfo)
{
    static const QRegularExpression password(QStringLiteral(R"(password\s*=\s*('(\\.|[^'])*'|\S+))"));
    return connInfo.replace(password, QStringLiteral("password=..."));
}

} // namespace

bool TdmConnection::Connected() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool TdmConnection::Connect(bool requireSchema) noexcept
{
    m_connectStatus = 1;
    m_lastConnectError.clear();
    m_requireSchema = requireSchema;
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
            qCInfo(lcDatabase).noquote() << "connecting failed:" << m_lastConnectError;
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
        qCInfo(lcDatabase).noquote()
            << QStringLiteral("connected to %1%2")
                   .arg(m_info.engine == TConnectionInfo::TEngine::SQLite
                            ? m_info.sqlitePath
                            : QStringLiteral("server (%1)").arg(WithoutPassword(m_info.connInfo)),
                        m_readOnly ? QStringLiteral(", for reading only") : QString());
        m_connectStatus = 0;
        m_wasConnected = true;
        m_lost = false;
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
            RaiseError(ServerText(q.lastError()));
    }
    ++m_transactionDepth;
}

void TdmConnection::BeginReadTransaction()
{
    if (m_transactionDepth == 0) {
        QSqlQuery q(m_db);
        if (!q.exec(m_dialect->BeginReadTransactionSql()))
            RaiseError(ServerText(q.lastError()));
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
            RaiseError(text);
        }
    }
}

bool TdmConnection::ConnectionLost(QString* reason) const
{
    if (m_info.engine != TConnectionInfo::TEngine::PostgreSQL || !m_wasConnected)
        return false;
    if (!m_db.isValid() || !m_db.isOpen())
        return true;
    const QVariant handle = m_db.driver()->handle();
    // Qt names the handle by libpq's struct (pg_conn*), older versions by its typedef.
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return false;
    PGconn* connection = *static_cast<PGconn* const*>(handle.data());
    if (connection && PQstatus(connection) == CONNECTION_OK)
        return false;
    if (connection && reason) {
        // libpq's text runs over several lines ("FATAL: terminating
        // connection ...", "server closed the connection unexpectedly"):
        // the first one that says something is the reason.
        for (const QString& line : QString::fromLocal8Bit(PQerrorMessage(connection)).split(QLatin1Char('\n'))) {
            if (!line.trimmed().isEmpty()) {
                *reason = line.trimmed();
                break;
            }
        }
    }
    return true;
}

void TdmConnection::RaiseError(const QString& serverText)
{
    QString reason;
    if (!ConnectionLost(&reason))
        throw EDatabaseError(serverText);
    if (reason.isEmpty())
        reason = serverText.isEmpty() ? QStringLiteral("no answer from the server") : serverText;
    // Whatever was under way went with the old connection: the server rolled
    // it back. The connection is opened again when the next operation
    // starts, not here: the statement that failed still holds on to it.
    m_lost = true;
    m_transactionDepth = 0;
    throw EDatabaseError(QStringLiteral("The connection to the database server was lost (%1). Nothing of what was "
                                       "being done was saved; the connection is opened again for the next "
                                       "operation, so please try again.")
                             .arg(reason));
}

void TdmConnection::EnsureConnected()
{
    if (m_info.engine != TConnectionInfo::TEngine::PostgreSQL || !m_wasConnected || (!m_lost && Connected()))
        return;
    if (!Connect(m_requireSchema))
        throw EDatabaseError(QStringLiteral("The connection to the database server could not be opened again: %1")
                                 .arg(m_lastConnectError));
}

qint64 TdmConnection::MaxValueBytes() const
{
    qint64 limit = 1000000000;
    if (m_info.engine == TConnectionInfo::TEngine::SQLite && m_db.isValid() && m_db.isOpen()) {
        const QVariant handle = m_db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            if (sqlite3* db = *static_cast<sqlite3* const*>(handle.data()))
                limit = std::min<qint64>(limit, sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1));
    }
    return limit;
}

QString TdmConnection::ValueTooLargeText(qint64 size) const
{
    const QLocale locale;
    return QStringLiteral("A value of %1 bytes is larger than the %2 bytes (%3 GB) that the database can hold in "
                          "one value.")
        .arg(locale.toString(size), locale.toString(MaxValueBytes()),
             locale.toString(double(MaxValueBytes()) / 1e9, 'g', 3));
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

DataPackets TdmConnection::GetEntry(int code, const QString& blobFolder)
{
    return TdmServerData(*this).GetEntry(code, blobFolder);
}

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

bool TdmConnection::CanAccess(int objectCode, int accessKind) const
{
    return !AccessPolicy || AccessPolicy(objectCode, accessKind);
}
