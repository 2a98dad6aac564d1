#include "faketransport.h"
#include "hostfixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPluginLoader>
#include <config.h>
#include <mockfactory.h>
#include <plugin/velmor.h>
#include <session.h>
#include <singleton.h>
#include <velmor/interface.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::_;
using testing::Return;
using velmor::RequestResult;

namespace {

class MockClient : public velmor::Interface
{
public:
    MOCK_METHOD(void, init, (), (override));
    MOCK_METHOD(RequestResult, createOffline, (const PaymentProcessingRequest &), (override));
    MOCK_METHOD(RequestResult, info, (const QString &), (const, override));
    MOCK_METHOD(RequestResult, cancel, (bool), (override));
    MOCK_METHOD(RequestResult, refund, (const PaymentProcessingRequest &), (override));
    MOCK_METHOD(RequestResult, refund, (const QString &, const QJsonObject &), (override));
};

class TestVelmor : public Velmor
{
public:
    explicit TestVelmor(const QSharedPointer<velmor::Interface> &client) : Velmor(client) {}
    void setPaySystemsDirectory(const QString &directory) { paySystemsDirectory = directory; }
};

RequestResult result(bool success, int orderStatus = velmor::Undefined, const tr::Tr &message = {},
                     const QString &id = QString())
{
    RequestResult r;
    r.success = success;
    r.orderStatus = orderStatus;
    r.message = message;
    r.id = id;
    return r;
}

PaymentProcessingRequest request(int type, int amount)
{
    PaymentProcessingRequest r;
    r.setRequestType(type);
    r.setAmount(amount);
    return r;
}

// The built library, loaded as the host loads it.

class PluginTest : public HostFixture
{
protected:
    static QPluginLoader &loader()
    {
        static QPluginLoader instance(QStringLiteral(VELMOR_PLUGIN_PATH));
        return instance;
    }

    void SetUp() override
    {
        HostFixture::SetUp();
        ASSERT_TRUE(loader().load()) << qPrintable(loader().errorString());
    }

    void TearDown() override
    {
        delete loader().instance();
        MockFactory<RestClient>::creator = [] { return MockFactory<RestClient>::defaultCreator(); };
        HostFixture::TearDown();
    }

    BasicPaymentProcessing *processing()
    {
        return qobject_cast<BasicPaymentProcessing *>(loader().instance());
    }
};

TEST_F(PluginTest, MetadataAndInterface)
{
    EXPECT_EQ(loader().metaData().value(QStringLiteral("IID")).toString(),
              QStringLiteral("Velmor"));
    EXPECT_EQ(loader().metaData().value(QStringLiteral("className")).toString(),
              QStringLiteral("Velmor"));
    QObject *object = loader().instance();
    ASSERT_NE(object, nullptr);
    void *base = object->qt_metacast("ZelnarPaymentProcessing/1.0");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(object->qt_metacast("BasicPaymentProcessing"), base);
    EXPECT_EQ(object->qt_metacast("Velmor"), static_cast<void *>(object));
    EXPECT_EQ(object->qt_metacast(nullptr), nullptr);
    EXPECT_EQ(static_cast<void *>(processing()), base);
}

TEST_F(PluginTest, DefaultsOfTheProcessingObject)
{
    BasicPaymentProcessing *p = processing();
    ASSERT_NE(p, nullptr);
    for (int type = 0; type < 8; ++type) {
        const auto t = PaymentProcessingRequest::Type(type);
        EXPECT_EQ(p->isPaymentEnable(t), type == 1 || type == 3) << type;
        EXPECT_EQ(p->isCancelEnable(t), type == 1) << type;
    }
    EXPECT_TRUE(p->checkOption(processing::Option(0)));
    EXPECT_TRUE(p->checkOption(EPaymentProcessingOption::Option(0x10)));
    EXPECT_TRUE(p->checkOption(EPaymentProcessingOption::Option(0x4000)));
    EXPECT_TRUE(p->checkOption(EPaymentProcessingOption::Option(0x4010)));
    EXPECT_FALSE(p->checkOption(EPaymentProcessingOption::Option(0)));
    EXPECT_EQ(p->getDialogImagePath(), QStringLiteral(":/velmor/scan_token.png"));
    EXPECT_EQ(p->getDialogScanMask(), QStringLiteral(".*"));

    const auto messages = p->getMessageInfo();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.value(EPaymentProcessingInfo::ScanTitle),
              tr::Tr(QStringLiteral("velmorScanTitle"), QStringLiteral("Ввод QR-кода VELMOR")));
    EXPECT_EQ(
        messages.value(EPaymentProcessingInfo::ScanMessage),
        tr::Tr(QStringLiteral("velmorScanMessage"), QStringLiteral("Отсканируйте QR-код VELMOR")));
}

TEST_F(PluginTest, ScanPictureIsCompiledIn)
{
    QFile picture(QStringLiteral(":/velmor/scan_token.png"));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    const QByteArray png = picture.readAll();
    ASSERT_GT(png.size(), 33);
    EXPECT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    const auto be32 = [&png](int at) {
        return (uchar(png[at]) << 24) | (uchar(png[at + 1]) << 16) | (uchar(png[at + 2]) << 8) |
               uchar(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 453u);
    EXPECT_EQ(be32(20), 350u);
    EXPECT_EQ(int(png[24]), 8); // bit depth
    EXPECT_EQ(int(png[25]), 6); // RGBA
}

TEST_F(PluginTest, InitReadsTheLoadedConfiguration)
{
    // The host loads the ini file wherever it lives; the fixed path adds nothing here.
    QFile ini(tempDir.filePath(QStringLiteral("velmor.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Velmor]\nurl=http://127.0.0.1:9/base/\nlogin=Логин\npassword=p\n"
              "[Velmro]\ninfoRequestInterval=0\n");
    ini.close();
    Singleton<Config>::instance->loadFile(ini.fileName(), QString());

    auto transport = QSharedPointer<FakeTransport>::create();
    MockFactory<RestClient>::creator = [transport] { return transport.staticCast<RestClient>(); };
    delete loader().instance();
    BasicPaymentProcessing *p = processing();
    p->init();
    EXPECT_TRUE(logContains(QStringLiteral("INFO Инициализация процессинга Velmor")));
    EXPECT_TRUE(logContains(QStringLiteral("Установка адреса сервера: http://127.0.0.1:9/base/")));
    // An interval of 0 would poll back to back: one second is in force.
    EXPECT_TRUE(logContains(QStringLiteral("Установка интервала запроса статуса заказа: 1 с.")));

    setReceipt(1.5);
    transport->enqueueJson(200, R"({"order":{"status":"created"}})");
    transport->enqueueJson(200, R"({"order":{"status":"completed"}})");
    const PaymentProcessingAnswer answer = p->payment(request(1, 150));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    ASSERT_EQ(transport->exchanges().size(), 2);
    EXPECT_EQ(transport->exchanges()[0].url.path(), QStringLiteral("/base/create_offline"));
    EXPECT_EQ(answer.getRRN(),
              transport->exchanges()[0].headers.value(QStringLiteral("X-Correlation-ID")));
    EXPECT_EQ(transport->exchanges()[0].headers.value(QStringLiteral("Authorization")),
              QStringLiteral("Basic ") +
                  QString::fromLatin1(QStringLiteral("Логин:p").toLocal8Bit().toBase64()));
}

// Forwarding and answers, against a mocked client.

class VelmorTest : public HostFixture
{
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        client = QSharedPointer<testing::StrictMock<MockClient>>::create();
        velmor.reset(new TestVelmor(client));
    }

    void TearDown() override
    {
        velmor.reset();
        client.reset();
        HostFixture::TearDown();
    }

    QSharedPointer<testing::StrictMock<MockClient>> client;
    std::unique_ptr<TestVelmor> velmor;
};

TEST_F(VelmorTest, SaleForwardsAndAnswersWithTheOrderId)
{
    EXPECT_CALL(*client, createOffline(request(1, 150)))
        .WillOnce(Return(result(true, velmor::Completed, {}, QStringLiteral("id-1"))));
    const PaymentProcessingAnswer answer = velmor->payment(request(1, 150));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_EQ(answer.getRRN(), QStringLiteral("id-1"));
    EXPECT_EQ(answer.getPaymentMethod(), EPaymentMethod(2));
    EXPECT_TRUE(logContains(QStringLiteral("INFO Оплата на сумму 1.50")));
}

TEST_F(VelmorTest, CanceledSaleAnswersStatusTwoWhateverItsSuccess)
{
    EXPECT_CALL(*client, createOffline(_))
        .WillOnce(Return(result(true, velmor::Canceled, {}, QStringLiteral("id-2"))));
    const PaymentProcessingAnswer answer = velmor->payment(request(1, 0));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::OrderCanceled);
    EXPECT_TRUE(logContains(QStringLiteral("INFO Оплата на сумму 0.00")));
}

TEST_F(VelmorTest, FailedSaleStillCarriesTheOrderId)
{
    const tr::Tr rejected(QStringLiteral("velmorRejected"), QStringLiteral("Заявка отклонена"));
    EXPECT_CALL(*client, createOffline(_))
        .WillOnce(Return(result(false, velmor::Rejected, rejected, QStringLiteral("id-3"))));
    const PaymentProcessingAnswer answer = velmor->payment(request(1, 100));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(answer.getMessage(), rejected);
    EXPECT_EQ(answer.getRRN(), QStringLiteral("id-3"));
    EXPECT_EQ(answer.getPaymentMethod(), EPaymentMethod(2));
}

TEST_F(VelmorTest, EveryOtherTypeIsARefund)
{
    for (int type : {3, 0, 7}) {
        EXPECT_CALL(*client, refund(request(type, 150))).WillOnce(Return(result(true)));
        EXPECT_EQ(velmor->payment(request(type, 150)).getStatus(),
                  PaymentProcessingAnswer::Success);
    }
    EXPECT_TRUE(logContains(QStringLiteral("INFO Возврат по чеку продажи на сумму 1.50")));
}

struct CancelCase
{
    bool success;
    bool withMessage;
    int status;
};

class VelmorCancelTest : public VelmorTest, public testing::WithParamInterface<CancelCase>
{
};

TEST_P(VelmorCancelTest, CancellationAnswer)
{
    const tr::Tr message =
        GetParam().withMessage ? tr::Tr(QStringLiteral("k"), QStringLiteral("t")) : tr::Tr();
    EXPECT_CALL(*client, refund(request(1, 500)))
        .WillOnce(
            Return(result(GetParam().success, velmor::Undefined, message, QStringLiteral("x"))));
    const PaymentProcessingAnswer answer = velmor->cancel(request(1, 500));
    EXPECT_EQ(int(answer.getStatus()), GetParam().status);
    EXPECT_EQ(answer.getMessage(), message);
    EXPECT_TRUE(answer.getRRN().isNull());
    EXPECT_EQ(answer.getPaymentMethod(), EPaymentMethod(2));
    EXPECT_TRUE(logContains(QStringLiteral("INFO Отмена оплаты в чеке продажи")));
}

INSTANTIATE_TEST_SUITE_P(Answers, VelmorCancelTest,
                         testing::Values(CancelCase{true, false, 0}, CancelCase{true, true, 6},
                                         CancelCase{false, true, 1}, CancelCase{false, false, 1}));

TEST_F(VelmorTest, InterruptionReportsOnlyACanceledOrder)
{
    EXPECT_CALL(*client, cancel(false))
        .WillOnce(Return(result(false, velmor::Canceled)))
        .WillOnce(Return(result(true, velmor::Approved)))
        .WillOnce(Return(result(true, velmor::Undefined)));
    EXPECT_TRUE(velmor->interruptPayment());
    EXPECT_FALSE(velmor->interruptPayment());
    EXPECT_FALSE(velmor->interruptPayment());
    EXPECT_TRUE(logContains(QStringLiteral("INFO Отмена заказа")));
}

// The replay of queued messages, row by row.

enum class Then { Nothing, Cancel, Refund };

// What the queued message's request says: a sale's cancellation (no RRN) of some age, or a
// paid order's refund receipt or cancellation.
enum class Queued { Refund, WholeCancellation, SaleCancellation, OldSaleCancellation };

struct ReplayCase
{
    const char *name;
    bool noResponse;
    bool success;
    const char *infoBody;
    Then then;
    RequestResult thenResult;
    bool answer;
    const char *logLine;
    Queued queued = Queued::Refund;
};

RequestResult refunded()
{
    return result(true, velmor::Refunded);
}

RequestResult acceptedPartialRefund()
{
    RequestResult r = result(true, velmor::Completed);
    r.httpCode = 200;
    return r;
}

// A 200 that shows nothing about the order: {} or {"result": "accepted"}.
RequestResult meaninglessAnswer()
{
    RequestResult r = result(true);
    r.httpCode = 200;
    r.delivery = velmor::Delivery::NoUse;
    return r;
}

// A refund answer that lists the stored refund by its id.
RequestResult listingTheStoredRefund()
{
    RequestResult r = result(true, velmor::Completed);
    r.httpCode = 200;
    r.json = QJsonDocument::fromJson(R"({"refund":{"id":"R-1","totalRefundedAmount":5}})").object();
    return r;
}

RequestResult refusedAsExceeding()
{
    RequestResult r = result(false);
    r.delivery = velmor::Delivery::ServiceError;
    r.errorCode = QStringLiteral("exceeding_refunded_amount");
    return r;
}

class ReplayTest : public VelmorTest, public testing::WithParamInterface<ReplayCase>
{
};

TEST_P(ReplayTest, OrderStateDecides)
{
    const ReplayCase &c = GetParam();
    RequestResult orderInfo;
    orderInfo.noResponse = c.noResponse;
    orderInfo.success = c.success;
    orderInfo.json = QJsonDocument::fromJson(c.infoBody).object();
    if (c.noResponse)
        orderInfo.delivery = velmor::Delivery::TimedOut;
    if (orderInfo.json.contains(QStringLiteral("error"))) {
        orderInfo.delivery = velmor::Delivery::ServiceError;
        orderInfo.errorCode =
            orderInfo.json[QStringLiteral("error")].toObject()[QStringLiteral("code")].toString();
    }
    velmor::Interface decoder;
    if (orderInfo.json.contains(QStringLiteral("order")))
        orderInfo.orderStatus = decoder.getOrderStatus(orderInfo.json[QStringLiteral("order")]
                                                           .toObject()[QStringLiteral("status")]
                                                           .toString()
                                                           .toLower());

    const QJsonObject stored =
        QJsonDocument::fromJson(R"({"order":{"refund":{"id":"r-1"}}})").object();
    QMap<QString, QVariant> message;
    message.insert(QStringLiteral("orderId"), QStringLiteral("o-5"));
    message.insert(QStringLiteral("refund"), stored.toVariantMap());
    QVariantMap queuedRequest;
    const bool ofSale =
        c.queued == Queued::SaleCancellation || c.queued == Queued::OldSaleCancellation;
    queuedRequest.insert(QStringLiteral("requestType"), c.queued == Queued::Refund ? 3 : 1);
    queuedRequest.insert(QStringLiteral("rrn"), ofSale ? QString() : QStringLiteral("o-5"));
    // The oldest sale is just past the hour an unknown order may take to turn up.
    queuedRequest.insert(QStringLiteral("dateTime"),
                         QDateTime::currentDateTime().addSecs(
                             c.queued == Queued::OldSaleCancellation ? -3601 : -60));
    message.insert(QStringLiteral("request"), queuedRequest);

    EXPECT_CALL(*client, info(QStringLiteral("o-5"))).WillOnce(Return(orderInfo));
    if (c.then == Then::Cancel)
        EXPECT_CALL(*client, cancel(true)).WillOnce(Return(c.thenResult));
    if (c.then == Then::Refund)
        EXPECT_CALL(*client, refund(QStringLiteral("o-5"), stored)).WillOnce(Return(c.thenResult));

    EXPECT_EQ(velmor->sendEnqueuedMessage(message), c.answer);
    EXPECT_TRUE(logContains(QStringLiteral("INFO Заказ: o-5")));
    if (*c.logLine) {
        EXPECT_TRUE(logContains(QString::fromUtf8(c.logLine)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplayTest,
    testing::Values(
        ReplayCase{"NoAnswer", true, false, "", Then::Nothing, {}, false, ""},
        ReplayCase{
            "RefundedInFull",
            false,
            true,
            R"({"order":{"status":"refunded","amount":10},"refund":[{"totalRefundedAmount":10}]})",
            Then::Nothing,
            {},
            true,
            "INFO Возврат выполнен"},
        ReplayCase{"ErrorObjectProvesNothing",
                   false,
                   false,
                   R"({"error":{"code":"x","text":"y"}})",
                   Then::Nothing,
                   {},
                   false,
                   ""},
        // A paid order the service does not know is another service or a lost order: its
        // refund is never dropped.
        ReplayCase{"UnknownPaidOrderKeeps",
                   false,
                   false,
                   R"({"error":{"code":"order_not_found","text":"y"}})",
                   Then::Nothing,
                   {},
                   false,
                   "ERROR Заказ o-5 не найден на сервере, хотя оплачен"},
        ReplayCase{"UnknownOrderOfAWholeCancellationKeeps",
                   false,
                   false,
                   R"({"error":{"code":"order_not_found","text":"y"}})",
                   Then::Nothing,
                   {},
                   false,
                   "ERROR Заказ o-5 не найден на сервере, хотя оплачен",
                   Queued::WholeCancellation},
        // A sale's create may still be on its way: its cancellation waits an hour for it.
        ReplayCase{"UnknownOrderOfARecentSaleKeeps",
                   false,
                   false,
                   R"({"error":{"code":"order_not_found","text":"y"}})",
                   Then::Nothing,
                   {},
                   false,
                   "INFO Заказ o-5 пока не найден на сервере",
                   Queued::SaleCancellation},
        ReplayCase{"UnknownOrderOfAnOldSaleFinishes",
                   false,
                   false,
                   R"({"error":{"code":"order_not_found","text":"y"}})",
                   Then::Nothing,
                   {},
                   true,
                   "WARN Заказ o-5 не найден на сервере спустя",
                   Queued::OldSaleCancellation},
        ReplayCase{"Rejected",
                   false,
                   false,
                   R"({"order":{"status":"rejected","amount":10}})",
                   Then::Nothing,
                   {},
                   true,
                   ""},
        ReplayCase{"Canceled",
                   false,
                   true,
                   R"({"order":{"status":"canceled","amount":10}})",
                   Then::Nothing,
                   {},
                   true,
                   ""},
        ReplayCase{"ApprovedIsCancelled", false, true,
                   R"({"order":{"status":"approved","amount":10}})", Then::Cancel,
                   result(true, velmor::Canceled), true, ""},
        ReplayCase{"ApprovedCancelFails", false, true,
                   R"({"order":{"status":"approved","amount":10}})", Then::Cancel, result(false),
                   false, ""},
        ReplayCase{"CompletedIsRefunded", false, true,
                   R"({"order":{"status":"completed","amount":10},"refund":[]})", Then::Refund,
                   refunded(), true, ""},
        // The order unchanged shows nothing of this refund; its own id does.
        ReplayCase{"CompletedOrderUnchangedKeeps", false, true,
                   R"({"order":{"status":"completed","amount":10}})", Then::Refund,
                   acceptedPartialRefund(), false, ""},
        ReplayCase{"CompletedRefundListingItsIdFinishes", false, true,
                   R"({"order":{"status":"completed","amount":10}})", Then::Refund,
                   listingTheStoredRefund(), true, ""},
        // An earlier replay made it and lost the answer: nothing is sent again.
        ReplayCase{"StoredRefundAlreadyListedFinishes",
                   false,
                   true,
                   R"({"order":{"status":"completed","amount":10},"refund":[{"id":"r-1"}]})",
                   Then::Nothing,
                   {},
                   true,
                   "INFO Возврат r-1 по заказу o-5 уже выполнен"},
        // An order of nothing is not refunded in full.
        ReplayCase{"OrderOfNothingIsNotRefundedInFull", false, true,
                   R"({"order":{"status":"completed","amount":0},"refund":[]})", Then::Refund,
                   meaninglessAnswer(), false, ""},
        // The whole payment's cancellation is finished only when the order is refunded in
        // full: without the refunds' positions, what is left cannot be known.
        ReplayCase{"WholeCancellationExceedingKeeps", false, true,
                   R"({"order":{"status":"completed","amount":10},"refund":[{"id":"x"}]})",
                   Then::Refund, refusedAsExceeding(), false,
                   "ERROR Заказ o-5: отмена оплаты превышает остаток заказа",
                   Queued::WholeCancellation},
        ReplayCase{"CompletedRefundFails", false, true,
                   R"({"order":{"status":"completed","amount":10}})", Then::Refund, result(false),
                   false, ""},
        ReplayCase{"CompletedMeaninglessAnswerKeeps", false, true,
                   R"({"order":{"status":"completed","amount":10}})", Then::Refund,
                   meaninglessAnswer(), false, ""},
        // Another refund came first: the stored one can never be made as stored.
        ReplayCase{"CompletedExceedingFinishes", false, true,
                   R"({"order":{"status":"completed","amount":10}})", Then::Refund,
                   refusedAsExceeding(), true, "WARN Заказ o-5: сохраненный возврат превышает"},
        // Refunds that fall short of the amount (a prepaid part, rounding): the stored refund
        // goes again under its id.
        ReplayCase{
            "RefundedButNotInFullSendsTheStoredRefund", false, true,
            R"({"order":{"status":"refunded","amount":10},"refund":[{"totalRefundedAmount":5}]})",
            Then::Refund, refunded(), true, ""},
        ReplayCase{
            "RefundedButNotInFullExceedingFinishes", false, true,
            R"({"order":{"status":"refunded","amount":10},"refund":[{"totalRefundedAmount":5}]})",
            Then::Refund, refusedAsExceeding(), true,
            "WARN Заказ o-5: сохраненный возврат превышает"},
        ReplayCase{
            "RefundedButNotInFullMeaninglessKeeps", false, true,
            R"({"order":{"status":"refunded","amount":10},"refund":[{"totalRefundedAmount":5}]})",
            Then::Refund, meaninglessAnswer(), false, ""},
        // Not paid yet: the cashier's cancellation is still wanted.
        ReplayCase{"CreatedIsCancelled", false, true,
                   R"({"order":{"status":"created","amount":10}})", Then::Cancel,
                   result(true, velmor::Canceled), true, ""},
        ReplayCase{"ScoringCancelFails", false, true,
                   R"({"order":{"status":"scoring","amount":10}})", Then::Cancel, result(false),
                   false, ""},
        ReplayCase{"Processed",
                   false,
                   true,
                   R"({"order":{"status":"processed","amount":10}})",
                   Then::Nothing,
                   {},
                   false,
                   "WARN Некорректный статус заказа"}),
    [](const testing::TestParamInfo<ReplayCase> &caseInfo) {
        return std::string(caseInfo.param.name);
    });

TEST_F(VelmorTest, MessageWithoutOrderIdAsksForAnEmptyId)
{
    RequestResult unanswered;
    unanswered.noResponse = true;
    EXPECT_CALL(*client, info(QString())).WillOnce(Return(unanswered));
    EXPECT_FALSE(velmor->sendEnqueuedMessage({}));
}

// ---- The configuration file the plug-in names ----

enum class IniFile { Missing, Usable, NotUtf8, NoSection, Directory, UnusableButStoodIn };

struct ConfigFileCase
{
    const char *name;
    IniFile file;
    bool refused;
    const char *log; // part of a log line
};

void PrintTo(const ConfigFileCase &testCase, std::ostream *os)
{
    *os << testCase.name;
}

class VelmorConfigFileTest : public VelmorTest, public testing::WithParamInterface<ConfigFileCase>
{
};

TEST_P(VelmorConfigFileTest, UnusableFileStopsEveryOperationBeforeTheClient)
{
    const QString fileName = tempDir.filePath(QStringLiteral("velmor/velmor.ini"));
    ASSERT_TRUE(QDir(tempDir.path())
                    .mkpath(GetParam().file == IniFile::Directory
                                ? QStringLiteral("velmor/velmor.ini")
                                : QStringLiteral("velmor")));
    QFile ini(fileName);
    switch (GetParam().file) {
    case IniFile::Missing:
    case IniFile::Directory:
        break;
    case IniFile::Usable:
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Velmor]\nurl=http://127.0.0.1:9\n");
        break;
    case IniFile::NotUtf8:
    case IniFile::UnusableButStoodIn:
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Velmor]\nlogin=\xcf\xf0\xee\xe4\xe0\xe2\xe5\xf6\n"); // cp1251
        break;
    case IniFile::NoSection:
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("url=http://127.0.0.1:9\n");
        break;
    }
    ini.close();
    // A host that stands its own file in has the plug-in's keys loaded already.
    if (GetParam().file == IniFile::UnusableButStoodIn)
        Singleton<Config>::instance->setValue(QStringLiteral("Velmor:url"),
                                              QStringLiteral("http://127.0.0.1:9"));

    velmor->setPaySystemsDirectory(tempDir.path() + QLatin1Char('/'));
    EXPECT_CALL(*client, init());
    velmor->init();
    EXPECT_TRUE(
        logContains(QString::fromUtf8(GetParam().log).replace(QStringLiteral("@FILE@"), fileName)));

    if (GetParam().refused) {
        // The strict mock fails the test on any call: nothing reaches the service.
        for (const PaymentProcessingAnswer &answer :
             {velmor->payment(request(1, 100)), velmor->payment(request(3, 100)),
              velmor->cancel(request(1, 100))}) {
            EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
            EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorConfigUnusable"));
            EXPECT_THAT(answer.getMessage().ru().toStdString(),
                        testing::HasSubstr(fileName.toStdString()));
        }
        EXPECT_FALSE(velmor->interruptPayment());
        EXPECT_FALSE(
            velmor->sendEnqueuedMessage({{QStringLiteral("orderId"), QStringLiteral("o")}}));
    } else {
        EXPECT_CALL(*client, createOffline(_)).WillOnce(Return(result(true, velmor::Completed)));
        EXPECT_EQ(velmor->payment(request(1, 100)).getStatus(), PaymentProcessingAnswer::Success);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, VelmorConfigFileTest,
    testing::Values(
        ConfigFileCase{"Missing", IniFile::Missing, false,
                       "WARN Файл настроек @FILE@ не найден, используются значения по умолчанию"},
        ConfigFileCase{"Usable", IniFile::Usable, false, "INFO Инициализация"},
        ConfigFileCase{"NotUtf8", IniFile::NotUtf8, true,
                       "ERROR Файл настроек @FILE@ не годится (not UTF-8"},
        ConfigFileCase{"NoSection", IniFile::NoSection, true,
                       "ERROR Файл настроек @FILE@ не годится (holds no [section]"},
        ConfigFileCase{"Directory", IniFile::Directory, true, "not a regular file"},
        ConfigFileCase{"UnusableButStoodIn", IniFile::UnusableButStoodIn, false,
                       "INFO Инициализация"}));

} // namespace
