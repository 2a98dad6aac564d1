#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The command-line till as a child process, the way a cashier's shell runs it: standard output
// and standard error kept apart and read as they come, so that a test can wait for a progress
// line, kill the till at that moment, and still see everything it wrote before.
class TillChild
{
public:
    // `arguments` without the program; the till runs in `workingDirectory`.
    TillChild(const QStringList &arguments, const QString &workingDirectory);
    ~TillChild();

    TillChild(const TillChild &) = delete;
    TillChild &operator=(const TillChild &) = delete;

    bool start();
    // Starts the till and waits for it to end by itself; false when it did not start or was
    // still running after `timeoutMs` (it is killed then).
    bool runToEnd(int timeoutMs);

    // Blocks until standard error holds `text`, the till ended, or the time ran out; true
    // only when the text was seen.
    bool waitForError(const QString &text, int timeoutMs);
    // Blocks until the till ended by itself; false when it was still running after
    // `timeoutMs`.
    bool waitForEnd(int timeoutMs);
    // SIGKILL, then reaps the process; what it wrote before stays readable.
    void kill();

    bool isRunning() const;
    // True when the till ended by itself (not by a signal).
    bool exitedNormally() const;
    int exitCode() const;
    QString output() const { return m_output; }
    QString errors() const { return m_errors; }
    QStringList outputLines() const;
    QString errorString() const { return m_process.errorString(); }
    QString commandLine() const;

private:
    void collect();

    QProcess m_process;
    QStringList m_arguments;
    QString m_output;
    QString m_errors;
    QByteArray m_outputBytes;
    QByteArray m_errorBytes;
};

// The two-position sale receipt both till suites use: 2 x 500.00 named `firstName`, and a mug
// of 1000.00; `bquant` says how many of each a refund receipt returns. False when the file
// cannot be written.
bool writeTwoPositionReceipt(const QString &path, const QString &firstName, double firstBack,
                             double secondBack);
