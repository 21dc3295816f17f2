#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "db/DatabaseMaintenance.h"
#include "engine/Category.h"
#include "maintenance/fDatabaseMaintenance.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The four maintenance windows driven like a user, on each engine.
class MaintenanceWindowsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        conn->ReserveNextRecIDs("categories", 100);
        Exec("insert into categories (code, parent, name) values (1, 0, 'Notes')");
        Exec("insert into entries (code, category, Title, PasswordProtected) values (1, 1, 'One', 0), "
             "(2, 1, 'Two', 0)");
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        folder = TestEnv::ScratchFolder() + "/backups";
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    void TearDown() override
    {
        main.reset();
        EngineTest::TearDown();
    }
    void Exec(const QString& sql)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    int Count(const QString& table)
    {
        QSqlQuery q(conn->Database());
        EXPECT_TRUE(q.exec("select count(*) from " + table) && q.next());
        return q.value(0).toInt();
    }
    QStringList Backups() const { return QDir(folder).entryList({"*.dat"}, QDir::Files); }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    QString folder;
};

TEST_P(MaintenanceWindowsTest, StatisticsShowTheCountsWhenShown)
{
    Exec("insert into bookmarkSets (code, GUID, name) values (100, 'x', 'Mine')");
    TFrmDatabaseStatistics window(*main);
    EXPECT_EQ(window.windowTitle(), "Database statistics");
    EXPECT_EQ(window.laEntries->text(), "---");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.laEntries->text(), "2");
    EXPECT_EQ(window.laCategories->text(), "1");
    EXPECT_EQ(window.laBookmarkSets->text(), "2");
}

TEST_P(MaintenanceWindowsTest, BackupCompactAndRestoreThroughTheirWindows)
{
    // the folder typed without its slash is kept with one
    {
        TfrmBackupDatabase window(*main);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.windowTitle(), "Backup Tessaryn Database");
        window.edFolder->setText(folder);
        Click(window.btnBackup);
        EXPECT_FALSE(window.isVisible());
        ASSERT_EQ(Backups().size(), 1);
        EXPECT_EQ(desktop.MessageTexts(),
                  QStringList{"Tessaryn database has been successfully backed up to file \"" +
                              QDir::toNativeSeparators(window.BackupFile()) + "\""});
    }
    EXPECT_EQ(main->App.BackupFolder, folder + "/");
    const QString backup = folder + "/" + Backups().first();

    // changes after the backup: an entry, a category and a setting
    const bool expand = main->App.AutoExpandSearchEntries;
    Exec("insert into entries (code, category, Title, PasswordProtected) values (3, 1, 'Three', 0)");
    Exec("insert into categories (code, parent, name) values (2, 0, 'Added later')");
    main->Categories().Load(0);
    ASSERT_EQ(main->Categories().Count(), 2);
    main->App.AutoExpandSearchEntries = !expand;
    main->SaveSettings();
    main->Settings().Flush();

    // compaction keeps them
    desktop.Clear();
    {
        TFrmShrinkDatabase window(*main);
        window.show();
        Click(window.btnCompact);
        EXPECT_FALSE(window.isVisible());
    }
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Tessaryn database has been compacted successfully."});
    EXPECT_EQ(Count("entries"), 3);

    // the restore window starts with a pattern, which is no file
    desktop.Clear();
    TFrmRestoreDatabase window(*main);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.edFile->text(), QDir::toNativeSeparators(folder + "/*.dat"));
    Click(window.btnRestore);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Backup file " + QDir::toNativeSeparators(folder + "/*.dat") +
                                                  " does not exist. Please select an existing backup file to proceed."});
    desktop.Clear();
    window.edFile->setText(QDir::toNativeSeparators(backup));
    Click(window.btnRestore);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Tessaryn database has been successfully restored."});
    // the data, the categories in memory and the settings are the backup's
    EXPECT_EQ(Count("entries"), 2);
    EXPECT_EQ(main->Categories().Count(), 1);
    EXPECT_EQ(main->App.AutoExpandSearchEntries, expand);
    // and nothing of before is written back when the program ends
    main.reset();
    main = std::make_unique<TdmMain>(*conn, desktop);
    EXPECT_EQ(main->App.AutoExpandSearchEntries, expand);
}

TEST_P(MaintenanceWindowsTest, AFailedBackupSaysWhyAndTheWindowStays)
{
    TfrmBackupDatabase window(*main);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.edFolder->setText(TestEnv::ScratchFolder() + "/not there");
    Click(window.btnBackup);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(desktop.messages[0].text.contains("does not exist")) << desktop.messages[0].text.toStdString();
    // with the folder window asked for, the folder opens instead of a message
    desktop.Clear();
    window.edFolder->setText(folder);
    window.chkOpenFolder->setChecked(true);
    Click(window.btnBackup);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_EQ(desktop.explored, QStringList{folder + "/"});
}

TESSARYN_INSTANTIATE_ENGINES(MaintenanceWindowsTest);

} // namespace
