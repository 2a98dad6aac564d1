#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <mutex>
#include <vector>

namespace sandbox {

class FaultPlan;
class OrderBook;
class RequestLog;

// What the service really did, for a checker to hold against what the clients reported: the
// orders in the order made with the cancellations carried out, and, when asked for, the whole
// account with the exchanges and the faults drawn (Sandbox::ledger() describes it). Noted by
// the serving threads, read on any thread.
class Ledger
{
public:
    void noteCreated(const QString &orderId);
    // A cancellation carried out on an order that was in state `from`.
    void noteCancelled(const QString &orderId, const QString &from);

    // The account as Sandbox::ledger() gives it; `basePath` is the service's path prefix.
    QJsonObject toJson(const OrderBook &book, const RequestLog &log, const QByteArray &basePath,
                       const FaultPlan &plan) const;

private:
    mutable std::mutex m_mutex;
    std::vector<QString> m_orderIds;
    std::map<QString, qint64> m_createdAt;
    std::map<QString, QJsonArray> m_cancels;
};

} // namespace sandbox
