#include "pendingreversals.h"

#include <dbqueuebroker.h>
#include <paymentprocessingrequest.h>

#include <QJsonObject>

namespace tillgui {

PendingReversals::PendingReversals(DBQueueBroker *queue) : m_queue(queue) {}

bool PendingReversals::hasRefund(const QString &orderId, int amount) const
{
    return has(orderId, true, amount);
}

bool PendingReversals::hasCancellation(const QString &orderId) const
{
    return has(orderId, false, 0);
}

bool PendingReversals::has(const QString &orderId, bool refund, int amount) const
{
    for (const QueuedMessage &message : m_queue->pendingMessages()) {
        if (message.message.value(QStringLiteral("orderId")).toString() != orderId)
            continue;
        const QJsonObject request = message.message.value(QStringLiteral("request")).toObject();
        const bool queuedRefund = request.value(QStringLiteral("requestType")).toInt() ==
                                  PaymentProcessingRequest::Refund;
        if (queuedRefund != refund)
            continue;
        if (!refund || request.value(QStringLiteral("amount")).toInt() == amount)
            return true;
    }
    return false;
}

} // namespace tillgui
