#include "engine/MonitoredFolderWatcher.h"

#include "engine/FolderTreeWatcher.h"

TMonitoredFolderWatcher::TMonitoredFolderWatcher(std::function<void()> onChanged)
    : m_onChanged(std::move(onChanged)),
      m_watcher(std::make_unique<TFolderTreeWatcher>([this](const TFolderTreeWatcher::TReport&) { Changed(); }))
{
    m_poll.setSingleShot(true);
    QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { Poll(); });
}

TMonitoredFolderWatcher::~TMonitoredFolderWatcher()
{
    Stop();
}

void TMonitoredFolderWatcher::Start()
{
    m_watcher->Start(m_folder);
}

void TMonitoredFolderWatcher::Stop()
{
    m_watcher->Stop();
    m_poll.stop();
}

bool TMonitoredFolderWatcher::Active() const
{
    return m_watcher->Active();
}

void TMonitoredFolderWatcher::Changed()
{
    // Look at the folder until it rests; a look already planned stays.
    if (m_poll.isActive())
        return;
    m_last = TFileStates::Take({m_folder});
    m_unchanged.start();
    m_poll.start(PollMs);
}

void TMonitoredFolderWatcher::Poll()
{
    if (!Active())
        return;
    const TFileStates now = TFileStates::Take({m_folder});
    if (!(now == m_last)) {
        m_last = now;
        m_unchanged.start();
    } else if (m_unchanged.elapsed() >= QuietMs || now.QuietForMs() >= QuietMs) {
        // At rest: told once for the whole burst.
        m_onChanged();
        return;
    }
    m_poll.start(PollMs);
}
