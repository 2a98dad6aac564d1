#include "signalhold.h"

#include "cancelbutton.h"

#include <atomic>

namespace till {

namespace {

// Written by the signal handler, so a lock-free atomic and nothing else.
std::atomic_int firstSignal{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler may only touch lock-free atomics");

// The handlers the process started with, put back by release().
struct sigaction previous[CancelButton::StopSignalCount] = {};
bool held[CancelButton::StopSignalCount] = {};

} // namespace

void SignalHold::begin()
{
    firstSignal = 0;
    struct sigaction handler = {};
    handler.sa_handler = &SignalHold::onSignal;
    sigemptyset(&handler.sa_mask);
    // Restarting keeps the plug-in's blocking calls and the answer's write from failing with
    // EINTR.
    handler.sa_flags = SA_RESTART;
    for (int i = 0; i < CancelButton::StopSignalCount; ++i) {
        if (!held[i])
            held[i] = sigaction(CancelButton::StopSignals[i], &handler, &previous[i]) == 0;
    }
}

void SignalHold::release()
{
    for (int i = 0; i < CancelButton::StopSignalCount; ++i) {
        if (held[i])
            sigaction(CancelButton::StopSignals[i], &previous[i], nullptr);
        held[i] = false;
    }
    const int noted = takeSignal();
    if (noted != 0)
        raise(noted);
}

int SignalHold::signal()
{
    return firstSignal.load();
}

int SignalHold::takeSignal()
{
    return firstSignal.exchange(0);
}

const char *SignalHold::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGQUIT:
        return "SIGQUIT";
    case SIGUSR1:
        return "SIGUSR1";
    case SIGUSR2:
        return "SIGUSR2";
    case SIGALRM:
        return "SIGALRM";
    default:
        return "a signal";
    }
}

void SignalHold::onSignal(int signal)
{
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
}

} // namespace till
