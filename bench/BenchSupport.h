#pragma once

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "db/ConnectionInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class TdmConnection;
class TdmMain;
class TEntryData;

// Measuring helpers shared by the scenarios of tessaryn_bench.
namespace BenchSupport {

// Peak resident memory of this process in MB (VmHWM of /proc/self/status).
double PeakMemoryMB();
// Starts a new peak at the current resident size, so that the next reading
// belongs to what runs after this call. False when the kernel refuses.
bool ResetPeakMemory();

double Median(QList<double> samples);
// Median of runs of work, in ms; prepare runs before each one, untimed.
double TimeMedian(int runs, const std::function<void()>& work, const std::function<void()>& prepare = {});

// The peer of the database scenarios: the sqlite3 command-line shell run on
// the same database file. The statements run with the shell's timer on and
// their rows written to /dev/null; the result is the sum of the statements'
// elapsed ("real") times in ms, so the shell's own start-up is not counted.
// Throws ETessarynError when the shell fails.
double TimeWithSqliteShell(const QString& databaseFile, const QStringList& statements);
// How long the shell takes to start, open the file and run a trivial
// statement, in ms: reported beside the figures, never added to them.
double SqliteShellStartMs(const QString& databaseFile);
// The first value the shell prints for a statement (counts for cross-checks).
QString SqliteShellValue(const QString& databaseFile, const QString& statement);

// The peer on the server engine: psql run on the same database with its
// timing on and the rows written to /dev/null; the sum of the statements'
// times in ms, psql's start-up not counted. connInfo is a libpq connection
// string naming the database.
double TimeWithPsql(const QString& connInfo, const QStringList& statements);
// The first value psql prints for a statement.
QString PsqlValue(const QString& connInfo, const QString& statement);

// A fresh, empty database of the engine for one run: a file below root on
// SQLite; on PostgreSQL a database of its own on the server that
// serverConnInfo (a libpq connection string without a database name) names,
// dropped again when this goes.
class TBenchDatabase {
public:
    TBenchDatabase(TConnectionInfo::TEngine engine, const QString& root, const QString& serverConnInfo);
    ~TBenchDatabase();
    TBenchDatabase(const TBenchDatabase&) = delete;
    TBenchDatabase& operator=(const TBenchDatabase&) = delete;

    TdmConnection& Connection() { return *m_connection; }
    // The libpq connection string of the database (empty on SQLite).
    QString ServerConnInfo() const;

private:
    void Admin(const QString& sql) const;

    std::unique_ptr<TdmConnection> m_connection;
    QString m_server;
    QString m_name;
};

// For a peer without parameter binding: each "?" of the text takes the next
// value as a SQL literal (texts quoted with their quotes doubled).
QString InlineParameters(const QString& text, const QVariantList& params);

// Writes data to path, making the missing folders; throws when it cannot.
void WriteFile(const QString& path, const QByteArray& data);

// Runs a program to its end and returns the elapsed time in ms, the
// process's start included (the peer pays for it as the user would).
// Throws when it cannot be run or fails.
double TimeProcess(const QString& program, const QStringList& arguments, const QString& workingFolder = {});

// A new entry over the prepared folder with every item marked, as an entry
// made from a folder of files is stored; the folder keeps its files after a
// store, so that it can serve every run.
std::unique_ptr<TEntryData> NewEntryOver(TdmMain& main, const QString& folder, const QString& title);

// A desktop for a run without windows: nothing in a benchmark should ask or
// fail, so any message ends it with its text.
class TSilentDesktop : public IDesktop {
public:
    TAnswer MessageBox(const QString& text, TMsgKind, TButtons) override { throw ETessarynError(text); }
    void Notice(const QString&, const QString&) override {}
    bool ShellOpen(const QString&) override { return false; }
    bool ShellExplore(const QString&) override { return false; }
    void ShowFileProperties(const QString&) override {}
    std::optional<QString> RequestEntryPassword(int, const QString&) override { return std::nullopt; }
    std::optional<QString> InputQuery(const QString&, const QString&, const QString&) override { return std::nullopt; }
    QString PickFolder(const QString&, const QString&) override { return {}; }
    QString PickOpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString PickSaveFile(const QString&, const QString&, const QString&) override { return {}; }
    void BeginWait() override {}
    void EndWait() override {}
};

} // namespace BenchSupport
