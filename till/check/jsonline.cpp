#include "jsonline.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace till {

namespace {

// QJsonDocument only serialises arrays and objects; a one-element array yields the value's
// own compact text between the brackets, with every escape done by Qt.
QString compact(const QJsonValue &value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

} // namespace

JsonLine &JsonLine::add(const QString &key, const QJsonValue &value)
{
    m_members.append(qMakePair(key, value));
    return *this;
}

QString JsonLine::toString() const
{
    QString line = QStringLiteral("{");
    for (int i = 0; i < m_members.size(); ++i) {
        if (i > 0)
            line += QStringLiteral(", ");
        line +=
            compact(m_members.at(i).first) + QStringLiteral(": ") + compact(m_members.at(i).second);
    }
    return line + QStringLiteral("}");
}

} // namespace till
