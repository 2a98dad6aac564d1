#include "requestbodies.h"

#include "rounding.h"

#include <abstractdocument.h>
#include <gadgetserialize.h>
#include <paymentprocessingrequest.h>
#include <restclient.h>

#include <QJsonDocument>
#include <QJsonValue>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace velmor {

QJsonObject createBody(const QString &orderId, const QString &clientId, double documentAmount,
                       double requestAmount, double prepaidAmount, const QJsonArray &items)
{
    QJsonObject order;
    order.insert(QStringLiteral("id"), orderId);
    order.insert(QStringLiteral("amount"),
                 roundAmount(documentAmount > requestAmount ? requestAmount : documentAmount));
    order.insert(QStringLiteral("prepaidAmount"), roundAmount(prepaidAmount));
    order.insert(QStringLiteral("isTwoStagePayment"), false);
    order.insert(QStringLiteral("items"), items);

    QJsonObject clientInfo;
    clientInfo.insert(QStringLiteral("id"), clientId);

    QJsonObject body;
    body.insert(QStringLiteral("clientInfo"), clientInfo);
    body.insert(QStringLiteral("order"), order);
    return body;
}

namespace {

// The most a JSON string of `units` UTF-16 code units takes written out, quotes included: a
// unit becomes at most six bytes ("\u001f"), a pair of surrogates four.
qint64 stringBound(int units)
{
    return 2 + 6 * qint64(units);
}

// An upper bound of the value's compact JSON size, counted without writing it out. A number
// takes at most 24 bytes ("-2.2250738585072014e-308"), true, false and null at most five.
qint64 compactSizeBound(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        // The braces, the commas, and a colon for each member.
        qint64 size = 2 + std::max(0, object.size() - 1);
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            size += stringBound(it.key().size()) + 1 + compactSizeBound(it.value());
        return size;
    }
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        qint64 size = 2 + std::max(0, array.size() - 1);
        for (const QJsonValue &element : array)
            size += compactSizeBound(element);
        return size;
    }
    case QJsonValue::String:
        return stringBound(value.toString().size());
    case QJsonValue::Double:
        return 24;
    default:
        return 5;
    }
}

} // namespace

qint64 oversizedCreateBody(const QJsonObject &body)
{
    const qint64 limit = RestClient::MaxBodySize / 4;
    // The body is written out again when it is sent; a receipt far below the limit, as nearly
    // all are, is told by its bound without writing it out a first time.
    if (compactSizeBound(body) <= limit)
        return 0;
    const qint64 size = QJsonDocument(body).toJson(QJsonDocument::Compact).size();
    return size > limit ? size : 0;
}

QJsonArray orderItems(const AbstractDocument &document)
{
    // Every position starts as a copy of an object that already holds all its keys: Qt 5
    // converts a new key and makes room for it in the sorted object on each insert, which for a
    // long receipt cost as much as serializing it, while a copy takes the keys as they are and
    // a value written through an iterator needs no key lookup either. The text sent is the same.
    // QJsonObject keeps its keys sorted, so the fields sit at these places:
    enum ItemField { Amount, Article, Id, Name, Quantity };
    const QJsonObject itemTemplate{{QStringLiteral("amount"), 0.0},
                                   {QStringLiteral("article"), QString()},
                                   {QStringLiteral("id"), QString()},
                                   {QStringLiteral("name"), QString()},
                                   {QStringLiteral("quantity"), 0.0}};
    Q_ASSERT(itemTemplate.keys() ==
             (QStringList{QStringLiteral("amount"), QStringLiteral("article"), QStringLiteral("id"),
                          QStringLiteral("name"), QStringLiteral("quantity")}));

    QJsonArray items;
    double prepaidLeft = document.getPrepaidSum();
    const QVector<QSharedPointer<TGoodsItem>> goods = document.getGoodsItems();
    for (const QSharedPointer<TGoodsItem> &goodsItem : goods) {
        if (!goodsItem)
            continue;
        QJsonObject item = itemTemplate;
        const QJsonObject::iterator field = item.begin();
        (field + Article).value() = goodsItem->getArticul();
        (field + Id).value() = QString::number(goodsItem->getPosnum());
        (field + Name).value() = goodsItem->getName();
        const double quantity = goodsItem->getQuantity();
        (field + Quantity).value() = roundQuantity(quantity);

        // The prepaid amount covers positions from the first one on.
        const double sum = goodsItem->getSumb();
        const double share = sum > prepaidLeft ? prepaidLeft : sum;
        prepaidLeft -= share;
        // A position without quantity has no unit amount; dividing would send NaN or infinity.
        const double unitAmount = quantity != 0.0 ? roundAmount((sum - share) / quantity) : 0.0;
        (field + Amount).value() = unitAmount;
        items.append(item);
    }
    return items;
}

QJsonObject cancelBody()
{
    QJsonObject body;
    body.insert(QStringLiteral("cancellationInitiator"), QStringLiteral("shop"));
    return body;
}

QJsonArray refundItems(const AbstractDocument &document, bool useBquant)
{
    QJsonArray items;
    const QVector<QSharedPointer<TGoodsItem>> goods = document.getGoodsItems();
    for (const QSharedPointer<TGoodsItem> &goodsItem : goods) {
        if (!goodsItem)
            continue;
        QJsonObject item;
        item.insert(QStringLiteral("id"), QString::number(goodsItem->getPosnum()));
        // A quantity, weighed goods included, goes back as exactly as it was sold.
        item.insert(QStringLiteral("refundedQuantity"),
                    roundQuantity(useBquant ? goodsItem->getBquant() : goodsItem->getQuantity()));
        items.append(item);
    }
    return items;
}

QJsonObject refundPayload(const QString &refundId, const QJsonArray &items)
{
    QJsonObject refund;
    refund.insert(QStringLiteral("id"), refundId);
    refund.insert(QStringLiteral("initiator"), QStringLiteral("shop"));
    refund.insert(QStringLiteral("items"), items);

    QJsonObject order;
    order.insert(QStringLiteral("refund"), refund);
    QJsonObject payload;
    payload.insert(QStringLiteral("order"), order);
    return payload;
}

QJsonObject remainderPayload(const QJsonObject &orderInfo, const QString &refundId)
{
    const QJsonValue sold =
        orderInfo.value(QStringLiteral("order")).toObject().value(QStringLiteral("items"));
    const QJsonValue refunds = orderInfo.value(QStringLiteral("refund"));
    if (!sold.isArray() || !(refunds.isArray() || refunds.isUndefined()))
        return QJsonObject();

    // Quantities in thousandths, as they are sent, so that sums of weighed goods add up.
    const auto thousandths = [](double quantity) { return qint64(std::llround(quantity * 1000)); };
    QMap<QString, qint64> refunded;
    const QJsonArray refundList = refunds.toArray();
    for (const QJsonValue &refund : refundList) {
        const QJsonValue items = refund.toObject().value(QStringLiteral("items"));
        // A refund whose positions are not shown could have returned any of them.
        if (!items.isArray())
            return QJsonObject();
        const QJsonArray itemList = items.toArray();
        for (const QJsonValue &item : itemList) {
            const QJsonObject position = item.toObject();
            refunded[position.value(QStringLiteral("id")).toString()] +=
                thousandths(position.value(QStringLiteral("refundedQuantity")).toDouble());
        }
    }

    QJsonArray left;
    bool anythingLeft = false;
    const QJsonArray soldList = sold.toArray();
    for (const QJsonValue &item : soldList) {
        const QJsonObject position = item.toObject();
        const QString id = position.value(QStringLiteral("id")).toString();
        const qint64 remaining =
            thousandths(position.value(QStringLiteral("quantity")).toDouble()) - refunded.value(id);
        if (id.isEmpty() || remaining < 0)
            return QJsonObject();
        anythingLeft = anythingLeft || remaining > 0;
        left.append(QJsonObject{{QStringLiteral("id"), id},
                                {QStringLiteral("refundedQuantity"), double(remaining) / 1000}});
    }
    return anythingLeft ? refundPayload(refundId, left) : QJsonObject();
}

QJsonObject queueMessage(const PaymentProcessingRequest &request, const QString &orderId,
                         const QJsonObject &refundPayload)
{
    QJsonObject message;
    message.insert(QStringLiteral("request"), gadgetserialize::g2j(request, false));
    message.insert(QStringLiteral("orderId"), orderId);
    message.insert(QStringLiteral("refund"), refundPayload);
    message.insert(QStringLiteral("valutCode"), request.getValutCode());
    return message;
}

} // namespace velmor
