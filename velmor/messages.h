#pragma once

#include "requestresult.h"

#include <tr.h>

namespace velmor {

// The cashier's texts of the service client, one translation key each, with the Russian text
// shown when the host's catalogue has none.
namespace messages {

// No current receipt: nothing was sent.
tr::Tr noDocument();
// The create body would draw answers larger than the transport reads.
tr::Tr receiptTooLarge();
// Progress while the order is created, once it is approved, and while its status is asked for
// after the creation's answer was lost.
tr::Tr creatingOrder();
tr::Tr approved();
tr::Tr readingStatus();
// The state a status request found the order in while the sale waits ("Состояние заказа:
// заявка на рассмотрении"), its argument keyed by the state; empty for a state that ends the
// wait and for one the service did not name.
tr::Tr orderState(OrderStatus status);
// A cancellation or refund put into the queue; `reason` says what went wrong with it.
tr::Tr cancelQueued(const tr::Tr &reason);
// The service kept answering that it holds no such order: the sale did not take place.
tr::Tr orderNeverArrived();
// A refund or cancellation that may or may not have been carried out and could not be queued:
// the cashier must check the order `orderId` before repeating anything.
tr::Tr outcomeUnknown(const QString &orderId);
// The plug-in's configuration file `fileName` is there but gives no configuration: nothing is
// sent until it is mended.
tr::Tr configUnusable(const QString &fileName);
// The journal `fileName` of sales and refunds cannot be opened or written: nothing is sent, since
// an operation whose till died could not be reversed.
tr::Tr journalUnusable(const QString &fileName);
// An earlier refund of order `orderId` (recorded at `recorded`, `amount` in roubles) has no
// known outcome yet: a new one could return the money twice.
tr::Tr earlierRefundOpen(const QString &orderId, const QString &recorded, const QString &amount);
// An answer that says nothing usable, or none at all.
tr::Tr noUsefulAnswer();
tr::Tr rejected();

} // namespace messages

} // namespace velmor
