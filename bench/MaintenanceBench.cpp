// Scenario "maintenance": a database of the size years of notes reach
// (100,000 entries whose archives add up to 1 GB), backed up, verified and
// restored by the program, against the sqlite3 shell's ".backup" of the same
// file and a plain `cp`, measured in the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/Errors.h"
#include "db/ConnectionInfo.h"
#include "db/DatabaseMaintenance.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

struct TMaintenanceConfig {
    int entries = 100000;
    qint64 sizeMB = 1024;
};

// Entries with archives of random (incompressible) bytes, in one transaction.
void BuildBase(TdmConnection& connection, const TMaintenanceConfig& config)
{
    TSchemaBuilder(connection).Create(false);
    const int first = connection.ReserveNextRecIDs(QStringLiteral("entries"), config.entries);
    QSqlDatabase& db = connection.Database();
    if (!db.transaction())
        throw EDatabaseError(db.lastError().text());
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("insert into entries (code, category, Title, Keywords, PasswordProtected, "
                                       "Items) values (?, 0, ?, ?, 0, ?)")))
        throw EDatabaseError(insert.lastError().text());
    const qint64 perEntry = config.sizeMB * 1024 * 1024 / config.entries;
    QRandomGenerator generator(20240131);
    QByteArray items(int(perEntry), Qt::Uninitialized);
    for (int i = 0; i < config.entries; ++i) {
        generator.fillRange(reinterpret_cast<quint32*>(items.data()), int(items.size() / 4));
        insert.bindValue(0, first + i);
        insert.bindValue(1, QStringLiteral("Entry %1").arg(i));
        insert.bindValue(2, QStringLiteral("bench maintenance"));
        insert.bindValue(3, items);
        if (!insert.exec())
            throw EDatabaseError(insert.lastError().text());
    }
    if (!db.commit())
        throw EDatabaseError(db.lastError().text());
}

double TimeProcess(const QString& program, const QStringList& arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw ETessarynError(QStringLiteral("%1 failed: %2")
                                 .arg(program, QString::fromLocal8Bit(process.readAllStandardError())));
    return double(timer.nsecsElapsed()) / 1e6;
}

int RunMaintenanceScenario(const QStringList& arguments)
{
    TMaintenanceConfig config;
    for (int i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--entries"))
            config.entries = std::max(1, arguments[i + 1].toInt());
        else if (arguments[i] == QLatin1String("--size-mb"))
            config.sizeMB = std::max<qint64>(1, arguments[i + 1].toLongLong());
    }
    QTextStream out(stdout);
    QTemporaryDir folder;
    if (!folder.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    const QString database = folder.filePath(QStringLiteral("tessaryn.db"));
    TdmConnection connection(TConnectionInfo::Embedded(database));
    if (!connection.Connect(false))
        throw EDatabaseError(connection.LastConnectError());
    QElapsedTimer timer;
    timer.start();
    BuildBase(connection, config);
    {
        QSqlQuery checkpoint(connection.Database());
        checkpoint.exec(QStringLiteral("pragma wal_checkpoint(truncate)"));
    }
    out << QStringLiteral("maintenance: %1 entries, database of %2 MB built in %3 s\n")
               .arg(config.entries)
               .arg(QFileInfo(database).size() / (1024 * 1024))
               .arg(double(timer.elapsed()) / 1000, 0, 'f', 1);
    out.flush();

    // the peers: the shell's online backup, and a plain copy of the file
    const QString shellCopy = folder.filePath(QStringLiteral("shell.dat"));
    const double shellMs =
        TimeProcess(QStringLiteral("sqlite3"), {database, QStringLiteral(".backup '%1'").arg(shellCopy)});
    const double cpMs = TimeProcess(QStringLiteral("cp"), {database, folder.filePath(QStringLiteral("cp.dat"))});
    QFile::remove(shellCopy);
    QFile::remove(folder.filePath(QStringLiteral("cp.dat")));

    TDatabaseMaintenance maintenance(connection);
    const QString backup = TDatabaseMaintenance::BackupFileName(folder.path(), QDateTime::currentDateTime());
    timer.restart();
    maintenance.BackupDatabase(backup);
    const double backupMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    maintenance.CheckBackupFile(backup);
    const double checkMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    maintenance.RestoreDatabase(backup);
    const double restoreMs = double(timer.nsecsElapsed()) / 1e6;

    out << QStringLiteral("maintenance: sqlite3 .backup %1 ms (peer), cp %2 ms\n")
               .arg(shellMs, 0, 'f', 0)
               .arg(cpMs, 0, 'f', 0);
    out << QStringLiteral("maintenance: backup with verification %1 ms, check of a backup %2 ms, restore with its "
                          "check %3 ms; backup file %4 MB; peak %5 MB\n")
               .arg(backupMs, 0, 'f', 0)
               .arg(checkMs, 0, 'f', 0)
               .arg(restoreMs, 0, 'f', 0)
               .arg(QFileInfo(backup).size() / (1024 * 1024))
               .arg(BenchSupport::PeakMemoryMB(), 0, 'f', 0);
    out << QStringLiteral("maintenance: backup_ratio=%1 restore_ratio=%2\n")
               .arg(backupMs / std::max(shellMs, 0.001), 0, 'f', 2)
               .arg(restoreMs / std::max(shellMs, 0.001), 0, 'f', 2);
    out.flush();
    return 0;
}

const TBenchRegistration registration({QStringLiteral("maintenance"),
                                       QStringLiteral("backup with verification and restore of a 1 GB database "
                                                      "against sqlite3 .backup and cp [--entries N] [--size-mb N]"),
                                       RunMaintenanceScenario});

} // namespace
