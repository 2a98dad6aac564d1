#pragma once

#include <QString>

class DBQueueBroker;

namespace tillgui {

// What the host's queue already asks of an order: the refund and cancellation dialogs warn the
// cashier before a second one of the same goes after it.
class PendingReversals
{
public:
    // `queue` outlives this.
    explicit PendingReversals(DBQueueBroker *queue);

    // Whether a queued message refunds `amount` kopecks of order `orderId`.
    bool hasRefund(const QString &orderId, int amount) const;
    // Whether a queued message cancels order `orderId`.
    bool hasCancellation(const QString &orderId) const;

private:
    // A refund of `amount` (`refund`) or a cancellation of any amount.
    bool has(const QString &orderId, bool refund, int amount) const;

    DBQueueBroker *m_queue;
};

} // namespace tillgui
