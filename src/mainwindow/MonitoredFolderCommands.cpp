#include "mainwindow/MonitoredFolderCommands.h"

#include "app/IDesktop.h"
#include "engine/FileHelpers.h"
#include "engine/OpenWithDesktop.h"
#include "mainwindow/fManageMonitoredFolder.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QMainWindow>

const QString TMonitoredFolderCommands::ChangedText =
    QStringLiteral("Monitored folder files have changed.\r\nTo view monitored folder contents, select \"Monitored "
                   "folder -> Manage files\" from the main menu of the application.");
const QString TMonitoredFolderCommands::ClearQuestion = QStringLiteral("Are you sure you want to clear folder:\r\n%1 ?");

TMonitoredFolderCommands::TMonitoredFolderCommands(
    TdmMain& dmMain, QMainWindow& window, std::function<void(const QString& text, const QString& title)> showBalloon,
    std::function<void()> refreshCommands)
    : QObject(&window),
      m_dmMain(dmMain),
      m_window(window),
      m_showBalloon(std::move(showBalloon)),
      m_refreshCommands(std::move(refreshCommands)),
      m_watcher([this] { MonitoredFolderChanged(); })
{
    auto bind = [this](const char* name, void (TMonitoredFolderCommands::*handler)()) {
        QAction* action = m_window.findChild<QAction*>(QString::fromLatin1(name));
        if (action) {
            action->setEnabled(true);
            connect(action, &QAction::triggered, this, handler);
        }
        return action;
    };
    bind("miManageMonitoredFolder", &TMonitoredFolderCommands::miManageMonitoredFolderClick);
    bind("miClear", &TMonitoredFolderCommands::miClearClick);
    miStartMonitoring = bind("miStartMonitoring", &TMonitoredFolderCommands::StartMonitoring);
    miStopMonitoring = bind("miStopMonitoring", &TMonitoredFolderCommands::StopMonitoring);

    // Saving the preferences (and the commands that pause notices) switch
    // the watching with the notify setting.
    m_dmMain.OnMonitorFolderChanged = [this](bool monitor) {
        if (monitor)
            StartMonitoring();
        else
            StopMonitoring();
    };
    // A new monitored folder is watched instead of the old one.
    connect(&m_dmMain, &TdmMain::FoldersChanged, this, [this] {
        if (Monitoring() && m_watcher.Folder() != m_dmMain.App.MonitoredFolder) {
            StopMonitoring();
            StartMonitoring();
        }
    });
    // At start-up the folder is always watched; the notify setting decides
    // whether a balloon appears.
    m_watcher.SetFolder(m_dmMain.App.MonitoredFolder);
    StartMonitoring();
}

TMonitoredFolderCommands::~TMonitoredFolderCommands()
{
    m_dmMain.OnMonitorFolderChanged = nullptr;
    m_watcher.Stop();
}

void TMonitoredFolderCommands::UpdateActions()
{
    if (miStartMonitoring)
        miStartMonitoring->setEnabled(!Monitoring());
    if (miStopMonitoring)
        miStopMonitoring->setEnabled(Monitoring());
}

void TMonitoredFolderCommands::StartMonitoring()
{
    m_watcher.SetFolder(m_dmMain.App.MonitoredFolder);
    if (!m_watcher.Active())
        m_watcher.Start();
    UpdateActions();
    // Nothing that happened while the folder was not watched is told.
    CheckFolderContent();
}

void TMonitoredFolderCommands::StopMonitoring()
{
    m_watcher.Stop();
    UpdateActions();
}

void TMonitoredFolderCommands::MonitoredFolderChanged()
{
    if (m_dmMain.App.NotifyMonitoredFolderChanges && m_showBalloon)
        m_showBalloon(ChangedText, QStringLiteral("[Tessaryn]"));
    CheckFolderContent();
}

bool TMonitoredFolderCommands::FolderEmpty() const
{
    return IsFolderEmpty(m_dmMain.App.MonitoredFolder);
}

void TMonitoredFolderCommands::CheckFolderContent()
{
    m_hasContent = !FolderEmpty();
    if (m_refreshCommands)
        m_refreshCommands();
}

void TMonitoredFolderCommands::miClearClick()
{
    const QString folder = m_dmMain.App.MonitoredFolder;
    if (m_dmMain.Desktop().MessageBox(ClearQuestion.arg(folder), IDesktop::TMsgKind::Confirmation,
                                      IDesktop::TButtons::YesNo)
        != IDesktop::TAnswer::Yes)
        return;
    const bool notify = m_dmMain.App.NotifyMonitoredFolderChanges;
    m_dmMain.SetMonitorFolder(false);
    // Watching comes back as it was, also when a deletion fails half way.
    struct TRestore {
        TdmMain& main;
        bool notify;
        ~TRestore() { main.SetMonitorFolder(notify); }
    } restore{m_dmMain, notify};
    try {
        DeleteFilesOlderThan(folder, QDateTime::currentDateTime().addDays(3000));
        DeleteEmptySubfolders(folder);
    } catch (const std::exception&) {
        // What could not be deleted stays; the folder may then not count as empty.
    }
    QCoreApplication::processEvents();
    CheckFolderContent();
}

void TMonitoredFolderCommands::miManageMonitoredFolderClick()
{
    TfrmManageMonitoredFolder window(
        m_dmMain,
        [this] {
            const bool was = Monitoring();
            if (was)
                StopMonitoring();
            return was;
        },
        [this] { StartMonitoring(); }, [this] { miClearClick(); },
        [this] { ExploreWithDesktop(m_dmMain.Desktop(), m_dmMain.App.MonitoredFolder); }, &m_window);
    window.exec();
    // The window may have emptied the folder while it was not watched.
    CheckFolderContent();
}
