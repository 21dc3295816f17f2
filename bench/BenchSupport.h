#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Measuring helpers shared by the scenarios of tessaryn_bench.
namespace BenchSupport {

// Peak resident memory of this process in MB (VmHWM of /proc/self/status).
double PeakMemoryMB();
// Starts a new peak at the current resident size, so that the next reading
// belongs to what runs after this call. False when the kernel refuses.
bool ResetPeakMemory();

double Median(QList<double> samples);

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

// For a peer without parameter binding: each "?" of the text takes the next
// value as a SQL literal (texts quoted with their quotes doubled).
QString InlineParameters(const QString& text, const QVariantList& params);

} // namespace BenchSupport
