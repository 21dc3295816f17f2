#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "controls/RecordListGrid.h"
#include "editing/fSelectBookmarkSet.h"
#include "settings/dmMain.h"

#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class BookmarkSetPickerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        TFrmSelectBookmarkSet::ExecuteHook = nullptr;
        main.reset();
        EngineTest::TearDown();
    }
    void Exec(const QString& sql)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
};

TEST_P(BookmarkSetPickerTest, ASetIsChosenByDoubleClickAndTheProgramsOwnCountToo)
{
    Exec("insert into bookmarkSets (code, GUID, name) values (100, '00000000-0000-0000-0000-000000000100', 'Alpha')");
    QString caption;
    bool selectEnabled = false;
    TFrmSelectBookmarkSet::ExecuteHook = [&](TFrmSelectBookmarkSet& picker) {
        caption = picker.windowTitle();
        picker.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
        selectEnabled = picker.btnSelect->isEnabled();
        TRecordListGrid* grid = picker.Browser()->Grid();
        EXPECT_EQ(grid->RowText(0), "Alpha");
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(1).center());
        return picker.result();
    };
    int code = -1;
    EXPECT_TRUE(TFrmSelectBookmarkSet::PickBookmarkSet(*main, code));
    EXPECT_EQ(caption, "Select bookmark set");
    EXPECT_TRUE(selectEnabled);
    EXPECT_EQ(code, 1) << "the default set can be picked";

    // Cancel leaves the code alone
    TFrmSelectBookmarkSet::ExecuteHook = [](TFrmSelectBookmarkSet& picker) {
        picker.show();
        QTest::mouseClick(picker.btnCancel, Qt::LeftButton);
        return picker.result();
    };
    code = 4711;
    EXPECT_FALSE(TFrmSelectBookmarkSet::PickBookmarkSet(*main, code));
    EXPECT_EQ(code, 4711);
}

TEST_P(BookmarkSetPickerTest, WithoutSetsNothingCanBeChosen)
{
    Exec("delete from bookmarkSets");
    TFrmSelectBookmarkSet::ExecuteHook = [](TFrmSelectBookmarkSet& picker) {
        picker.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
        EXPECT_FALSE(picker.btnSelect->isEnabled());
        EXPECT_EQ(picker.Browser()->Grid()->EmptyText(), " < No bookmark sets found > ");
        TRecordListGrid* grid = picker.Browser()->Grid();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(0).center());
        QTest::keyClick(grid, Qt::Key_Return);
        EXPECT_TRUE(picker.isVisible());
        return picker.result();
    };
    int code = -1;
    EXPECT_FALSE(TFrmSelectBookmarkSet::PickBookmarkSet(*main, code));
    EXPECT_EQ(code, -1);
}

TESSARYN_INSTANTIATE_ENGINES(BookmarkSetPickerTest);

} // namespace
