#pragma once

#include <progressview.h>

#include <QString>

#include <cstdio>
#include <mutex>

namespace till {

// The cashier's progress display on a console stream. On a terminal it is one bar that is
// redrawn in place; otherwise (a pipe, a file) every change becomes a plain line such as
// "[ 45%] Создание заказа VELMOR...", so that logs and tests can read it.
//
// The plug-in sets the value before the text, so a plain line is written when the text
// arrives: one line per change instead of a half-updated one.
class ConsoleProgress : public ProgressView
{
public:
    explicit ConsoleProgress(FILE *stream = stderr);
    ConsoleProgress(FILE *stream, bool interactive);

    void setProgressValue(int value) override;
    void setProgressText(const tr::Tr &message) override;

    // Writes a line of its own without tearing the bar: the bar is cleared, the line written
    // and the bar drawn again underneath. Safe from any thread.
    void printLine(const QString &line);
    // Ends the bar's line, so that what follows starts on a fresh one, and forgets the state.
    void finish();

private:
    void drawBarLocked();
    void clearBarLocked();
    void writeLocked(const QString &text);
    int terminalColumns() const;

    FILE *m_stream;
    const bool m_interactive;
    mutable std::mutex m_mutex;
    int m_value = 0;
    QString m_text;
    bool m_barShown = false;
    bool m_printedAny = false;
    int m_printedValue = -1;
    QString m_printedText;
};

} // namespace till
