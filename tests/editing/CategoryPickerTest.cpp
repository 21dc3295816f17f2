#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/BTreeView.h"
#include "editing/fSelectCategories.h"
#include "engine/Category.h"
#include "settings/dmMain.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Archive, and Notes with Travel below it and Europe below Travel; fully
// expanded they take rows 0 to 3 in that order.
constexpr int kNotes = 7;
constexpr int kArchive = 8;
constexpr int kTravel = 9;
constexpr int kEurope = 10;

class CategoryPickerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        conn->ReserveNextRecIDs(QStringLiteral("categories"), 100);
        QSqlQuery q(conn->Database());
        for (const auto& [code, parent, name] :
             {std::tuple{kNotes, 0, "Notes"}, std::tuple{kArchive, 0, "Archive"}, std::tuple{kTravel, kNotes, "Travel"},
              std::tuple{kEurope, kTravel, "Europe"}})
            ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, %2, '%3')")
                                   .arg(code)
                                   .arg(parent)
                                   .arg(name)))
                << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        TfrmSelectCategories::ExecuteHook = nullptr;
        picker.reset();
        main.reset();
        EngineTest::TearDown();
    }

    void ShowPicker(bool several = true)
    {
        picker = std::make_unique<TfrmSelectCategories>(*main);
        if (!several)
            picker->SetSeveral(false);
        Show(*picker);
    }
    static void Show(TfrmSelectCategories& window)
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A click on the node's text, where the user marks it.
    static void Click(TfrmSelectCategories& window, int code)
    {
        TBTreeView* tree = window.Tree();
        TBTreeViewNode* node = nullptr;
        for (int row = 0; row < tree->RowCount() && !node; ++row)
            if (tree->NodeAtRow(row)->DataAs<TCategory>()->Code() == code)
                node = tree->NodeAtRow(row);
        ASSERT_NE(node, nullptr) << "no visible node of category " << code;
        const QRect row = tree->RowRect(tree->RowOfNode(node));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(tree->TextRect(row, node->Level()).left() + 4, row.center().y()));
    }
    void Click(int code) { Click(*picker, code); }
    QSet<int> Marked() const
    {
        const QList<int> codes = picker->SelectedCodes();
        return QSet<int>(codes.cbegin(), codes.cend());
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmSelectCategories> picker;
};

// --- several categories -----------------------------------------------------------------

TEST_P(CategoryPickerTest, SeveralMayCloseWithNothingMarked)
{
    ShowPicker();
    EXPECT_EQ(picker->windowTitle(), "Select categories");
    EXPECT_TRUE(picker->Several());
    EXPECT_EQ(picker->Tree()->RowCount(), 4) << "the whole tree shows";
    EXPECT_TRUE(picker->btnSelect->isEnabled());
    QTest::mouseClick(picker->btnSelect, Qt::LeftButton);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->result(), QDialog::Accepted);
    EXPECT_EQ(picker->SelectedCodes(), QList<int>());
    EXPECT_EQ(picker->SelectedCode(), 0);
}

TEST_P(CategoryPickerTest, MarkedCategoriesComeBackInMarkingOrder)
{
    ShowPicker();
    picker->SelectCodes({kEurope, 999, kArchive});
    EXPECT_EQ(picker->SelectedCodes(), QList<int>({kEurope, kArchive}));
    Click(kNotes);
    Click(kTravel);
    EXPECT_EQ(picker->SelectedCodes(), QList<int>({kEurope, kArchive, kNotes, kTravel}));
    Click(kEurope);
    EXPECT_EQ(picker->SelectedCodes(), QList<int>({kArchive, kNotes, kTravel})) << "a second click unmarks";
    EXPECT_EQ(picker->SelectedCode(), kArchive);
}

// --- one category -------------------------------------------------------------------------

TEST_P(CategoryPickerTest, OneCategoryMustBeMarkedBeforeSelect)
{
    ShowPicker(false);
    EXPECT_EQ(picker->windowTitle(), "Select category");
    EXPECT_FALSE(picker->ShortcutsPanel()->isVisible());
    EXPECT_FALSE(picker->btnSelect->isEnabled());
    EXPECT_EQ(picker->SelectedCode(), 0);
    picker->accept();
    EXPECT_TRUE(picker->isVisible()) << "nothing marked keeps the window open";
    EXPECT_NE(picker->result(), QDialog::Accepted);

    Click(kTravel);
    EXPECT_TRUE(picker->btnSelect->isEnabled());
    EXPECT_EQ(picker->SelectedCodes(), QList<int>({kTravel}));
    Click(kArchive);
    EXPECT_EQ(picker->SelectedCodes(), QList<int>({kArchive})) << "the second click replaces the first";
    QTest::mouseClick(picker->btnSelect, Qt::LeftButton);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->result(), QDialog::Accepted);
    EXPECT_EQ(picker->SelectedCode(), kArchive);
}

// --- the keyboard -------------------------------------------------------------------------

TEST_P(CategoryPickerTest, KeysMarkExpandAndCollapse)
{
    ShowPicker();
    TBTreeView* tree = picker->Tree();
    tree->setFocus();
    ASSERT_EQ(tree->CurrentRow(), 0);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QSet<int> marked;
        int rows;
    } steps[] = {
        {Qt::Key_Space, Qt::NoModifier, {kArchive}, 4},
        {Qt::Key_Down, Qt::NoModifier, {kArchive}, 4},
        {Qt::Key_Space, Qt::NoModifier, {kArchive, kNotes}, 4},
        {Qt::Key_Space, Qt::NoModifier, {kArchive}, 4},
        {Qt::Key_A, Qt::ControlModifier, {kArchive, kNotes, kTravel, kEurope}, 4},
        {Qt::Key_D, Qt::ControlModifier, {}, 4},
        {Qt::Key_Space, Qt::NoModifier, {kNotes}, 4},
        {Qt::Key_I, Qt::ControlModifier, {kArchive, kTravel, kEurope}, 4},
        {Qt::Key_L, Qt::ControlModifier, {kArchive, kTravel, kEurope}, 2},
        {Qt::Key_D, Qt::ControlModifier, {}, 2},
        {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, {kArchive, kNotes}, 2},
        {Qt::Key_P, Qt::ControlModifier, {kArchive, kNotes}, 4},
        {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, {kArchive, kNotes, kTravel, kEurope}, 4},
    };
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << step++);
        QTest::keyClick(tree, s.key, s.modifiers);
        EXPECT_EQ(Marked(), s.marked);
        EXPECT_EQ(tree->RowCount(), s.rows);
    }
    EXPECT_EQ(tree->CurrentNode()->DataAs<TCategory>()->Code(), kNotes) << "the keys keep the current row";
}

TEST_P(CategoryPickerTest, ShortcutPanelOpensAndClosesOnClick)
{
    ShowPicker();
    QFrame* panel = picker->ShortcutsPanel();
    auto* intro = panel->findChild<QLabel*>("laShortcuts");
    auto* keys = panel->findChild<QWidget*>("paShortcutKeys");
    ASSERT_NE(intro, nullptr);
    ASSERT_NE(keys, nullptr);
    const QStringList keyTexts = {"<SPACE>",   "(de-) select highlighted category",
                                  "<Ctrl + Shift + A>", "Select VISIBLE categories",
                                  "<CTRL + D>", "Deselect all categories",
                                  "<CTRL + I>", "Invert current selection",
                                  "<Ctrl + A>", "Select ALL categories",
                                  "<CTRL + P>", "Expand all categories",
                                  "<CTRL + L>", "Collapse all categories"};
    auto shownKeyTexts = [&] {
        QStringList texts;
        for (const QLabel* label : keys->findChildren<QLabel*>())
            if (label->isVisible())
                texts.append(label->text());
        return texts;
    };

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->height(), 25);
        EXPECT_EQ(picker->btnShortcuts->text(), "Click to show keyboard shortcuts");
        EXPECT_FALSE(intro->isVisible());
        EXPECT_EQ(shownKeyTexts(), QStringList());

        QTest::mouseClick(picker->btnShortcuts, Qt::LeftButton);
        EXPECT_EQ(panel->height(), 169);
        EXPECT_EQ(picker->btnShortcuts->text(), "Click to hide keyboard shortcuts");
        EXPECT_TRUE(intro->isVisible());
        EXPECT_EQ(intro->text(), TfrmSelectCategories::ShortcutsIntroText);
        EXPECT_EQ(shownKeyTexts(), keyTexts);

        QTest::mouseClick(picker->btnShortcuts, Qt::LeftButton);
    }
}

// --- the modal helpers ----------------------------------------------------------------------

TEST_P(CategoryPickerTest, PickCategoryReturnsTheMarkedOneOrNothing)
{
    QStringList captions;
    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& window) {
        captions << window.windowTitle();
        Show(window);
        Click(window, kTravel);
        QTest::mouseClick(window.btnSelect, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TfrmSelectCategories::PickCategory(*main), kTravel);
    EXPECT_EQ(captions, QStringList{"Select category"});

    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& window) {
        Show(window);
        Click(window, kTravel);
        QTest::mouseClick(window.btnCancel, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TfrmSelectCategories::PickCategory(*main), 0);
    TfrmSelectCategories::ExecuteHook = nullptr;
}

TEST_P(CategoryPickerTest, PickCategoriesStartsFromTheGivenOnes)
{
    QList<int> shownMarked;
    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& window) {
        shownMarked = window.SelectedCodes();
        Show(window);
        Click(window, kArchive);
        QTest::mouseClick(window.btnSelect, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TfrmSelectCategories::PickCategories(*main, {kEurope, 999}), QList<int>({kEurope, kArchive}));
    EXPECT_EQ(shownMarked, QList<int>({kEurope}));

    // Unmarking everything is an answer too: no category filter.
    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& window) {
        Show(window);
        window.Tree()->setFocus();
        QTest::keyClick(window.Tree(), Qt::Key_D, Qt::ControlModifier);
        QTest::mouseClick(window.btnSelect, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TfrmSelectCategories::PickCategories(*main, {kEurope, kNotes}), QList<int>());

    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& window) {
        Show(window);
        QTest::mouseClick(window.btnCancel, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TfrmSelectCategories::PickCategories(*main, {kEurope}), std::nullopt);
    TfrmSelectCategories::ExecuteHook = nullptr;
}

TESSARYN_INSTANTIATE_ENGINES(CategoryPickerTest);

} // namespace
