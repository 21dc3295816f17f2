#pragma once

#include <QByteArray>
#include <QHash>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

struct inotify_event;

// Watches a folder and every folder below it, with one inotify watch per
// folder. A folder's watch reports what happens to the files in it (made,
// written, deleted, renamed, their times set), so files are never watched one
// by one: a tree of 100,000 files in 100 folders costs 101 watches, and each
// watch costs the same however many there are already. (The platform's
// QFileSystemWatcher wants a path per file to see writes, and its cost for
// adding and removing paths grows with the square of their number.) Folders
// that are made or moved in later get their watches as their events arrive;
// folders moved out lose theirs. Events arrive on the thread that owns the
// watcher; a short single-shot timer folds a burst into one report.
class TFolderTreeWatcher {
public:
    struct TReport {
        bool appeared = false;      // a file or folder was made or moved in, anywhere
        bool changedBelow = false;  // anything happened inside a subfolder
    };
    using TCallback = std::function<void(const TReport&)>;

    explicit TFolderTreeWatcher(TCallback callback);

    ~TFolderTreeWatcher() { Stop(); }
    TFolderTreeWatcher(const TFolderTreeWatcher&) = delete;
    TFolderTreeWatcher& operator=(const TFolderTreeWatcher&) = delete;

    // Drops whatever was watched and pending, then watches root's tree as it
    // is now.
    void Start(const QString& root);

    // Nothing that happened before is reported afterwards: the kernel's queue
    // goes with the descriptor.
    void Stop();

    bool Active() const { return m_active; }

private:
    static constexpr int kSettleMs = 40;

    void Arm();

    // Watches folder and every real folder below it. Each folder is watched
    // before it is read, so a subfolder made meanwhile is either read or
    // reported by its parent.
    void WatchTree(const QByteArray& top, bool followTop = false);

    // Drops the watches of folder and of every folder below it.
    void Unwatch(const QByteArray& folder);

    void ReadEvents();

    void Handle(const inotify_event& event);

    void Report();

    TCallback m_callback;
    QTimer m_timer;
    QByteArray m_root;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<int, QByteArray> m_folders;   // watch descriptor -> folder path (bytes)
    TReport m_pending;
    bool m_rearm = false;
    bool m_active = false;
};
