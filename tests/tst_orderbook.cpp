#include "sandboxbodies.h"
#include <sandbox/orderbook.h>
#include <sandbox/sandbox.h>

#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace sandboxbodies;
using testing::ElementsAreArray;

namespace {

class OrderBookTest : public testing::Test
{
protected:
    void usePollsPerState(int pollsPerState)
    {
        book = std::make_unique<sandbox::OrderBook>(pollsPerState);
    }

    sandbox::OrderBook::Reply create(const QString &orderId, const QString &code,
                                     const QJsonArray &items = standardItems())
    {
        return book->create(compactJson(createBody(orderId, code, items)));
    }

    sandbox::OrderBook::Reply info(const QString &orderId) { return book->info(orderId); }

    sandbox::OrderBook::Reply cancel(const QString &orderId)
    {
        return book->cancel(orderId, compactJson(CancelBody));
    }

    sandbox::OrderBook::Reply refund(const QString &orderId, const QJsonObject &body)
    {
        return book->refund(orderId, compactJson(body));
    }

    // An order already paid, ready for refunds.
    void completedOrder(const QString &orderId)
    {
        ASSERT_EQ(create(orderId, QLatin1String(sandbox::Sandbox::CodeApprove)).status, 200);
        book->setStatus(orderId, Completed);
    }

    QString storedStatus(const QString &orderId) const
    {
        return book->order(orderId).value(QStringLiteral("status")).toString();
    }

    std::unique_ptr<sandbox::OrderBook> book = std::make_unique<sandbox::OrderBook>();
};

// --- Order life by scanned code ---------------------------------------------------------

struct LifeCase
{
    const char *name;
    QString code;
    int pollsPerState;
    std::vector<QString> statuses; // what consecutive info polls answer
};

class OrderBookLifeTest : public OrderBookTest, public testing::WithParamInterface<LifeCase>
{
};

TEST_P(OrderBookLifeTest, InfoPollsWalkTheOrderThroughItsLife)
{
    usePollsPerState(GetParam().pollsPerState);
    const QString id = QStringLiteral("order-life");

    const sandbox::OrderBook::Reply created = create(id, GetParam().code);
    ASSERT_EQ(created.status, 200);
    const QJsonObject answer = created.body.value(QStringLiteral("order")).toObject();
    EXPECT_EQ(answer.value(QStringLiteral("id")).toString(), id);
    EXPECT_EQ(answer.value(QStringLiteral("status")).toString(), Created);
    EXPECT_DOUBLE_EQ(answer.value(QStringLiteral("amount")).toDouble(), 120.99);

    std::vector<QString> seen;
    for (size_t i = 0; i < GetParam().statuses.size(); ++i) {
        const sandbox::OrderBook::Reply polled = info(id);
        ASSERT_EQ(polled.status, 200);
        seen.push_back(orderStatus(polled.body));
        EXPECT_EQ(
            polled.body.value(QStringLiteral("order")).toObject().value(QStringLiteral("items")),
            QJsonValue(standardItems()));
    }
    EXPECT_THAT(seen, ElementsAreArray(GetParam().statuses));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OrderBookLifeTest,
    testing::Values(
        LifeCase{"Approve",
                 QLatin1String(sandbox::Sandbox::CodeApprove),
                 1,
                 {Created, Scoring, Approved, Completed, Completed}},
        LifeCase{"UnknownCodeApproves",
                 QStringLiteral("SOMEONE-ELSE"),
                 1,
                 {Created, Scoring, Approved, Completed, Completed}},
        LifeCase{"EmptyCodeApproves", QString(), 1, {Created, Scoring, Approved, Completed}},
        LifeCase{"Reject",
                 QLatin1String(sandbox::Sandbox::CodeReject),
                 1,
                 {Created, Scoring, Rejected, Rejected}},
        LifeCase{"Hold",
                 QLatin1String(sandbox::Sandbox::CodeHold),
                 1,
                 {Created, Scoring, Approved, Approved, Approved}},
        LifeCase{"ServiceCancel",
                 QLatin1String(sandbox::Sandbox::CodeServiceCancel),
                 1,
                 {Created, Scoring, Canceled, Canceled}},
        LifeCase{"TwoPollsPerState",
                 QLatin1String(sandbox::Sandbox::CodeApprove),
                 2,
                 {Created, Created, Scoring, Scoring, Approved, Approved, Completed, Completed}}),
    [](const testing::TestParamInfo<LifeCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(OrderBookTest, PaidOrderIsCompletedFromTheStart)
{
    const QString id = QStringLiteral("order-paid");
    const sandbox::OrderBook::Reply created = create(id, QLatin1String(sandbox::Sandbox::CodePaid));
    ASSERT_EQ(created.status, 200);
    EXPECT_EQ(orderStatus(created.body), Completed);
    EXPECT_EQ(orderStatus(info(id).body), Completed);
    EXPECT_EQ(orderStatus(info(id).body), Completed);
}

TEST_F(OrderBookTest, ErrorCodeRefusesTheOrder)
{
    const sandbox::OrderBook::Reply created =
        create(QStringLiteral("refused"), QLatin1String(sandbox::Sandbox::CodeError));
    EXPECT_EQ(created.status, 400);
    const QJsonObject error = created.body.value(QStringLiteral("error")).toObject();
    EXPECT_EQ(error.value(QStringLiteral("code")).toString(), QStringLiteral("client_rejected"));
    EXPECT_EQ(error.value(QStringLiteral("text")).toString(), QStringLiteral("Клиент не найден"));
    EXPECT_TRUE(book->order(QStringLiteral("refused")).isEmpty());

    const sandbox::OrderBook::Reply polled = info(QStringLiteral("refused"));
    EXPECT_EQ(polled.status, 404);
    EXPECT_EQ(errorCode(polled.body), QStringLiteral("order_not_found"));
}

// --- Creates that are refused -----------------------------------------------------------

struct BadCreate
{
    const char *name;
    QByteArray body;
    int status;
    const char *code;
};

class OrderBookBadCreateTest : public OrderBookTest, public testing::WithParamInterface<BadCreate>
{
};

TEST_P(OrderBookBadCreateTest, IsRefusedWithAnErrorObject)
{
    ASSERT_EQ(create(QStringLiteral("taken"), QLatin1String(sandbox::Sandbox::CodeApprove)).status,
              200);

    const sandbox::OrderBook::Reply created = book->create(GetParam().body);
    EXPECT_EQ(created.status, GetParam().status);
    EXPECT_EQ(errorCode(created.body), QLatin1String(GetParam().code));
    EXPECT_EQ(storedStatus(QStringLiteral("taken")), Created);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, OrderBookBadCreateTest,
    testing::Values(
        BadCreate{"NotJson", "{\"order\": ", 400, "invalid_request"},
        BadCreate{"NoOrderId", R"({"clientInfo":{"id":"x"},"order":{"amount":1,"items":[]}})", 400,
                  "invalid_request"},
        BadCreate{"ItemWithoutId",
                  R"({"order":{"id":"n1","amount":1,"items":[{"quantity":1,"amount":1}]}})", 400,
                  "invalid_request"},
        BadCreate{"TwoItemsOneId",
                  R"({"order":{"id":"n2","amount":2,"items":[{"id":"1","quantity":1,"amount":1},)"
                  R"({"id":"1","quantity":1,"amount":1}]}})",
                  400, "invalid_request"},
        BadCreate{"ExistingOrder",
                  compactJson(createBody(QStringLiteral("taken"),
                                         QLatin1String(sandbox::Sandbox::CodeApprove))),
                  409, "order_exists"}),
    [](const testing::TestParamInfo<BadCreate> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

// --- Cancellation -----------------------------------------------------------------------

struct CancelCase
{
    QString status;
    bool cancellable;
};

class OrderBookCancelTest : public OrderBookTest, public testing::WithParamInterface<CancelCase>
{
};

TEST_P(OrderBookCancelTest, CancelsOnlyUnfinishedOrders)
{
    const QString id = QStringLiteral("c");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeApprove)).status, 200);
    book->setStatus(id, GetParam().status);

    const sandbox::OrderBook::Reply cancelled = cancel(id);
    const QJsonObject &answer = cancelled.body;
    if (GetParam().cancellable) {
        EXPECT_EQ(cancelled.status, 200);
        EXPECT_EQ(answer.value(QStringLiteral("status")).toString(), QStringLiteral("CANCELLED"));
        EXPECT_EQ(answer.value(QStringLiteral("order")).toObject().value(QStringLiteral("id")),
                  QJsonValue(id));
        EXPECT_EQ(orderStatus(answer), Canceled);
        EXPECT_EQ(storedStatus(id), Canceled);
        // The order stays cancelled while polled.
        EXPECT_EQ(orderStatus(info(id).body), Canceled);
    } else {
        EXPECT_EQ(cancelled.status, 400);
        EXPECT_EQ(errorCode(answer), QStringLiteral("order_cannot_be_cancelled"));
        EXPECT_EQ(storedStatus(id), GetParam().status);
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, OrderBookCancelTest,
                         testing::Values(CancelCase{Created, true}, CancelCase{Scoring, true},
                                         CancelCase{Approved, true}, CancelCase{Canceled, true},
                                         CancelCase{Completed, false}, CancelCase{Rejected, false},
                                         CancelCase{Refunded, false}),
                         [](const testing::TestParamInfo<CancelCase> &caseInfo) {
                             return caseInfo.param.status.toStdString();
                         });

TEST_F(OrderBookTest, CancelOfAHeldOrderIsFinalAndRepeatable)
{
    const QString id = QStringLiteral("held");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeHold)).status, 200);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(info(id).status, 200);
    ASSERT_EQ(storedStatus(id), Approved);

    const sandbox::OrderBook::Reply first = cancel(id);
    const sandbox::OrderBook::Reply second = cancel(id);
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(compactJson(first.body), compactJson(second.body));

    const sandbox::OrderBook::Reply missing = cancel(QStringLiteral("nobody"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(errorCode(missing.body), QStringLiteral("order_not_found"));
}

// --- Refunds ----------------------------------------------------------------------------

TEST_F(OrderBookTest, PartialThenFullRefundByPositions)
{
    const QString id = QStringLiteral("r");
    completedOrder(id);

    const sandbox::OrderBook::Reply first =
        refund(id, refundBody(QStringLiteral("ref-1"),
                              {{QStringLiteral("1"), 1}, {QStringLiteral("2"), 0}}));
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(orderStatus(first.body), Completed);
    EXPECT_DOUBLE_EQ(first.body.value(QStringLiteral("order"))
                         .toObject()
                         .value(QStringLiteral("amount"))
                         .toDouble(),
                     120.99);
    QJsonObject refundAnswer = first.body.value(QStringLiteral("refund")).toObject();
    EXPECT_EQ(refundAnswer.value(QStringLiteral("id")).toString(), QStringLiteral("ref-1"));
    EXPECT_EQ(refundAnswer.value(QStringLiteral("totalRefundedAmount")).toDouble(), 33.33);

    const sandbox::OrderBook::Reply second =
        refund(id, refundBody(QStringLiteral("ref-2"),
                              {{QStringLiteral("1"), 2}, {QStringLiteral("2"), 2}}));
    ASSERT_EQ(second.status, 200);
    EXPECT_EQ(orderStatus(second.body), Refunded);
    refundAnswer = second.body.value(QStringLiteral("refund")).toObject();
    // 2 x 33.33 + 2 x 10.50, summed in kopecks.
    EXPECT_EQ(refundAnswer.value(QStringLiteral("totalRefundedAmount")).toDouble(), 87.66);

    const QJsonObject polled = info(id).body;
    EXPECT_EQ(orderStatus(polled), Refunded);
    const QJsonArray refunds = polled.value(QStringLiteral("refund")).toArray();
    ASSERT_EQ(refunds.size(), 2);
    EXPECT_EQ(refunds.at(0).toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("ref-1"));
    double total = 0;
    for (const QJsonValue &element : refunds)
        total += element.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble();
    // What a client checks: the refunds add up to the order amount exactly.
    EXPECT_EQ(total, polled.value(QStringLiteral("order"))
                         .toObject()
                         .value(QStringLiteral("amount"))
                         .toDouble());
}

TEST_F(OrderBookTest, RefundBeyondWhatWasBoughtIsRefused)
{
    const QString id = QStringLiteral("x");
    completedOrder(id);
    ASSERT_EQ(refund(id, refundBody(QStringLiteral("a"), {{QStringLiteral("2"), 1.5}})).status,
              200);

    const sandbox::OrderBook::Reply exceeding =
        refund(id, refundBody(QStringLiteral("b"), {{QStringLiteral("2"), 0.6}}));
    EXPECT_EQ(exceeding.status, 400);
    const QJsonObject error = exceeding.body.value(QStringLiteral("error")).toObject();
    EXPECT_EQ(error.value(QStringLiteral("code")).toString(),
              QStringLiteral("exceeding_refunded_amount"));
    EXPECT_EQ(error.value(QStringLiteral("text")).toString(),
              QStringLiteral("Сумма возврата превышает сумму заказа"));
    EXPECT_EQ(book->order(id).value(QStringLiteral("refund")).toArray().size(), 1);

    // Within the tolerance the rest goes back, and then nothing more does.
    ASSERT_EQ(refund(id, refundBody(QStringLiteral("c"),
                                    {{QStringLiteral("2"), 0.5004}, {QStringLiteral("1"), 3}}))
                  .status,
              200);
    EXPECT_EQ(storedStatus(id), Refunded);
    const sandbox::OrderBook::Reply again =
        refund(id, refundBody(QStringLiteral("d"), {{QStringLiteral("1"), 1}}));
    EXPECT_EQ(again.status, 400);
    EXPECT_EQ(errorCode(again.body), QStringLiteral("exceeding_refunded_amount"));
}

// A sequence of refunds against one completed order, each with what it must answer.
struct RefundStep
{
    QString id;
    QList<QPair<QString, double>> quantities;
    int status;
    const char *code; // the error code, or nullptr for a refund made
    double total;     // the refund's "totalRefundedAmount" when made
    QString orderStatus;
};

struct RefundCase
{
    const char *name;
    QJsonArray items;
    double amount; // the order's "amount", which its positions need not add up to
    std::vector<RefundStep> steps;
    double refunded; // what the order's refunds add up to at the end
};

class OrderBookRefundTest : public OrderBookTest, public testing::WithParamInterface<RefundCase>
{
};

TEST_P(OrderBookRefundTest, RefundsNoMoreThanIsLeftOfTheAmount)
{
    const QString id = QStringLiteral("r-table");
    QJsonObject body =
        createBody(id, QLatin1String(sandbox::Sandbox::CodeApprove), GetParam().items);
    QJsonObject order = body.value(QStringLiteral("order")).toObject();
    order.insert(QStringLiteral("amount"), GetParam().amount);
    body.insert(QStringLiteral("order"), order);
    ASSERT_EQ(book->create(compactJson(body)).status, 200);
    book->setStatus(id, Completed);

    for (size_t i = 0; i < GetParam().steps.size(); ++i) {
        const RefundStep &step = GetParam().steps.at(i);
        SCOPED_TRACE(testing::Message() << "step " << i << ", refund " << step.id.toStdString());
        const sandbox::OrderBook::Reply answer = refund(id, refundBody(step.id, step.quantities));
        EXPECT_EQ(answer.status, step.status);
        if (step.code) {
            EXPECT_EQ(errorCode(answer.body), QLatin1String(step.code));
        } else {
            EXPECT_EQ(answer.body.value(QStringLiteral("refund"))
                          .toObject()
                          .value(QStringLiteral("totalRefundedAmount"))
                          .toDouble(),
                      step.total);
            EXPECT_EQ(orderStatus(answer.body), step.orderStatus);
        }
        EXPECT_EQ(storedStatus(id), step.orderStatus);
    }

    // What a client adds up from the order's answer.
    const QJsonObject polled = info(id).body;
    qint64 refundedKopecks = 0;
    for (const QJsonValue &element : polled.value(QStringLiteral("refund")).toArray())
        refundedKopecks += std::llround(
            element.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble() * 100);
    EXPECT_EQ(refundedKopecks, std::llround(GetParam().refunded * 100));
    EXPECT_LE(refundedKopecks, std::llround(GetParam().amount * 100));
}

// 2 x 500.00 and 1 x 1000.00: a receipt of 2000.00.
QJsonArray kettlesAndAMug()
{
    return {item(QStringLiteral("1"), 2, 500), item(QStringLiteral("2"), 1, 1000)};
}

INSTANTIATE_TEST_SUITE_P(
    Orders, OrderBookRefundTest,
    testing::Values(
        // A sale of 1000.00 on the receipt of 2000.00: the whole receipt back is refused, the
        // mug alone returns the whole amount, and then nothing more goes back.
        RefundCase{
            "WholeReceiptBeyondTheAmount",
            kettlesAndAMug(),
            1000,
            {{QStringLiteral("all"),
              {{QStringLiteral("1"), 2}, {QStringLiteral("2"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Completed},
             {QStringLiteral("mug"), {{QStringLiteral("2"), 1}}, 200, nullptr, 1000, Refunded},
             // The same refund again is a retry, answered as the first time.
             {QStringLiteral("mug"), {{QStringLiteral("2"), 1}}, 200, nullptr, 1000, Refunded},
             {QStringLiteral("kettle"),
              {{QStringLiteral("1"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Refunded}},
            1000},
        RefundCase{
            "PartOfTheReceiptStepByStep",
            kettlesAndAMug(),
            1000,
            {{QStringLiteral("k1"), {{QStringLiteral("1"), 1}}, 200, nullptr, 500, Completed},
             {QStringLiteral("k2"), {{QStringLiteral("1"), 1}}, 200, nullptr, 500, Refunded},
             {QStringLiteral("mug"),
              {{QStringLiteral("2"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Refunded}},
            1000},
        // One unit may be a kopeck over through rounding, not two.
        RefundCase{
            "TwoKopecksBeyondForOneUnit",
            kettlesAndAMug(),
            999.98,
            {{QStringLiteral("mug"),
              {{QStringLiteral("2"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Completed},
             {QStringLiteral("k"), {{QStringLiteral("1"), 1.5}}, 200, nullptr, 750, Completed}},
            750},
        // 200.00 over three units is 66.67 each: the third refund returns the 66.66 left.
        RefundCase{
            "UnitRoundingLeavesTheLastRefundWhatIsLeft",
            {item(QStringLiteral("1"), 3, 66.67)},
            200,
            {{QStringLiteral("a"), {{QStringLiteral("1"), 1}}, 200, nullptr, 66.67, Completed},
             {QStringLiteral("b"), {{QStringLiteral("1"), 1}}, 200, nullptr, 66.67, Completed},
             {QStringLiteral("c"), {{QStringLiteral("1"), 1}}, 200, nullptr, 66.66, Refunded}},
            200},
        // A refund of part, then the whole payment's cancellation: the positions already back
        // are refused per position, and what is left of each comes back on its own.
        RefundCase{
            "PartThenTheWholePayment",
            kettlesAndAMug(),
            2000,
            {{QStringLiteral("k1"), {{QStringLiteral("1"), 1}}, 200, nullptr, 500, Completed},
             {QStringLiteral("whole"),
              {{QStringLiteral("1"), 2}, {QStringLiteral("2"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Completed},
             {QStringLiteral("rest"),
              {{QStringLiteral("1"), 1}, {QStringLiteral("2"), 1}},
              200,
              nullptr,
              1500,
              Refunded}},
            2000},
        // Positions that add up to less than the amount all go back at their prices.
        RefundCase{
            "PositionsBelowTheAmount",
            {item(QStringLiteral("1"), 3, 33.33)},
            100,
            {{QStringLiteral("all"), {{QStringLiteral("1"), 3}}, 200, nullptr, 99.99, Refunded},
             {QStringLiteral("more"),
              {{QStringLiteral("1"), 1}},
              400,
              "exceeding_refunded_amount",
              0,
              Refunded}},
            99.99}),
    [](const testing::TestParamInfo<RefundCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(OrderBookTest, RefundIdMakesARetrySafe)
{
    const QString id = QStringLiteral("i");
    completedOrder(id);
    const QJsonObject body = refundBody(QStringLiteral("same"), {{QStringLiteral("1"), 1}});

    const sandbox::OrderBook::Reply first = refund(id, body);
    const sandbox::OrderBook::Reply retry = refund(id, body);
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(retry.status, 200);
    EXPECT_EQ(compactJson(retry.body), compactJson(first.body));
    EXPECT_EQ(book->order(id).value(QStringLiteral("refund")).toArray().size(), 1);

    // The same id for other positions is a different refund, not a retry.
    const sandbox::OrderBook::Reply conflict =
        refund(id, refundBody(QStringLiteral("same"), {{QStringLiteral("1"), 2}}));
    EXPECT_EQ(conflict.status, 409);
    EXPECT_EQ(errorCode(conflict.body), QStringLiteral("refund_id_conflict"));

    // An empty id is no key: both refunds happen.
    ASSERT_EQ(refund(id, refundBody(QString(), {{QStringLiteral("1"), 1}})).status, 200);
    ASSERT_EQ(refund(id, refundBody(QString(), {{QStringLiteral("1"), 1}})).status, 200);
    EXPECT_EQ(book->order(id).value(QStringLiteral("refund")).toArray().size(), 3);
}

TEST_F(OrderBookTest, RefundNeedsAPaidOrderAndItsPositions)
{
    const QString id = QStringLiteral("n");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeApprove)).status, 200);

    const sandbox::OrderBook::Reply unpaid =
        refund(id, refundBody(QStringLiteral("a"), {{QStringLiteral("1"), 1}}));
    EXPECT_EQ(unpaid.status, 400);
    EXPECT_EQ(errorCode(unpaid.body), QStringLiteral("order_not_completed"));

    book->setStatus(id, Completed);
    const sandbox::OrderBook::Reply stranger =
        refund(id, refundBody(QStringLiteral("b"), {{QStringLiteral("9"), 1}}));
    EXPECT_EQ(stranger.status, 400);
    EXPECT_EQ(errorCode(stranger.body), QStringLiteral("invalid_request"));

    const sandbox::OrderBook::Reply missing =
        refund(QStringLiteral("nobody"), refundBody(QStringLiteral("c"), {}));
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(errorCode(missing.body), QStringLiteral("order_not_found"));
    EXPECT_TRUE(book->order(id).value(QStringLiteral("refund")).toArray().isEmpty());
}

} // namespace
