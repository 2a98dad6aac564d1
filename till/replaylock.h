#pragma once

#include <result.h>

#include <QString>

namespace till {

// Keeps two replays of one queue from running at once: each would read the same pending
// messages and send every one of them. An exclusive flock() on the queue database itself,
// through a descriptor opened read-only, held until the lock object goes or the process ends (a
// killed replay leaves no stale lock behind). The lock belongs to the file, not to a name: a
// symbolic link, a hard link or another relative path reaches the same lock, and any user who
// may read the queue (every member of its group) can take it, with no side file to create.
//
// flock() locks and the fcntl() record locks SQLite takes are independent of each other on
// Linux, so the lock keeps neither this process nor another till from using the queue. But
// closing any descriptor of the database drops every fcntl() lock this process holds on it,
// SQLite's shared lock of an open WAL connection included, so the descriptor is never closed
// while the process runs: a released lock keeps it, unlocked, for the next lock of the same
// file.
class ReplayLock
{
public:
    enum State { Taken, Busy };

    explicit ReplayLock(const QString &queuePath);
    ~ReplayLock();

    ReplayLock(const ReplayLock &) = delete;
    ReplayLock &operator=(const ReplayLock &) = delete;

    // Does not wait: Busy when another process (or another lock in this one) holds the lock; a
    // failure when the queue cannot be opened or locked.
    Result<State> take();

    QString queuePath() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_taken = false;
};

} // namespace till
