#pragma once

#include "chaos.h"
#include "fault.h"
#include "faultcatalog.h"
#include "recordedrequest.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QScopedPointer>
#include <QString>
#include <QVector>

namespace sandbox {

// A local Velmor service: the four endpoints, Basic authorization, order life cycles chosen
// by the scanned code, and faults that tests switch on per endpoint. Runs on its own
// threads; every method may be called from any thread.
//
// An order's life moves on with the info polls, never with the clock, so that tests stay
// deterministic: each info answer reports the current state and only then counts the poll;
// after `pollsPerState` polls in a state the order moves to the next one. With one poll per
// state an approved order answers "created", "scoring", "approved", then "completed" for good.
// The create answer itself does not count as a poll.
//
// Faults (fault.h) are set per endpoint or drawn by chaos (chaos.h); fault.h says which of them
// carry the request out and which leave the orders as they were.
class Sandbox
{
public:
    // Named here too, so that callers write Sandbox::Fault::Drop.
    using Endpoint = ::sandbox::Endpoint;
    using Fault = ::sandbox::Fault;
    using Chaos = ::sandbox::Chaos;
    using RecordedRequest = ::sandbox::RecordedRequest;

    // Whether the request takes effect at the service under `fault`.
    static bool takesEffect(Fault fault);
    // Whether `fault` means anything for requests to `endpoint`: a fault that does not (a
    // refund's own faults on an info, say) leaves the request alone, and chaos never draws it
    // there.
    static bool appliesTo(Fault fault, Endpoint endpoint);

    // Every fault with its command-line and ledger name ("drop", "html502-after", ...) and
    // what it answers, in the order of the enumeration.
    using FaultName = FaultCatalog::Entry;
    static const QVector<FaultName> &faultNames();
    // "none" for Fault::None.
    static QString faultName(Fault fault);

    // Scanned codes ("clientInfo"."id") that choose an order's life, like test card numbers.
    static constexpr const char *CodeApprove = "VELMOR-APPROVE";
    static constexpr const char *CodeReject = "VELMOR-REJECT";
    static constexpr const char *CodeHold = "VELMOR-HOLD";
    static constexpr const char *CodeServiceCancel = "VELMOR-SERVICE-CANCEL";
    static constexpr const char *CodeSlowCreate = "VELMOR-SLOW-CREATE";
    static constexpr const char *CodeError = "VELMOR-ERROR";
    // Completed from the start, so that a sale ends at its first poll whatever the interval.
    static constexpr const char *CodePaid = "VELMOR-PAID";

    struct Options
    {
        QString host = QStringLiteral("127.0.0.1");
        int port = 0;     // 0: an ephemeral port
        QString basePath; // e.g. "/merchant"
        QString login = QStringLiteral("merchant");
        QString password = QStringLiteral("secret");
        // Info polls each state lasts before the next (created, scoring, approved).
        int pollsPerState = 1;
        // How long the create answer of CodeSlowCreate is held back.
        int slowCreateMs = 3000;
        // TLS: PEM files. Empty certificate: plain HTTP.
        QString certificateFile;
        QString privateKeyFile;
        // When set, a client certificate signed by this CA is required.
        QString clientCaFile;
        // Off: one request per connection, as a test wants to see every exchange connect anew.
        // On: a connection serves many requests and idles up to two seconds between them, so
        // that a client that keeps its connection pays no TCP or TLS handshake per exchange.
        // stop() then closes idle connections rather than waiting the two seconds out.
        bool keepAlive = false;
        // Serves the control routes outside the service's paths: GET "/_soak/ledger" (what
        // the service really did, see ledger()) and POST "/_soak/heal" (chaos off). They are
        // never faulted and need no authorization. Off: they answer not_found like any path
        // the service does not know.
        bool controlRoutes = false;
        // An SQLite file that keeps the orders (OrderStore): a service made again on it knows
        // the orders made before, as a real service does after a restart. Empty: the orders
        // live as long as this object. start() fails when the file cannot be used.
        QString stateFile;
    };

    // Two constructors rather than a defaulted argument: a default argument cannot use the
    // member initializers of a class nested in the one being declared.
    Sandbox();
    explicit Sandbox(const Options &options);
    ~Sandbox();

    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // Listens and serves on background threads; false when the port cannot be bound or the
    // certificate cannot be loaded. After a stop() an ephemeral service comes back on the
    // port it had, so that clients can model a service restart; orders survive a restart.
    bool start();
    void stop();
    bool isRunning() const;
    int port() const;
    // "http://127.0.0.1:PORT/base" (https when TLS is on).
    QString baseUrl() const;

    void setFault(Endpoint endpoint, Fault fault, int delayMs = 0);
    void clearFaults();

    // Starts drawing faults (percent 0 draws none); heal() stops drawing, ends a down window
    // and a lagging order's unknown spell, and carries the late creates out at once, as
    // POST "/_soak/heal" does. The generator restarts from the seed.
    void setChaos(const Chaos &chaos);
    void heal();

    // What the service really did, for a checker to hold against what the clients reported:
    // {"orders": [order(id) of every order made, in the order made, each with "createdAt"
    // and "cancels": the cancellations carried out, [{"at", "from"}]], "exchanges": [one per
    // request, in the order they arrived: {"seq", "at", "method", "path", "endpoint",
    // "orderId", "fault", "status", "shown"}], "faults": {fault name: times drawn, "down":
    // windows}, "chaos": {"seed", "percent", "on"}}. "at" is milliseconds since the epoch;
    // "status" is the HTTP status answered, 0 for none; "shown" is the order status a 200
    // answer showed about the exchange's own order (its id in any case), present only when
    // that answer went out whole at once (not under Delay or Trickle, nor with duplicate keys).
    QJsonObject ledger() const;

    // Every request as it arrived, before any fault or authorization check; `path` is the
    // request target exactly as sent (still percent-encoded).
    QList<RecordedRequest> requests() const;
    void clearRequests();
    // Blocks until at least `count` requests were recorded since the last clearRequests(),
    // or the timeout ran out; true when they were.
    bool waitForRequests(int count, int timeoutMs) const;

    // An order as the service holds it: {"id", "status", "amount", "items", "refund": [...]}.
    // Empty when unknown.
    QJsonObject order(const QString &id) const;
    // Puts an order into a state directly, for tests that start mid-life.
    void setOrderStatus(const QString &id, const QString &status);

private:
    class Private;
    QScopedPointer<Private> m_d;
};

} // namespace sandbox
