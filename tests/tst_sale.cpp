#include "e2efixture.h"
#include "lockedqueue.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <config.h>
#include <dbqueuebroker.h>
#include <singleton.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

namespace {

int infoRequests(const sandbox::Sandbox &sandbox)
{
    int count = 0;
    const auto requests = sandbox.requests();
    for (const sandbox::Sandbox::RecordedRequest &request : requests) {
        if (request.method == QLatin1String("GET") && request.path.endsWith(QLatin1String("/info")))
            ++count;
    }
    return count;
}

class SaleTest : public E2EFixture
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setReceipt(2000);
        addItem(1, 1, 1500);
        addItem(2, 2, 500);
    }
};

// A sale on another thread that a test returning early still ends: the faults are cleared and
// the cashier presses cancel until the sale is over, so that a failed assertion fails fast.
class RunningSale
{
public:
    RunningSale(BasicPaymentProcessing *processing, sandbox::Sandbox *sandbox,
                const PaymentProcessingRequest &request)
        : m_processing(processing), m_sandbox(sandbox),
          m_sale(std::async(std::launch::async,
                            [processing, request] { return processing->payment(request); }))
    {}

    ~RunningSale()
    {
        if (!m_sale.valid())
            return;
        m_sandbox->clearFaults();
        for (int i = 0;
             i < 20 && m_sale.wait_for(std::chrono::milliseconds(500)) != std::future_status::ready;
             ++i)
            m_processing->interruptPayment();
    }

    bool endsWithin(int seconds)
    {
        return m_sale.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
    }
    PaymentProcessingAnswer answer() { return m_sale.get(); }

private:
    BasicPaymentProcessing *m_processing;
    sandbox::Sandbox *m_sandbox;
    std::future<PaymentProcessingAnswer> m_sale;
};

QString createdOrderId(const sandbox::Sandbox &sandbox)
{
    const auto requests = sandbox.requests();
    return requests.isEmpty() ? QString()
                              : requests.first().headers.value(QStringLiteral("x-correlation-id"));
}

bool sent(const sandbox::Sandbox &sandbox, const QString &suffix)
{
    const auto requests = sandbox.requests();
    return std::any_of(
        requests.cbegin(), requests.cend(),
        [&](const sandbox::Sandbox::RecordedRequest &r) { return r.path.endsWith(suffix); });
}

struct OutcomeCase
{
    const char *name;
    const char *code;
    int status;
    const char *messageKey;
    const char *orderStatus;
    bool polled;
    // The order's states the wait showed beside the plug-in's text, in order.
    const char *statesShown;
};

// The keys of the state reports among the progress texts, as "Created Scoring ...".
QString statesShown(const QList<tr::Tr> &texts)
{
    QStringList states;
    for (const tr::Tr &text : texts) {
        if (text.key() == QLatin1String("velmorProgressOrderState"))
            states.append(text.args().value(0).key().remove(QStringLiteral("velmorOrderState")));
    }
    return states.join(QLatin1Char(' '));
}

class SaleOutcomeTest : public SaleTest, public testing::WithParamInterface<OutcomeCase>
{
};

TEST_P(SaleOutcomeTest, AnswerFollowsTheOrder)
{
    const OutcomeCase &c = GetParam();
    const PaymentProcessingAnswer answer = processing()->payment(saleRequest(200000, c.code));

    EXPECT_EQ(int(answer.getStatus()), c.status) << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(answer.getMessage().key(), QString::fromUtf8(c.messageKey));
    EXPECT_EQ(answer.getPaymentMethod(), EPaymentMethod(2));
    EXPECT_EQ(answer.getRRN().size(), 36);
    EXPECT_EQ(sandbox->order(answer.getRRN()).value(QStringLiteral("status")).toString(),
              QString::fromUtf8(c.orderStatus));
    EXPECT_EQ(infoRequests(*sandbox) > 0, c.polled);
    EXPECT_EQ(progress.values.value(0), 45);
    // Each state once, as the polls found it; the approved progress comes after its state.
    EXPECT_EQ(statesShown(progress.texts), QString::fromUtf8(c.statesShown));
    if (QString::fromUtf8(c.statesShown).endsWith(QLatin1String("Approved"))) {
        EXPECT_EQ(progress.texts.last().key(), QStringLiteral("velmorProgressApprovedMessage"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SaleOutcomeTest,
    // clang-format off
    testing::Values(
        OutcomeCase{"Completed", sandbox::Sandbox::CodeApprove, 0, "", "completed", true, "Created Scoring Approved"},
        OutcomeCase{"Rejected", sandbox::Sandbox::CodeReject, 1, "velmorRejected", "rejected", true, "Created Scoring"},
        OutcomeCase{"CancelledByService", sandbox::Sandbox::CodeServiceCancel, 2, "", "canceled", true, "Created Scoring"},
        OutcomeCase{"CreateTimedOutThenPolled", sandbox::Sandbox::CodeSlowCreate, 0, "", "completed", true, "Created Scoring Approved"},
        OutcomeCase{"ErrorObjectNoPolling", sandbox::Sandbox::CodeError, 1, "velmorClientRejected", "", false, ""}),
    // clang-format on
    [](const testing::TestParamInfo<OutcomeCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(SaleTest, TransportFailureIsNotPolled)
{
    sandbox->stop();
    QElapsedTimer timer;
    timer.start();
    const PaymentProcessingAnswer answer =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeApprove));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_FALSE(answer.getMessage().isEmpty());
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(sandbox->requests().size(), 0);
}

TEST_F(SaleTest, InterruptionFromAnotherThreadCancelsTheOrder)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    processing()->init();

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodeHold));
    // Interrupt once the order is being polled.
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    EXPECT_TRUE(processing()->interruptPayment());

    ASSERT_TRUE(sale.endsWithin(10));
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_EQ(sandbox->order(answer.getRRN()).value(QStringLiteral("status")).toString(),
              QStringLiteral("canceled"));
    EXPECT_TRUE(logContains(QStringLiteral("INFO Заказ отменен")));
}

// Once the cashier has pressed cancel, no poll goes out before the cancellation, and the sale
// ends with the cancellation's exchange rather than after the next poll.
TEST_F(SaleTest, InterruptionEndsTheSaleWithTheCancellation)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("30"));
    processing()->init();

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodeHold));
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(processing()->interruptPayment());
    ASSERT_TRUE(sale.endsWithin(10));
    EXPECT_LT(timer.elapsed(), 10000);
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_EQ(answer.getRRN().size(), 36);
    EXPECT_TRUE(sandbox->requests().last().path.endsWith(QLatin1String("/cancel")));
}

// The cashier's cancellation does not wait for a status poll that hangs: it leaves on a
// transport of its own, and the poll's answer, whenever it comes, is dropped.
TEST_F(SaleTest, InterruptionBehindAHungPollLeavesAtOnce)
{
    setConfig(QStringLiteral("Velmor:timeout"), QStringLiteral("8"));
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    processing()->init();

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodeHold));
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::NoAnswer);
    // The next poll is out and hangs.
    ASSERT_TRUE(sandbox->waitForRequests(3, 10000));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(processing()->interruptPayment());
    // Well inside the hung poll's timeout of 8 s (the benchmark measures the real figure).
    EXPECT_LT(timer.elapsed(), 4000);
    ASSERT_TRUE(sale.endsWithin(15));
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_EQ(sandbox->order(answer.getRRN()).value(QStringLiteral("status")).toString(),
              QStringLiteral("canceled"));
}

// The cashier presses cancel just as the buyer pays: the refused cancellation asks the order's
// state, and the sale ends paid with nothing queued.
TEST_F(SaleTest, InterruptionOfAPaidOrderEndsThePaidSale)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("30"));
    processing()->init();

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodeHold));
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    const QString orderId = createdOrderId(*sandbox);
    sandbox->setOrderStatus(orderId, QStringLiteral("completed"));
    EXPECT_FALSE(processing()->interruptPayment());
    ASSERT_TRUE(sale.endsWithin(10));
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_EQ(answer.getRRN(), orderId);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));

    // Pressed once the sale is over (a host's button racing the answer), cancel has no order:
    // the paid one the host received is left alone.
    const int exchanges = sandbox->requests().size();
    EXPECT_FALSE(processing()->interruptPayment());
    EXPECT_EQ(sandbox->requests().size(), exchanges);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
}

// A cancellation neither confirmed nor stored is no cancellation: the sale goes on, whatever
// error the next poll hears, and the cashier can press cancel again.
TEST_F(SaleTest, InterruptionNeitherConfirmedNorStoredLetsTheSaleGoOn)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    processing()->init();

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodeHold));
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    const QString orderId = createdOrderId(*sandbox);
    {
        const LockedQueue lock(queuePath());
        ASSERT_TRUE(lock.isLocked());
        sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::Drop);
        sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::ErrorObject);
        EXPECT_FALSE(processing()->interruptPayment());
        const int polls = infoRequests(*sandbox);
        ASSERT_TRUE(sandbox->waitForRequests(sandbox->requests().size() + 2, 10000));
        EXPECT_GT(infoRequests(*sandbox), polls);
        EXPECT_FALSE(sale.endsWithin(0));
    }
    sandbox->clearFaults();
    EXPECT_TRUE(processing()->interruptPayment());
    ASSERT_TRUE(sale.endsWithin(10));
    EXPECT_EQ(sale.answer().getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("status")).toString(),
              QStringLiteral("canceled"));
}

// A create that something answered without the service taking it: the polls hear
// "order_not_found" for 30 seconds, then the sale fails and a cancellation waits in the queue
// in case the create still arrives.
TEST_F(SaleTest, OrderTheServiceNeverGotEndsTheSale)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    processing()->init();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::Gateway504);

    RunningSale sale(processing(), sandbox.get(),
                     saleRequest(200000, sandbox::Sandbox::CodeApprove));
    ASSERT_TRUE(sale.endsWithin(60));
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorOrderNeverArrived"));
    EXPECT_GE(infoRequests(*sandbox), 3);
    EXPECT_TRUE(sent(*sandbox, QStringLiteral("/cancel")));
    ASSERT_EQ(Singleton<DBQueueBroker>::instance->pendingMessages().size(), 1);
    // The create may still arrive late: the replay keeps the cancellation for it.
    EXPECT_EQ(replayQueue(), 0);
    EXPECT_EQ(Singleton<DBQueueBroker>::instance->pendingMessages().size(), 1);
}

// The buyer pays as the cashier presses cancel: the poll out at that moment answers
// "completed", the cancellation gets no answer. The sale is paid, and no cancellation may wait
// in the queue to refund it behind the cashier's back.
TEST_F(SaleTest, PaidWhileTheCashiersCancelHangsEndsPaidWithNothingQueued)
{
    setConfig(QStringLiteral("Velmor:timeout"), QStringLiteral("3"));
    processing()->init();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Delay, 1500);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::NoAnswer);

    RunningSale sale(processing(), sandbox.get(), saleRequest(200000, sandbox::Sandbox::CodePaid));
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    const QString orderId = createdOrderId(*sandbox);
    EXPECT_FALSE(processing()->interruptPayment());
    ASSERT_TRUE(sale.endsWithin(10));
    const PaymentProcessingAnswer answer = sale.answer();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_EQ(answer.getRRN(), orderId);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
}

// A receipt whose status answers the transport could not read is refused before anything is
// sent, instead of polling "status unknown" for good.
TEST_F(SaleTest, ReceiptTooLargeToReadBackSendsNothing)
{
    document->setGoodsItems({});
    const int positions = 20000;
    setReceipt(positions);
    for (int posnum = 1; posnum <= positions; ++posnum)
        addItem(posnum, 1, 1);
    const PaymentProcessingAnswer answer =
        processing()->payment(saleRequest(positions * 100, sandbox::Sandbox::CodeApprove));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorReceiptTooLarge"));
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

TEST_F(SaleTest, ExactBodyWithPrepaidAmountAndRounding)
{
    document->setGoodsItems({});
    setReceipt(249.99, 120);
    addItem(7, 3, 100);     // covered in full by the prepaid amount
    addItem(8, 0.5, 49.99); // covered by the 20 roubles left: (49.99 - 20) / 0.5
    addItem(9, 1, 100);
    const PaymentProcessingAnswer answer =
        processing()->payment(saleRequest(30000, sandbox::Sandbox::CodeApprove));
    ASSERT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);

    const sandbox::Sandbox::RecordedRequest create = sandbox->requests().value(0);
    EXPECT_EQ(create.path, QStringLiteral("/merchant/create_offline"));
    EXPECT_EQ(create.headers.value(QStringLiteral("x-correlation-id")), answer.getRRN());
    EXPECT_EQ(create.headers.value(QStringLiteral("authorization")),
              QStringLiteral("Basic bWVyY2hhbnQ6c2VjcmV0"));
    const QByteArray expected =
        QStringLiteral(
            R"({"clientInfo":{"id":"VELMOR-APPROVE"},"order":{"amount":249.99,"id":"%1",)"
            R"("isTwoStagePayment":false,"items":[)"
            R"({"amount":0,"article":"ART-7","id":"7","name":"Товар 7","quantity":3},)"
            R"({"amount":59.98,"article":"ART-8","id":"8","name":"Товар 8","quantity":0.5},)"
            R"({"amount":100,"article":"ART-9","id":"9","name":"Товар 9","quantity":1}],)"
            R"("prepaidAmount":120}})")
            .arg(answer.getRRN())
            .toUtf8();
    EXPECT_EQ(create.body, expected);
}

// A sale or a refund whose till could die without a trace is not made: a journal that cannot be
// written refuses them before anything is sent.
TEST_F(SaleTest, UnusableJournalRefusesSalesAndRefundsSendingNothing)
{
    const QString journal = tempDir.filePath(QStringLiteral("missing/journal.sqlite"));
    setConfig(QStringLiteral("Velmor:journal"), journal);
    processing()->init();
    const PaymentProcessingAnswer sale =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeApprove));
    EXPECT_EQ(sale.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(sale.getMessage().key(), QStringLiteral("velmorJournalUnusable"));
    EXPECT_TRUE(sale.getMessage().ru().contains(journal));
    const PaymentProcessingAnswer refund =
        processing()->payment(refundRequest(QStringLiteral("o"), 100));
    EXPECT_EQ(refund.getMessage().key(), QStringLiteral("velmorJournalUnusable"));
    EXPECT_TRUE(sandbox->requests().isEmpty());
    EXPECT_TRUE(logContains(QStringLiteral("ERROR Журнал операций ") + journal));
}

// Each sale a till left unanswered costs its host's start a durable queue write: a start hands
// over a bounded share and sends nothing, and the replay that the first of them starts takes
// the rest, so that no entry stays open.
TEST_F(SaleTest, StartHandsOverABoundedShareOfDeadSalesAndTheReplayTheRest)
{
    // More than a start takes: 20 today.
    const int dead = 30;
    const QString path = tempDir.filePath(QStringLiteral("ended.sqlite"));
    for (int i = 0; i < dead; ++i) {
        // A till that ended mid-sale: its process is gone, its sale open in the journal.
        QProcess till;
        till.start(QStringLiteral(VELMOR_JOURNAL_WRITER),
                   {path, QStringLiteral("ended-%1").arg(i), QStringLiteral("close")});
        ASSERT_TRUE(till.waitForFinished(20000));
        ASSERT_EQ(till.exitCode(), 0) << till.readAllStandardError().constData();
    }
    setConfig(QStringLiteral("Velmor:journal"), path);
    processing()->init();
    DBQueueBroker *queue = Singleton<DBQueueBroker>::instance;
    const int atStart = queue->pendingMessages().size();
    EXPECT_GT(atStart, 0);
    EXPECT_LT(atStart, dead);
    EXPECT_TRUE(sandbox->requests().isEmpty());

    // The service knows none of them: the one offered stays queued, and the rest join it.
    const QueuedMessage first = queue->pendingMessages().first();
    EXPECT_FALSE(processing()->sendEnqueuedMessage(first.message.toVariantMap()));
    EXPECT_EQ(queue->pendingMessages().size(), dead);
    processing()->init();
    EXPECT_EQ(queue->pendingMessages().size(), dead);
}

TEST_F(SaleTest, SaleWithoutReceiptSendsNothing)
{
    removeReceipt();
    const PaymentProcessingAnswer answer =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeApprove));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorNoDocument"));
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

TEST_F(SaleTest, TwoSalesUseTwoOrders)
{
    const QString first = completedSale(200000);
    const QString second = completedSale(200000);
    EXPECT_NE(first, second);
    EXPECT_EQ(sandbox->order(second).value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
}

} // namespace
