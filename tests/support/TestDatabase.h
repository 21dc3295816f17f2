#pragma once

#include "db/ConnectionInfo.h"
#include "db/dmConnection.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using TEngine = TConnectionInfo::TEngine;

// A fresh, fully initialized Tessaryn database for one test, on either
// engine: a SQLite file in a scratch folder, or a new PostgreSQL database
// copied from a template on the throwaway server that ./test.sh starts
// (TESSARYN_TEST_PG holds its connection string without dbname). Removed
// again when the object goes.
class TestDatabase {
public:
    ~TestDatabase();
    // True when the engine can be tested here. Without a server the
    // PostgreSQL tests are skipped, unless TESSARYN_REQUIRE_PG=1 makes that a failure.
    static bool Available(TEngine engine);
    static std::unique_ptr<TestDatabase> Create(TEngine engine);

    const TConnectionInfo& Info() const { return m_info; }
    // A new connected gateway on this database.
    std::unique_ptr<TdmConnection> Connect() const;
    // Runs a statement on a separate connection (another user's change).
    void ExecOutside(const QString& sql) const;

    // A Tessaryn SQLite database made at file, with the statements run on it,
    // and closed again (a medium that is then made read-only, for example).
    static void CreateSqliteFile(const QString& file, const QStringList& statements = {});

    // Admin connection string of the test server ("... dbname=postgres").
    static QString ServerAdminConnInfo();
    static QString ServerConnInfo(const QString& database);

private:
    TConnectionInfo m_info;
    QString m_pgDatabase;
};

// Parameterised fixture: the same test on SQLite and on PostgreSQL.
class EngineTest : public ::testing::TestWithParam<TEngine> {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TdmConnection> conn;
};

std::string EngineName(const ::testing::TestParamInfo<TEngine>& info);
// The engine's name where a test names its parameter (ctest's list, failures).
void PrintTo(TEngine engine, std::ostream* os);

#define TESSARYN_INSTANTIATE_ENGINES(Suite) \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(TEngine::SQLite, TEngine::PostgreSQL), EngineName)
