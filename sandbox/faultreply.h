#pragma once

#include "fault.h"
#include "orderbook.h"

#include <QString>

#include <functional>

namespace httplib {
struct Response;
}

namespace sandbox {

// How the service's answers and the faults in their place are written into a response: the
// JSON a reply becomes, the answers of the faults that stand for something other than the
// service proper, and an answer that never arrives whole.
namespace faultreply {

// Every JSON answer is labelled so, the faults' broken ones too: a client must judge the body,
// not the header.
constexpr const char *JsonContentType = "application/json; charset=utf-8";

// A reply as the service sends it: its status and its body as compact JSON.
void send(httplib::Response &res, const OrderBook::Reply &reply);

// Writes the answer `fault` gives in the service's place, about the order the request names,
// and returns true; false, with nothing written, for the faults that are not such an answer
// (none, Delay, Trickle, Lost, UpperCaseId and LateCreate carry the request out; Drop and
// NoAnswer give no answer). `before` is the order as it stood before the request
// (OrderBook::order(), empty when unknown), which the faults that show an order unchanged
// answer with. The caller carries the request out first for the faults that take effect.
bool answerInstead(Fault fault, Endpoint endpoint, const QString &orderId,
                   const QJsonObject &before, httplib::Response &res);

// The service's reply with `orderId` in upper case wherever it names the order.
OrderBook::Reply withUpperCaseId(OrderBook::Reply reply, const QString &orderId);

// The order status a 200 answer's body shows about `orderId` (compared without regard to
// case, as UUIDs are); empty when it shows none.
QString shownStatus(int status, const std::string &body, const QString &orderId);

// The reply a byte at a time, each after `pause(stepMs)`; the answer breaks off where a pause
// returns false.
void trickle(httplib::Response &res, const OrderBook::Reply &reply, int stepMs,
             std::function<bool(int)> pause);

// Headers that promise a body that never comes, for a connection that cannot be closed.
void unfinishedBody(httplib::Response &res);

} // namespace faultreply

} // namespace sandbox
