#include "pipeio.h"

#include <cerrno>

#include <unistd.h>

namespace pipeio {

bool readLine(int fd, QByteArray *line)
{
    line->clear();
    char byte;
    for (;;) {
        const ssize_t got = read(fd, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        if (byte == '\n')
            return true;
        line->append(byte);
    }
}

bool writeAll(int fd, const QByteArray &data)
{
    int done = 0;
    while (done < data.size()) {
        const ssize_t wrote = write(fd, data.constData() + done, size_t(data.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace pipeio
