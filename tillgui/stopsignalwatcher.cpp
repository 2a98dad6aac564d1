#include "stopsignalwatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tillgui {

namespace {

// Written by the signal handler, so a plain atomic int rather than anything that locks.
std::atomic_int signalPipe{-1};

} // namespace

constexpr int StopSignalWatcher::Signals[];

StopSignalWatcher::StopSignalWatcher(QObject *parent) : QObject(parent)
{
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    signalPipe = m_pipe[1];
    struct sigaction handler = {};
    handler.sa_handler = &StopSignalWatcher::onSignal;
    sigemptyset(&handler.sa_mask);
    // Restarting keeps the plug-in's blocking calls from failing with EINTR.
    handler.sa_flags = SA_RESTART;
    for (int i = 0; i < SignalCount; ++i) {
        m_installed[i] = sigaction(Signals[i], &handler, &m_previous[i]) == 0;
        if (!m_installed[i])
            return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignalWatcher::readSignal);
}

StopSignalWatcher::~StopSignalWatcher()
{
    for (int i = 0; i < SignalCount; ++i) {
        if (m_installed[i])
            sigaction(Signals[i], &m_previous[i], nullptr);
    }
    signalPipe = -1;
    delete m_notifier;
    for (const int fd : m_pipe) {
        if (fd >= 0)
            close(fd);
    }
}

const char *StopSignalWatcher::name(int signal)
{
    switch (signal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    default:
        return "a signal";
    }
}

void StopSignalWatcher::readSignal()
{
    unsigned char number = 0;
    ssize_t got = 0;
    while ((got = read(m_pipe[0], &number, 1)) == 1)
        emit stopRequested(int(number));
}

void StopSignalWatcher::onSignal(int signal)
{
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        const ssize_t ignored = write(fd, &number, 1);
        (void)ignored;
    }
    errno = savedErrno;
}

} // namespace tillgui
