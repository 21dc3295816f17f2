#include "controls/DropDownPanelWLabels.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A shown panel with links a, b, c and d.
class DropDownPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel = std::make_unique<TDropDownPanelWLabels>();
        panel->resize(240, 100);
        panel->SetHeaderCaption("Header");
        panel->SetHeightCollapsed(25);
        panel->SetLabelSpacing(16);
        panel->SetAutoHeight(true);
        panel->SetLines({{"Link a", "hint a", "a"}, {"Link b", "hint b", "b"}, {"Link c", "hint c", "c"},
                         {"Link d", "hint d", "d"}});
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    QPoint LinkPoint(int index) const { return panel->LabelRect(index).center(); }

    std::unique_ptr<TDropDownPanelWLabels> panel;
};

} // namespace

TEST_F(DropDownPanelTest, AutoHeightFollowsTheLinks)
{
    EXPECT_EQ(panel->HeightExpanded(), 4 * 16 + 25);
    EXPECT_EQ(panel->height(), 89);
    EXPECT_EQ(panel->LabelRow(2), QRect(0, 2 * 16 + 25, panel->width(), 16));
}

TEST_F(DropDownPanelTest, TheHeaderCollapsesAndExpandsUnlessLockedOpen)
{
    QSignalSpy collapsed(panel.get(), &TDropDownPanel::OnCollapse);
    QSignalSpy expanded(panel.get(), &TDropDownPanel::OnExpand);
    const QPoint caption(panel->ToggleRect().right() + 20, 12);
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, caption);
    EXPECT_FALSE(panel->Expanded());
    EXPECT_EQ(panel->height(), 25);
    EXPECT_EQ(collapsed.count(), 1);
    // the links of a collapsed panel are not there
    EXPECT_EQ(panel->LabelAt(QPoint(LinkPoint(0).x(), 30)), -1);
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, caption);
    EXPECT_EQ(panel->height(), 89);
    EXPECT_EQ(expanded.count(), 1);
    // beyond the caption the header is no button
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, QPoint(panel->width() - 5, 12));
    EXPECT_TRUE(panel->Expanded());

    panel->SetLockOpen(true);
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, caption);
    EXPECT_TRUE(panel->Expanded());
    EXPECT_EQ(collapsed.count(), 1);
}

TEST_F(DropDownPanelTest, LinksShowTheirFourLooks)
{
    QSignalSpy clicks(panel.get(), &TDropDownPanelWLabels::OnLabelClick);
    // under the pointer: highlighted, with the link's hint
    QTest::mouseMove(panel.get(), LinkPoint(1));
    EXPECT_EQ(panel->HighlightedLabel(), 1);
    EXPECT_EQ(panel->statusTip(), "hint b");
    EXPECT_EQ(panel->cursor().shape(), Qt::PointingHandCursor);
    // disabled: neither highlighted nor hinted
    panel->SetLabelEnabled("c", false);
    EXPECT_FALSE(panel->LabelEnabled("c"));
    QTest::mouseMove(panel.get(), LinkPoint(2));
    EXPECT_EQ(panel->HighlightedLabel(), -1);
    EXPECT_EQ(panel->statusTip(), "");
    panel->SetLabelEnabled("c", true);
    panel->SetLabelEnabled("nobody", false);

    // clicked: b, then c; only c keeps the clicked look
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, LinkPoint(1));
    QTest::mouseClick(panel.get(), Qt::LeftButton, {}, LinkPoint(2));
    EXPECT_EQ(panel->ClickedLabel(), 2);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks.at(1).at(1).toString(), "c");
    EXPECT_EQ(clicks.at(1).at(2).toString(), "Link c");
    // the clicked look is bold, the disabled one grey: the pictures differ
    const QImage clickedPicture = panel->grab(panel->LabelRow(2)).toImage();
    panel->SetLabelEnabled("c", false);
    const QImage disabledPicture = panel->grab(panel->LabelRow(2)).toImage();
    EXPECT_NE(clickedPicture, disabledPicture);

    // by name, and an unknown name does nothing
    panel->ClickLabel("a");
    EXPECT_EQ(panel->ClickedLabel(), 0);
    panel->ClickLabel("zzz");
    EXPECT_EQ(panel->ClickedLabel(), 0);
    EXPECT_EQ(clicks.count(), 3);
    // a new set of links starts with every link enabled
    panel->SetLines(panel->Lines());
    EXPECT_TRUE(panel->LabelEnabled("c"));
    EXPECT_EQ(panel->ClickedLabel(), -1);
}
