#include "logwriter.h"

namespace till {

LogWriter::LogWriter(const Sink &sink) : m_sink(sink) {}

void LogWriter::append(const Log4Qt::LoggingEvent &event)
{
    if (m_sink)
        m_sink(formatLine(event));
}

QString LogWriter::formatLine(const Log4Qt::LoggingEvent &event)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(event.timeStamp.toString(Qt::ISODateWithMs), event.level.toString(),
             escape(event.loggerName), escape(event.message));
}

QString LogWriter::escape(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar ch : text) {
        const ushort code = ch.unicode();
        switch (code) {
        case '\\':
            escaped += QLatin1String("\\\\");
            continue;
        case '\n':
            escaped += QLatin1String("\\n");
            continue;
        case '\r':
            escaped += QLatin1String("\\r");
            continue;
        case '\t':
            escaped += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            escaped += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        else if (code == 0x2028 || code == 0x2029)
            escaped += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
        else
            escaped += ch;
    }
    return escaped;
}

} // namespace till
