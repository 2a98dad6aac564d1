#pragma once

#include "orderbook.h"
#include "sandbox.h"

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
// (none, Delay, Trickle and Lost carry the request out; Drop and NoAnswer give no answer).
// The caller carries the request out first for the faults that take effect.
bool answerInstead(Sandbox::Fault fault, Sandbox::Endpoint endpoint, const QString &orderId,
                   httplib::Response &res);

// The reply a byte at a time, each after `pause(stepMs)`; the answer breaks off where a pause
// returns false.
void trickle(httplib::Response &res, const OrderBook::Reply &reply, int stepMs,
             std::function<bool(int)> pause);

// Headers that promise a body that never comes, for a connection that cannot be closed.
void unfinishedBody(httplib::Response &res);

} // namespace faultreply

} // namespace sandbox
