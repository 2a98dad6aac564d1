#pragma once

#include <QString>

namespace till {

// Keeps two replays of one queue from running at once: each would read the same pending
// messages and send every one of them. An exclusive flock() on "<queue>.lock" beside the
// queue database (its path resolved, symbolic links followed), held until the lock object goes or
// the process ends (a killed replay leaves no stale lock behind). A separate file rather than the
// database itself, because where flock() is emulated with fcntl() locks they would collide with
// SQLite's own.
class ReplayLock
{
public:
    enum Result { Taken, Busy, Failed };

    explicit ReplayLock(const QString &queuePath);
    ~ReplayLock();

    ReplayLock(const ReplayLock &) = delete;
    ReplayLock &operator=(const ReplayLock &) = delete;

    // Does not wait: Busy when another process holds the lock, Failed (errorString() says
    // why) when the lock file cannot be opened.
    Result take();

    QString lockPath() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    int m_fd = -1;
};

} // namespace till
