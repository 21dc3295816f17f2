#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/fEntryBrowser.h"
#include "controls/ResBitBtn.h"
#include "editing/fEntry.h"
#include "editing/fSelectBookmarkSet.h"
#include "editing/fSelectCategories.h"
#include "editing/fSelectEntry.h"
#include "engine/fMailEntries.h"
#include "engine/frmPasswordProtect.h"
#include "engine/frmQuickNote.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/fMain.h"
#include "maintenance/fDatabaseMaintenance.h"
#include "organisation/fBookmarkSetManager.h"
#include "organisation/fCategories.h"
#include "preferences/fPreferences.h"
#include "settings/dmMain.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

// The command buttons of the program's windows, as the user sees them: each
// is one of the program's picture buttons and shows its picture beside the
// caption, in every window, enabled or not.
class CommandButtonPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        ASSERT_TRUE(TAppResources::Register());
        db = TestDatabase::Create(TEngine::SQLite);
        conn = db->Connect();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        mainWindow.reset();
        main.reset();
        conn.reset();
        db.reset();
    }

    // The windows with command buttons, each made anew.
    std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> Windows()
    {
        return {
            {"preferences",
             [&] {
                 // the window edits the main window's task assistant and toolbar
                 if (!mainWindow)
                     mainWindow = std::make_unique<TfrmTessarynMain>(*main);
                 TMainLayoutManager& layout = mainWindow->LayoutManager();
                 return std::make_unique<TFrmPreferences>(
                     *main, TFrmPreferences::TLayoutOwners{layout.TaskAssistant(), layout.Toolbar()});
             }},
            {"category manager", [&] { return std::make_unique<TfrmCategories>(*main); }},
            {"category window", [&] { return std::make_unique<TfrmEditCategory>(*main); }},
            {"bookmark-set manager", [&] { return std::make_unique<TfrmBookmarkSetManager>(*main); }},
            {"bookmark-set window", [&] { return std::make_unique<TFrmEditBookmarkSet>(*main); }},
            {"bookmark-set picker", [&] { return std::make_unique<TFrmSelectBookmarkSet>(*main); }},
            {"category picker", [&] { return std::make_unique<TfrmSelectCategories>(*main); }},
            {"entry picker", [&] { return std::make_unique<TFrmSelectEntry>(*main); }},
            {"entry editor", [&] { return std::make_unique<TfrmEntry>(*main); }},
            {"entry browser",
             [&] {
                 auto host = std::make_unique<QWidget>();
                 host->resize(700, 260);
                 CreateEntryBrowser(*main, host.get())->ShowSearchBox();
                 return host;
             }},
            {"mail", [&] { return std::make_unique<TfrmMailEntries>(*main); }},
            {"quick note", [&] { return std::make_unique<TFrmQuickNote>(*main); }},
            {"password", [&] { return std::make_unique<TFrmPasswordProtect>(); }},
            {"compaction", [&] { return std::make_unique<TFrmShrinkDatabase>(*main); }},
            {"backup", [&] { return std::make_unique<TfrmBackupDatabase>(*main); }},
            {"restore", [&] { return std::make_unique<TFrmRestoreDatabase>(*main); }},
        };
    }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TdmConnection> conn;
    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmTessarynMain> mainWindow;
};

// Buttons that are no command buttons: the preferences' small "..." folder
// buttons and the category picker's switch of its shortcut list.
const QStringList kNotCommands = {"btnMonitoredFolder", "btnExtractFolder", "btnExportFolder", "btnBackupFolder",
                                  "btnShortcuts"};

TEST_F(CommandButtonPictures, EveryCommandButtonShowsItsPicture)
{
    int seen = 0;
    for (const auto& [name, make] : Windows()) {
        SCOPED_TRACE(name);
        std::unique_ptr<QWidget> window = make();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->objectName().startsWith(QLatin1String("btn")) || kNotCommands.contains(button->objectName()))
                continue;
            SCOPED_TRACE(button->objectName().toStdString());
            ++seen;
            auto* picture = qobject_cast<TResBitBtn*>(button);
            ASSERT_TRUE(picture) << "a plain button";
            EXPECT_FALSE(TAppResources::Picture(picture->ResourceId()).isNull());
            // the picture has its place before the caption
            const QRect at = picture->PictureRect();
            EXPECT_FALSE(at.isEmpty());
            EXPECT_LE(at.right(), picture->CaptionRect().left());
            EXPECT_GE(picture->width(), picture->CaptionRect().left() +
                                            picture->fontMetrics().horizontalAdvance(picture->text()))
                << "the caption fits beside the picture";
        }
    }
    EXPECT_GT(seen, 40);
}

TEST_F(CommandButtonPictures, ScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    QDir().mkpath(folder);
    for (const auto& [name, make] : Windows()) {
        std::unique_ptr<QWidget> window = make();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->grab().save(folder + "/buttons-" + QString::fromLatin1(name).replace(' ', '-') + ".png"));
    }
}

} // namespace
