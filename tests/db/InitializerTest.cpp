#include "TestDatabase.h"
#include "TestEnv.h"
#include "db/SchemaBuilder.h"
#include "db/SystemRegistry.h"
#include "db/dmConnection.h"
#include "search/SearchOptions.h"
#include "search/SearchQuery.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

// Runs the initializer with its own data and configuration folders.
struct TInitRun {
    int exitCode = -1;
    QString output;
};

TInitRun RunInit(const QString& home, const QString& config, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TESSARYN_HOME", home);
    env.insert("XDG_CONFIG_HOME", config);
    env.remove("TESSARYN_STARTED_BY_APP");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(TESSARYN_BIN_DIR) + "/TessarynDBInit", args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

QString IniText(const QString& config)
{
    QFile f(config + "/MorvikSoftware/Tessaryn.ini");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int CountRows(TdmConnection& c, const QString& sql)
{
    QSqlQuery q(c.Database());
    if (!q.exec(sql) || !q.next())
        return -1;
    return q.value(0).toInt();
}

} // namespace

TEST(Initializer, CreatesTheEmbeddedDatabaseOnceAndRefusesToOverwriteIt)
{
    const QString home = TestEnv::ScratchFolder() + "home";
    const QString config = TestEnv::ScratchFolder();
    const TInitRun first = RunInit(home, config, {});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    ASSERT_TRUE(QFile::exists(home + "/tessaryn.db"));
    EXPECT_TRUE(IniText(config).contains("Database%20initialized=1"));
    EXPECT_TRUE(IniText(config).contains("Database%20engine=sqlite"));

    {
        TdmConnection c(TConnectionInfo::Embedded(home + "/tessaryn.db"));
        ASSERT_TRUE(c.Connect());
        EXPECT_EQ(CountRows(c, "select count(*) from bookmarkSets where code = 1"), 1);
        EXPECT_EQ(CountRows(c, "select count(*) from MRULists where name in ('source', 'keywords', 'Recent searches')"), 3);
        EXPECT_EQ(CountRows(c, "select count(*) from templates"), 2);
        EXPECT_GE(CountRows(c, "select count(*) from charsets"), 4);
        EXPECT_EQ(CountRows(c, "select lastid from reccounters where tablename = 'bookmarksets'"), 99);
        QSqlQuery q(c.Database());
        ASSERT_TRUE(q.exec("insert into categories (code, parent, name) values (5, 0, 'kept')"));
    }

    const TInitRun second = RunInit(home, config, {});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_TRUE(second.output.contains("already exists")) << second.output.toStdString();
    {
        TdmConnection c(TConnectionInfo::Embedded(home + "/tessaryn.db"));
        ASSERT_TRUE(c.Connect());
        EXPECT_EQ(CountRows(c, "select count(*) from categories"), 1);   // untouched
    }

    const TInitRun forced = RunInit(home, config, {"--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.output.toStdString();
    TdmConnection c(TConnectionInfo::Embedded(home + "/tessaryn.db"));
    ASSERT_TRUE(c.Connect());
    EXPECT_EQ(CountRows(c, "select count(*) from categories"), 0);
}

TEST(Initializer, ReportsAnUnwritableFolderAndAnUnreachableServer)
{
    const QString scratch = TestEnv::ScratchFolder();
    QFile blocker(scratch + "a-file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const TInitRun unwritable = RunInit(scratch + "a-file/home", scratch + "config", {});
    EXPECT_NE(unwritable.exitCode, 0);
    EXPECT_TRUE(unwritable.output.contains("data folder")) << unwritable.output.toStdString();
    EXPECT_FALSE(IniText(scratch + "config").contains("initialized=1"));

    const TInitRun unreachable = RunInit(scratch + "home", scratch + "config",
                                         {"--server", "host=127.0.0.1 port=1 dbname=tessaryn user=nobody"});
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_TRUE(unreachable.output.contains("Cannot connect")) << unreachable.output.toStdString();
    EXPECT_FALSE(IniText(scratch + "config").contains("initialized=1"));
}

TEST(Initializer, CreatesTheSameSchemaOnTheServer)
{
    if (!TestDatabase::Available(TEngine::PostgreSQL)) {
        if (qEnvironmentVariableIntValue("TESSARYN_REQUIRE_PG") == 1)
            FAIL() << "no PostgreSQL test server";
        GTEST_SKIP() << "no PostgreSQL test server";
    }
    const QString name = QStringLiteral("tessaryn_init_%1").arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "init-admin");
        admin.setConnectOptions(TestDatabase::ServerAdminConnInfo());
        ASSERT_TRUE(admin.open());
        QSqlQuery(admin).exec("drop database if exists " + name);
        ASSERT_TRUE(QSqlQuery(admin).exec("create database " + name + " encoding 'UTF8' template template0"));
        admin.close();
    }
    QSqlDatabase::removeDatabase("init-admin");
    const QString conninfo = TestDatabase::ServerConnInfo(name);
    const QString config = TestEnv::ScratchFolder();
    const TInitRun first = RunInit(TestEnv::ScratchFolder(), config, {"--server", conninfo});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    EXPECT_TRUE(IniText(config).contains("Database%20engine=postgresql"));
    {
        TdmConnection c(TConnectionInfo::Server(conninfo));
        ASSERT_TRUE(c.Connect());
        EXPECT_EQ(CountRows(c, "select count(*) from MRULists"), 3);
        EXPECT_EQ(CountRows(c, "select sp_GetNextRecID('bookmarkSets')"), 100);
        EXPECT_EQ(CountRows(c, "select sp_ReserveNextRecIDs('entryfiles', 10)"), 1);
    }
    EXPECT_EQ(RunInit(TestEnv::ScratchFolder(), config, {"--server", conninfo}).exitCode, 3);
    EXPECT_EQ(RunInit(TestEnv::ScratchFolder(), config, {"--server", conninfo, "--force"}).exitCode, 0);
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "init-admin2");
    admin.setConnectOptions(TestDatabase::ServerAdminConnInfo());
    if (admin.open())
        QSqlQuery(admin).exec("drop database if exists " + name + " with (force)");
}

class InitializerUpgrade : public EngineTest {};

TEST_P(InitializerUpgrade, ADatabaseOfThePreviousVersionGetsTheSearchIndexOnce)
{
    TSchemaBuilder(*conn).Create(true, Schema::BaseSchemaVersion());
    conn->ReserveNextRecIDs("entries", 7);
    QSqlQuery insert(conn->Database());
    ASSERT_TRUE(insert.exec("insert into entries (code, Title, PasswordProtected) values (7, 'ἈΘῆΝΑΙ report', 0)"));
    ASSERT_FALSE(conn->SearchIndexed());
    conn.reset();

    const bool server = GetParam() == TEngine::PostgreSQL;
    const QString home = server ? TestEnv::ScratchFolder() : QFileInfo(db->Info().sqlitePath).absolutePath();
    const QStringList args = server ? QStringList{"--server", db->Info().connInfo} : QStringList{};
    const QString config = TestEnv::ScratchFolder();
    const TInitRun upgrade = RunInit(home, config, args);
    ASSERT_EQ(upgrade.exitCode, 0) << upgrade.output.toStdString();
    EXPECT_TRUE(upgrade.output.contains("Adding the search index: 100%")) << upgrade.output.toStdString();
    EXPECT_TRUE(upgrade.output.contains("upgraded")) << upgrade.output.toStdString();
    EXPECT_TRUE(IniText(config).contains("Database%20initialized=1"));
    const TInitRun again = RunInit(home, config, args);
    EXPECT_EQ(again.exitCode, 3) << again.output.toStdString();

    conn = db->Connect();
    EXPECT_TRUE(conn->SearchIndexed());
    TOstrivaleSearchOptions options;
    options.AllCategories = true;
    options.Keys = QStringLiteral("ἀθῆναι");
    const TSearchResult found = conn->SearchEntries(options.ToRequest());
    ASSERT_EQ(found.entries.RowCount(), 1);
    EXPECT_EQ(found.entries.Value(0, "code").toInt(), 7);
}

TESSARYN_INSTANTIATE_ENGINES(InitializerUpgrade);

TEST(SystemRegistryFlag, OnlyANonZeroNumberCountsAsInitialized)
{
    const QString config = TestEnv::ScratchFolder();
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    EXPECT_FALSE(SystemRegistry::DatabaseInitialized());   // missing
    const QList<QPair<QString, bool>> cases = {{"0", false}, {"1", true}, {"7", true}, {"yes", false}, {"", false}};
    for (const auto& [value, expected] : cases) {
        {
            QSettings s(QSettings::IniFormat, QSettings::UserScope, "MorvikSoftware", "Tessaryn");
            s.setValue("SOFTWARE/MorvikSoftware/Tessaryn/Database initialized", value);
        }
        EXPECT_EQ(SystemRegistry::DatabaseInitialized(), expected) << value.toStdString();
    }
}
