#include "statefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {
namespace statefile {

namespace {

QString systemError(const QString &what, const QString &path)
{
    return QStringLiteral("%1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

// Gives `fd` to the shared group when it exists. Not being allowed to (a user outside the
// group) is no failure: the file still works for its own user, and the set-gid state directory
// gives the group anyway.
void giveToGroup(int fd)
{
    if (const struct group *const shared = ::getgrnam(Group))
        (void)::fchown(fd, static_cast<uid_t>(-1), shared->gr_gid);
}

} // namespace

int createShared(const QString &path, bool keepOpen, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
    if (fd < 0) {
        if (errno == EEXIST && !keepOpen)
            return -1;
        if (error)
            *error = systemError(QStringLiteral("cannot create"), path);
        return -1;
    }
    giveToGroup(fd);
    // Group-writable whatever the umask, so that every till user of the group can write it.
    ::fchmod(fd, 0660);
    if (keepOpen)
        return fd;
    ::close(fd);
    return -1;
}

bool createSharedDirectory(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0770) != 0) {
        if (errno == EEXIST)
            return true;
        if (error)
            *error = systemError(QStringLiteral("cannot create directory"), path);
        return false;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        giveToGroup(fd);
        ::fchmod(fd, 02770);
        ::close(fd);
    }
    return true;
}

} // namespace statefile
} // namespace velmor
