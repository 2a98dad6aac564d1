#pragma once

#include "requestresult.h"

#include <QJsonObject>
#include <QString>

#include <functional>

struct RestResponse;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// Reading the service's answers: what a transport's last response says, and what an order's
// answer says about its refunds. Lines go to `logger` where one is given; null logs nothing.

// Maps a status text exactly (case-sensitively) onto its value; any other text is Undefined.
OrderStatus orderStatusOf(const QString &status);

// The translation key of a service error code: "velmor" followed by the code's parts between
// underscores, each with its first letter in upper case.
QString trId(const QString &code);

using OrderStatusReader = std::function<OrderStatus(const QString &status)>;

// Decodes one exchange's response into the record every operation returns. `currentId` goes
// into the record's id; `orderStatus` (never empty) maps the answer's lower-cased
// "order"."status" text.
RequestResult decodeResponse(const RestResponse &response, const QString &currentId,
                             const OrderStatusReader &orderStatus, Log4Qt::Logger *logger);

// Whether an answer is the service's refusal: a 4xx with its error object, whose "code" is
// text. Only that proves a request was not carried out.
bool isServiceRefusal(const RestResponse &response);

// Two order or refund ids compared as the service means them: without regard to case.
bool sameOrderId(const QString &first, const QString &second);

// What a transport failure (libcurl's code) says about whether the request reached the
// service.
Delivery failureDelivery(int networkError);

// A cancellation is confirmed only by a 200 answer whose top-level "status" is "CANCELLED".
bool isCancellationConfirmed(const RequestResult &result);
// A refund is confirmed only by an answer that shows its own effect: the order "refunded", or
// a refund list that holds `refundId`.
bool isRefundConfirmed(const RequestResult &result, const QString &refundId);
// Whether an answer's "refund" (a list, or one refund) holds a refund with this id.
bool listsRefund(const QJsonObject &json, const QString &refundId);
// The service answered that it holds no such order.
bool isUnknownOrder(const RequestResult &result);

// Turns an answer that names another order than `orderId` in "order"."id" into one without
// use: it says nothing about the order asked about.
void discardIfAboutAnotherOrder(RequestResult *result, const QString &orderId,
                                Log4Qt::Logger *logger);

// "order"."amount" of an order's answer; 0 when missing.
double orderAmount(const QJsonObject &json);

// The sum of every "refund" element's "totalRefundedAmount" of an order's answer.
double totalRefundedAmount(const QJsonObject &json);

// Whether an order's answer carries the order's amount, above nothing, so that its refunds
// can be weighed against it.
bool carriesOrderAmount(const QJsonObject &json);

// Two sums of roubles compared in whole kopecks.
bool sameKopecks(double first, double second);

} // namespace velmor
