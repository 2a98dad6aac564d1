#include "pipedchild.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

PipedChild::~PipedChild()
{
    if (m_commands < 0)
        return;
    close(m_commands);
    close(m_answers);
    waitpid(m_child, nullptr, 0);
}

bool PipedChild::start(const Serve &serve)
{
    int commandPipe[2];
    int answerPipe[2];
    if (pipe2(commandPipe, O_CLOEXEC) != 0)
        return false;
    if (pipe2(answerPipe, O_CLOEXEC) != 0) {
        close(commandPipe[0]);
        close(commandPipe[1]);
        return false;
    }
    m_child = fork();
    if (m_child < 0) {
        for (int fd : {commandPipe[0], commandPipe[1], answerPipe[0], answerPipe[1]})
            close(fd);
        return false;
    }
    if (m_child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Nothing else of this process's may stay open here: a pipe end of another child held
        // by this one would keep that child from seeing its end of file.
        const int limit = int(std::min<long>(sysconf(_SC_OPEN_MAX), 4096));
        for (int fd = 3; fd < limit; ++fd) {
            if (fd != commandPipe[0] && fd != answerPipe[1])
                close(fd);
        }
        serve(commandPipe[0], answerPipe[1]);
        _exit(0);
    }
    close(commandPipe[0]);
    close(answerPipe[1]);
    m_commands = commandPipe[1];
    m_answers = answerPipe[0];
    return true;
}

bool PipedChild::exchange(const QByteArray &line, QByteArray *answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands >= 0 && writeAll(m_commands, line + '\n') && readLine(m_answers, answer);
}

bool PipedChild::readLine(int fd, QByteArray *line)
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

bool PipedChild::writeAll(int fd, const QByteArray &data)
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
