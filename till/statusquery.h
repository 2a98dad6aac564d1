#pragma once

#include <QString>

class Config;

namespace till {

// `till status`: one status request about one order, built as the plug-in builds its own (the
// address, the headers, the transport's timeout and certificates from the same keys), and the
// answer described in one JSON line. It changes nothing at the service, so a cashier can look
// an order up before repeating a refund or a cancellation.
class StatusQuery
{
public:
    explicit StatusQuery(const Config &config);

    // Asks about `orderId`; true when the service answered about that order with its state
    // and amount.
    bool run(const QString &orderId);

    // {"rrn": "...", "status": "completed", "amount": 1000.0, "refunded": 500.0} after an
    // answer about the order, {"rrn": "...", "error": "...", "message": "...", "httpCode": N}
    // otherwise: "error" is the service's error code, or says that no usable answer came.
    QString line() const { return m_line; }

private:
    const Config &m_config;
    QString m_line;
};

} // namespace till
