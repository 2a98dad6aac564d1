#pragma once

#include <QString>

namespace velmor {

// Which process wrote a journal entry, and whether that process still runs. Each open journal
// holds an exclusive flock() on a file of its own, `<journal>.owners/<token>`, for as long as it
// is open; the kernel drops the lock when the process ends, however it ends (SIGKILL, a power
// cut wipes the lock with everything else). An owner is gone exactly when its lock can be taken:
// no guess from times or pids, which are reused and which two hosts sharing one state directory
// would not see alike.
class JournalOwner
{
public:
    JournalOwner() = default;
    ~JournalOwner();

    JournalOwner(const JournalOwner &) = delete;
    JournalOwner &operator=(const JournalOwner &) = delete;

    // Makes a fresh token and takes its lock in `directory` (created 02770 when absent). False
    // with errorString() set when the lock cannot be made or taken.
    bool take(const QString &directory);
    // Gives the lock up and removes its file.
    void release();

    bool isHeld() const { return m_fd >= 0; }
    QString token() const { return m_token; }
    QString errorString() const { return m_error; }

    // Whether the owner `token` in `directory` has ended: its lock file is gone or its lock can
    // be taken. With `removeEnded`, the file of an ended owner is removed on the way. A token
    // that is no file name of ours (empty, with a slash) reads as ended, since no running
    // journal can hold it.
    static bool hasEnded(const QString &directory, const QString &token, bool removeEnded);

private:
    int m_fd = -1;
    QString m_path;
    QString m_token;
    QString m_error;
};

} // namespace velmor
