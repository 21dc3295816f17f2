// Scenario "bigentry": the two ways an entry grows large.
//
// - One entry of 600 MB of incompressible data, stored into the database and
//   extracted again through the packaging module, on each engine available
//   (SQLite always, PostgreSQL when TESSARYN_BENCH_PG names a server by a
//   libpq connection string without a database name). The peak resident
//   memory of the process in each direction is set against the archive's
//   size: the archive should stream, not be held (goal: at most 1.5 times).
// - One entry of 100,000 small files in a tree of folders, opened for
//   editing (read, unpacked, listed, watched) by the entry manager, against
//   Info-ZIP's `unzip -q` of the same archive in the same run (goal: at most
//   twice its time).
//
// Last line: "bigentry: peak_ratio=P manyfiles_ratio=M", the largest of each
// across the engines.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/Errors.h"
#include "db/BlobFile.h"
#include "db/ConnectionInfo.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {

using namespace BenchSupport;

struct TBigEntryConfig {
    qint64 bigBytes = 600LL * 1024 * 1024;
    int files = 100000;
    int filesPerFolder = 1000;
    int runs = 3;
};

struct TEngineFigures {
    QString engine;
    double archiveMB = 0;
    double storeMs = 0;
    double storePeakMB = 0;
    double extractMs = 0;
    double extractPeakMB = 0;
    double openMs = 0;      // median
    double unzipMs = 0;     // median
    int openedFiles = 0;
};

// Incompressible bytes written a megabyte at a time: the source never sits
// in this process's memory.
void WriteRandomFile(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ETessarynError(QStringLiteral("cannot write ") + path);
    QRandomGenerator generator(20240611);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size;) {
        generator.fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
        const qint64 length = std::min<qint64>(chunk.size(), size - written);
        if (file.write(chunk.constData(), length) != length)
            throw ETessarynError(QStringLiteral("cannot write ") + path);
        written += length;
    }
}

// files small notes in folders of filesPerFolder below one top folder.
void BuildManyFiles(const QString& folder, const TBigEntryConfig& config)
{
    for (int i = 0; i < config.files; ++i) {
        const QString path = QStringLiteral("%1many/part%2/note%3.txt")
                                 .arg(folder)
                                 .arg(i / config.filesPerFolder, 3, 10, QLatin1Char('0'))
                                 .arg(i, 6, 10, QLatin1Char('0'));
        WriteFile(path, QStringLiteral("Note %1: meeting about release %2, see ticket %3.\n")
                            .arg(i)
                            .arg(i % 97)
                            .arg(i * 7 % 10007)
                            .toUtf8());
    }
}

int CountFiles(const QString& folder)
{
    int count = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

// Runs one phase from a fresh peak: its elapsed ms and the peak resident MB.
QPair<double, double> Measure(const std::function<void()>& phase)
{
    ResetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    phase();
    return {double(timer.nsecsElapsed()) / 1e6, PeakMemoryMB()};
}

TEngineFigures RunEngine(TConnectionInfo::TEngine engine, const QString& root, const QString& bigSource,
                         const QString& manySource, const TBigEntryConfig& config, QTextStream& out)
{
    TEngineFigures figures;
    figures.engine = engine == TConnectionInfo::TEngine::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
    const QString home = root + QStringLiteral("home-") + figures.engine + u'/';
    qputenv("TESSARYN_HOME", home.toUtf8());
    TBenchDatabase database(engine, root + figures.engine + u'-', qEnvironmentVariable("TESSARYN_BENCH_PG"));
    TdmConnection& connection = database.Connection();
    TSchemaBuilder(connection).Create(false);
    TSilentDesktop desktop;
    TdmMain main(connection, desktop);
    if (!main.IsInitialized())
        throw ETessarynError(main.InitializationError());
    main.App.EditMultipleEntries = true;
    TdmDB packaging;

    // --- the large entry -------------------------------------------------
    int bigCode = 0;
    {
        std::unique_ptr<TEntryData> entry = NewEntryOver(main, bigSource, QStringLiteral("Big entry"));
        bigCode = entry->Code();
        bool stored = false;
        const auto [ms, peak] = Measure([&] { stored = packaging.StoreEntry(*entry); });
        if (!stored)
            throw ETessarynError(QStringLiteral("the large entry was not stored"));
        figures.storeMs = ms;
        figures.storePeakMB = peak;
        figures.archiveMB =
            double(TBlobFile::ValueSize(entry->EntryRecordSet().Value(QStringLiteral("Items")))) / 1048576.0;
    }
    {
        auto entry = std::make_unique<TEntryData>(main, false);
        entry->SetCode(bigCode);
        entry->SetFolderOverride(root + QStringLiteral("big-out-") + figures.engine + u'/');
        const auto [ms, peak] = Measure([&] { packaging.ExtractEntry(*entry); });
        figures.extractMs = ms;
        figures.extractPeakMB = peak;
        const QString back = entry->GetFolder() + QStringLiteral("data.bin");
        entry.reset();
        TimeProcess(QStringLiteral("cmp"), {back, bigSource + QStringLiteral("data.bin")});
        QDir(QFileInfo(back).path()).removeRecursively();
    }
    out << QStringLiteral("bigentry: %1: archive %2 MB; store %3 ms, peak %4 MB; extract %5 ms, peak %6 MB\n")
               .arg(figures.engine)
               .arg(figures.archiveMB, 0, 'f', 1)
               .arg(figures.storeMs, 0, 'f', 0)
               .arg(figures.storePeakMB, 0, 'f', 0)
               .arg(figures.extractMs, 0, 'f', 0)
               .arg(figures.extractPeakMB, 0, 'f', 0);
    out.flush();

    // --- the entry of many files -----------------------------------------
    int manyCode = 0;
    {
        std::unique_ptr<TEntryData> entry = NewEntryOver(main, manySource, QStringLiteral("Many files"));
        manyCode = entry->Code();
        if (!packaging.StoreEntry(*entry))
            throw ETessarynError(QStringLiteral("the entry of many files was not stored"));
    }
    const QString peerArchive = root + QStringLiteral("many-") + figures.engine + QStringLiteral(".zip");
    connection.GetEntry(manyCode, root)[0].Value(0, QStringLiteral("Items")).value<TBlobFile>().SaveAs(peerArchive);
    const QString peerOut = root + QStringLiteral("many-unzip/");
    QList<double> ours;
    QList<double> peer;
    TEntryManager& manager = main.EntryManager();
    for (int run = 0; run <= config.runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        manager.EditEntry(manyCode);
        const double openMs = double(timer.nsecsElapsed()) / 1e6;
        TEntryData* open = manager.OpenEntries().FindOpenEntry(manyCode);
        if (!open || !open->FolderFiles().IsWatching())
            throw ETessarynError(QStringLiteral("the entry of many files is not open and watched"));
        const QString folder = open->GetFolder();
        figures.openedFiles = CountFiles(folder);
        if (figures.openedFiles != config.files)
            throw ETessarynError(QStringLiteral("opening gave %1 files of %2").arg(figures.openedFiles).arg(config.files));
        manager.OpenEntries().CloseEntry(open);
        QDir(folder).removeRecursively();

        QDir(peerOut).removeRecursively();
        const double unzipMs = TimeProcess(QStringLiteral("unzip"), {QStringLiteral("-q"), peerArchive,
                                                                     QStringLiteral("-d"), peerOut});
        if (CountFiles(peerOut) != config.files)
            throw ETessarynError(QStringLiteral("unzip gave %1 files of %2").arg(CountFiles(peerOut)).arg(config.files));
        if (run > 0) {   // the first run warms the caches
            ours.append(openMs);
            peer.append(unzipMs);
        }
    }
    QDir(peerOut).removeRecursively();
    figures.openMs = Median(ours);
    figures.unzipMs = Median(peer);
    out << QStringLiteral("bigentry: %1: open of %2 files (archive %3 MB) %4 ms; unzip -q %5 ms; ratio %6\n")
               .arg(figures.engine)
               .arg(figures.openedFiles)
               .arg(double(QFileInfo(peerArchive).size()) / 1048576.0, 0, 'f', 1)
               .arg(figures.openMs, 0, 'f', 0)
               .arg(figures.unzipMs, 0, 'f', 0)
               .arg(figures.openMs / std::max(figures.unzipMs, 0.001), 0, 'f', 2);
    out.flush();
    QFile::remove(peerArchive);
    return figures;
}

int RunBigEntryScenario(const QStringList& arguments)
{
    TBigEntryConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--mb"))
            config.bigBytes = arguments[i + 1].toLongLong() * 1024 * 1024;
        else if (arguments[i] == QLatin1String("--files"))
            config.files = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.bigBytes < 1 || config.files < 1 || config.runs < 1)
        throw ETessarynError(QStringLiteral("--mb, --files and --runs take positive numbers"));

    QTextStream out(stdout);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    const QString root = scratch.path() + u'/';
    const QString bigSource = root + QStringLiteral("big/");
    const QString manySource = root + QStringLiteral("manysource/");
    WriteRandomFile(bigSource + QStringLiteral("data.bin"), config.bigBytes);
    BuildManyFiles(manySource, config);

    QList<TConnectionInfo::TEngine> engines{TConnectionInfo::TEngine::SQLite};
    if (!qEnvironmentVariableIsEmpty("TESSARYN_BENCH_PG"))
        engines << TConnectionInfo::TEngine::PostgreSQL;
    out << QStringLiteral("bigentry: %1 MB incompressible entry, %2 files in folders of %3; engines: %4; open: "
                          "median of %5 runs after one warm-up\n")
               .arg(config.bigBytes / 1048576)
               .arg(config.files)
               .arg(config.filesPerFolder)
               .arg(engines.size() == 2 ? QStringLiteral("SQLite, PostgreSQL")
                                        : QStringLiteral("SQLite (set TESSARYN_BENCH_PG for PostgreSQL)"))
               .arg(config.runs);
    out.flush();

    double peakRatio = 0;
    double manyRatio = 0;
    for (const TConnectionInfo::TEngine engine : engines) {
        const TEngineFigures figures = RunEngine(engine, root, bigSource, manySource, config, out);
        const double archive = std::max(figures.archiveMB, 0.001);
        peakRatio = std::max({peakRatio, figures.storePeakMB / archive, figures.extractPeakMB / archive});
        manyRatio = std::max(manyRatio, figures.openMs / std::max(figures.unzipMs, 0.001));
    }
    out << QStringLiteral("bigentry: goals peak_ratio <= 1.5, manyfiles_ratio <= 2\n");
    out << QStringLiteral("bigentry: peak_ratio=%1 manyfiles_ratio=%2\n").arg(peakRatio, 0, 'f', 2).arg(manyRatio, 0, 'f', 2);
    return 0;
}

const TBenchRegistration registration(
    {QStringLiteral("bigentry"),
     QStringLiteral("store and extract a 600 MB entry on each engine (PostgreSQL when TESSARYN_BENCH_PG names a "
                    "server) for peak memory, and open an entry of 100,000 files against unzip -q "
                    "[--mb N] [--files N] [--runs N]"),
     RunBigEntryScenario});

} // namespace
