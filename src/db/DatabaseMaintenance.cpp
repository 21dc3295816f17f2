#include "db/DatabaseMaintenance.h"

#include "app/Errors.h"
#include "db/BackupCheck.h"
#include "db/NativeHandle.h"
#include "db/PostgresDump.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/dmConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

namespace {

// Makes a rename in a folder last through a crash.
void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The tables every Tessaryn database has, as a backup must hold them.
const QStringList kTables = {QStringLiteral("entries"),      QStringLiteral("entryfiles"),
                             QStringLiteral("categories"),   QStringLiteral("bookmarksets"),
                             QStringLiteral("bookmarks"),    QStringLiteral("settings"),
                             QStringLiteral("tessaryn_info")};

const QByteArray kSqliteMagic("SQLite format 3\0", 16);
const QByteArray kPgDumpMagic("PGDMP");

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A SQLite file opened by the C interface, closed on every way out.
class TSqliteFile {
public:
    TSqliteFile(const QString& path, int flags)
    {
        m_rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
    }
    ~TSqliteFile() { sqlite3_close_v2(m_db); }
    bool Opened() const { return m_rc == SQLITE_OK; }
    sqlite3* Handle() const { return m_db; }
    QString Error() const { return QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(m_rc)); }
    // The first column of every row of a statement; false with Error() set.
    bool Rows(const char* sql, QStringList& rows)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return false;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3* m_db = nullptr;
    int m_rc = SQLITE_ERROR;
};

// An exclusive lock on a backup being written, held until the object goes;
// the kernel lets go of it when the process dies.
class TPartialLock {
public:
    explicit TPartialLock(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX | LOCK_NB);
    }
    ~TPartialLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TPartialLock(const TPartialLock&) = delete;
    TPartialLock& operator=(const TPartialLock&) = delete;

private:
    int m_fd = -1;
};

QByteArray FileStart(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(16);
}

} // namespace

const QString TDatabaseMaintenance::PartialSuffix = QStringLiteral(".partial");

TDatabaseStatistics TDatabaseMaintenance::GetDatabaseStatistics()
{
    auto count = [&](const QString& sql, const QString& column) {
        QSqlQuery q(m_connection.Database());
        if (!q.exec(sql) || !q.next())
            throw EDatabaseError(q.lastError().text());
        return q.value(column).toInt();
    };
    TDatabaseStatistics result;
    result.entries = count(QStringLiteral("select count(code) as EntryCount from entries"), QStringLiteral("EntryCount"));
    result.categories =
        count(QStringLiteral("select count(code) as CategoryCount from categories"), QStringLiteral("CategoryCount"));
    result.bookmarkSets = count(QStringLiteral("select count(code) as BookmarkSetCount from bookmarksets"),
                                QStringLiteral("BookmarkSetCount"));
    return result;
}

void TDatabaseMaintenance::ShrinkDatabase()
{
    // Compaction can take long on a large database and cannot be stopped
    // half way; it runs on a connection of its own in a worker thread while
    // the caller keeps reporting, so the window stays alive.
    const TConnectionInfo info = m_connection.Info();
    const bool sqlite = info.engine == TConnectionInfo::TEngine::SQLite;
    std::atomic<bool> finished = false;
    QString failure;
    std::thread worker([&] {
        const QString name = QStringLiteral("tessaryn-compaction-%1").arg(quintptr(QThread::currentThreadId()));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
            if (sqlite) {
                db.setDatabaseName(info.sqlitePath);
                db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            } else {
                db.setConnectOptions(info.connInfo);
            }
            if (!db.open()) {
                failure = db.lastError().text();
            } else {
                QSqlQuery q(db);
                if (!q.exec(sqlite ? QStringLiteral("vacuum") : QStringLiteral("vacuum (full, analyze)")))
                    failure = q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        finished = true;
    });
    while (!finished) {
        Report(0, 0);
        QThread::msleep(30);
    }
    worker.join();
    if (!failure.isEmpty())
        throw EDatabaseError(QStringLiteral("The database could not be compacted: %1").arg(failure));
}

QString TDatabaseMaintenance::BackupFileName(const QString& folder, const QDateTime& when)
{
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    base += QStringLiteral("TessarynBackup_") + when.toString(QStringLiteral("yyyyMMdd_HHmm"));
    QString name = base + QStringLiteral(".dat");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + PartialSuffix); ++n)
        name = base + QStringLiteral("_%1.dat").arg(n);
    return name;
}

// --- backup ------------------------------------------------------------------------

void TDatabaseMaintenance::BackupDatabase(const QString& file)
{
    const QFileInfo target(file);
    if (!QFileInfo(target.absolutePath()).isDir())
        throw EDatabaseError(
            QStringLiteral("The backup folder \"%1\" does not exist.").arg(Native(target.absolutePath())));
    if (target.exists())
        throw EDatabaseError(QStringLiteral("The file \"%1\" exists already; it is not overwritten.").arg(Native(file)));
    RemoveStalePartialBackups(target.absolutePath());
    // Written under a name no one takes for a backup, renamed when sound.
    const QString partial = file + PartialSuffix;
    QFile::remove(partial);
    // Locked while it is written: a later backup in the same folder can then
    // tell it from one that was killed half way.
    TPartialLock lock(partial);
    try {
        if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite)
            BackupSqlite(partial);
        else
            BackupPostgres(partial);
        if (!QFile::rename(partial, file))
            throw EDatabaseError(QStringLiteral("The backup could not be given its name \"%1\".").arg(Native(file)));
        SyncFolder(target.absolutePath());
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

void TDatabaseMaintenance::RemoveStalePartialBackups(const QString& folder)
{
    // Only the names BackupFileName gives, with the suffix added while the
    // backup is written; and only a plain file no running backup holds.
    static const QRegularExpression ours(QStringLiteral("^TessarynBackup_\\d{8}_\\d{4}(_\\d+)?\\.dat")
                                         + QRegularExpression::escape(PartialSuffix) + QLatin1Char('$'));
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

void TDatabaseMaintenance::BackupSqlite(const QString& target)
{
    sqlite3* live = NativeHandle<sqlite3*>(m_connection, {"sqlite3*"});
    {
        TSqliteFile copy(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!copy.Opened())
            throw EDatabaseError(
                QStringLiteral("The backup file \"%1\" could not be created: %2").arg(Native(target), copy.Error()));
        // A new file needs no journal while it is written, nor a sync per
        // step: it is synced once at the end and only then named.
        QStringList ignored;
        copy.Rows("pragma journal_mode = off", ignored);
        copy.Rows("pragma synchronous = off", ignored);
        sqlite3_backup* backup = sqlite3_backup_init(copy.Handle(), "main", live, "main");
        if (!backup)
            throw EDatabaseError(QStringLiteral("The backup could not start: %1").arg(copy.Error()));
        int rc;
        bool cancelled = false;
        do {
            rc = sqlite3_backup_step(backup, 256);
            const int total = sqlite3_backup_pagecount(backup);
            if (!Report(total - sqlite3_backup_remaining(backup), total)) {
                cancelled = true;
                break;
            }
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                QThread::msleep(20);
        } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
        sqlite3_backup_finish(backup);
        if (cancelled)
            throw EAbort();
        if (rc != SQLITE_DONE)
            throw EDatabaseError(QStringLiteral("The backup could not be written to \"%1\": %2")
                                     .arg(Native(target), QString::fromUtf8(sqlite3_errstr(rc))));
        // One self-contained file: no journal beside it.
        QStringList mode;
        if (!copy.Rows("pragma journal_mode = delete", mode))
            throw EDatabaseError(QStringLiteral("The backup could not be finished: %1").arg(copy.Error()));
    }
    QFile written(target);
    if (!written.open(QIODevice::ReadWrite) || ::fsync(written.handle()) != 0)
        throw EDatabaseError(QStringLiteral("The backup could not be written to \"%1\": %2")
                                 .arg(Native(target), written.errorString()));
    written.close();
    VerifySqliteFile(target);
}

void TDatabaseMaintenance::VerifySqliteFile(const QString& file, const QString& shownName)
{
    const QString name = shownName.isEmpty() ? Native(file) : shownName;
    if (FileStart(file) != kSqliteMagic)
        throw EDatabaseError(QStringLiteral("\"%1\" is not a Tessaryn backup.").arg(name));
    TSqliteFile copy(file, SQLITE_OPEN_READONLY);
    QStringList check;
    if (!copy.Opened() || !copy.Rows("pragma integrity_check", check))
        throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2").arg(name, copy.Error()));
    if (check != QStringList{QStringLiteral("ok")})
        throw EDatabaseError(QStringLiteral("The backup \"%1\" is damaged: %2").arg(name, check.value(0)));
    QStringList tables;
    if (!copy.Rows("select lower(name) from sqlite_master where type = 'table'", tables))
        throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2").arg(name, copy.Error()));
    for (const QString& table : kTables)
        if (!tables.contains(table))
            throw EDatabaseError(QStringLiteral("\"%1\" is not a Tessaryn backup: it has no table %2.").arg(name, table));
}

QString TDatabaseMaintenance::PostgresTool(const QString& name)
{
    QSqlQuery q(m_connection.Database());
    int major = 0;
    if (q.exec(QStringLiteral("show server_version_num")) && q.next())
        major = q.value(0).toInt() / 10000;
    const QString versioned = QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(major).arg(name);
    if (major > 0 && QFileInfo(versioned).isExecutable())
        return versioned;
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    throw EDatabaseError(QStringLiteral("The PostgreSQL program %1 is not installed. Install the package "
                                        "postgresql-client-%2.")
                             .arg(name)
                             .arg(major));
}

void TDatabaseMaintenance::BackupPostgres(const QString& target)
{
    const auto keepGoing = [this] { return Report(0, 0); };
    RunPostgresTool(PostgresTool(QStringLiteral("pg_dump")),
                    {QStringLiteral("--format=custom"), QStringLiteral("--file=") + target,
                     QStringLiteral("--dbname=") + m_connection.Info().connInfo},
                    QStringLiteral("The backup could not be written to \"%1\": %2").arg(Native(target), QStringLiteral("%1")),
                    keepGoing);
    // Readable, and a dump of this program's database; whether it can be
    // restored is decided when it is.
    const QList<TDumpEntry> entries = TPostgresDump(PostgresTool(QStringLiteral("pg_restore")), target, keepGoing).Entries();
    for (const QString& table : kTables) {
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const TDumpEntry& entry) {
            return entry.key.startsWith(QStringLiteral("TABLE ")) && entry.key.section(QLatin1Char(' '), 2) == table;
        });
        if (!listed)
            throw EDatabaseError(QStringLiteral("The backup \"%1\" is not complete: it has no table %2.").arg(Native(target), table));
    }
}

// --- restore -----------------------------------------------------------------------

void TDatabaseMaintenance::CheckFileKind(const QString& file)
{
    const QString name = Native(file);
    if (!QFileInfo(file).isFile())
        throw EDatabaseError(QStringLiteral("Backup file %1 does not exist.").arg(name));
    const QByteArray start = FileStart(file);
    const bool sqliteFile = start == kSqliteMagic, dump = start.startsWith(kPgDumpMagic);
    if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite) {
        if (dump)
            throw EDatabaseError(QStringLiteral("\"%1\" is a backup of a Tessaryn database on a PostgreSQL server; "
                                                "it cannot be restored into this SQLite database.")
                                     .arg(name));
        if (!sqliteFile)
            throw EDatabaseError(QStringLiteral("\"%1\" is not a Tessaryn backup.").arg(name));
        return;
    }
    if (sqliteFile)
        throw EDatabaseError(QStringLiteral("\"%1\" is a backup of a Tessaryn SQLite database; it cannot be "
                                            "restored into this PostgreSQL database.")
                                 .arg(name));
    if (!dump)
        throw EDatabaseError(QStringLiteral("\"%1\" is not a Tessaryn backup.").arg(name));
}

void TDatabaseMaintenance::CheckBackupFile(const QString& file)
{
    CheckFileKind(file);
    if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite) {
        VerifySqliteFile(file);
        CheckSqliteBackup(m_connection, file, Native(file));
        return;
    }
    TPostgresDump dump(PostgresTool(QStringLiteral("pg_restore")), file, [this] { return Report(0, 0); });
    CheckPostgresBackup(m_connection, dump, Native(file));
}

void TDatabaseMaintenance::RestoreDatabase(const QString& file)
{
    CheckFileKind(file);
    if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite)
        RestoreSqlite(file);
    else
        RestorePostgres(file);
}

void TDatabaseMaintenance::RestoreSqlite(const QString& file)
{
    // The backup is copied beside the database, the copy checked, and then
    // put in its place with one rename: until that moment the database is
    // untouched, after it the whole backup is there. Stopped or failed
    // before, the copy goes. What is checked is what is put in place.
    const QString live = m_connection.Info().sqlitePath;
    const QString copy = live + QStringLiteral(".restoring");
    QFile::remove(copy);
    try {
        CopyFileDurably(file, copy);
        VerifySqliteFile(copy, Native(file));
        CheckSqliteBackup(m_connection, copy, Native(file));
    } catch (...) {
        QFile::remove(copy);
        throw;
    }
    m_connection.Disconnect();
    QString failure;
    // The last connection gone, SQLite has merged and removed its log; one
    // left behind belongs to another program using the file.
    if (QFileInfo(live + QStringLiteral("-wal")).size() > 0)
        failure = QStringLiteral("The database is in use by another program; close it and restore again.");
    else if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(live).constData()) != 0)
        failure = QStringLiteral("The restored database could not be put in place: %1")
                      .arg(QString::fromLocal8Bit(strerror(errno)));
    QFile::remove(copy);
    if (failure.isEmpty()) {
        QFile::remove(live + QStringLiteral("-wal"));
        QFile::remove(live + QStringLiteral("-shm"));
        SyncFolder(QFileInfo(live).absolutePath());
    }
    if (!m_connection.Connect())
        throw EDatabaseError(QStringLiteral("The database could not be opened again after the restore: %1")
                                 .arg(m_connection.LastConnectError()));
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
}

void TDatabaseMaintenance::CopyFileDurably(const QString& from, const QString& to)
{
    QFile source(from), target(to);
    if (!source.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2").arg(Native(from), source.errorString()));
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EDatabaseError(QStringLiteral("The database folder cannot be written: %1").arg(target.errorString()));
    const qint64 total = source.size();
    qint64 done = 0;
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    if (!Report(0, total))
        throw EAbort();
    for (;;) {
        const qint64 read = source.read(buffer.data(), buffer.size());
        if (read < 0)
            throw EDatabaseError(QStringLiteral("The backup \"%1\" cannot be read: %2").arg(Native(from), source.errorString()));
        if (read == 0)
            break;
        if (target.write(buffer.constData(), read) != read)
            throw EDatabaseError(QStringLiteral("The database could not be written: %1").arg(target.errorString()));
        done += read;
        if (!Report(done, total))
            throw EAbort();
    }
    if (!target.flush() || ::fsync(target.handle()) != 0)
        throw EDatabaseError(QStringLiteral("The database could not be written: %1").arg(target.errorString()));
}

namespace {

QString QuotedIdentifier(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Puts a dump's rows into the tables the program has just built, on the
// gateway's connection inside its transaction: each table's rows through
// COPY, each sequence's value through setval. Only the program's own
// tables, columns and sequences are written to; the dump's statements are
// never sent.
class TRowsIntoTables : public TPostgresDump::IDataSink {
public:
    TRowsIntoTables(TdmConnection& connection, const TPostgresBackupPlan& plan, const QString& shown)
        : m_connection(connection), m_pg(NativeHandle<PGconn*>(connection, {"pg_conn*", "PGconn*"})), m_plan(plan), m_shown(shown)
    {
    }
    ~TRowsIntoTables() override
    {
        if (m_copying)
            Finish("The restore was stopped.");
    }

    void Encoding(const QString& name) override
    {
        // The rows come in the dump's encoding; the server converts them.
        Exec(QStringLiteral("set local client_encoding = '%1'").arg(name));
    }

    void BeginCopy(const QString& schema, const QString& table, const QStringList& columns) override
    {
        const QList<TSchemaColumn> own = m_plan.expected.tables.value(table.toLower());
        bool sameColumns = schema == m_plan.schema && !own.isEmpty() && columns.size() == own.size();
        QStringList quoted;
        for (const QString& column : columns) {
            const bool known = std::any_of(own.begin(), own.end(), [&](const TSchemaColumn& c) { return c.name == column; });
            sameColumns = sameColumns && known && !quoted.contains(QuotedIdentifier(column));
            quoted << QuotedIdentifier(column);
        }
        if (!sameColumns)
            throw EDatabaseError(QStringLiteral("\"%1\" cannot be restored: its rows of %2.%3 are not those of a "
                                                "Tessaryn table.")
                                     .arg(m_shown, schema, table));
        const QByteArray copy = QStringLiteral("copy %1 (%2) from stdin")
                                    .arg(QuotedIdentifier(table.toLower()), quoted.join(QStringLiteral(", ")))
                                    .toUtf8();
        PGresult* started = PQexec(m_pg, copy.constData());
        const bool ok = PQresultStatus(started) == PGRES_COPY_IN;
        PQclear(started);
        if (!ok)
            m_connection.RaiseError(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        m_copying = true;
    }

    void CopyData(const char* data, qsizetype length) override
    {
        if (PQputCopyData(m_pg, data, int(length)) != 1)
            m_connection.RaiseError(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
    }

    void EndCopy() override
    {
        const QString error = Finish(nullptr);
        if (!error.isEmpty())
            m_connection.RaiseError(error);
    }

    void SetSequence(const QString& schema, const QString& sequence, qint64 value, bool called) override
    {
        if (schema != m_plan.schema || !m_plan.expected.Find(QStringLiteral("SEQUENCE"), sequence))
            throw EDatabaseError(QStringLiteral("\"%1\" cannot be restored: it sets the sequence %2.%3, which is not "
                                                "part of a Tessaryn database.")
                                     .arg(m_shown, schema, sequence));
        QSqlQuery q(m_connection.Database());
        if (!q.prepare(QStringLiteral("select pg_catalog.setval(?::regclass, ?, ?)")))
            m_connection.RaiseError(q.lastError().text());
        q.addBindValue(QuotedIdentifier(sequence.toLower()));
        q.addBindValue(value);
        q.addBindValue(called);
        if (!q.exec())
            m_connection.RaiseError(q.lastError().text());
    }

private:
    // Ends the COPY under way (abandoned when a reason is given); the
    // server's error, if any.
    QString Finish(const char* abandon)
    {
        m_copying = false;
        QString error;
        if (PQputCopyEnd(m_pg, abandon) != 1)
            error = QString::fromUtf8(PQerrorMessage(m_pg)).trimmed();
        while (PGresult* result = PQgetResult(m_pg)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK && error.isEmpty())
                error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
            PQclear(result);
        }
        return error;
    }

    void Exec(const QString& sql)
    {
        QSqlQuery q(m_connection.Database());
        if (!q.exec(sql))
            m_connection.RaiseError(q.lastError().text());
    }

    TdmConnection& m_connection;
    PGconn* m_pg;
    const TPostgresBackupPlan& m_plan;
    QString m_shown;
    bool m_copying = false;
};

} // namespace

void TDatabaseMaintenance::RestorePostgres(const QString& file)
{
    // The backup's own statements are never run on the server: it is
    // checked against the program's schema, and then the program builds its
    // own tables, functions and index again and fills them with the
    // backup's rows only. All of it is one transaction: stopped or failed,
    // the database is as it was.
    const auto keepGoing = [this] { return Report(0, 0); };
    TPostgresDump dump(PostgresTool(QStringLiteral("pg_restore")), file, keepGoing);
    const TPostgresBackupPlan plan = CheckPostgresBackup(m_connection, dump, Native(file));
    {
        // Other sessions would hold locks the restore waits for: they are
        // ended, as a single-user switch would end them.
        QSqlQuery q(m_connection.Database());
        q.exec(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where datname = "
                              "current_database() and pid <> pg_backend_pid()"));
    }
    ChangeSchemaInTransaction(m_connection, [&] {
        TSchemaBuilder builder(m_connection);
        builder.DropExisting();
        builder.CreateObjects();
        {
            TRowsIntoTables rows(m_connection, plan, Native(file));
            dump.ReadData(plan.data, rows, [this](qint64 read) { return Report(read, 0); });
        }
        // The search index is built over the rows, and the database is of
        // the current version whatever the backup's was.
        TSchemaUpgrade(m_connection).AddSearchIndex();
    });
}
