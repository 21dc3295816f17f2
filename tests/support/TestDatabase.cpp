#include "TestDatabase.h"

#include "TestEnv.h"
#include "app/Errors.h"
#include "db/SchemaBuilder.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

int g_counter = 0;

QString BaseConnInfo()
{
    return qEnvironmentVariable("TESSARYN_TEST_PG");
}

// Runs statements on the server's admin database under an advisory lock, so
// test programs running side by side do not build the template twice.
void WithAdmin(const std::function<void(QSqlDatabase&)>& work)
{
    const QString name = QStringLiteral("test-admin-%1").arg(++g_counter);
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        admin.setConnectOptions(TestDatabase::ServerAdminConnInfo());
        if (!admin.open())
            throw EDatabaseError(QStringLiteral("test server: ") + admin.lastError().text());
        QSqlQuery(admin).exec(QStringLiteral("select pg_advisory_lock(734201)"));
        try {
            work(admin);
        } catch (...) {
            QSqlQuery(admin).exec(QStringLiteral("select pg_advisory_unlock(734201)"));
            admin.close();
            throw;
        }
        QSqlQuery(admin).exec(QStringLiteral("select pg_advisory_unlock(734201)"));
        admin.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void AdminExec(QSqlDatabase& admin, const QString& sql)
{
    QSqlQuery q(admin);
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text() + QStringLiteral(" in ") + sql);
}

const QString kTemplate = QStringLiteral("tessaryn_test_template");

} // namespace

QString TestDatabase::ServerAdminConnInfo()
{
    return ServerConnInfo(QStringLiteral("postgres"));
}

QString TestDatabase::ServerConnInfo(const QString& database)
{
    return BaseConnInfo() + QStringLiteral(" dbname=") + database;
}

bool TestDatabase::Available(TEngine engine)
{
    return engine == TEngine::SQLite || !BaseConnInfo().isEmpty();
}

void TestDatabase::CreateSqliteFile(const QString& file, const QStringList& statements)
{
    TdmConnection writer(TConnectionInfo::Embedded(file));
    ASSERT_TRUE(writer.Connect(false)) << writer.LastConnectError().toStdString();
    TSchemaBuilder(writer).Create(false);
    for (const QString& statement : statements) {
        QSqlQuery q(writer.Database());
        ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
    }
}

std::unique_ptr<TestDatabase> TestDatabase::Create(TEngine engine)
{
    auto db = std::unique_ptr<TestDatabase>(new TestDatabase);
    if (engine == TEngine::SQLite) {
        db->m_info = TConnectionInfo::Embedded(TestEnv::ScratchFolder() + QStringLiteral("tessaryn.db"));
        TdmConnection connection(db->m_info);
        if (!connection.Connect(false))
            throw EDatabaseError(connection.LastConnectError());
        TSchemaBuilder(connection).Create(false);
        return db;
    }
    db->m_pgDatabase = QStringLiteral("tessaryn_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_counter);
    WithAdmin([&](QSqlDatabase& admin) {
        QSqlQuery exists(admin);
        exists.exec(QStringLiteral("select 1 from pg_database where datname = '%1'").arg(kTemplate));
        if (!exists.next()) {
            // Built under another name and renamed when complete, so a failed
            // build never leaves an empty template behind.
            const QString building = kTemplate + QStringLiteral("_building");
            AdminExec(admin, QStringLiteral("drop database if exists %1 with (force)").arg(building));
            AdminExec(admin, QStringLiteral("create database %1 encoding 'UTF8' template template0").arg(building));
            {
                TdmConnection connection(TConnectionInfo::Server(ServerConnInfo(building)));
                if (!connection.Connect(false))
                    throw EDatabaseError(connection.LastConnectError());
                TSchemaBuilder(connection).Create(false);
            }
            AdminExec(admin, QStringLiteral("alter database %1 rename to %2").arg(building, kTemplate));
        }
        AdminExec(admin, QStringLiteral("create database %1 template %2").arg(db->m_pgDatabase, kTemplate));
    });
    db->m_info = TConnectionInfo::Server(ServerConnInfo(db->m_pgDatabase));
    return db;
}

TestDatabase::~TestDatabase()
{
    if (!m_pgDatabase.isEmpty()) {
        try {
            WithAdmin([&](QSqlDatabase& admin) {
                AdminExec(admin, QStringLiteral("drop database if exists %1 with (force)").arg(m_pgDatabase));
            });
        } catch (...) {
        }
    }
}

std::unique_ptr<TdmConnection> TestDatabase::Connect() const
{
    auto connection = std::make_unique<TdmConnection>(m_info);
    if (!connection->Connect())
        throw EDatabaseError(QStringLiteral("test database: ") + connection->LastConnectError());
    return connection;
}

void TestDatabase::ExecOutside(const QString& sql) const
{
    auto other = Connect();
    QSqlQuery q(other->Database());
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text());
}

void EngineTest::SetUp()
{
    if (!TestDatabase::Available(GetParam())) {
        if (qEnvironmentVariableIntValue("TESSARYN_REQUIRE_PG") == 1)
            FAIL() << "TESSARYN_TEST_PG is not set but the PostgreSQL tests are required";
        GTEST_SKIP() << "no PostgreSQL test server (set TESSARYN_TEST_PG or run ./test.sh)";
    }
    db = TestDatabase::Create(GetParam());
    conn = db->Connect();
}

void EngineTest::TearDown()
{
    conn.reset();
    db.reset();
}

std::string EngineName(const ::testing::TestParamInfo<TEngine>& info)
{
    return info.param == TEngine::SQLite ? "SQLite" : "PostgreSQL";
}

void PrintTo(TEngine engine, std::ostream* os)
{
    *os << (engine == TEngine::SQLite ? "SQLite" : "PostgreSQL");
}
