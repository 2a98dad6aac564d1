#include "journalowner.h"

#include "statefile.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velmor {

namespace {

// Offsets below 2^62: far inside what a lock may name, and 62 random bits make two processes,
// on one host or two, never draw the same one in the life of a journal.
constexpr quint64 TokenRange = quint64(1) << 62;

struct flock byteAt(qint64 offset, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    // An open file description's lock: l_pid must be 0.
    lock.l_pid = 0;
    return lock;
}

qint64 tokenOffset(const QString &token)
{
    bool ok = false;
    const qint64 offset = token.toLongLong(&ok);
    return ok && offset > 0 && quint64(offset) < TokenRange ? offset : -1;
}

} // namespace

JournalOwner::~JournalOwner()
{
    release();
}

bool JournalOwner::take(const QString &lockFile)
{
    release();
    m_error.clear();
    // Made with the journal's permissions when absent; every journal of the file shares it.
    if (!statefile::createShared(lockFile, &m_error))
        return false;
    const int opened = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CLOEXEC);
    if (opened < 0) {
        m_error = QStringLiteral("cannot open %1: %2")
                      .arg(lockFile, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // A byte some other journal holds is drawn again; with 62 bits that never happens twice.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const quint64 drawn = QRandomGenerator::system()->generate64() & (TokenRange - 1);
        const qint64 offset = qint64(drawn == 0 ? 1 : drawn);
        struct flock lock = byteAt(offset, F_WRLCK);
        if (::fcntl(opened, F_OFD_SETLK, &lock) == 0) {
            m_fd = opened;
            m_token = QString::number(offset);
            m_error.clear();
            return true;
        }
        if (errno != EAGAIN && errno != EACCES)
            break;
    }
    m_error = QStringLiteral("cannot lock %1: %2")
                  .arg(lockFile, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(opened);
    return false;
}

void JournalOwner::release()
{
    if (m_fd < 0)
        return;
    // Closing the only descriptor of the description drops its lock.
    ::close(m_fd);
    m_fd = -1;
    m_token.clear();
}

QStringList JournalOwner::ended(const QString &lockFile, const QStringList &tokens)
{
    QStringList gone;
    if (tokens.isEmpty())
        return gone;
    // Read-only is enough to ask who holds a byte.
    const int fd = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // No lock file: no journal has ever held a lock in it, so no owner runs.
        return errno == ENOENT ? tokens : gone;
    }
    for (const QString &token : tokens) {
        const qint64 offset = tokenOffset(token);
        if (offset < 0) {
            gone.append(token);
            continue;
        }
        struct flock lock = byteAt(offset, F_WRLCK);
        if (::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type == F_UNLCK)
            gone.append(token);
    }
    ::close(fd);
    return gone;
}

} // namespace velmor
