#pragma once

#include <csignal>

namespace till {

// Holds the stop signals (SIGINT, SIGTERM, SIGHUP) for its lifetime and then puts their
// handlers back. While held, none of them ends the till: each is only noted, and the till asks
// wasSignalled() once the operation in hand is over and its answer is out, then ends.
//
// An operation that talks to the service holds them from before its first request until its
// answer is printed: a signal in between would end the till after the service acted (a sale
// approved, a refund made) but before the line that reports it, and the cashier, seeing
// nothing, would do it again. A sale's cancel button takes the signals over while it is armed.
// One hold exists at a time.
class SignalHold
{
public:
    SignalHold();
    ~SignalHold();

    SignalHold(const SignalHold &) = delete;
    SignalHold &operator=(const SignalHold &) = delete;

    // Whether a stop signal came while held; signal() is the first that came, 0 when none.
    bool wasSignalled() const { return signal() != 0; }
    int signal() const;

    // "SIGTERM" and the like for the stop signals, "a signal" for any other.
    static const char *name(int signal);

private:
    static void onSignal(int signal);

    static constexpr int Count = 3;
    struct sigaction m_previous[Count] = {};
    bool m_held[Count] = {};
};

} // namespace till
