#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"
#include "settings/fPersistent.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QScreen>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// A control that uses up every key, as a grid with keyboard search does.
class TKeyEater : public QWidget
{
public:
    explicit TKeyEater(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    int rPresses = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_R)
            ++rPresses;
        event->accept();
    }
};

// A dialog-based window, as the entry editor and the dialogs are.
class TfrmProbe : public TFrmPersistent
{
    Q_OBJECT

public:
    explicit TfrmProbe(TdmMain& dmMain) : TFrmPersistent(dmMain)
    {
        grKeys = new TKeyEater(this);
        grKeys->setObjectName("grKeys");
        grKeys->setGeometry(10, 10, 120, 24);
        cbHistory = new QComboBox(this);
        cbHistory->setObjectName("cbHistory");
        cbHistory->setGeometry(10, 40, 120, 24);
        resize(320, 200);
    }
    TKeyEater* grKeys;
    QComboBox* cbHistory;
};

// A main-window-based one.
class TfrmProbeMain : public TFrmPersistentMain
{
    Q_OBJECT

public:
    explicit TfrmProbeMain(TdmMain& dmMain) : TFrmPersistentMain(dmMain) { resize(400, 260); }
};

namespace {

using TScope = void (ISettingsManager::*)();
const TScope kScopes[] = {&ISettingsManager::UseAllUsersAllComputers, &ISettingsManager::UseUserThisComputer,
                          &ISettingsManager::UseUserAllComputers, &ISettingsManager::UseAllUsersThisComputer};

class PersistentWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = TestDatabase::Create(TEngine::SQLite);
        conn = db->Connect();
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        Start();
    }

    void Start()
    {
        dm = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(dm->IsInitialized()) << dm->InitializationError().toStdString();
    }

    // Ends the session: TdmMain sends the settings to the database, and the
    // next session reads them back from there.
    void Restart()
    {
        dm.reset();
        Start();
    }

    ISettingsManager& Settings() { return dm->Settings(); }

    int Stored(const QString& name, const QString& section = "TfrmProbe")
    {
        TSettingsAccess access(Settings());
        Settings().UseUserThisComputer();
        return Settings().ReadInteger(name, -1, section);
    }

    QRect Centred(const QWidget& window) const
    {
        const QRect screen = window.screen()->geometry();
        const QSize size = window.frameGeometry().size();
        return QRect(QPoint(screen.x() + (screen.width() - size.width()) / 2,
                            screen.y() + (screen.height() - size.height()) / 2),
                     size);
    }

    int RowsOf(const QString& section)
    {
        QSqlQuery q(conn->Database());
        q.prepare("select count(*) from settings where _key like ?");
        q.addBindValue(QString("%\\" + section + "\\%"));
        q.exec();
        q.next();
        return q.value(0).toInt();
    }

    RecordingDesktop desktop;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TdmConnection> conn;
    std::unique_ptr<TdmMain> dm;
};

} // namespace

TEST_F(PersistentWindow, BaseDefaults)
{
    TfrmProbe window(*dm);
    EXPECT_EQ(TFrmPersistent(*dm).windowTitle(), "Persistent form");
    EXPECT_EQ(window.font().family(), "Verdana");
    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_TRUE(window.SaveOnClose());
    // its controls keep their data below the window's own section
    EXPECT_EQ(Settings().GetControlKey(window.cbHistory), "TfrmProbe\\cbHistory\\");
}

TEST_F(PersistentWindow, FirstOpeningIsCentredClosingStoresAndNextOpeningRestores)
{
    {
        TfrmProbe window(*dm);
        window.show();
        EXPECT_EQ(window.StoredPlacement().Width, -1);
        EXPECT_EQ(window.frameGeometry(), Centred(window));
        EXPECT_EQ(window.size(), QSize(320, 200));
        window.setGeometry(40, 50, 360, 240);
        window.close();
        EXPECT_EQ(Stored("Left"), 40);
        EXPECT_EQ(Stored("Top"), 50);
        EXPECT_EQ(Stored("Width"), 360);
        EXPECT_EQ(Stored("Height"), 240);
        EXPECT_EQ(Stored("State"), 0);
    }
    Restart();
    {
        TfrmProbe window(*dm);
        window.show();
        EXPECT_EQ(window.geometry(), QRect(40, 50, 360, 240));
        // a dialog that finishes (accept, reject) stores too, not only one that is closed
        window.setGeometry(70, 80, 330, 210);
        window.accept();
    }
    Restart();
    TfrmProbe window(*dm);
    window.show();
    EXPECT_EQ(window.geometry(), QRect(70, 80, 330, 210));
}

TEST_F(PersistentWindow, MainWindowVariantKeepsItsOwnSection)
{
    {
        TfrmProbeMain window(*dm);
        window.show();
        EXPECT_EQ(window.frameGeometry(), Centred(window));
        window.setGeometry(15, 25, 500, 300);
    }   // destroyed while still shown: stored all the same
    EXPECT_EQ(Stored("Width", "TfrmProbeMain"), 500);
    EXPECT_EQ(Stored("Width", "TfrmProbe"), -1);
    Restart();
    TfrmProbeMain window(*dm);
    window.show();
    EXPECT_EQ(window.geometry(), QRect(15, 25, 500, 300));
}

TEST_F(PersistentWindow, MaximizedWindowStoresItsRestoredRectangleAndState2)
{
    {
        TfrmProbe window(*dm);
        window.show();
        window.setGeometry(60, 70, 300, 180);
        window.showMaximized();
        ASSERT_TRUE(TestEnv::WaitFor([&] { return window.geometry().width() > 300; }));
        window.close();
    }
    EXPECT_EQ(Stored("Left"), 60);
    EXPECT_EQ(Stored("Top"), 70);
    EXPECT_EQ(Stored("Width"), 300);
    EXPECT_EQ(Stored("Height"), 180);
    EXPECT_EQ(Stored("State"), 2);
    Restart();
    // the state is not applied again: the window comes back restored
    TfrmProbe window(*dm);
    window.show();
    EXPECT_FALSE(window.isMaximized());
    EXPECT_EQ(window.geometry(), QRect(60, 70, 300, 180));
}

TEST_F(PersistentWindow, CtrlRForgetsTheSectionAndItsSubsectionsInAllFourScopes)
{
    {
        TSettingsAccess access(Settings());
        for (TScope scope : kScopes) {
            (Settings().*scope)();
            Settings().WriteInteger("Width", 640, "TfrmProbe");
            Settings().WriteInteger("Height", 480, "TfrmProbe");
            Settings().WriteStrings({"first", "second"}, "TfrmProbe\\cbHistory");
            Settings().WriteInteger("Width", 5, "TfrmProbeOther");   // a neighbour by name only
        }
    }
    Restart();
    {
        TfrmProbe window(*dm);
        window.show();
        EXPECT_EQ(window.geometry().size(), QSize(640, 480));
        window.grKeys->setFocus();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(QApplication::focusWidget(), window.grKeys);
        // the window sees the key before the control with the focus, which uses it up
        QTest::keyClick(window.grKeys, Qt::Key_R, Qt::ControlModifier);
        EXPECT_FALSE(window.SaveOnClose());
        EXPECT_EQ(window.grKeys->rPresses, 1);
        EXPECT_EQ(window.geometry().size(), QSize(640, 480));   // kept for now
        window.close();
    }
    Restart();
    EXPECT_EQ(RowsOf("TfrmProbe"), 0);
    EXPECT_EQ(RowsOf("TfrmProbeOther"), 4);
    TfrmProbe window(*dm);
    window.show();
    EXPECT_EQ(window.frameGeometry(), Centred(window));
    EXPECT_EQ(window.size(), QSize(320, 200));
}

TEST_F(PersistentWindow, OnlyCtrlRWithNothingElseForgets)
{
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool forgets;
    } cases[] = {
        {Qt::Key_R, Qt::ControlModifier, true},
        {Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_R, Qt::ControlModifier | Qt::AltModifier, false},
        {Qt::Key_R, Qt::AltModifier, false},
        {Qt::Key_R, Qt::NoModifier, false},
        {Qt::Key_T, Qt::ControlModifier, false},
    };
    for (const auto& c : cases) {
        TfrmProbe window(*dm);
        window.show();
        QTest::keyClick(&window, c.key, c.modifiers);
        EXPECT_EQ(!window.SaveOnClose(), c.forgets) << "key " << c.key << " modifiers " << c.modifiers;
    }
}

TEST_F(PersistentWindow, StoredSizeWithoutWidthOrHeightOpensCentred)
{
    const QSize stored[] = {{0, 300}, {300, 0}, {-5, 200}};
    for (const QSize& size : stored) {
        {
            TSettingsAccess access(Settings());
            Settings().UseUserThisComputer();
            Settings().WriteInteger("Left", 10, "TfrmProbe");
            Settings().WriteInteger("Top", 10, "TfrmProbe");
            Settings().WriteInteger("Width", size.width(), "TfrmProbe");
            Settings().WriteInteger("Height", size.height(), "TfrmProbe");
        }
        TfrmProbe window(*dm);
        window.show();
        EXPECT_EQ(window.StoredPlacement().Left, 10);
        EXPECT_EQ(window.frameGeometry(), Centred(window)) << size.width() << "x" << size.height();
        EXPECT_EQ(window.size(), QSize(320, 200));
        window.hide();
    }
}

TEST_F(PersistentWindow, AStoredPlacementBeyondTheScreenIsBroughtBackOntoIt)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct TCase {
        const char* what;
        QRect stored;
    } cases[] = {
        {"larger than the screen", QRect(area.left() + 10, area.top() + 10, area.width() * 2, area.height() * 2)},
        {"off to the right and below", QRect(area.right() - 50, area.bottom() - 40, 300, 200)},
        {"on a screen that is gone", QRect(area.left() - 5000, area.top() - 4000, 300, 200)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        {
            TSettingsAccess access(Settings());
            Settings().UseUserThisComputer();
            Settings().WriteInteger("Left", c.stored.left(), "TfrmProbe");
            Settings().WriteInteger("Top", c.stored.top(), "TfrmProbe");
            Settings().WriteInteger("Width", c.stored.width(), "TfrmProbe");
            Settings().WriteInteger("Height", c.stored.height(), "TfrmProbe");
        }
        TfrmProbe window(*dm);
        window.show();
        // (the platform may add its frame around the client area)
        EXPECT_TRUE(area.adjusted(-8, -8, 8, 8).contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y() << " "
                                                      << window.width() << "x" << window.height();
        // as large as the stored size and the screen, less the frame, allow
        EXPECT_LE(window.width(), std::min(c.stored.width(), area.width()));
        EXPECT_GE(window.width(), std::min(c.stored.width(), area.width() - 16));
        window.hide();
    }
    // a placement that fits stays exactly as stored
    {
        TSettingsAccess access(Settings());
        Settings().UseUserThisComputer();
        Settings().WriteInteger("Left", area.left() + 20, "TfrmProbe");
        Settings().WriteInteger("Top", area.top() + 30, "TfrmProbe");
        Settings().WriteInteger("Width", 300, "TfrmProbe");
        Settings().WriteInteger("Height", 200, "TfrmProbe");
    }
    TfrmProbe window(*dm);
    window.show();
    EXPECT_EQ(window.geometry(), QRect(area.left() + 20, area.top() + 30, 300, 200));
}

#include "PersistentWindowTest.moc"
