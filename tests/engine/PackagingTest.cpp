#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "db/ClientRecordSet.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QLocale>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

// Relative path -> content (folders as "<dir>") of everything below a folder.
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(folder).relativeFilePath(path);
        result.insert(rel, it.fileInfo().isDir() ? QByteArray("<dir>") : ReadFile(path));
    }
    return result;
}

class Packaging : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        main.reset();
        EngineTest::TearDown();
    }

    // A new, empty entry with its folder, as the entry manager makes one.
    std::unique_ptr<TEntryData> NewEntry(const QString& title)
    {
        auto entry = std::make_unique<TEntryData>(*main, false);
        entry->LoadFromPacket(conn->GetEntry(0));
        entry->SetCode(conn->GetNewEntryCode());
        entry->SetTitle(title);
        entry->EntryRecordSet().SetValue("DateCreated", QDateTime(main->CurrentDate(), QTime(0, 0)));
        entry->EntryRecordSet().SetValue("GUID", NewGuidText());
        QDir().mkpath(entry->GetFolder());
        return entry;
    }

    bool Store(TEntryData& entry)
    {
        return entry.Save([this](TEntryData& e) { return dbModule.StoreEntry(e); });
    }

    // The stored entry read back into a fresh object and unpacked.
    std::unique_ptr<TEntryData> Extracted(int code, const QString& name = {}, int kind = 1)
    {
        auto entry = std::make_unique<TEntryData>(*main, false);
        entry->SetCode(code);
        dbModule.ExtractEntry(*entry, name, nullptr, kind);
        return entry;
    }

    QByteArray ItemsOf(int code)
    {
        return conn->GetEntry(code)[0].Value(0, "Items").toByteArray();
    }

    QString ArchiveOutOfDatabase(int code)
    {
        const QString path = TestEnv::ScratchFolder() + "out.zip";
        WriteFile(path, ItemsOf(code));
        return path;
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    TdmDB dbModule;
};

} // namespace

TEST_P(Packaging, AwkwardContentRoundTripsAndReadsWithInfoZip)
{
    auto entry = NewEntry("Round trip");
    const QString f = entry->GetFolder();
    WriteFile(f + "docs/a/b.txt", "nested");
    WriteFile(f + "page.html", "<html>page</html>");
    WriteFile(f + "page_files/style.css", "body{}");
    WriteFile(f + "empty.txt", "");
    WriteFile(f + "it's a \"quoted\" name.txt", "quotes");
    WriteFile(f + "Καλημέρα Привет.txt", "unicode");
    WriteFile(f + QString(196, 'n') + ".txt", "long name");
    QDir().mkpath(f + "empty folder");
    entry->FolderFiles().ListFolder(f);
    entry->FolderFiles().SelectAll();
    const auto before = Snapshot(f);
    ASSERT_TRUE(Store(*entry));
    const int code = entry->Code();
    EXPECT_TRUE(Snapshot(f).isEmpty());   // stored files leave the folder
    EXPECT_FALSE(QFile::exists(entry->GetStoreArchivePath()));
    EXPECT_EQ(conn->GetEntry(code)[1].RowCount(), 8);

    auto back = Extracted(code);
    EXPECT_EQ(Snapshot(back->GetFolder()), before);
    EXPECT_FALSE(QFile::exists(back->GetExtractArchivePath()));
    EXPECT_FALSE(back->IsModified());

    QString listing;
    EXPECT_EQ(TestEnv::Run("unzip", {"-l", ArchiveOutOfDatabase(code)}, &listing), 0);
    EXPECT_TRUE(listing.contains("docs/a/b.txt")) << listing.toStdString();
    const QString target = TestEnv::ScratchFolder();
    EXPECT_EQ(TestEnv::Run("unzip", {"-q", ArchiveOutOfDatabase(code), "-d", target}), 0);
    EXPECT_EQ(Snapshot(target), before);
}

TEST_P(Packaging, FileRowsUseOneReservedBlockAndOnlyMarkedItems)
{
    auto entry = NewEntry("Rows");
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        WriteFile(entry->GetFolder() + name, name);
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    entry->FolderFiles().SetSelectedByName("two.txt", false);
    const int before = conn->ReserveNextRecIDs("entryfiles", 1);
    ASSERT_TRUE(Store(*entry));
    const DataPacket rows = conn->GetEntry(entry->Code())[1];
    ASSERT_EQ(rows.RowCount(), 2);
    QList<int> codes;
    QStringList names;
    for (int i = 0; i < 2; ++i) {
        codes << rows.Value(i, "code").toInt();
        names << rows.Value(i, "Name").toString();
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes[0], before + 1);      // the first code of the block
    EXPECT_EQ(codes[1], codes[0] + 1);    // consecutive for the marked items
    EXPECT_EQ(conn->ReserveNextRecIDs("entryfiles", 1), before + 4);   // three were reserved
    EXPECT_FALSE(names.contains("two.txt"));
    EXPECT_TRUE(QFile::exists(entry->GetFolder() + "two.txt"));   // unmarked files stay
}

TEST_P(Packaging, TitleOnlyChangeKeepsTheArchiveAndAPasswordRebuildsIt)
{
    auto entry = NewEntry("Plain");
    WriteFile(entry->GetFolder() + "secret.txt", QByteArray(5000, 's'));
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    entry->SetDeleteStoredFilesAfterSave(false);   // as when open in the editor
    ASSERT_TRUE(Store(*entry));
    const int code = entry->Code();
    const QByteArray first = ItemsOf(code);

    entry->SetTitle("Renamed");
    ASSERT_TRUE(Store(*entry));
    EXPECT_EQ(ItemsOf(code), first);
    EXPECT_EQ(conn->GetEntry(code)[0].Value(0, "Title").toString(), "Renamed");

    entry->SetPasswordProtected(true);
    entry->SetPassword("pä55 word");
    ASSERT_TRUE(Store(*entry));
    EXPECT_NE(ItemsOf(code), first);
    EXPECT_EQ(conn->GetEntry(code)[0].Value(0, "PasswordProtected").toInt(), 1);
    const QString target = TestEnv::ScratchFolder();
    // AES-256: Info-ZIP cannot read it, 7-Zip can, with the right password only
    const QString sevenZip = QStandardPaths::findExecutable("7z").isEmpty() ? "7zz" : "7z";
    EXPECT_NE(TestEnv::Run(sevenZip, {"x", "-y", "-bso0", "-bse0", "-pwrong", "-o" + target + "wrong",
                                      ArchiveOutOfDatabase(code)}),
              0);
    EXPECT_EQ(TestEnv::Run(sevenZip, {"x", "-y", "-bso0", "-ppä55 word", "-o" + target, ArchiveOutOfDatabase(code)}),
              0);
    EXPECT_EQ(ReadFile(target + "secret.txt"), QByteArray(5000, 's'));
}

TEST_P(Packaging, ProtectedEntriesAskForThePassword)
{
    // an archive made by Info-ZIP goes into a row of a protected entry
    const QString src = TestEnv::ScratchFolder();
    WriteFile(src + "notes/n1.txt", "first note");
    WriteFile(src + "top.txt", "top");
    const QString zipFile = TestEnv::ScratchFolder() + "made-by-zip.zip";
    ASSERT_EQ(TestEnv::Run("zip", {"-q", "-e", "-9", "-r", "-P", "open sesame", zipFile, "notes", "top.txt"}, nullptr, src), 0);
    auto entry = NewEntry("Protected");
    entry->SetPasswordProtected(true);
    entry->EntryRecordSet().SetValue("Items", ReadFile(zipFile));
    entry->EntryRecordSet().Post();
    WriteFile(entry->GetFolder() + "top.txt", "placeholder");   // one marked item for the file row
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    conn->ApplyEntryUpdates(entry->BuildEntryDelta());
    const int code = entry->Code();
    QDir(entry->GetFolder()).removeRecursively();

    desktop.QueuePassword(std::nullopt);   // cancelled: nothing happens, nothing is shown
    EXPECT_THROW(Extracted(code), EAbort);
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_TRUE(Snapshot(entry->GetFolder()).isEmpty());

    desktop.QueuePassword(QString("wrong password"));
    try {
        Extracted(code);
        FAIL() << "a wrong password must not pass";
    } catch (const ETessarynError& e) {
        EXPECT_EQ(e.Message(), TdmDB::NotExtractedText());
    }
    EXPECT_TRUE(Snapshot(entry->GetFolder()).isEmpty());
    EXPECT_FALSE(QFile::exists(entry->GetExtractArchivePath()));

    desktop.QueuePassword(QString("open sesame"));
    auto back = Extracted(code);
    EXPECT_EQ(desktop.passwordRequests, QList<int>({code, code, code}));
    EXPECT_EQ(ReadFile(back->GetFolder() + "notes/n1.txt"), "first note");
    EXPECT_EQ(back->Password(), "open sesame");
}

TEST_P(Packaging, OneItemComesOutWithItsCompanionFolder)
{
    auto entry = NewEntry("Web page");
    WriteFile(entry->GetFolder() + "page.html", "<html/>");
    WriteFile(entry->GetFolder() + "page_files/img.png", "png");
    WriteFile(entry->GetFolder() + "other.txt", "other");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    ASSERT_TRUE(Store(*entry));
    auto back = Extracted(entry->Code(), "page.html", 1);
    const auto got = Snapshot(back->GetFolder());
    EXPECT_EQ(got.keys(), QStringList({"page.html", "page_files", "page_files/img.png"}));
}

TEST_P(Packaging, FailedStoreLeavesDatabaseAndFilesAsTheyWere)
{
    auto entry = NewEntry("Will fail");
    WriteFile(entry->GetFolder() + "keep.txt", "keep me");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    QDir(main->App.CompressionFolder).removeRecursively();
    EXPECT_FALSE(Store(*entry));
    const QStringList texts = desktop.MessageTexts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QString("The following error occurred while compressing files: <Directory <%1> does not "
                                "exist. You must create it first or change the program options to compress files "
                                "in a different folder.>")
                            .arg(ExcludeTrailingBackslash(main->App.CompressionFolder)));
    EXPECT_EQ(texts[1], "Entry was NOT saved.");
    EXPECT_EQ(conn->GetEntry(entry->Code())[0].RowCount(), 0);
    EXPECT_EQ(ReadFile(entry->GetFolder() + "keep.txt"), "keep me");
    EXPECT_TRUE(entry->IsModified());
}

TEST_P(Packaging, FiveHundredFilesRoundTrip)
{
    auto entry = NewEntry("Many");
    for (int i = 0; i < 500; ++i)
        WriteFile(entry->GetFolder() + QString("file%1.txt").arg(i, 3, 10, QChar('0')), QByteArray::number(i));
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    ASSERT_TRUE(Store(*entry));
    auto back = Extracted(entry->Code());
    EXPECT_EQ(back->FolderFiles().Count(), 500);
    EXPECT_EQ(back->EntryFiles().Count(), 500);
    EXPECT_EQ(ReadFile(back->GetFolder() + "file499.txt"), "499");
}

TEST_P(Packaging, LargeArchivesTravelWithoutBeingHeldInMemory)
{
    // Incompressible, so the archive is as large as the file.
    constexpr qint64 kSize = 24 << 20;
    const QString original = TestEnv::ScratchFolder() + "original.bin";
    WriteIncompressibleFile(original, kSize, 7);
    auto entry = NewEntry("Large");
    ASSERT_TRUE(QFile::copy(original, entry->GetFolder() + "large.bin"));
    WriteFile(entry->GetFolder() + "note.txt", "beside it");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();

    // SQLite's page cache fills up to its bound (32 MB on the program's
    // connections) with any large write, whatever holds the archive: back at
    // SQLite's default 2 MB here, so that what grows is what the archive takes.
    if (GetParam() == TEngine::SQLite)
        ASSERT_TRUE(QSqlQuery(conn->Database()).exec("PRAGMA cache_size = -2000"));
    bool stored = false;
    const qint64 storing = PeakMemoryGrowth([&] { stored = Store(*entry); });
    ASSERT_TRUE(stored) << desktop.MessageTexts().join('\n').toStdString();
    ASSERT_GE(storing, 0) << "this kernel cannot reset the peak resident size";
    EXPECT_LT(storing, kSize / 2) << "client memory while storing";

    std::unique_ptr<TEntryData> back;
    const qint64 extracting = PeakMemoryGrowth([&] { back = Extracted(entry->Code()); });
    EXPECT_LT(extracting, kSize / 2) << "client memory while extracting";
    EXPECT_TRUE(SameContent(back->GetFolder() + "large.bin", original));
    EXPECT_EQ(ReadFile(back->GetFolder() + "note.txt"), "beside it");
    EXPECT_FALSE(QFile::exists(back->GetExtractArchivePath()));
    // What the database holds is an archive Info-ZIP finds sound.
    EXPECT_EQ(TestEnv::Run("unzip", {"-tq", ArchiveOutOfDatabase(entry->Code())}), 0);
}

TEST_P(Packaging, LargeEntriesShowProgressAndCancellingLeavesEverythingAsItWas)
{
    constexpr qint64 kSize = 21 << 20;
    auto entry = NewEntry("Progress");
    WriteIncompressibleFile(entry->GetFolder() + "large.bin", kSize, 3);
    WriteFile(entry->GetFolder() + "note.txt", "beside it");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    const QMap<QString, QByteArray> before = Snapshot(entry->GetFolder());

    // Cancel pressed at the second step of packing.
    desktop.cancelProgressAtStep = 1;
    EXPECT_FALSE(Store(*entry));
    EXPECT_EQ(desktop.progressTexts, QStringList{"Compressing the files of \"Progress\"... [cancellable]"});
    EXPECT_EQ(desktop.progressDepth, 0) << "the progress closes again";
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Entry was NOT saved."});
    EXPECT_EQ(conn->GetEntry(entry->Code())[0].RowCount(), 0);
    EXPECT_EQ(Snapshot(entry->GetFolder()), before);
    EXPECT_TRUE(QDir(main->App.CompressionFolder).isEmpty()) << "no half archive is left";
    EXPECT_TRUE(entry->IsModified());

    // Left to run, packing steps forward to its end.
    desktop.Clear();
    desktop.cancelProgressAtStep = -1;
    ASSERT_TRUE(Store(*entry)) << desktop.MessageTexts().join('\n').toStdString();
    ASSERT_GE(desktop.progressSteps.size(), 3);
    for (qsizetype i = 1; i < desktop.progressSteps.size(); ++i)
        EXPECT_GE(desktop.progressSteps[i].first, desktop.progressSteps[i - 1].first);
    EXPECT_EQ(desktop.progressSteps.last(), std::make_pair(qint64(1000), qint64(1000)));

    // Unpacking it again: progress in bytes, and a cancel leaves no file.
    desktop.Clear();
    desktop.cancelProgressAtStep = 2;
    auto back = std::make_unique<TEntryData>(*main, false);
    back->SetCode(entry->Code());
    QDir(back->GetFolder()).removeRecursively();
    EXPECT_THROW(dbModule.ExtractEntry(*back, {}, nullptr, 1), EAbort);
    EXPECT_EQ(desktop.progressTexts, QStringList{"Extracting the files of \"Progress\"... [cancellable]"});
    EXPECT_TRUE(Snapshot(back->GetFolder()).isEmpty());
    EXPECT_FALSE(QFile::exists(back->GetExtractArchivePath()));
    desktop.Clear();
    desktop.cancelProgressAtStep = -1;
    dbModule.ExtractEntry(*back, {}, nullptr, 1);
    EXPECT_EQ(desktop.progressSteps.last().first, desktop.progressSteps.last().second);
    EXPECT_EQ(desktop.progressSteps.last().second, kSize + 9);
    EXPECT_EQ(Snapshot(back->GetFolder()), before);
}

TEST_P(Packaging, SmallEntriesShowNoProgress)
{
    auto entry = NewEntry("Small");
    WriteFile(entry->GetFolder() + "note.txt", "small");
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    ASSERT_TRUE(Store(*entry));
    Extracted(entry->Code());
    EXPECT_TRUE(desktop.progressTexts.isEmpty());
}

TEST_P(Packaging, EntriesAboveTheDatabaseLimitAreRefusedBeforeAnythingIsPacked)
{
    // Sparse files that take no disk: just above the limit, and above what
    // 32 bits can count.
    for (const qint64 bytes : {qint64(1000000001), qint64(2300000000)}) {
        SCOPED_TRACE(bytes);
        desktop.Clear();
        auto entry = NewEntry("Too large");
        WriteFile(entry->GetFolder() + "small.txt", "small");
        {
            QFile big(entry->GetFolder() + "disk.img");
            ASSERT_TRUE(big.open(QIODevice::WriteOnly));
            ASSERT_TRUE(big.resize(bytes));
        }
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        EXPECT_FALSE(Store(*entry));
        const QStringList texts = desktop.MessageTexts();
        ASSERT_EQ(texts.size(), 2);
        const QLocale locale;
        EXPECT_EQ(texts[0], QString("This entry cannot be stored: its files take %1 bytes, more than the %2 bytes (1 GB) "
                                    "that the database can hold in one entry. Nothing was saved; store the files in "
                                    "several entries.")
                                .arg(locale.toString(bytes + 5), locale.toString(qint64(1000000000))));
        EXPECT_EQ(texts[1], "Entry was NOT saved.");
        EXPECT_TRUE(QDir(main->App.CompressionFolder).isEmpty()) << "nothing was packed";
        EXPECT_EQ(conn->GetEntry(entry->Code())[0].RowCount(), 0);
        EXPECT_EQ(QFileInfo(entry->GetFolder() + "disk.img").size(), bytes);
        EXPECT_EQ(ReadFile(entry->GetFolder() + "small.txt"), "small");
        EXPECT_TRUE(entry->IsModified());
        // The list shows the file's whole size.
        const int index = entry->FolderFiles().IndexOf("disk.img");
        ASSERT_GE(index, 0);
        EXPECT_EQ(entry->FolderFiles().Items(index)->Size(), bytes);
    }
}

TESSARYN_INSTANTIATE_ENGINES(Packaging);

// A database on a disk that fills up in the middle of writing an archive.
TEST(PackagingOnAFullDisk, AStoreTheDatabaseCannotTakeLeavesTheStoredArchiveAndTheFiles)
{
    const QString medium = TestEnv::ScratchFolder() + "medium/";
    const TestEnv::TScopedTmpfs disk(medium, "12m");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    TestDatabase::CreateSqliteFile(medium + "tessaryn.db");
    TdmConnection conn(TConnectionInfo::Embedded(medium + "tessaryn.db"));
    ASSERT_TRUE(conn.Connect()) << conn.LastConnectError().toStdString();
    qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
    RecordingDesktop desktop;
    TdmMain main(conn, desktop);
    ASSERT_TRUE(main.IsInitialized()) << main.InitializationError().toStdString();
    TdmDB packaging;
    const auto store = [&](TEntryData& entry) { return entry.Save([&](TEntryData& e) { return packaging.StoreEntry(e); }); };

    auto entry = std::make_unique<TEntryData>(main, false);
    entry->LoadFromPacket(conn.GetEntry(0));
    entry->SetCode(conn.GetNewEntryCode());
    entry->SetTitle("Fills the disk");
    entry->EntryRecordSet().SetValue("DateCreated", QDateTime(main.CurrentDate(), QTime(0, 0)));
    entry->EntryRecordSet().SetValue("GUID", NewGuidText());
    const QString folder = entry->GetFolder();
    WriteFile(folder + "first.txt", "stored first");
    entry->FolderFiles().ListFolder(folder);
    entry->FolderFiles().SelectAll();
    entry->SetDeleteStoredFilesAfterSave(false);
    ASSERT_TRUE(store(*entry));

    WriteIncompressibleFile(folder + "large.bin", 16 << 20, 3);
    WriteFile(folder + "first.txt", "changed since");
    entry->FolderFiles().Refresh();
    entry->FolderFiles().SelectAll();
    entry->SetDeleteStoredFilesAfterSave(true);
    try {
        store(*entry);
        FAIL() << "a 16 MB archive cannot fit on a 12 MB disk";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains("full")) << e.Message().toStdString();
    }
    // Nothing was deleted or moved away, and the database still holds the first archive.
    EXPECT_EQ(ReadFile(folder + "first.txt"), "changed since");
    EXPECT_EQ(QFileInfo(folder + "large.bin").size(), 16 << 20);
    EXPECT_TRUE(QDir(main.App.CompressionFolder).isEmpty());
    EXPECT_TRUE(entry->IsModified());
    auto back = std::make_unique<TEntryData>(main, false);
    back->SetCode(entry->Code());
    back->SetFolderOverride(TestEnv::ScratchFolder());
    packaging.ExtractEntry(*back);
    EXPECT_EQ(Snapshot(back->GetFolder()), (QMap<QString, QByteArray>{{"first.txt", "stored first"}}));
}
