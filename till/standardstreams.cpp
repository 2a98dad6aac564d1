#include "standardstreams.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace till {

namespace StandardStreams {

namespace {

// Set by guard() when the program was started with standard output closed.
bool stdoutWasClosed = false;

QByteArray withLineEnd(const QString &line)
{
    return line.endsWith(QLatin1Char('\n')) ? line.toUtf8() : (line + QLatin1Char('\n')).toUtf8();
}

} // namespace

Result<> printOut(const QString &line)
{
    return printOut(withLineEnd(line));
}

Result<> printOut(const QByteArray &line)
{
    if (stdoutWasClosed)
        return ResultError(QStringLiteral("standard output is closed"));
    const QByteArray bytes = line.endsWith('\n') ? line : line + '\n';
    errno = 0;
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    if (written != size_t(bytes.size())) {
        const int code = errno;
        std::clearerr(stdout);
        return ResultError(
            code ? QString::fromLocal8Bit(std::strerror(code))
                 : QStringLiteral("short write (%1 of %2 bytes)").arg(written).arg(bytes.size()));
    }
    if (std::fflush(stdout) != 0) {
        const int code = errno;
        std::clearerr(stdout);
        return ResultError(QString::fromLocal8Bit(std::strerror(code)));
    }
    return ResultOk;
}

void printError(const QString &line)
{
    const QByteArray bytes = withLineEnd(line);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    std::clearerr(stderr);
}

void guard()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free descriptor, which is this one.
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd)
            close(null);
        if (fd == STDOUT_FILENO)
            stdoutWasClosed = true;
    }
}

} // namespace StandardStreams

} // namespace till
