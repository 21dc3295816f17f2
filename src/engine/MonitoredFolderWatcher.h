#pragma once

#include "engine/StableFiles.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class TFolderTreeWatcher;

// Watches the monitored folder and all its subfolders and tells of a change
// once the folder has come to rest: every file in it has kept its size and
// modification time for the quiet time. A burst of files (thousands dropped
// at once, a download in progress) is told once, when it is complete, and
// never while a file is still being written.
//
// Everything happens on the thread that owns the watcher.
class TMonitoredFolderWatcher {
public:
    explicit TMonitoredFolderWatcher(std::function<void()> onChanged);
    ~TMonitoredFolderWatcher();
    TMonitoredFolderWatcher(const TMonitoredFolderWatcher&) = delete;
    TMonitoredFolderWatcher& operator=(const TMonitoredFolderWatcher&) = delete;

    void SetFolder(const QString& folder) { m_folder = folder; }
    const QString& Folder() const { return m_folder; }
    // Nothing that happened while stopped is told afterwards.
    void Start();
    void Stop();
    bool Active() const;

    // How long the folder must rest before the change is told; the folder
    // is looked at every PollMs meanwhile.
    int QuietMs = 500;
    int PollMs = 100;

private:
    void Changed();
    void Poll();

    std::function<void()> m_onChanged;
    QString m_folder;
    std::unique_ptr<TFolderTreeWatcher> m_watcher;
    QTimer m_poll;
    TFileStates m_last;
    QElapsedTimer m_unchanged;   // since the states were last seen to change
};
