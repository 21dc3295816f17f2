#include "RecordingDesktop.h"
#include "TestEnv.h"
#include "controls/BGroupBox.h"
#include "controls/BPageControl.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const QColor kParent(200, 40, 40);
const QColor kBox(40, 200, 40);
const QColor kGrey(128, 128, 128);

bool Near(const QColor& a, const QColor& b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string Text(const QColor& c)
{
    return c.name().toStdString();
}

// A red parent holding a green group box with the windows' look.
class GroupBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = std::make_unique<QWidget>();
        parent->resize(300, 200);
        QPalette pp = parent->palette();
        pp.setColor(QPalette::Window, kParent);
        parent->setPalette(pp);
        parent->setAutoFillBackground(true);
        box = new TBGroupBox(QStringLiteral(" Caption "), parent.get());
        box->ApplyWindowLook();
        box->SetDesktop(&desktop);
        QPalette bp = box->palette();
        bp.setColor(QPalette::Window, kBox);
        box->setPalette(bp);
        box->setGeometry(10, 10, 240, 150);
        child = new QLabel(QStringLiteral("child"), box);
        auto* layout = new QVBoxLayout(box);
        layout->addWidget(child);
        parent->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.get()));
    }
    QImage Shot() const { return box->grab().toImage(); }
    QColor At(const QImage& image, int x, int y) const { return image.pixelColor(x, y); }

    RecordingDesktop desktop;
    std::unique_ptr<QWidget> parent;
    TBGroupBox* box = nullptr;
    QLabel* child = nullptr;
};

TEST_F(GroupBoxTest, TheCaptionTabJoinsTheFrameAndTheParentShowsOutsideTheCorners)
{
    const int h = QFontMetrics(box->TabFont()).height();
    const int a = int(std::lround(h * 1.8));
    const int T = std::max(a / 2 - 1, 10);
    EXPECT_EQ(box->FrameTop(), T);
    const QRect tab = box->TabRect();
    EXPECT_EQ(tab.height(), a);
    EXPECT_EQ(tab.width(), QFontMetrics(box->TabFont()).horizontalAdvance(box->title()) + 10);
    // the children start below the tab
    EXPECT_GE(child->geometry().top(), a);

    const QImage image = Shot();
    const int W = image.width();
    const int H = image.height();
    const int X = tab.right() + 1;
    // the parent's colour in the corners and right of the tab
    EXPECT_TRUE(Near(At(image, 0, 0), kParent)) << Text(At(image, 0, 0));
    EXPECT_TRUE(Near(At(image, W - 1, H - 1), kParent)) << Text(At(image, W - 1, H - 1));
    EXPECT_TRUE(Near(At(image, X + 20, 2), kParent)) << Text(At(image, X + 20, 2));
    // the frame's top line in grey beyond the tab, the box's colour inside it
    EXPECT_TRUE(Near(At(image, W / 2 + 40, T), kGrey)) << Text(At(image, W / 2 + 40, T));
    EXPECT_TRUE(Near(At(image, W / 2 + 40, T + 6), kBox)) << Text(At(image, W / 2 + 40, T + 6));
    // the left and bottom edges in grey
    EXPECT_TRUE(Near(At(image, 0, H / 2), kGrey)) << Text(At(image, 0, H / 2));
    EXPECT_TRUE(Near(At(image, W / 2, H - 1), kGrey)) << Text(At(image, W / 2, H - 1));
    // no line where the tab meets the frame: the box's colour runs through
    for (int x = 2; x < X - 12; x += 3)
        EXPECT_FALSE(Near(At(image, x, T), kGrey, 30)) << x << " " << Text(At(image, x, T));
    // the tab's top line, and the caption in the windows' blue inside the tab
    EXPECT_TRUE(Near(At(image, X / 2, 0), kGrey)) << Text(At(image, X / 2, 0));
    bool blue = false;
    for (int y = 1; y < a - 1 && !blue; ++y)
        for (int x = 1; x < X - 1 && !blue; ++x)
            blue = Near(At(image, x, y), QColor(0, 128, 192), 40);
    EXPECT_TRUE(blue) << "caption drawn in the tab font's colour";
}

TEST_F(GroupBoxTest, RadiusOutOfRangeIsRefusedAndZeroGivesSquareCorners)
{
    box->SetCurveRadius(20);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages.first().text, "CurveRadius must be between 0 and 16");
    EXPECT_EQ(box->CurveRadius(), 10);
    box->SetCurveRadius(-1);
    EXPECT_EQ(desktop.messages.size(), 2);
    EXPECT_EQ(box->CurveRadius(), 10);

    const QImage round = Shot();
    EXPECT_TRUE(Near(At(round, round.width() - 1, round.height() - 1), kParent));
    box->SetCurveRadius(0);
    EXPECT_EQ(box->CurveRadius(), 0);
    const QImage square = Shot();
    EXPECT_TRUE(Near(At(square, square.width() - 1, square.height() - 1), kGrey))
        << Text(At(square, square.width() - 1, square.height() - 1));
}

TEST_F(GroupBoxTest, WithoutTabTheCaptionStandsInAGapOfTheTopLine)
{
    box->SetDrawTab(false);
    const QImage image = Shot();
    const int T = box->FrameTop();
    const QRect gap = box->TabRect();
    EXPECT_EQ(gap.left(), 8);
    // the top line runs left of the gap and right of it, not inside it
    EXPECT_TRUE(Near(At(image, image.width() - 30, T), kGrey)) << Text(At(image, image.width() - 30, T));
    EXPECT_FALSE(Near(At(image, 9, T), kGrey, 30)) << Text(At(image, 9, T));
    EXPECT_FALSE(Near(At(image, gap.right() - 1, T), kGrey, 30));
    // above the frame the parent shows, and the top-left corner is rounded
    EXPECT_TRUE(Near(At(image, image.width() - 30, 1), kParent));
    EXPECT_TRUE(Near(At(image, 0, T), kParent)) << Text(At(image, 0, T));
}

class PageControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pc = std::make_unique<TBPageControl>();
        pc->resize(400, 260);
        for (const char* caption : {"First", "Second", "Third"}) {
            auto* page = new QWidget;
            page->setObjectName(QString::fromLatin1(caption));
            pc->addTab(page, QString::fromLatin1(caption));
        }
        pc->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pc.get()));
    }
    QImage Shot() const { return pc->grab().toImage(); }
    // A tab's rectangle in the control's coordinates.
    QRect Tab(int i) const { return pc->tabBar()->tabRect(i).translated(pc->tabBar()->pos()); }
    void MoveTo(const QPoint& inBar)
    {
        QMouseEvent move(QEvent::MouseMove, inBar, pc->tabBar()->mapToGlobal(inBar), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(pc->tabBar(), &move);
    }

    std::unique_ptr<TBPageControl> pc;
};

TEST_F(PageControlTest, TabsAreGradientsTheActiveOneRaisedAndTheHotOneLit)
{
    EXPECT_EQ(pc->ColorActiveTop(), QColor(Qt::white));
    EXPECT_EQ(pc->ColorActiveBottom(), QColor(244, 240, 236));
    EXPECT_EQ(pc->ColorInactiveTop(), QColor(244, 240, 236));
    EXPECT_EQ(pc->ColorInactiveBottom(), QColor(212, 208, 204));
    EXPECT_EQ(pc->HotTab(), -1);
    QImage image = Shot();
    const QRect active = Tab(0);
    const QRect inactive = Tab(1);
    const int cxA = active.center().x();
    const int cxI = inactive.left() + 3;
    // the active tab: outline on its top row, white just below, nearly the
    // bottom colour at its bottom, open towards the page
    EXPECT_TRUE(Near(image.pixelColor(cxA, active.top()), kGrey)) << Text(image.pixelColor(cxA, active.top()));
    EXPECT_TRUE(Near(image.pixelColor(active.left() + 3, active.top() + 1), Qt::white, 4));
    EXPECT_TRUE(Near(image.pixelColor(active.left() + 3, active.bottom()), QColor(244, 240, 236), 6))
        << Text(image.pixelColor(active.left() + 3, active.bottom()));
    // an inactive tab stands two pixels lower: the control's colour above its
    // outline, its own gradient from the inactive top colour, closed below
    const QColor control = pc->palette().color(QPalette::Window);
    EXPECT_TRUE(Near(image.pixelColor(cxI, inactive.top()), control)) << Text(image.pixelColor(cxI, inactive.top()));
    EXPECT_TRUE(Near(image.pixelColor(inactive.center().x(), inactive.top() + 2), kGrey));
    EXPECT_TRUE(Near(image.pixelColor(cxI, inactive.top() + 3), QColor(244, 240, 236), 4))
        << Text(image.pixelColor(cxI, inactive.top() + 3));
    EXPECT_TRUE(Near(image.pixelColor(cxI, inactive.bottom() - 1), QColor(212, 208, 204), 8))
        << Text(image.pixelColor(cxI, inactive.bottom() - 1));
    EXPECT_TRUE(Near(image.pixelColor(inactive.center().x(), inactive.bottom()), kGrey));

    // the pointer over the second tab lights it in the active colours
    MoveTo(pc->tabBar()->tabRect(1).center());
    EXPECT_EQ(pc->HotTab(), 1);
    image = Shot();
    EXPECT_TRUE(Near(image.pixelColor(cxI, inactive.top() + 3), Qt::white, 4))
        << Text(image.pixelColor(cxI, inactive.top() + 3));
    // then over the third; leaving the control puts the colours back
    MoveTo(pc->tabBar()->tabRect(2).center());
    EXPECT_EQ(pc->HotTab(), 2);
    image = Shot();
    EXPECT_TRUE(Near(image.pixelColor(cxI, inactive.top() + 3), QColor(244, 240, 236), 4));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pc->tabBar(), &leave);
    EXPECT_EQ(pc->HotTab(), -1);
}

TEST_F(PageControlTest, PageAreaHasTheDoubleFrameAndKeyboardSwitchesPages)
{
    pc->SetColorActiveBottom(QColor(10, 20, 200));
    const QImage image = Shot();
    const int y = pc->PageAreaTop() + 40;
    EXPECT_TRUE(Near(image.pixelColor(0, y), kGrey)) << Text(image.pixelColor(0, y));
    EXPECT_TRUE(Near(image.pixelColor(1, y), QColor(10, 20, 200))) << Text(image.pixelColor(1, y));
    EXPECT_TRUE(Near(image.pixelColor(2, y), QColor(10, 20, 200)));
    const int bottom = image.height() - 1;
    EXPECT_TRUE(Near(image.pixelColor(image.width() / 2, bottom), QColor(192, 192, 192)))
        << Text(image.pixelColor(image.width() / 2, bottom));

    // the tab widget's own keys still switch pages
    pc->setFocus();
    QTest::keyClick(pc.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pc->currentIndex(), 1);
    pc->tabBar()->setFocus();
    QTest::keyClick(pc->tabBar(), Qt::Key_Right);
    EXPECT_EQ(pc->currentIndex(), 2);
    QTest::mouseClick(pc->tabBar(), Qt::LeftButton, Qt::NoModifier, pc->tabBar()->tabRect(0).center());
    EXPECT_EQ(pc->currentIndex(), 0);
}

} // namespace
