#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "app/AccessChecks.h"
#include "db/ClientRecordSet.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/ProtectedFolders.h"
#include "engine/dDB.h"
#include "search/SearchOptions.h"
#include "settings/DatabaseSettingsManager.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

class MainDataModule : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // each test gets its own data folder, as a fresh installation would
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
    }

    std::unique_ptr<TdmMain> Start()
    {
        auto main = std::make_unique<TdmMain>(*conn, desktop);
        EXPECT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        return main;
    }

    QString SettingsValues(const QString& keySuffix)
    {
        QSqlQuery q(conn->Database());
        q.exec("select _key, _values from settings");
        QStringList all;
        while (q.next())
            if (q.value(0).toString().endsWith(keySuffix))
                all << q.value(1).toString();
        return all.join("\n");
    }

    void Touch(const QString& path, const QDateTime& when = QDateTime::currentDateTime())
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        QFile g(path);
        ASSERT_TRUE(g.open(QIODevice::ReadWrite));
        ASSERT_TRUE(g.setFileTime(when, QFileDevice::FileModificationTime));
    }

    // A stored entry of one file, protected when a password is given; its code.
    int StoreEntry(TdmMain& main, const QString& name, const QString& password)
    {
        std::unique_ptr<TEntryData> entry = main.EntryManager().CreateNewEntry(false);
        WriteFile(entry->GetFolder() + name, "content");
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        if (!password.isEmpty()) {
            entry->SetPasswordProtected(true);
            entry->SetPassword(password);
        }
        EXPECT_TRUE(entry->Save([&main](TEntryData& e) { return main.DB().StoreEntry(e); }))
            << desktop.MessageTexts().join(" / ").toStdString();
        return entry->Code();
    }

    QString home;
    RecordingDesktop desktop;
};

} // namespace

TEST_P(MainDataModule, FreshDatabaseGivesDefaultsFoldersAndStoresThemAtExit)
{
    {
        auto main = Start();
        EXPECT_EQ(main->App.ExtractFolder, home + "Extracted/");
        EXPECT_EQ(main->App.CompressionFolder, home + "Compression/");
        for (const QString& folder : {main->App.ExtractFolder, main->App.MonitoredFolder, main->App.CompressionFolder,
                                      main->App.MailFolder, main->App.ExportFolder})
            EXPECT_TRUE(QDir(folder).exists()) << folder.toStdString();
        EXPECT_EQ(main->App.EntriesSortOrder, 2);
        EXPECT_EQ(main->EntriesSortField(), "ReverseCreationOrder");
        EXPECT_EQ(main->App.MailAddress, "<Enter your e-mail address here>");
        EXPECT_TRUE(main->SearchOptions().AllCategories);
    }
    const QString entries = SettingsValues("Settings\\entries\\");
    EXPECT_TRUE(entries.contains("Entries sort order=2")) << entries.toStdString();
    const QString folders = SettingsValues("Settings\\folders\\");
    EXPECT_TRUE(folders.contains("Extract folder=" + home + "Extracted/"));
    EXPECT_FALSE(folders.contains("Compression folder="));   // read only, never written
    EXPECT_TRUE(SettingsValues("Settings\\Search options\\").contains("Search in titles=1"));
}

TEST_P(MainDataModule, SettingsSurviveARestartExceptLargeIcons)
{
    {
        auto main = Start();
        main->App.EntriesSortOrder = 3;
        main->App.MailSmtpHost = "smtp.o'brien.example";
        main->App.AllowAnyFileSize = true;
        main->App.FolderView = 1;
        main->App.ExtractFolder = home + "elsewhere";   // no trailing slash
        main->App.HtmlBackgroundColor = "FF";           // stored as typed...
        main->SearchOptions().Keys = "ignored";           // keys are not a setting
        main->SearchOptions().IncludeSubcategories = false;
    }
    auto main = Start();
    EXPECT_EQ(main->App.EntriesSortOrder, 3);
    EXPECT_EQ(main->EntriesSortField(), "title");
    EXPECT_EQ(main->App.MailSmtpHost, "smtp.o'brien.example");
    EXPECT_TRUE(main->App.AllowAnyFileSize);
    EXPECT_EQ(main->App.FolderView, 0);
    EXPECT_EQ(main->App.ExtractFolder, home + "elsewhere/");
    EXPECT_TRUE(QDir(home + "elsewhere").exists());
    EXPECT_FALSE(main->SearchOptions().IncludeSubcategories);
    EXPECT_EQ(main->App.HtmlBackgroundColor, "0000FF");   // ...used with six digits
}

TEST_P(MainDataModule, CleanupPolicyDecidesWhenExtractedFilesGo)
{
    for (const int policy : {2, 1, 0}) {
        {
            auto main = Start();
            main->App.CleanupTemporaryFiles = policy;
            Touch(main->App.ExtractFolder + "12/notes.txt");
        }
        const bool goneAtExit = !QFile::exists(home + "Extracted/12/notes.txt");
        EXPECT_EQ(goneAtExit, policy != 2) << "policy " << policy;
        if (policy == 2) {
            auto main = Start();   // emptied at the next start
            EXPECT_FALSE(QFile::exists(home + "Extracted/12/notes.txt"));
            EXPECT_TRUE(QDir(home + "Extracted").exists());
        }
    }
}

TEST_P(MainDataModule, PlainCopiesOfProtectedEntriesDoNotOutliveTheRun)
{
    QString locked, unlocked, list;
    QByteArray listed;
    {
        auto main = Start();
        // The default policy keeps extracted files until the next start.
        ASSERT_EQ(main->App.CleanupTemporaryFiles, 2);
        const int lockedCode = StoreEntry(*main, "secret.txt", "pw");
        const int unlockedCode = StoreEntry(*main, "public.txt", {});
        locked = main->App.ExtractFolder + QString::number(lockedCode) + "/";
        unlocked = main->App.ExtractFolder + QString::number(unlockedCode) + "/";
        desktop.QueuePassword(QString("pw"));
        ASSERT_TRUE(main->EntryManager().ExtractEntries({lockedCode, unlockedCode}));
        ASSERT_EQ(ReadFile(locked + "secret.txt"), "content");
        // What a run that died here would leave for the next start.
        list = main->ProtectedFolders().ListPath();
        listed = ReadFile(list);
        EXPECT_EQ(listed, locked.toUtf8() + "\n");
    }
    // Whatever the policy, a protected entry's folder goes at the end.
    EXPECT_FALSE(QDir(locked).exists());
    EXPECT_EQ(ReadFile(unlocked + "public.txt"), "content");
    EXPECT_FALSE(QFile::exists(list));

    {
        auto main = Start();
        main->App.CleanupTemporaryFiles = 1;   // from now on nothing is cleaned at start
    }
    // The run died with the protected entry extracted.
    WriteFile(locked + "secret.txt", "content");
    WriteFile(unlocked + "public.txt", "content");
    WriteFile(list, listed);
    auto main = Start();
    EXPECT_FALSE(QDir(locked).exists());
    EXPECT_EQ(ReadFile(unlocked + "public.txt"), "content");
    EXPECT_FALSE(QFile::exists(list));
}

TEST_P(MainDataModule, MailedPlainCopiesOfProtectedEntriesDoNotOutliveTheRun)
{
    QString locked, unlocked, list;
    QByteArray listed;
    {
        auto main = Start();
        main->App.MailSmtpHost = "smtp.example.org";
        main->App.MailAddress = "me@example.org";
        main->App.MailAsZip = false;   // the files themselves are attached
        const int lockedCode = StoreEntry(*main, "secret.txt", "pw");
        const int unlockedCode = StoreEntry(*main, "public.txt", {});
        desktop.QueuePassword(QString("pw"));
        const auto mail = main->EntryManager().PrepareMail({lockedCode, unlockedCode});
        ASSERT_TRUE(mail.has_value()) << desktop.MessageTexts().join(" / ").toStdString();
        locked = main->App.MailFolder + QString::number(lockedCode) + "/";
        unlocked = main->App.MailFolder + QString::number(unlockedCode) + "/";
        ASSERT_TRUE(mail->attachments.contains(locked + "secret.txt"));
        ASSERT_EQ(ReadFile(locked + "secret.txt"), "content");
        list = main->ProtectedFolders().ListPath();
        listed = ReadFile(list);
        EXPECT_TRUE(listed.split('\n').contains(locked.toUtf8())) << listed.toStdString();
    }
    // The mail folder keeps its files two days; not the plain copy of a protected entry.
    EXPECT_FALSE(QDir(locked).exists());
    EXPECT_EQ(ReadFile(unlocked + "public.txt"), "content");
    EXPECT_FALSE(QFile::exists(list));

    // A run that died with the mailed copy still there: the next start removes it.
    WriteFile(locked + "secret.txt", "content");
    WriteFile(list, listed);
    auto main = Start();
    EXPECT_FALSE(QDir(locked).exists());
    EXPECT_EQ(ReadFile(unlocked + "public.txt"), "content");
}

TEST(ProtectedFolders, OnlyEntryFoldersAreEverRemoved)
{
    const QString scratch = TestEnv::ScratchFolder();
    const QString list = scratch + "list";
    const QString extract = scratch + "Extracted/";
    for (const QString& folder : QStringList{extract + "12/", extract, extract + "1a/"})
        WriteFile(folder + "file.txt", "x");
    // A list damaged or edited by hand names other folders too.
    WriteFile(list, (extract + "12/\n" + extract + "\n" + extract + "1a\n12/\n/\n").toUtf8());
    TProtectedFolders folders(list);
    EXPECT_EQ(folders.Folders(), QStringList{extract + "12/"});
    folders.RemoveAll();
    EXPECT_FALSE(QDir(extract + "12").exists());
    EXPECT_EQ(ReadFile(extract + "file.txt"), "x");
    EXPECT_EQ(ReadFile(extract + "1a/file.txt"), "x");
    EXPECT_FALSE(QFile::exists(list));
}

TEST_P(MainDataModule, OldMailFilesAreDeletedAtExit)
{
    {
        auto main = Start();
        Touch(main->App.MailFolder + "old/three-days.zip", QDateTime::currentDateTime().addDays(-3));
        Touch(main->App.MailFolder + "recent/yesterday.zip", QDateTime::currentDateTime().addDays(-1));
    }
    EXPECT_FALSE(QFile::exists(home + "Mail/old/three-days.zip"));
    EXPECT_FALSE(QDir(home + "Mail/old").exists());   // emptied subfolders go too
    EXPECT_TRUE(QFile::exists(home + "Mail/recent/yesterday.zip"));
}

TEST_P(MainDataModule, MalformedStoredSettingFailsInitialization)
{
    {
        auto main = Start();
    }
    db->ExecOutside("update settings set _values = 'Entries sort order=abc' where _key = '"
                    + TDatabaseSettingsManager::ExecutableKeyPrefix() + "Settings\\entries\\'");
    TdmMain main(*conn, desktop);
    EXPECT_FALSE(main.IsInitialized());
    EXPECT_TRUE(main.InitializationError().contains("abc")) << main.InitializationError().toStdString();
}

TEST_P(MainDataModule, PackDeltasGivesNullForUnchangedRecordSets)
{
    auto main = Start();
    ClientRecordSet a, b;
    const DataPackets packets = conn->GetEntry(0);
    a.LoadFromPacket(packets[0]);
    b.LoadFromPacket(packets[1]);
    b.Append();
    b.SetValue("Name", "x");   // left unposted: PackDeltas posts it
    const DeltaArray deltas = main->PackDeltas({&a, &b});
    ASSERT_EQ(deltas.size(), 2);
    EXPECT_FALSE(deltas[0].has_value());
    ASSERT_TRUE(deltas[1].has_value());
    EXPECT_EQ(deltas[1]->rows.size(), 1);
}

TESSARYN_INSTANTIATE_ENGINES(MainDataModule);

namespace {
struct TCountingObserver : IColorSchemeObserver {
    int calls = 0;
    void ApplyColorScheme() override { ++calls; }
};
} // namespace

TEST(ColourScheme, PaletteObserversAndHtmlColourRules)
{
    auto db = TestDatabase::Create(TEngine::SQLite);
    auto conn = db->Connect();
    RecordingDesktop desktop;
    qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
    TdmMain main(*conn, desktop);
    ASSERT_TRUE(main.IsInitialized()) << main.InitializationError().toStdString();

    TCountingObserver observer;
    main.AddColorSchemeObserver(&observer);
    main.SetColourScheme(0);
    EXPECT_EQ(observer.calls, 1);
    EXPECT_EQ(main.Colour(csHighlightStart), QColor(0xAF, 0xB9, 0xC3));
    EXPECT_EQ(main.Colour(csHighlightEnd), QColor(0xD7, 0xE1, 0xEB));   // lightened by 40
    EXPECT_EQ(main.Colour(csSplitterButton), main.Colour(csWindow));
    main.SetColourScheme(3);
    EXPECT_EQ(main.Colour(csSplitterArrow), QColor(0xF6, 0xB0, 0x56));
    EXPECT_EQ(main.Colour(csHighlightEnd), QColor(0xFA, 0xF6, 0xCD));

    main.SetScreenDepth(16);   // no gradient on a 16-bit display
    main.SetColourScheme(1);
    EXPECT_EQ(main.Colour(csHighlightStart), TdmMain::Lighten(QColor(0xCA, 0xCB, 0xCC), 16));
    EXPECT_EQ(main.Colour(csHighlightEnd), main.Colour(csHighlightStart));
    main.RemoveColorSchemeObserver(&observer);
    main.SetColourScheme(2);
    EXPECT_EQ(observer.calls, 3);   // not told after it left

    main.App.HtmlBackgroundColor = "102030";
    EXPECT_EQ(main.GetHTMLBackgroundColour(), "302010");
    main.SetHTMLBackgroundColour("FF");   // a picker's blue-green-red, padded to six digits
    EXPECT_EQ(main.App.HtmlBackgroundColor, "0000FF");
    EXPECT_EQ(TdmMain::Lighten(QColor(250, 10, 240), 40), QColor(255, 50, 255));
}

// A database on a medium that cannot be written is opened for reading: it
// can be searched, the user is told once, and a change is refused whole.
TEST(ReadOnlyDatabase, IsOpenedForReadingAndSaidSoOnce)
{
    const QString medium = TestEnv::ScratchFolder() + "/medium";
    TestEnv::TScopedTmpfs disk(medium, "16m");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString file = medium + "/tessaryn.db";
    TestDatabase::CreateSqliteFile(file, {"insert into entries (code, Title, PasswordProtected) values (1, 'kept', 0)"});
    ASSERT_TRUE(disk.RemountReadOnly());

    TdmConnection reader(TConnectionInfo::Embedded(file));
    ASSERT_TRUE(reader.Connect()) << reader.LastConnectError().toStdString();
    EXPECT_TRUE(reader.ReadOnly());
    EXPECT_EQ(reader.CountEntries(), 1);
    qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
    RecordingDesktop desktop;
    {
        TdmMain main(reader, desktop);
        ASSERT_TRUE(main.IsInitialized()) << main.InitializationError().toStdString();
        EXPECT_EQ(desktop.MessageTexts(), QStringList{TdmMain::ReadOnlyText().arg(file)});
        // changes are refused before they start, saying why
        desktop.Clear();
        EXPECT_EQ(main.EntryManager().CreateNewEntry(false), nullptr);
        EXPECT_FALSE(main.EntryManager().DeleteEntries({1}, {"kept"}));
        EXPECT_FALSE(main.EntryManager().MoveEntriesUnderCategory({1}, 0));
        // (the deletion asks its question first, then says why it cannot)
        EXPECT_EQ(desktop.MessageTexts().count(ReadOnlyDatabaseText()), 3);
        EXPECT_EQ(desktop.MessageTexts().value(0), ReadOnlyDatabaseText());
    }
    QSqlQuery q(reader.Database());
    EXPECT_FALSE(q.exec("delete from entries"));
    EXPECT_EQ(reader.CountEntries(), 1);
}
