#include "sandbox.h"

#include "faultplan.h"
#include "faultreply.h"
#include "ledger.h"
#include "listener.h"
#include "orderbook.h"
#include "requestlog.h"
#include "route.h"
#include "socketscan.h"

#include <httplib.h>

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace sandbox {

namespace {

using Reply = OrderBook::Reply;

// A Trickle fault set without a step sends a byte every so many milliseconds.
constexpr int DefaultTrickleStepMs = 10;

// The status of a reply that is never sent: the service went down before it could answer.
constexpr int NoReply = 0;

// Closes the connection without an answer; without its socket, the best left is headers that
// promise a body never sent.
void drop(int fd, httplib::Response &res)
{
    if (!socketscan::dropConnection(fd))
        faultreply::unfinishedBody(res);
}

} // namespace

class Sandbox::Private
{
public:
    using FaultSetting = FaultPlan::Setting;

    explicit Private(const Options &options);

    bool start();
    void stop();

    void handle(const httplib::Request &req, httplib::Response &res);
    // Serves a request to one of the endpoints under `fault`; false when it got no answer.
    bool serve(const Route &found, const FaultSetting &fault, const httplib::Request &req,
               httplib::Response &res);
    // LateCreate: holds the request until its client gives up, drops it, and carries it out
    // `lateMs` after it arrived, or at once when the service is healed or stopped.
    void serveLate(const Route &found, int lateMs, const httplib::Request &req,
                   httplib::Response &res);
    Reply process(const Route &route, const httplib::Request &req);
    // Waits up to `ms` unless the service stops first; false when it stopped.
    bool pause(int ms);
    void heal();
    QJsonObject ledger() const;

    const Options m_options;
    QString m_basePath;
    OrderBook m_book;
    RequestLog m_log;
    FaultPlan m_plan;
    Ledger m_ledger;

    // Guards the stop flag and the count of heal() calls, so that a late create held back
    // learns of either.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    quint64 m_heals = 0;

    // Guards starting and stopping; never taken by the serving threads, so stop() may wait for
    // them while holding it. Last, so that it goes first.
    mutable std::mutex m_lifeMutex;
    Listener m_listener;
};

Sandbox::Private::Private(const Options &options)
    : m_options(options), m_basePath(options.basePath.trimmed()),
      m_book(options.pollsPerState, options.stateFile)
{
    while (m_basePath.endsWith(QLatin1Char('/')))
        m_basePath.chop(1);
    if (!m_basePath.isEmpty() && !m_basePath.startsWith(QLatin1Char('/')))
        m_basePath.prepend(QLatin1Char('/'));
}

bool Sandbox::Private::start()
{
    Listener::Setup setup;
    setup.host = m_options.host;
    setup.port = m_options.port;
    setup.certificateFile = m_options.certificateFile;
    setup.privateKeyFile = m_options.privateKeyFile;
    setup.clientCaFile = m_options.clientCaFile;
    setup.keepAlive = m_options.keepAlive;
    return m_listener.start(
        setup, [this](const httplib::Request &req, httplib::Response &res) { handle(req, res); });
}

void Sandbox::Private::stop()
{
    if (!m_listener.isStarted())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_listener.stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = false;
}

bool Sandbox::Private::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
    return !m_stopping;
}

void Sandbox::Private::handle(const httplib::Request &req, httplib::Response &res)
{
    const quint64 seq = m_log.record(req);
    Route found = Route::of(m_basePath.toUtf8(), req.method, req.target);
    if ((found.kind == Route::Ledger || found.kind == Route::Heal) && !m_options.controlRoutes)
        found.kind = Route::NotFound;

    if (found.kind == Route::Ledger) {
        faultreply::send(res, Reply{200, ledger()});
        m_log.noteOutcome(seq, Sandbox::faultName(Fault::None), res.status);
        return;
    }
    if (found.kind == Route::Heal) {
        heal();
        faultreply::send(res, Reply{200, QJsonObject{{QStringLiteral("chaos"), false}}});
        m_log.noteOutcome(seq, Sandbox::faultName(Fault::None), res.status);
        return;
    }

    FaultSetting fault;
    QString faultName = Sandbox::faultName(Fault::None);
    if (found.kind == Route::Found) {
        fault = m_plan.faultFor(found.endpoint, &faultName);
        if (fault.fault == Fault::NotFoundLag) {
            // Only an order already seen can lag behind.
            if (fault.delayMs > 0 && !m_book.order(found.orderId).isEmpty())
                m_plan.startLag(found.orderId, fault.delayMs);
            else
                m_plan.lagging(found.orderId);
        } else if (found.endpoint != Endpoint::Create && m_plan.lagging(found.orderId)) {
            // The spell outlasts the request that began it; a drop stays a drop.
            if (fault.fault != Fault::Drop) {
                fault = FaultSetting{Fault::NotFoundLag, 0};
                faultName = Sandbox::faultName(Fault::NotFoundLag);
            }
        }
    }
    // Noted before it is served, as a held request may outlast a reader's wait.
    m_log.noteOutcome(seq, faultName, NoReply);
    const bool answered = serve(found, fault, req, res);
    // What the answer showed counts only when it went out whole at once.
    const bool prompt = fault.fault != Fault::Delay && fault.fault != Fault::Trickle &&
                        fault.fault != Fault::DuplicateAmount && fault.fault != Fault::HugeBody;
    const QString shown =
        answered && prompt && found.kind == Route::Found
            ? faultreply::shownStatus(res.status, res.body, found.orderIdIn(req.body))
            : QString();
    m_log.noteOutcome(seq, faultName, answered ? res.status : NoReply, shown);
}

bool Sandbox::Private::serve(const Route &found, const FaultSetting &fault,
                             const httplib::Request &req, httplib::Response &res)
{
    // Every fault but Delay, Trickle and Lost stands for an answer that never came from the
    // service proper, so the request must leave the orders as they were.
    if (fault.fault == Fault::Drop || fault.fault == Fault::NoAnswer) {
        const int fd = socketscan::findConnectionSocket(req);
        if (fault.fault == Fault::NoAnswer)
            socketscan::holdUntilGone(fd, [this](int ms) { return pause(ms); });
        drop(fd, res);
        return false;
    }
    if (fault.fault == Fault::LateCreate) {
        serveLate(found, fault.delayMs, req, res);
        return false;
    }
    const bool carriedOut = FaultCatalog::takesEffect(fault.fault);
    // The faults that show the order as it stood need it from before the request.
    const QJsonObject before = fault.fault != Fault::None && found.kind == Route::Found &&
                                       found.endpoint != Endpoint::Create
                                   ? m_book.order(found.orderId)
                                   : QJsonObject();
    if (!carriedOut &&
        faultreply::answerInstead(fault.fault, found.endpoint, found.orderId, before, res))
        return true;

    Reply reply = process(found, req);
    if (fault.fault == Fault::UpperCaseId)
        reply = faultreply::withUpperCaseId(reply, found.orderIdIn(req.body));
    if (fault.fault != Fault::None && reply.status != NoReply &&
        faultreply::answerInstead(fault.fault, found.endpoint, found.orderId, before, res))
        return true;
    if (reply.status == NoReply || fault.fault == Fault::Lost ||
        (fault.fault == Fault::Delay && fault.delayMs > 0 && !pause(fault.delayMs))) {
        drop(socketscan::findConnectionSocket(req), res);
        return false;
    }
    if (fault.fault == Fault::Trickle)
        faultreply::trickle(res, reply, fault.delayMs > 0 ? fault.delayMs : DefaultTrickleStepMs,
                            [this](int ms) { return pause(ms); });
    else
        faultreply::send(res, reply);
    return true;
}

void Sandbox::Private::serveLate(const Route &found, int lateMs, const httplib::Request &req,
                                 httplib::Response &res)
{
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(lateMs);
    quint64 heals = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        heals = m_heals;
    }
    // Until the moment comes, the service stops or is healed.
    const auto waiting = [this, due, heals](int ms) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto until =
            std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
        m_wake.wait_until(lock, until, [this, heals] { return m_stopping || m_heals != heals; });
        return !m_stopping && m_heals == heals && std::chrono::steady_clock::now() < due;
    };
    const int fd = socketscan::findConnectionSocket(req);
    socketscan::holdUntilGone(fd, waiting);
    drop(fd, res);
    while (waiting(1000)) {
    }
    process(found, req);
}

Reply Sandbox::Private::process(const Route &found, const httplib::Request &req)
{
    if (found.kind == Route::NotFound)
        return OrderBook::errorReply(404, QStringLiteral("not_found"),
                                     QStringLiteral("Метод не найден"));
    if (!isAuthorized(req.get_header_value("Authorization"), m_options.login, m_options.password))
        return OrderBook::errorReply(401, QStringLiteral("unauthorized"),
                                     QStringLiteral("Неверный логин или пароль"));
    if (found.kind == Route::WrongMethod)
        return OrderBook::errorReply(405, QStringLiteral("method_not_allowed"),
                                     QStringLiteral("Метод запроса не поддерживается"));

    const QByteArray body = QByteArray::fromStdString(req.body);
    switch (found.endpoint) {
    case Endpoint::Create: {
        QString orderId;
        bool late = false;
        const Reply reply = m_book.create(body, &orderId, &late);
        if (!orderId.isEmpty())
            m_ledger.noteCreated(orderId);
        if (!late || m_options.slowCreateMs <= 0)
            return reply;
        // The order already lives; only its answer is late, as from an overloaded service.
        if (!pause(m_options.slowCreateMs))
            return Reply{NoReply, {}};
        return m_book.createAnswer(orderId);
    }
    case Endpoint::Info:
        return m_book.info(found.orderId);
    case Endpoint::Cancel: {
        const QString before =
            m_book.order(found.orderId).value(QStringLiteral("status")).toString();
        const Reply reply = m_book.cancel(found.orderId, body);
        if (reply.status == 200)
            m_ledger.noteCancelled(found.orderId, before);
        return reply;
    }
    case Endpoint::Refund:
        return m_book.refund(found.orderId, body);
    }
    return Reply{NoReply, {}};
}

void Sandbox::Private::heal()
{
    m_plan.heal();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_heals;
    }
    m_wake.notify_all();
}

QJsonObject Sandbox::Private::ledger() const
{
    return m_ledger.toJson(m_book, m_log, m_basePath.toUtf8(), m_plan);
}

bool Sandbox::takesEffect(Fault fault)
{
    return FaultCatalog::takesEffect(fault);
}

bool Sandbox::appliesTo(Fault fault, Endpoint endpoint)
{
    return FaultCatalog::appliesTo(fault, endpoint);
}

const QVector<Sandbox::FaultName> &Sandbox::faultNames()
{
    return FaultCatalog::entries();
}

QString Sandbox::faultName(Fault fault)
{
    return FaultCatalog::name(fault);
}

Sandbox::Sandbox() : Sandbox(Options()) {}

Sandbox::Sandbox(const Options &options) : m_d(new Private(options)) {}

Sandbox::~Sandbox()
{
    stop();
}

bool Sandbox::start()
{
    std::lock_guard<std::mutex> lock(m_d->m_lifeMutex);
    if (m_d->m_listener.isStarted())
        return true;
    if (!m_d->m_book.stateError().isEmpty())
        return false;
    return m_d->start();
}

void Sandbox::stop()
{
    std::lock_guard<std::mutex> lock(m_d->m_lifeMutex);
    m_d->stop();
}

bool Sandbox::isRunning() const
{
    std::lock_guard<std::mutex> lock(m_d->m_lifeMutex);
    return m_d->m_listener.isRunning();
}

int Sandbox::port() const
{
    return m_d->m_listener.port();
}

QString Sandbox::baseUrl() const
{
    QString host = m_d->m_options.host;
    if (host == QLatin1String("0.0.0.0") || host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    else if (host == QLatin1String("::"))
        host = QStringLiteral("::1");
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const bool secure = !m_d->m_options.certificateFile.isEmpty();
    return QStringLiteral("%1://%2:%3%4")
        .arg(secure ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(m_d->m_listener.port())
        .arg(m_d->m_basePath);
}

void Sandbox::setFault(Endpoint endpoint, Fault fault, int delayMs)
{
    m_d->m_plan.set(endpoint, FaultPlan::Setting{fault, delayMs});
}

void Sandbox::clearFaults()
{
    m_d->m_plan.clear();
}

void Sandbox::setChaos(const Chaos &chaos)
{
    m_d->m_plan.setChaos(chaos);
}

void Sandbox::heal()
{
    m_d->heal();
}

QJsonObject Sandbox::ledger() const
{
    return m_d->ledger();
}

QList<Sandbox::RecordedRequest> Sandbox::requests() const
{
    return m_d->m_log.requests();
}

void Sandbox::clearRequests()
{
    m_d->m_log.clear();
}

bool Sandbox::waitForRequests(int count, int timeoutMs) const
{
    return m_d->m_log.waitFor(count, timeoutMs);
}

QJsonObject Sandbox::order(const QString &id) const
{
    return m_d->m_book.order(id);
}

void Sandbox::setOrderStatus(const QString &id, const QString &status)
{
    m_d->m_book.setStatus(id, status);
}

} // namespace sandbox
