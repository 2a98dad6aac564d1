#pragma once

#include <log4qt/appender.h>

#include <QString>

#include <functional>

namespace till {

// Writes each log event as one line: ISO time, level, logger, text. Control characters in
// the text are escaped so that a message with a line break (a service's error body, say)
// cannot split into lines that look like events of their own.
class LogWriter : public Log4Qt::Appender
{
public:
    // Receives finished lines without their line end. Called under the logging lock.
    using Sink = std::function<void(const QString &line)>;

    explicit LogWriter(const Sink &sink);

    void append(const Log4Qt::LoggingEvent &event) override;

    static QString formatLine(const Log4Qt::LoggingEvent &event);
    // Backslash and every control character (C0, DEL, C1, the Unicode line and paragraph
    // separators) become escapes; a backslash is doubled so the escaping can be undone.
    static QString escape(const QString &text);

private:
    Sink m_sink;
};

} // namespace till
