#pragma once

#include <QString>
#include <QStringList>

namespace velmor {

// Which process wrote a journal entry, and whether that process still runs. Every open journal
// holds a write lock on one byte of a lock file shared by all of them, `<journal>.owners`, at an
// offset drawn at random: its token, stored in each entry it writes. The lock belongs to the
// open file description (an OFD lock), so the kernel drops it when the process ends, however it
// ends (SIGKILL; a power cut takes every lock with it). An owner is gone exactly when nobody
// holds its byte: no guess from times or pids, which are reused and which two hosts sharing one
// state directory would not see alike. Asking costs one fcntl() per owner, and nothing is
// created or removed per process.
class JournalOwner
{
public:
    JournalOwner() = default;
    ~JournalOwner();

    JournalOwner(const JournalOwner &) = delete;
    JournalOwner &operator=(const JournalOwner &) = delete;

    // Draws a fresh token and locks its byte in `lockFile` (created 0660 when absent). False
    // with errorString() set when the file cannot be opened or the lock taken.
    bool take(const QString &lockFile);
    // Gives the lock up.
    void release();

    bool isHeld() const { return m_fd >= 0; }
    QString token() const { return m_token; }
    QString errorString() const { return m_error; }

    // Those of `tokens` whose owners have ended: nobody holds their byte in `lockFile`, or the
    // file is not there at all. Reads the file only, so a reader without write access can tell
    // too. A token that is no number of ours reads as ended, since no running journal can hold
    // it. When the file is there but cannot be opened, none is taken for ended: an entry of a
    // running till must never be reversed.
    static QStringList ended(const QString &lockFile, const QStringList &tokens);

private:
    int m_fd = -1;
    QString m_token;
    QString m_error;
};

} // namespace velmor
