#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <ostream>

// Readable QString values in assertion messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Request bodies and answer readers for the suites that talk to the sandbox's orders, over
// HTTP or directly.
namespace sandboxbodies {

inline const QString Created = QStringLiteral("created");
inline const QString Scoring = QStringLiteral("scoring");
inline const QString Approved = QStringLiteral("approved");
inline const QString Completed = QStringLiteral("completed");
inline const QString Rejected = QStringLiteral("rejected");
inline const QString Canceled = QStringLiteral("canceled");
inline const QString Refunded = QStringLiteral("refunded");

inline QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

inline QString errorCode(const QJsonObject &answer)
{
    return answer.value(QStringLiteral("error"))
        .toObject()
        .value(QStringLiteral("code"))
        .toString();
}

inline QString orderStatus(const QJsonObject &answer)
{
    return answer.value(QStringLiteral("order"))
        .toObject()
        .value(QStringLiteral("status"))
        .toString();
}

inline QJsonObject item(const QString &id, double quantity, double amount)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("article"), QStringLiteral("A-") + id},
            {QStringLiteral("name"), QStringLiteral("Товар ") + id},
            {QStringLiteral("quantity"), quantity},
            {QStringLiteral("amount"), amount}};
}

// Two positions: 3 x 33.33 and 2 x 10.50, 120.99 in all.
inline QJsonArray standardItems()
{
    return {item(QStringLiteral("1"), 3, 33.33), item(QStringLiteral("2"), 2, 10.5)};
}

inline QJsonObject createBody(const QString &orderId, const QString &code,
                              const QJsonArray &items = standardItems())
{
    return {{QStringLiteral("clientInfo"), QJsonObject{{QStringLiteral("id"), code}}},
            {QStringLiteral("order"), QJsonObject{{QStringLiteral("id"), orderId},
                                                  {QStringLiteral("amount"), 120.99},
                                                  {QStringLiteral("prepaidAmount"), 0},
                                                  {QStringLiteral("isTwoStagePayment"), false},
                                                  {QStringLiteral("items"), items}}}};
}

inline QJsonObject refundBody(const QString &refundId,
                              const QList<QPair<QString, double>> &quantities)
{
    QJsonArray items;
    for (const auto &entry : quantities)
        items.append(QJsonObject{{QStringLiteral("id"), entry.first},
                                 {QStringLiteral("refundedQuantity"), entry.second}});
    return {{QStringLiteral("order"),
             QJsonObject{{QStringLiteral("refund"),
                          QJsonObject{{QStringLiteral("id"), refundId},
                                      {QStringLiteral("initiator"), QStringLiteral("shop")},
                                      {QStringLiteral("items"), items}}}}}};
}

inline const QJsonObject CancelBody{
    {QStringLiteral("cancellationInitiator"), QStringLiteral("shop")}};

} // namespace sandboxbodies
