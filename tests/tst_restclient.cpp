#include "config.h"
#include "log4qt/listappender.h"
#include "log4qt/logger.h"
#include "log4qt/logmanager.h"
#include "restclient.h"
#include "singleton.h"
#include "testcerts.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QThread>

#include <gmock/gmock.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using testing::HasSubstr;
using testing::Not;

// Readable failure messages for Qt strings.
void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString P12Password = QStringLiteral("p12-secret-789");

QJsonObject parseObject(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

std::string jsonText(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// Captures a client's log lines, so that a failing check can show what the transport saw.
class LogCapture
{
public:
    LogCapture() : m_logger(Log4Qt::LogManager::logger(QStringLiteral("tst_restclient.capture")))
    {
        m_logger->setLevel(Log4Qt::Level::DEBUG_INT);
        m_logger->addAppender(&m_appender);
    }
    ~LogCapture() { m_logger->removeAppender(&m_appender); }

    const Log4Qt::Logger *logger() const { return m_logger; }

    std::string text() const
    {
        std::string text;
        for (const Log4Qt::LoggingEvent &event : m_appender.list())
            text += event.message.toStdString() + '\n';
        return text;
    }

private:
    Log4Qt::Logger *m_logger;
    Log4Qt::ListAppender m_appender;
};

// Runs an httplib server on a loopback port for the life of the object.
class ServerRunner
{
public:
    explicit ServerRunner(httplib::Server &server) : m_server(server)
    {
        // The socket listens once bound, so a client may connect before the accept loop runs.
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }

    ~ServerRunner()
    {
        if (!m_thread.joinable())
            return;
        // stop() only works once the accept loop has started.
        while (!m_server.is_running())
            std::this_thread::yield();
        m_server.stop();
        m_thread.join();
    }

    int port() const { return m_port; }

private:
    httplib::Server &m_server;
    std::thread m_thread;
    int m_port = -1;
};

int bindLoopback(int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// A port that was just free and has nobody listening on it.
int closedPort()
{
    int port = 0;
    const int fd = bindLoopback(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// A server for the faults that a well-behaved HTTP library will not produce.
class RawServer
{
public:
    enum class Script {
        // Listens and never accepts: the kernel completes the connection, nobody answers.
        Silent,
        // Sends a status and headers, then one body byte every 100 ms.
        Trickle,
        // Promises 100 bytes, sends a few, then closes.
        CutMidBody,
        // Reads the request and closes without a word.
        CloseWithoutAnswer,
    };

    explicit RawServer(Script script) : m_script(script)
    {
        m_listenFd = bindLoopback(&m_port);
        if (m_listenFd < 0 || ::listen(m_listenFd, 8) != 0)
            m_port = -1;
        else if (m_script != Script::Silent)
            m_thread = std::thread([this] { run(); });
    }

    ~RawServer()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        if (m_listenFd >= 0)
            ::close(m_listenFd);
    }

    int port() const { return m_port; }

private:
    bool stopping()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stopping;
    }

    // Waits for the fd to become readable, giving up when the server stops.
    bool waitReadable(int fd)
    {
        while (!stopping()) {
            pollfd entry{fd, POLLIN, 0};
            const int ready = ::poll(&entry, 1, 50);
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
        return false;
    }

    bool readRequest(int fd)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!waitReadable(fd))
                return false;
            const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
            if (got <= 0)
                return false;
            request.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }

    static bool sendText(int fd, const std::string &text)
    {
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }

    void serve(int fd)
    {
        if (!readRequest(fd))
            return;
        switch (m_script) {
        case Script::Silent:
        case Script::CloseWithoutAnswer:
            return;
        case Script::CutMidBody:
            sendText(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                         "Content-Length: 100\r\n\r\n{\"status\":");
            return;
        case Script::Trickle:
            if (!sendText(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                              "Content-Length: 1000\r\n\r\n"))
                return;
            for (int sent = 0; sent < 1000; ++sent) {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_wake.wait_for(lock, std::chrono::milliseconds(100),
                                    [this] { return m_stopping; }))
                    return;
                lock.unlock();
                if (!sendText(fd, " "))
                    return;
            }
            return;
        }
    }

    void run()
    {
        while (waitReadable(m_listenFd)) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            ::close(fd);
        }
    }

    Script m_script;
    int m_listenFd = -1;
    int m_port = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

void addRoutes(httplib::Server &server, std::atomic<int> *hits = nullptr)
{
    server.set_pre_routing_handler([hits](const httplib::Request &, httplib::Response &) {
        if (hits)
            ++*hits;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get("/object", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(R"({"status":"ok","n":1})", "application/json");
    });
    server.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content(R"({"error":{"code":"not_found"}})", "application/json");
    });
    server.Get("/array", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("[1,2,3]", "application/json");
    });
    server.Get("/text", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("hello, not json", "text/plain");
    });
    // One key twice, deep inside: which value a reader keeps is anybody's guess.
    server.Get("/duplicate", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(R"({"order":{"amount":300, "status":"completed","amount" :0},"refund":[]})",
                        "application/json");
    });
    // The same key in two objects, and key-like text inside strings, are no duplicates.
    server.Get("/keys", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(R"({"a":{"id":"x"},"b":{"id":"\":y","c":"id\":"},"l":[{"id":1},{"id":2}]})",
                        "application/json");
    });
    server.Get("/empty",
               [](const httplib::Request &, httplib::Response &res) { res.status = 200; });
    server.Get("/server-error",
               [](const httplib::Request &, httplib::Response &res) { res.status = 500; });
    // Tells how the request arrived, so a test can see which method and body the client sent.
    auto describe = [](const httplib::Request &req, httplib::Response &res) {
        QJsonObject answer{
            {QStringLiteral("method"), QString::fromStdString(req.method)},
            {QStringLiteral("body"), QString::fromStdString(req.body)},
            {QStringLiteral("contentType"),
             QString::fromStdString(req.get_header_value("Content-Type"))},
            {QStringLiteral("marker"), QString::fromStdString(req.get_header_value("X-Marker"))},
            {QStringLiteral("port"), req.remote_port}};
        res.set_content(jsonText(answer), "application/json");
    };
    server.Get("/describe", describe);
    server.Post("/describe", describe);
    server.Get("/slow", [](const httplib::Request &req, httplib::Response &res) {
        const int ms = std::stoi(req.get_param_value("ms").empty() ? std::string("200")
                                                                   : req.get_param_value("ms"));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        res.set_content(R"({"kind":"get"})", "application/json");
    });
    server.Post("/echo", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(req.body, "application/json");
    });
}

// A JSON object of exactly the given size.
std::string objectOfSize(qint64 size)
{
    const std::string head = R"({"p":")";
    const std::string tail = R"("})";
    return head + std::string(static_cast<size_t>(size) - head.size() - tail.size(), 'x') + tail;
}

class RestClientTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!Singleton<Config>::instance)
            Singleton<Config>::instance = new Config;
    }

    // The certificates, made on first use: under CTest each case runs in a process of its
    // own, and most cases need none (making them takes a dozen openssl runs). False with
    // certError set when they could not be made.
    static bool ensureCerts()
    {
        if (certs)
            return certError.isEmpty();
        certs = new TestCerts;
        const bool made =
            certs->createCa(QStringLiteral("main")) && certs->createCa(QStringLiteral("other")) &&
            certs->createServer(QStringLiteral("good"), QStringLiteral("main"),
                                {QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}) &&
            certs->createServer(QStringLiteral("wronghost"), QStringLiteral("main"),
                                {QStringLiteral("other.example")}) &&
            certs->createServer(QStringLiteral("untrusted"), QStringLiteral("other"),
                                {QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}) &&
            certs->createServer(QStringLiteral("expired"), QStringLiteral("main"),
                                {QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}, true) &&
            certs->createClient(QStringLiteral("client"), QStringLiteral("main"), P12Password) &&
            certs->createClient(QStringLiteral("stranger"), QStringLiteral("other"), P12Password);
        certError = made ? QString() : certs->errorString();
        return made;
    }

    static void TearDownTestSuite()
    {
        delete certs;
        certs = nullptr;
    }

    void SetUp() override { setCaFile(QString()); }
    void TearDown() override { setCaFile(QString()); }

    static void setCaFile(const QString &path)
    {
        Singleton<Config>::instance->setValue(QStringLiteral("Network:caFile"), path);
    }

    static std::unique_ptr<httplib::SSLServer> tlsServer(const QString &name,
                                                         const QString &clientCa = QString())
    {
        const std::string cert = certs->certPath(name).toStdString();
        const std::string key = certs->keyPath(name).toStdString();
        const std::string ca =
            clientCa.isEmpty() ? std::string() : certs->certPath(clientCa).toStdString();
        return std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str(),
                                                    ca.empty() ? nullptr : ca.c_str());
    }

    static QUrl url(const QString &scheme, const QString &host, int port, const QString &path)
    {
        return QUrl(QStringLiteral("%1://%2:%3%4").arg(scheme, host).arg(port).arg(path));
    }

    static TestCerts *certs;
    static QString certError;
};

TestCerts *RestClientTest::certs = nullptr;
QString RestClientTest::certError;

// ---------------------------------------------------------------------------------------
// Status and body decoding

struct DecodingCase
{
    const char *name;
    const char *path;
    int httpCode;
    const char *json; // empty means no object expected
};

class RestClientDecodingTest : public RestClientTest,
                               public testing::WithParamInterface<DecodingCase>
{
};

TEST_P(RestClientDecodingTest, StatusAndBody)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    RestClient client;
    client.setTimeout(5);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QString::fromUtf8(GetParam().path)),
               {});

    const RestResponse response = client.getResponse();
    EXPECT_EQ(response.httpCode, GetParam().httpCode);
    EXPECT_EQ(response.networkError, 0);
    EXPECT_TRUE(response.errorMessage.isEmpty());
    EXPECT_EQ(response.json, parseObject(GetParam().json));
    EXPECT_FALSE(client.isTimedOut());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, RestClientDecodingTest,
    testing::Values(DecodingCase{"object", "/object", 200, R"({"status":"ok","n":1})"},
                    DecodingCase{"notFoundWithBody", "/missing", 404,
                                 R"({"error":{"code":"not_found"}})"},
                    DecodingCase{"arrayBody", "/array", 200, ""},
                    DecodingCase{"notJson", "/text", 200, ""},
                    DecodingCase{"duplicateKey", "/duplicate", 200, ""},
                    DecodingCase{"sameKeyInOtherObjects", "/keys", 200,
                                 R"({"a":{"id":"x"},"b":{"id":"\":y","c":"id\":"},)"
                                 R"("l":[{"id":1},{"id":2}]})"},
                    DecodingCase{"emptyBody", "/empty", 200, ""},
                    DecodingCase{"serverErrorNoBody", "/server-error", 500, ""}),
    [](const testing::TestParamInfo<DecodingCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(RestClientTest, PostSendsBodyAndHeadersAndALaterGetIsAPlainGet)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    RestClient client;
    client.setTimeout(5);
    client.post(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                    QStringLiteral("/describe")),
                QByteArrayLiteral(R"({"amount":100})"),
                {{QStringLiteral("Content-Type"), QStringLiteral("application/json")},
                 {QStringLiteral("X-Marker"), QStringLiteral("first")}});
    RestResponse response = client.getResponse();
    ASSERT_EQ(response.httpCode, 200);
    EXPECT_EQ(response.json.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    EXPECT_EQ(response.json.value(QStringLiteral("body")).toString(),
              QStringLiteral(R"({"amount":100})"));
    EXPECT_EQ(response.json.value(QStringLiteral("contentType")).toString(),
              QStringLiteral("application/json"));
    EXPECT_EQ(response.json.value(QStringLiteral("marker")).toString(), QStringLiteral("first"));

    // The handle keeps its options between requests: neither the method, the body nor the
    // headers of the POST may leak into the next exchange.
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/describe")),
               {});
    response = client.getResponse();
    ASSERT_EQ(response.httpCode, 200);
    EXPECT_EQ(response.json.value(QStringLiteral("method")).toString(), QStringLiteral("GET"));
    EXPECT_EQ(response.json.value(QStringLiteral("body")).toString(), QStringLiteral(""));
    EXPECT_EQ(response.json.value(QStringLiteral("marker")).toString(), QStringLiteral(""));
}

TEST_F(RestClientTest, HeaderWithLineBreakIsNotSent)
{
    std::atomic<int> hits{0};
    httplib::Server server;
    addRoutes(server, &hits);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    RestClient client;
    client.setTimeout(5);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/describe")),
               {{QStringLiteral("X-Marker"), QStringLiteral("a\r\nX-Forged: 1")}});

    const RestResponse response = client.getResponse();
    EXPECT_GT(response.networkError, 0);
    EXPECT_EQ(response.errorMessage.key(), QStringLiteral("restClientBadHeader"));
    EXPECT_EQ(hits.load(), 0);
}

TEST_F(RestClientTest, ZeroTimeoutMeansTheDefaultNotAnInstantFailure)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    RestClient client;
    client.setTimeout(0);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/slow?ms=1200")),
               {});

    EXPECT_EQ(client.getResponse().httpCode, 200);
    EXPECT_EQ(client.getResponse().networkError, 0);
    EXPECT_FALSE(client.isTimedOut());
}

// ---------------------------------------------------------------------------------------
// Body size limit

struct BodySizeCase
{
    const char *name;
    qint64 size;
    bool chunked;
    bool accepted;
};

class RestClientBodySizeTest : public RestClientTest,
                               public testing::WithParamInterface<BodySizeCase>
{
};

TEST_P(RestClientBodySizeTest, LimitIsEnforced)
{
    const std::string body = objectOfSize(GetParam().size);
    const bool chunked = GetParam().chunked;
    httplib::Server server;
    server.Get("/big", [&body, chunked](const httplib::Request &, httplib::Response &res) {
        if (!chunked) {
            res.set_content(body, "application/json");
            return;
        }
        // Without a length up front, only the running count can stop the client.
        res.set_chunked_content_provider(
            "application/json", [&body](size_t offset, httplib::DataSink &sink) {
                if (offset >= body.size()) {
                    sink.done();
                    return true;
                }
                const size_t piece = std::min<size_t>(64 * 1024, body.size() - offset);
                return sink.write(body.data() + offset, piece);
            });
    });
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    RestClient client;
    client.setTimeout(10);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/big")),
               {});

    const RestResponse response = client.getResponse();
    if (GetParam().accepted) {
        EXPECT_EQ(response.networkError, 0);
        EXPECT_EQ(response.json.value(QStringLiteral("p")).toString().size(), GetParam().size - 8);
    } else {
        EXPECT_GT(response.networkError, 0);
        EXPECT_EQ(response.errorMessage.key(), QStringLiteral("restClientBodyTooLarge"));
        EXPECT_TRUE(response.json.isEmpty());
        EXPECT_FALSE(client.isTimedOut());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RestClientBodySizeTest,
    testing::Values(BodySizeCase{"exactLimit", RestClient::MaxBodySize, false, true},
                    BodySizeCase{"exactLimitChunked", RestClient::MaxBodySize, true, true},
                    BodySizeCase{"fiveMiB", 5 * 1024 * 1024, false, false},
                    BodySizeCase{"fiveMiBChunked", 5 * 1024 * 1024, true, false}),
    [](const testing::TestParamInfo<BodySizeCase> &caseInfo) { return caseInfo.param.name; });

// ---------------------------------------------------------------------------------------
// Transport faults

enum class Fault { Refused, HostNotFound, Silent, Trickle, CutMidBody, CloseWithoutAnswer };

struct FaultCase
{
    const char *name;
    Fault fault;
    const char *key;
    bool timedOut;
};

class RestClientFaultTest : public RestClientTest, public testing::WithParamInterface<FaultCase>
{
};

TEST_P(RestClientFaultTest, IsATransportFailure)
{
    std::unique_ptr<RawServer> raw;
    QUrl target;
    switch (GetParam().fault) {
    case Fault::Refused:
        target = url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), closedPort(),
                     QStringLiteral("/object"));
        break;
    case Fault::HostNotFound:
        // The .invalid domain is reserved never to resolve.
        target = QUrl(QStringLiteral("http://no-such-host.invalid/object"));
        break;
    case Fault::Silent:
        raw = std::make_unique<RawServer>(RawServer::Script::Silent);
        break;
    case Fault::Trickle:
        raw = std::make_unique<RawServer>(RawServer::Script::Trickle);
        break;
    case Fault::CutMidBody:
        raw = std::make_unique<RawServer>(RawServer::Script::CutMidBody);
        break;
    case Fault::CloseWithoutAnswer:
        raw = std::make_unique<RawServer>(RawServer::Script::CloseWithoutAnswer);
        break;
    }
    if (raw) {
        ASSERT_GT(raw->port(), 0);
        target = url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), raw->port(),
                     QStringLiteral("/object"));
    }

    LogCapture log;
    RestClient client;
    client.setLogger(log.logger());
    client.setTimeout(1);
    QElapsedTimer elapsed;
    elapsed.start();
    client.get(target, {});
    const qint64 ms = elapsed.elapsed();

    const RestResponse response = client.getResponse();
    EXPECT_GT(response.networkError, 0);
    EXPECT_EQ(response.errorMessage.key(), QString::fromUtf8(GetParam().key)) << log.text();
    EXPECT_FALSE(response.errorMessage.ru().isEmpty());
    EXPECT_TRUE(response.json.isEmpty());
    EXPECT_EQ(client.isTimedOut(), GetParam().timedOut);
    if (GetParam().timedOut) {
        EXPECT_GE(ms, 800);
        EXPECT_LE(ms, 3000);
        EXPECT_THAT(response.errorMessage.ru().toStdString(), HasSubstr("1 с."));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RestClientFaultTest,
    testing::Values(FaultCase{"refused", Fault::Refused, "restClientConnectionRefused", false},
                    FaultCase{"hostNotFound", Fault::HostNotFound, "restClientHostNotFound", false},
                    FaultCase{"silentListener", Fault::Silent, "restClientTimeout", true},
                    FaultCase{"trickle", Fault::Trickle, "restClientTimeout", true},
                    FaultCase{"cutMidBody", Fault::CutMidBody, "restClientConnectionLost", false},
                    FaultCase{"closedWithoutAnswer", Fault::CloseWithoutAnswer,
                              "restClientConnectionLost", false}),
    [](const testing::TestParamInfo<FaultCase> &caseInfo) { return caseInfo.param.name; });

TEST_F(RestClientTest, EachExchangeReplacesThePreviousResult)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    RawServer silent(RawServer::Script::Silent);
    ASSERT_GT(runner.port(), 0);
    ASSERT_GT(silent.port(), 0);

    RestClient client;
    client.setTimeout(1);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), silent.port(),
                   QStringLiteral("/object")),
               {});
    ASSERT_TRUE(client.isTimedOut());

    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/object")),
               {});
    RestResponse response = client.getResponse();
    EXPECT_FALSE(client.isTimedOut());
    EXPECT_EQ(response.networkError, 0);
    EXPECT_TRUE(response.errorMessage.isEmpty());
    EXPECT_EQ(response.httpCode, 200);

    // And the status of that answer does not linger into a later failure.
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), closedPort(),
                   QStringLiteral("/object")),
               {});
    response = client.getResponse();
    EXPECT_GT(response.networkError, 0);
    EXPECT_EQ(response.httpCode, 0);
    EXPECT_TRUE(response.json.isEmpty());
}

// ---------------------------------------------------------------------------------------
// Server certificate checks

struct TlsCase
{
    const char *name;
    const char *serverCert;
    const char *host;
    // "ca" names the test authority's file; "missing" a file that does not exist.
    const char *caFile;
    const char *key; // empty when the exchange must succeed
};

class RestClientTlsTest : public RestClientTest, public testing::WithParamInterface<TlsCase>
{
};

TEST_P(RestClientTlsTest, ServerCertificateIsVerified)
{
    ASSERT_TRUE(ensureCerts()) << certError.toStdString();
    const auto server = tlsServer(QString::fromUtf8(GetParam().serverCert));
    ASSERT_TRUE(server->is_valid());
    addRoutes(*server);
    ServerRunner runner(*server);
    ASSERT_GT(runner.port(), 0);

    const QString caFile = QString::fromUtf8(GetParam().caFile);
    if (caFile == QStringLiteral("ca"))
        setCaFile(certs->certPath(QStringLiteral("main")));
    else if (caFile == QStringLiteral("missing"))
        setCaFile(certs->path(QStringLiteral("no-such-ca.crt")));

    LogCapture log;
    RestClient client;
    client.setLogger(log.logger());
    client.setTimeout(5);
    client.get(url(QStringLiteral("https"), QString::fromUtf8(GetParam().host), runner.port(),
                   QStringLiteral("/object")),
               {});

    const RestResponse response = client.getResponse();
    const QString key = QString::fromUtf8(GetParam().key);
    if (key.isEmpty()) {
        EXPECT_EQ(response.networkError, 0) << log.text();
        EXPECT_EQ(response.httpCode, 200);
        EXPECT_EQ(response.json.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    } else {
        EXPECT_GT(response.networkError, 0);
        EXPECT_EQ(response.errorMessage.key(), key) << log.text();
        EXPECT_TRUE(response.json.isEmpty());
        EXPECT_FALSE(client.isTimedOut());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, RestClientTlsTest,
    testing::Values(
        TlsCase{"rightHostName", "good", "localhost", "ca", ""},
        TlsCase{"rightAddress", "good", "127.0.0.1", "ca", ""},
        TlsCase{"authorityNotConfigured", "good", "localhost", "", "restClientTlsUntrusted"},
        TlsCase{"wrongHostName", "wronghost", "localhost", "ca", "restClientTlsHostMismatch"},
        TlsCase{"untrustedAuthority", "untrusted", "localhost", "ca", "restClientTlsUntrusted"},
        TlsCase{"expired", "expired", "localhost", "ca", "restClientTlsExpired"},
        TlsCase{"caFileMissing", "good", "localhost", "missing", "restClientCaFile"}),
    [](const testing::TestParamInfo<TlsCase> &caseInfo) { return caseInfo.param.name; });

// ---------------------------------------------------------------------------------------
// Client certificate

struct ClientCertCase
{
    const char *name;
    const char *p12; // empty: no certificate
    const char *password;
    bool accepted;
    // The expected message keys. A server that refuses a certificate sends a TLS alert and
    // closes; whether the alert is read before the close is noticed is up to timing, so such a
    // refusal may also read as a lost connection.
    std::vector<std::string> keys;
};

class RestClientClientCertTest : public RestClientTest,
                                 public testing::WithParamInterface<ClientCertCase>
{
};

TEST_P(RestClientClientCertTest, ServerDemandingACertificate)
{
    ASSERT_TRUE(ensureCerts()) << certError.toStdString();
    const auto server = tlsServer(QStringLiteral("good"), QStringLiteral("main"));
    ASSERT_TRUE(server->is_valid());
    addRoutes(*server);
    ServerRunner runner(*server);
    ASSERT_GT(runner.port(), 0);
    setCaFile(certs->certPath(QStringLiteral("main")));

    LogCapture log;
    RestClient client;
    client.setLogger(log.logger());
    client.setTimeout(5);
    const QString p12 = QString::fromUtf8(GetParam().p12);
    client.setCertificatePath(p12.isEmpty() ? QString() : certs->p12Path(p12));
    client.setCertificatePassword(QString::fromUtf8(GetParam().password));
    client.get(url(QStringLiteral("https"), QStringLiteral("localhost"), runner.port(),
                   QStringLiteral("/object")),
               {});

    const RestResponse response = client.getResponse();
    if (GetParam().accepted) {
        EXPECT_EQ(response.networkError, 0) << response.errorMessage.ru().toStdString();
        EXPECT_EQ(response.httpCode, 200);
        EXPECT_EQ(response.json.value(QStringLiteral("status")).toString(), QStringLiteral("ok"));
    } else {
        EXPECT_GT(response.networkError, 0);
        EXPECT_FALSE(response.errorMessage.isEmpty());
        EXPECT_TRUE(response.json.isEmpty());
        EXPECT_THAT(GetParam().keys, testing::Contains(response.errorMessage.key().toStdString()))
            << log.text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    ClientCertificates, RestClientClientCertTest,
    testing::Values(
        ClientCertCase{"rightPassword", "client", "p12-secret-789", true, {}},
        ClientCertCase{"noCertificate",
                       "",
                       "",
                       false,
                       {"restClientTlsClientRejected", "restClientConnectionLost"}},
        ClientCertCase{
            "wrongPassword", "client", "wrong-password", false, {"restClientClientCertificate"}},
        ClientCertCase{"missingFile",
                       "no-such-client",
                       "p12-secret-789",
                       false,
                       {"restClientClientCertificate"}},
        ClientCertCase{"unknownAuthority",
                       "stranger",
                       "p12-secret-789",
                       false,
                       {"restClientTlsClientRejected", "restClientConnectionLost"}}),
    [](const testing::TestParamInfo<ClientCertCase> &caseInfo) { return caseInfo.param.name; });

// ---------------------------------------------------------------------------------------
// Two threads on one client

TEST_F(RestClientTest, EachThreadReadsItsOwnLastExchange)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    RawServer silent(RawServer::Script::Silent);
    ASSERT_GT(runner.port(), 0);
    ASSERT_GT(silent.port(), 0);

    RestClient client;
    client.setTimeout(1);
    const QUrl slow = url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                          QStringLiteral("/slow?ms=150"));
    const QUrl echo = url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                          QStringLiteral("/echo"));

    // First in strict turns, so that the other thread's exchange surely comes between an
    // exchange and the reading of its result.
    std::promise<void> getDone;
    std::promise<void> postDone;
    std::thread getter([&] {
        client.get(slow, {});
        getDone.set_value();
        postDone.get_future().wait();
        EXPECT_EQ(client.getResponse().json.value(QStringLiteral("kind")).toString(),
                  QStringLiteral("get"));
        EXPECT_EQ(client.getResponse().httpCode, 200);
    });
    std::thread poster([&] {
        getDone.get_future().wait();
        client.post(echo, R"({"kind":"post"})", {});
        postDone.set_value();
        EXPECT_EQ(client.getResponse().json.value(QStringLiteral("kind")).toString(),
                  QStringLiteral("post"));
    });
    getter.join();
    poster.join();

    // Then freely at once, one of them timing out.
    std::atomic<bool> getterFinished{false};
    std::atomic<int> posts{0};
    getter = std::thread([&] {
        for (int i = 0; i < 3; ++i) {
            client.get(slow, {});
            EXPECT_EQ(client.getResponse().json.value(QStringLiteral("kind")).toString(),
                      QStringLiteral("get"));
            EXPECT_FALSE(client.isTimedOut());
        }
        client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), silent.port(),
                       QStringLiteral("/object")),
                   {});
        EXPECT_TRUE(client.isTimedOut());
        EXPECT_EQ(client.getResponse().errorMessage.key(), QStringLiteral("restClientTimeout"));
        getterFinished = true;
    });
    poster = std::thread([&] {
        int i = 0;
        while (!getterFinished || i < 5) {
            const QByteArray body = QStringLiteral(R"({"kind":"post","i":%1})").arg(i).toUtf8();
            client.post(echo, body, {});
            const RestResponse response = client.getResponse();
            EXPECT_EQ(response.networkError, 0);
            EXPECT_EQ(response.json.value(QStringLiteral("i")).toInt(), i);
            EXPECT_FALSE(client.isTimedOut());
            ++i;
        }
        posts = i;
    });
    getter.join();
    poster.join();
    EXPECT_GE(posts.load(), 5);

    // This thread made no exchange of its own.
    EXPECT_EQ(client.getResponse().httpCode, 0);
    EXPECT_FALSE(client.isTimedOut());
}

// ---------------------------------------------------------------------------------------
// Connection reuse

class RestClientReuseTest : public RestClientTest, public testing::WithParamInterface<bool>
{
};

TEST_P(RestClientReuseTest, ConsecutiveExchangesShareOneConnection)
{
    const bool tls = GetParam();
    ASSERT_TRUE(!tls || ensureCerts()) << certError.toStdString();
    std::unique_ptr<httplib::Server> server;
    if (tls)
        server = tlsServer(QStringLiteral("good"));
    else
        server = std::make_unique<httplib::Server>();
    addRoutes(*server);
    ServerRunner runner(*server);
    ASSERT_GT(runner.port(), 0);
    if (tls)
        setCaFile(certs->certPath(QStringLiteral("main")));

    RestClient client;
    client.setTimeout(5);
    QSet<int> clientPorts;
    for (int i = 0; i < 5; ++i) {
        client.get(url(QLatin1String(tls ? "https" : "http"), QStringLiteral("localhost"),
                       runner.port(), QStringLiteral("/describe")),
                   {});
        ASSERT_EQ(client.getResponse().httpCode, 200);
        clientPorts.insert(client.getResponse().json.value(QStringLiteral("port")).toInt());
    }
    // One source port at the server means one TCP connection, hence one TLS handshake.
    EXPECT_EQ(clientPorts.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Schemes, RestClientReuseTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &caseInfo) {
                             return std::string(caseInfo.param ? "https" : "http");
                         });

// ---------------------------------------------------------------------------------------
// Logging

TEST_F(RestClientTest, LogsOneLineWithoutSecrets)
{
    ASSERT_TRUE(ensureCerts()) << certError.toStdString();
    const auto server = tlsServer(QStringLiteral("good"), QStringLiteral("main"));
    ASSERT_TRUE(server->is_valid());
    addRoutes(*server);
    ServerRunner runner(*server);
    ASSERT_GT(runner.port(), 0);
    setCaFile(certs->certPath(QStringLiteral("main")));

    Log4Qt::Logger *logger = Log4Qt::LogManager::logger(QStringLiteral("tst_restclient"));
    logger->setLevel(Log4Qt::Level::DEBUG_INT);
    Log4Qt::ListAppender appender;
    logger->addAppender(&appender);

    RestClient client;
    client.setLogger(logger);
    client.setTimeout(5);
    client.setCertificatePath(certs->p12Path(QStringLiteral("client")));
    client.setCertificatePassword(P12Password);
    QUrl target = url(QStringLiteral("https"), QStringLiteral("localhost"), runner.port(),
                      QStringLiteral("/echo"));
    target.setUserName(QStringLiteral("operator"));
    target.setPassword(QStringLiteral("url-secret-321"));
    client.post(target, QByteArrayLiteral(R"({"secret":"body-secret-456"})"),
                {{QStringLiteral("Authorization"), QStringLiteral("Bearer auth-secret-123")},
                 {QStringLiteral("Content-Type"), QStringLiteral("application/json")}});
    ASSERT_EQ(client.getResponse().httpCode, 200);
    ASSERT_EQ(client.getResponse().json.value(QStringLiteral("secret")).toString(),
              QStringLiteral("body-secret-456"));

    client.setCertificatePassword(QStringLiteral("p12-wrong-secret"));
    // A fresh connection is needed to try the certificate again.
    client.get(url(QStringLiteral("https"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/object")),
               {{QStringLiteral("Authorization"), QStringLiteral("Bearer auth-secret-123")}});
    ASSERT_GT(client.getResponse().networkError, 0);

    logger->removeAppender(&appender);
    const QList<Log4Qt::LoggingEvent> lines = appender.list();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_THAT(lines.at(0).message.toStdString(), HasSubstr("POST"));
    EXPECT_THAT(lines.at(0).message.toStdString(), HasSubstr("https://localhost:"));
    EXPECT_THAT(lines.at(0).message.toStdString(), HasSubstr("200"));
    EXPECT_THAT(lines.at(1).message.toStdString(), HasSubstr("GET"));
    for (const Log4Qt::LoggingEvent &line : lines) {
        const std::string text = line.message.toStdString();
        EXPECT_EQ(line.level, Log4Qt::Level::DEBUG_INT);
        EXPECT_THAT(text, HasSubstr(" ms"));
        for (const char *secret : {"auth-secret-123", "body-secret-456", "url-secret-321",
                                   "operator", "p12-secret-789", "p12-wrong-secret"})
            EXPECT_THAT(text, Not(HasSubstr(secret)));
    }
}

TEST_F(RestClientTest, LoggedUrlKeepsItsPercentEscapes)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    LogCapture log;
    RestClient client;
    client.setLogger(log.logger());
    client.setTimeout(5);
    client.get(QUrl::fromEncoded(QStringLiteral("http://127.0.0.1:%1/describe?q=a%3Db%2Fc%2520")
                                     .arg(runner.port())
                                     .toLatin1()),
               {});

    ASSERT_EQ(client.getResponse().httpCode, 200);
    EXPECT_THAT(log.text(), HasSubstr("/describe?q=a%3Db%2Fc%2520 -> HTTP 200, "));
    EXPECT_THAT(log.text(), testing::EndsWith(" ms\n"));
}

TEST_F(RestClientTest, NoLoggerMeansNoLines)
{
    httplib::Server server;
    addRoutes(server);
    ServerRunner runner(server);
    ASSERT_GT(runner.port(), 0);

    Log4Qt::ListAppender appender;
    Log4Qt::LogManager::rootLogger()->addAppender(&appender);
    RestClient client;
    client.setTimeout(5);
    client.get(url(QStringLiteral("http"), QStringLiteral("127.0.0.1"), runner.port(),
                   QStringLiteral("/object")),
               {});
    Log4Qt::LogManager::rootLogger()->removeAppender(&appender);

    EXPECT_EQ(client.getResponse().httpCode, 200);
    EXPECT_TRUE(appender.list().isEmpty());
}

} // namespace
