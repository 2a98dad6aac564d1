#include "jsonutils.h"

namespace jsonutils {

QJsonValue extract(const QJsonObject &object, const QStringList &path)
{
    QJsonObject current = object;
    for (const QString &key : path) {
        const QJsonValue value = current.value(key);
        if (!value.isObject())
            return value.isUndefined() ? QJsonValue() : value;
        current = value.toObject();
    }
    return QJsonValue();
}

} // namespace jsonutils
