// The host's other buttons through the loaded plug-in against the sandbox: the connection
// test, the payment status and the slips of the operations that went through.

#include "e2efixture.h"

#include <dbqueuebroker.h>
#include <plugin/slip.h>
#include <singleton.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Endpoint = sandbox::Sandbox::Endpoint;
using Fault = sandbox::Sandbox::Fault;

class HostButtonsTest : public E2EFixture
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setReceipt(2000);
        addItem(1, 2, 1000);
        addItem(2, 1, 1000);
    }
};

// The connection test sends one status request for a made-up order and says which of
// reachable, unreachable, timed out, refused credentials or a meaningless answer it met.
struct ConnectionCase
{
    const char *name;
    std::function<void(HostButtonsTest &, sandbox::Sandbox &)> arrange;
    bool success;
    const char *messageKey;
};

class ConnectionTest : public HostButtonsTest, public testing::WithParamInterface<ConnectionCase>
{
public:
    void wrongPassword()
    {
        setConfig(QStringLiteral("Velmor:password"), QStringLiteral("wrong"));
        processing()->init();
    }
};

TEST_P(ConnectionTest, SaysWhatItMet)
{
    const ConnectionCase &c = GetParam();
    c.arrange(*this, *sandbox);
    const PaymentProcessingAnswer answer = processing()->testConnection();
    EXPECT_EQ(answer.isSuccess(), c.success);
    EXPECT_EQ(answer.getMessage().key(), QString::fromLatin1(c.messageKey));
    // Nothing is created, cancelled or queued: one status request at most.
    const auto requests = sandbox->requests();
    EXPECT_LE(requests.size(), 1);
    for (const auto &request : requests)
        EXPECT_TRUE(request.method == QLatin1String("GET") &&
                    request.path.endsWith(QLatin1String("/info")))
            << qPrintable(request.path);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Verdicts, ConnectionTest,
    testing::Values(
        ConnectionCase{"Reachable", [](HostButtonsTest &, sandbox::Sandbox &) {}, true, "velmorConnectionOk"},
        ConnectionCase{"Down", [](HostButtonsTest &, sandbox::Sandbox &service) { service.stop(); }, false, "velmorConnectionUnreachable"},
        ConnectionCase{"Silent", [](HostButtonsTest &, sandbox::Sandbox &service) { service.setFault(Endpoint::Info, Fault::NoAnswer); }, false, "velmorConnectionTimedOut"},
        ConnectionCase{"GatewayPage", [](HostButtonsTest &, sandbox::Sandbox &service) { service.setFault(Endpoint::Info, Fault::Html502); }, false, "velmorConnectionMeaningless"},
        ConnectionCase{"WrongPassword", [](HostButtonsTest &fixture, sandbox::Sandbox &) { static_cast<ConnectionTest &>(fixture).wrongPassword(); }, false, "velmorConnectionCredentialsRefused"}),
    [](const testing::TestParamInfo<ConnectionCase> &caseInfo) { return std::string(caseInfo.param.name); });
// clang-format on

TEST_F(HostButtonsTest, StatusOfAPaidAndPartlyRefundedOrder)
{
    const QString orderId = completedSale(200000);
    document->setGoodsItems({});
    addItem(1, 2, 1000, 1);
    addItem(2, 1, 1000, 0);
    ASSERT_EQ(processing()->payment(refundRequest(orderId, 50000)).getStatus(),
              PaymentProcessingAnswer::Success);

    const PaymentProcessingAnswer answer = processing()->getPaymentByQRCodeStatus(orderId);
    EXPECT_TRUE(answer.isSuccess()) << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorStateCompleted"));
    EXPECT_EQ(answer.getRRN(), orderId);
    EXPECT_EQ(answer.getSum(), 2000.0);
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("refunded")).toDouble(), 500.0);
}

TEST_F(HostButtonsTest, StatusThatTheServiceCannotGive)
{
    PaymentProcessingAnswer answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("order_not_found"));
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("httpCode")).toInt(), 404);

    sandbox->setFault(Endpoint::Info, Fault::Json500);
    answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("noUsableAnswer"));

    sandbox->stop();
    answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("noAnswer"));
    EXPECT_FALSE(answer.getMessage().isEmpty());
}

// A paid sale, a refund and a queued cancellation each answer with their slip, fitted to the
// printer's width.
TEST_F(HostButtonsTest, OperationsThatWentThroughAnswerWithTheirSlip)
{
    for (const int width : {0, 48}) {
        PaymentProcessingRequest sale = saleRequest(200000, sandbox::Sandbox::CodePaid);
        sale.setPrintWidth(width);
        const PaymentProcessingAnswer paid = processing()->payment(sale);
        ASSERT_EQ(paid.getStatus(), PaymentProcessingAnswer::Success);
        const QStringList lines = paid.getPrintImages();
        const int limit = width > 0 ? width : Slip::DefaultWidth;
        for (const QString &line : lines)
            EXPECT_LE(line.size(), limit) << qPrintable(line);
        EXPECT_TRUE(lines.contains(QStringLiteral("Оплата")));
        EXPECT_TRUE(lines.contains(QStringLiteral("Сумма: 2000.00 руб.")));
        // The order id, 36 characters, goes whole onto a wide slip and is wrapped on a narrow
        // one.
        EXPECT_TRUE(lines.join(QString()).contains(paid.getRRN()));
        EXPECT_EQ(lines.contains(QStringLiteral("Заказ: ") + paid.getRRN()), width == 48);
    }

    // A refused sale prints nothing.
    const PaymentProcessingAnswer rejected =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeReject));
    EXPECT_TRUE(rejected.getPrintImages().isEmpty());

    const QString orderId = completedSale(200000);
    sandbox->stop();
    const PaymentProcessingAnswer cancelled =
        processing()->cancel(refundRequest(orderId, 200000, 1));
    ASSERT_EQ(cancelled.getMessage().key(), QStringLiteral("velmorCancelQueued"));
    const QStringList lines = cancelled.getPrintImages();
    EXPECT_TRUE(lines.contains(QStringLiteral("Отмена оплаты")));
    EXPECT_TRUE(lines.join(QLatin1Char(' '))
                    .contains(QStringLiteral(
                        "Операция будет завершена после восстановления связи с сервером")));
}

// Lines break at spaces, inside a word only when it is wider than the line, and never between
// the two halves of a character outside the basic plane.
TEST(SlipTest, FittedLinesKeepWordsAndCharactersWhole)
{
    EXPECT_EQ(
        Slip::fitted(QStringLiteral("Сумма: 2000.00 руб."), 10),
        (QStringList{QStringLiteral("Сумма:"), QStringLiteral("2000.00"), QStringLiteral("руб.")}));
    EXPECT_EQ(Slip::fitted(QStringLiteral("Заказ: abcdefghij"), 4),
              (QStringList{QStringLiteral("Зака"), QStringLiteral("з:"), QStringLiteral("abcd"),
                           QStringLiteral("efgh"), QStringLiteral("ij")}));
    const QString wide =
        QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("c");
    const QStringList lines = Slip::fitted(wide, 3);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("ab"),
                                  QString::fromUcs4(U"\U0001F600") + QStringLiteral("c")}));
    EXPECT_EQ(Slip::fitted(QString(), 32), QStringList{QString()});
}

} // namespace
