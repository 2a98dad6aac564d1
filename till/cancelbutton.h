#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

// The cashier's cancel button for a sale in progress: pressed by a timer, by Ctrl-C, or both.
// While it is armed, SIGINT no longer kills the till; the first one presses the button, a
// second one ends the process (for a till whose service does not answer the cancellation).
//
// The signal handler only writes a byte to a pipe; a watcher thread reads it and runs the
// action on a thread of its own, so that the watcher still sees a second Ctrl-C while the
// action (a blocking service exchange) is under way. One button may be armed at a time.
class CancelButton
{
public:
    using Action = std::function<void()>;

    CancelButton() = default;
    ~CancelButton();

    CancelButton(const CancelButton &) = delete;
    CancelButton &operator=(const CancelButton &) = delete;

    // Presses after `afterMs` milliseconds (negative: no timer) and, with `catchSigint`, on
    // the first SIGINT. False when the pipe or the handler cannot be set up.
    bool arm(const Action &action, int afterMs, bool catchSigint);
    // Stops watching, restores SIGINT and waits for a running action to finish.
    void disarm();

    bool wasPressed() const { return m_pressed.load(); }

private:
    void watch(int afterMs);
    void press();
    static void onSignal(int signal);

    Action m_action;
    int m_pipe[2] = {-1, -1};
    bool m_armed = false;
    bool m_catchSigint = false;
    struct sigaction m_previous = {};
    std::thread m_watcher;
    std::thread m_actionThread;
    std::atomic_bool m_pressed{false};
};
