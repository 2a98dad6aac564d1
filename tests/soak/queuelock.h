#pragma once

#include <QString>

struct sqlite3;

// An exclusive SQLite transaction held on a till's queue database, as another program on the
// till might hold one: while it is held, the till cannot write its queue (its busy timeout
// runs out). The lock goes with the object.
class QueueLock
{
public:
    QueueLock() = default;
    ~QueueLock();

    QueueLock(const QueueLock &) = delete;
    QueueLock &operator=(const QueueLock &) = delete;

    // BEGIN EXCLUSIVE on an existing database, without waiting for another holder; false when
    // the file is missing or someone else holds it.
    bool take(const QString &path);
    void release();
    bool isHeld() const { return m_db != nullptr; }

private:
    sqlite3 *m_db = nullptr;
};
