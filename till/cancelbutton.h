#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

namespace till {

// The cashier's cancel button for a sale in progress: pressed by a timer, by a stop signal
// (StopSignals: Ctrl-C, Ctrl-\, a service manager's or a closed terminal's signal, the user
// signals and an alarm), or both. A stop signal the till held before the button was armed (see
// SignalHold) presses it as soon as it is armed. While it is armed, none of these signals ends the
// till: the first presses the button, and the till then ends with the sale, once the plug-in's
// payment has returned and its answer (with the order id) is printed.
//
// A stop signal never ends the till while the cancellation is under way: the sale's order
// would be left approved at the service with nothing queued and no answer line naming it.
// Later signals therefore only say what the till waits for, and once an interruption has come
// back unconfirmed (neither accepted nor stored for later) they press the button again, so the
// cashier can retry against a service that came back. Once the interruption is confirmed or
// queued, the plug-in's wait ends by itself at its next status poll, so the remaining wait is
// bounded by one poll interval and one exchange.
//
// The signal handler only writes a byte to a pipe; a watcher thread reads it and runs the
// action on a thread of its own, so that the watcher still sees further signals while the
// action (a blocking service exchange) is under way. One button may be armed at a time.
class CancelButton
{
public:
    // True when the cancellation is confirmed by the service or stored to be sent later.
    using Action = std::function<bool()>;
    // Tells the cashier what a signal did; called on the watcher thread.
    using Notice = std::function<void(const std::string &)>;

    CancelButton() = default;
    ~CancelButton();

    CancelButton(const CancelButton &) = delete;
    CancelButton &operator=(const CancelButton &) = delete;

    // Presses after `afterMs` milliseconds (negative: no timer) and, with `catchSignals`, on
    // the first stop signal. False when the pipe or the handlers cannot be set up.
    bool arm(const Action &action, int afterMs, bool catchSignals, const Notice &notice = Notice());
    // Stops watching, restores the signals' handlers and waits for a running action to finish.
    void disarm();

    bool wasPressed() const { return m_pressed.load(); }

    // The signals a pressed button takes instead of ending the till.
    static constexpr int StopSignals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT,
                                          SIGUSR1, SIGUSR2, SIGALRM};
    static constexpr int StopSignalCount = 7;

private:
    void watch(int afterMs);
    void press();
    void onLaterSignal();
    void tell(const char *text);
    void restoreHandlers(int count);
    static void onSignal(int signal);

    Action m_action;
    Notice m_notice;
    int m_pipe[2] = {-1, -1};
    bool m_armed = false;
    bool m_catchSignals = false;
    struct sigaction m_previous[StopSignalCount] = {};
    std::thread m_watcher;
    std::thread m_actionThread;
    std::atomic_bool m_pressed{false};
    // Set by the action thread: whether an action runs, and what the last one gave.
    std::atomic_bool m_running{false};
    std::atomic_bool m_confirmed{false};
};

} // namespace till
