#pragma once

#include "app/WidgetDesktop.h"
#include "app/fSplash.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class IDesktop;
class QLockFile;
class TdmConnection;
class TdmDB;
class TdmMain;
class TfrmTessarynMain;
class THintManager;

// The program's desktop: the widget desktop whose success notices become
// balloons of the main window's tray icon once that window exists. A notice
// no balloon could show is kept, as the widget desktop keeps it.
class TApplicationDesktop : public TWidgetDesktop
{
    Q_OBJECT

public:
    using TWidgetDesktop::TWidgetDesktop;

    // Shows a notice (title, text); false when it could not be shown.
    std::function<bool(const QString& title, const QString& text)> NoticeChannel;

    void Notice(const QString& title, const QString& text) override;
};

// The program's start and end, in a fixed order.
//
// Start: the database must have been initialized (otherwise the initializer
// is started and the program ends); only one instance runs per user (a second
// one asks the first to come to the front and ends); the splash shows while
// the gateway, the packaging module, the connection, the main data module,
// the logon gate and the main window come up. A database that cannot be
// reached and a main data module that does not initialize each end the
// program with their one fixed message; any other failure ends it silently.
//
// End, in reverse: the main window, the main data module (which writes the
// settings while the connection is still open), the packaging module, the
// gateway (which closes the connection).
class TApplicationStartup {
public:
    enum class TStage {
        NotInitialized,  // the initializer was started; the program ends
        SecondInstance,  // another instance runs; it was asked to come forward
        Failed,          // a module did not come up; the program ends
        Running          // the main window exists; the message loop may run
    };

    static const QString DatabaseFailedText;
    static const QString InitializationFailedText;
    // The name of the instance lock and of the running instance's window class.
    static const QString InstanceLockName;

    // Messages go to desktop. A desktop that is a TApplicationDesktop gets
    // the main window's balloons as its notice channel.
    explicit TApplicationStartup(IDesktop& desktop);
    // Shuts down what is still up.
    ~TApplicationStartup();
    TApplicationStartup(const TApplicationStartup&) = delete;
    TApplicationStartup& operator=(const TApplicationStartup&) = delete;

    // The folder TessarynDBInit is started from: the executable's folder
    // unless changed.
    QString ExecutableFolder;
    TSplashTimings SplashTimings;

    // Every step of the start, in order; the stage reached.
    TStage Start();
    // The message loop, while the stage is Running, until the main window has
    // closed. The exit code, 0.
    int Run();
    // Frees the main window, the main data module, the packaging module and
    // the gateway, in that order. Safe to call more than once.
    void Shutdown();

    // The steps of Start, in their order.
    // False when the database is not initialized: the initializer has been
    // started (with TESSARYN_STARTED_BY_APP=1, so that it starts the program
    // again when done) and the program is to end.
    bool CheckInitialized();
    // False when another instance holds the lock; that instance has then been
    // asked to come to the front, when its window listens already.
    bool AcquireInstanceLock();
    void ShowSplash();
    // Gateway, packaging module, connection, main data module, logon gate,
    // main window. False after the failure's message, if it has one.
    bool CreateModules();

    TStage Stage() const { return m_stage; }
    TdmConnection* Connection() const { return m_connection.get(); }
    TdmDB* DB() const { return m_db.get(); }
    TdmMain* DataModule() const { return m_dmMain.get(); }
    TfrmTessarynMain* MainWindow() const { return m_mainWindow.get(); }
    TfrmSplash* Splash() const { return m_splash.data(); }
    bool HoldsInstanceLock() const;

    // <runtime folder>/TfrmTessarynMain.lock
    static QString InstanceLockPath();
    // Sends the activation to the running instance and waits for its answer;
    // false when nobody listens or no answer came in time.
    static bool ActivateRunningInstance(int timeoutMs = 10000);

private:
    // A database made by an earlier version gets what this version adds
    // (the search index) before anything uses it, with a progress window.
    // Stopped or failed, the database stays as it was and is searched
    // without the index until a later start completes the upgrade.
    void UpgradeDatabase();
    void ReleaseSplash();
    void Fail(const QString& message);

    IDesktop& m_desktop;
    TStage m_stage = TStage::Failed;
    std::unique_ptr<QLockFile> m_instanceLock;
    std::unique_ptr<THintManager> m_hintManager;
    QPointer<TfrmSplash> m_splash;
    std::unique_ptr<TdmConnection> m_connection;
    std::unique_ptr<TdmDB> m_db;
    std::unique_ptr<TdmMain> m_dmMain;
    std::unique_ptr<TfrmTessarynMain> m_mainWindow;
};

// The program: the application object, the start, the message loop and the
// end. Command-line arguments are ignored; the exit code is 0 on every path.
int RunTessaryn(int argc, char** argv);
