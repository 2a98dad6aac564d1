#include "lockedqueue.h"

#include <QFile>
#include <dbqueuebroker.h>
#include <singleton.h>

#include <sqlite3.h>

LockedQueue::LockedQueue(const QString &path)
{
    // The queue makes its file and tables on first use.
    Singleton<DBQueueBroker>::instance->pendingMessages();
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) == SQLITE_OK)
        m_locked = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

LockedQueue::~LockedQueue()
{
    if (m_locked)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
}
