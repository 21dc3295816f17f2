#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Startup.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/SystemRegistry.h"
#include "mainwindow/fMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <memory>
#include <optional>

namespace {

// The "Database initialized" value as it may be found: missing, or any value.
void SetInitializedValue(const std::optional<QVariant>& value)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "MorvikSoftware", "Tessaryn");
    s.beginGroup("SOFTWARE/MorvikSoftware/Tessaryn");
    if (value)
        s.setValue("Database initialized", *value);
    else
        s.remove("Database initialized");
    s.sync();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int SettingsRows(const TestDatabase& db, const QString& keyPart = QString())
{
    auto conn = db.Connect();
    QSqlQuery q(conn->Database());
    if (!q.exec("select _key from settings"))
        return -1;
    int rows = 0;
    while (q.next())
        rows += q.value(0).toString().contains(keyPart) ? 1 : 0;
    return rows;
}

bool SplashOnScreen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmSplash*>(w) && w->isVisible())
            return true;
    return false;
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
        SetInitializedValue(1);
    }

    void TearDown() override
    {
        startup.reset();
        SetInitializedValue(std::nullopt);
    }

    // A fresh Tessaryn database, recorded as the machine's database.
    TestDatabase& UseNewDatabase()
    {
        db = TestDatabase::Create(TEngine::SQLite);
        SystemRegistry::RecordConnection(db->Info());
        return *db;
    }

    TApplicationStartup& NewStartup()
    {
        startup = std::make_unique<TApplicationStartup>(desktop);
        startup->SplashTimings = {150, 150};
        return *startup;
    }

    void ExpectOnlyMessage(const QString& text)
    {
        ASSERT_EQ(desktop.messages.size(), 1) << desktop.MessageTexts().join(" / ").toStdString();
        EXPECT_EQ(desktop.messages[0].text, text);
        EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
        EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::Ok);
    }

    QString home;
    RecordingDesktop desktop;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TApplicationStartup> startup;
};

} // namespace

TEST_F(Startup, InitializationFlagDecidesWhetherTheInitializerStarts)
{
    // A stand-in initializer in the folder the program looks in: it notes
    // how it was started.
    const QString folder = TestEnv::ScratchFolder();
    const QString marker = folder + "started";
    ASSERT_TRUE(Write(folder + "TessarynDBInit",
                      "#!/bin/sh\necho \"started by app: $TESSARYN_STARTED_BY_APP\" >> '" + marker.toUtf8() + "'\n"));
    QFile::setPermissions(folder + "TessarynDBInit", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    UseNewDatabase();

    const struct {
        std::optional<QVariant> value;
        bool initialized;
    } rows[] = {{std::nullopt, false}, {0, false}, {"yes", false}, {"", false}, {7, true}, {1, true}};
    for (const auto& row : rows) {
        const std::string label = row.value ? row.value->toString().toStdString() : "(absent)";
        QFile::remove(marker);
        desktop.Clear();
        SetInitializedValue(row.value);
        TApplicationStartup& s = NewStartup();
        s.ExecutableFolder = folder;
        const TApplicationStartup::TStage stage = s.Start();
        if (row.initialized) {
            EXPECT_EQ(stage, TApplicationStartup::TStage::Running) << label;
            EXPECT_TRUE(s.MainWindow()) << label;
            QTest::qWait(200);
            EXPECT_FALSE(QFile::exists(marker)) << label;
        } else {
            EXPECT_EQ(stage, TApplicationStartup::TStage::NotInitialized) << label;
            // The stand-in initializer makes the file before it writes its line.
            EXPECT_TRUE(TestEnv::WaitFor([&] { return ReadAll(marker).endsWith('\n'); })) << label;
            EXPECT_EQ(ReadAll(marker), "started by app: 1\n") << label;
            // the lock is never taken, so a start after the initializer is a first start
            EXPECT_FALSE(QFile::exists(TApplicationStartup::InstanceLockPath())) << label;
            EXPECT_FALSE(s.Splash()) << label;
            EXPECT_FALSE(s.Connection()) << label;
        }
        EXPECT_TRUE(desktop.messages.isEmpty()) << label;
        startup.reset();
    }

    // a missing initializer is nobody's business: the program just ends
    SetInitializedValue(0);
    TApplicationStartup& s = NewStartup();
    s.ExecutableFolder = TestEnv::ScratchFolder();
    EXPECT_EQ(s.Start(), TApplicationStartup::TStage::NotInitialized);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(Startup, UnreachableDatabaseShowsOneMessageAndWritesNothing)
{
    const QString folder = TestEnv::ScratchFolder();
    const QByteArray garbage = "This is not a database, only some bytes.";
    ASSERT_TRUE(Write(folder + "garbage.db", garbage));
    {
        // a database with a settings table but without the rest of Tessaryn
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "not-tessaryn");
        other.setDatabaseName(folder + "other.db");
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec("create table settings (_key text, _values text)"));
        other.close();
    }
    QSqlDatabase::removeDatabase("not-tessaryn");

    const struct {
        const char* label;
        TConnectionInfo info;
    } rows[] = {
        {"missing file", TConnectionInfo::Embedded(folder + "missing.db")},
        {"garbage file", TConnectionInfo::Embedded(folder + "garbage.db")},
        {"other database", TConnectionInfo::Embedded(folder + "other.db")},
        {"stopped server", TConnectionInfo::Server("host=127.0.0.1 port=1 dbname=tessaryn connect_timeout=3")},
    };
    for (const auto& row : rows) {
        desktop.Clear();
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
        SystemRegistry::RecordConnection(row.info);
        TApplicationStartup& s = NewStartup();
        EXPECT_EQ(s.Start(), TApplicationStartup::TStage::Failed) << row.label;
        ExpectOnlyMessage(TApplicationStartup::DatabaseFailedText);
        EXPECT_FALSE(s.DataModule()) << row.label;
        EXPECT_FALSE(s.MainWindow()) << row.label;
        s.Shutdown();
        EXPECT_FALSE(SplashOnScreen()) << row.label;
        // nothing was read or written: no folders, no settings cache
        EXPECT_TRUE(QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()) << row.label;
        startup.reset();
    }
    EXPECT_FALSE(QFile::exists(folder + "missing.db"));
    EXPECT_EQ(ReadAll(folder + "garbage.db"), garbage);
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "not-tessaryn");
    other.setDatabaseName(folder + "other.db");
    ASSERT_TRUE(other.open());
    QSqlQuery rowsLeft(other);
    ASSERT_TRUE(rowsLeft.exec("select count(*) from settings") && rowsLeft.next());
    EXPECT_EQ(rowsLeft.value(0).toInt(), 0);
    other.close();
}

TEST_F(Startup, MainDataModuleThatDoesNotInitializeEndsTheStartWithItsMessage)
{
    TestDatabase& database = UseNewDatabase();
    database.ExecOutside("drop table settings");
    TApplicationStartup& s = NewStartup();
    EXPECT_EQ(s.Start(), TApplicationStartup::TStage::Failed);
    ExpectOnlyMessage(TApplicationStartup::InitializationFailedText);
    EXPECT_FALSE(s.MainWindow());
    s.Shutdown();
    EXPECT_FALSE(SplashOnScreen());
}

TEST_F(Startup, ADatabaseOfThePreviousVersionGetsItsSearchIndexBeforeTheWindowOpens)
{
    TestDatabase& database = UseNewDatabase();
    {
        auto previous = database.Connect();
        TSchemaBuilder(*previous).Create(true, Schema::BaseSchemaVersion());
        ASSERT_FALSE(previous->SearchIndexed());
    }
    TApplicationStartup& s = NewStartup();
    EXPECT_EQ(s.Start(), TApplicationStartup::TStage::Running);
    ASSERT_TRUE(s.Connection());
    EXPECT_TRUE(s.Connection()->SearchIndexed());
    EXPECT_FALSE(TSchemaUpgrade(*s.Connection()).Needed());
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    s.Shutdown();
}

TEST_F(Startup, SecondStartWhileTheFirstHasNoWindowYetEndsQuietly)
{
    UseNewDatabase();
    QLockFile first(TApplicationStartup::InstanceLockPath());
    ASSERT_TRUE(first.tryLock(0));
    TApplicationStartup& s = NewStartup();
    EXPECT_EQ(s.Start(), TApplicationStartup::TStage::SecondInstance);
    EXPECT_FALSE(s.HoldsInstanceLock());
    EXPECT_FALSE(s.Splash());
    EXPECT_FALSE(SplashOnScreen());
    EXPECT_FALSE(s.Connection());
    EXPECT_TRUE(desktop.messages.isEmpty());
    // nobody listens: the activation reaches nobody
    EXPECT_FALSE(TApplicationStartup::ActivateRunningInstance(500));
}

TEST_F(Startup, ExitWithCtrlQEndsTheLoopAndTheSettingsReachTheDatabaseBeforeTheConnectionCloses)
{
    TestDatabase& database = UseNewDatabase();
    TApplicationStartup& s = NewStartup();
    ASSERT_EQ(s.Start(), TApplicationStartup::TStage::Running);
    EXPECT_TRUE(s.HoldsInstanceLock());
    EXPECT_TRUE(SplashOnScreen());
    TfrmTessarynMain* window = s.MainWindow();
    EXPECT_EQ(window->windowTitle(), "Tessaryn");
    EXPECT_TRUE(QFile::exists(TfrmTessarynMain::ActivationServerName()));
    EXPECT_EQ(SettingsRows(database), 0);

    bool splashGoneInLoop = false;
    QTimer::singleShot(400, window, [&] {
        splashGoneInLoop = !s.Splash();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
    });
    // a loop that did not end would leave the test hanging: end it from outside
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(20000);
    EXPECT_EQ(s.Run(), 0);
    EXPECT_TRUE(guard.isActive()) << "the loop ran until the guard ended it";
    EXPECT_TRUE(splashGoneInLoop);
    EXPECT_TRUE(window->ExitRequested());
    s.Shutdown();

    EXPECT_GT(SettingsRows(database, "Settings\\entries"), 0);
    EXPECT_GT(SettingsRows(database, "TfrmTessarynMain"), 0);
    EXPECT_TRUE(desktop.messages.isEmpty());
    startup.reset();
    EXPECT_FALSE(QFile::exists(TApplicationStartup::InstanceLockPath()));
}

TEST(ApplicationDesktop, NoticesGoToTheChannelAndAreKeptOnlyWhenItCannotShowThem)
{
    TApplicationDesktop desktop;
    desktop.Notice("[Tessaryn]", "no channel yet");
    QStringList shown;
    bool canShow = true;
    desktop.NoticeChannel = [&](const QString& title, const QString& text) {
        shown << title + "|" + text;
        return canShow;
    };
    desktop.Notice("[Tessaryn]", "shown as a balloon");
    canShow = false;
    desktop.Notice("[Tessaryn]:", "no notification area");
    EXPECT_EQ(shown, QStringList({"[Tessaryn]|shown as a balloon", "[Tessaryn]:|no notification area"}));
    QStringList kept;
    for (const auto& notice : desktop.KeptNotices())
        kept << notice.text;
    EXPECT_EQ(kept, QStringList({"no channel yet", "no notification area"}));
}

// --- the program itself, as separate processes ----------------------------------

namespace {

// A machine of its own for the program: data folder, machine record,
// runtime folder and the activation log.
class ProgramProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = TestEnv::ScratchFolder();
        for (const char* sub : {"home", "config", "runtime"})
            QDir().mkpath(root + sub);
        QFile::setPermissions(root + "runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment = QProcessEnvironment::systemEnvironment();
        environment.remove("TESSARYN_STARTED_BY_APP");
        environment.insert("TESSARYN_HOME", root + "home");
        environment.insert("XDG_CONFIG_HOME", root + "config");
        environment.insert("XDG_RUNTIME_DIR", root + "runtime");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TESSARYN_ACTIVATION_LOG", root + "activations.log");
    }

    void TearDown() override
    {
        // the instances this test started, directly or through the initializer
        for (qint64 pid : started)
            ::kill(pid_t(pid), SIGKILL);
        for (auto& process : processes)
            process->waitForFinished(5000);
    }

    QProcess& Launch(const QString& program)
    {
        processes.push_back(std::make_unique<QProcess>());
        QProcess& process = *processes.back();
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {});
        EXPECT_TRUE(process.waitForStarted(10000));
        return process;
    }

    // Runs the program to its end; its exit code, -1 when it crashed or hung.
    int RunToEnd(const QString& program, int timeoutMs = 20000)
    {
        QProcess& process = Launch(program);
        if (!process.waitForFinished(timeoutMs))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString LockPath() const { return root + "runtime/TfrmTessarynMain.lock"; }

    // The process that holds the instance lock, 0 when none does.
    qint64 LockHolder() const
    {
        QFile lock(LockPath());
        if (!lock.open(QIODevice::ReadOnly))
            return 0;
        const qint64 pid = lock.readLine().trimmed().toLongLong();
        return pid > 0 && ::kill(pid_t(pid), 0) == 0 ? pid : 0;
    }

    QByteArray ActivationLog() const { return ReadAll(root + "activations.log"); }
    static QByteArray Activated(qint64 pid) { return "activated " + QByteArray::number(pid) + "\n"; }

    // Starts second instances until the running one has logged an
    // activation; each must end at once with code 0.
    bool ActivateRunning(qint64 pid)
    {
        return TestEnv::WaitFor(
            [&] {
                EXPECT_EQ(RunToEnd(TESSARYN_EXECUTABLE, 10000), 0);
                return ActivationLog().contains(Activated(pid));
            },
            20000);
    }

    QString root;
    QProcessEnvironment environment;
    std::vector<std::unique_ptr<QProcess>> processes;
    QList<qint64> started;
};

} // namespace

TEST_F(ProgramProcesses, FirstStartRunsTheInitializerThatStartsTheProgramAndASecondStartActivatesIt)
{
    // nothing initialized: the program starts the initializer and ends
    EXPECT_EQ(RunToEnd(TESSARYN_EXECUTABLE), 0);
    // ... which creates the database and starts the program again
    ASSERT_TRUE(TestEnv::WaitFor([&] { return LockHolder() != 0; }, 30000));
    const qint64 running = LockHolder();
    started << running;
    EXPECT_TRUE(QFile::exists(root + "home/tessaryn.db"));
    const QByteArray record = ReadAll(root + "config/MorvikSoftware/Tessaryn.ini");
    EXPECT_TRUE(record.contains("Database%20initialized=1")) << record.toStdString();

    // a second start brings the first forward and ends
    ASSERT_TRUE(ActivateRunning(running));
    EXPECT_EQ(LockHolder(), running);
    EXPECT_EQ(ActivationLog().count("activated"), 1);
}

TEST_F(ProgramProcesses, LockOfACrashedInstanceIsTakenOver)
{
    ASSERT_EQ(RunToEnd(TESSARYN_DBINIT_EXECUTABLE), 0);
    QProcess& first = Launch(TESSARYN_EXECUTABLE);
    ASSERT_TRUE(TestEnv::WaitFor([&] { return LockHolder() == first.processId(); }, 20000));
    ASSERT_TRUE(ActivateRunning(first.processId()));

    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(LockPath()));   // left behind by the crash

    QProcess& next = Launch(TESSARYN_EXECUTABLE);
    ASSERT_TRUE(TestEnv::WaitFor([&] { return LockHolder() == next.processId(); }, 20000));
    ASSERT_TRUE(ActivateRunning(next.processId()));
    EXPECT_EQ(next.state(), QProcess::Running);
    next.kill();
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutputWithoutADisplayOrADatabase)
{
    const QString version = QString::asprintf("%d.%d.%d.0", TESSARYN_VERSION_MAJOR, TESSARYN_VERSION_MINOR,
                                              TESSARYN_VERSION_PATCH);
    struct Case {
        QString program;
        QString argument;
        QString expected;
    };
    const QList<Case> cases = {
        {TESSARYN_EXECUTABLE, "--version", "tessaryn " + version + "\n"},
        {TESSARYN_DBINIT_EXECUTABLE, "--version", "TessarynDBInit " + version + "\n"},
        {TESSARYN_EXECUTABLE, "--help", "Usage: "},
        {TESSARYN_EXECUTABLE, "-h", "--version"},
        {TESSARYN_DBINIT_EXECUTABLE, "--help", "--server <CONNINFO>"},
    };
    for (const Case& c : cases) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // no display, and a data folder that must stay empty
        environment.remove("DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("TESSARYN_HOME", TestEnv::ScratchFolder());
        process.setProcessEnvironment(environment);
        process.start(c.program, {c.argument});
        ASSERT_TRUE(process.waitForFinished(10000)) << c.program.toStdString();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << c.program.toStdString() << " " << c.argument.toStdString();
        if (c.argument == "--version")
            EXPECT_EQ(out, c.expected);
        else
            EXPECT_TRUE(out.contains(c.expected)) << out.toStdString();
        EXPECT_TRUE(QDir(environment.value("TESSARYN_HOME")).isEmpty());
    }
}

TEST_F(ProgramProcesses, TerminationRequestEndsTheProgramAsExitDoes)
{
    ASSERT_EQ(RunToEnd(TESSARYN_DBINIT_EXECUTABLE), 0);
    for (const int number : {SIGTERM, SIGINT}) {
        QProcess& program = Launch(TESSARYN_EXECUTABLE);
        ASSERT_TRUE(TestEnv::WaitFor([&] { return LockHolder() == program.processId(); }, 20000));
        ASSERT_TRUE(ActivateRunning(program.processId()));
        ASSERT_EQ(::kill(pid_t(program.processId()), number), 0) << program.processId();
        ASSERT_TRUE(program.waitForFinished(10000)) << "signal " << number;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "signal " << number;
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(LockHolder(), 0);
        EXPECT_FALSE(QFile::exists(LockPath()));
    }
    // what the program keeps at its end reached the database: the main
    // window's placement
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "signal-check");
    db.setDatabaseName(root + "home/tessaryn.db");
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec("select count(*) from settings where _key like '%TfrmTessarynMain%'"));
    ASSERT_TRUE(q.next());
    EXPECT_GT(q.value(0).toInt(), 0);
    q.finish();
    db.close();
}
