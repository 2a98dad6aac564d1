#include "cancelbutton.h"

#include "signalhold.h"

#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace till {

namespace {

constexpr char SignalByte = 's';
constexpr char QuitByte = 'q';

// Written by the signal handler, so a plain atomic int rather than anything that locks.
std::atomic_int signalPipe{-1};

} // namespace

constexpr int CancelButton::StopSignals[];

CancelButton::~CancelButton()
{
    disarm();
}

bool CancelButton::arm(const Action &action, int afterMs, bool catchSignals, const Notice &notice)
{
    disarm();
    if (pipe2(m_pipe, O_CLOEXEC) != 0)
        return false;
    m_action = action;
    m_notice = notice;
    m_pressed = false;
    m_running = false;
    m_confirmed = false;
    m_catchSignals = catchSignals;
    if (catchSignals) {
        signalPipe = m_pipe[1];
        struct sigaction handler = {};
        handler.sa_handler = &CancelButton::onSignal;
        sigemptyset(&handler.sa_mask);
        // Restarting keeps the plug-in's blocking calls from failing with EINTR.
        handler.sa_flags = SA_RESTART;
        for (int i = 0; i < StopSignalCount; ++i) {
            if (sigaction(StopSignals[i], &handler, &m_previous[i]) != 0) {
                restoreHandlers(i);
                signalPipe = -1;
                close(m_pipe[0]);
                close(m_pipe[1]);
                m_pipe[0] = m_pipe[1] = -1;
                return false;
            }
        }
    }
    m_armed = true;
    m_watcher = std::thread(&CancelButton::watch, this, afterMs);
    // A signal that came while the till only held the signals (starting up, loading the
    // plug-in) asked for the sale to be cancelled: it presses the button now.
    if (catchSignals && SignalHold::takeSignal() != 0)
        onSignal(0);
    return true;
}

void CancelButton::disarm()
{
    if (!m_armed)
        return;
    if (m_catchSignals) {
        restoreHandlers(StopSignalCount);
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
    m_notice = nullptr;
}

void CancelButton::restoreHandlers(int count)
{
    for (int i = 0; i < count; ++i)
        sigaction(StopSignals[i], &m_previous[i], nullptr);
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
            if (!m_pressed)
                press();
            else
                onLaterSignal();
        }
    }
}

void CancelButton::onLaterSignal()
{
    if (m_running) {
        tell("till: the cancellation is still under way; the till stops once it is confirmed "
             "or queued");
        return;
    }
    if (m_confirmed) {
        tell("till: the cancellation is confirmed or queued; the sale ends at the plug-in's "
             "next status poll");
        return;
    }
    // Neither accepted nor stored: leaving now could leave the order live at the service.
    tell("till: the cancellation was not confirmed; trying again (the till stops once it is "
         "confirmed or queued)");
    if (m_actionThread.joinable())
        m_actionThread.join();
    m_pressed = false;
    press();
}

void CancelButton::press()
{
    if (m_pressed.exchange(true) || !m_action)
        return;
    m_running = true;
    m_actionThread = std::thread([this] {
        const bool confirmed = m_action();
        m_confirmed = confirmed;
        m_running = false;
    });
}

void CancelButton::tell(const char *text)
{
    if (m_notice)
        m_notice(text);
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

} // namespace till
