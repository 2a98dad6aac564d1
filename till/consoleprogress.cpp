#include "consoleprogress.h"

#include "catalogue.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace till {

namespace {

constexpr int BarWidth = 24;

} // namespace

ConsoleProgress::ConsoleProgress(FILE *stream) : ConsoleProgress(stream, isatty(fileno(stream))) {}

ConsoleProgress::ConsoleProgress(FILE *stream, bool interactive)
    : m_stream(stream), m_interactive(interactive)
{}

void ConsoleProgress::setProgressValue(int value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_value = qBound(0, value, 100);
    if (m_interactive)
        drawBarLocked();
}

void ConsoleProgress::setProgressText(const tr::Tr &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_text = Catalogue::shown().text(message);
    if (m_interactive) {
        drawBarLocked();
        return;
    }
    // The wait repeats its progress on every poll; a plain listing shows only what changed.
    if (m_printedAny && m_printedValue == m_value && m_printedText == m_text)
        return;
    m_printedAny = true;
    m_printedValue = m_value;
    m_printedText = m_text;
    writeLocked(QStringLiteral("[%1%] %2\n").arg(m_value, 3).arg(m_text));
}

void ConsoleProgress::printLine(const QString &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool redraw = m_barShown;
    if (redraw)
        clearBarLocked();
    writeLocked(line + QLatin1Char('\n'));
    if (redraw)
        drawBarLocked();
}

void ConsoleProgress::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_barShown)
        writeLocked(QStringLiteral("\n"));
    m_barShown = false;
    m_value = 0;
    m_text.clear();
    m_printedAny = false;
    m_printedValue = -1;
    m_printedText.clear();
}

void ConsoleProgress::drawBarLocked()
{
    const int filled = m_value * BarWidth / 100;
    QString bar = QStringLiteral("[%1%2] %3% ")
                      .arg(QString(filled, QLatin1Char('#')))
                      .arg(QString(BarWidth - filled, QLatin1Char('.')))
                      .arg(m_value, 3);
    QString text = m_text;
    // A line that wraps cannot be redrawn in place with a carriage return.
    const int room = terminalColumns() - bar.size() - 1;
    if (room <= 0)
        text.clear();
    else if (text.size() > room)
        text = text.left(room - 1) + QChar(0x2026);
    writeLocked(QStringLiteral("\r\033[K") + bar + text);
    m_barShown = true;
}

void ConsoleProgress::clearBarLocked()
{
    writeLocked(QStringLiteral("\r\033[K"));
    m_barShown = false;
}

void ConsoleProgress::writeLocked(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}

int ConsoleProgress::terminalColumns() const
{
    winsize size{};
    if (ioctl(fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace till
