// TessarynDBInit: creates the Tessaryn database, records the connection and
// sets the "Database initialized" flag.
//
//   TessarynDBInit                    the embedded SQLite database in the data folder
//   TessarynDBInit --server CONNINFO  the same schema on a PostgreSQL database
//   --force                           replace an existing Tessaryn database
#include "app/Errors.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/SystemRegistry.h"
#include "db/dmConnection.h"
#include "engine/FileHelpers.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <cstdio>

namespace {

enum TExit { exOk = 0, exUsage = 1, exUnreachable = 2, exExists = 3, exFailed = 4 };

void Say(const QString& text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
}

void Fail(const QString& text)
{
    std::fprintf(stderr, "TessarynDBInit: %s\n", qPrintable(text));
}

// An existing database of an earlier version is brought up to date instead of
// being refused: the upgrade, told in tenths on the way, is one transaction.
// exOk after an upgrade, exExists when there was nothing to do; the error
// code when the upgrade failed (the database then stays as it was).
int UpgradeExisting(TdmConnection& connection, const QString& where)
{
    try {
        TSchemaUpgrade upgrade(connection);
        if (!upgrade.Needed()) {
            Fail(QStringLiteral("A Tessaryn database already exists %1. Run with --force to replace it.").arg(where));
            return exExists;
        }
        int told = -1;
        upgrade.Progress = [&told](qint64 done, qint64 total) {
            const int tenths = total > 0 ? int(done * 10 / total) : 0;
            if (tenths != told)
                Say(QStringLiteral("Adding the search index: %1%").arg(tenths * 10));
            told = tenths;
            return true;
        };
        upgrade.Run();
    } catch (const ETessarynError& e) {
        Fail(QStringLiteral("The database %1 could not be upgraded: %2").arg(where, e.Message()));
        return exFailed;
    }
    Say(QStringLiteral("Tessaryn database %1 upgraded to version %2").arg(where).arg(Schema::SchemaVersion()));
    return exOk;
}

void RemoveSqliteFiles(const QString& path)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        QFile::remove(path + suffix);
}

int CreateEmbedded(bool force)
{
    const QString folder = SystemRegistry::DataFolder();
    if (!QDir().mkpath(folder)) {
        Fail(QStringLiteral("Cannot create the data folder %1.").arg(folder));
        return exFailed;
    }
    const QString path = SystemRegistry::DefaultDatabasePath();
    if (QFileInfo::exists(path)) {
        bool tessaryn = false;
        {
            TdmConnection probe(TConnectionInfo::Embedded(path));
            if (probe.Connect(false))
                tessaryn = TSchemaBuilder(probe).HasTessarynDatabase();
            if (tessaryn && !force) {
                const int upgraded = UpgradeExisting(probe, QStringLiteral("at %1").arg(path));
                if (upgraded == exOk)
                    SystemRegistry::RecordConnection(TConnectionInfo::Embedded(path));
                return upgraded;
            }
        }
        if (!force) {
            Fail(QStringLiteral("%1 exists and is not a Tessaryn database; it was left alone. Run with --force to replace it.").arg(path));
            return exExists;
        }
    }
    // Build the database beside its final place and move it there only when
    // complete, so a failure never leaves a half-made database behind.
    const QString building = path + QStringLiteral(".building");
    RemoveSqliteFiles(building);
    QFile touch(building);
    if (!touch.open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("Cannot write in the data folder %1: %2").arg(folder, touch.errorString()));
        return exFailed;
    }
    touch.close();
    try {
        TdmConnection connection(TConnectionInfo::Embedded(building));
        if (!connection.Connect(false))
            throw ETessarynError(QStringLiteral("Cannot open %1: %2").arg(building, connection.LastConnectError()));
        TSchemaBuilder(connection).Create(false);
    } catch (const ETessarynError& e) {
        RemoveSqliteFiles(building);
        Fail(e.Message());
        return exFailed;
    }
    RemoveSqliteFiles(path);
    if (!QFile::rename(building, path)) {
        RemoveSqliteFiles(building);
        Fail(QStringLiteral("Cannot move the new database into place at %1.").arg(path));
        return exFailed;
    }
    SystemRegistry::RecordConnection(TConnectionInfo::Embedded(path));
    Say(QStringLiteral("Tessaryn database created: %1").arg(path));
    return exOk;
}

int CreateOnServer(const QString& connInfo, bool force)
{
    TdmConnection connection(TConnectionInfo::Server(connInfo));
    if (!connection.Connect(false)) {
        Fail(QStringLiteral("Cannot connect to the PostgreSQL server (%1): %2").arg(connInfo, connection.LastConnectError()));
        return exUnreachable;
    }
    try {
        TSchemaBuilder builder(connection);
        if (builder.HasTessarynDatabase() && !force) {
            const int upgraded = UpgradeExisting(connection, QStringLiteral("on the server (%1)").arg(connInfo));
            if (upgraded == exOk)
                SystemRegistry::RecordConnection(TConnectionInfo::Server(connInfo));
            return upgraded;
        }
        builder.Create(force);
    } catch (const ETessarynError& e) {
        Fail(e.Message());
        return exFailed;
    }
    SystemRegistry::RecordConnection(TConnectionInfo::Server(connInfo));
    Say(QStringLiteral("Tessaryn database created on the PostgreSQL server (%1)").arg(connInfo));
    return exOk;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TessarynDBInit"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Creates the Tessaryn database."));
    parser.addHelpOption();
    QCoreApplication::setApplicationVersion(VersionText(false));
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Create the database on a PostgreSQL server (libpq connection string)."),
                                    QStringLiteral("CONNINFO"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Replace an existing Tessaryn database."));
    const QCommandLineOption isInitialized(QStringLiteral("is-initialized"),
                                           QStringLiteral("Only tell, by the exit code (0 yes, 1 no), whether the database is initialized."));
    parser.addOption(server);
    parser.addOption(force);
    parser.addOption(isInitialized);
    if (!parser.parse(app.arguments())) {
        Fail(parser.errorText());
        return exUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Say(parser.helpText());
        return exOk;
    }
    if (parser.isSet(version)) {
        Say(QStringLiteral("TessarynDBInit %1").arg(VersionText(false)));
        return exOk;
    }
    if (parser.isSet(isInitialized))
        return SystemRegistry::DatabaseInitialized() ? exOk : exUsage;
    const int result = parser.isSet(server) ? CreateOnServer(parser.value(server), parser.isSet(force))
                                            : CreateEmbedded(parser.isSet(force));
    if (result != exOk)
        return result;
    SystemRegistry::SetDatabaseInitialized(true);

    // Started by the program on its first run: start it again now that its
    // database exists, so one command takes a newcomer to the main window.
    if (qEnvironmentVariableIntValue("TESSARYN_STARTED_BY_APP") == 1) {
        qunsetenv("TESSARYN_STARTED_BY_APP");
        QProcess::startDetached(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaryn"), {});
    }
    return exOk;
}
