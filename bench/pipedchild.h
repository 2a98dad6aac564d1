#pragma once

#include <QByteArray>

#include <functional>
#include <mutex>

#include <sys/types.h>

// A child process forked to obey commands over a pair of pipes, one line out and one answer
// line back, until this object closes its end or this process dies. Fork it before this
// process has any thread: the child keeps only its two pipe ends.
class PipedChild
{
public:
    // The child's side: reads commands from `commands` and answers on `answers`; it should
    // return once the commands end, and the child then exits.
    using Serve = std::function<void(int commands, int answers)>;

    PipedChild() = default;
    ~PipedChild();

    PipedChild(const PipedChild &) = delete;
    PipedChild &operator=(const PipedChild &) = delete;

    // False when the child could not be started.
    bool start(const Serve &serve);
    bool isRunning() const { return m_commands >= 0; }
    // `line` (without its newline) out, the answer line back; false when the child is gone.
    // One exchange at a time, whichever thread asks.
    bool exchange(const QByteArray &line, QByteArray *answer);

    // Reads one line without its newline; false at the end of the stream.
    static bool readLine(int fd, QByteArray *line);
    // False when `data` could not be written whole.
    static bool writeAll(int fd, const QByteArray &data);

private:
    std::mutex m_mutex;
    int m_commands = -1;
    int m_answers = -1;
    pid_t m_child = -1;
};
