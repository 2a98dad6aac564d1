#pragma once

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
// Faults: with Delay and Trickle the request is carried out and only its answer comes late;
// with Lost it is carried out and no answer ever comes; with the faults named ...After it is
// carried out and something else comes back instead of its answer; with UpperCaseId it is
// carried out and answered with the order id in upper case; with LateCreate it is carried out
// long after its client gave up; with every other fault the request has no effect (no order
// made, no state change, no poll counted, nothing cancelled or refunded).
class Sandbox
{
public:
    enum class Endpoint { Create, Info, Cancel, Refund };

    enum class Fault {
        None,
        Delay,         // answer normally after `delayMs`
        Drop,          // close the connection without an answer
        DropMidBody,   // send the headers and half the body, then close
        Empty500,      // 500 with an empty body
        Html502,       // 502 with an HTML page
        NotJson,       // 200 with a body that is not JSON
        TruncatedJson, // 200 with JSON cut short
        ErrorObject,   // 400 with {"error": {"code": ..., "text": ...}}
        HugeBody,      // 200 with a 5 MiB JSON body
        Trickle,       // 200 whose body comes a byte every `delayMs`
        NoAnswer,      // accept, read the request, never answer (until stopped)
        Json500,       // 500 whose JSON body, without "error", reads as a confirmation
        OtherOrder,    // 200 with a confirmation about another order
        Lost,          // carry the request out, then close without an answer
        Gateway504,    // 504 with an empty body, as a gateway that gave up waiting
        Empty200,      // 200 with the empty object {}
        Accepted200,   // 200 with {"result": "accepted"} and nothing about the order
        // A gateway's or a broken service's answer after the request was carried out.
        Html502After,  // carry the request out, then 502 with an HTML page
        Empty200After, // carry the request out, then 200 with {}
        // A gateway's or an upstream's error with an "error" member: a string or an object.
        Error504,      // 504 {"error": "Gateway Timeout"}
        Error504After, // carry the request out, then Error504's answer
        Error502,      // 502 {"error": {"code": "bad_gateway", "text": ...}}
        Error502After, // carry the request out, then Error502's answer
        Error500,      // 500 {"error": {"message": ...}}
        Error500After, // carry the request out, then Error500's answer
        // The service's own answer with the order id in upper case (ids are UUIDs, whose case
        // does not matter).
        UpperCaseId,
        // Cancel and refund: 200 with the order as it stands ("refund": [] for a refund).
        Unchanged,
        UnchangedAfter, // carry the request out, then the order as it stood before
        // Refund: 200 with the order as it stands and a refund under another id.
        OtherRefund,
        OtherRefundAfter, // carry the refund out, then the order as it stood, another id
        // Info: 200 with the order's state, "amount" 0 and no refunds; no poll counted.
        InfoZeroAmount,
        // Info: the order's answer with "amount" twice, the last one 0; no poll counted.
        DuplicateAmount,
        // Create: held unanswered until the client gives up, carried out `delayMs` after it
        // arrived (at once when the service is healed or stopped), as from a slow gateway.
        LateCreate,
        // Info, cancel and refund of an order the service holds: "order_not_found" to this
        // request and every other about the order for `delayMs`, as from a lagging replica.
        NotFoundLag,
    };

    // Whether the request takes effect at the service under `fault`.
    static bool takesEffect(Fault fault);
    // Whether `fault` means anything for requests to `endpoint`: a fault that does not (a
    // refund's own faults on an info, say) leaves the request alone, and chaos never draws it
    // there.
    static bool appliesTo(Fault fault, Endpoint endpoint);

    // Every fault with its command-line and ledger name ("drop", "html502-after", ...) and
    // what it answers, in the order of the enumeration.
    struct FaultName
    {
        const char *name;
        Fault fault;
        const char *meaning;
    };
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

    // Faults drawn at random per request, from a generator of the service's own. Each request
    // to one of the four endpoints draws a fault with probability `percent` (uniformly among
    // the faults that end an exchange on their own: every fault but NoAnswer), and with
    // probability `downPerMille` per thousand the service goes down for `downMinMs` to
    // `downMaxMs`: every request in that window is dropped before it is carried out. A fault
    // set with setFault() on an endpoint wins over the draw.
    struct Chaos
    {
        quint32 seed = 1;
        int percent = 0;
        int downPerMille = 0;
        int downMinMs = 200;
        int downMaxMs = 800;
        // Delay's wait, past a client's timeout; Trickle's step between two bytes.
        int delayMs = 2500;
        int trickleStepMs = 30;
        // LateCreate: how late the create is carried out, drawn between the two.
        int lateCreateMinMs = 5000;
        int lateCreateMaxMs = 60000;
        // NotFoundLag: how long the order stays unknown, drawn between the two.
        int notFoundLagMinMs = 5000;
        int notFoundLagMaxMs = 40000;
    };

    struct RecordedRequest
    {
        QString method;
        QString path;
        QMap<QString, QString> headers; // names lower-cased
        QByteArray body;
        // Filled in as the request is served: when it arrived (ms since the epoch), its number
        // since the service was made, the fault it met ("none" when none), the HTTP status
        // answered (0: no answer) and the order status the answer showed (see ledger()).
        qint64 receivedAtMs = 0;
        quint64 seq = 0;
        QString fault;
        int status = 0;
        QString shown;
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
