#include "replaylock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ReplayLock::ReplayLock(const QString &queuePath) : m_path(queuePath + QStringLiteral(".lock")) {}

ReplayLock::~ReplayLock()
{
    if (m_fd >= 0)
        close(m_fd); // releases the lock
}

ReplayLock::Result ReplayLock::take()
{
    if (m_fd < 0) {
        m_fd = open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_error = QStringLiteral("lock file %1: cannot be opened: %2")
                          .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
            return Failed;
        }
    }
    int rc = 0;
    while ((rc = flock(m_fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc == 0)
        return Taken;
    if (errno == EWOULDBLOCK)
        return Busy;
    m_error = QStringLiteral("lock file %1: cannot be locked: %2")
                  .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    return Failed;
}
