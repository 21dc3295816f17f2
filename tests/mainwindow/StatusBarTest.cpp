#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/SizeGripPanel.h"
#include "mainwindow/HintManager.h"
#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>

// A dialog with a status bar: controls with a hint, with blanks for a hint,
// without one, and a label that takes the hint of the frame around it.
class TfrmHintProbe : public TFrmStatusBar
{
    Q_OBJECT

public:
    explicit TfrmHintProbe(TdmMain& dmMain, const QString& prefix = QString()) : TFrmStatusBar(dmMain)
    {
        edTitle = new QLineEdit(ClientArea());
        edTitle->setStatusTip(prefix + "Type the entry's title");
        edTitle->setToolTip("a tooltip that must never show");
        edBlank = new QLineEdit(ClientArea());
        edBlank->setStatusTip("   ");
        btnPlain = new QPushButton("Plain", ClientArea());
        paFramed = new QFrame(ClientArea());
        paFramed->setStatusTip(prefix + "Hint of the frame");
        paFramed->setMinimumHeight(40);
        laInside = new QLabel("inside", paFramed);
        laInside->setGeometry(4, 4, 60, 20);
        auto* column = new QVBoxLayout(ClientArea());
        for (QWidget* w : std::initializer_list<QWidget*>{edTitle, edBlank, btnPlain, paFramed})
            column->addWidget(w);
        column->addStretch(1);
        resize(360, 260);
    }

    QLabel* Hint() const { return paHint; }
    QLabel* Picture() const { return imgHint; }
    TSizeGripPanel* GripPanel() const { return SizeGripPanel1; }

    QLineEdit* edTitle;
    QLineEdit* edBlank;
    QPushButton* btnPlain;
    QFrame* paFramed;
    QLabel* laInside;
};

// A main window with a status bar and a menu.
class TfrmHintProbeMain : public TFrmStatusBarMain
{
    Q_OBJECT

public:
    explicit TfrmHintProbeMain(TdmMain& dmMain) : TFrmStatusBarMain(dmMain)
    {
        miFile = menuBar()->addMenu("File");
        acNewEntry = miFile->addAction("New entry");
        acNewEntry->setStatusTip("Create a new entry from scratch");
        edSearch = new QLineEdit(ClientArea());
        edSearch->setStatusTip("Type the search keys");
        edSearch->setGeometry(10, 10, 200, 24);
        resize(500, 300);
    }

    QLabel* Hint() const { return paHint; }

    QMenu* miFile;
    QAction* acNewEntry;
    QLineEdit* edSearch;
};

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kPinned = "ICO_POSTIT_NOTE_BLUE_PIN_NORMAL_16x16";
const QString kEmpty = "BMP_HINT_EMPTY";

class StatusBar : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(TAppResources::Register()); }

    void SetUp() override
    {
        db = TestDatabase::Create(TEngine::SQLite);
        conn = db->Connect();
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        dm = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(dm->IsInitialized()) << dm->InitializationError().toStdString();
        hints = std::make_unique<THintManager>();
    }

    void TearDown() override
    {
        hints.reset();
        QToolTip::hideText();
    }

    template <class TWindow>
    void Open(TWindow& window)
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Moves the mouse as the window system reports it: onto the middle of the widget.
    static void Hover(QWidget* widget, std::optional<QPoint> at = {})
    {
        QCursor::setPos(widget->mapToGlobal(at.value_or(widget->rect().center())));
        QApplication::processEvents();
    }

    static bool Shows(const QLabel* picture, const QString& name)
    {
        return picture->pixmap().toImage() == TAppResources::Picture(name).toImage();
    }

    RecordingDesktop desktop;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TdmConnection> conn;
    std::unique_ptr<TdmMain> dm;
    std::unique_ptr<THintManager> hints;
};

} // namespace

TEST_F(StatusBar, BottomRowLayout)
{
    TfrmHintProbe window(*dm);
    Open(window);
    EXPECT_EQ(TFrmStatusBar(*dm).windowTitle(), "Status bar form");
    auto* bottom = window.findChild<QFrame*>("paBottom");
    ASSERT_TRUE(bottom);
    // the design's 19 pixels, or more when the hint's font needs them
    EXPECT_EQ(bottom->height(), std::max(19, QFontMetrics(window.Hint()->font()).height() + 6));
    EXPECT_EQ(bottom->geometry().bottom(), window.rect().bottom());
    EXPECT_EQ(window.findChild<QFrame*>("paImg")->width(), 19);
    EXPECT_EQ(window.GripPanel()->width(), 58);
    EXPECT_EQ(window.GripPanel()->geometry().right(), bottom->rect().right());
    EXPECT_GE(window.Hint()->font().pixelSize(), 9);
    EXPECT_TRUE(Shows(window.Picture(), kEmpty));
    // the grip sizes the window, but not a maximized one
    EXPECT_TRUE(window.GripPanel()->Grip()->isVisible());
    window.showMaximized();
    ASSERT_TRUE(TestEnv::WaitFor([&] { return !window.GripPanel()->Grip()->isVisible(); }));
    window.showNormal();
    ASSERT_TRUE(TestEnv::WaitFor([&] { return window.GripPanel()->Grip()->isVisible(); }));
    window.GripPanel()->SetSizeGrip(false);
    EXPECT_FALSE(window.GripPanel()->Grip()->isVisible());
}

TEST_F(StatusBar, HoveringShowsTheHintOfTheControlUnderTheMouse)
{
    TfrmHintProbe window(*dm);
    Open(window);
    const struct {
        QWidget* widget;
        QString text;
        QString picture;
    } steps[] = {
        {window.edTitle, "Type the entry's title", kPinned},
        {window.btnPlain, "", kEmpty},
        {window.edBlank, "   ", kEmpty},   // blanks are written, but show no note
        {window.laInside, "Hint of the frame", kPinned},
        {window.edTitle, "Type the entry's title", kPinned},
        {window.ClientArea(), "", kEmpty},   // back onto the parent: nothing is entered
    };
    for (const auto& step : steps) {
        // a point of the control not covered by one of its children
        Hover(step.widget, QPoint(2, step.widget->height() - 3));
        EXPECT_EQ(window.Hint()->text(), step.text) << step.widget->metaObject()->className();
        EXPECT_TRUE(Shows(window.Picture(), step.picture)) << step.text.toStdString();
        EXPECT_EQ(THintManager::ApplicationHint(), step.text);
    }
}

TEST_F(StatusBar, ErrorAndInformationTextsHaveTheirColoursAndPictures)
{
    TfrmHintProbe window(*dm);
    Open(window);
    window.ShowErrorHint("The title is missing");
    EXPECT_EQ(window.Hint()->text(), "The title is missing");
    EXPECT_EQ(window.Hint()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(Shows(window.Picture(), "ICO_STOP_RED_16x16"));
    window.ShowInfoHint("Saved");
    EXPECT_EQ(window.Hint()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(Shows(window.Picture(), "BMP_HINT_INFO"));
    // the pointer coming to rest on a control without a hint (a menu or a
    // dialog just closed) does not wipe the notice before it could be read
    Hover(window.btnPlain);
    EXPECT_EQ(window.Hint()->text(), "Saved");
    EXPECT_TRUE(Shows(window.Picture(), "BMP_HINT_INFO"));
    // a real hint replaces it
    Hover(window.edTitle);
    EXPECT_EQ(window.Hint()->text(), "Type the entry's title");
    EXPECT_EQ(window.Hint()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_TRUE(Shows(window.Picture(), kPinned));
}

TEST_F(StatusBar, EachWindowShowsTheHintsOfItsOwnControls)
{
    TfrmHintProbeMain mainWindow(*dm);
    Open(mainWindow);
    TfrmHintProbe dialog(*dm, "Dialog: ");
    Open(dialog);
    // side by side: the offscreen platform has no stacking order to tell overlapping windows apart
    mainWindow.move(0, 0);
    dialog.move(mainWindow.frameGeometry().right() + 20, 0);

    Hover(mainWindow.edSearch);
    EXPECT_EQ(mainWindow.Hint()->text(), "Type the search keys");
    Hover(dialog.edTitle);
    EXPECT_EQ(dialog.Hint()->text(), "Dialog: Type the entry's title");
    EXPECT_EQ(mainWindow.Hint()->text(), "Type the search keys");

    // a highlighted menu item: the hint goes to the window whose menu it is
    mainWindow.menuBar()->setActiveAction(mainWindow.miFile->menuAction());
    ASSERT_TRUE(TestEnv::WaitFor([&] { return mainWindow.miFile->isVisible(); }));
    mainWindow.miFile->setActiveAction(mainWindow.acNewEntry);
    EXPECT_EQ(mainWindow.Hint()->text(), "Create a new entry from scratch");
    EXPECT_EQ(dialog.Hint()->text(), "Dialog: Type the entry's title");
    mainWindow.miFile->close();
    // Qt's own status bar never appears beside the program's
    EXPECT_EQ(mainWindow.findChild<QStatusBar*>(), nullptr);
}

TEST_F(StatusBar, EmbeddedWindowHandsItsTextsToTheWindowAroundIt)
{
    TfrmHintProbe host(*dm);
    auto* embedded = new TfrmHintProbe(*dm, "Embedded: ");
    embedded->ShowErrorHint("alone");
    EXPECT_EQ(embedded->Hint()->text(), "alone");   // a window of its own shows its own texts

    embedded->setParent(host.ClientArea(), Qt::Widget);
    host.ClientArea()->layout()->addWidget(embedded);
    Open(host);
    embedded->ShowInfoHint("Saved");
    EXPECT_EQ(host.Hint()->text(), "Saved");
    EXPECT_EQ(host.Hint()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(embedded->Hint()->text(), "alone");
    Hover(embedded->edTitle);
    EXPECT_EQ(host.Hint()->text(), "Embedded: Type the entry's title");
    embedded->ShowApplicationHint();
    EXPECT_EQ(host.Hint()->text(), "Embedded: Type the entry's title");
    EXPECT_EQ(embedded->Hint()->text(), "alone");
}

TEST_F(StatusBar, NoTooltipEverAppears)
{
    TfrmHintProbe window(*dm);
    Open(window);
    const auto askForTooltip = [&] {
        const QPoint at = window.edTitle->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, window.edTitle->mapToGlobal(at));
        QApplication::sendEvent(window.edTitle, &help);
        QApplication::processEvents();
        return QToolTip::isVisible();
    };
    EXPECT_FALSE(askForTooltip());
    // without the hint manager the same request shows one, so the check above can tell
    hints.reset();
    EXPECT_TRUE(askForTooltip());
}

#include "StatusBarTest.moc"
