#include "replaylock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace till {

namespace {

// One queue is one lock whatever path names it: through a symbolic link, a relative path or
// ".." two replays would otherwise lock two files and both send.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString directory = info.absoluteDir().canonicalPath();
    return directory.isEmpty() ? info.absoluteFilePath()
                               : directory + QLatin1Char('/') + info.fileName();
}

} // namespace

ReplayLock::ReplayLock(const QString &queuePath)
    : m_path(resolvedPath(queuePath) + QStringLiteral(".lock"))
{}

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

} // namespace till
