#pragma once

#include "requestresult.h"

#include <QString>

#include <atomic>

namespace Log4Qt {
class Logger;
}

namespace velmor {

class CancellationGate;
class Interface;
class TransportRouter;

// The cashier's cancellation of the sale in hand, sent from the host's thread while the sale's
// own thread waits for the order (transportrouter.h tells the threads and their locks). It
// holds the sale's polls back through the gate, goes out on a transport of its own when a poll
// is out, and decides how the sale ends: cancelled when the service confirms it or the queue
// holds it, paid or rejected when the order shows so, otherwise not at all (the sale goes on,
// and the cashier may cancel again).
class SaleCancellation
{
public:
    SaleCancellation(Interface &client, CancellationGate &gate, TransportRouter &transports,
                     std::atomic_bool &orderCanceled, Log4Qt::Logger *logger);

    RequestResult send(const QString &orderId);

private:
    // The cancellation's exchanges and what they decide, once it is known which transport they
    // go through.
    RequestResult decide(const QString &orderId);
    // Counts the order as cancelled and ends the sale so.
    void markCanceled(RequestResult *result);
    // An answer showed the order paid: the sale ends paid, nothing is cancelled.
    RequestResult paid(const RequestResult &result);

    Interface &m_client;
    CancellationGate &m_gate;
    TransportRouter &m_transports;
    std::atomic_bool &m_orderCanceled;
    Log4Qt::Logger *m_logger;
};

} // namespace velmor
