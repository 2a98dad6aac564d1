#include "sandbox.h"

#include "faultreply.h"
#include "orderbook.h"
#include "requestlog.h"
#include "route.h"
#include "socketscan.h"

#include <httplib.h>

#include <QByteArray>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

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
    Reply process(const Route &route, const httplib::Request &req);
    // Waits up to `ms` unless the service stops first; false when it stopped.
    bool pause(int ms);

    const Options m_options;
    QString m_basePath;
    OrderBook m_book;
    RequestLog m_log;

    // Guards the faults and the stop flag below.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::array<FaultSetting, 4> m_faults{};

    // Guards starting and stopping; never taken by the serving threads, so stop() may wait for
    // them while holding it.
    mutable std::mutex m_lifeMutex;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{false};
    std::atomic<int> m_port{0};
};

Sandbox::Private::Private(const Options &options)
    : m_options(options), m_basePath(options.basePath.trimmed()), m_book(options.pollsPerState)
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
    m_log.record(req);
    const Route found = Route::of(m_basePath.toUtf8(), req.method, req.target);

    FaultSetting fault;
    if (found.kind == Route::Found) {
        std::lock_guard<std::mutex> lock(m_mutex);
        fault = m_faults[static_cast<size_t>(found.endpoint)];
    }

    // Every fault but Delay, Trickle and Lost stands for an answer that never came from the
    // service proper, so the request must leave the orders as they were.
    if (fault.fault == Fault::Drop || fault.fault == Fault::NoAnswer) {
        const int fd = socketscan::findConnectionSocket(req);
        if (fault.fault == Fault::NoAnswer)
            socketscan::holdUntilGone(fd, [this](int ms) { return pause(ms); });
        drop(fd, res);
        return;
    }
    const bool carriedOut = takesEffect(fault.fault);
    if (!carriedOut && faultreply::answerInstead(fault.fault, found.endpoint, found.orderId, res))
        return;

    const Reply reply = process(found, req);
    if (fault.fault != Fault::None && reply.status != NoReply &&
        faultreply::answerInstead(fault.fault, found.endpoint, found.orderId, res))
        return;
    if (reply.status == NoReply || fault.fault == Fault::Lost ||
        (fault.fault == Fault::Delay && fault.delayMs > 0 && !pause(fault.delayMs))) {
        drop(socketscan::findConnectionSocket(req), res);
        return;
    }
    if (fault.fault == Fault::Trickle)
        faultreply::trickle(res, reply, fault.delayMs > 0 ? fault.delayMs : DefaultTrickleStepMs,
                            [this](int ms) { return pause(ms); });
    else
        faultreply::send(res, reply);
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
        if (!late || m_options.slowCreateMs <= 0)
            return reply;
        // The order already lives; only its answer is late, as from an overloaded service.
        if (!pause(m_options.slowCreateMs))
            return Reply{NoReply, {}};
        return m_book.createAnswer(orderId);
    }
    case Endpoint::Info:
        return m_book.info(found.orderId);
    case Endpoint::Cancel:
        return m_book.cancel(found.orderId, body);
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
        return true;
    default:
        return false;
    }
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
