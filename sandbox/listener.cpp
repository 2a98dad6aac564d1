#include "listener.h"

#include "socketscan.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

namespace sandbox {

namespace {

// Enough workers that requests held by NoAnswer, Delay or Trickle leave others served.
constexpr size_t WorkerThreads = 16;

// With keep-alive on: long enough to carry a client polling every second from one poll to the
// next, short enough that an abandoned connection soon gives its worker back.
constexpr size_t KeepAliveMaxRequests = 1000;
constexpr time_t KeepAliveTimeoutSeconds = 2;

} // namespace

Listener::Listener() = default;

Listener::~Listener()
{
    stop();
}

bool Listener::start(const Setup &setup, const Handler &handler)
{
    if (!setup.certificateFile.isEmpty()) {
        const QByteArray cert = setup.certificateFile.toLocal8Bit();
        const QByteArray key = setup.privateKeyFile.toLocal8Bit();
        const QByteArray ca = setup.clientCaFile.toLocal8Bit();
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
    m_keepAlive = setup.keepAlive;
    if (m_keepAlive) {
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

    // Every request reaches the handler, which routes it by its raw target.
    const std::string any = "[\\s\\S]*";
    m_server->Get(any, handler);
    m_server->Post(any, handler);
    m_server->Put(any, handler);
    m_server->Patch(any, handler);
    m_server->Delete(any, handler);
    m_server->Options(any, handler);

    const std::string host = setup.host.toStdString();
    const int previousPort = m_port.load();
    int bound = -1;
    if (setup.port > 0) {
        bound = m_server->bind_to_port(host, setup.port) ? setup.port : -1;
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

void Listener::stop()
{
    if (!m_server)
        return;
    m_server->stop();
    // An idle keep-alive connection holds its worker, and the pool's shutdown with it, until
    // the next request or the keep-alive timeout; ending its reading side releases it now.
    if (m_keepAlive)
        socketscan::shutdownAcceptedReads(m_port.load());
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

bool Listener::isRunning() const
{
    return m_server && m_server->is_running();
}

} // namespace sandbox
