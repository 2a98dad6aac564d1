#pragma once

#include <QJsonObject>
#include <QMap>
#include <QMetaObject>
#include <QMetaProperty>
#include <QString>
#include <QVariant>

// Turns any Q_GADGET into a map or JSON object keyed by property name, in property order.
namespace gadgetserialize {

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
    return QJsonObject::fromVariantMap(g2v(gadget, skipNull).toMap());
}

} // namespace gadgetserialize
