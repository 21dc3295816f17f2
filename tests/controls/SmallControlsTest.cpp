#include "TestEnv.h"
#include "controls/EllipsisLabel.h"
#include "controls/FancyComboBox.h"
#include "controls/FancyItemDelegate.h"
#include "controls/FancyListBox.h"
#include "controls/FrameLabel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

bool HasInk(const QImage& image, const QRect& area, const QColor& background)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != background)
                return true;
    return false;
}

// --- framed label ---------------------------------------------------------------

TEST(FrameLabel, BackgroundFadesFromItsColourAndCarriesAFrame)
{
    TFrameLabel label;
    EXPECT_EQ(label.Color(), QColor(166, 202, 240));
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.FrameWidth(), 1);
    EXPECT_EQ(label.Margin(), 5);
    EXPECT_EQ(label.FadeSpeed(), 64);
    label.resize(200, 40);
    label.SetColor(QColor(231, 237, 236));
    label.SetFrameColor(QColor(10, 20, 30));
    struct Case {
        int fade;
        QColor top;   // the first of 40 lines is already a fortieth of the way
        QColor bottom;
    };
    label.SetFrameWidth(0);
    for (const Case& c : {Case{64, QColor(232, 237, 236), QColor(255, 255, 255)},
                          Case{-64, QColor(229, 235, 234), QColor(167, 173, 172)},
                          Case{64 + 256, QColor(232, 237, 236), QColor(255, 255, 255)},
                          Case{0, QColor(231, 237, 236), QColor(231, 237, 236)}}) {
        label.SetFadeSpeed(c.fade);
        const QImage image = label.grab().toImage();
        EXPECT_EQ(label.FadedColor(), c.bottom) << c.fade;
        EXPECT_EQ(image.pixelColor(100, 0), c.top) << c.fade;
        EXPECT_EQ(image.pixelColor(100, 39), c.bottom) << c.fade;
        EXPECT_EQ(image.pixelColor(0, 20), image.pixelColor(1, 20)) << c.fade;   // no frame
    }
    label.SetFrameWidth(1);
    const QImage framed = label.grab().toImage();
    for (const QPoint& edge : {QPoint(0, 20), QPoint(199, 20), QPoint(100, 0), QPoint(100, 39)})
        EXPECT_EQ(framed.pixelColor(edge), QColor(10, 20, 30)) << edge.x() << "," << edge.y();
    EXPECT_NE(framed.pixelColor(1, 20), QColor(10, 20, 30));
}

TEST(FrameLabel, CaptionKeepsItsMarginsAndShowsOnOneLineWhenTooLow)
{
    TFrameLabel label("Entry #123456789 with a caption long enough to need several lines");
    label.resize(160, 100);
    label.SetFadeSpeed(0);
    label.SetFrameWidth(0);
    const QColor back = label.Color();
    QImage image = label.grab().toImage();
    // no ink within 2 × Margin of the edges; ink on several rows when it fits
    EXPECT_FALSE(HasInk(image, QRect(0, 0, 10, 100), back));
    EXPECT_FALSE(HasInk(image, QRect(150, 0, 10, 100), back));
    int inkedRows = 0;
    for (int y = 0; y < 100; ++y)
        inkedRows += HasInk(image, QRect(10, y, 140, 1), back) ? 1 : 0;
    EXPECT_GT(inkedRows, 2 * QFontMetrics(label.font()).height());
    // centred vertically: as much room above the ink as below it
    int top = 0;
    while (top < 100 && !HasInk(image, QRect(10, top, 140, 1), back))
        ++top;
    int bottom = 99;
    while (bottom > 0 && !HasInk(image, QRect(10, bottom, 140, 1), back))
        --bottom;
    EXPECT_NEAR(top, 99 - bottom, QFontMetrics(label.font()).height());

    // too low for the wrapped text: one line, cut with an ellipsis
    label.resize(160, QFontMetrics(label.font()).height() + 4);
    image = label.grab().toImage();
    inkedRows = 0;
    for (int y = 0; y < image.height(); ++y)
        inkedRows += HasInk(image, QRect(10, y, 140, 1), back) ? 1 : 0;
    EXPECT_LE(inkedRows, QFontMetrics(label.font()).height());
    EXPECT_GT(inkedRows, 0);
    EXPECT_FALSE(HasInk(image, QRect(150, 0, 10, image.height()), back));
}

// --- dotted label ---------------------------------------------------------------

TEST(EllipsisLabel, CaptionRunsOutInDotsUpToTheEdge)
{
    TEllipsisLabel label("Keywords");
    label.resize(81, 20);
    const QString dots(300, QLatin1Char('.'));
    EXPECT_EQ(label.ShownText(), "Keywords" + dots);
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(label.ShownText(), dots + "Keywords");
    label.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_EQ(label.ShownText(), "Keywords" + dots);

    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QColor back = label.palette().color(QPalette::Window);
    const QImage dotted = label.grab().toImage();
    const int words = QFontMetrics(label.font()).horizontalAdvance("Keywords");
    ASSERT_LT(words + 8, 81);
    // ink starts at the left and the dots reach the right edge
    EXPECT_TRUE(HasInk(dotted, QRect(0, 0, 8, 20), back));
    EXPECT_TRUE(HasInk(dotted, QRect(73, 0, 8, 20), back));

    label.SetShowEllipsis(false);
    EXPECT_EQ(label.ShownText(), "Keywords");
    const QImage plain = label.grab().toImage();
    EXPECT_TRUE(HasInk(plain, QRect(0, 0, 8, 20), back));
    EXPECT_FALSE(HasInk(plain, QRect(words + 2, 0, 81 - words - 2, 20), back));
}

// --- highlight lists ------------------------------------------------------------

TEST(FancyLists, SelectedItemShowsTheGradientAndTheHighlightFontColour)
{
    TFancyListBox list;
    list.addItems({"Dusk", "Simple", "Dawn", "Gold"});
    list.resize(120, 100);
    QPalette colours = list.palette();
    colours.setColor(QPalette::Base, QColor(255, 251, 240));
    list.setPalette(colours);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.setCurrentRow(1);
    QApplication::processEvents();
    const QRect selected = list.visualItemRect(list.item(1));
    const QRect other = list.visualItemRect(list.item(2));
    EXPECT_EQ(selected.height(), TFancyItemDelegate::ItemHeight);
    QImage image = list.viewport()->grab().toImage();
    // 16 rows, line i at start + i × (end − start) / 16: the last exactly the end colour
    EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.top()), QColor(246, 248, 248));
    EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.bottom()), QColor(209, 222, 220));
    EXPECT_EQ(image.pixelColor(other.right() - 2, other.center().y()), QColor(255, 251, 240));

    // a new start colour shows at once; the text takes FontColorHi
    list.Highlight()->SetStartColorHi(QColor(200, 0, 0));
    list.Highlight()->SetFontColorHi(QColor(0, 0, 255));
    QApplication::processEvents();
    image = list.viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.top()), QColor(201, 14, 14));
    bool blue = false;
    for (int x = selected.left() + 2; x < selected.left() + 40; ++x)
        for (int y = selected.top(); y <= selected.bottom(); ++y)
            blue = blue || image.pixelColor(x, y) == QColor(0, 0, 255);
    EXPECT_TRUE(blue);

    // a handler of its own draws the item instead
    int drawn = 0;
    list.Highlight()->OnDrawItem = [&drawn](QPainter& painter, int, const QRect& r, bool) {
        ++drawn;
        painter.fillRect(r, Qt::green);
    };
    list.viewport()->repaint();
    image = list.viewport()->grab().toImage();
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.top()), QColor(Qt::green));
}

TEST(FancyLists, ComboBoxDrawsItsDropDownTheSameWay)
{
    TFancyComboBox combo;
    combo.addItems({"AND", "OR"});
    EXPECT_EQ(combo.Highlight()->StartColorHi(), QColor(248, 250, 250));
    EXPECT_EQ(combo.Highlight()->EndColorHi(), QColor(209, 222, 220));
    EXPECT_EQ(combo.Highlight()->FontColorHi(), QColor(Qt::black));
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    QAbstractItemView* view = combo.view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    view->setCurrentIndex(view->model()->index(1, 0));
    QApplication::processEvents();
    const QRect r = view->visualRect(view->model()->index(1, 0));
    const QImage image = view->viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(r.right() - 2, r.bottom()), QColor(209, 222, 220));
    combo.Highlight()->SetEndColorHi(QColor(0, 128, 0));
    QApplication::processEvents();
    EXPECT_EQ(view->viewport()->grab().toImage().pixelColor(r.right() - 2, r.bottom()), QColor(0, 128, 0));
    combo.hidePopup();
}

} // namespace
