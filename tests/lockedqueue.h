#pragma once

#include <QString>

struct sqlite3;

// Holds the queue's database locked against writers for its lifetime, as another till's long
// transaction would: the queue's writes wait out their busy timeout and fail.
class LockedQueue
{
public:
    explicit LockedQueue(const QString &path);
    ~LockedQueue();

    LockedQueue(const LockedQueue &) = delete;
    LockedQueue &operator=(const LockedQueue &) = delete;

    bool isLocked() const { return m_locked; }

private:
    sqlite3 *m_db = nullptr;
    bool m_locked = false;
};
