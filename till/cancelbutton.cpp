#include "cancelbutton.h"

#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr char SignalByte = 's';
constexpr char QuitByte = 'q';

// Written by the signal handler, so a plain atomic int rather than anything that locks.
std::atomic_int signalPipe{-1};

} // namespace

CancelButton::~CancelButton()
{
    disarm();
}

bool CancelButton::arm(const Action &action, int afterMs, bool catchSigint)
{
    disarm();
    if (pipe2(m_pipe, O_CLOEXEC) != 0)
        return false;
    m_action = action;
    m_pressed = false;
    m_catchSigint = catchSigint;
    if (catchSigint) {
        signalPipe = m_pipe[1];
        struct sigaction handler = {};
        handler.sa_handler = &CancelButton::onSignal;
        sigemptyset(&handler.sa_mask);
        // Restarting keeps the plug-in's blocking calls from failing with EINTR.
        handler.sa_flags = SA_RESTART;
        if (sigaction(SIGINT, &handler, &m_previous) != 0) {
            signalPipe = -1;
            close(m_pipe[0]);
            close(m_pipe[1]);
            m_pipe[0] = m_pipe[1] = -1;
            return false;
        }
    }
    m_armed = true;
    m_watcher = std::thread(&CancelButton::watch, this, afterMs);
    return true;
}

void CancelButton::disarm()
{
    if (!m_armed)
        return;
    if (m_catchSigint) {
        sigaction(SIGINT, &m_previous, nullptr);
        signalPipe = -1;
    }
    const char quit = QuitByte;
    while (write(m_pipe[1], &quit, 1) < 0 && errno == EINTR) {
    }
    m_watcher.join();
    if (m_actionThread.joinable())
        m_actionThread.join();
    close(m_pipe[0]);
    close(m_pipe[1]);
    m_pipe[0] = m_pipe[1] = -1;
    m_armed = false;
    m_action = nullptr;
}

void CancelButton::watch(int afterMs)
{
    using Clock = std::chrono::steady_clock;
    const bool timed = afterMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timed ? afterMs : 0);
    for (;;) {
        int timeout = -1;
        if (timed && !m_pressed) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = int(qMax<qint64>(0, left.count()));
        }
        pollfd fd{m_pipe[0], POLLIN, 0};
        const int ready = poll(&fd, 1, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (ready == 0) {
            press();
            continue;
        }
        char byte = 0;
        const ssize_t got = read(m_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || byte == QuitByte)
            return;
        if (byte == SignalByte) {
            if (!m_pressed) {
                press();
                continue;
            }
            static const char message[] = "\ntill: interrupted twice, stopping now\n";
            const ssize_t ignored = write(STDERR_FILENO, message, sizeof(message) - 1);
            Q_UNUSED(ignored)
            std::_Exit(130);
        }
    }
}

void CancelButton::press()
{
    if (m_pressed.exchange(true))
        return;
    if (m_action)
        m_actionThread = std::thread(m_action);
}

void CancelButton::onSignal(int)
{
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const char byte = SignalByte;
        const ssize_t ignored = write(fd, &byte, 1);
        (void)ignored;
    }
    errno = savedErrno;
}
