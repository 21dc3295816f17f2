#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class TdmConnection;

struct TDatabaseStatistics {
    int entries = 0;
    int categories = 0;
    int bookmarkSets = 0;
};

// Statistics, compaction, backup and restore of the whole database, on the
// gateway's connection. Failures raise EDatabaseError with a text for the
// user; nothing is half done:
// - a backup is written under a temporary name, verified, and only then
//   given its name, so a failed backup leaves no file that looks good;
// - a restore first checks that the file is a backup of this program's
//   database on this engine, table by table, column by column, its schema
//   version and every object its schema holds (BackupCheck.h), then
//   replaces the data in one step; a failure leaves the database as it was
//   and the connection open. A backup never brings code of its own: SQLite
//   files hold only the program's objects, and on PostgreSQL only the rows
//   of a dump are taken, into the tables the program builds itself.
class TDatabaseMaintenance {
public:
    explicit TDatabaseMaintenance(TdmConnection& connection) : m_connection(connection) {}

    TDatabaseStatistics GetDatabaseStatistics();
    void ShrinkDatabase();
    void BackupDatabase(const QString& file);
    // Refuses (raises) a file that is not a sound Tessaryn backup of this
    // engine that can be restored, saying why.
    void CheckBackupFile(const QString& file);
    // The same check, on what is restored, before anything is replaced.
    void RestoreDatabase(const QString& file);

    // "<folder>TessarynBackup_YYYYMMDD_HHMM.dat"; when that file exists
    // already, "_2", "_3" ... before ".dat", so no backup is overwritten.
    static QString BackupFileName(const QString& folder, const QDateTime& when);
    // Added to the backup's name while it is written.
    static const QString PartialSuffix;

    // Called while long work runs, with the work done and the whole (both 0
    // when unknown); returning false asks to stop where stopping leaves
    // everything as it was.
    std::function<bool(qint64 done, qint64 total)> Progress;

private:
    bool Report(qint64 done, qint64 total) { return !Progress || Progress(done, total); }
    void BackupSqlite(const QString& target);
    void BackupPostgres(const QString& target);
    // Removes what backups killed half way left in the folder: files with
    // the names this program gives a backup being written that no running
    // backup holds.
    static void RemoveStalePartialBackups(const QString& folder);
    // A sound SQLite file holding the program's main tables; shownName
    // names it in the messages (the file itself when empty).
    void VerifySqliteFile(const QString& file, const QString& shownName = QString());
    // Refuses a file of the wrong kind for this engine.
    void CheckFileKind(const QString& file);
    void RestoreSqlite(const QString& file);
    // A copy synced to disk, reporting as it goes.
    void CopyFileDurably(const QString& from, const QString& to);
    void RestorePostgres(const QString& file);
    // The PostgreSQL client program of the server's major version.
    QString PostgresTool(const QString& name);

    TdmConnection& m_connection;
};
