#pragma once

#include <QSharedPointer>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

class RestClient;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The transports the service client's exchanges go through, and which thread's exchange goes
// through which.
//
// Threads
// - The operation thread runs what the host asks for: a sale (its create, then a status poll
//   every interval until the order ends), a refund, the replay of a queued message, the
//   connection test. It configures the router (init) before any other thread uses it.
// - The cancelling thread is the host's, calling the cashier's cancellation (interruptPayment)
//   while the operation thread's sale waits. When it finds a poll out, which may hang until the
//   transport's timeout, it holds a Spare, and its exchanges go through a transport of their
//   own, so that the cancellation leaves at once instead of after that poll.
//
// Locks, and what each guards
// - The exchange lock: the client's own transport from a request to the reading of its answer,
//   so that no other thread's exchange comes between the two. An Exchange on the client's own
//   transport holds it for its life; one on the spare transport takes no lock, since the spare
//   is its thread's alone.
// - The spare lock: the spare transport and the thread routed to it. A Spare holds it for its
//   life, so that one thread at a time has the spare.
// - Outside the router, the client's state lock (Interface: the order id and the request in
//   hand, which the cancelling thread reads) and the cancellation gate's lock
//   (CancellationGate: what the sale and the cancellation know of each other).
//
// Order: a thread takes the spare lock first, and then no exchange lock, since its exchanges
// go through the spare; the exchange lock before the client's state lock (an answer is decoded
// under the exchange lock with the id in hand); the transport's own lock and the queue's last.
// The gate's lock is held only inside CancellationGate's calls, which take no other. The
// cancelling thread waits on the gate (for the create, or for a poll still out) holding no
// lock but the spare, which the operation thread never takes; the operation thread waits on
// it holding none.
class TransportRouter
{
public:
    // What every transport the router hands out is given.
    struct Settings
    {
        Log4Qt::Logger *logger = nullptr;
        int timeout = 60;
        QString certificatePath;
        QString certificatePassword;
    };

    // The client's own transport comes from the factory (MockFactory<RestClient>) here; until
    // configure(), a spare gets only `logger` and the default settings.
    explicit TransportRouter(Log4Qt::Logger *logger);
    ~TransportRouter();

    TransportRouter(const TransportRouter &) = delete;
    TransportRouter &operator=(const TransportRouter &) = delete;

    // Gives the client's own transport these settings, and every spare taken from now on.
    // Operation thread only, before the cancelling thread may run.
    void configure(const Settings &settings);

    // One exchange of the calling thread, from its request to the reading of its answer: the
    // transport it goes through and, on the client's own transport, the exchange lock.
    class Exchange
    {
    public:
        RestClient *operator->() const { return m_transport; }

    private:
        friend class TransportRouter;
        Exchange(RestClient *transport, std::unique_lock<std::mutex> lock);

        RestClient *m_transport;
        std::unique_lock<std::mutex> m_lock;
    };
    Exchange exchange() const;

    // The transport the calling thread's exchanges go through, whose last answer (kept for
    // each thread by the transport) is that thread's. Read it inside an Exchange.
    RestClient *current() const;

    // For its life, the calling thread's exchanges go through a transport of their own from
    // the factory, configured as the client's; other threads keep the client's own. A second
    // Spare, from any thread, waits until this one is gone.
    class Spare
    {
    public:
        explicit Spare(TransportRouter &router);
        ~Spare();

        Spare(const Spare &) = delete;
        Spare &operator=(const Spare &) = delete;

    private:
        TransportRouter &m_router;
        std::lock_guard<std::mutex> m_use;
    };

private:
    void apply(RestClient &transport) const;

    const QSharedPointer<RestClient> m_own;
    Settings m_settings;
    mutable std::mutex m_exchangeMutex;
    std::mutex m_spareMutex;
    // Set by the thread that holds the spare lock, before it stores its id in m_spareThread,
    // and read only by the thread whose id that is.
    QSharedPointer<RestClient> m_spare;
    std::atomic<std::thread::id> m_spareThread{};
};

} // namespace velmor
