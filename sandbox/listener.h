#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace sandbox {

// The service's HTTP(S) server: binds the port, serves every request on a pool of workers
// through one handler, and stops. Not thread-safe: Sandbox starts and stops it under its own
// lock; port() may be read from any thread.
class Listener
{
public:
    struct Setup
    {
        QString host;
        int port = 0; // 0: an ephemeral port, the one bound before when there was one
        // PEM files; an empty certificate serves plain HTTP.
        QString certificateFile;
        QString privateKeyFile;
        QString clientCaFile;
        bool keepAlive = false;
    };
    using Handler = std::function<void(const httplib::Request &, httplib::Response &)>;

    Listener();
    ~Listener();

    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Binds and serves on background threads; false when the port cannot be bound or the
    // certificate cannot be loaded.
    bool start(const Setup &setup, const Handler &handler);
    // Waits for the requests being served to end; a held request must be released first.
    void stop();
    bool isStarted() const { return m_server != nullptr; }
    bool isRunning() const;
    int port() const { return m_port.load(); }

private:
    std::unique_ptr<httplib::Server> m_server;
    bool m_keepAlive = false;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{false};
    std::atomic<int> m_port{0};
};

} // namespace sandbox
