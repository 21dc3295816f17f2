#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/BTransparentButton.h"
#include "controls/ResBitBtn.h"
#include "controls/ResImage.h"
#include "controls/ResPicture.h"
#include "controls/ResSpeedBtn3State.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>

namespace {

void Enter(QWidget* widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(widget, &enter);
}

void Leave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

QColor Line(const QColor& start, const QColor& end, int i, int n)
{
    const auto c = [i, n](int from, int to) { return int(std::lround(from + double(i) * (to - from) / n)); };
    return QColor(c(start.red(), end.red()), c(start.green(), end.green()), c(start.blue(), end.blue()));
}

bool Has(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& test)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

void PlainBackground(QWidget& widget, const QColor& colour)
{
    QPalette colours = widget.palette();
    colours.setColor(QPalette::Window, colour);
    widget.setPalette(colours);
    widget.setAutoFillBackground(true);
}

bool Greenish(const QColor& c)
{
    return c.green() > c.red() + 40 && c.green() > c.blue() + 40;
}

class PictureButtons : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TAppResources::Register()); }
};

TEST_F(PictureButtons, ResourceNamesChooseIconOrBitmap)
{
    EXPECT_TRUE(TResPicture::IsIconName("ICO_STOP_RED_16x16"));
    EXPECT_TRUE(TResPicture::IsIconName("ico_user"));
    EXPECT_FALSE(TResPicture::IsIconName("BMP_OK"));
    EXPECT_FALSE(TResPicture::IsIconName(""));
    EXPECT_FALSE(TResPicture::Load("ICO_STOP_RED_16x16").isNull());
    const QPixmap ok = TResPicture::Load("BMP_OK");
    ASSERT_FALSE(ok.isNull());
    EXPECT_TRUE(TResPicture::Load("BMP_NO_SUCH_PICTURE").isNull());
    EXPECT_TRUE(TResPicture::Load("").isNull());
    // greys of the luminance, dark ones lifted to 128, light ones held at 228
    EXPECT_EQ(TResPicture::GreyOf(10), 128);
    EXPECT_EQ(TResPicture::GreyOf(92), 92);
    EXPECT_EQ(TResPicture::GreyOf(250), 228);
    const QImage grey = TResPicture::Greyed(ok).toImage();
    EXPECT_FALSE(Has(grey, grey.rect(), [](const QColor& c) { return c.alpha() > 0 && (c.red() != c.green() || c.green() != c.blue()); }));
}

TEST_F(PictureButtons, PictureControlDrawsAtOneOne)
{
    QWidget parent;
    PlainBackground(parent, QColor(230, 230, 230));
    parent.resize(30, 30);
    auto* image = new TResImage(&parent);
    image->setGeometry(0, 0, 30, 30);
    for (const QString& missing : {QString(), QString("BMP_NO_SUCH_PICTURE")}) {
        image->SetResourceId(missing);
        const QImage shown = parent.grab().toImage();
        EXPECT_FALSE(Has(shown, shown.rect(), [](const QColor& c) { return c != QColor(230, 230, 230); }));
    }
    image->SetResourceId("ICO_STOP_RED_16x16");
    const QImage shown = parent.grab().toImage();
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(230, 230, 230));
    EXPECT_TRUE(Has(shown, QRect(1, 1, 16, 16), [](const QColor& c) { return c.red() > c.green() + 80; }));
    EXPECT_FALSE(Has(shown, QRect(18, 0, 12, 30), [](const QColor& c) { return c != QColor(230, 230, 230); }));
}

TEST_F(PictureButtons, FaceFrameCaptionAndHotLook)
{
    QWidget parent;
    auto* button = new TResBitBtn("Save", &parent);
    button->SetResourceId("BMP_OK");
    button->setGeometry(10, 10, 110, 26);
    parent.resize(140, 50);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(button->PictureRect().left(), 6);   // the margin taken as 6
    EXPECT_EQ(button->CaptionRect().left(), 6 + 16 + 6);

    QImage image = button->grab().toImage();
    const int n = 26;
    EXPECT_EQ(image.pixelColor(60, 1), Line(QColor(236, 233, 216), QColor(172, 172, 165), 2, n));
    EXPECT_EQ(image.pixelColor(60, 24), Line(QColor(236, 233, 216), QColor(172, 172, 165), 25, n));
    EXPECT_EQ(image.pixelColor(60, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 13), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(109, 13), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(60, 25), QColor(Qt::black));
    EXPECT_TRUE(Has(image, button->PictureRect(), Greenish));
    EXPECT_TRUE(Has(image, button->CaptionRect(), [](const QColor& c) { return c == Qt::black; }));

    Enter(button);
    EXPECT_TRUE(button->Hot());
    image = button->grab().toImage();
    EXPECT_EQ(image.pixelColor(60, 24), Line(QColor(249, 249, 238), QColor(192, 192, 175), 25, n));
    EXPECT_TRUE(Has(image, button->CaptionRect(), [](const QColor& c) { return c == QColor(0, 0, 128); }));

    // held down: a black edge with a grey one inside
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(50, 13));
    EXPECT_TRUE(button->Pressed());
    image = button->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 13), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(1, 13), QColor(128, 128, 128));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(50, 13));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->Pressed());
    Leave(button);
    EXPECT_FALSE(button->Hot());
}

TEST_F(PictureButtons, DisabledButtonIsGreyAndNeverHot)
{
    TResBitBtn button("Save");
    button.SetResourceId("BMP_OK");
    button.resize(110, 26);
    button.setEnabled(false);
    Enter(&button);
    EXPECT_FALSE(button.Hot());
    const QImage image = button.grab().toImage();
    EXPECT_FALSE(Has(image, button.PictureRect(), Greenish));
    EXPECT_TRUE(Has(image, button.PictureRect(), [](const QColor& c) { return c.red() == c.green() && c.red() < 200; }));
    EXPECT_TRUE(Has(image, button.CaptionRect(), [](const QColor& c) { return c == QColor(164, 164, 164); }));
    EXPECT_FALSE(Has(image, button.CaptionRect().adjusted(0, 2, -2, -2), [](const QColor& c) { return c == Qt::black; }));

    // a disabled icon is not drawn at all
    button.SetResourceId("ICO_STOP_RED_16x16");
    EXPECT_TRUE(button.PictureRect().isNull());
}

TEST_F(PictureButtons, HiddenBorderShowsOnlyUnderThePointer)
{
    QWidget parent;
    PlainBackground(parent, QColor(10, 200, 10));
    auto* button = new TResBitBtn("Options", &parent);
    button->SetHideBorderOnExit(true);
    button->setGeometry(0, 0, 110, 26);
    parent.resize(110, 26);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    Leave(button);   // wherever the pointer was when the window came up
    EXPECT_EQ(parent.grab().toImage().pixelColor(60, 25), QColor(10, 200, 10));
    Enter(button);
    EXPECT_EQ(parent.grab().toImage().pixelColor(60, 25), QColor(Qt::black));
    Leave(button);
    EXPECT_EQ(parent.grab().toImage().pixelColor(60, 25), QColor(10, 200, 10));
}

TEST_F(PictureButtons, ThreeStateButtonShowsThePictureOfItsState)
{
    QWidget parent;
    auto* button = new TResSpeedBtn3State(&parent);
    EXPECT_EQ(button->size(), QSize(16, 16));
    button->SetBitmapNormal("BMP_OK");
    button->SetBitmapHighlighted("BMP_LED_GREEN");
    button->SetBitmapDown("BMP_KEY_RED_NORMAL");
    parent.resize(40, 40);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const auto same = [](const QPixmap& a, const QString& name) {
        return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
               TResPicture::Load(name).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    Leave(button);   // wherever the pointer was when the window came up
    EXPECT_TRUE(same(button->Shown(), "BMP_OK"));
    Enter(button);
    EXPECT_TRUE(same(button->Shown(), "BMP_LED_GREEN"));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_TRUE(same(button->Shown(), "BMP_KEY_RED_NORMAL"));
    // dragged off and left: no pressed look stays
    QTest::mouseMove(button, QPoint(30, 30));
    Leave(button);
    EXPECT_FALSE(button->Pressed());
    EXPECT_TRUE(same(button->Shown(), "BMP_OK"));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 30));
    button->setEnabled(false);
    const QImage grey = button->Shown().toImage();
    EXPECT_FALSE(Has(grey, grey.rect(), [](const QColor& c) { return c.alpha() > 0 && (c.red() != c.green() || c.green() != c.blue()); }));
}

TEST_F(PictureButtons, ToolbarButtonShowsRedCornersUnderThePointer)
{
    QWidget parent;
    PlainBackground(parent, QColor(230, 230, 230));
    auto* button = new TBTransparentButton(&parent);
    button->SetResourceId("BMP_OK");
    button->setGeometry(0, 0, 30, 30);
    parent.resize(30, 30);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    const QColor red(222, 3, 3);
    Leave(button);
    QImage image = parent.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(230, 230, 230));
    EXPECT_TRUE(Has(image, QRect(7, 7, 16, 16), Greenish));   // the picture, centred

    Enter(button);
    image = parent.grab().toImage();
    for (const QPoint& p : {QPoint(0, 0), QPoint(5, 0), QPoint(0, 5), QPoint(29, 29), QPoint(24, 29), QPoint(29, 0),
                            QPoint(0, 29)})
        EXPECT_EQ(image.pixelColor(p), red) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixelColor(15, 0), QColor(230, 230, 230));   // brackets, not a frame

    // held down: the brackets come in by two pixels
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(15, 15));
    image = parent.grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2), red);
    EXPECT_NE(image.pixelColor(0, 0), red);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(15, 15));

    // disabled: grey picture, no brackets
    button->setEnabled(false);
    Enter(button);
    image = parent.grab().toImage();
    EXPECT_FALSE(Has(image, image.rect(), Greenish));
    EXPECT_NE(image.pixelColor(0, 0), red);
}

} // namespace
