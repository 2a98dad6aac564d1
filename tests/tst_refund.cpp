#include "e2efixture.h"
#include "lockedqueue.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <dbqueuebroker.h>
#include <singleton.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <future>

namespace {

QJsonObject parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QString statusOf(const sandbox::Sandbox &sandbox, const QString &orderId)
{
    return sandbox.order(orderId).value(QStringLiteral("status")).toString();
}

double refundedTotal(const sandbox::Sandbox &sandbox, const QString &orderId)
{
    double total = 0;
    const QJsonArray refunds = sandbox.order(orderId).value(QStringLiteral("refund")).toArray();
    for (const QJsonValue &refund : refunds)
        total += refund.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble();
    return total;
}

QList<QueuedMessage> queued()
{
    return Singleton<DBQueueBroker>::instance->pendingMessages();
}

// A receipt of two positions: 2 x 500 and 1 x 1000.
class RefundTest : public E2EFixture
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setReceipt(2000);
        addItem(1, 2, 1000);
        addItem(2, 1, 1000);
        orderId = completedSale(200000);
        ASSERT_EQ(statusOf(*sandbox, orderId), QStringLiteral("completed"));
        sandbox->clearRequests();
    }

    // The refund receipt: how many of each position go back.
    void refundReceipt(double first, double second)
    {
        document->setGoodsItems({});
        addItem(1, 2, 1000, first);
        addItem(2, 1, 1000, second);
    }

    QString orderId;
};

TEST_F(RefundTest, PartialRefundThenTheRest)
{
    refundReceipt(1, 0);
    PaymentProcessingAnswer answer = processing()->payment(refundRequest(orderId, 50000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 500.0);
    EXPECT_EQ(statusOf(*sandbox, orderId), QStringLiteral("completed"));

    const sandbox::Sandbox::RecordedRequest sent = sandbox->requests().value(0);
    EXPECT_EQ(sent.path, QStringLiteral("/merchant/%1/refund").arg(orderId));
    const QJsonObject refund =
        parse(sent.body)[QStringLiteral("order")].toObject()[QStringLiteral("refund")].toObject();
    EXPECT_EQ(refund[QStringLiteral("id")].toString(),
              sent.headers.value(QStringLiteral("x-correlation-id")));
    EXPECT_EQ(refund[QStringLiteral("initiator")].toString(), QStringLiteral("shop"));

    refundReceipt(1, 1);
    answer = processing()->payment(refundRequest(orderId, 150000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_EQ(statusOf(*sandbox, orderId), QStringLiteral("refunded"));
}

// Weighed goods go back exactly as they were sold: rounded to grams, not to hundredths, the
// sale of 0.333 kg would never read as fully returned, and 0.125 kg would go back as more than
// was bought.
TEST_F(E2EFixture, WeighedGoodsAreRefundedExactlyAsSold)
{
    setReceipt(1000);
    addItem(1, 0.333, 333);
    addItem(2, 0.125, 667);
    const QString paid = completedSale(100000);

    document->setGoodsItems({});
    addItem(1, 0.333, 333, 0.333);
    addItem(2, 0.125, 667, 0.125);
    const PaymentProcessingAnswer answer = processing()->payment(refundRequest(paid, 100000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(statusOf(*sandbox, paid), QStringLiteral("refunded"));

    const sandbox::Sandbox::RecordedRequest sent = sandbox->requests().last();
    EXPECT_TRUE(sent.body.contains(R"("refundedQuantity":0.333)")) << sent.body.constData();
    EXPECT_TRUE(sent.body.contains(R"("refundedQuantity":0.125)")) << sent.body.constData();
}

TEST_F(RefundTest, RefusedRefundIsReportedAndNotQueued)
{
    const PaymentProcessingAnswer answer =
        processing()->payment(refundRequest(QStringLiteral("no-such-order"), 100));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorOrderNotFound"));
    EXPECT_TRUE(queued().isEmpty());
}

TEST_F(RefundTest, ExceedingAfterAFullRefundCountsAsDone)
{
    refundReceipt(2, 1);
    ASSERT_EQ(processing()->payment(refundRequest(orderId, 200000)).getStatus(),
              PaymentProcessingAnswer::Success);

    // The cancellation inside the sale receipt returns the sale's quantities once more.
    const PaymentProcessingAnswer answer = processing()->cancel(refundRequest(orderId, 200000, 1));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::SuccessWithMessage);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorExceedingRefundedAmount"));
    EXPECT_TRUE(logContains(QStringLiteral("WARN Проверка суммы выполненных возвратов")));
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 2000.0);
}

TEST_F(RefundTest, ExceedingWithoutAFullRefundFails)
{
    refundReceipt(1, 0);
    ASSERT_EQ(processing()->payment(refundRequest(orderId, 50000)).getStatus(),
              PaymentProcessingAnswer::Success);
    refundReceipt(2, 0);
    const PaymentProcessingAnswer answer = processing()->payment(refundRequest(orderId, 100000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorExceedingRefundedAmount"));
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 500.0);
}

TEST_F(RefundTest, UnansweredRefundIsQueuedThenReplayedOnce)
{
    refundReceipt(1, 1);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const PaymentProcessingAnswer answer = processing()->payment(refundRequest(orderId, 150000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorCancelQueued"));
    EXPECT_TRUE(answer.getMessage().ru().endsWith(
        QStringLiteral(".\nОтмена будет выполнена после восстановления связи с сервером")));

    const QList<QueuedMessage> messages = queued();
    ASSERT_EQ(messages.size(), 1);
    const QJsonObject message = messages[0].message;
    EXPECT_EQ(message.keys(),
              (QStringList{QStringLiteral("orderId"), QStringLiteral("refund"),
                           QStringLiteral("request"), QStringLiteral("valutCode")}));
    EXPECT_EQ(message[QLatin1String("orderId")].toString(), orderId);
    EXPECT_EQ(message[QLatin1String("valutCode")].toInt(), 643);
    EXPECT_EQ(message[QLatin1String("request")].toObject()[QLatin1String("rrn")].toString(),
              orderId);
    EXPECT_EQ(message[QLatin1String("request")].toObject()[QLatin1String("requestType")].toInt(),
              3);
    // The stored body is the one the failed exchange sent, refund id included.
    EXPECT_EQ(message[QLatin1String("refund")].toObject(),
              parse(sandbox->requests().value(0).body));
    EXPECT_EQ(message[QLatin1String("refund")]
                  .toObject()[QLatin1String("order")]
                  .toObject()[QLatin1String("refund")]
                  .toObject()[QLatin1String("items")],
              parse(R"({"i":[{"id":"1","refundedQuantity":1},{"id":"2","refundedQuantity":1}]})")
                  [QLatin1String("i")]);

    sandbox->clearFaults();
    EXPECT_EQ(replayQueue(), 1);
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 1500.0);
}

TEST_F(RefundTest, RefundWhoseAnswerWasLostIsRefundedOnce)
{
    refundReceipt(1, 0);
    // The service refunds, but its answer comes after the client gave up.
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Delay, 2000);
    const PaymentProcessingAnswer answer = processing()->payment(refundRequest(orderId, 50000));
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorCancelQueued"));
    ASSERT_EQ(queued().size(), 1);
    ASSERT_TRUE(sandbox->waitForRequests(1, 5000));

    sandbox->clearFaults();
    // The service carries the refund out although its answer comes too late.
    QElapsedTimer timer;
    timer.start();
    while (refundedTotal(*sandbox, orderId) == 0.0 && timer.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_EQ(refundedTotal(*sandbox, orderId), 500.0);
    EXPECT_EQ(replayQueue(), 1);
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 500.0);
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("refund")).toArray().size(), 1);
}

// Offline, a part of the sale is refunded and then the whole payment is cancelled: the replay
// makes the partial refund, and the cancellation returns what is left of each position rather
// than being dropped as "exceeding".
TEST_F(RefundTest, QueuedWholeCancellationAfterAPartialRefundReturnsTheRest)
{
    sandbox->stop();
    refundReceipt(1, 0);
    ASSERT_EQ(processing()->payment(refundRequest(orderId, 50000)).getMessage().key(),
              QStringLiteral("velmorCancelQueued"));
    ASSERT_EQ(processing()->cancel(refundRequest(orderId, 200000, 1)).getStatus(),
              PaymentProcessingAnswer::SuccessWithMessage);
    ASSERT_EQ(queued().size(), 2);
    ASSERT_TRUE(sandbox->start());

    EXPECT_EQ(replayQueue(), 2);
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_EQ(statusOf(*sandbox, orderId), QStringLiteral("refunded"));
    EXPECT_EQ(refundedTotal(*sandbox, orderId), 2000.0);
    // Once refunded in full, a replay of the same cancellation finds nothing left to do.
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("refund")).toArray().size(), 2);
}

struct UnstoredCase
{
    const char *name;
    sandbox::Sandbox::Fault fault; // None: the service is down
    bool hostCancel; // the cancellation inside the sale receipt rather than a refund receipt
    bool unknown;    // the service may have carried it out
};

class UnstoredRefundTest : public RefundTest, public testing::WithParamInterface<UnstoredCase>
{
};

// A refund or cancellation that got no usable answer and that the queue could not store may
// have been carried out: the answer says so, names the order, and is no plain failure to
// repeat.
TEST_P(UnstoredRefundTest, OutcomeIsUnknownUnlessNothingWasSent)
{
    const UnstoredCase &c = GetParam();
    refundReceipt(1, 0);
    const LockedQueue lock(queuePath());
    ASSERT_TRUE(lock.isLocked());
    if (c.fault == sandbox::Sandbox::Fault::None)
        sandbox->stop();
    else
        sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, c.fault);

    const PaymentProcessingAnswer answer =
        c.hostCancel ? processing()->cancel(refundRequest(orderId, 50000, 1))
                     : processing()->payment(refundRequest(orderId, 50000));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key() == QLatin1String("velmorOutcomeUnknown"), c.unknown)
        << qPrintable(answer.getMessage().ru());
    if (c.unknown) {
        EXPECT_EQ(answer.getRRN(), orderId);
        EXPECT_TRUE(answer.getMessage().ru().contains(orderId));
        EXPECT_TRUE(logContains(orderId + QStringLiteral(" неизвестен")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnstoredRefundTest,
    testing::Values(
        UnstoredCase{"LostAnswer", sandbox::Sandbox::Fault::Lost, false, true},
        UnstoredCase{"MeaninglessAnswer", sandbox::Sandbox::Fault::Accepted200, false, true},
        UnstoredCase{"HostCancelTimedOut", sandbox::Sandbox::Fault::NoAnswer, true, true},
        UnstoredCase{"ServiceDown", sandbox::Sandbox::Fault::None, false, false}),
    [](const testing::TestParamInfo<UnstoredCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(RefundTest, RefundWithoutReceiptSendsNothing)
{
    removeReceipt();
    const PaymentProcessingAnswer answer = processing()->cancel(refundRequest(orderId, 100, 1));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorNoDocument"));
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

// Interrupting a sale while the service cannot be reached, then replaying once it is back.

class OfflineCancelTest : public E2EFixture
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setReceipt(100);
        addItem(1, 1, 100);
    }
};

TEST_F(OfflineCancelTest, QueuedCancellationIsReplayedWhenTheServiceIsBack)
{
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
    processing()->init();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::Drop);

    std::future<PaymentProcessingAnswer> sale = std::async(std::launch::async, [this] {
        return processing()->payment(saleRequest(10000, sandbox::Sandbox::CodeHold));
    });
    ASSERT_TRUE(sandbox->waitForRequests(2, 10000));
    EXPECT_TRUE(processing()->interruptPayment());
    ASSERT_EQ(sale.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const PaymentProcessingAnswer answer = sale.get();
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_TRUE(logContains(QStringLiteral(
        "ERROR Не удалось получить ответ от сервера, будет выполнена отмена через очередь")));

    const QList<QueuedMessage> messages = queued();
    ASSERT_EQ(messages.size(), 1);
    const QJsonObject message = messages[0].message;
    EXPECT_EQ(message[QStringLiteral("orderId")].toString(), answer.getRRN());
    EXPECT_EQ(
        message[QStringLiteral("request")].toObject()[QStringLiteral("cardNumber")].toString(),
        QString::fromUtf8(sandbox::Sandbox::CodeHold));
    EXPECT_EQ(message[QStringLiteral("refund")].toObject(),
              parse(QStringLiteral(R"({"order":{"refund":{"id":"%1","initiator":"shop",)"
                                   R"("items":[{"id":"1","refundedQuantity":1}]}}})")
                        .arg(answer.getRRN())
                        .toUtf8()));
    // The sale ended with the cancellation, while the order was still on its way; by the time
    // the service is back it has been approved.
    EXPECT_NE(statusOf(*sandbox, answer.getRRN()), QStringLiteral("canceled"));
    sandbox->setOrderStatus(answer.getRRN(), QStringLiteral("approved"));

    sandbox->clearFaults();
    EXPECT_EQ(replayQueue(), 1);
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_EQ(statusOf(*sandbox, answer.getRRN()), QStringLiteral("canceled"));
}

// Every row of the replay's table, through the loaded plug-in against the service.

struct ReplayRow
{
    const char *name;
    const char *status; // set at the service; empty: order unknown to it
    bool withRefund;
    bool finished;
    const char *orderStatusAfter;
};

class ReplayRowTest : public E2EFixture, public testing::WithParamInterface<ReplayRow>
{
protected:
    // An order held at "approved" moves no further by itself, whatever the polls.
    void createHeldOrder(const QString &orderId, const QString &status)
    {
        httplib::Client service("127.0.0.1", sandbox->port());
        service.set_basic_auth("merchant", "secret");
        const QByteArray create =
            QStringLiteral(R"({"clientInfo":{"id":"%1"},"order":{"id":"%2","amount":1000,)"
                           R"("prepaidAmount":0,"isTwoStagePayment":false,"items":[{"id":"1",)"
                           R"("article":"A","name":"B","quantity":1,"amount":1000}]}})")
                .arg(QString::fromUtf8(sandbox::Sandbox::CodeHold), orderId)
                .toUtf8();
        const auto created = service.Post("/merchant/create_offline", create.constData(),
                                          size_t(create.size()), "application/json");
        ASSERT_TRUE(created);
        ASSERT_EQ(created->status, 200);
        sandbox->setOrderStatus(orderId, status);
    }
};

TEST_P(ReplayRowTest, OrderStateAtTheServiceDecides)
{
    setReceipt(1000);
    addItem(1, 1, 1000);
    const ReplayRow &row = GetParam();
    const QString orderId = QStringLiteral("replay-%1").arg(QString::fromUtf8(row.name));
    if (*row.status) {
        createHeldOrder(orderId, QString::fromUtf8(row.status));
        if (HasFatalFailure())
            return;
    }

    QJsonObject message;
    message.insert(QStringLiteral("orderId"), orderId);
    if (row.withRefund)
        message.insert(QStringLiteral("refund"),
                       parse(R"({"order":{"refund":{"id":"stored-refund-1","initiator":"shop",)"
                             R"("items":[{"id":"1","refundedQuantity":1}]}}})"));
    EXPECT_EQ(processing()->sendEnqueuedMessage(message.toVariantMap()), row.finished);
    if (*row.orderStatusAfter) {
        EXPECT_EQ(statusOf(*sandbox, orderId), QString::fromUtf8(row.orderStatusAfter));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplayRowTest,
    testing::Values(ReplayRow{"ApprovedIsCancelled", "approved", true, true, "canceled"},
                    ReplayRow{"CompletedIsRefunded", "completed", true, true, "refunded"},
                    ReplayRow{"CompletedWithoutStoredBody", "completed", false, true, "refunded"},
                    ReplayRow{"Canceled", "canceled", true, true, "canceled"},
                    ReplayRow{"Rejected", "rejected", true, true, "rejected"},
                    // Not paid yet: the cashier's cancellation is still wanted.
                    ReplayRow{"Created", "created", true, true, "canceled"},
                    ReplayRow{"Scoring", "scoring", true, true, "canceled"},
                    // Refunded, but not by this refund: it goes again under its stored id.
                    ReplayRow{"RefundedShort", "refunded", true, true, "refunded"},
                    // The create has not reached the service (yet): the cancellation waits
                    // for it.
                    ReplayRow{"UnknownOrder", "", true, false, ""}),
    [](const testing::TestParamInfo<ReplayRow> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(E2EFixture, ReplayOfAMessageWithoutOrderIdIsNotFinished)
{
    EXPECT_FALSE(processing()->sendEnqueuedMessage({}));
    ASSERT_EQ(sandbox->requests().size(), 1);
    EXPECT_EQ(sandbox->requests()[0].path, QStringLiteral("/merchant/info"));
}

TEST_F(E2EFixture, ReplayWhileTheServiceIsDownIsNotFinished)
{
    sandbox->stop();
    QJsonObject message;
    message.insert(QStringLiteral("orderId"), QStringLiteral("o-1"));
    EXPECT_FALSE(processing()->sendEnqueuedMessage(message.toVariantMap()));
}

} // namespace
