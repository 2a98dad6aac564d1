#include "replaylock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace till {

namespace {

// Descriptors of queue files whose lock was released, kept open until the process ends (see
// ReplayLock); a later lock of the same file takes its descriptor back rather than opening
// another.
std::mutex keptMutex;
std::vector<int> keptDescriptors;

// A kept descriptor of the file at `path`, taken out of the kept ones; -1 when none is.
int takeKept(const QByteArray &path)
{
    struct stat named = {};
    if (stat(path.constData(), &named) != 0)
        return -1;
    const std::lock_guard<std::mutex> guard(keptMutex);
    for (auto kept = keptDescriptors.begin(); kept != keptDescriptors.end(); ++kept) {
        struct stat held = {};
        if (fstat(*kept, &held) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            const int fd = *kept;
            keptDescriptors.erase(kept);
            return fd;
        }
    }
    return -1;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

ReplayLock::ReplayLock(const QString &queuePath) : m_path(queuePath) {}

ReplayLock::~ReplayLock()
{
    if (m_fd < 0)
        return;
    if (m_taken)
        flock(m_fd, LOCK_UN);
    const std::lock_guard<std::mutex> guard(keptMutex);
    keptDescriptors.push_back(m_fd);
}

Result<ReplayLock::State> ReplayLock::take()
{
    if (m_taken)
        return Taken;
    if (m_fd < 0) {
        const QByteArray path = QFile::encodeName(m_path);
        m_fd = takeKept(path);
        if (m_fd < 0)
            m_fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return ResultError(QStringLiteral("queue %1: cannot be opened to lock it: %2")
                                   .arg(m_path, systemError()));
    }
    int rc = 0;
    while ((rc = flock(m_fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc == 0) {
        m_taken = true;
        return Taken;
    }
    if (errno == EWOULDBLOCK)
        return Busy;
    return ResultError(QStringLiteral("queue %1: cannot be locked: %2").arg(m_path, systemError()));
}

} // namespace till
