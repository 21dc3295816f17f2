#include "app/Startup.h"

#include "app/AppResources.h"
#include "app/Logging.h"
#include "app/Errors.h"
#include "app/SignalWatcher.h"
#include "app/User.h"
#include "controls/MenuStyle.h"
#include "db/SchemaUpgrade.h"
#include "engine/FileHelpers.h"
#include "db/SystemRegistry.h"
#include "db/dmConnection.h"
#include "engine/dDB.h"
#include "mainwindow/HintManager.h"
#include "mainwindow/fMain.h"
#include "maintenance/fDatabaseMaintenance.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStandardPaths>
#include <cstdio>
#include <exception>
#include <optional>

// --- TApplicationDesktop ----------------------------------------------------------

void TApplicationDesktop::Notice(const QString& title, const QString& text)
{
    if (NoticeChannel && NoticeChannel(title, text))
        return;
    TWidgetDesktop::Notice(title, text);
}

// --- TApplicationStartup ----------------------------------------------------------

const QString TApplicationStartup::DatabaseFailedText =
    QStringLiteral("Tessaryn database could not be started. Application must now terminate.");
const QString TApplicationStartup::InitializationFailedText =
    QStringLiteral("Tessaryn could not be initialized properly and must be terminated.");
const QString TApplicationStartup::InstanceLockName = QStringLiteral("TfrmTessarynMain");

TApplicationStartup::TApplicationStartup(IDesktop& desktop)
    : ExecutableFolder(QCoreApplication::applicationDirPath()), m_desktop(desktop)
{
}

TApplicationStartup::~TApplicationStartup()
{
    Shutdown();
}

QString TApplicationStartup::InstanceLockPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') + InstanceLockName
           + QStringLiteral(".lock");
}

bool TApplicationStartup::HoldsInstanceLock() const
{
    return m_instanceLock && m_instanceLock->isLocked();
}

TApplicationStartup::TStage TApplicationStartup::Start()
{
    m_stage = TStage::Failed;
    if (!CheckInitialized())
        return m_stage;
    if (!AcquireInstanceLock())
        return m_stage;
    // The status bars show the hints of whatever the mouse is over; the
    // router must exist before the first window does.
    if (!THintManager::Instance())
        m_hintManager = std::make_unique<THintManager>();
    ShowSplash();
    CreateModules();
    return m_stage;
}

bool TApplicationStartup::CheckInitialized()
{
    if (SystemRegistry::DatabaseInitialized())
        return true;
    // The initializer creates the database and then starts the program
    // again; this start ends here without waiting for it. When it cannot be
    // started there is nothing to tell: the program ends either way.
    QProcess initializer;
    initializer.setProgram(QDir(ExecutableFolder).filePath(QStringLiteral("TessarynDBInit")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESSARYN_STARTED_BY_APP"), QStringLiteral("1"));
    initializer.setProcessEnvironment(environment);
    initializer.startDetached();
    m_stage = TStage::NotInitialized;
    return false;
}

bool TApplicationStartup::AcquireInstanceLock()
{
    QDir().mkpath(QFileInfo(InstanceLockPath()).path());
    auto lock = std::make_unique<QLockFile>(InstanceLockPath());
    // A running instance holds its lock for as long as it runs, however long
    // that is; only the lock of a process that is gone is taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_instanceLock = std::move(lock);
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        // The lock cannot be made at all (an unwritable runtime folder): this
        // says nothing about another instance, so the start goes on.
        return true;
    }
    ActivateRunningInstance();
    m_stage = TStage::SecondInstance;
    return false;
}

bool TApplicationStartup::ActivateRunningInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(TfrmTessarynMain::ActivationServerName());
    // No listener yet: the first instance is still starting, and there is
    // no window to bring forward.
    if (!socket.waitForConnected(qMin(timeoutMs, 2000)))
        return false;
    socket.write(TfrmTessarynMain::ActivateMessage + '\n');
    socket.flush();
    const QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine().trimmed() == TfrmTessarynMain::ActivatedAnswer;
}

void TApplicationStartup::ShowSplash()
{
    TAppResources::Register();
    QApplication::setWindowIcon(TAppResources::Icon(QStringLiteral("A_ICO")));
    m_splash = new TfrmSplash(nullptr, SplashTimings);
    // It goes by itself after a while; the main window's colours are
    // applied again then, as the window may have been drawn beneath it.
    m_splash->OnReleased = [this] {
        if (m_mainWindow)
            m_mainWindow->ApplyColorScheme();
    };
    m_splash->ShowForStartup();
    QCoreApplication::processEvents();
}

void TApplicationStartup::ReleaseSplash()
{
    if (!m_splash)
        return;
    m_splash->OnReleased = nullptr;
    delete m_splash.data();
}

void TApplicationStartup::Fail(const QString& message)
{
    m_stage = TStage::Failed;
    // The splash stays on top of every window; the message must not hide behind it.
    if (m_splash)
        m_splash->hide();
    m_desktop.MessageBox(message, IDesktop::TMsgKind::Error, IDesktop::TButtons::Ok);
}

void TApplicationStartup::UpgradeDatabase()
{
    if (m_connection->ReadOnly())
        return;
    TSchemaUpgrade upgrade(*m_connection);
    try {
        if (!upgrade.Needed())
            return;
        // The splash stays on top of every window; the progress must not
        // hide behind it.
        if (m_splash)
            m_splash->hide();
        RunWithProgress(m_desktop, QStringLiteral("Adding the search index to the database..."), upgrade.Progress,
                        [&] { upgrade.Run(); }, true);
    } catch (const EAbort&) {
    } catch (const ETessarynError& e) {
        m_desktop.MessageBox(QStringLiteral("The search index could not be added to the database; until it is, "
                                            "searches read every entry.\r\n\r\n")
                                 + e.Message(),
                             IDesktop::TMsgKind::Warning, IDesktop::TButtons::Ok);
    }
    if (m_splash)
        m_splash->show();
}

bool TApplicationStartup::CreateModules()
{
    m_stage = TStage::Failed;
    m_connection = std::make_unique<TdmConnection>(SystemRegistry::RecordedConnection());
    qCInfo(lcStartup).noquote() << "program data in" << TAppResources::DataFolder();
    m_db = std::make_unique<TdmDB>();
    if (!m_connection->Connect()) {
        Fail(DatabaseFailedText);
        return false;
    }
    UpgradeDatabase();
    try {
        m_dmMain = std::make_unique<TdmMain>(*m_connection, m_desktop, m_db.get());
        if (!m_dmMain->IsInitialized()) {
            Fail(InitializationFailedText);
            return false;
        }
        // Below 24 bits per pixel the scheme's highlight is flat.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_dmMain->SetScreenDepth(screen->depth());
            m_dmMain->SetColourScheme(m_dmMain->App.ColorScheme);
        }
        if (!m_dmMain->User().LogOn())
            return false;
        m_mainWindow = std::make_unique<TfrmTessarynMain>(*m_dmMain);
    } catch (const std::exception&) {
        return false;
    } catch (...) {
        return false;
    }

    if (auto* desktop = dynamic_cast<TWidgetDesktop*>(&m_desktop))
        desktop->SetParentWindow(m_mainWindow.get());
    if (auto* desktop = dynamic_cast<TApplicationDesktop*>(&m_desktop)) {
        TfrmTessarynMain* window = m_mainWindow.get();
        desktop->NoticeChannel = [window](const QString& title, const QString& text) {
            return window->ShowBalloon(text, title);
        };
    }
    // Only the holder of the lock answers second instances.
    if (HoldsInstanceLock())
        m_mainWindow->ListenForActivation();
    m_stage = TStage::Running;
    return true;
}

int TApplicationStartup::Run()
{
    if (m_stage != TStage::Running || !m_mainWindow)
        return 0;
    // The window hides to the tray instead of closing, and message boxes
    // shown meanwhile must not end the program when they close: only the
    // main window's own close ends it.
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const QMetaObject::Connection closed =
        // exit, not quit: quit asks every window again whether it may close,
        // and a window that is only hidden (a drop-down, a dialog kept for
        // later) could keep the program running after its main window closed.
        QObject::connect(m_mainWindow.get(), &TfrmTessarynMain::FormClosed, qApp,
                         [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    // A polite request to end (kill, Ctrl+C in a terminal, a closed
    // terminal) ends the program as Exit does: unsaved entries are not left
    // behind without a word, the settings reach the database and the lock is
    // released.
    TSignalWatcher signals_;
    QObject::connect(&signals_, &TSignalWatcher::Received, m_mainWindow.get(),
                     [window = m_mainWindow.get()](int signal) {
                         qCInfo(lcStartup) << "ending on signal" << signal;
                         window->DoExitApplication();
                     });
    m_mainWindow->show();
    qCInfo(lcStartup) << "main window shown";
    QCoreApplication::exec();
    qCInfo(lcStartup) << "main window closed";
    QObject::disconnect(closed);
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    return 0;
}

void TApplicationStartup::Shutdown()
{
    ReleaseSplash();
    if (auto* desktop = dynamic_cast<TApplicationDesktop*>(&m_desktop))
        desktop->NoticeChannel = nullptr;
    if (auto* desktop = dynamic_cast<TWidgetDesktop*>(&m_desktop))
        desktop->SetParentWindow(nullptr);
    // The window stores its placement and the main data module all settings
    // while the connection is still open; the connection goes last.
    m_mainWindow.reset();
    m_dmMain.reset();
    m_db.reset();
    m_connection.reset();
    m_hintManager.reset();
}

namespace {

// --help and --version answer on standard output and end the program before
// any window, display or database is needed. Every other argument is left to
// Qt (-platform, -style, ...).
std::optional<int> AnswerCommandLine(int argc, char** argv)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        asked = asked || argv[i][0] == '-';
    if (!asked)
        return std::nullopt;
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaryn"));
    QCoreApplication::setApplicationVersion(VersionText(false));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tessaryn, a knowledge base for one person or a small group: entries with their files, "
                       "found again by keyword search.\nThe data folder is $TESSARYN_HOME when it is set."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        fprintf(stdout, "tessaryn %s\n", qPrintable(VersionText(false)));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int RunTessaryn(int argc, char** argv)
{
    if (const std::optional<int> answered = AnswerCommandLine(argc, argv))
        return *answered;
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(TfrmTessarynMain::ApplicationTitle);
    // The desktop matches the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSARYN_APP_ID));
    TCoolMenuStyle::Install();
    TApplicationDesktop desktop;
    {
        TApplicationStartup startup(desktop);
        if (startup.Start() == TApplicationStartup::TStage::Running)
            startup.Run();
        startup.Shutdown();
    }
    return 0;
}
