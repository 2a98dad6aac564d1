#include "childlauncher.h"

#include "pipedchild.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const auto readLine = &PipedChild::readLine;
const auto writeAll = &PipedChild::writeAll;

const char Separator = '\t';
// A child that says nothing for this long is taken as hung and killed.
const int QuietLimitMs = 120000;

qint64 nowNanos()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The launcher's side of one run: the answer line's fields.
QByteArray runChild(const QList<QByteArray> &arguments, qint64 stopAfterLines)
{
    std::vector<QByteArray> owned(arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (QByteArray &argument : owned)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int out[2];
    if (argv.size() < 2 || pipe2(out, O_CLOEXEC) != 0)
        return "0";
    const qint64 start = nowNanos();
    const pid_t pid = fork();
    if (pid < 0) {
        close(out[0]);
        close(out[1]);
        return "0";
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            dup2(quiet, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);

    qint64 lines = 0;
    qint64 firstLine = 0;
    qint64 stopLine = 0;
    char buffer[65536];
    for (;;) {
        pollfd ready{out[0], POLLIN, 0};
        const int polled = poll(&ready, 1, QuietLimitMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (const char *at = buffer, *end = buffer + got;
             (at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)))); ++at) {
            ++lines;
            if (lines == 1)
                firstLine = nowNanos() - start;
            if (stopAfterLines > 0 && lines == stopAfterLines) {
                stopLine = nowNanos() - start;
                kill(pid, SIGTERM);
            }
        }
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const qint64 total = nowNanos() - start;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return QByteArray("1") + Separator + QByteArray::number(exitStatus) + Separator +
           QByteArray::number(lines) + Separator + QByteArray::number(firstLine) + Separator +
           QByteArray::number(stopLine) + Separator + QByteArray::number(total) + Separator +
           QByteArray::number(qint64(usage.ru_maxrss));
}

void serve(int commands, int answers)
{
    QByteArray line;
    while (readLine(commands, &line)) {
        QList<QByteArray> fields = line.split(Separator);
        const qint64 stopAfterLines = fields.value(0).toLongLong();
        fields.removeFirst();
        for (QByteArray &field : fields)
            field = QByteArray::fromPercentEncoding(field);
        if (!writeAll(answers, runChild(fields, stopAfterLines) + '\n'))
            break;
    }
}

} // namespace

bool ChildLauncher::start()
{
    return m_child.start(serve);
}

ChildLauncher::Run ChildLauncher::run(const QList<QByteArray> &arguments, qint64 stopAfterLines)
{
    QByteArray line = QByteArray::number(stopAfterLines);
    for (const QByteArray &argument : arguments)
        line += Separator + argument.toPercentEncoding();
    Run result;
    QByteArray answer;
    if (!m_child.exchange(line, &answer))
        return result;
    const QList<QByteArray> fields = answer.split(Separator);
    if (fields.size() < 7 || fields.at(0) != "1")
        return result;
    result.ok = true;
    result.exitStatus = fields.at(1).toInt();
    result.lines = fields.at(2).toLongLong();
    result.firstLineNanos = fields.at(3).toLongLong();
    result.stopLineNanos = fields.at(4).toLongLong();
    result.totalNanos = fields.at(5).toLongLong();
    result.maxRssKib = fields.at(6).toLongLong();
    return result;
}
