#pragma once

#include <csignal>

namespace till {

// Holds the stop signals (CancelButton::StopSignals: SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM) from the till's first instruction on: while held, none of them ends the
// till; each is only noted, and the till asks wasSignalled() once the operation in hand is over
// and its answer is out, then ends.
//
// An operation that talks to the service holds them until its answer is printed: a signal in
// between would end the till after the service acted (a sale approved, a refund made) but
// before the line that reports it, and the cashier, seeing nothing, would do it again. They are
// held from the start rather than from the operation's first request, since a signal while the
// till loads its files and the plug-in would otherwise end a run asked for an operation with no
// answer line at all. A command that is no operation (a listing, a check, help) gives them back
// with release(), and a signal noted meanwhile then ends it as it would have. A sale's cancel
// button takes the signals over while it is armed, and one noted before presses it at once.
class SignalHold
{
public:
    SignalHold() = delete;

    // Installs the noting handlers; the first thing main() does.
    static void begin();
    // Puts back the handlers the process started with and raises a signal noted meanwhile
    // again, so that it has the effect it would have had.
    static void release();

    // Whether a stop signal came while held; signal() is the first that came, 0 when none.
    static bool wasSignalled() { return signal() != 0; }
    static int signal();
    // signal(), forgotten: the caller acts on it.
    static int takeSignal();

    // "SIGTERM" and the like for the stop signals, "a signal" for any other.
    static const char *name(int signal);

private:
    static void onSignal(int signal);
};

} // namespace till
