#include "sandboxbodies.h"
#include "testcerts.h"
#include <sandbox/sandbox.h>

#include <httplib.h>

#include <gmock/gmock.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace sandboxbodies;
using namespace std::chrono_literals;

namespace {

const QString Login = QStringLiteral("merchant");
const QString Password = QStringLiteral("secret");
const std::string Base = "/merchant";

QJsonObject parse(const std::string &body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

QString errorCode(const httplib::Result &result)
{
    return sandboxbodies::errorCode(parse(result->body));
}

std::string dump(const QJsonObject &object)
{
    return compactJson(object).toStdString();
}

// Waits for something the service does on its own threads; polls, since no signal is given.
bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class SandboxTest : public testing::Test
{
protected:
    SandboxTest() { options.basePath = QString::fromStdString(Base); }

    void startSandbox()
    {
        sandbox = std::make_unique<sandbox::Sandbox>(options);
        ASSERT_TRUE(sandbox->start());
    }

    std::unique_ptr<httplib::Client> client(std::chrono::milliseconds readTimeout = 5s) const
    {
        auto result = std::make_unique<httplib::Client>("127.0.0.1", sandbox->port());
        result->set_basic_auth(Login.toStdString(), Password.toStdString());
        result->set_read_timeout(readTimeout);
        result->set_connection_timeout(5s);
        return result;
    }

    static std::string path(const QString &orderId, const char *action)
    {
        return Base + "/" + QUrl::toPercentEncoding(orderId).toStdString() + "/" + action;
    }

    httplib::Result post(const std::string &target, const QJsonObject &body,
                         std::chrono::milliseconds readTimeout = 5s) const
    {
        return client(readTimeout)->Post(target, dump(body), "application/json");
    }

    httplib::Result create(const QString &orderId, const QString &code,
                           const QJsonArray &items = standardItems()) const
    {
        return post(Base + "/create_offline", createBody(orderId, code, items));
    }

    httplib::Result info(const QString &orderId) const
    {
        return client()->Get(path(orderId, "info"));
    }

    httplib::Result cancel(const QString &orderId, std::chrono::milliseconds readTimeout = 5s) const
    {
        return post(path(orderId, "cancel"), CancelBody, readTimeout);
    }

    httplib::Result refund(const QString &orderId, const QJsonObject &body,
                           std::chrono::milliseconds readTimeout = 5s) const
    {
        return post(path(orderId, "refund"), body, readTimeout);
    }

    // An order already paid, ready for refunds.
    void completedOrder(const QString &orderId)
    {
        const auto created = create(orderId, QLatin1String(sandbox::Sandbox::CodeApprove));
        ASSERT_TRUE(created);
        ASSERT_EQ(created->status, 200);
        sandbox->setOrderStatus(orderId, QStringLiteral("completed"));
    }

    QString storedStatus(const QString &orderId) const
    {
        return sandbox->order(orderId).value(QStringLiteral("status")).toString();
    }

    sandbox::Sandbox::Options options;
    std::unique_ptr<sandbox::Sandbox> sandbox;
};

// --- Order life ------------------------------------------------------------------------

TEST_F(SandboxTest, SlowCreateHoldsTheAnswerButTheOrderExistsAtOnce)
{
    options.slowCreateMs = 1000;
    startSandbox();
    const QString id = QStringLiteral("slow");
    std::atomic<bool> answered{false};
    httplib::Result created{nullptr, httplib::Error::Unknown};
    const auto started = std::chrono::steady_clock::now();
    std::thread creator([&] {
        created = create(id, QLatin1String(sandbox::Sandbox::CodeSlowCreate));
        answered = true;
    });

    ASSERT_TRUE(eventually([&] { return !sandbox->order(id).isEmpty(); }));
    // The order is there and polled while its create answer is still held back.
    const auto polled = info(id);
    EXPECT_FALSE(answered);
    ASSERT_TRUE(polled);
    EXPECT_EQ(orderStatus(parse(polled->body)), Created);

    creator.join();
    ASSERT_TRUE(created);
    EXPECT_EQ(created->status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
    // It lives on like an approved order.
    EXPECT_EQ(orderStatus(parse(info(id)->body)), Scoring);
    EXPECT_EQ(orderStatus(parse(info(id)->body)), Approved);
    EXPECT_EQ(orderStatus(parse(info(id)->body)), Completed);
}

// --- Requests that are refused ----------------------------------------------------------

TEST_F(SandboxTest, WrongCredentialsAreUnauthorized)
{
    startSandbox();
    httplib::Client stranger("127.0.0.1", sandbox->port());
    stranger.set_basic_auth(Login.toStdString(), "wrong");
    const auto created = stranger.Post(
        Base + "/create_offline",
        dump(createBody(QStringLiteral("o"), QLatin1String(sandbox::Sandbox::CodeApprove))),
        "application/json");
    ASSERT_TRUE(created);
    EXPECT_EQ(created->status, 401);
    EXPECT_EQ(errorCode(created), QStringLiteral("unauthorized"));
    EXPECT_TRUE(sandbox->order(QStringLiteral("o")).isEmpty());

    httplib::Client anonymous("127.0.0.1", sandbox->port());
    const auto polled = anonymous.Get(path(QStringLiteral("o"), "info"));
    ASSERT_TRUE(polled);
    EXPECT_EQ(polled->status, 401);
    EXPECT_EQ(errorCode(polled), QStringLiteral("unauthorized"));
}

TEST_F(SandboxTest, EndpointsLiveUnderTheBasePathOnly)
{
    options.basePath = QStringLiteral("merchant/");
    startSandbox();
    EXPECT_EQ(sandbox->baseUrl(),
              QStringLiteral("http://127.0.0.1:%1/merchant").arg(sandbox->port()));

    const auto outside = client()->Post(
        "/create_offline",
        dump(createBody(QStringLiteral("o"), QLatin1String(sandbox::Sandbox::CodeApprove))),
        "application/json");
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->status, 404);
    EXPECT_EQ(errorCode(outside), QStringLiteral("not_found"));

    const auto unknown = client()->Get(Base + "/o/status");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(errorCode(unknown), QStringLiteral("not_found"));

    EXPECT_EQ(create(QStringLiteral("o"), QLatin1String(sandbox::Sandbox::CodeApprove))->status,
              200);
}

TEST_F(SandboxTest, PercentEncodedOrderIdIsDecoded)
{
    startSandbox();
    const QString id = QStringLiteral("заказ 1/2?#%41");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeApprove))->status, 200);

    const auto polled = info(id);
    ASSERT_TRUE(polled);
    EXPECT_EQ(polled->status, 200);
    EXPECT_EQ(parse(polled->body)
                  .value(QStringLiteral("order"))
                  .toObject()
                  .value(QStringLiteral("id"))
                  .toString(),
              id);
    // The log keeps the target as it was sent.
    EXPECT_EQ(sandbox->requests().last().path, QString::fromStdString(path(id, "info")));
}

TEST_F(SandboxTest, RecordsEveryRequest)
{
    startSandbox();
    const std::string body =
        dump(createBody(QStringLiteral("rec"), QLatin1String(sandbox::Sandbox::CodeApprove)));
    const httplib::Headers headers{{"X-Correlation-ID", "rec"}};
    ASSERT_TRUE(client()->Post(Base + "/create_offline", headers, body, "application/json"));
    ASSERT_TRUE(info(QStringLiteral("rec")));

    const QList<sandbox::Sandbox::RecordedRequest> requests = sandbox->requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests.at(0).method, QStringLiteral("POST"));
    EXPECT_EQ(requests.at(0).path, QStringLiteral("/merchant/create_offline"));
    EXPECT_EQ(requests.at(0).headers.value(QStringLiteral("x-correlation-id")),
              QStringLiteral("rec"));
    EXPECT_EQ(requests.at(0).headers.value(QStringLiteral("content-type")),
              QStringLiteral("application/json"));
    EXPECT_EQ(requests.at(0).headers.value(QStringLiteral("authorization")),
              QStringLiteral("Basic ") +
                  QString::fromLatin1((Login + QLatin1Char(':') + Password).toUtf8().toBase64()));
    EXPECT_FALSE(requests.at(0).headers.contains(QStringLiteral("remote_addr")));
    EXPECT_EQ(requests.at(0).body, QByteArray::fromStdString(body));
    EXPECT_EQ(requests.at(1).method, QStringLiteral("GET"));
    EXPECT_EQ(requests.at(1).path, QStringLiteral("/merchant/rec/info"));

    sandbox->clearRequests();
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

// --- Faults -----------------------------------------------------------------------------

struct FaultCase
{
    const char *name;
    sandbox::Sandbox::Fault fault;
    std::function<void(const httplib::Result &)> observe;
};

class SandboxFaultTest : public SandboxTest, public testing::WithParamInterface<FaultCase>
{
};

// A held order is cancellable, so a cancel that went through would show.
TEST_P(SandboxFaultTest, CancelUnderAFaultHasNoEffect)
{
    startSandbox();
    const QString id = QStringLiteral("f");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeHold))->status, 200);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, GetParam().fault);

    GetParam().observe(cancel(id, 500ms));
    EXPECT_EQ(storedStatus(id), Created);
    // The ledger names the fault the cancel met and holds no cancellation.
    const QJsonObject ledger = sandbox->ledger();
    const QJsonObject met = ledger.value(QStringLiteral("exchanges")).toArray().last().toObject();
    EXPECT_EQ(met.value(QStringLiteral("endpoint")).toString(), QStringLiteral("cancel"));
    EXPECT_EQ(met.value(QStringLiteral("orderId")).toString(), id);
    EXPECT_EQ(met.value(QStringLiteral("fault")).toString(),
              sandbox::Sandbox::faultName(GetParam().fault));
    EXPECT_TRUE(ledger.value(QStringLiteral("orders"))
                    .toArray()
                    .first()
                    .toObject()
                    .value(QStringLiteral("cancels"))
                    .toArray()
                    .isEmpty());

    // The other endpoints are untouched, and clearing the faults heals the endpoint.
    EXPECT_EQ(info(id)->status, 200);
    sandbox->clearFaults();
    EXPECT_EQ(cancel(id)->status, 200);
    EXPECT_EQ(storedStatus(id), Canceled);
}

void noAnswer(const httplib::Result &result)
{
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error(), httplib::Error::Read);
}

void answered(const httplib::Result &result, int status)
{
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, status);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SandboxFaultTest,
    testing::Values(
        FaultCase{"Drop", sandbox::Sandbox::Fault::Drop, noAnswer},
        FaultCase{"DropMidBody", sandbox::Sandbox::Fault::DropMidBody, noAnswer},
        FaultCase{"NoAnswer", sandbox::Sandbox::Fault::NoAnswer, noAnswer},
        FaultCase{"Empty500", sandbox::Sandbox::Fault::Empty500,
                  [](const httplib::Result &r) {
                      answered(r, 500);
                      EXPECT_TRUE(r->body.empty());
                  }},
        FaultCase{"Html502", sandbox::Sandbox::Fault::Html502,
                  [](const httplib::Result &r) {
                      answered(r, 502);
                      EXPECT_EQ(r->body.rfind("<html>", 0), 0u);
                  }},
        FaultCase{"NotJson", sandbox::Sandbox::Fault::NotJson,
                  [](const httplib::Result &r) {
                      answered(r, 200);
                      EXPECT_TRUE(
                          QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).isNull());
                  }},
        FaultCase{"TruncatedJson", sandbox::Sandbox::Fault::TruncatedJson,
                  [](const httplib::Result &r) {
                      answered(r, 200);
                      EXPECT_EQ(r->body.rfind("{\"order\"", 0), 0u);
                      EXPECT_TRUE(
                          QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).isNull());
                  }},
        FaultCase{"ErrorObject", sandbox::Sandbox::Fault::ErrorObject,
                  [](const httplib::Result &r) {
                      answered(r, 400);
                      EXPECT_EQ(errorCode(r), QStringLiteral("service_error"));
                  }},
        FaultCase{"HugeBody", sandbox::Sandbox::Fault::HugeBody,
                  [](const httplib::Result &r) {
                      answered(r, 200);
                      EXPECT_EQ(r->body.size(), 5u * 1024 * 1024);
                      EXPECT_TRUE(
                          QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).isObject());
                  }},
        FaultCase{"Error504", sandbox::Sandbox::Fault::Error504,
                  [](const httplib::Result &r) {
                      answered(r, 504);
                      EXPECT_EQ(r->body, R"({"error":"Gateway Timeout"})");
                  }},
        FaultCase{"Error502", sandbox::Sandbox::Fault::Error502,
                  [](const httplib::Result &r) {
                      answered(r, 502);
                      EXPECT_EQ(errorCode(r), QStringLiteral("bad_gateway"));
                  }},
        FaultCase{"Error500", sandbox::Sandbox::Fault::Error500,
                  [](const httplib::Result &r) {
                      answered(r, 500);
                      EXPECT_FALSE(parse(r->body)
                                       .value(QStringLiteral("error"))
                                       .toObject()
                                       .value(QStringLiteral("message"))
                                       .toString()
                                       .isEmpty());
                  }},
        // 200 with the order as it stands and no word of the cancellation.
        FaultCase{"Unchanged", sandbox::Sandbox::Fault::Unchanged,
                  [](const httplib::Result &r) {
                      answered(r, 200);
                      EXPECT_EQ(orderStatus(parse(r->body)), Created);
                      EXPECT_FALSE(parse(r->body).contains(QStringLiteral("status")));
                  }},
        // Set without a spell's length, only this request meets it.
        FaultCase{"NotFoundLag", sandbox::Sandbox::Fault::NotFoundLag,
                  [](const httplib::Result &r) {
                      answered(r, 404);
                      EXPECT_EQ(errorCode(r), QStringLiteral("order_not_found"));
                  }}),
    [](const testing::TestParamInfo<FaultCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(SandboxTest, DroppedCreateMakesNoOrderAndDroppedRefundReturnsNothing)
{
    startSandbox();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::Drop);
    noAnswer(create(QStringLiteral("lost"), QLatin1String(sandbox::Sandbox::CodeApprove)));
    EXPECT_TRUE(sandbox->order(QStringLiteral("lost")).isEmpty());
    EXPECT_EQ(sandbox->requests().size(), 1);

    sandbox->clearFaults();
    completedOrder(QStringLiteral("paid"));
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Empty500);
    answered(
        refund(QStringLiteral("paid"), refundBody(QStringLiteral("a"), {{QStringLiteral("1"), 1}})),
        500);
    EXPECT_TRUE(
        sandbox->order(QStringLiteral("paid")).value(QStringLiteral("refund")).toArray().isEmpty());
}

// A fault on a refund or an info of a paid order (standardItems(), 120.99): whether a refund
// went through and what came back, with what the ledger says the answer showed.
struct PaidOrderFaultCase
{
    const char *name;
    sandbox::Sandbox::Endpoint endpoint;
    sandbox::Sandbox::Fault fault;
    bool carriedOut;
    int status;
    QString shown; // the ledger's "shown" for the exchange
    std::function<void(const QJsonObject &body, const std::string &raw)> observe;
};

class SandboxPaidOrderFaultTest : public SandboxTest,
                                  public testing::WithParamInterface<PaidOrderFaultCase>
{
};

TEST_P(SandboxPaidOrderFaultTest, AnswersAsTheFaultSaysAndRefundsOnlyWhenCarriedOut)
{
    options.controlRoutes = true;
    startSandbox();
    const QString id = QStringLiteral("0a1b2c3d-paid");
    completedOrder(id);
    sandbox->setFault(GetParam().endpoint, GetParam().fault);

    const httplib::Result result =
        GetParam().endpoint == sandbox::Sandbox::Endpoint::Refund
            ? refund(id, refundBody(QStringLiteral("mine"), {{QStringLiteral("1"), 1}}))
            : info(id);
    answered(result, GetParam().status);
    GetParam().observe(parse(result->body), result->body);
    EXPECT_EQ(sandbox->order(id).value(QStringLiteral("refund")).toArray().size(),
              GetParam().carriedOut ? 1 : 0);
    const QJsonObject met =
        sandbox->ledger().value(QStringLiteral("exchanges")).toArray().last().toObject();
    EXPECT_EQ(met.value(QStringLiteral("fault")).toString(),
              sandbox::Sandbox::appliesTo(GetParam().fault, GetParam().endpoint)
                  ? sandbox::Sandbox::faultName(GetParam().fault)
                  : QStringLiteral("none"));
    EXPECT_EQ(met.value(QStringLiteral("shown")).toString(), GetParam().shown);
}

void refundIdIs(const QJsonObject &body, const QString &id)
{
    EXPECT_EQ(
        body.value(QStringLiteral("refund")).toObject().value(QStringLiteral("id")).toString(), id);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SandboxPaidOrderFaultTest,
    testing::Values(
        PaidOrderFaultCase{"Plain", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::None, true, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               refundIdIs(body, QStringLiteral("mine"));
                           }},
        PaidOrderFaultCase{"Error504After", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::Error504After, true, 504, QString(),
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(body.value(QStringLiteral("error")).toString(),
                                         QStringLiteral("Gateway Timeout"));
                           }},
        PaidOrderFaultCase{"Error502After", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::Error502After, true, 502, QString(),
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(sandboxbodies::errorCode(body),
                                         QStringLiteral("bad_gateway"));
                           }},
        PaidOrderFaultCase{"Error500After", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::Error500After, true, 500, QString(),
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_TRUE(body.value(QStringLiteral("error")).isObject());
                           }},
        // The id in upper case still names the order the request was about.
        PaidOrderFaultCase{"UpperCaseIdRefund", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::UpperCaseId, true, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(body.value(QStringLiteral("order"))
                                             .toObject()
                                             .value(QStringLiteral("id"))
                                             .toString(),
                                         QStringLiteral("0A1B2C3D-PAID"));
                               refundIdIs(body, QStringLiteral("mine"));
                           }},
        PaidOrderFaultCase{"UpperCaseIdInfo", sandbox::Sandbox::Endpoint::Info,
                           sandbox::Sandbox::Fault::UpperCaseId, false, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(body.value(QStringLiteral("order"))
                                             .toObject()
                                             .value(QStringLiteral("id"))
                                             .toString(),
                                         QStringLiteral("0A1B2C3D-PAID"));
                           }},
        PaidOrderFaultCase{"Unchanged", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::Unchanged, false, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(body.value(QStringLiteral("refund")).toArray().size(), 0);
                           }},
        PaidOrderFaultCase{"UnchangedAfter", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::UnchangedAfter, true, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(orderStatus(body), Completed);
                               EXPECT_EQ(body.value(QStringLiteral("refund")).toArray().size(), 0);
                           }},
        PaidOrderFaultCase{"OtherRefund", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::OtherRefund, false, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               refundIdIs(body, QStringLiteral("another-refund"));
                           }},
        PaidOrderFaultCase{"OtherRefundAfter", sandbox::Sandbox::Endpoint::Refund,
                           sandbox::Sandbox::Fault::OtherRefundAfter, true, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               refundIdIs(body, QStringLiteral("another-refund"));
                           }},
        PaidOrderFaultCase{"InfoZeroAmount", sandbox::Sandbox::Endpoint::Info,
                           sandbox::Sandbox::Fault::InfoZeroAmount, false, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               const QJsonObject order =
                                   body.value(QStringLiteral("order")).toObject();
                               EXPECT_EQ(order.value(QStringLiteral("amount")).toDouble(-1), 0.0);
                               EXPECT_EQ(body.value(QStringLiteral("refund")).toArray().size(), 0);
                           }},
        // Both amounts in the text, the last one 0; not counted as shown, since a careful
        // client reads no usable answer in it.
        PaidOrderFaultCase{
            "DuplicateAmount", sandbox::Sandbox::Endpoint::Info,
            sandbox::Sandbox::Fault::DuplicateAmount, false, 200, QString(),
            [](const QJsonObject &, const std::string &raw) {
                EXPECT_NE(raw.find(R"("amount":120.99,"amount":0})"), std::string::npos) << raw;
            }},
        // A fault for the refund alone leaves an info alone.
        PaidOrderFaultCase{"OtherRefundOnInfo", sandbox::Sandbox::Endpoint::Info,
                           sandbox::Sandbox::Fault::OtherRefund, false, 200, Completed,
                           [](const QJsonObject &body, const std::string &) {
                               EXPECT_EQ(body.value(QStringLiteral("order"))
                                             .toObject()
                                             .value(QStringLiteral("amount"))
                                             .toDouble(),
                                         120.99);
                           }}),
    [](const testing::TestParamInfo<PaidOrderFaultCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(SandboxTest, LateCreateIsCarriedOutAfterTheClientGaveUp)
{
    startSandbox();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::LateCreate,
                      3000);
    noAnswer(post(Base + "/create_offline",
                  createBody(QStringLiteral("late"), QLatin1String(sandbox::Sandbox::CodeApprove)),
                  300ms));
    EXPECT_TRUE(sandbox->order(QStringLiteral("late")).isEmpty());
    EXPECT_TRUE(eventually([&] { return storedStatus(QStringLiteral("late")) == Created; }, 10s));

    // Healing the service lets a create still held back arrive at once.
    sandbox->setFault(sandbox::Sandbox::Endpoint::Create, sandbox::Sandbox::Fault::LateCreate,
                      600000);
    noAnswer(post(Base + "/create_offline",
                  createBody(QStringLiteral("later"), QLatin1String(sandbox::Sandbox::CodeApprove)),
                  300ms));
    EXPECT_TRUE(sandbox->order(QStringLiteral("later")).isEmpty());
    sandbox->heal();
    EXPECT_TRUE(eventually([&] { return storedStatus(QStringLiteral("later")) == Created; }, 3s));
}

TEST_F(SandboxTest, NotFoundLagHidesAnOrderAlreadySeenForAWhile)
{
    startSandbox();
    const QString id = QStringLiteral("lagging");
    completedOrder(id);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::NotFoundLag, 3000);
    answered(info(id), 404);
    sandbox->clearFaults();
    // The spell covers every endpoint about the order, and nothing is carried out in it.
    const auto refused = refund(id, refundBody(QStringLiteral("r"), {{QStringLiteral("1"), 1}}));
    answered(refused, 404);
    EXPECT_EQ(errorCode(refused), QStringLiteral("order_not_found"));
    EXPECT_TRUE(sandbox->order(id).value(QStringLiteral("refund")).toArray().isEmpty());
    EXPECT_EQ(sandbox->requests().last().fault, QStringLiteral("not-found-lag"));
    // The spell ends by itself.
    EXPECT_TRUE(eventually([&] { return info(id)->status == 200; }, 10s));
}

TEST_F(SandboxTest, FaultedInfoDoesNotMoveTheOrderOn)
{
    startSandbox();
    const QString id = QStringLiteral("p");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeApprove))->status, 200);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Html502);
    answered(info(id), 502);
    answered(info(id), 502);
    sandbox->clearFaults();
    EXPECT_EQ(orderStatus(parse(info(id)->body)), Created);
}

TEST_F(SandboxTest, DelayedRefundHappensEvenWhenItsAnswerIsLost)
{
    startSandbox();
    const QString id = QStringLiteral("d");
    completedOrder(id);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Delay, 3000);

    noAnswer(refund(
        id,
        refundBody(QStringLiteral("late"), {{QStringLiteral("1"), 3}, {QStringLiteral("2"), 2}}),
        200ms));
    EXPECT_TRUE(eventually([&] { return storedStatus(id) == QStringLiteral("refunded"); }));

    // A patient client gets the (repeated) answer once the delay is over.
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Delay, 100);
    const auto late = refund(id, refundBody(QStringLiteral("late"),
                                            {{QStringLiteral("1"), 3}, {QStringLiteral("2"), 2}}));
    answered(late, 200);
    EXPECT_EQ(orderStatus(parse(late->body)), QStringLiteral("refunded"));
}

TEST_F(SandboxTest, TrickleSendsTheAnswerByteByByte)
{
    startSandbox();
    const QString id = QStringLiteral("t");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeApprove))->status, 200);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Trickle, 1);

    std::string body;
    int pieces = 0;
    const auto polled = client()->Get(path(id, "info"), [&](const char *data, size_t length) {
        body.append(data, length);
        ++pieces;
        return true;
    });
    answered(polled, 200);
    EXPECT_GT(pieces, 10);
    EXPECT_EQ(orderStatus(parse(body)), Created);
    // The poll was carried out.
    EXPECT_EQ(storedStatus(id), Scoring);
}

TEST_F(SandboxTest, HeldRequestBlocksNeitherOtherRequestsNorStop)
{
    startSandbox();
    const QString id = QStringLiteral("h");
    ASSERT_EQ(create(id, QLatin1String(sandbox::Sandbox::CodeHold))->status, 200);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::NoAnswer);
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Delay, 60000);
    sandbox->clearRequests();

    httplib::Result held{nullptr, httplib::Error::Unknown};
    httplib::Result delayed{nullptr, httplib::Error::Unknown};
    std::thread poller([&] { held = client(60s)->Get(path(id, "info")); });
    std::thread refunder([&] { delayed = refund(id, refundBody(QStringLiteral("a"), {}), 60s); });
    ASSERT_TRUE(sandbox->waitForRequests(2, 5000));

    EXPECT_EQ(cancel(id)->status, 200);

    const auto started = std::chrono::steady_clock::now();
    sandbox->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_FALSE(sandbox->isRunning());
    poller.join();
    refunder.join();
    EXPECT_FALSE(held);
    EXPECT_FALSE(delayed);
    sandbox->stop(); // a second stop is harmless
}

TEST_F(SandboxTest, HeldRequestIsReleasedWhenTheClientGivesUp)
{
    startSandbox();
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::NoAnswer);
    // More abandoned requests than workers: each must be released, or the last would wait.
    for (int i = 0; i < 20; ++i)
        noAnswer(client(50ms)->Get(path(QStringLiteral("any"), "info")));
    sandbox->clearFaults();
    EXPECT_EQ(info(QStringLiteral("any"))->status, 404);
}

// --- The ledger and chaos --------------------------------------------------------------

TEST_F(SandboxTest, LedgerRouteShowsWhatTheServiceDidAndHealEndsChaos)
{
    options.controlRoutes = true;
    startSandbox();
    // Every request meets a fault until the service is healed.
    sandbox::Sandbox::Chaos chaos;
    chaos.percent = 100;
    chaos.delayMs = 100;
    chaos.trickleStepMs = 1;
    sandbox->setChaos(chaos);
    create(QStringLiteral("faulted"), QLatin1String(sandbox::Sandbox::CodeApprove), {});

    const auto healed = client()->Post("/_soak/heal", "{}", "application/json");
    answered(healed, 200);
    completedOrder(QStringLiteral("paid"));
    answered(refund(QStringLiteral("paid"),
                    refundBody(QStringLiteral("r1"), {{QStringLiteral("1"), 1}})),
             200);
    ASSERT_EQ(create(QStringLiteral("held"), QLatin1String(sandbox::Sandbox::CodeHold))->status,
              200);
    answered(cancel(QStringLiteral("held")), 200);

    const auto served = client()->Get("/_soak/ledger");
    answered(served, 200);
    const QJsonObject ledger = parse(served->body);
    QMap<QString, QJsonObject> orders;
    for (const QJsonValue &value : ledger.value(QStringLiteral("orders")).toArray())
        orders.insert(value.toObject().value(QStringLiteral("id")).toString(), value.toObject());
    ASSERT_TRUE(orders.contains(QStringLiteral("paid")));
    const QJsonArray refunds =
        orders.value(QStringLiteral("paid")).value(QStringLiteral("refund")).toArray();
    ASSERT_EQ(refunds.size(), 1);
    EXPECT_EQ(refunds.at(0).toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("r1"));
    EXPECT_DOUBLE_EQ(
        refunds.at(0).toObject().value(QStringLiteral("totalRefundedAmount")).toDouble(), 33.33);
    const QJsonArray cancels =
        orders.value(QStringLiteral("held")).value(QStringLiteral("cancels")).toArray();
    ASSERT_EQ(cancels.size(), 1);
    EXPECT_EQ(cancels.at(0).toObject().value(QStringLiteral("from")).toString(), Created);
    EXPECT_EQ(orders.value(QStringLiteral("held")).value(QStringLiteral("status")).toString(),
              Canceled);

    // The first create met a fault, drawn and counted; nothing after the heal did.
    const QJsonArray exchanges = ledger.value(QStringLiteral("exchanges")).toArray();
    const QJsonObject first = exchanges.first().toObject();
    EXPECT_EQ(first.value(QStringLiteral("endpoint")).toString(), QStringLiteral("create"));
    EXPECT_EQ(first.value(QStringLiteral("orderId")).toString(), QStringLiteral("faulted"));
    const QString drawn = first.value(QStringLiteral("fault")).toString();
    EXPECT_NE(drawn, QStringLiteral("none"));
    EXPECT_EQ(ledger.value(QStringLiteral("faults")).toObject().value(drawn).toInt(), 1);
    for (int i = 1; i < exchanges.size() - 1; ++i)
        EXPECT_EQ(exchanges.at(i).toObject().value(QStringLiteral("fault")).toString(),
                  QStringLiteral("none"));
    EXPECT_FALSE(
        ledger.value(QStringLiteral("chaos")).toObject().value(QStringLiteral("on")).toBool());
    // What the answers showed about their own orders, in the order they went out.
    QStringList shown;
    for (const QJsonValue &value : exchanges) {
        const QJsonObject exchange = value.toObject();
        const QString orderId = exchange.value(QStringLiteral("orderId")).toString();
        if (!orderId.isEmpty() && orderId != QLatin1String("faulted"))
            shown << exchange.value(QStringLiteral("shown")).toString();
    }
    EXPECT_EQ(shown.join(QLatin1Char(' ')), QStringLiteral("created completed created canceled"));
}

TEST_F(SandboxTest, ChaosDrawsOnlyFaultsThatMeanSomethingForTheEndpoint)
{
    options.controlRoutes = true;
    startSandbox();
    completedOrder(QStringLiteral("paid"));
    sandbox::Sandbox::Chaos chaos;
    chaos.percent = 100;
    chaos.delayMs = 1;
    chaos.trickleStepMs = 1;
    chaos.notFoundLagMinMs = chaos.notFoundLagMaxMs = 1;
    sandbox->setChaos(chaos);
    for (int i = 0; i < 60; ++i)
        info(QStringLiteral("paid"));
    sandbox->heal();
    QSet<QString> drawn;
    for (const QJsonValue &value : sandbox->ledger().value(QStringLiteral("exchanges")).toArray()) {
        const QJsonObject exchange = value.toObject();
        if (exchange.value(QStringLiteral("endpoint")).toString() == QLatin1String("info"))
            drawn.insert(exchange.value(QStringLiteral("fault")).toString());
    }
    EXPECT_GE(drawn.size(), 10);
    for (const sandbox::Sandbox::FaultName &entry : sandbox::Sandbox::faultNames()) {
        if (!sandbox::Sandbox::appliesTo(entry.fault, sandbox::Sandbox::Endpoint::Info)) {
            EXPECT_FALSE(drawn.contains(QLatin1String(entry.name))) << entry.name;
        }
    }
}

TEST_F(SandboxTest, ControlRoutesAreUnknownUnlessSwitchedOn)
{
    startSandbox();
    const auto ledger = client()->Get("/_soak/ledger");
    answered(ledger, 404);
    EXPECT_EQ(errorCode(ledger), QStringLiteral("not_found"));
    const auto heal = client()->Post("/_soak/heal", "{}", "application/json");
    answered(heal, 404);
}

// --- Service life -----------------------------------------------------------------------

TEST_F(SandboxTest, RestartKeepsThePortAndTheOrders)
{
    startSandbox();
    const int port = sandbox->port();
    ASSERT_EQ(create(QStringLiteral("kept"), QLatin1String(sandbox::Sandbox::CodeApprove))->status,
              200);
    sandbox->stop();
    EXPECT_FALSE(client()->Get(path(QStringLiteral("kept"), "info")));

    ASSERT_TRUE(sandbox->start());
    EXPECT_EQ(sandbox->port(), port);
    EXPECT_EQ(info(QStringLiteral("kept"))->status, 200);

    sandbox::Sandbox::Options taken = options;
    taken.port = port;
    sandbox::Sandbox second(taken);
    EXPECT_FALSE(second.start());
}

// A sandbox made again on its state file knows the orders made before, in the state they had,
// with their refunds: a queued cancellation replayed after a restart finds its order.
TEST_F(SandboxTest, StateFileKeepsTheOrdersForTheNextService)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    options.stateFile = dir.filePath(QStringLiteral("sandbox.sqlite"));
    startSandbox();
    ASSERT_EQ(
        create(QStringLiteral("waiting"), QLatin1String(sandbox::Sandbox::CodeApprove))->status,
        200);
    ASSERT_EQ(info(QStringLiteral("waiting"))->status, 200); // created -> scoring
    completedOrder(QStringLiteral("paid"));
    const auto refunded = refund(QStringLiteral("paid"),
                                 refundBody(QStringLiteral("r-1"), {{QStringLiteral("1"), 1}}));
    ASSERT_TRUE(refunded);
    ASSERT_EQ(refunded->status, 200) << refunded->body;
    const QJsonObject paidBefore = sandbox->order(QStringLiteral("paid"));
    sandbox->stop();
    sandbox.reset();

    startSandbox();
    const auto waiting = info(QStringLiteral("waiting"));
    ASSERT_TRUE(waiting);
    ASSERT_EQ(waiting->status, 200) << waiting->body;
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(waiting->body))
                  .object()
                  .value(QStringLiteral("order"))
                  .toObject()
                  .value(QStringLiteral("status"))
                  .toString(),
              QStringLiteral("scoring"));
    EXPECT_EQ(cancel(QStringLiteral("waiting"))->status, 200);
    EXPECT_EQ(sandbox->order(QStringLiteral("paid")), paidBefore);
    // The same refund id answers as the first time; the order keeps one refund.
    EXPECT_EQ(refund(QStringLiteral("paid"),
                     refundBody(QStringLiteral("r-1"), {{QStringLiteral("1"), 1}}))
                  ->body,
              refunded->body);
    EXPECT_EQ(
        sandbox->order(QStringLiteral("paid")).value(QStringLiteral("refund")).toArray().size(), 1);
    EXPECT_EQ(info(QStringLiteral("unknown"))->status, 404);
    sandbox->stop();
    sandbox.reset();

    // The cancellation made after the restart is kept too.
    startSandbox();
    EXPECT_EQ(storedStatus(QStringLiteral("waiting")), QStringLiteral("canceled"));
}

TEST_F(SandboxTest, UnusableStateFileStopsTheStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    options.stateFile = dir.filePath(QStringLiteral("not-a-database"));
    QFile file(options.stateFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_GT(file.write(QByteArray(4096, 'x')), 0);
    file.close();
    sandbox = std::make_unique<sandbox::Sandbox>(options);
    EXPECT_FALSE(sandbox->start());
}

// One answer read off a raw connection: its status line, or empty when the service closed the
// connection instead of answering.
std::string readAnswer(int fd)
{
    std::string data;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    size_t wanted = std::string::npos;
    while (wanted == std::string::npos || data.size() < wanted) {
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0)
            return std::string();
        data.append(buffer, static_cast<size_t>(got));
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd == std::string::npos)
                continue;
            const std::string head =
                QByteArray::fromStdString(data.substr(0, headerEnd)).toLower().toStdString();
            const size_t length = head.find("content-length:");
            const size_t bodyLength =
                length == std::string::npos ? 0 : std::stoul(head.substr(length + 15));
            wanted = headerEnd + 4 + bodyLength;
        }
    }
    return data.substr(0, data.find("\r\n"));
}

class SandboxKeepAliveTest : public SandboxTest, public testing::WithParamInterface<bool>
{
};

TEST_P(SandboxKeepAliveTest, ServesASecondRequestOnOneConnectionOnlyWithKeepAlive)
{
    options.keepAlive = GetParam();
    startSandbox();
    ASSERT_EQ(create(QStringLiteral("k"), QLatin1String(sandbox::Sandbox::CodeHold))->status, 200);

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const std::shared_ptr<void> closer(nullptr, [fd](void *) { ::close(fd); });
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(sandbox->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);

    const std::string request =
        "GET " + path(QStringLiteral("k"), "info") +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
        (Login + QLatin1Char(':') + Password).toUtf8().toBase64().toStdString() + "\r\n\r\n";
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    EXPECT_EQ(readAnswer(fd), "HTTP/1.1 200 OK");

    // Without keep-alive the service has closed the connection by now; the send may still
    // land in the socket's buffer, so only the answer tells.
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    EXPECT_EQ(readAnswer(fd), GetParam() ? "HTTP/1.1 200 OK" : "");
    EXPECT_EQ(sandbox->requests().size(), GetParam() ? 3 : 2);
}

INSTANTIATE_TEST_SUITE_P(Modes, SandboxKeepAliveTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &caseInfo) {
                             return std::string(caseInfo.param ? "KeepAlive" : "OneRequest");
                         });

// Answers go out as two writes, headers then body; a kept connection must not hold the second
// back until the client's delayed ACK (about 40 ms each time on Linux).
TEST_F(SandboxTest, KeptConnectionAnswersWithoutWaitingForDelayedAcks)
{
    options.keepAlive = true;
    startSandbox();
    const auto connection = client();
    connection->set_keep_alive(true);
    constexpr int Exchanges = 20;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < Exchanges; ++i) {
        const auto answer = connection->Get(path(QStringLiteral("none"), "info"));
        ASSERT_TRUE(answer) << httplib::to_string(answer.error());
        EXPECT_EQ(answer->status, 404);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    // Stalled, the exchanges would take 800 ms; unstalled, a few.
    EXPECT_LT(took.count(), 500) << Exchanges << " exchanges took " << took.count() << " ms";
}

class SandboxKeepAliveStopTest : public SandboxTest, public testing::WithParamInterface<bool>
{
};

// Idle keep-alive connections would hold their workers, and stop() with them, for the
// keep-alive timeout of two seconds; stop() must close them instead.
TEST_P(SandboxKeepAliveStopTest, StopClosesIdleConnectionsAtOnce)
{
    const bool tls = GetParam();
    TestCerts certs;
    if (tls) {
        ASSERT_TRUE(certs.createCa(QStringLiteral("ca"))) << certs.errorString().toStdString();
        ASSERT_TRUE(certs.createServer(QStringLiteral("server"), QStringLiteral("ca"),
                                       {QStringLiteral("127.0.0.1")}))
            << certs.errorString().toStdString();
        options.certificateFile = certs.certPath(QStringLiteral("server"));
        options.privateKeyFile = certs.keyPath(QStringLiteral("server"));
    }
    options.keepAlive = true;
    startSandbox();

    const auto connect = [&] {
        std::unique_ptr<httplib::ClientImpl> connection;
        if (tls) {
            auto secure = std::make_unique<httplib::SSLClient>("127.0.0.1", sandbox->port());
            secure->set_ca_cert_path(certs.certPath(QStringLiteral("ca")).toStdString().c_str());
            secure->enable_server_certificate_verification(true);
            connection = std::move(secure);
        } else {
            connection = std::make_unique<httplib::ClientImpl>("127.0.0.1", sandbox->port());
        }
        connection->set_keep_alive(true);
        connection->set_basic_auth(Login.toStdString(), Password.toStdString());
        connection->set_read_timeout(5s);
        return connection;
    };

    std::vector<std::unique_ptr<httplib::ClientImpl>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(connect());
        const auto answer = clients.back()->Get(path(QStringLiteral("none"), "info"));
        ASSERT_TRUE(answer) << httplib::to_string(answer.error());
        EXPECT_EQ(answer->status, 404);
        EXPECT_NE(answer->get_header_value("Connection"), "close");
    }

    const auto started = std::chrono::steady_clock::now();
    sandbox->stop();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    EXPECT_LT(took.count(), 1500) << "stop() took " << took.count() << " ms";
    EXPECT_FALSE(sandbox->isRunning());
    clients.clear();

    // It comes back on the same port and serves again.
    ASSERT_TRUE(sandbox->start());
    const auto again = connect()->Get(path(QStringLiteral("none"), "info"));
    ASSERT_TRUE(again) << httplib::to_string(again.error());
    EXPECT_EQ(again->status, 404);
}

INSTANTIATE_TEST_SUITE_P(Transports, SandboxKeepAliveStopTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &caseInfo) {
                             return std::string(caseInfo.param ? "Tls" : "Plain");
                         });

TEST_F(SandboxTest, ServesTlsWithItsOwnCertificateAndChecksClientCertificates)
{
    TestCerts certs;
    ASSERT_TRUE(certs.createCa(QStringLiteral("ca"))) << certs.errorString().toStdString();
    ASSERT_TRUE(certs.createServer(QStringLiteral("server"), QStringLiteral("ca"),
                                   {QStringLiteral("127.0.0.1")}))
        << certs.errorString().toStdString();
    ASSERT_TRUE(
        certs.createClient(QStringLiteral("client"), QStringLiteral("ca"), QStringLiteral("pw")))
        << certs.errorString().toStdString();

    options.certificateFile = certs.certPath(QStringLiteral("server"));
    options.privateKeyFile = certs.keyPath(QStringLiteral("server"));
    options.clientCaFile = certs.certPath(QStringLiteral("ca"));
    startSandbox();
    EXPECT_TRUE(sandbox->baseUrl().startsWith(QStringLiteral("https://127.0.0.1:")));

    const auto tlsClient = [&](bool withCertificate) {
        auto result = withCertificate
                          ? std::make_unique<httplib::SSLClient>(
                                "127.0.0.1", sandbox->port(),
                                certs.certPath(QStringLiteral("client")).toStdString(),
                                certs.keyPath(QStringLiteral("client")).toStdString())
                          : std::make_unique<httplib::SSLClient>("127.0.0.1", sandbox->port());
        result->set_ca_cert_path(certs.certPath(QStringLiteral("ca")).toStdString().c_str());
        result->enable_server_certificate_verification(true);
        result->set_basic_auth(Login.toStdString(), Password.toStdString());
        result->set_read_timeout(5s);
        return result;
    };
    const std::string body =
        dump(createBody(QStringLiteral("tls"), QLatin1String(sandbox::Sandbox::CodeApprove)));

    EXPECT_FALSE(tlsClient(false)->Post(Base + "/create_offline", body, "application/json"));
    EXPECT_TRUE(sandbox->order(QStringLiteral("tls")).isEmpty());

    const auto created = tlsClient(true)->Post(Base + "/create_offline", body, "application/json");
    ASSERT_TRUE(created) << httplib::to_string(created.error());
    EXPECT_EQ(created->status, 200);

    // Faults that drop the connection work over TLS as well.
    sandbox->setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::Drop);
    EXPECT_FALSE(tlsClient(true)->Get(path(QStringLiteral("tls"), "info")));
    EXPECT_EQ(storedStatus(QStringLiteral("tls")), Created);
}

} // namespace
