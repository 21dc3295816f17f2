#include "app/SignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}

} // namespace

TSignalWatcher::TSignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSignalWatcher::ReadPipe);
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t wanted;
    sigemptyset(&wanted);
    for (const int number : kSignals) {
        ::sigaction(number, &action, nullptr);
        sigaddset(&wanted, number);
    }
    // A mask inherited from whoever started the program would keep them
    // from ever arriving.
    ::pthread_sigmask(SIG_UNBLOCK, &wanted, nullptr);
}

TSignalWatcher::~TSignalWatcher()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TSignalWatcher::ReadPipe()
{
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1)
        emit Received(byte);
}
