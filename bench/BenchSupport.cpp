#include "BenchSupport.h"

#include "app/Errors.h"
#include "db/SQLSupport.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "settings/dmMain.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace BenchSupport {

namespace {

QString RunShell(const QString& databaseFile, const QString& script, double* elapsedMs = nullptr)
{
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), databaseFile});
    if (!shell.waitForStarted(10000))
        throw ETessarynError(QStringLiteral("sqlite3 could not be started: ") + shell.errorString());
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    if (!shell.waitForFinished(600000))
        throw ETessarynError(QStringLiteral("sqlite3 did not finish"));
    if (elapsedMs)
        *elapsedMs = double(timer.nsecsElapsed()) / 1e6;
    const QString errors = QString::fromUtf8(shell.readAllStandardError()).trimmed();
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0 || !errors.isEmpty())
        throw ETessarynError(QStringLiteral("sqlite3 failed: ") + errors);
    return QString::fromUtf8(shell.readAllStandardOutput());
}

} // namespace

double PeakMemoryMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression hwm(QStringLiteral("^VmHWM:\\s+(\\d+)\\s+kB"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = hwm.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024.0 : -1;
}

bool ResetPeakMemory()
{
    // "5" resets the peak resident size to the current one (Linux 4.0 and later).
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

double Median(QList<double> samples)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const qsizetype mid = samples.size() / 2;
    return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
}

double TimeMedian(int runs, const std::function<void()>& work, const std::function<void()>& prepare)
{
    QList<double> samples;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        samples.append(double(timer.nsecsElapsed()) / 1e6);
    }
    return Median(samples);
}

// A shell's script that runs the statements with its timer on and its
// output thrown away, and the sum of the times its output reports, in ms.
static QString TimedScript(const QString& preamble, const QStringList& statements)
{
    QString script = preamble;
    for (const QString& statement : statements)
        script += statement + QStringLiteral(";\n");
    return script;
}

static double SumOfTimes(const QString& output, const QRegularExpression& time, double toMs, qsizetype expected, const QString& shell)
{
    double total = 0;
    qsizetype count = 0;
    for (auto it = time.globalMatch(output); it.hasNext(); ++count)
        total += it.next().captured(1).toDouble() * toMs;
    if (count != expected)
        throw ETessarynError(QStringLiteral("%1 timed %2 of %3 statements").arg(shell).arg(count).arg(expected));
    return total;
}

double TimeWithSqliteShell(const QString& databaseFile, const QStringList& statements)
{
    static const QRegularExpression runTime(QStringLiteral("Run Time: real ([0-9.]+)"));
    const QString output = RunShell(databaseFile, TimedScript(QStringLiteral(".timer on\n.output /dev/null\n"), statements));
    return SumOfTimes(output, runTime, 1000.0, statements.size(), QStringLiteral("sqlite3"));
}

double SqliteShellStartMs(const QString& databaseFile)
{
    QList<double> samples;
    for (int i = 0; i < 5; ++i) {
        double elapsed = 0;
        RunShell(databaseFile, QStringLiteral("select 1;\n"), &elapsed);
        samples.append(elapsed);
    }
    return Median(samples);
}

QString SqliteShellValue(const QString& databaseFile, const QString& statement)
{
    return RunShell(databaseFile, statement + QStringLiteral(";\n")).section(QLatin1Char('\n'), 0, 0).trimmed();
}

TBenchDatabase::TBenchDatabase(TConnectionInfo::TEngine engine, const QString& root, const QString& serverConnInfo)
{
    if (engine == TConnectionInfo::TEngine::SQLite) {
        m_connection = std::make_unique<TdmConnection>(TConnectionInfo::Embedded(root + QStringLiteral("tessaryn.db")));
    } else {
        m_server = serverConnInfo;
        m_name = QStringLiteral("tessaryn_bench_%1").arg(QCoreApplication::applicationPid());
        Admin(QStringLiteral("drop database if exists %1").arg(m_name));
        Admin(QStringLiteral("create database %1 encoding 'UTF8' template template0").arg(m_name));
        m_connection = std::make_unique<TdmConnection>(TConnectionInfo::Server(ServerConnInfo()));
    }
    if (!m_connection->Connect(false))
        throw EDatabaseError(m_connection->LastConnectError());
}

TBenchDatabase::~TBenchDatabase()
{
    m_connection.reset();
    // Kept on request, for a look at the server's plans after the run.
    if (!m_name.isEmpty() && qEnvironmentVariableIsSet("TESSARYN_BENCH_PG_KEEP")) {
        qInfo("kept the database %s", qPrintable(m_name));
        return;
    }
    if (!m_name.isEmpty()) {
        try {
            Admin(QStringLiteral("drop database if exists %1").arg(m_name));
        } catch (const ETessarynError&) {
            // the run's figures stand; a stale database only takes room
        }
    }
}

QString TBenchDatabase::ServerConnInfo() const
{
    return m_name.isEmpty() ? QString() : m_server + QStringLiteral(" dbname=") + m_name;
}

void TBenchDatabase::Admin(const QString& sql) const
{
    const QString name = QStringLiteral("bench-admin");
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        admin.setConnectOptions(m_server + QStringLiteral(" dbname=postgres"));
        if (!admin.open())
            throw EDatabaseError(admin.lastError().text());
        QSqlQuery query(admin);
        query.exec(QStringLiteral("set client_min_messages = warning"));   // no notice for a missing database
        if (!query.exec(sql))
            throw EDatabaseError(query.lastError().text());
    }
    QSqlDatabase::removeDatabase(name);
}

static QString RunPsql(const QString& connInfo, const QString& script)
{
    QProcess psql;
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                                        QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), connInfo});
    if (!psql.waitForStarted(10000))
        throw ETessarynError(QStringLiteral("psql could not be started: ") + psql.errorString());
    psql.write(script.toUtf8());
    psql.closeWriteChannel();
    if (!psql.waitForFinished(600000))
        throw ETessarynError(QStringLiteral("psql did not finish"));
    if (psql.exitStatus() != QProcess::NormalExit || psql.exitCode() != 0)
        throw ETessarynError(QStringLiteral("psql failed: ") + QString::fromUtf8(psql.readAllStandardError()).trimmed());
    return QString::fromUtf8(psql.readAllStandardOutput());
}

double TimeWithPsql(const QString& connInfo, const QStringList& statements)
{
    static const QRegularExpression time(QStringLiteral("Time: ([0-9.]+) ms"));
    const QString output = RunPsql(connInfo, TimedScript(QStringLiteral("\\timing on\n\\o /dev/null\n"), statements));
    return SumOfTimes(output, time, 1.0, statements.size(), QStringLiteral("psql"));
}

QString PsqlValue(const QString& connInfo, const QString& statement)
{
    return RunPsql(connInfo, statement + QStringLiteral(";\n")).section(QLatin1Char('\n'), 0, 0).trimmed();
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        throw ETessarynError(QStringLiteral("cannot write ") + path);
}

double TimeProcess(const QString& program, const QStringList& arguments, const QString& workingFolder)
{
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(600000))
        throw ETessarynError(program + QStringLiteral(" could not be run: ") + process.errorString());
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw ETessarynError(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()));
    return elapsed;
}

std::unique_ptr<TEntryData> NewEntryOver(TdmMain& main, const QString& folder, const QString& title)
{
    auto entry = std::make_unique<TEntryData>(main, false);
    entry->LoadFromPacket(main.Connection().GetEntry(0));
    entry->SetCode(main.Connection().GetNewEntryCode());
    entry->SetTitle(title);
    entry->EntryRecordSet().SetValue(QStringLiteral("DateCreated"), QDateTime(main.CurrentDate(), QTime(0, 0)));
    entry->EntryRecordSet().SetValue(QStringLiteral("GUID"), NewGuidText());
    entry->SetFolderOverride(folder);
    entry->FolderFiles().ListFolder(folder);
    entry->FolderFiles().SelectAll();
    entry->SetDeleteStoredFilesAfterSave(false);
    return entry;
}

QString InlineParameters(const QString& text, const QVariantList& params)
{
    QString result;
    qsizetype next = 0;
    for (const QChar c : text) {
        if (c != QLatin1Char('?')) {
            result += c;
            continue;
        }
        if (next >= params.size())
            throw ETessarynError(QStringLiteral("More placeholders than values in: ") + text);
        const QVariant& value = params.at(next++);
        result += value.typeId() == QMetaType::QString ? QuoteSQLString(value.toString()) : value.toString();
    }
    if (next != params.size())
        throw ETessarynError(QStringLiteral("More values than placeholders in: ") + text);
    return result;
}

} // namespace BenchSupport
