#include "sandbox.h"

#include "faultreply.h"
#include "orderbook.h"
#include "requestlog.h"
#include "route.h"
#include "socketscan.h"

#include <httplib.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

namespace sandbox {

namespace {

using Reply = OrderBook::Reply;

// Enough workers that requests held by NoAnswer, Delay or Trickle leave others served.
constexpr size_t WorkerThreads = 16;

// With keep-alive on: long enough to carry a client polling every second from one poll to the
// next, short enough that an abandoned connection soon gives its worker back.
constexpr size_t KeepAliveMaxRequests = 1000;
constexpr time_t KeepAliveTimeoutSeconds = 2;

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

// How a request fared under chaos in the ledger's "faults" when the service was down.
const QString DownName = QStringLiteral("down");

// The order a request is about: the path's for info, cancel and refund, the body's for create.
QString orderIdOf(const Route &route, const std::string &body)
{
    if (route.endpoint != Sandbox::Endpoint::Create)
        return route.orderId;
    return QJsonDocument::fromJson(QByteArray::fromStdString(body))
        .object()
        .value(QStringLiteral("order"))
        .toObject()
        .value(QStringLiteral("id"))
        .toString();
}

QString endpointName(Sandbox::Endpoint endpoint)
{
    switch (endpoint) {
    case Sandbox::Endpoint::Create:
        return QStringLiteral("create");
    case Sandbox::Endpoint::Info:
        return QStringLiteral("info");
    case Sandbox::Endpoint::Cancel:
        return QStringLiteral("cancel");
    case Sandbox::Endpoint::Refund:
        return QStringLiteral("refund");
    }
    return QString();
}

} // namespace

class Sandbox::Private
{
public:
    struct FaultSetting
    {
        Fault fault = Fault::None;
        int delayMs = 0;
    };

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
    // Whether an order is in a NotFoundLag spell; starts one of `ms` when `startMs` > 0.
    bool lagging(const QString &orderId, int startMs);
    Reply process(const Route &route, const httplib::Request &req);
    // Waits up to `ms` unless the service stops first; false when it stopped.
    bool pause(int ms);

    // The fault a request to `endpoint` meets: the one set on it, else a draw when chaos is
    // on. `name` receives what the ledger calls it ("down" in a down window).
    FaultSetting faultFor(Endpoint endpoint, QString *name);
    void heal();
    QJsonObject ledger() const;

    const Options m_options;
    QString m_basePath;
    OrderBook m_book;
    RequestLog m_log;

    // Guards the faults and the stop flag below.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::array<FaultSetting, 4> m_faults{};
    // Chaos, under the same mutex: its settings, its generator, the end of a down window and
    // what was drawn so far.
    Chaos m_chaos;
    bool m_chaosOn = false;
    std::mt19937 m_generator;
    std::chrono::steady_clock::time_point m_downUntil{};
    std::map<QString, int> m_drawn;
    // Orders answered "order_not_found" until then (NotFoundLag), and how often heal() ran,
    // so that a late create held back learns of it.
    std::map<QString, std::chrono::steady_clock::time_point> m_lagUntil;
    quint64 m_heals = 0;

    // Guards the ledger's own records: the orders in the order made and the cancellations
    // carried out per order.
    mutable std::mutex m_ledgerMutex;
    std::vector<QString> m_orderIds;
    std::map<QString, qint64> m_createdAt;
    std::map<QString, QJsonArray> m_cancels;

    // Guards starting and stopping; never taken by the serving threads, so stop() may wait for
    // them while holding it.
    mutable std::mutex m_lifeMutex;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{false};
    std::atomic<int> m_port{0};
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
    if (!m_options.certificateFile.isEmpty()) {
        const QByteArray cert = m_options.certificateFile.toLocal8Bit();
        const QByteArray key = m_options.privateKeyFile.toLocal8Bit();
        const QByteArray ca = m_options.clientCaFile.toLocal8Bit();
        m_server = std::make_unique<httplib::SSLServer>(cert.constData(), key.constData(),
                                                        ca.isEmpty() ? nullptr : ca.constData());
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    if (!m_server->is_valid()) {
        m_server.reset();
        return false;
    }

    m_server->new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    // httplib's default also sets SO_REUSEPORT, under which a second service would share a
    // taken port with the first instead of failing to start.
    m_server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    if (m_options.keepAlive) {
        m_server->set_keep_alive_max_count(KeepAliveMaxRequests);
        m_server->set_keep_alive_timeout(KeepAliveTimeoutSeconds);
        // httplib writes the headers and the body separately; on a connection past its first
        // exchanges Nagle would hold the body until the client's delayed ACK, 40 ms later. The
        // accepted connections inherit the option from the listening socket.
        m_server->set_tcp_nodelay(true);
    } else {
        m_server->set_keep_alive_max_count(1);
        m_server->set_keep_alive_timeout(1);
    }

    const auto handler = [this](const httplib::Request &req, httplib::Response &res) {
        handle(req, res);
    };
    // Every request reaches handle(), which routes it by its raw target.
    const std::string any = "[\\s\\S]*";
    m_server->Get(any, handler);
    m_server->Post(any, handler);
    m_server->Put(any, handler);
    m_server->Patch(any, handler);
    m_server->Delete(any, handler);
    m_server->Options(any, handler);

    const std::string host = m_options.host.toStdString();
    const int previousPort = m_port.load();
    int bound = -1;
    if (m_options.port > 0) {
        bound = m_server->bind_to_port(host, m_options.port) ? m_options.port : -1;
    } else {
        if (previousPort > 0 && m_server->bind_to_port(host, previousPort))
            bound = previousPort;
        else
            bound = m_server->bind_to_any_port(host);
    }
    if (bound <= 0) {
        m_server.reset();
        return false;
    }
    m_port = bound;

    m_listenEnded = false;
    m_thread = std::thread([this] {
        // Writes to a connection the client has closed must fail, not kill the process; the
        // workers inherit this mask, and OpenSSL writes without MSG_NOSIGNAL.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
    while (!m_server->is_running() && !m_listenEnded)
        std::this_thread::yield();
    if (!m_server->is_running()) {
        m_thread.join();
        m_server.reset();
        return false;
    }
    return true;
}

void Sandbox::Private::stop()
{
    if (!m_server)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_server->stop();
    // An idle keep-alive connection holds its worker, and the pool's shutdown with it, until
    // the next request or the keep-alive timeout; ending its reading side releases it now.
    if (m_options.keepAlive)
        socketscan::shutdownAcceptedReads(m_port.load());
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
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
        fault = faultFor(found.endpoint, &faultName);
        if (fault.fault == Fault::NotFoundLag)
            lagging(found.orderId, fault.delayMs);
        else if (found.endpoint != Endpoint::Create && lagging(found.orderId, 0)) {
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
            ? faultreply::shownStatus(res.status, res.body, orderIdOf(found, req.body))
            : QString();
    m_log.noteOutcome(seq, faultName, answered ? res.status : NoReply, shown);
}

bool Sandbox::Private::lagging(const QString &orderId, int startMs)
{
    const auto now = std::chrono::steady_clock::now();
    // Only an order already seen can lag behind.
    if (startMs > 0 && !m_book.order(orderId).isEmpty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lagUntil[orderId] = now + std::chrono::milliseconds(startMs);
        return true;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_lagUntil.find(orderId);
    if (found == m_lagUntil.end())
        return false;
    if (now < found->second)
        return true;
    m_lagUntil.erase(found);
    return false;
}

Sandbox::Private::FaultSetting Sandbox::Private::faultFor(Endpoint endpoint, QString *name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    FaultSetting set = m_faults[static_cast<size_t>(endpoint)];
    if (!appliesTo(set.fault, endpoint))
        set = FaultSetting{};
    if (set.fault != Fault::None || !m_chaosOn) {
        *name = Sandbox::faultName(set.fault);
        return set;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_downUntil) {
        *name = DownName;
        return FaultSetting{Fault::Drop, 0};
    }
    if (m_chaos.downPerMille > 0 &&
        std::uniform_int_distribution<int>(0, 999)(m_generator) < m_chaos.downPerMille) {
        const int ms = std::uniform_int_distribution<int>(
            m_chaos.downMinMs, std::max(m_chaos.downMinMs, m_chaos.downMaxMs))(m_generator);
        m_downUntil = now + std::chrono::milliseconds(ms);
        ++m_drawn[DownName];
        *name = DownName;
        return FaultSetting{Fault::Drop, 0};
    }
    if (std::uniform_int_distribution<int>(0, 99)(m_generator) >= m_chaos.percent) {
        *name = Sandbox::faultName(Fault::None);
        return FaultSetting{};
    }
    // Every fault that ends an exchange by itself and means something for the endpoint:
    // NoAnswer would hold a request until the client gives up, which Delay already stands for.
    static const std::array<std::vector<Fault>, 4> Drawable = [] {
        std::array<std::vector<Fault>, 4> faults;
        for (const Endpoint each :
             {Endpoint::Create, Endpoint::Info, Endpoint::Cancel, Endpoint::Refund}) {
            for (const FaultName &entry : Sandbox::faultNames()) {
                if (entry.fault != Fault::NoAnswer && appliesTo(entry.fault, each))
                    faults[static_cast<size_t>(each)].push_back(entry.fault);
            }
        }
        return faults;
    }();
    const std::vector<Fault> &drawable = Drawable[static_cast<size_t>(endpoint)];
    const Fault drawn = drawable.at(static_cast<size_t>(
        std::uniform_int_distribution<int>(0, int(drawable.size()) - 1)(m_generator)));
    *name = Sandbox::faultName(drawn);
    ++m_drawn[*name];
    int delayMs = m_chaos.delayMs;
    if (drawn == Fault::Trickle)
        delayMs = m_chaos.trickleStepMs;
    else if (drawn == Fault::LateCreate)
        delayMs = std::uniform_int_distribution<int>(
            m_chaos.lateCreateMinMs,
            std::max(m_chaos.lateCreateMinMs, m_chaos.lateCreateMaxMs))(m_generator);
    else if (drawn == Fault::NotFoundLag)
        delayMs = std::uniform_int_distribution<int>(
            m_chaos.notFoundLagMinMs,
            std::max(m_chaos.notFoundLagMinMs, m_chaos.notFoundLagMaxMs))(m_generator);
    return FaultSetting{drawn, delayMs};
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
    const bool carriedOut = takesEffect(fault.fault);
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
        reply = faultreply::withUpperCaseId(reply, orderIdOf(found, req.body));
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
        if (!orderId.isEmpty()) {
            std::lock_guard<std::mutex> lock(m_ledgerMutex);
            m_orderIds.push_back(orderId);
            m_createdAt[orderId] = QDateTime::currentMSecsSinceEpoch();
        }
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
        if (reply.status == 200) {
            std::lock_guard<std::mutex> lock(m_ledgerMutex);
            m_cancels[found.orderId].append(
                QJsonObject{{QStringLiteral("at"), QDateTime::currentMSecsSinceEpoch()},
                            {QStringLiteral("from"), before}});
        }
        return reply;
    }
    case Endpoint::Refund:
        return m_book.refund(found.orderId, body);
    }
    return Reply{NoReply, {}};
}

bool Sandbox::takesEffect(Fault fault)
{
    switch (fault) {
    case Fault::None:
    case Fault::Delay:
    case Fault::Trickle:
    case Fault::Lost:
    case Fault::Html502After:
    case Fault::Empty200After:
    case Fault::Error504After:
    case Fault::Error502After:
    case Fault::Error500After:
    case Fault::UpperCaseId:
    case Fault::UnchangedAfter:
    case Fault::OtherRefundAfter:
    case Fault::LateCreate:
        return true;
    default:
        return false;
    }
}

bool Sandbox::appliesTo(Fault fault, Endpoint endpoint)
{
    switch (fault) {
    case Fault::Unchanged:
    case Fault::UnchangedAfter:
        return endpoint == Endpoint::Cancel || endpoint == Endpoint::Refund;
    case Fault::OtherRefund:
    case Fault::OtherRefundAfter:
        return endpoint == Endpoint::Refund;
    case Fault::InfoZeroAmount:
    case Fault::DuplicateAmount:
        return endpoint == Endpoint::Info;
    case Fault::LateCreate:
        return endpoint == Endpoint::Create;
    case Fault::NotFoundLag:
        return endpoint != Endpoint::Create;
    default:
        return true;
    }
}

void Sandbox::Private::heal()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_chaosOn = false;
        m_downUntil = {};
        m_lagUntil.clear();
        ++m_heals;
    }
    m_wake.notify_all();
}

QJsonObject Sandbox::Private::ledger() const
{
    std::vector<QString> ids;
    std::map<QString, qint64> createdAt;
    std::map<QString, QJsonArray> cancels;
    {
        std::lock_guard<std::mutex> lock(m_ledgerMutex);
        ids = m_orderIds;
        createdAt = m_createdAt;
        cancels = m_cancels;
    }
    QJsonArray orders;
    for (const QString &id : ids) {
        QJsonObject order = m_book.order(id);
        order.insert(QStringLiteral("createdAt"), createdAt[id]);
        const auto found = cancels.find(id);
        order.insert(QStringLiteral("cancels"),
                     found == cancels.end() ? QJsonArray() : found->second);
        orders.append(order);
    }

    const QByteArray basePath = m_basePath.toUtf8();
    const QJsonArray exchanges =
        m_log.journal([&basePath](const RecordedRequest &request, QJsonObject *entry) {
            const Route route =
                Route::of(basePath, request.method.toStdString(), request.path.toStdString());
            if (route.kind != Route::Found)
                return;
            entry->insert(QStringLiteral("endpoint"), endpointName(route.endpoint));
            entry->insert(QStringLiteral("orderId"), orderIdOf(route, request.body.toStdString()));
        });

    QJsonObject drawn;
    QJsonObject chaos;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &entry : m_drawn)
            drawn.insert(entry.first, entry.second);
        chaos = QJsonObject{{QStringLiteral("seed"), qint64(m_chaos.seed)},
                            {QStringLiteral("percent"), m_chaos.percent},
                            {QStringLiteral("downPerMille"), m_chaos.downPerMille},
                            {QStringLiteral("on"), m_chaosOn}};
    }
    return QJsonObject{{QStringLiteral("orders"), orders},
                       {QStringLiteral("exchanges"), exchanges},
                       {QStringLiteral("faults"), drawn},
                       {QStringLiteral("chaos"), chaos}};
}

const QVector<Sandbox::FaultName> &Sandbox::faultNames()
{
    static const QVector<FaultName> Names = {
        {"delay", Fault::Delay, "carry the request out, answer after MS"},
        {"drop", Fault::Drop, "close the connection without an answer"},
        {"drop-mid-body", Fault::DropMidBody, "send headers and half the body, then close"},
        {"empty500", Fault::Empty500, "500 with an empty body"},
        {"html502", Fault::Html502, "502 with an HTML page"},
        {"not-json", Fault::NotJson, "200 with a body that is not JSON"},
        {"truncated-json", Fault::TruncatedJson, "200 with JSON cut short"},
        {"error-object", Fault::ErrorObject, "400 with the error code \"service_error\""},
        {"huge-body", Fault::HugeBody, "200 with a 5 MiB JSON object"},
        {"trickle", Fault::Trickle, "carry the request out, answer a byte every MS"},
        {"no-answer", Fault::NoAnswer, "read the request, never answer"},
        {"json500", Fault::Json500, "500 with a JSON confirmation and no \"error\""},
        {"other-order", Fault::OtherOrder, "200 with a confirmation about another order"},
        {"lost", Fault::Lost, "carry the request out, close without an answer"},
        {"gateway504", Fault::Gateway504, "504 with an empty body"},
        {"empty200", Fault::Empty200, "200 with {}"},
        {"accepted200", Fault::Accepted200, "200 with {\"result\": \"accepted\"}"},
        {"html502-after", Fault::Html502After, "carry the request out, then 502 HTML"},
        {"empty200-after", Fault::Empty200After, "carry the request out, then 200 {}"},
        {"error504", Fault::Error504, "504 {\"error\": \"Gateway Timeout\"}"},
        {"error504-after", Fault::Error504After, "carry the request out, then error504's"},
        {"error502", Fault::Error502, "502 with the error object \"bad_gateway\""},
        {"error502-after", Fault::Error502After, "carry the request out, then error502's"},
        {"error500", Fault::Error500, "500 {\"error\": {\"message\": ...}}"},
        {"error500-after", Fault::Error500After, "carry the request out, then error500's"},
        {"upper-case-id", Fault::UpperCaseId,
         "carry the request out, answer with the order id in upper case"},
        {"unchanged", Fault::Unchanged, "cancel, refund: 200 with the order as it stands"},
        {"unchanged-after", Fault::UnchangedAfter,
         "cancel, refund: carry it out, then 200 with the order as it stood"},
        {"other-refund", Fault::OtherRefund, "refund: 200 with another refund's id"},
        {"other-refund-after", Fault::OtherRefundAfter,
         "refund: carry it out, then 200 with the order as it stood and another refund's id"},
        {"info-zero-amount", Fault::InfoZeroAmount, "info: 200 with amount 0 and no refunds"},
        {"duplicate-amount", Fault::DuplicateAmount, "info: 200 with \"amount\" twice, the last 0"},
        {"late-create", Fault::LateCreate,
         "create: held until the client gives up, carried out MS after it arrived"},
        {"not-found-lag", Fault::NotFoundLag,
         "info, cancel, refund: \"order_not_found\" about the order for MS"},
    };
    return Names;
}

QString Sandbox::faultName(Fault fault)
{
    for (const FaultName &entry : faultNames()) {
        if (entry.fault == fault)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("none");
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
    if (m_d->m_server)
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
    return m_d->m_server && m_d->m_server->is_running();
}

int Sandbox::port() const
{
    return m_d->m_port;
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
        .arg(m_d->m_port.load())
        .arg(m_d->m_basePath);
}

void Sandbox::setFault(Endpoint endpoint, Fault fault, int delayMs)
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    m_d->m_faults[static_cast<size_t>(endpoint)] = Private::FaultSetting{fault, delayMs};
}

void Sandbox::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    m_d->m_faults.fill(Private::FaultSetting{});
}

void Sandbox::setChaos(const Chaos &chaos)
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    m_d->m_chaos = chaos;
    m_d->m_chaosOn = chaos.percent > 0 || chaos.downPerMille > 0;
    m_d->m_generator.seed(chaos.seed);
    m_d->m_downUntil = {};
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
