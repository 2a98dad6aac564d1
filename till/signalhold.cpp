#include "signalhold.h"

#include "cancelbutton.h"

#include <atomic>

namespace till {

static_assert(CancelButton::StopSignalCount == 3, "SignalHold holds every stop signal");

namespace {

// Written by the signal handler, so a lock-free atomic and nothing else.
std::atomic_int firstSignal{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler may only touch lock-free atomics");

} // namespace

SignalHold::SignalHold()
{
    firstSignal = 0;
    struct sigaction handler = {};
    handler.sa_handler = &SignalHold::onSignal;
    sigemptyset(&handler.sa_mask);
    // Restarting keeps the plug-in's blocking calls and the answer's write from failing with
    // EINTR.
    handler.sa_flags = SA_RESTART;
    for (int i = 0; i < Count; ++i)
        m_held[i] = sigaction(CancelButton::StopSignals[i], &handler, &m_previous[i]) == 0;
}

SignalHold::~SignalHold()
{
    for (int i = 0; i < Count; ++i) {
        if (m_held[i])
            sigaction(CancelButton::StopSignals[i], &m_previous[i], nullptr);
    }
}

int SignalHold::signal() const
{
    return firstSignal.load();
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
