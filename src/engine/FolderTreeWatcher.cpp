#include "engine/FolderTreeWatcher.h"

#include "app/Logging.h"
#include "engine/FileHelpers.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO
                             | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK;

} // namespace

TFolderTreeWatcher::TFolderTreeWatcher(TCallback callback) : m_callback(std::move(callback))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSettleMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Report(); });
}

void TFolderTreeWatcher::Start(const QString& root)
{
    Stop();
    m_root = QFile::encodeName(ExcludeTrailingBackslash(root));
    m_active = true;
    Arm();
}

void TFolderTreeWatcher::Stop()
{
    m_active = false;
    m_timer.stop();
    m_pending = {};
    m_rearm = false;
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_folders.clear();
}

void TFolderTreeWatcher::Arm()
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { ReadEvents(); });
    // The top folder may be reached through a link (a monitored folder
    // the user chose); links below it are listed, never followed.
    WatchTree(m_root, true);
}

void TFolderTreeWatcher::WatchTree(const QByteArray& top, bool followTop)
{
    QList<QByteArray> folders{top};
    while (!folders.isEmpty()) {
        const QByteArray folder = folders.takeLast();
        const uint32_t mask = kEvents | IN_ONLYDIR | (followTop && folder == top ? 0 : IN_DONT_FOLLOW);
        const int wd = ::inotify_add_watch(m_fd, folder.constData(), mask);
        if (wd < 0) {
            // gone already, or not a folder; or the system's limit of
            // watches is reached, which only a log can tell
            qCDebug(lcWatch).noquote() << "not watching" << QString::fromLocal8Bit(folder) << ':'
                                       << QString::fromLocal8Bit(std::strerror(errno));
            continue;
        }
        m_folders.insert(wd, folder);
        DIR* dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            const QByteArray path = QByteArray(folder).append('/').append(name);
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info;
                isFolder = ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            if (isFolder)
                folders.append(path);
        }
        ::closedir(dir);
    }
}

void TFolderTreeWatcher::Unwatch(const QByteArray& folder)
{
    const QByteArray below = folder + '/';
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it.value() == folder || it.value().startsWith(below)) {
            ::inotify_rm_watch(m_fd, it.key());
            it = m_folders.erase(it);
        } else {
            ++it;
        }
    }
}

void TFolderTreeWatcher::ReadEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            Handle(*event);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (m_active && !m_timer.isActive())
        m_timer.start();
}

void TFolderTreeWatcher::Handle(const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: what changed is unknown, so everything may have.
        m_rearm = true;
        m_pending = {true, true};
        return;
    }
    const auto found = m_folders.constFind(event.wd);
    if (found == m_folders.constEnd())
        return;   // a watch dropped already
    if (event.mask & IN_IGNORED) {
        m_folders.remove(event.wd);
        return;
    }
    const QByteArray folder = found.value();
    const bool top = folder == m_root;
    // An event of the watched folder itself needs nothing more: its
    // parent reports it by name, and for the top folder the refresh that
    // follows every event finds what became of it.
    if (event.len == 0 || event.name[0] == 0)
        return;
    const QByteArray path = QByteArray(folder).append('/').append(event.name);
    if (event.mask & IN_ISDIR) {
        if (event.mask & IN_MOVED_FROM)
            Unwatch(path);
        if (event.mask & (IN_CREATE | IN_MOVED_TO))
            WatchTree(path);
    }
    if (event.mask & (IN_CREATE | IN_MOVED_TO))
        m_pending.appeared = true;
    if (!top)
        m_pending.changedBelow = true;
}

void TFolderTreeWatcher::Report()
{
    if (!m_active)
        return;
    const TReport report = std::exchange(m_pending, {});
    if (std::exchange(m_rearm, false)) {
        m_notifier.reset();
        ::close(m_fd);
        m_fd = -1;
        m_folders.clear();
        Arm();
    }
    // The callback may stop, restart or even end this watcher: nothing
    // of it is touched afterwards.
    m_callback(report);
}
