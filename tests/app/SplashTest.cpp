#include "TestEnv.h"
#include "app/AppResources.h"
#include "app/ScrollingCredits.h"
#include "app/fSplash.h"

#include <QApplication>
#include <QBitmap>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace {

const TSplashTimings kQuick{150, 150};

class Splash : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TAppResources::Register()); }

    static QLabel* Label(const TfrmSplash& splash, const char* name)
    {
        return splash.findChild<QLabel*>(QString::fromLatin1(name));
    }

    // Runs `action` once the modal loop of the About window is running, then
    // shows the window modally; false when the loop did not end within `timeoutMs`.
    static bool About(TfrmSplash& splash, const std::function<void()>& action, int timeoutMs = 3000)
    {
        QTimer::singleShot(0, &splash, [&] {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
            action();
        });
        bool ended = false;
        QTimer::singleShot(timeoutMs, &splash, [&] {
            if (!ended)
                splash.done(-1);
        });
        const int result = splash.ShowAbout();
        ended = true;
        return result != -1;
    }
};

} // namespace

TEST_F(Splash, LookVersionAndShape)
{
    TfrmSplash splash;
    EXPECT_EQ(splash.windowTitle(), "Tessaryn splash form");
    EXPECT_EQ(TfrmSplash::VersionText(), "Version 1.2.1");
    EXPECT_EQ(Label(splash, "laVersion")->text(), "Version 1.2.1");
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(209, 208, 190));
    EXPECT_EQ(splash.font().family(), "Tahoma");

    // the client area is the picture's size, cut to a rounded rectangle
    const QPixmap picture = TAppResources::Picture("JPG_SPLASH");
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(splash.size(), picture.size());
    const QRegion shape = splash.mask();
    const int w = splash.width(), h = splash.height();
    // from (1, 1) to the client's width and height
    EXPECT_FALSE(shape.contains(QPoint(w / 2, 0)));
    EXPECT_FALSE(shape.contains(QPoint(0, h / 2)));
    EXPECT_TRUE(shape.contains(QPoint(w / 2, 1)));
    EXPECT_TRUE(shape.contains(QPoint(1, h / 2)));
    EXPECT_TRUE(shape.contains(QPoint(w - 1, h / 2)));
    EXPECT_TRUE(shape.contains(QPoint(w / 2, h - 1)));
    EXPECT_FALSE(shape.contains(QPoint(3, 3)));       // corners rounded ...
    EXPECT_TRUE(shape.contains(QPoint(9, 9)));        // ... by ellipses of 33 x 33

    for (const char* name : {"laClose", "laCredits"}) {
        const QLabel* link = Label(splash, name);
        EXPECT_TRUE(link->font().underline()) << name;
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(138, 137, 124)) << name;
    }
    EXPECT_TRUE(splash.findChild<QFrame*>("bvMarquee")->isHidden());
}

// The pictures share the fixture: it makes them available.
using Pictures = Splash;

TEST_F(Pictures, WithoutThemTheSplashHasEverythingButItsPicture)
{
    EXPECT_TRUE(TAppResources::Picture("NO_SUCH_PICTURE").isNull());
    TAppResources::Unregister();
    const bool noPicture = TAppResources::Picture("JPG_SPLASH").isNull() && TAppResources::Icon("A_ICO").isNull();
    TfrmSplash splash;
    ASSERT_TRUE(TAppResources::Register());
    EXPECT_TRUE(noPicture);
    EXPECT_TRUE(splash.findChild<QLabel*>("imgSplash")->pixmap().isNull());
    EXPECT_EQ(splash.size(), QSize(480, 300));
    EXPECT_TRUE(splash.rect().contains(Label(splash, "laVersion")->geometry()));
    EXPECT_FALSE(TAppResources::Picture("JPG_SPLASH").isNull());
}

TEST_F(Pictures, BitmapsShowTheirTransparentColourAsTransparent)
{
    const QImage bitmap = TAppResources::Picture("BMP_HINT_INFO").toImage();
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(qAlpha(bitmap.pixel(0, 0)), 0);          // the olive corner
    EXPECT_EQ(qAlpha(bitmap.pixel(8, 8)), 255);        // the drawing
    const QImage icon = TAppResources::Picture("ICO_STOP_RED_16x16").toImage();
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);            // an icon's own transparency
}

TEST_F(Splash, StartupSplashCannotBeClosedAndGoesAfterItsTimer)
{
    QPointer<TfrmSplash> splash = new TfrmSplash(nullptr, TSplashTimings{400, 4000});
    int released = 0;
    splash->OnReleased = [&] { ++released; };
    splash->ShowForStartup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
    EXPECT_TRUE(Label(*splash, "laClose")->isHidden());
    EXPECT_TRUE(Label(*splash, "laCredits")->isHidden());
    const QRect screen = splash->screen()->geometry();
    EXPECT_EQ(splash->geometry().center(), screen.center());

    splash->close();
    QTest::keyClick(splash, Qt::Key_Escape);
    splash->reject();
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(released, 0);

    ASSERT_TRUE(TestEnv::WaitFor([&] { return splash.isNull(); }));
    EXPECT_EQ(released, 1);
}

TEST_F(Splash, StartupSplashMovesWhereverItIsDragged)
{
    auto* splash = new TfrmSplash(nullptr, TSplashTimings{60000, 4000});
    QPointer<TfrmSplash> guard = splash;
    QUrl opened;
    splash->OnOpenWebPage = [&](const QUrl& url) { opened = url; };
    splash->ShowForStartup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
    // in start-up mode the company label is part of the picture you drag
    QLabel* company = Label(*splash, "laCompany");
    const QPoint start = splash->pos();
    QTest::mousePress(company, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseMove(company, QPoint(33, 23));
    QTest::mouseRelease(company, Qt::LeftButton, {}, QPoint(33, 23));
    EXPECT_EQ(splash->pos(), start + QPoint(30, 20));
    EXPECT_TRUE(opened.isEmpty());
    delete guard.data();
}

TEST_F(Splash, AboutWindowClosesOnEscapeAndOnTheCloseLink)
{
    const std::function<void(TfrmSplash&)> ways[] = {
        [](TfrmSplash& s) { QTest::keyClick(&s, Qt::Key_Escape); },
        [](TfrmSplash& s) { QTest::mouseClick(Label(s, "laClose"), Qt::LeftButton); },
    };
    for (const auto& closeIt : ways) {
        TfrmSplash splash(nullptr, kQuick);
        int released = 0;
        splash.OnReleased = [&] { ++released; };
        bool linksShown = false;
        EXPECT_TRUE(About(splash, [&] {
            linksShown = Label(splash, "laClose")->isVisible() && Label(splash, "laCredits")->isVisible();
            closeIt(splash);
        }));
        EXPECT_TRUE(linksShown);
        EXPECT_FALSE(splash.isVisible());
        EXPECT_EQ(released, 1);
    }
}

TEST_F(Splash, CreditsShowAtOnceAndScrollLater)
{
    TfrmSplash splash(nullptr, kQuick);
    auto* marquee = splash.findChild<TScrollingCredits*>("Marquee");
    auto* panel = splash.findChild<QFrame*>("bvMarquee");
    QUrl opened;
    splash.OnOpenWebPage = [&](const QUrl& url) { opened = url; };
    bool shownAtOnce = false, stillAtRest = false, scrolled = false;
    QPoint before, after;
    EXPECT_TRUE(About(splash, [&] {
        QTest::mouseClick(Label(splash, "laCredits"), Qt::LeftButton);
        shownAtOnce = panel->isVisible() && Label(splash, "laCredits")->isHidden();
        stillAtRest = !marquee->IsScrolling() && marquee->Offset() == 0;
        scrolled = TestEnv::WaitFor([&] { return marquee->Offset() >= 3; });
        // in About mode the links take their clicks and the window stays put
        before = splash.pos();
        QTest::mouseClick(Label(splash, "laCompany"), Qt::LeftButton);
        after = splash.pos();
        QTest::keyClick(&splash, Qt::Key_Escape);
    }));
    EXPECT_TRUE(shownAtOnce);
    EXPECT_TRUE(stillAtRest);
    EXPECT_TRUE(scrolled);
    EXPECT_EQ(opened, TfrmSplash::CompanyUrl());
    EXPECT_EQ(before, after);
    EXPECT_FALSE(marquee->IsScrolling());
}

TEST(ScrollingCredits, ScrollsOnePixelAStepAndStartsAgainAtTheBottom)
{
    TScrollingCredits credits;
    credits.resize(100, 50);
    credits.SetCredits("[b]Heading\n[c]Name\nplain");
    ASSERT_EQ(credits.LineCount(), 3);
    credits.Start();
    ASSERT_TRUE(TestEnv::WaitFor([&] { return credits.Offset() >= 5; }));
    // the three lines take 54 pixels; after 50 + 54 steps they are gone and come in again
    ASSERT_TRUE(TestEnv::WaitFor([&] { return credits.Offset() < 5; }, 8000));
    credits.Stop();
    const int at = credits.Offset();
    QTest::qWait(3 * TScrollingCredits::StepMs);
    EXPECT_EQ(credits.Offset(), at);
}
