#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace tillgui {

// Turns the stop signals (SIGTERM from a service manager or `kill`, SIGHUP from a closed
// session, SIGINT from Ctrl-C) into a Qt signal on the window's thread, instead of letting them
// end the program at once: during a sale that would leave the order approved at the service
// with nothing sent and no trace. The window then does what closing it does (presses Cancel
// during a sale and closes once the sale has ended). The handler only writes the signal's number
// to a pipe, which a socket notifier reads. One watcher at a time.
class StopSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit StopSignalWatcher(QObject *parent = nullptr);
    // Puts the previous handlers back.
    ~StopSignalWatcher() override;

    StopSignalWatcher(const StopSignalWatcher &) = delete;
    StopSignalWatcher &operator=(const StopSignalWatcher &) = delete;

    // False when the pipe or the handlers could not be set up; the signals then end the
    // program as before.
    bool isWatching() const { return m_notifier != nullptr; }

    static constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};
    static constexpr int SignalCount = 3;
    // "SIGTERM" and the like.
    static const char *name(int signal);

signals:
    void stopRequested(int signal);

private:
    void readSignal();
    static void onSignal(int signal);

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[SignalCount] = {};
    bool m_installed[SignalCount] = {};
};

} // namespace tillgui
