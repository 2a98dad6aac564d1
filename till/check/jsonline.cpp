#include "jsonline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace till {

namespace {

// A JSON string with the escapes RFC 8259 requires, as QJsonDocument writes them; written here
// because the till writes a line per queued message, and a document per member cost most of
// the time of listing a long queue.
void appendString(QString &line, const QString &text)
{
    line += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            line += QLatin1String("\\\"");
            break;
        case '\\':
            line += QLatin1String("\\\\");
            break;
        case '\b':
            line += QLatin1String("\\b");
            break;
        case '\f':
            line += QLatin1String("\\f");
            break;
        case '\n':
            line += QLatin1String("\\n");
            break;
        case '\r':
            line += QLatin1String("\\r");
            break;
        case '\t':
            line += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                line += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                line += c;
        }
    }
    line += QLatin1Char('"');
}

void appendValue(QString &line, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        appendString(line, value.toString());
        return;
    case QJsonValue::Object:
        line += QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        return;
    case QJsonValue::Array:
        line += QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
        return;
    case QJsonValue::Double: {
        // Ids, amounts in kopecks, counts: whole numbers that a double holds exactly.
        const double number = value.toDouble();
        if (number == double(qint64(number)) && qAbs(number) < 9007199254740992.0) {
            line += QString::number(qint64(number));
            return;
        }
    }
        Q_FALLTHROUGH();
    default: {
        // Numbers, booleans and null as Qt writes them (its number format included): between
        // the brackets of a one-element array.
        const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        line += QString::fromUtf8(text.mid(1, text.size() - 2));
    }
    }
}

} // namespace

QString JsonLine::quoted(const QString &text)
{
    QString result;
    result.reserve(text.size() + 2);
    appendString(result, text);
    return result;
}

void JsonLine::appendQuoted(QByteArray &line, std::string_view text)
{
    for (const char byte : text) {
        if (byte < 0x20 || byte > 0x7E || byte == '"' || byte == '\\') {
            line += quoted(QString::fromUtf8(text.data(), int(text.size()))).toUtf8();
            return;
        }
    }
    line += '"';
    line.append(text.data(), int(text.size()));
    line += '"';
}

JsonLine &JsonLine::add(const QString &key, const QJsonValue &value)
{
    m_members.append(qMakePair(key, value));
    return *this;
}

QString JsonLine::toString() const
{
    QString line;
    line.reserve(128);
    line += QLatin1Char('{');
    for (int i = 0; i < m_members.size(); ++i) {
        if (i > 0)
            line += QLatin1String(", ");
        appendString(line, m_members.at(i).first);
        line += QLatin1String(": ");
        appendValue(line, m_members.at(i).second);
    }
    line += QLatin1Char('}');
    return line;
}

} // namespace till
