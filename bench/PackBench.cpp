// Scenario "pack": an entry folder of realistic bulk (300 files, 50 MB, half
// text that compresses well, half random bytes that do not, some of it in
// nested folders) stored into an embedded database through the packaging
// module and extracted again, against Info-ZIP's zip and unzip with the
// sqlite3 shell putting the same archive into a table, in the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/Errors.h"
#include "app/IDesktop.h"
#include "db/BlobFile.h"
#include "db/ConnectionInfo.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

namespace {

using BenchSupport::WriteFile;

struct TPackConfig {
    int files = 300;
    qint64 totalBytes = 50LL * 1024 * 1024;
    int runs = 3;
    quint32 randomStart = 20060301;
};

// Text in the manner of notes and documents: words from a few hundred,
// sentences and paragraphs, so that deflate finds what it finds in real text.
QByteArray TextBytes(std::mt19937& rng, qint64 size)
{
    static const QList<QByteArray> words = [] {
        QList<QByteArray> list;
        const char* const stems[] = {"report", "meeting", "budget", "design", "review", "contract", "invoice",
                                     "project", "summary", "analysis", "network", "server", "library", "archive",
                                     "customer", "product", "delivery", "schedule", "version", "release"};
        const char* const endings[] = {"", "s", "ed", "ing", "er", "al", "ly", "ment", "ion", "ive"};
        for (const char* stem : stems)
            for (const char* ending : endings)
                list.append(QByteArray(stem) + ending);
        for (const char* small : {"the", "a", "of", "to", "and", "in", "for", "on", "with", "by", "is", "was"})
            list.append(small);
        return list;
    }();
    std::uniform_int_distribution<int> pick(0, int(words.size()) - 1);
    std::uniform_int_distribution<int> sentence(6, 18);
    std::uniform_int_distribution<int> number(0, 99999);
    QByteArray text;
    text.reserve(size + 64);
    while (text.size() < size) {
        const int count = sentence(rng);
        for (int i = 0; i < count; ++i) {
            QByteArray word = words.at(pick(rng));
            if (i == 0)
                word[0] = char(std::toupper(word[0]));
            text += word;
            text += i + 1 < count ? (i % 7 == 6 ? ", " : " ") : ". ";
        }
        if (number(rng) % 5 == 0)
            text += "Ref. " + QByteArray::number(number(rng)) + ".\n\n";
    }
    text.truncate(size);
    return text;
}

QByteArray RandomBytes(std::mt19937& rng, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i + 4 <= size; i += 4) {
        const quint32 value = rng();
        memcpy(bytes.data() + i, &value, 4);
    }
    for (qint64 i = size - size % 4; i < size; ++i)
        bytes[i] = char(rng());
    return bytes;
}

// Builds the folder: alternately a text and a random file, sizes spread
// around the mean, every fourth file two or three folders deep.
qint64 BuildEntryFolder(const QString& folder, const TPackConfig& config)
{
    std::mt19937 rng(config.randomStart);
    std::uniform_real_distribution<double> spread(0.2, 1.8);
    QList<double> weights;
    for (int i = 0; i < config.files; ++i)
        weights.append(spread(rng));
    double sum = 0;
    for (const double w : weights)
        sum += w;
    qint64 total = 0;
    for (int i = 0; i < config.files; ++i) {
        const qint64 size = qint64(double(config.totalBytes) * weights[i] / sum);
        QString path;
        if (i % 4 == 3)
            path = QStringLiteral("part%1/section%2/%3").arg(i % 3).arg(i % 5).arg(i % 8 == 7 ? QStringLiteral("deep/") : QString());
        const bool text = i % 2 == 0;
        path += QStringLiteral("file%1.%2").arg(i, 3, 10, QLatin1Char('0')).arg(text ? QStringLiteral("txt") : QStringLiteral("bin"));
        WriteFile(folder + path, text ? TextBytes(rng, size) : RandomBytes(rng, size));
        total += size;
    }
    return total;
}

struct TPhase {
    QList<double> ours;
    QList<double> peer;
    double restMB = 0;   // resident size when the phase began
    double peakMB = 0;
};

QString Figures(const QString& label, const TPhase& phase)
{
    const double ours = BenchSupport::Median(phase.ours);
    const double peer = BenchSupport::Median(phase.peer);
    return QStringLiteral("%1: ours %2 ms  peer %3 ms  ratio %4  peak %5 MB (from %6 MB at its start)\n")
        .arg(label)
        .arg(ours, 0, 'f', 0)
        .arg(peer, 0, 'f', 0)
        .arg(ours / std::max(peer, 0.001), 0, 'f', 2)
        .arg(phase.peakMB, 0, 'f', 0)
        .arg(phase.restMB, 0, 'f', 0);
}

int RunPackScenario(const QStringList& arguments)
{
    using namespace BenchSupport;
    QTextStream out(stdout);
    TPackConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--runs"))
            config.runs = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--mb"))
            config.totalBytes = arguments[i + 1].toLongLong() * 1024 * 1024;
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.runs < 1 || config.totalBytes < config.files)
        throw ETessarynError(QStringLiteral("--runs and --mb take positive numbers"));

    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    const QString root = scratch.path() + u'/';
    qputenv("TESSARYN_HOME", (root + QStringLiteral("home/")).toUtf8());
    const QString source = root + QStringLiteral("source/");
    const qint64 sourceBytes = BuildEntryFolder(source, config);

    const QString databaseFile = root + QStringLiteral("tessaryn.db");
    TdmConnection connection(TConnectionInfo::Embedded(databaseFile));
    if (!connection.Connect(false))
        throw EDatabaseError(connection.LastConnectError());
    TSchemaBuilder(connection).Create(false);
    BenchSupport::TSilentDesktop desktop;
    TdmMain main(connection, desktop);
    if (!main.IsInitialized())
        throw ETessarynError(main.InitializationError());
    TdmDB packaging;

    // The peer: the same folder zipped by Info-ZIP, the archive put into a
    // table of its own database by the sqlite3 shell, and unzipped.
    const QString peerDatabase = root + QStringLiteral("peer.db");
    const QString peerArchive = root + QStringLiteral("peer.zip");
    const QString peerOut = root + QStringLiteral("peer-out/");
    TimeProcess(QStringLiteral("sqlite3"), {peerDatabase, QStringLiteral("create table t (x blob)")});
    const QStringList peerInsert = {peerDatabase, QStringLiteral("insert into t values (readfile('%1'))").arg(peerArchive)};

    out << QStringLiteral("pack: %1 files, %2 MB in %3; median of %4 runs after one warm-up\n")
               .arg(config.files)
               .arg(double(sourceBytes) / 1048576.0, 0, 'f', 1)
               .arg(source)
               .arg(config.runs);
    out.flush();

    TPhase store;
    TPhase extract;
    QList<int> codes;
    qint64 archiveBytes = 0;
    qint64 peerArchiveBytes = 0;
    ResetPeakMemory();
    store.restMB = PeakMemoryMB();
    for (int run = 0; run <= config.runs; ++run) {
        std::unique_ptr<TEntryData> entry = NewEntryOver(main, source, QStringLiteral("Pack benchmark"));
        QElapsedTimer timer;
        timer.start();
        if (!packaging.StoreEntry(*entry))
            throw ETessarynError(QStringLiteral("the store failed"));
        const double ours = double(timer.nsecsElapsed()) / 1e6;
        codes.append(entry->Code());
        archiveBytes = TBlobFile::ValueSize(entry->EntryRecordSet().Value(QStringLiteral("Items")));
        entry.reset();

        QFile::remove(peerArchive);
        const double peer = TimeProcess(QStringLiteral("zip"), {QStringLiteral("-9"), QStringLiteral("-r"),
                                                               QStringLiteral("-q"), peerArchive, QStringLiteral(".")},
                                        source)
                            + TimeProcess(QStringLiteral("sqlite3"), peerInsert);
        peerArchiveBytes = QFileInfo(peerArchive).size();
        if (run > 0) {
            store.ours.append(ours);
            store.peer.append(peer);
        }
    }
    store.peakMB = PeakMemoryMB();

    ResetPeakMemory();
    extract.restMB = PeakMemoryMB();
    for (int run = 0; run <= config.runs; ++run) {
        auto entry = std::make_unique<TEntryData>(main, false);
        entry->SetCode(codes.at(run));
        QElapsedTimer timer;
        timer.start();
        packaging.ExtractEntry(*entry);
        const double ours = double(timer.nsecsElapsed()) / 1e6;
        const QString folder = entry->GetFolder();
        entry.reset();
        if (FolderSize(folder) != sourceBytes)
            throw ETessarynError(QStringLiteral("the extraction gave %1 bytes of %2").arg(FolderSize(folder)).arg(sourceBytes));
        QDir(folder).removeRecursively();

        QDir(peerOut).removeRecursively();
        const double peer = TimeProcess(QStringLiteral("unzip"), {QStringLiteral("-q"), peerArchive, QStringLiteral("-d"), peerOut});
        if (FolderSize(peerOut) != sourceBytes)
            throw ETessarynError(QStringLiteral("unzip gave %1 bytes of %2").arg(FolderSize(peerOut)).arg(sourceBytes));
        if (run > 0) {
            extract.ours.append(ours);
            extract.peer.append(peer);
        }
    }
    extract.peakMB = PeakMemoryMB();

    const double archiveMB = double(archiveBytes) / 1048576.0;
    out << QStringLiteral("pack: archive %1 MB (Info-ZIP %2 MB)\n")
               .arg(archiveMB, 0, 'f', 1)
               .arg(double(peerArchiveBytes) / 1048576.0, 0, 'f', 1);
    out << Figures(QStringLiteral("store   (StoreEntry vs zip -9 + sqlite3 insert)"), store);
    out << Figures(QStringLiteral("extract (ExtractEntry vs unzip)"), extract);
    const double peak = std::max(store.peakMB, extract.peakMB);
    out << QStringLiteral("pack: peak memory %1 MB = %2 x the archive (goal under 3 x)\n")
               .arg(peak, 0, 'f', 0)
               .arg(peak / std::max(archiveMB, 0.001), 0, 'f', 2);
    out << QStringLiteral("pack: store_ratio=%1 extract_ratio=%2\n")
               .arg(Median(store.ours) / std::max(Median(store.peer), 0.001), 0, 'f', 2)
               .arg(Median(extract.ours) / std::max(Median(extract.peer), 0.001), 0, 'f', 2);
    return 0;
}

const TBenchRegistration registration({QStringLiteral("pack"),
                                       QStringLiteral("store and extract a 50 MB entry of 300 files against zip -9, "
                                                      "the sqlite3 shell and unzip [--runs N] [--mb N]"),
                                       RunPackScenario});

} // namespace
