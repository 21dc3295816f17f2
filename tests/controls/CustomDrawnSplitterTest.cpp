#include "controls/CustomDrawnSplitter.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A splitter shown on screen with the panel it resizes and the rest beside
// it: a left panel of 250 pixels in a 800 × 300 splitter, or a bottom panel
// of 250 pixels in a 300 × 800 one.
class SplitterTest : public ::testing::TestWithParam<TCustomDrawnSplitter::TSide> {
protected:
    void SetUp() override
    {
        const bool left = GetParam() == TCustomDrawnSplitter::TSide::Left;
        splitter = std::make_unique<TCustomDrawnSplitter>(left ? Qt::Horizontal : Qt::Vertical);
        splitter->setHandleWidth(10);
        panel = new QFrame;
        rest = new QFrame;
        if (left) {
            splitter->addWidget(panel);
            splitter->addWidget(rest);
        } else {
            splitter->addWidget(rest);
            splitter->addWidget(panel);
        }
        splitter->SetControl(panel);
        splitter->SetShowButton(true);
        splitter->resize(left ? QSize(800, 300) : QSize(300, 800));
        splitter->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(splitter.get()));
        splitter->SetPanelSize(250);
        ASSERT_EQ(splitter->PanelSize(), 250);
        bar = splitter->ControlHandle();
        ASSERT_TRUE(bar);
    }

    bool Upright() const { return GetParam() == TCustomDrawnSplitter::TSide::Left; }
    // A point along the bar: on the button, or far from it.
    QPoint OnButton() const { return bar->ButtonRect().center(); }
    QPoint OffButton() const { return Upright() ? QPoint(bar->width() / 2, 5) : QPoint(5, bar->height() / 2); }
    // The same point moved across the bar so that the panel grows by `grow`
    // pixels (shrinks when negative).
    QPoint Across(QPoint at, int grow) const { return Upright() ? at + QPoint(grow, 0) : at + QPoint(0, -grow); }

    // Press at `at`, move the pointer across the bar, release: the bar
    // follows the pointer, so the release happens at the same point of it.
    void Drag(QPoint at, int grow)
    {
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, at);
        if (grow != 0)
            QTest::mouseMove(bar, Across(at, grow));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, at);
    }

    std::unique_ptr<TCustomDrawnSplitter> splitter;
    QFrame* panel = nullptr;
    QFrame* rest = nullptr;
    TCustomDrawnSplitterHandle* bar = nullptr;
};

} // namespace

TEST_P(SplitterTest, AClickMinimizesAndTheNextRestores)
{
    QSignalSpy minimized(splitter.get(), &TCustomDrawnSplitter::OnMinimize);
    QSignalSpy restored(splitter.get(), &TCustomDrawnSplitter::OnRestore);
    QSignalSpy clicked(splitter.get(), &TCustomDrawnSplitter::OnClickButton);

    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    EXPECT_EQ(splitter->PanelSize(), 1);
    EXPECT_TRUE(splitter->Minimized());
    EXPECT_EQ(splitter->RestoreSize(), 250);
    EXPECT_EQ(minimized.count(), 1);
    EXPECT_EQ(restored.count(), 0);

    bar = splitter->ControlHandle();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    EXPECT_EQ(splitter->PanelSize(), 250);
    EXPECT_FALSE(splitter->Minimized());
    EXPECT_EQ(minimized.count(), 1);
    EXPECT_EQ(restored.count(), 1);
    EXPECT_EQ(clicked.count(), 2);
}

TEST_P(SplitterTest, APressThatMovesIsADragAndAShortOneAClick)
{
    // a press on the button dragged 20 pixels resizes and toggles nothing
    QSignalSpy minimized(splitter.get(), &TCustomDrawnSplitter::OnMinimize);
    Drag(OnButton(), 20);
    EXPECT_EQ(splitter->PanelSize(), 270);
    EXPECT_FALSE(splitter->Minimized());
    EXPECT_EQ(minimized.count(), 0);
    EXPECT_EQ(splitter->RestoreSize(), 270);

    // one of 4 pixels is a click
    Drag(OnButton(), 4);
    EXPECT_TRUE(splitter->Minimized());
    EXPECT_EQ(splitter->PanelSize(), 1);
    EXPECT_EQ(minimized.count(), 1);
}

TEST_P(SplitterTest, DraggingOpenRestoresAndDraggingToTheMinimumMinimizes)
{
    QSignalSpy minimized(splitter.get(), &TCustomDrawnSplitter::OnMinimize);
    QSignalSpy restored(splitter.get(), &TCustomDrawnSplitter::OnRestore);
    // dragged all the way to the panel's side it stops at MinSize: minimized
    Drag(OffButton(), -400);
    EXPECT_EQ(splitter->PanelSize(), 1);
    EXPECT_TRUE(splitter->Minimized());
    EXPECT_EQ(minimized.count(), 1);
    EXPECT_EQ(splitter->RestoreSize(), 250);

    // dragged open to 180 it is restored, and that is the size to return to
    Drag(OffButton(), 179);
    EXPECT_EQ(splitter->PanelSize(), 180);
    EXPECT_FALSE(splitter->Minimized());
    EXPECT_EQ(restored.count(), 1);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    EXPECT_EQ(splitter->PanelSize(), 1);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    EXPECT_EQ(splitter->PanelSize(), 180);

    // a press and release without moving on a minimized bar leaves it minimized
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    ASSERT_TRUE(splitter->Minimized());
    Drag(OffButton(), 0);
    EXPECT_TRUE(splitter->Minimized());
    EXPECT_EQ(splitter->PanelSize(), 1);
}

TEST_P(SplitterTest, HintsAndCursorFollowThePointer)
{
    const Qt::CursorShape sizing = Upright() ? Qt::SplitHCursor : Qt::SplitVCursor;
    QTest::mouseMove(bar, OffButton());
    EXPECT_EQ(bar->statusTip(), "Drag to resize");
    EXPECT_EQ(bar->cursor().shape(), sizing);
    EXPECT_EQ(bar->ButtonState(), TCustomDrawnSplitterHandle::bsNormal);

    QTest::mouseMove(bar, OnButton());
    EXPECT_EQ(bar->statusTip(), "Click to minimize");
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(bar->ButtonState(), TCustomDrawnSplitterHandle::bsHot);
    // the hot face is painted in the highlight colour
    const QImage picture = bar->grab().toImage();
    const QPoint inFace = bar->ButtonRect().topLeft() + QPoint(3, 3);
    EXPECT_EQ(picture.pixelColor(inFace), QColor(207, 207, 255));
    // the red arrow sits in the middle of the button
    EXPECT_EQ(picture.pixelColor(bar->ButtonRect().center()), QColor(255, 0, 0));

    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    QTest::mouseMove(bar, OnButton() + (Upright() ? QPoint(0, 1) : QPoint(1, 0)));
    EXPECT_EQ(bar->statusTip(), "Click to restore");

    // the owner words them its own way
    splitter->OnGetButtonHint = [](TCustomDrawnSplitter& s, QString& hint) {
        hint = s.Minimized() ? "Click to restore Panel" : "Click to minimize Panel";
    };
    splitter->OnGetSplitterHint = [](TCustomDrawnSplitter&, QString& hint) { hint = "Drag to resize Panel"; };
    QTest::mouseMove(bar, OnButton());
    EXPECT_EQ(bar->statusTip(), "Click to restore Panel");
    QTest::mouseMove(bar, OffButton());
    EXPECT_EQ(bar->statusTip(), "Drag to resize Panel");
}

TEST_P(SplitterTest, TheKeyboardMovesTheBarAndPressesTheButton)
{
    QSignalSpy moved(splitter.get(), &TCustomDrawnSplitter::Moved);
    bar->setFocus();
    QTest::keyClick(bar, Upright() ? Qt::Key_Right : Qt::Key_Up);
    EXPECT_EQ(splitter->PanelSize(), 260);
    QTest::keyClick(bar, Upright() ? Qt::Key_Left : Qt::Key_Down);
    EXPECT_EQ(splitter->PanelSize(), 250);
    EXPECT_GE(moved.count(), 2);
    QTest::keyClick(bar, Qt::Key_Space);
    EXPECT_TRUE(splitter->Minimized());
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(splitter->PanelSize(), 250);
}

TEST_P(SplitterTest, WithoutPanelOrButtonThereIsNothingToToggle)
{
    // without the button a press in its place is an ordinary drag
    splitter->SetShowButton(false);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, OnButton());
    EXPECT_FALSE(splitter->Minimized());
    EXPECT_EQ(splitter->PanelSize(), 250);
    splitter->SetShowButton(true);
    // the panel goes away: the splitter forgets it
    delete panel;
    EXPECT_EQ(splitter->Control(), nullptr);
    splitter->Toggle();
    EXPECT_FALSE(splitter->Minimized());
    EXPECT_EQ(splitter->PanelSize(), splitter->MinSize());
}

INSTANTIATE_TEST_SUITE_P(, SplitterTest,
                         ::testing::Values(TCustomDrawnSplitter::TSide::Left, TCustomDrawnSplitter::TSide::Bottom),
                         [](const ::testing::TestParamInfo<TCustomDrawnSplitter::TSide>& info) {
                             return info.param == TCustomDrawnSplitter::TSide::Left ? std::string("Left")
                                                                                    : std::string("Bottom");
                         });
