#pragma once

#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <functional>
#include <memory>

class QPushButton;
class QTableWidget;
class TFolderFiles;
class TFolderFilesGridObserver;
class TFolderFilesMenu;

// Shows the monitored folder's files and lets the user turn them into
// entries (the folder-files menu on the grid), explore the folder and
// empty it. While it is open the main window does not watch the folder
// (the window's own list follows the folder); watching resumes when it
// closes.
class TfrmManageMonitoredFolder : public TFrmStatusBar
{
    Q_OBJECT

public:
    static constexpr int HelpContext = 47;

    // stopMonitoring / startMonitoring: the main window's watcher;
    // stopMonitoring answers whether it was running.
    TfrmManageMonitoredFolder(TdmMain& dmMain, std::function<bool()> stopMonitoring,
                              std::function<void()> startMonitoring, std::function<void()> clearFolder,
                              std::function<void()> exploreFolder, QWidget* parent = nullptr);
    ~TfrmManageMonitoredFolder() override;

    TFolderFiles& Files() const { return *m_files; }
    TFolderFilesMenu* Menu() const { return m_menu; }

    QTableWidget* grFolderFiles;
    QPushButton* btnExplore;
    QPushButton* btnClear;
    QPushButton* btnClose;

protected:
    void FormShow() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<void()> m_startMonitoring;
    bool m_restartMonitoring = false;
    std::unique_ptr<TFolderFiles> m_files;
    TFolderFilesMenu* m_menu;
    std::unique_ptr<TFolderFilesGridObserver> m_observer;
};
