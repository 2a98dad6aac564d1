// The router between the service client's transports, and the cashier's cancellation that
// leaves on a transport of its own while the sale's poll hangs: every case runs more than one
// thread, and all of them run under ThreadSanitizer too.

#include "faketransport.h"
#include "hostfixture.h"

#include <dbqueuebroker.h>
#include <mockfactory.h>
#include <singleton.h>
#include <velmor/interface.h>
#include <velmor/transportrouter.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

using velmor::RequestResult;
using velmor::TransportRouter;

namespace {

constexpr std::chrono::seconds Patience(10);

// A prepared transport whose exchanges can be held: one that starts while it is held has sent
// its request and stays in the transport, as a poll does that waits for an answer that does
// not come, until release(). It counts how many exchanges were inside it at once.
class HoldingTransport : public FakeTransport
{
public:
    void get(const QUrl &url, const QHash<QString, QString> &headers) override
    {
        FakeTransport::get(url, headers);
        stay(QStringLiteral("GET"));
    }
    void post(const QUrl &url, const QByteArray &body,
              const QHash<QString, QString> &headers) override
    {
        FakeTransport::post(url, body, headers);
        stay(QStringLiteral("POST"));
    }

    // Holds the exchanges of `method` from now on; every one when it is empty.
    void hold(const QString &method = QString())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holding = true;
        m_heldMethod = method;
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_holding = false;
        }
        m_changed.notify_all();
    }
    // Whether an exchange is held inside within the patience.
    bool waitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, Patience, [this] { return m_held > 0; });
    }
    int mostAtOnce() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_mostAtOnce;
    }

private:
    void stay(const QString &method)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_inside;
        m_mostAtOnce = std::max(m_mostAtOnce, m_inside);
        if (m_holding && (m_heldMethod.isEmpty() || m_heldMethod == method)) {
            ++m_held;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_holding; });
            --m_held;
        }
        --m_inside;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    QString m_heldMethod;
    int m_held = 0;
    int m_inside = 0;
    int m_mostAtOnce = 0;
};

// The factory hands out the client's own transport first, then a spare for each cancellation
// that takes one, and counts what it made.
class TransportFactory
{
public:
    TransportFactory()
    {
        MockFactory<RestClient>::creator = [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_made;
            if (m_made == 1)
                return own.staticCast<RestClient>();
            spares.append(QSharedPointer<HoldingTransport>::create());
            spares.last()->enqueueJson(200, R"({"status":"CANCELLED"})");
            return spares.last().staticCast<RestClient>();
        };
    }
    ~TransportFactory()
    {
        MockFactory<RestClient>::creator = [] { return MockFactory<RestClient>::defaultCreator(); };
    }

    int made() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_made;
    }
    QSharedPointer<HoldingTransport> spare(int index) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return spares.value(index);
    }

    const QSharedPointer<HoldingTransport> own = QSharedPointer<HoldingTransport>::create();

private:
    mutable std::mutex m_mutex;
    int m_made = 0;
    QList<QSharedPointer<HoldingTransport>> spares;
};

const QUrl PollUrl(QStringLiteral("http://127.0.0.1:9/merchant/o/info"));
const QUrl CancelUrl(QStringLiteral("http://127.0.0.1:9/merchant/o/cancel"));

// One GET through the calling thread's transport, as a status poll goes.
RestResponse poll(const TransportRouter &router)
{
    const TransportRouter::Exchange exchange = router.exchange();
    exchange->get(PollUrl, {});
    return exchange->getResponse();
}

class TransportRouterTest : public testing::Test
{
protected:
    TransportFactory factory;
    TransportRouter router{nullptr};
};

TEST_F(TransportRouterTest, TheCancellationLeavesOnTheSpareWhileAPollHangs)
{
    factory.own->enqueueJson(200, R"({"order":{"status":"scoring"}})");
    factory.own->hold();
    std::future<RestResponse> hung =
        std::async(std::launch::async, [this] { return poll(router); });
    ASSERT_TRUE(factory.own->waitUntilHeld());

    std::future<RestResponse> cancellation = std::async(std::launch::async, [this] {
        const TransportRouter::Spare spare(router);
        const TransportRouter::Exchange exchange = router.exchange();
        exchange->post(CancelUrl, "{}", {});
        return exchange->getResponse();
    });
    const bool leftAtOnce = cancellation.wait_for(Patience) == std::future_status::ready;
    factory.own->release();
    ASSERT_TRUE(leftAtOnce) << "the cancellation waited for the hung poll";

    EXPECT_EQ(cancellation.get().json.value(QStringLiteral("status")).toString(),
              QStringLiteral("CANCELLED"));
    ASSERT_EQ(factory.made(), 2);
    ASSERT_EQ(factory.spare(0)->exchanges().size(), 1);
    EXPECT_EQ(factory.spare(0)->exchanges().first().url, CancelUrl);
    ASSERT_EQ(hung.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(hung.get().httpCode, 200);
    ASSERT_EQ(factory.own->exchanges().size(), 1);
    EXPECT_EQ(factory.own->exchanges().first().url, PollUrl);
}

TEST_F(TransportRouterTest, OnlyTheThreadHoldingTheSpareGoesThroughIt)
{
    std::promise<void> taken;
    std::promise<void> done;
    std::future<RestClient *> cancelling =
        std::async(std::launch::async, [this, &taken, doneFuture = done.get_future()] {
            const TransportRouter::Spare spare(router);
            RestClient *const routed = router.current();
            taken.set_value();
            doneFuture.wait_for(Patience);
            return routed;
        });
    ASSERT_EQ(taken.get_future().wait_for(Patience), std::future_status::ready);

    // Meanwhile this thread's exchanges keep the client's own transport.
    EXPECT_EQ(router.current(), factory.own.data());
    poll(router);
    done.set_value();
    RestClient *const routed = cancelling.get();

    ASSERT_EQ(factory.made(), 2);
    EXPECT_EQ(routed, factory.spare(0).data());
    EXPECT_EQ(factory.own->exchanges().size(), 1);
    EXPECT_TRUE(factory.spare(0)->exchanges().isEmpty());
    // Once the spare is gone, its thread is routed to the client's own again.
    EXPECT_EQ(std::async(std::launch::async, [this] { return router.current(); }).get(),
              factory.own.data());
}

TEST_F(TransportRouterTest, OneSpareAtATimeEachFreshFromTheFactory)
{
    std::promise<void> firstTaken;
    std::promise<void> firstDone;
    std::future<void> first =
        std::async(std::launch::async, [this, &firstTaken, done = firstDone.get_future()] {
            const TransportRouter::Spare spare(router);
            firstTaken.set_value();
            done.wait_for(Patience);
        });
    ASSERT_EQ(firstTaken.get_future().wait_for(Patience), std::future_status::ready);

    std::atomic_bool secondTaken{false};
    std::future<RestClient *> second = std::async(std::launch::async, [this, &secondTaken] {
        const TransportRouter::Spare spare(router);
        secondTaken = true;
        return router.current();
    });
    // A second spare would be made at once; it waits for the first to go.
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_FALSE(secondTaken);
    EXPECT_EQ(factory.made(), 2);
    firstDone.set_value();
    first.get();

    ASSERT_EQ(second.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(second.get(), factory.spare(1).data());
    EXPECT_EQ(factory.made(), 3);
}

TEST_F(TransportRouterTest, ExchangesOnTheClientsOwnTransportTakeTurns)
{
    factory.own->hold();
    std::future<RestResponse> first =
        std::async(std::launch::async, [this] { return poll(router); });
    ASSERT_TRUE(factory.own->waitUntilHeld());
    std::future<RestResponse> second =
        std::async(std::launch::async, [this] { return poll(router); });
    // Without the exchange lock the second poll would be inside the transport by now.
    const bool secondWaited =
        second.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout;
    factory.own->release();
    EXPECT_TRUE(secondWaited);

    ASSERT_EQ(first.wait_for(Patience), std::future_status::ready);
    ASSERT_EQ(second.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(factory.own->exchanges().size(), 2);
    EXPECT_EQ(factory.own->mostAtOnce(), 1);
}

// The same through the client: a sale whose poll hangs, and the cashier's cancellation from
// another thread.

class TestClient : public velmor::Interface
{
public:
    QString createId() const override { return QStringLiteral("o"); }
};

class SaleCancellationTest : public HostFixture
{
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        client = std::make_unique<TestClient>();
        setConfig(QStringLiteral("Velmor:url"), QStringLiteral("http://127.0.0.1:9/merchant/"));
        setReceipt(10);
    }

    void TearDown() override
    {
        client.reset();
        HostFixture::TearDown();
    }

    std::future<RequestResult> startSale()
    {
        client->init();
        return std::async(std::launch::async,
                          [this] { return client->createOffline(PaymentProcessingRequest()); });
    }

    // Waits until the sale has logged `line`.
    bool waitForLog(const QString &line) const
    {
        const auto deadline = std::chrono::steady_clock::now() + Patience;
        while (!logContains(line)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    TransportFactory factory;
    std::unique_ptr<TestClient> client;
};

TEST_F(SaleCancellationTest, TheCashiersCancelLeavesWhileThePollHangsAndEndsTheSale)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    factory.own->enqueueJson(200, R"({"order":{"status":"approved"}})");
    factory.own->enqueueJson(200, R"({"order":{"status":"completed"}})");
    // The create is answered; the first poll hangs.
    factory.own->hold(QStringLiteral("GET"));
    std::future<RequestResult> sale = startSale();
    ASSERT_TRUE(factory.own->waitUntilHeld());

    std::future<RequestResult> cancellation =
        std::async(std::launch::async, [this] { return client->cancel(false); });
    const bool leftAtOnce = cancellation.wait_for(Patience) == std::future_status::ready;
    factory.own->release();
    ASSERT_TRUE(leftAtOnce) << "the cancellation waited for the hung poll";
    EXPECT_EQ(cancellation.get().orderStatus, velmor::Canceled);

    ASSERT_EQ(factory.made(), 2);
    ASSERT_EQ(factory.spare(0)->exchanges().size(), 1);
    EXPECT_EQ(factory.spare(0)->exchanges().first().url, CancelUrl);
    EXPECT_EQ(factory.spare(0)->exchanges().first().method, QStringLiteral("POST"));
    // The hung poll's answer (the order paid) comes after the cancellation decided the sale.
    ASSERT_EQ(sale.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(sale.get().orderStatus, velmor::Canceled);
    EXPECT_EQ(factory.own->exchanges().size(), 2);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
}

TEST_F(SaleCancellationTest, WithNoPollOutTheCancelTakesTheClientsOwnTransport)
{
    // The wait sleeps half a minute after its first poll, unless a cancellation ends it.
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("30"));
    factory.own->enqueueJson(200, R"({"order":{"status":"approved"}})");
    factory.own->enqueueJson(200, R"({"order":{"status":"approved"}})");
    factory.own->enqueueJson(200, R"({"status":"CANCELLED"})");
    std::future<RequestResult> sale = startSale();
    // Logged once the first poll is back.
    ASSERT_TRUE(waitForLog(QStringLiteral("INFO Заявка одобрена, ожидание первого платежа")));

    EXPECT_EQ(client->cancel(false).orderStatus, velmor::Canceled);
    ASSERT_EQ(sale.wait_for(Patience), std::future_status::ready);
    EXPECT_EQ(sale.get().orderStatus, velmor::Canceled);
    EXPECT_EQ(factory.made(), 1);
    ASSERT_EQ(factory.own->exchanges().size(), 3);
    EXPECT_EQ(factory.own->exchanges().last().url, CancelUrl);
}

} // namespace
