#include "sandbox.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

namespace {

const QString StatusCreated = QStringLiteral("created");
const QString StatusScoring = QStringLiteral("scoring");
const QString StatusApproved = QStringLiteral("approved");
const QString StatusCompleted = QStringLiteral("completed");
const QString StatusRejected = QStringLiteral("rejected");
const QString StatusCanceled = QStringLiteral("canceled");
const QString StatusRefunded = QStringLiteral("refunded");

// Quantities arrive as rounded decimals; a returned position counts as fully returned within
// half a thousandth, so that 0.333 + 0.667 returns the whole unit.
constexpr double QuantityTolerance = 0.0005;

// Enough workers that requests held by NoAnswer, Delay or Trickle leave others served.
constexpr size_t WorkerThreads = 16;

constexpr size_t HugeBodySize = 5 * 1024 * 1024;

// With keep-alive on: long enough to carry a client polling every second from one poll to the
// next, short enough that an abandoned connection soon gives its worker back.
constexpr size_t KeepAliveMaxRequests = 1000;
constexpr time_t KeepAliveTimeoutSeconds = 2;

const char *const JsonContentType = "application/json; charset=utf-8";

qint64 toKopecks(double roubles)
{
    return static_cast<qint64>(std::llround(roubles * 100.0));
}

double toRoubles(qint64 kopecks)
{
    return static_cast<double>(kopecks) / 100.0;
}

struct Reply
{
    int status = 200;
    QJsonObject body;
};

Reply errorReply(int status, const QString &code, const QString &text)
{
    return {status,
            QJsonObject{{QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code},
                                                              {QStringLiteral("text"), text}}}}};
}

Reply invalidRequest(const QString &why)
{
    return errorReply(400, QStringLiteral("invalid_request"),
                      QStringLiteral("Некорректный запрос: %1").arg(why));
}

Reply orderNotFound()
{
    return errorReply(404, QStringLiteral("order_not_found"), QStringLiteral("Заказ не найден"));
}

// Position ids travel as strings; a numeric id is accepted as its decimal text.
bool readId(const QJsonValue &value, QString *id)
{
    if (value.isString()) {
        *id = value.toString();
    } else if (value.isDouble() && value.toDouble() == std::floor(value.toDouble())) {
        *id = QString::number(static_cast<qint64>(value.toDouble()));
    } else {
        return false;
    }
    return !id->isEmpty();
}

bool readNonNegative(const QJsonObject &object, const QString &key, double *number)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()) || value.toDouble() < 0)
        return false;
    *number = value.toDouble();
    return true;
}

bool parseObject(const QByteArray &body, QJsonObject *object)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *object = document.object();
    return true;
}

const std::string &hugeBody()
{
    static const std::string body = [] {
        const std::string head = "{\"filler\":\"";
        const std::string tail = "\"}";
        std::string text = head;
        text.append(HugeBodySize - head.size() - tail.size(), 'x');
        text += tail;
        return text;
    }();
    return body;
}

int sockaddrPort(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return -1;
}

// Calls `visit(fd, localPort, peerPort)` for every connected socket of this process; a true
// answer ends the scan.
template<typename Visit> void forEachConnectedSocket(Visit visit)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent *entry = readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (getsockname(int(fd), reinterpret_cast<sockaddr *>(&local), &localLength) != 0 ||
            getpeername(int(fd), reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0)
            continue;
        if (visit(int(fd), sockaddrPort(local), sockaddrPort(peer)))
            break;
    }
    closedir(dir);
}

// httplib hands a handler no socket, yet dropping a connection without an answer needs one.
// The connection is the one socket of this process whose ends carry the request's ports.
int findConnectionSocket(const httplib::Request &req)
{
    if (req.ssl)
        return SSL_get_fd(req.ssl);
    int found = -1;
    forEachConnectedSocket([&](int fd, int localPort, int peerPort) {
        if (localPort != req.local_port || peerPort != req.remote_port)
            return false;
        found = fd;
        return true;
    });
    return found;
}

// Ends the reading side of every connection the service accepted on `port`. A worker idling
// between keep-alive requests wakes up to an end of stream and closes its connection at once,
// while one still writing an answer finishes it. Called after the listening socket is closed,
// so no new connection can come in behind the scan. A client of this same process connected to
// the service has the port as its peer's, not as its own, and is left alone.
void shutdownAcceptedReads(int port)
{
    forEachConnectedSocket([port](int fd, int localPort, int) {
        if (localPort == port)
            ::shutdown(fd, SHUT_RD);
        return false;
    });
}

bool peerHasGone(int fd)
{
    pollfd entry{fd, POLLRDHUP, 0};
    if (poll(&entry, 1, 0) < 0)
        return true;
    return (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

struct Route
{
    enum Kind { Found, NotFound, WrongMethod } kind = NotFound;
    Sandbox::Endpoint endpoint = Sandbox::Endpoint::Create;
    QString orderId;
};

struct OrderItem
{
    QString id;
    double quantity = 0;
    qint64 unitKopecks = 0;
    double refunded = 0;
};

struct Refund
{
    QString id;
    qint64 totalKopecks = 0;
    QJsonArray items;
    QJsonObject answer;
};

struct Order
{
    QString id;
    QString code;
    QString status;
    QStringList life;
    int step = 0;
    int pollsInState = 0;
    qint64 amountKopecks = 0;
    qint64 prepaidKopecks = 0;
    QJsonArray rawItems;
    QVector<OrderItem> items;
    QVector<Refund> refunds;
};

QStringList lifeOf(const QString &code)
{
    if (code == QLatin1String(Sandbox::CodeReject))
        return {StatusCreated, StatusScoring, StatusRejected};
    if (code == QLatin1String(Sandbox::CodeHold))
        return {StatusCreated, StatusScoring, StatusApproved};
    if (code == QLatin1String(Sandbox::CodeServiceCancel))
        return {StatusCreated, StatusScoring, StatusCanceled};
    return {StatusCreated, StatusScoring, StatusApproved, StatusCompleted};
}

QJsonObject refundView(const Refund &refund)
{
    return {{QStringLiteral("id"), refund.id},
            {QStringLiteral("totalRefundedAmount"), toRoubles(refund.totalKopecks)}};
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

    explicit Private(const Options &options) : options(options)
    {
        basePath = options.basePath.trimmed();
        while (basePath.endsWith(QLatin1Char('/')))
            basePath.chop(1);
        if (!basePath.isEmpty() && !basePath.startsWith(QLatin1Char('/')))
            basePath.prepend(QLatin1Char('/'));
    }

    bool start();
    void stop();

    void handle(const httplib::Request &req, httplib::Response &res);
    Route route(const httplib::Request &req) const;
    void record(const httplib::Request &req);
    bool authorized(const httplib::Request &req) const;
    Reply process(const Route &route, const httplib::Request &req);

    static QJsonObject confirmingAnswer(Endpoint endpoint, const QString &orderId);
    Reply create(const QByteArray &body, bool *slow, QString *orderId);
    Reply createAnswer(const QString &orderId);
    Reply info(const QString &orderId);
    Reply cancel(const QString &orderId, const QByteArray &body);
    Reply refund(const QString &orderId, const QByteArray &body);

    void advance(Order &order) const;
    QJsonObject orderView(const Order &order, bool withItems) const;

    // Waits up to `ms` unless the service stops first; false when it stopped.
    bool pause(int ms);
    void holdUntilGone(int fd);
    static void drop(int fd, httplib::Response &res);
    static void send(httplib::Response &res, const Reply &reply);

    Options options;
    QString basePath;

    mutable std::mutex mutex;
    mutable std::condition_variable wake;
    bool stopping = false;
    std::map<QString, Order> orders;
    QList<RecordedRequest> requests;
    std::array<FaultSetting, 4> faults{};

    // Guards starting and stopping; never taken by the serving threads, so stop() may wait for
    // them while holding it.
    mutable std::mutex lifeMutex;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::atomic<bool> listenEnded{false};
    std::atomic<int> port{0};
    bool tls = false;
};

bool Sandbox::Private::start()
{
    tls = !options.certificateFile.isEmpty();
    if (tls) {
        const QByteArray cert = options.certificateFile.toLocal8Bit();
        const QByteArray key = options.privateKeyFile.toLocal8Bit();
        const QByteArray ca = options.clientCaFile.toLocal8Bit();
        server = std::make_unique<httplib::SSLServer>(cert.constData(), key.constData(),
                                                      ca.isEmpty() ? nullptr : ca.constData());
    } else {
        server = std::make_unique<httplib::Server>();
    }
    if (!server->is_valid()) {
        server.reset();
        return false;
    }

    server->new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    // httplib's default also sets SO_REUSEPORT, under which a second service would share a
    // taken port with the first instead of failing to start.
    server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    if (options.keepAlive) {
        server->set_keep_alive_max_count(KeepAliveMaxRequests);
        server->set_keep_alive_timeout(KeepAliveTimeoutSeconds);
        // httplib writes the headers and the body separately; on a connection past its first
        // exchanges Nagle would hold the body until the client's delayed ACK, 40 ms later. The
        // accepted connections inherit the option from the listening socket.
        server->set_tcp_nodelay(true);
    } else {
        server->set_keep_alive_max_count(1);
        server->set_keep_alive_timeout(1);
    }

    const auto handler = [this](const httplib::Request &req, httplib::Response &res) {
        handle(req, res);
    };
    // Routing is done on the raw request target: httplib's path is already percent-decoded,
    // and an order id holding "%2F" would fall apart there.
    const std::string any = "[\\s\\S]*";
    server->Get(any, handler);
    server->Post(any, handler);
    server->Put(any, handler);
    server->Patch(any, handler);
    server->Delete(any, handler);
    server->Options(any, handler);

    const std::string host = options.host.toStdString();
    const int previousPort = port.load();
    int bound = -1;
    if (options.port > 0) {
        bound = server->bind_to_port(host, options.port) ? options.port : -1;
    } else {
        if (previousPort > 0 && server->bind_to_port(host, previousPort))
            bound = previousPort;
        else
            bound = server->bind_to_any_port(host);
    }
    if (bound <= 0) {
        server.reset();
        return false;
    }
    port = bound;

    listenEnded = false;
    thread = std::thread([this] {
        // Writes to a connection the client has closed must fail, not kill the process; the
        // workers inherit this mask, and OpenSSL writes without MSG_NOSIGNAL.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        server->listen_after_bind();
        listenEnded = true;
    });
    while (!server->is_running() && !listenEnded)
        std::this_thread::yield();
    if (!server->is_running()) {
        thread.join();
        server.reset();
        return false;
    }
    return true;
}

void Sandbox::Private::stop()
{
    if (!server)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    server->stop();
    // An idle keep-alive connection holds its worker, and the pool's shutdown with it, until
    // the next request or the keep-alive timeout; ending its reading side releases it now.
    if (options.keepAlive)
        shutdownAcceptedReads(port.load());
    if (thread.joinable())
        thread.join();
    server.reset();
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
}

bool Sandbox::Private::pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    return !stopping;
}

void Sandbox::Private::holdUntilGone(int fd)
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping; });
        if (fd >= 0 && peerHasGone(fd))
            break;
    }
}

void Sandbox::Private::drop(int fd, httplib::Response &res)
{
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        return;
    }
    // Without the socket the best left is headers that promise a body never sent.
    res.set_content_provider(1, JsonContentType,
                             [](size_t, size_t, httplib::DataSink &) { return false; });
}

void Sandbox::Private::send(httplib::Response &res, const Reply &reply)
{
    res.status = reply.status;
    res.set_content(QJsonDocument(reply.body).toJson(QJsonDocument::Compact).toStdString(),
                    JsonContentType);
}

void Sandbox::Private::record(const httplib::Request &req)
{
    RecordedRequest recorded;
    recorded.method = QString::fromStdString(req.method);
    recorded.path = QString::fromStdString(req.target);
    for (const auto &header : req.headers) {
        // httplib adds the connection's addresses as pseudo-headers of its own.
        if (header.first == "REMOTE_ADDR" || header.first == "REMOTE_PORT" ||
            header.first == "LOCAL_ADDR" || header.first == "LOCAL_PORT")
            continue;
        const QString name = QString::fromStdString(header.first).toLower();
        const QString value = QString::fromStdString(header.second);
        if (recorded.headers.contains(name))
            recorded.headers[name] += QStringLiteral(", ") + value;
        else
            recorded.headers.insert(name, value);
    }
    recorded.body = QByteArray::fromStdString(req.body);
    {
        std::lock_guard<std::mutex> lock(mutex);
        requests.append(recorded);
    }
    wake.notify_all();
}

Route Sandbox::Private::route(const httplib::Request &req) const
{
    Route result;
    QByteArray target = QByteArray::fromStdString(req.target);
    const int query = target.indexOf('?');
    if (query >= 0)
        target.truncate(query);
    const QByteArray base = basePath.toUtf8();
    if (!target.startsWith(base))
        return result;
    const QByteArray rest = target.mid(base.size());
    const bool isPost = req.method == "POST";

    if (rest == "/create_offline") {
        result.kind = isPost ? Route::Found : Route::WrongMethod;
        result.endpoint = Endpoint::Create;
        return result;
    }
    const QList<QByteArray> parts = rest.split('/');
    if (parts.size() != 3 || !parts.at(0).isEmpty() || parts.at(1).isEmpty())
        return result;
    const QByteArray &action = parts.at(2);
    bool wantsPost = true;
    if (action == "info") {
        result.endpoint = Endpoint::Info;
        wantsPost = false;
    } else if (action == "cancel") {
        result.endpoint = Endpoint::Cancel;
    } else if (action == "refund") {
        result.endpoint = Endpoint::Refund;
    } else {
        return result;
    }
    const bool isGet = req.method == "GET" || req.method == "HEAD";
    result.kind = (wantsPost ? isPost : isGet) ? Route::Found : Route::WrongMethod;
    const QByteArray id = QByteArray::fromPercentEncoding(parts.at(1));
    result.orderId = QString::fromUtf8(id.constData(), id.size());
    return result;
}

bool Sandbox::Private::authorized(const httplib::Request &req) const
{
    const QByteArray header = QByteArray::fromStdString(req.get_header_value("Authorization"));
    const int space = header.indexOf(' ');
    if (space < 0 || header.left(space).toLower() != "basic")
        return false;
    const QByteArray decoded = QByteArray::fromBase64(header.mid(space + 1).trimmed(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    return decoded == (options.login + QLatin1Char(':') + options.password).toUtf8();
}

void Sandbox::Private::handle(const httplib::Request &req, httplib::Response &res)
{
    record(req);
    const Route found = route(req);

    FaultSetting fault;
    if (found.kind == Route::Found) {
        std::lock_guard<std::mutex> lock(mutex);
        fault = faults[static_cast<size_t>(found.endpoint)];
    }

    // Every fault but Delay, Trickle and Lost stands for an answer that never came from the service
    // proper, so the request must leave the orders as they were.
    switch (fault.fault) {
    case Fault::Drop:
        drop(findConnectionSocket(req), res);
        return;
    case Fault::NoAnswer: {
        const int fd = findConnectionSocket(req);
        holdUntilGone(fd);
        drop(fd, res);
        return;
    }
    case Fault::DropMidBody: {
        const QJsonObject order{{QStringLiteral("id"), found.orderId},
                                {QStringLiteral("status"), StatusCreated}};
        auto body = std::make_shared<std::string>(
            QJsonDocument(QJsonObject{{QStringLiteral("order"), order}})
                .toJson(QJsonDocument::Compact)
                .toStdString());
        res.status = 200;
        res.set_content_provider(body->size(), JsonContentType,
                                 [body](size_t offset, size_t, httplib::DataSink &sink) {
                                     const size_t half = body->size() / 2;
                                     if (offset < half)
                                         sink.write(body->data(), half);
                                     return false;
                                 });
        return;
    }
    case Fault::Empty500:
        res.status = 500;
        return;
    case Fault::Html502:
        res.status = 502;
        res.set_content("<html><head><title>502 Bad Gateway</title></head><body><center>"
                        "<h1>502 Bad Gateway</h1></center><hr><center>gateway</center>"
                        "</body></html>",
                        "text/html");
        return;
    case Fault::NotJson:
        // Labelled as JSON on purpose: a client must judge the body, not the header.
        res.status = 200;
        res.set_content("Service temporarily unavailable, try again later", JsonContentType);
        return;
    case Fault::TruncatedJson: {
        const QJsonObject order{{QStringLiteral("id"), found.orderId},
                                {QStringLiteral("status"), StatusCreated},
                                {QStringLiteral("amount"), 100.5}};
        const QByteArray whole = QJsonDocument(QJsonObject{{QStringLiteral("order"), order}})
                                     .toJson(QJsonDocument::Compact);
        res.status = 200;
        res.set_content(whole.left(whole.size() / 2).toStdString(), JsonContentType);
        return;
    }
    case Fault::ErrorObject:
        send(res, errorReply(400, QStringLiteral("service_error"),
                             QStringLiteral("Внутренняя ошибка сервиса")));
        return;
    case Fault::HugeBody:
        res.status = 200;
        res.set_content(hugeBody(), JsonContentType);
        return;
    case Fault::Json500: {
        // What a failing application server or a proxy in front of it may say.
        QJsonObject body = confirmingAnswer(found.endpoint, found.orderId);
        body.insert(QStringLiteral("message"), QStringLiteral("Internal server error"));
        send(res, Reply{500, body});
        return;
    }
    case Fault::OtherOrder:
        send(res, Reply{200, confirmingAnswer(found.endpoint, QStringLiteral("another-order"))});
        return;
    case Fault::None:
    case Fault::Delay:
    case Fault::Trickle:
    case Fault::Lost:
        break;
    }

    const Reply reply = process(found, req);
    // A zero status means the service went down before it could answer.
    if (reply.status == 0 || fault.fault == Fault::Lost ||
        (fault.fault == Fault::Delay && fault.delayMs > 0 && !pause(fault.delayMs))) {
        drop(findConnectionSocket(req), res);
        return;
    }
    if (fault.fault != Fault::Trickle) {
        send(res, reply);
        return;
    }
    const int step = fault.delayMs > 0 ? fault.delayMs : 10;
    auto body = std::make_shared<std::string>(
        QJsonDocument(reply.body).toJson(QJsonDocument::Compact).toStdString());
    res.status = reply.status;
    res.set_content_provider(body->size(), JsonContentType,
                             [this, body, step](size_t offset, size_t, httplib::DataSink &sink) {
                                 if (!pause(step))
                                     return false;
                                 return sink.write(body->data() + offset, 1);
                             });
}

QJsonObject Sandbox::Private::confirmingAnswer(Endpoint endpoint, const QString &orderId)
{
    // Each answer would confirm what was asked: a client must judge whether it may.
    const auto order = [&orderId](const QString &status) {
        return QJsonObject{{QStringLiteral("id"), orderId},
                           {QStringLiteral("status"), status},
                           {QStringLiteral("amount"), 1.0}};
    };
    switch (endpoint) {
    case Endpoint::Create:
        return {{QStringLiteral("order"), order(StatusCreated)}};
    case Endpoint::Info:
        return {{QStringLiteral("order"), order(StatusCompleted)},
                {QStringLiteral("refund"),
                 QJsonArray{QJsonObject{{QStringLiteral("totalRefundedAmount"), 1.0}}}}};
    case Endpoint::Cancel:
        return {{QStringLiteral("status"), QStringLiteral("CANCELLED")},
                {QStringLiteral("order"), order(StatusCanceled)}};
    case Endpoint::Refund:
        return {{QStringLiteral("order"), order(StatusRefunded)}};
    }
    return {};
}

Reply Sandbox::Private::process(const Route &found, const httplib::Request &req)
{
    if (found.kind == Route::NotFound)
        return errorReply(404, QStringLiteral("not_found"), QStringLiteral("Метод не найден"));
    if (!authorized(req))
        return errorReply(401, QStringLiteral("unauthorized"),
                          QStringLiteral("Неверный логин или пароль"));
    if (found.kind == Route::WrongMethod)
        return errorReply(405, QStringLiteral("method_not_allowed"),
                          QStringLiteral("Метод запроса не поддерживается"));

    const QByteArray body = QByteArray::fromStdString(req.body);
    switch (found.endpoint) {
    case Endpoint::Create: {
        bool slow = false;
        QString orderId;
        const Reply reply = create(body, &slow, &orderId);
        if (!slow)
            return reply;
        // The order already lives; only its answer is late, as from an overloaded service.
        if (!pause(options.slowCreateMs))
            return Reply{0, {}};
        return createAnswer(orderId);
    }
    case Endpoint::Info:
        return info(found.orderId);
    case Endpoint::Cancel:
        return cancel(found.orderId, body);
    case Endpoint::Refund:
        return refund(found.orderId, body);
    }
    return Reply{0, {}};
}

Reply Sandbox::Private::create(const QByteArray &body, bool *slow, QString *orderId)
{
    QJsonObject request;
    if (!parseObject(body, &request))
        return invalidRequest(QStringLiteral("тело запроса не является объектом JSON"));
    const QJsonObject orderJson = request.value(QStringLiteral("order")).toObject();
    const QString id = orderJson.value(QStringLiteral("id")).toString();
    if (id.isEmpty())
        return invalidRequest(QStringLiteral("не указан идентификатор заказа"));
    double amount = 0;
    if (!readNonNegative(orderJson, QStringLiteral("amount"), &amount))
        return invalidRequest(QStringLiteral("не указана сумма заказа"));
    double prepaid = 0;
    if (orderJson.contains(QStringLiteral("prepaidAmount")) &&
        !readNonNegative(orderJson, QStringLiteral("prepaidAmount"), &prepaid))
        return invalidRequest(QStringLiteral("неверная сумма предоплаты"));

    const QJsonValue itemsValue = orderJson.value(QStringLiteral("items"));
    if (!itemsValue.isUndefined() && !itemsValue.isArray())
        return invalidRequest(QStringLiteral("позиции заказа не являются массивом"));
    QVector<OrderItem> items;
    for (const QJsonValue &value : itemsValue.toArray()) {
        const QJsonObject itemJson = value.toObject();
        OrderItem item;
        double unit = 0;
        if (!readId(itemJson.value(QStringLiteral("id")), &item.id) ||
            !readNonNegative(itemJson, QStringLiteral("quantity"), &item.quantity) ||
            !readNonNegative(itemJson, QStringLiteral("amount"), &unit))
            return invalidRequest(QStringLiteral("неверная позиция заказа"));
        // Refunds name positions by id, so two positions under one id could not be told apart.
        for (const OrderItem &other : items) {
            if (other.id == item.id)
                return invalidRequest(
                    QStringLiteral("повторяющийся идентификатор позиции %1").arg(item.id));
        }
        item.unitKopecks = toKopecks(unit);
        items.append(item);
    }

    const QString code = request.value(QStringLiteral("clientInfo"))
                             .toObject()
                             .value(QStringLiteral("id"))
                             .toString();
    if (code == QLatin1String(Sandbox::CodeError))
        return errorReply(400, QStringLiteral("client_rejected"),
                          QStringLiteral("Клиент не найден"));

    std::lock_guard<std::mutex> lock(mutex);
    if (orders.count(id) != 0)
        return errorReply(409, QStringLiteral("order_exists"),
                          QStringLiteral("Заказ с таким идентификатором уже существует"));
    Order order;
    order.id = id;
    order.code = code;
    order.life = lifeOf(code);
    order.status = order.life.first();
    order.amountKopecks = toKopecks(amount);
    order.prepaidKopecks = toKopecks(prepaid);
    order.rawItems = itemsValue.toArray();
    order.items = items;
    orders.emplace(id, order);

    *orderId = id;
    *slow = code == QLatin1String(Sandbox::CodeSlowCreate) && options.slowCreateMs > 0;
    return Reply{200, QJsonObject{{QStringLiteral("order"), orderView(order, false)}}};
}

Reply Sandbox::Private::createAnswer(const QString &orderId)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = orders.find(orderId);
    if (it == orders.end())
        return orderNotFound();
    return Reply{200, QJsonObject{{QStringLiteral("order"), orderView(it->second, false)}}};
}

void Sandbox::Private::advance(Order &order) const
{
    // Only an order still on its scripted path moves on; a cancel, a refund or a state set by
    // a test takes it off the path.
    if (order.step >= order.life.size() || order.status != order.life.at(order.step) ||
        order.step + 1 >= order.life.size())
        return;
    ++order.pollsInState;
    if (order.pollsInState >= std::max(1, options.pollsPerState)) {
        ++order.step;
        order.status = order.life.at(order.step);
        order.pollsInState = 0;
    }
}

QJsonObject Sandbox::Private::orderView(const Order &order, bool withItems) const
{
    QJsonObject view{{QStringLiteral("id"), order.id},
                     {QStringLiteral("status"), order.status},
                     {QStringLiteral("amount"), toRoubles(order.amountKopecks)}};
    if (withItems)
        view.insert(QStringLiteral("items"), order.rawItems);
    return view;
}

Reply Sandbox::Private::info(const QString &orderId)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = orders.find(orderId);
    if (it == orders.end())
        return orderNotFound();
    Order &order = it->second;
    QJsonArray refunds;
    for (const Refund &refund : order.refunds)
        refunds.append(refundView(refund));
    Reply reply{200, QJsonObject{{QStringLiteral("order"), orderView(order, true)},
                                 {QStringLiteral("refund"), refunds}}};
    advance(order);
    return reply;
}

Reply Sandbox::Private::cancel(const QString &orderId, const QByteArray &body)
{
    QJsonObject request;
    if (!parseObject(body, &request))
        return invalidRequest(QStringLiteral("тело запроса не является объектом JSON"));
    if (!request.value(QStringLiteral("cancellationInitiator")).isString())
        return invalidRequest(QStringLiteral("не указан инициатор отмены"));

    std::lock_guard<std::mutex> lock(mutex);
    const auto it = orders.find(orderId);
    if (it == orders.end())
        return orderNotFound();
    Order &order = it->second;
    const QString &status = order.status;
    if (status == StatusCreated || status == StatusScoring || status == StatusApproved)
        order.status = StatusCanceled;
    else if (status != StatusCanceled)
        return errorReply(
            400, QStringLiteral("order_cannot_be_cancelled"),
            QStringLiteral("Заказ в статусе \"%1\" не может быть отменён").arg(status));
    return Reply{200, QJsonObject{{QStringLiteral("status"), QStringLiteral("CANCELLED")},
                                  {QStringLiteral("order"),
                                   QJsonObject{{QStringLiteral("id"), order.id},
                                               {QStringLiteral("status"), order.status}}}}};
}

Reply Sandbox::Private::refund(const QString &orderId, const QByteArray &body)
{
    QJsonObject request;
    if (!parseObject(body, &request))
        return invalidRequest(QStringLiteral("тело запроса не является объектом JSON"));
    const QJsonValue refundValue =
        request.value(QStringLiteral("order")).toObject().value(QStringLiteral("refund"));
    if (!refundValue.isObject())
        return invalidRequest(QStringLiteral("не указан возврат"));
    const QJsonObject refundJson = refundValue.toObject();
    if (!refundJson.value(QStringLiteral("id")).isString())
        return invalidRequest(QStringLiteral("не указан идентификатор возврата"));
    if (!refundJson.value(QStringLiteral("initiator")).isString())
        return invalidRequest(QStringLiteral("не указан инициатор возврата"));
    if (!refundJson.value(QStringLiteral("items")).isArray())
        return invalidRequest(QStringLiteral("не указаны позиции возврата"));
    const QString refundId = refundJson.value(QStringLiteral("id")).toString();
    const QJsonArray itemsJson = refundJson.value(QStringLiteral("items")).toArray();

    std::lock_guard<std::mutex> lock(mutex);
    const auto it = orders.find(orderId);
    if (it == orders.end())
        return orderNotFound();
    Order &order = it->second;

    // The refund id makes a retry safe: the same refund again answers as the first time.
    // An empty id is no key at all, otherwise every refund without one after the first would
    // be swallowed while reported as done.
    if (!refundId.isEmpty()) {
        for (const Refund &done : order.refunds) {
            if (done.id != refundId)
                continue;
            if (done.items != itemsJson)
                return errorReply(409, QStringLiteral("refund_id_conflict"),
                                  QStringLiteral("Возврат с этим идентификатором уже выполнен "
                                                 "с другими позициями"));
            return Reply{200, done.answer};
        }
    }

    // A fully refunded order still gets the quantity check, so that a retry under a new id
    // hears "exceeding_refunded_amount" and can look the refunds up.
    if (order.status != StatusCompleted && order.status != StatusRefunded)
        return errorReply(400, QStringLiteral("order_not_completed"),
                          QStringLiteral("Заказ не оплачен, возврат невозможен"));

    QVector<double> returning(order.items.size(), 0.0);
    for (const QJsonValue &value : itemsJson) {
        const QJsonObject itemJson = value.toObject();
        QString id;
        double quantity = 0;
        if (!readId(itemJson.value(QStringLiteral("id")), &id) ||
            !readNonNegative(itemJson, QStringLiteral("refundedQuantity"), &quantity))
            return invalidRequest(QStringLiteral("неверная позиция возврата"));
        int index = -1;
        for (int i = 0; i < order.items.size(); ++i) {
            if (order.items.at(i).id == id) {
                index = i;
                break;
            }
        }
        if (index < 0)
            return invalidRequest(QStringLiteral("позиция %1 не найдена в заказе").arg(id));
        returning[index] += quantity;
    }
    for (int i = 0; i < order.items.size(); ++i) {
        const OrderItem &item = order.items.at(i);
        if (item.refunded + returning.at(i) > item.quantity + QuantityTolerance)
            return errorReply(400, QStringLiteral("exceeding_refunded_amount"),
                              QStringLiteral("Сумма возврата превышает сумму заказа"));
    }

    Refund done;
    done.id = refundId;
    done.items = itemsJson;
    bool everythingReturned = !order.items.isEmpty();
    for (int i = 0; i < order.items.size(); ++i) {
        OrderItem &item = order.items[i];
        item.refunded += returning.at(i);
        done.totalKopecks += static_cast<qint64>(
            std::llround(returning.at(i) * static_cast<double>(item.unitKopecks)));
        if (item.refunded < item.quantity - QuantityTolerance)
            everythingReturned = false;
    }
    if (everythingReturned)
        order.status = StatusRefunded;
    done.answer = QJsonObject{{QStringLiteral("order"), orderView(order, false)},
                              {QStringLiteral("refund"), refundView(done)}};
    order.refunds.append(done);
    return Reply{200, done.answer};
}

Sandbox::Sandbox() : Sandbox(Options()) {}

Sandbox::Sandbox(const Options &options) : d(new Private(options)) {}

Sandbox::~Sandbox()
{
    stop();
}

bool Sandbox::start()
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    if (d->server)
        return true;
    return d->start();
}

void Sandbox::stop()
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    d->stop();
}

bool Sandbox::isRunning() const
{
    std::lock_guard<std::mutex> lock(d->lifeMutex);
    return d->server && d->server->is_running();
}

int Sandbox::port() const
{
    return d->port;
}

QString Sandbox::baseUrl() const
{
    QString host = d->options.host;
    if (host == QLatin1String("0.0.0.0") || host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    else if (host == QLatin1String("::"))
        host = QStringLiteral("::1");
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const bool secure = !d->options.certificateFile.isEmpty();
    return QStringLiteral("%1://%2:%3%4")
        .arg(secure ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(d->port.load())
        .arg(d->basePath);
}

void Sandbox::setFault(Endpoint endpoint, Fault fault, int delayMs)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults[static_cast<size_t>(endpoint)] = Private::FaultSetting{fault, delayMs};
}

void Sandbox::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.fill(Private::FaultSetting{});
}

QList<Sandbox::RecordedRequest> Sandbox::requests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}

void Sandbox::clearRequests()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->requests.clear();
}

bool Sandbox::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->mutex);
    return d->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this, count] { return d->requests.size() >= count; });
}

QJsonObject Sandbox::order(const QString &id) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->orders.find(id);
    if (it == d->orders.end())
        return {};
    const Order &order = it->second;
    QJsonObject view = d->orderView(order, true);
    view.insert(QStringLiteral("prepaidAmount"), toRoubles(order.prepaidKopecks));
    view.insert(QStringLiteral("clientCode"), order.code);
    QJsonArray refunds;
    for (const Refund &refund : order.refunds) {
        QJsonObject element = refundView(refund);
        element.insert(QStringLiteral("items"), refund.items);
        refunds.append(element);
    }
    view.insert(QStringLiteral("refund"), refunds);
    return view;
}

void Sandbox::setOrderStatus(const QString &id, const QString &status)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->orders.find(id);
    if (it == d->orders.end())
        return;
    Order &order = it->second;
    order.status = status;
    order.pollsInState = 0;
    // A state on the order's own path resumes its life from there.
    const int step = order.life.indexOf(status);
    if (step >= 0)
        order.step = step;
}
