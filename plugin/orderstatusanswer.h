#pragma once

#include <paymentprocessinganswer.h>

#include <QString>

namespace velmor {
struct RequestResult;
}

// The host's answer to "payment status" for order `orderId`, from the service's answer to its
// status request. Read by the till's `status` as well as by a host:
// - the service's own answer about the order: success; the message is the state in words, the
//   sum the order's amount in roubles, the RRN the order id, and the additional data carry
//   "status" (the service's state text), "refunded" (the sum of its refunds, in roubles) and
//   "httpCode";
// - anything else: a failure whose message says why, the RRN the order id, and the additional
//   data carry "error" (the service's error code, or "noAnswer" when nothing usable came back
//   at all, "noUsableAnswer" when what came back says nothing about the order) and "httpCode".
PaymentProcessingAnswer orderStatusAnswer(const QString &orderId,
                                          const velmor::RequestResult &result);
