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

bool createShared(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0660);
    if (fd < 0) {
        if (errno == EEXIST)
            return true;
        if (error)
            *error = systemError(QStringLiteral("cannot create"), path);
        return false;
    }
    giveToGroup(fd);
    // Group-writable whatever the umask, so that every till user of the group can write it.
    ::fchmod(fd, 0660);
    ::close(fd);
    return true;
}

} // namespace statefile
} // namespace velmor
