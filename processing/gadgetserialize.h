#pragma once

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QMetaObject>
#include <QMetaProperty>
#include <QString>
#include <QVariant>

// Turns any Q_GADGET into a map or JSON object keyed by property name, in property order.
namespace gadgetserialize {

namespace detail {

// The library's conversion, except that an invalid date or time becomes null: the library would
// write "", which a reader cannot tell from a real empty text.
inline QJsonValue toJson(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? QJsonValue(value.toString())
                                            : QJsonValue(QJsonValue::Null);
    case QMetaType::QDate:
        return value.toDate().isValid() ? QJsonValue(value.toString())
                                        : QJsonValue(QJsonValue::Null);
    case QMetaType::QTime:
        return value.toTime().isValid() ? QJsonValue(value.toString())
                                        : QJsonValue(QJsonValue::Null);
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    case QMetaType::QVariantHash: {
        QJsonObject object;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    case QMetaType::QVariantList: {
        QJsonArray array;
        const QVariantList list = value.toList();
        for (const QVariant &item : list)
            array.append(toJson(item));
        return array;
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}

} // namespace detail

template<typename Gadget> QVariant g2v(const Gadget &gadget, bool skipNull)
{
    const QMetaObject &meta = Gadget::staticMetaObject;
    QMap<QString, QVariant> map;
    for (int i = 0; i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const QVariant value = property.readOnGadget(&gadget);
        if (skipNull && value.isNull())
            continue;
        map.insert(QString::fromLatin1(property.name()), value);
    }
    return QVariant(map);
}

template<typename Gadget> QJsonObject g2j(const Gadget &gadget, bool skipNull)
{
    return detail::toJson(g2v(gadget, skipNull)).toObject();
}

} // namespace gadgetserialize
