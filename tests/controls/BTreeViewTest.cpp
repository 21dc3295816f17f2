#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/BTreeView.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A tree of real nodes in a shown control:
//   A
//     A1
//       A1a
//       A1b
//     A2
//   B
//     B1
//   C
class BTreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TAppResources::Register();
        tv = std::make_unique<TBTreeView>();
        tv->resize(300, 400);
        a = tv->Nodes().AddNode("A", "hint A", -1, &dataA);
        a1 = tv->Nodes().AddChildNode(a, "A1", {}, -1, nullptr);
        a1a = tv->Nodes().AddChildNode(a1, "A1a", {}, -1, nullptr);
        a1b = tv->Nodes().AddChildNode(a1, "A1b", {}, -1, nullptr);
        a2 = tv->Nodes().AddChildNode(a, "A2", {}, -1, nullptr);
        b = tv->Nodes().AddNode("B", {}, -1, nullptr);
        b1 = tv->Nodes().AddChildNode(b, "B1", {}, -1, nullptr);
        c = tv->Nodes().AddNode("C", {}, -1, nullptr);
        tv->ExpandAll();
        tv->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tv.get()));
    }

    QStringList Rows() const
    {
        QStringList rows;
        for (int r = 0; r < tv->RowCount(); ++r)
            rows << tv->NodeAtRow(r)->Caption;
        return rows;
    }
    QStringList Selected() const
    {
        QStringList names;
        for (int i = 0; i < tv->SelectedCount(); ++i)
            names << tv->SelectedNodes(i)->Caption;
        return names;
    }
    QPoint TextPoint(TBTreeViewNode* node, int dy = 0) const
    {
        const QRect row = tv->RowRect(tv->RowOfNode(node));
        return QPoint(tv->TextRect(row, node->Level()).left() + 4, row.top() + row.height() / 2 + dy);
    }
    QPoint ButtonPoint(TBTreeViewNode* node) const
    {
        return tv->ButtonRect(tv->RowRect(tv->RowOfNode(node)), node->Level()).center();
    }
    void Click(TBTreeViewNode* node, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, mods, TextPoint(node));
    }
    void ClickButton(TBTreeViewNode* node, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, mods, ButtonPoint(node));
    }
    // What the platform sends for a double click: a press and a release,
    // then the second press as a double press, and its release.
    void DoubleClick(const QPoint& at, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, mods, at);
        QTest::mouseDClick(tv->viewport(), Qt::LeftButton, mods, at);
        QTest::mouseRelease(tv->viewport(), Qt::LeftButton, mods, at);
    }
    // A real drag with the left button: press on the source, move in
    // steps, release over the target at height dy from its row's middle.
    void Drag(TBTreeViewNode* from, TBTreeViewNode* to, int dy)
    {
        const QPoint start = TextPoint(from);
        const QRect targetRow = tv->RowRect(tv->RowOfNode(to));
        const QPoint end(start.x() + 10, targetRow.top() + targetRow.height() / 2 + dy);
        QTest::mousePress(tv->viewport(), Qt::LeftButton, Qt::NoModifier, start);
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = start + (end - start) * step / 4;
            QMouseEvent move(QEvent::MouseMove, at, tv->viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(tv->viewport(), &move);
        }
        QTest::mouseRelease(tv->viewport(), Qt::LeftButton, Qt::NoModifier, end);
    }

    int dataA = 1;
    std::unique_ptr<TBTreeView> tv;
    TBTreeViewNode *a, *a1, *a1a, *a1b, *a2, *b, *b1, *c;
};

TEST_F(BTreeViewTest, NodesLevelsAndFinding)
{
    EXPECT_EQ(Rows(), QStringList({"A", "A1", "A1a", "A1b", "A2", "B", "B1", "C"}));
    EXPECT_EQ(a1a->Level(), 3);
    EXPECT_TRUE(a1b->IsLastChild());
    EXPECT_FALSE(a1a->IsLastChild());
    EXPECT_TRUE(c->IsLastChild());
    EXPECT_TRUE(a1b->HasAncestor(a));
    EXPECT_FALSE(b1->HasAncestor(a));
    EXPECT_EQ(tv->Nodes().CountAll(), 8);
    EXPECT_EQ(tv->FindNodeByData(&dataA), a);
    EXPECT_EQ(tv->FindNodeByData(nullptr), nullptr);
    int other = 0;
    EXPECT_EQ(tv->FindNodeByData(&other), nullptr);
    EXPECT_EQ(tv->NodeAtRow(-1), nullptr);
    EXPECT_EQ(tv->NodeAtRow(8), nullptr);

    tv->DeleteNode(a1);
    EXPECT_EQ(Rows(), QStringList({"A", "A2", "B", "B1", "C"}));
    EXPECT_EQ(tv->Nodes().CountAll(), 5);
}

TEST_F(BTreeViewTest, ButtonClicksExpandOneNodeOrWithCtrlTheWholeSubtree)
{
    tv->CollapseAll();
    EXPECT_EQ(Rows(), QStringList({"A", "B", "C"}));
    ClickButton(a);
    // a plain click opens the node only; A1 keeps its own (collapsed) state
    EXPECT_EQ(Rows(), QStringList({"A", "A1", "A2", "B", "C"}));
    ClickButton(a);
    ClickButton(a, Qt::ControlModifier);
    EXPECT_EQ(Rows(), QStringList({"A", "A1", "A1a", "A1b", "A2", "B", "C"}));
    // Ctrl on an expanded node closes it with everything below
    ClickButton(a, Qt::ControlModifier);
    EXPECT_FALSE(a1->Expanded());
    // a click on a button of a node without children, or on the text, toggles nothing
    ClickButton(c);
    Click(b);
    EXPECT_EQ(Rows(), QStringList({"A", "B", "C"}));
}

// A double click on an expand button is two toggles, never a double click
// on a node: the owner's double-click action (the category manager's Edit)
// would act on whatever node happens to be current.
TEST_F(BTreeViewTest, ADoubleClickOnAButtonTogglesAndIsNoDoubleClick)
{
    QList<TBTreeViewNode*> doubleClicked;
    int presses = 0;
    tv->OnDblClick = [&] { doubleClicked.append(tv->CurrentNode()); };
    tv->OnMouseDown = [&](QMouseEvent*) { ++presses; };
    Click(c);
    presses = 0;

    const struct {
        const char* name;
        TBTreeViewNode* node;
        Qt::KeyboardModifiers mods;
    } buttons[] = {{"plain", b, Qt::NoModifier}, {"with Ctrl", a, Qt::ControlModifier}};
    for (const auto& button : buttons) {
        SCOPED_TRACE(button.name);
        const QStringList before = Rows();
        DoubleClick(ButtonPoint(button.node), button.mods);
        EXPECT_EQ(Rows(), before) << "each of the two presses toggles";
        EXPECT_EQ(tv->CurrentNode(), c);
        EXPECT_TRUE(doubleClicked.isEmpty());
        EXPECT_EQ(presses, 0);
    }

    // on a node's text a double click is one, for the node clicked
    DoubleClick(TextPoint(a1b));
    EXPECT_EQ(doubleClicked, QList<TBTreeViewNode*>({a1b}));
}

TEST_F(BTreeViewTest, CollapsingMovesTheCurrentRowToTheCollapsedNode)
{
    Click(a1b);
    ASSERT_EQ(tv->CurrentNode(), a1b);
    ClickButton(a1);
    EXPECT_EQ(tv->CurrentNode(), a1);
    // CollapseAll leaves exactly the path to a level-3 current node open
    tv->ExpandAll();
    Click(a1a);
    tv->CollapseAll();
    EXPECT_EQ(Rows(), QStringList({"A", "A1", "A1a", "A1b", "A2", "B", "C"}));
    EXPECT_EQ(tv->CurrentNode(), a1a);
    EXPECT_FALSE(b->Expanded());
    EXPECT_FALSE(a1a->Expanded());
    // MakeNodeCurrent opens the ancestors of a hidden node
    EXPECT_TRUE(tv->MakeNodeCurrent(b1));
    EXPECT_TRUE(b->Expanded());
    EXPECT_EQ(tv->CurrentNode(), b1);
    EXPECT_FALSE(tv->MakeNodeCurrent(nullptr));
}

TEST_F(BTreeViewTest, SelectionRules)
{
    struct TCase {
        const char* name;
        bool multi;
        bool extended;
        QList<std::pair<TBTreeViewNode*, Qt::KeyboardModifiers>> clicks;
        QStringList expected;
    };
    const QList<TCase> cases = {
        {"single: a click selects exactly one", false, false, {{a, {}}, {b, {}}}, {"B"}},
        {"single: Ctrl does not add", false, false, {{a, {}}, {b, Qt::ControlModifier}}, {"B"}},
        {"multi: a plain click replaces", true, false, {{a, {}}, {b, {}}}, {"B"}},
        {"multi: Ctrl adds in click order", true, false, {{c, {}}, {a, Qt::ControlModifier}}, {"C", "A"}},
        {"multi: Ctrl on a selected node removes it", true, false,
         {{c, {}}, {a, Qt::ControlModifier}, {c, Qt::ControlModifier}}, {"A"}},
        {"extended: plain clicks toggle", true, true, {{a, {}}, {b, {}}, {a, {}}}, {"B"}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        tv->ClearSelection();
        tv->SetMultiSelect(test.multi);
        tv->SetExtendedSelection(test.extended);
        for (const auto& [node, mods] : test.clicks)
            Click(node, mods);
        EXPECT_EQ(Selected(), test.expected);
    }

    // Shift+click: the range from the current row to the clicked one
    tv->SetMultiSelect(true);
    tv->SetExtendedSelection(true);
    Click(a1);
    Click(b, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), QStringList({"B", "A2", "A1b", "A1a", "A1"}));

    // the two properties keep each other consistent
    tv->SetAllowSelection(false);
    EXPECT_FALSE(tv->MultiSelect());
    tv->SetMultiSelect(true);
    EXPECT_TRUE(tv->AllowSelection());
}

TEST_F(BTreeViewTest, SelectionKeys)
{
    tv->SetMultiSelect(true);
    tv->setFocus();
    ClickButton(b);   // B1 out of sight
    Click(a);
    tv->ClearSelection();
    QTest::keyClick(tv.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tv->SelectedCount(), 7);   // the visible ones
    QTest::keyClick(tv.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tv->SelectedCount(), 8);
    QTest::keyClick(tv.get(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(tv->SelectedCount(), 0);
    QTest::keyClick(tv.get(), Qt::Key_Down);
    QTest::keyClick(tv.get(), Qt::Key_Space);
    EXPECT_EQ(Selected(), QStringList({"A1"}));
    QTest::keyClick(tv.get(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Selected(), QStringList({"A", "A1a", "A1b", "A2", "B", "B1", "C"}));
    // Ctrl+L collapses all but the way to the current node, Ctrl+P opens all
    QTest::keyClick(tv.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Rows(), QStringList({"A", "A1", "A2", "B", "C"}));
    QTest::keyClick(tv.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(tv->RowCount(), 8);
    // with other modifiers the shortcuts do nothing
    QTest::keyClick(tv.get(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(tv->SelectedCount(), 7);
    // without MultiSelect the many-node commands do nothing
    tv->SetMultiSelect(false);
    tv->ClearSelection();
    QTest::keyClick(tv.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tv->SelectedCount(), 0);
}

TEST_F(BTreeViewTest, DropZonesOfASixteenPixelRow)
{
    const QRect row(0, 32, 100, 16);
    QList<int> zones;
    for (int y = 32; y < 48; ++y)
        zones << TBTreeView::DropPositionAt(row, y);
    EXPECT_EQ(zones, QList<int>({0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2}));
}

TEST_F(BTreeViewTest, DraggingNodesMovesThemAndRefusesTheirOwnSubtree)
{
    tv->SetAllowNodeMoving(true);
    QList<std::pair<TBTreeViewNode*, TBTreeViewNode*>> moves;
    tv->OnMoveNode = [&](TBTreeViewNode* node, TBTreeViewNode* parent) { moves.append(std::make_pair(node, parent)); };
    const int quarter = tv->DefaultRowHeight() / 4;

    // onto itself or into its own subtree: refused in every position
    for (TBTreeViewNode* target : {a1, a1a, a1b})
        for (int dy : {-tv->DefaultRowHeight() / 2, 0, tv->DefaultRowHeight() / 2 - 1}) {
            Drag(a1, target, dy);
            EXPECT_EQ(a1->Parent(), a);
        }
    EXPECT_TRUE(moves.isEmpty());
    EXPECT_FALSE(tv->Dragging());

    // after C: a top-level node now, with its subtree and levels
    Drag(a1, c, tv->DefaultRowHeight() / 2 - 1);
    EXPECT_EQ(a1->Parent(), nullptr);
    EXPECT_EQ(tv->Nodes().IndexOf(a1), 3);
    EXPECT_EQ(a1a->Level(), 2);
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0], std::make_pair(a1, static_cast<TBTreeViewNode*>(nullptr)));
    EXPECT_EQ(tv->SelectedCount(), 0);

    // into a collapsed node: hidden below it, the target stays collapsed
    ClickButton(b);
    Drag(c, b, 0);
    EXPECT_EQ(c->Parent(), b);
    EXPECT_TRUE(c->IsLastChild());
    EXPECT_FALSE(b->Expanded());
    EXPECT_EQ(tv->RowOfNode(c), -1);

    // before A2, under A
    Drag(a1, a2, -tv->DefaultRowHeight() / 2 + quarter - 1);
    EXPECT_EQ(a1->Parent(), a);
    EXPECT_EQ(a->Children().IndexOf(a1), 0);
    EXPECT_EQ(a1a->Level(), 3);

    // a veto of the owner refuses the move
    tv->OnCanMoveNode = [](TBTreeViewNode*, TBTreeViewNode*, TTreeViewMovePoint&, bool& canMove) { canMove = false; };
    Drag(a2, b, 0);
    EXPECT_EQ(a2->Parent(), a);
}

TEST_F(BTreeViewTest, WithoutNodeMovingAPressStillSelectsAndNothingIsDragged)
{
    bool moved = false;
    tv->OnMoveNode = [&](TBTreeViewNode*, TBTreeViewNode*) { moved = true; };
    Drag(b1, c, 0);
    EXPECT_FALSE(moved);
    EXPECT_EQ(b1->Parent(), b);
    EXPECT_EQ(Selected(), QStringList({"B1"}));
    EXPECT_EQ(tv->CurrentNode(), b1);
}

TEST_F(BTreeViewTest, EscapeCancelsADrag)
{
    tv->SetAllowNodeMoving(true);
    const QPoint start = TextPoint(b1);
    QTest::mousePress(tv->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    const QPoint to = TextPoint(a2);
    QMouseEvent move(QEvent::MouseMove, to, tv->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(tv->viewport(), &move);
    QApplication::sendEvent(tv->viewport(), &move);
    ASSERT_TRUE(tv->Dragging());
    QTest::keyClick(tv.get(), Qt::Key_Escape);
    EXPECT_FALSE(tv->Dragging());
    QTest::mouseRelease(tv->viewport(), Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(b1->Parent(), b);
}

TEST_F(BTreeViewTest, HintsOverButtonsAndNodes)
{
    tv->setStatusTip("the control's own");
    const auto hover = [&](const QPoint& at) {
        QMouseEvent move(QEvent::MouseMove, at, tv->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(tv->viewport(), &move);
        return tv->CurrentHint();
    };
    EXPECT_EQ(hover(ButtonPoint(a)), TBTreeView::ButtonHint);
    EXPECT_EQ(hover(TextPoint(a)), "hint A");
    EXPECT_EQ(hover(TextPoint(b)), "the control's own");
    tv->OnGetNodeHint = [](TBTreeViewNode* node, QString& text) { text = "about " + node->Caption; };
    EXPECT_EQ(hover(TextPoint(c)), "about C");
}

TEST_F(BTreeViewTest, GradientReachesTheEndColourOnTheLastLine)
{
    const QColor start(100, 100, 100), end(200, 50, 0);
    for (int height : {12, 16}) {
        SCOPED_TRACE(height);
        QImage image(4, height, QImage::Format_RGB32);
        QPainter painter(&image);
        TBTreeView::GradientFill(painter, image.rect(), start, end);
        painter.end();
        EXPECT_EQ(QColor(image.pixel(0, height - 1)), end);
        // short rows begin with a quarter of plain start colour
        const int plain = height <= 14 ? height / 4 : 0;
        for (int y = 0; y < plain; ++y)
            EXPECT_EQ(QColor(image.pixel(0, y)), start);
        EXPECT_NE(QColor(image.pixel(0, plain)), start);
    }
}

TEST_F(BTreeViewTest, PaintsTheCurrentRowWithTheGradientAndLevelPictures)
{
    tv->SetColorGradientStart(QColor(10, 20, 30));
    tv->SetColorGradientEnd(QColor(10, 20, 30));
    Click(b);
    const QImage shot = tv->viewport()->grab().toImage();
    const QRect row = tv->RowRect(tv->RowOfNode(b));
    EXPECT_EQ(QColor(shot.pixel(row.right() - 2, row.top() + 2)), QColor(10, 20, 30));
    const QRect other = tv->RowRect(tv->RowOfNode(c));
    EXPECT_EQ(QColor(shot.pixel(other.right() - 2, other.top() + 2)), tv->BackgroundColor());

    // a level-3 node with two pictures loaded uses the second one
    tv->SetLevelImageResourceIDs({"BMP_LED_GREEN", "BMP_KEY_RED_NORMAL"});
    tv->SetShowBitmaps(true);
    const QImage withPictures = tv->viewport()->grab().toImage();
    const QRect deep = tv->PictureRect(tv->RowRect(tv->RowOfNode(a1a)), a1a->Level());
    const QImage second = TAppResources::Picture("BMP_KEY_RED_NORMAL").toImage();
    ASSERT_FALSE(second.isNull());
    bool same = true;
    for (int y = 0; y < deep.height() && same; ++y)
        for (int x = 0; x < deep.width() && same; ++x)
            if (second.pixelColor(x, y).alpha() == 255)
                same = withPictures.pixelColor(deep.left() + x, deep.top() + y) == second.pixelColor(x, y);
    EXPECT_TRUE(same);
}

TEST_F(BTreeViewTest, TheCurrentRowIsReportedOncePerChange)
{
    QList<int> rows;
    tv->OnSelectCell = [&](int row) { rows.append(row); };
    Click(a2);
    Click(a2);
    EXPECT_EQ(rows, QList<int>({4}));
    // a rebuild that keeps the current node reports nothing
    tv->Nodes().AddNode("D", {}, -1, nullptr);
    EXPECT_EQ(rows, QList<int>({4}));
    EXPECT_EQ(tv->CurrentNode(), a2);
}

} // namespace
