#include "ledger.h"

#include "faultplan.h"
#include "orderbook.h"
#include "requestlog.h"
#include "route.h"

#include <QDateTime>

namespace sandbox {

namespace {

QString endpointName(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::Create:
        return QStringLiteral("create");
    case Endpoint::Info:
        return QStringLiteral("info");
    case Endpoint::Cancel:
        return QStringLiteral("cancel");
    case Endpoint::Refund:
        return QStringLiteral("refund");
    }
    return QString();
}

} // namespace

void Ledger::noteCreated(const QString &orderId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_orderIds.push_back(orderId);
    m_createdAt[orderId] = QDateTime::currentMSecsSinceEpoch();
}

void Ledger::noteCancelled(const QString &orderId, const QString &from)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancels[orderId].append(
        QJsonObject{{QStringLiteral("at"), QDateTime::currentMSecsSinceEpoch()},
                    {QStringLiteral("from"), from}});
}

QJsonObject Ledger::toJson(const OrderBook &book, const RequestLog &log, const QByteArray &basePath,
                           const FaultPlan &plan) const
{
    std::vector<QString> ids;
    std::map<QString, qint64> createdAt;
    std::map<QString, QJsonArray> cancels;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ids = m_orderIds;
        createdAt = m_createdAt;
        cancels = m_cancels;
    }
    QJsonArray orders;
    for (const QString &id : ids) {
        QJsonObject order = book.order(id);
        order.insert(QStringLiteral("createdAt"), createdAt[id]);
        const auto found = cancels.find(id);
        order.insert(QStringLiteral("cancels"),
                     found == cancels.end() ? QJsonArray() : found->second);
        orders.append(order);
    }

    const QJsonArray exchanges =
        log.journal([&basePath](const RecordedRequest &request, QJsonObject *entry) {
            const Route route =
                Route::of(basePath, request.method.toStdString(), request.path.toStdString());
            if (route.kind != Route::Found)
                return;
            entry->insert(QStringLiteral("endpoint"), endpointName(route.endpoint));
            entry->insert(QStringLiteral("orderId"), route.orderIdIn(request.body.toStdString()));
        });

    QJsonObject drawn;
    QJsonObject chaos;
    plan.describe(&drawn, &chaos);
    return QJsonObject{{QStringLiteral("orders"), orders},
                       {QStringLiteral("exchanges"), exchanges},
                       {QStringLiteral("faults"), drawn},
                       {QStringLiteral("chaos"), chaos}};
}

} // namespace sandbox
