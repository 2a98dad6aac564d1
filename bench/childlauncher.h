#pragma once

#include <QByteArray>
#include <QList>

#include "pipedchild.h"

// Runs programs as child processes of a small process of its own, forked at the start while
// this process is still small and has no thread. A child's peak resident memory
// (wait4's ru_maxrss) counts the pages it inherits at fork, and a fork of this process after
// the figures have grown it would count them; a fork of the launcher inherits almost nothing.
// The launcher reads each child's standard output (counting lines) and discards its standard
// error.
class ChildLauncher
{
public:
    struct Run
    {
        bool ok = false;
        int exitStatus = -1;
        qint64 lines = 0;
        // From just before the fork: to the first line out, to the line after which the
        // child was asked to stop (0 when it was not), and until it was reaped.
        qint64 firstLineNanos = 0;
        qint64 stopLineNanos = 0;
        qint64 totalNanos = 0;
        // The child's peak resident set, in KiB.
        qint64 maxRssKib = 0;
    };

    // Forks the launcher; call before any thread exists. False when it could not be started.
    bool start();

    // Runs `arguments` (the program's path first) to its end. With `stopAfterLines` above 0
    // the child gets SIGTERM once that many lines have come out, and its output is read on
    // until it exits.
    Run run(const QList<QByteArray> &arguments, qint64 stopAfterLines = 0);

private:
    PipedChild m_child;
};
