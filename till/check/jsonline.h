#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QPair>
#include <QString>
#include <QVector>

#include <string_view>

namespace till {

// One JSON object on one line with its members in the order they were added. QJsonObject
// sorts its keys, which would put "message" before "status" and make the lines harder to
// read for the people who watch them.
class JsonLine
{
public:
    JsonLine &add(const QString &key, const QJsonValue &value);
    QString toString() const;
    // `text` as a JSON string, quotes and escapes included.
    static QString quoted(const QString &text);
    // The same for UTF-8 `text`, appended to `line` in UTF-8; printable ASCII that needs no
    // escape goes in as it is, without a conversion.
    static void appendQuoted(QByteArray &line, std::string_view text);

private:
    QVector<QPair<QString, QJsonValue>> m_members;
};

} // namespace till
