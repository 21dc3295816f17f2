// Scenario "monitor": 2,000 files of 4 KB written into the monitored folder
// in one burst. Measured: the time from the last write to the program's
// notice (the folder watcher waits until the folder is at rest), and the
// time to turn all the files into one entry (copied out of the folder,
// stored, the originals then removed), against the store of the same files
// by the packaging module alone, as the "pack" scenario stores a folder, in
// the same run.

#include "BenchRegistry.h"
#include "BenchSupport.h"

#include "app/Errors.h"
#include "db/ConnectionInfo.h"
#include "db/SchemaBuilder.h"
#include "db/dmConnection.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileLists.h"
#include "engine/MonitoredFolderWatcher.h"
#include "engine/OpenEntries.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <random>

namespace {

struct TMonitorConfig {
    int files = 2000;
    int fileBytes = 4096;
    int quietMs = 500;
};

void WriteBurst(const QString& folder, const TMonitorConfig& config, std::mt19937& rng)
{
    for (int i = 0; i < config.files; ++i) {
        QByteArray bytes(config.fileBytes, Qt::Uninitialized);
        for (char& c : bytes)
            c = char('a' + rng() % 26);
        BenchSupport::WriteFile(folder + QStringLiteral("drop%1.txt").arg(i, 5, 10, QLatin1Char('0')), bytes);
    }
}

int RunMonitorScenario(const QStringList& arguments)
{
    QTextStream out(stdout);
    TMonitorConfig config;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--files"))
            config.files = arguments[i + 1].toInt();
        else
            throw ETessarynError(QStringLiteral("unknown option ") + arguments[i]);
    }
    if (config.files < 1)
        throw ETessarynError(QStringLiteral("--files takes a positive number"));

    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw ETessarynError(QStringLiteral("no temporary folder"));
    const QString root = scratch.path() + u'/';
    qputenv("TESSARYN_HOME", (root + QStringLiteral("home/")).toUtf8());
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
    TEntryManager manager(main, packaging);
    manager.StableFileQuietMs = config.quietMs;
    TEntryData* opened = nullptr;
    manager.OpenEntries().ShowEditor = [&opened](TEntryData* entry, bool) { opened = entry; };
    const QString monitored = main.App.MonitoredFolder;
    QDir().mkpath(monitored);
    std::mt19937 rng(20061105);

    out << QStringLiteral("monitor: %1 files of %2 bytes written into %3 in one burst\n")
               .arg(config.files)
               .arg(config.fileBytes)
               .arg(monitored);
    out.flush();

    // The notice.
    QEventLoop loop;
    QElapsedTimer sinceLastWrite;
    double noticeMs = -1;
    int notices = 0;
    TMonitoredFolderWatcher watcher([&] {
        ++notices;
        noticeMs = double(sinceLastWrite.nsecsElapsed()) / 1e6;
        loop.quit();
    });
    watcher.QuietMs = config.quietMs;
    watcher.SetFolder(monitored);
    watcher.Start();
    WriteBurst(monitored, config, rng);
    sinceLastWrite.start();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    watcher.Stop();
    if (noticeMs < 0)
        throw ETessarynError(QStringLiteral("no notice within 30 s"));

    // The reference: the same bytes stored by the packaging module alone,
    // from a folder of the same kind.
    const QString reference = root + QStringLiteral("reference/");
    std::mt19937 referenceRng(20061105);
    WriteBurst(reference, config, referenceRng);
    double packMs = 0;
    {
        std::unique_ptr<TEntryData> entry = BenchSupport::NewEntryOver(main, reference, QStringLiteral("Reference"));
        QElapsedTimer timer;
        timer.start();
        if (!packaging.StoreEntry(*entry))
            throw ETessarynError(QStringLiteral("the reference store failed"));
        packMs = double(timer.nsecsElapsed()) / 1e6;
    }

    // The store: every file of the monitored folder cut into one new entry,
    // which is stored; the originals leave the folder after the store.
    QElapsedTimer timer;
    timer.start();
    TFolderFiles list(main, nullptr);
    list.ListFolder(monitored);
    list.SelectAll();
    if (!manager.CreateEntryFromFolderFiles(list, false) || !opened)
        throw ETessarynError(QStringLiteral("no entry was made from the monitored folder"));
    opened->SetTitle(QStringLiteral("Monitor benchmark"));
    if (!opened->Save([&packaging](TEntryData& entry) { return packaging.StoreEntry(entry); }))
        throw ETessarynError(QStringLiteral("the store failed"));
    const double storeMs = double(timer.nsecsElapsed()) / 1e6;
    const int left = int(QDir(monitored).entryList(QDir::Files | QDir::NoDotAndDotDot).size());
    if (left != 0)
        throw ETessarynError(QStringLiteral("%1 files were left in the monitored folder").arg(left));
    manager.OpenEntries().CloseEntry(opened);

    out << QStringLiteral("monitor: %1 notice(s) for the burst\n").arg(notices);
    out << QStringLiteral("monitor: store %1 ms against %2 ms of the packaging module alone: ratio %3 (goal "
                          "within 1.2)\n")
               .arg(storeMs, 0, 'f', 0)
               .arg(packMs, 0, 'f', 0)
               .arg(storeMs / std::max(packMs, 0.001), 0, 'f', 2);
    out << QStringLiteral("monitor: notice=%1 ms store=%2 ms\n").arg(noticeMs, 0, 'f', 0).arg(storeMs, 0, 'f', 0);
    return 0;
}

const TBenchRegistration registration({QStringLiteral("monitor"),
                                       QStringLiteral("2,000 files of 4 KB dropped into the monitored folder: time "
                                                      "to the notice, and to store them as one entry [--files N]"),
                                       RunMonitorScenario});

} // namespace
