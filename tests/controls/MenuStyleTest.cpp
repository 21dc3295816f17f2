#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/GradientFill.h"
#include "controls/MenuStyle.h"

#include <QAction>
#include <QApplication>
#include <QCommonStyle>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const QColor kMenu(236, 233, 216);
const QColor kGreyText(128, 128, 128);
const QColor kPen(0x31, 0x69, 0xC6);
const QColor kBrush(0xC6, 0xD3, 0xEF);

// The platform's measurement taken as it comes, so that the owner-drawn
// rule can be seen on round numbers.
class TMeasureAsGiven : public QCommonStyle
{
public:
    QSize sizeFromContents(ContentsType, const QStyleOption*, const QSize& size, const QWidget*) const override
    {
        return size;
    }
};

QPalette MenuPalette()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, kMenu);
    palette.setColor(QPalette::Disabled, QPalette::Text, kGreyText);
    return palette;
}

int Channel(int from, int to, int i, int n)
{
    return int(std::lround(from + double(i) * (to - from) / n));
}

// The pointer resting over a point of the widget.
void HoverAt(QWidget* widget, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QApplication::processEvents();
}

bool HasColour(const QImage& image, const QRect& area, const QColor& colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

class MenuStyleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAppResources::Register(); }

    void SetUp() override
    {
        style = TCoolMenuStyle::Install();
        ASSERT_TRUE(style);
        style->SetScreenDepth(24);
        style->SetMenuColours(kPen, kBrush);
        menu = std::make_unique<QMenu>();
        menu->setPalette(MenuPalette());
        open = menu->addAction("Open");
        open->setShortcut(QKeySequence("Ctrl+O"));
        checked = menu->addAction("Word wrap");
        checked->setCheckable(true);
        checked->setChecked(true);
        QPixmap magenta(16, 16);
        magenta.fill(Qt::magenta);
        checked->setIcon(QIcon(magenta));
        disabled = menu->addAction("Paste");
        disabled->setEnabled(false);
        menu->addSeparator();
        pictured = menu->addAction(QIcon(magenta), "Pictured");
    }

    void TearDown() override { style->SetScreenDepth(24); }

    QImage Shown(QAction* active)
    {
        menu->popup(QPoint(20, 20));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
        menu->setActiveAction(active);
        QApplication::processEvents();
        return menu->grab().toImage();
    }

    TCoolMenuStyle* style = nullptr;
    std::unique_ptr<QMenu> menu;
    QAction* open = nullptr;
    QAction* checked = nullptr;
    QAction* disabled = nullptr;
    QAction* pictured = nullptr;
};

TEST_F(MenuStyleTest, HighlightIsAGradientFromTheBrushFramedInThePen)
{
    const QImage image = Shown(open);
    const QRect r = menu->actionGeometry(open);
    ASSERT_GT(r.height(), 14);
    const int x = r.left() + 2;   // left of the caption
    // the frame, the full height
    EXPECT_EQ(image.pixelColor(r.left(), r.center().y()), kPen);
    EXPECT_EQ(image.pixelColor(r.right(), r.center().y()), kPen);
    EXPECT_EQ(image.pixelColor(r.center().x(), r.top()), kPen);
    EXPECT_EQ(image.pixelColor(r.center().x(), r.bottom()), kPen);
    // the gradient over the rows above the last: line i of n
    const int n = r.height() - 1;
    const QColor end = LightenColour(kBrush, 32);
    EXPECT_EQ(end, QColor(0xE6, 0xF3, 0xFF));
    const QColor second(Channel(kBrush.red(), end.red(), 2, n), Channel(kBrush.green(), end.green(), 2, n),
                        Channel(kBrush.blue(), end.blue(), 2, n));
    EXPECT_EQ(image.pixelColor(x, r.top() + 1), second);
    EXPECT_EQ(image.pixelColor(x, r.bottom() - 1), end);

    // a new scheme's colours show at once
    const QColor pen(0xFF, 0x55, 0x55);
    const QColor brush(0xFF, 0xD2, 0xD2);
    style->SetMenuColours(pen, brush);
    QApplication::processEvents();
    const QImage again = menu->grab().toImage();
    EXPECT_EQ(again.pixelColor(r.left(), r.center().y()), pen);
    EXPECT_EQ(again.pixelColor(x, r.bottom() - 1), QColor(0xFF, 0xF2, 0xF2));
}

TEST_F(MenuStyleTest, PictureColumnIsAGreyGradientOrPlainGreyOnFewColours)
{
    // RGB(236,233,216) darkened by 16 is RGB(220,217,200), whose grey is 211
    EXPECT_EQ(TCoolMenuStyle::PictureColumnColour(kMenu), QColor(211, 211, 211));
    struct Case {
        int depth;
        int first;
        int last;
    };
    for (const Case& c : {Case{24, 213, 243}, Case{32, 213, 243}, Case{16, 211, 211}}) {
        style->SetScreenDepth(c.depth);
        const QImage image = Shown(open);
        const QRect r = menu->actionGeometry(disabled);
        const int y = r.top() + 1;
        EXPECT_EQ(image.pixelColor(r.left(), y), QColor(c.first, c.first, c.first)) << c.depth;
        EXPECT_EQ(image.pixelColor(r.left() + TCoolMenuStyle::PictureColumnWidth - 1, y),
                  QColor(c.last, c.last, c.last))
            << c.depth;
        // beyond the column the menu's own colour
        EXPECT_EQ(image.pixelColor(r.right() - 2, y), kMenu) << c.depth;
        menu->hide();
    }
}

TEST_F(MenuStyleTest, DisabledItemsAreEngravedAndNeverHighlighted)
{
    // drawn straight, as selected but disabled
    QStyleOptionMenuItem item;
    item.initFrom(menu.get());
    item.palette = MenuPalette();
    item.state = QStyle::State_Selected;   // not enabled
    item.rect = QRect(0, 0, 160, 24);
    item.text = "Paste\tCtrl+V";
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.font = menu->font();
    QImage image(160, 24, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    style->DrawMenuItem(painter, item, false, Qt::black, kBrush, kPen);
    painter.end();
    const QRect text(24, 0, 136, 24);
    EXPECT_FALSE(HasColour(image, image.rect(), kPen));
    EXPECT_FALSE(HasColour(image, image.rect(), kBrush));
    EXPECT_TRUE(HasColour(image, text, Qt::white));
    EXPECT_TRUE(HasColour(image, text, kGreyText));
    EXPECT_FALSE(HasColour(image, text, Qt::black));   // no caption in the text colour
    // no shortcut: the right part keeps the menu colour
    for (int x = 100; x < 160; ++x)
        for (int y = 0; y < 24; ++y)
            ASSERT_EQ(image.pixelColor(x, y), kMenu) << x << "," << y;

    // in a shown menu the mouse cannot light it up either
    const QImage shown = Shown(open);
    const QRect r = menu->actionGeometry(disabled);
    HoverAt(menu.get(), r.center());
    const QImage hovered = menu->grab().toImage();
    EXPECT_FALSE(HasColour(hovered, r, kPen));
    EXPECT_TRUE(HasColour(hovered, r, kGreyText));
    EXPECT_TRUE(HasColour(shown, r, Qt::white));
}

TEST_F(MenuStyleTest, CheckPictureReplacesTheItemsPictureAndShortcutsStandRight)
{
    const QImage image = Shown(open);
    const QRect check = menu->actionGeometry(checked);
    const QRect picture(check.left() + 4, check.top(), 16, check.height());
    EXPECT_FALSE(HasColour(image, picture, Qt::magenta));
    bool green = false;
    for (int y = check.top(); y <= check.bottom(); ++y)
        for (int x = picture.left(); x < picture.left() + 12; ++x) {
            const QColor c = image.pixelColor(x, y);
            green = green || (c.green() > c.red() + 40 && c.green() > c.blue() + 40);
        }
    EXPECT_TRUE(green);
    // an unchecked item with a picture shows its picture at x = 4
    const QRect other = menu->actionGeometry(pictured);
    EXPECT_EQ(image.pixelColor(other.left() + 4, other.top() + (other.height() - 16) / 2), QColor(Qt::magenta));

    // the shortcut's last ink stands five pixels in from the right edge
    const QRect r = menu->actionGeometry(open);
    int rightmostInk = -1;
    const QColor end = LightenColour(kBrush, 32);
    for (int x = r.left() + 1; x < r.right(); ++x)
        for (int y = r.top() + 1; y < r.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 120 && c.green() < 120 && c.blue() < 160 && c != kPen)
                rightmostInk = std::max(rightmostInk, x);
        }
    EXPECT_LE(rightmostInk, r.right() - 5);
    EXPECT_GE(rightmostInk, r.right() - 10);
    EXPECT_NE(end, QColor(Qt::black));
}

TEST_F(MenuStyleTest, MissingCheckPictureStillShowsATick)
{
    TAppResources::Unregister();
    TCoolMenuStyle fresh;
    QStyleOptionMenuItem item;
    item.palette = MenuPalette();
    item.state = QStyle::State_Enabled;
    item.rect = QRect(0, 0, 120, 22);
    item.text = "Word wrap";
    item.checkType = QStyleOptionMenuItem::NonExclusive;
    item.checked = true;
    item.menuItemType = QStyleOptionMenuItem::Normal;
    item.font = QApplication::font();
    QImage image(120, 22, QImage::Format_RGB32);
    QPainter painter(&image);
    fresh.DrawMenuItem(painter, item, false, Qt::black, kBrush, kPen);
    painter.end();
    TAppResources::Register();
    bool green = false;
    for (int y = 0; y < 22; ++y)
        for (int x = 4; x < 16; ++x) {
            const QColor c = image.pixelColor(x, y);
            green = green || (c.green() > c.red() + 40 && c.green() > c.blue() + 40);
        }
    EXPECT_TRUE(green);
}

TEST_F(MenuStyleTest, MeasuringAddsATenthAndThePictureColumn)
{
    TCoolMenuStyle measured(new TMeasureAsGiven);
    QStyleOptionMenuItem item;
    item.menuItemType = QStyleOptionMenuItem::Normal;
    struct Case {
        QStyle::ContentsType type;
        QSize given;
        QSize shown;
    };
    for (const Case& c : {Case{QStyle::CT_MenuItem, {100, 16}, {134, 18}},
                          Case{QStyle::CT_MenuBarItem, {100, 16}, {110, 18}},
                          Case{QStyle::CT_MenuItem, {15, 13}, {41, 15}},   // 16.5 rounds up
                          Case{QStyle::CT_MenuItem, {0, 0}, {24, 2}}})
        EXPECT_EQ(measured.sizeFromContents(c.type, &item, c.given), c.shown) << c.given.width();
    // separators keep the platform's measure
    item.menuItemType = QStyleOptionMenuItem::Separator;
    EXPECT_EQ(measured.sizeFromContents(QStyle::CT_MenuItem, &item, QSize(2, 2)), QSize(2, 2));
}

TEST_F(MenuStyleTest, BarItemsHaveNoPictureColumnAndLightUpUnderThePointer)
{
    QWidget window;
    auto* bar = new QMenuBar(&window);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, kMenu);
    bar->setPalette(palette);
    QMenu* file = bar->addMenu("&File");
    file->addAction("Exit");
    QMenu* edit = bar->addMenu("&Edit");
    edit->addAction("Copy");
    bar->adjustSize();
    window.resize(300, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect first = bar->actionGeometry(file->menuAction());
    const QRect second = bar->actionGeometry(edit->menuAction());
    QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(first.left() + 1, first.top() + 1), kMenu);
    EXPECT_FALSE(HasColour(image, first, kPen));

    // an item with colours of its own
    TCoolMenuStyle::SetItemColours(edit->menuAction(), Qt::red, Qt::yellow);
    HoverAt(bar, first.center());
    image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(first.left(), first.center().y()), kPen);
    EXPECT_EQ(image.pixelColor(first.left() + 1, first.bottom() - 1), LightenColour(kBrush, 32));
    HoverAt(bar, second.center());
    image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(second.left(), second.center().y()), QColor(Qt::red));
    EXPECT_FALSE(HasColour(image, first, kPen));
}

TEST_F(MenuStyleTest, OddCaptionsAreDrawnWithoutHarm)
{
    QAction* empty = menu->addAction(QString());
    QAction* longest = menu->addAction(QString(5000, QLatin1Char('W')));
    longest->setShortcut(QKeySequence("Ctrl+L"));
    menu->addAction("&&Ampersand");
    for (QAction* active : {empty, longest}) {
        const QImage image = Shown(active);
        ASSERT_FALSE(image.isNull());
        const QRect r = menu->actionGeometry(active);
        EXPECT_EQ(image.pixelColor(r.left(), r.center().y()), kPen);
        // the long one is cut to the screen, its shortcut still in sight
        EXPECT_LE(menu->width(), menu->screen()->availableGeometry().width());
        menu->hide();
    }
}

} // namespace
