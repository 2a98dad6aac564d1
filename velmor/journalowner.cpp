#include "journalowner.h"

#include "statefile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmor {

namespace {

// 64 random bits from the system's generator: two processes, on one host or two, never draw the
// same token in the life of a journal. Stored in every entry, so kept short.
QString freshToken()
{
    quint32 words[2];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

bool isTokenName(const QString &token)
{
    if (token.isEmpty())
        return false;
    for (const QChar c : token) {
        if (!c.isDigit() && (c < QLatin1Char('a') || c > QLatin1Char('f')))
            return false;
    }
    return true;
}

} // namespace

JournalOwner::~JournalOwner()
{
    release();
}

bool JournalOwner::take(const QString &directory)
{
    release();
    if (!statefile::createSharedDirectory(directory, &m_error))
        return false;
    const QString token = freshToken();
    const QString path = QDir(directory).filePath(token);
    const int fd = statefile::createShared(path, true, &m_error);
    if (fd < 0)
        return false;
    // Taken before the token is handed out: no entry names an owner whose lock is not held.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_error = QStringLiteral("cannot lock %1: %2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        ::unlink(QFile::encodeName(path).constData());
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_token = token;
    m_error.clear();
    return true;
}

void JournalOwner::release()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so that a process that opens the file in between finds the
    // lock held or no file at all, and never takes a running owner for an ended one.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_token.clear();
}

bool JournalOwner::hasEnded(const QString &directory, const QString &token, bool removeEnded)
{
    if (!isTokenName(token))
        return true;
    const QByteArray path = QFile::encodeName(QDir(directory).filePath(token));
    // Read-only is enough for flock(), so that a reader without write access can tell too.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    const bool ended = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // Its owner is gone for good: the file only costs a look-up the next time. Unwritable
    // directories keep it, which changes nothing.
    if (ended && removeEnded)
        ::unlink(path.constData());
    ::close(fd);
    return ended;
}

} // namespace velmor
