#pragma once

#include <tr.h>

#include <QString>

struct RestResponse;

namespace velmor {

// What one status request for an order nobody has made says about the service: a service that
// is reachable and lets the credentials in can only answer that it holds no such order. The
// plug-in's connection test and the till's set-up check decide by this one verdict.
struct Reachability
{
    enum class Verdict {
        // "order_not_found": reachable, and the credentials were accepted.
        Reachable,
        // No connection: refused, unresolved, a bad address.
        Unreachable,
        // The TLS handshake or the certificate check failed.
        TlsFailed,
        // No answer within the timeout.
        TimedOut,
        // HTTP 401 or 403: the login or password was refused.
        CredentialsRefused,
        // Something answered, but not as the service would.
        Meaningless,
    };

    Verdict verdict = Verdict::Meaningless;
    // For the cashier; a service's or a transport's own text inside it.
    tr::Tr message;

    bool isReachable() const { return verdict == Verdict::Reachable; }
};

// A fresh order id that no service holds, for the probe.
QString probeOrderId();

// The verdict on the answer to a status request for a made-up order.
Reachability judgeReachability(const RestResponse &response);

} // namespace velmor
