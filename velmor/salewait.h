#pragma once

#include "requestresult.h"

#include <QString>

#include <atomic>
#include <chrono>

namespace Log4Qt {
class Logger;
}

namespace velmor {

class CancellationGate;
class Interface;

// The sale's wait for its order's outcome, on the sale's own thread: a status poll every
// interval until the order is rejected, cancelled or paid. It sends no poll while the
// cashier's cancellation is in flight and takes that cancellation's decision over any poll's
// answer (transportrouter.h tells the threads and their locks). An order the service keeps
// not knowing, and has never shown, ends the sale: its create never arrived.
class SaleWait
{
public:
    // `unknownOrderLimit`: how long the polls may keep hearing "order_not_found" after the
    // create (and at least UnknownOrderPolls of them) before the sale ends.
    SaleWait(const Interface &client, CancellationGate &gate, const std::atomic_bool &orderCanceled,
             std::chrono::seconds interval, std::chrono::milliseconds unknownOrderLimit,
             Log4Qt::Logger *logger);

    // The sale's outcome; `resultId` is the id a record carries before any poll.
    RequestResult run(const QString &orderId, const QString &resultId) const;

    static constexpr int UnknownOrderPolls = 3;

private:
    // The service kept saying it holds no such order: the sale fails, and a cancellation is
    // sent (or queued) in case the create turns up later.
    RequestResult endUnknownOrder(const QString &orderId, const RequestResult &lastPoll) const;

    const Interface &m_client;
    CancellationGate &m_gate;
    const std::atomic_bool &m_orderCanceled;
    const std::chrono::seconds m_interval;
    const std::chrono::milliseconds m_unknownOrderLimit;
    Log4Qt::Logger *m_logger;
};

} // namespace velmor
