#include "TestEnv.h"
#include "TestFiles.h"
#include "engine/MonitoredFolderWatcher.h"
#include "engine/StableFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class MonitoredFolderWatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestEnv::ScratchFolder() + "/monitored/";
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        watcher.QuietMs = 200;
        watcher.PollMs = 40;
        watcher.SetFolder(folder);
        watcher.Start();
    }

    // Runs the event loop until the next notice or the time limit; the
    // milliseconds it took, -1 without a notice.
    qint64 WaitForNotice(int limitMs)
    {
        QElapsedTimer clock;
        clock.start();
        const int before = notices;
        while (notices == before && clock.elapsed() < limitMs)
            QTest::qWait(10);
        return notices == before ? -1 : clock.elapsed();
    }

    QString folder;
    int notices = 0;
    TMonitoredFolderWatcher watcher{[this] { ++notices; }};
};

TEST_F(MonitoredFolderWatcherTest, ABurstOfFilesAnywhereBelowIsToldOnceWhenTheFolderRests)
{
    // 5,000 files at once, most of them in a subfolder made on the way.
    for (int i = 0; i < 5000; ++i)
        WriteFile(folder + (i % 2 ? QString("sub/deeper/f%1.txt") : QString("f%1.txt")).arg(i), "x");
    const qint64 took = WaitForNotice(5000);
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 3000);
    QTest::qWait(400);
    EXPECT_EQ(notices, 1);

    // A deletion is a change as well.
    QFile::remove(folder + "sub/deeper/f7.txt");
    EXPECT_GE(WaitForNotice(3000), 0);
    EXPECT_EQ(notices, 2);

    // Stopped: nothing is told, not even afterwards.
    watcher.Stop();
    WriteFile(folder + "late.txt", "late");
    QTest::qWait(500);
    watcher.Start();
    QTest::qWait(400);
    EXPECT_EQ(notices, 2);
}

TEST_F(MonitoredFolderWatcherTest, AFileStillBeingWrittenIsNotToldUntilItIsComplete)
{
    std::atomic<bool> done = false;
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> finishedAt = -1;
    std::thread writer([&] {
        QFile file(folder + "download.part");
        if (!file.open(QIODevice::WriteOnly))
            return;
        for (int i = 0; i < 12; ++i) {
            file.write(QByteArray(1024, 'd'));
            file.flush();
            QThread::msleep(80);
        }
        finishedAt = clock.elapsed();
        done = true;
    });
    QElapsedTimer wait;
    wait.start();
    while (notices == 0 && wait.elapsed() < 5000)
        QTest::qWait(10);
    const qint64 noticeAt = clock.elapsed();
    writer.join();
    ASSERT_EQ(notices, 1);
    ASSERT_GE(finishedAt.load(), 0);
    EXPECT_GE(noticeAt, finishedAt.load()) << "the notice came while the file was still growing";
}

} // namespace

namespace {

// Names that are not valid text are shown byte by byte where they fail.
TEST(ReadableFileName, EscapesWhatIsNotText)
{
    const struct {
        QByteArray bytes;
        const char* shown;
    } cases[] = {
        {"plain.txt", "plain.txt"},
        {"caf\xc3\xa9.txt", "caf\xc3\xa9.txt"},          // valid UTF-8 stays as it is
        {"bad\xff.txt", "bad\\xFF.txt"},                 // a byte that never starts a character
        {"over\xc0\xaf.txt", "over\\xC0\\xAF.txt"},      // an overlong '/'
        {"half\xed\xa0\x80.txt", "half\\xED\\xA0\\x80.txt"},  // a surrogate
        {"cut\xe2\x82", "cut\\xE2\\x82"},                // a character cut short
        {"new\nline\\.txt", "new\\x0Aline\\\\.txt"},     // a control character; the escape itself
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadableFileName(c.bytes), QString::fromUtf8(c.shown)) << c.shown;
}

} // namespace
