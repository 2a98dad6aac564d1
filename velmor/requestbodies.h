#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

class AbstractDocument;
class PaymentProcessingRequest;

namespace velmor {

// The JSON bodies the client sends and queues, built from what the caller hands in. Amounts
// are roubles, rounded here to what the service accepts.

// The body of "/create_offline". The order amount is the smaller of the receipt's and the
// request's, so that a partial payment never asks for more than the cashier entered.
QJsonObject createBody(const QString &orderId, const QString &clientId, double documentAmount,
                       double requestAmount, double prepaidAmount, const QJsonArray &items);

// The compact size of a create body too large to send, 0 for one that may go out: the service
// echoes the order's positions in every status answer, and an answer the transport cannot
// read would leave the sale polling "status unknown" for good.
qint64 oversizedCreateBody(const QJsonObject &body);

// One entry per position of `document`, in receipt order, the prepaid amount taken off the
// positions from the first one on.
QJsonArray orderItems(const AbstractDocument &document);

// The body of "/{id}/cancel".
QJsonObject cancelBody();

// One entry per position of `document`: its number and the quantity to return, the refund
// quantity of the position when `useBquant` is set and the sold one otherwise.
QJsonArray refundItems(const AbstractDocument &document, bool useBquant);

// The body of "/{id}/refund": the refund exchange's id and the positions to return.
QJsonObject refundPayload(const QString &refundId, const QJsonArray &items);

// A refund of what is left of each position of an order, as its status answer `orderInfo`
// shows the order's positions and every refund's; empty when that answer does not show them
// all, or nothing is left.
QJsonObject remainderPayload(const QJsonObject &orderInfo, const QString &refundId);

// What the host's queue keeps for a cancellation or refund that got no answer; the replay
// reads "orderId" and "refund" back.
QJsonObject queueMessage(const PaymentProcessingRequest &request, const QString &orderId,
                         const QJsonObject &refundPayload);

} // namespace velmor
