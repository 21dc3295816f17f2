#pragma once

#include "engine/MonitoredFolderWatcher.h"

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMainWindow;
class TdmMain;

// The main window's side of the monitored folder: the watcher started at
// start-up, the notice when the folder's contents changed, the commands
// "Manage files", "Clear", "Start monitoring folder" and "Stop monitoring
// folder" (found in the window's menu by their object names), and the
// emptiness rule that enables the commands working on the folder.
class TMonitoredFolderCommands : public QObject
{
    Q_OBJECT

public:
    static const QString ChangedText;
    static const QString ClearQuestion;

    // showBalloon: the main window's notice; refreshCommands: re-evaluates
    // the command states of the whole window.
    TMonitoredFolderCommands(TdmMain& dmMain, QMainWindow& window,
                             std::function<void(const QString& text, const QString& title)> showBalloon,
                             std::function<void()> refreshCommands);
    ~TMonitoredFolderCommands() override;

    void StartMonitoring();
    void StopMonitoring();
    bool Monitoring() const { return m_watcher.Active(); }
    // The notice and the command states; the watcher calls it once the
    // folder has come to rest after a change.
    void MonitoredFolderChanged();
    // Asks, then deletes every file of the folder and its emptied subfolders,
    // with watching off meanwhile.
    void miClearClick();
    void miManageMonitoredFolderClick();
    // The folder counts as empty when its files (all subfolders included)
    // hold no byte.
    bool FolderEmpty() const;
    // The emptiness rule as last evaluated: the toolbar buttons and task
    // links of the commands on the folder's files are enabled exactly when
    // it holds. Evaluated at start, on each notice, after Clear, when
    // watching starts and after the window that manages the folder closed.
    bool FolderHasContent() const { return m_hasContent; }
    // Evaluates the rule again and refreshes the command states: for
    // changes made while the folder is not watched (a store that took its
    // files, a paste into it).
    void CheckFolderContent();

    TMonitoredFolderWatcher& Watcher() { return m_watcher; }

private:
    void UpdateActions();

    TdmMain& m_dmMain;
    QMainWindow& m_window;
    std::function<void(const QString&, const QString&)> m_showBalloon;
    std::function<void()> m_refreshCommands;
    TMonitoredFolderWatcher m_watcher;
    QAction* miStartMonitoring = nullptr;
    QAction* miStopMonitoring = nullptr;
    bool m_hasContent = false;
};
