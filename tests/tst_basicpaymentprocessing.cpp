#include "basicpaymentprocessing.h"
#include "document.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <ostream>

#include <functional>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Opens the protected state that subclasses work with.
class Probe : public BasicPaymentProcessing
{
public:
    using BasicPaymentProcessing::makeResult;
    using BasicPaymentProcessing::setLastOperationTime;
    using BasicPaymentProcessing::waitBeforeNextOperation;

    QString directory() const { return processingDirectory; }
    QString paySystems() const { return paySystemsDirectory; }
    quint32 flags() const { return quint32(optionFlags); }
    timespec lastTime() const { return lastOperationTime; }
    void allowPayment(PaymentProcessingRequest::Type type) { paymentTypes.insert(type); }
    void allowCancel(PaymentProcessingRequest::Type type) { cancelTypes.insert(type); }
};

// A subclass that changes only the QR wait: the status wait must follow it.
class LongQrWait : public BasicPaymentProcessing
{
public:
    int getWaitPaymentByQRCodeDuration() const override { return 90; }
};

const PaymentProcessingRequest::Type kTypes[] = {
    PaymentProcessingRequest::Type(0), PaymentProcessingRequest::Payment,
    PaymentProcessingRequest::Type(2), PaymentProcessingRequest::Refund,
    PaymentProcessingRequest::Type(4)};

TEST(BasicPaymentProcessingTest, FreshObjectOffersNothing)
{
    Probe processing;
    processing.init();
    for (PaymentProcessingRequest::Type type : kTypes) {
        EXPECT_FALSE(processing.isPaymentEnable(type)) << type;
        EXPECT_FALSE(processing.isCancelEnable(type)) << type;
    }
    EXPECT_FALSE(processing.isPaymentEnable(QSharedPointer<AbstractDocument>(new Document)));
    EXPECT_FALSE(processing.isPaymentEnable(QSharedPointer<AbstractDocument>()));
    EXPECT_FALSE(processing.isCheckTotalsEnable());
    EXPECT_FALSE(processing.isUsePaymentAsDiscount());
    EXPECT_FALSE(processing.interruptPayment());
    EXPECT_TRUE(processing.getMessageInfo().isEmpty());
    EXPECT_EQ(processing.getDialogScanMask(), QStringLiteral(".*"));
    EXPECT_TRUE(processing.getDialogImagePath().isEmpty());
    EXPECT_EQ(processing.getWaitPaymentByQRCodeDuration(), 0);
    EXPECT_EQ(processing.getWaitPaymentStatusDuration(), 0);
    EXPECT_EQ(processing.getStatusRequestsInterval(), 1);
    EXPECT_EQ(processing.getValutCodeForGetHashedCardNumber(), -1);
    EXPECT_FALSE(
        processing.sendEnqueuedMessage({{QStringLiteral("orderId"), QStringLiteral("x")}}));
    EXPECT_FALSE(processing.sendEnqueuedMessage({}));

    EXPECT_EQ(processing.flags(), 0u);
    EXPECT_TRUE(processing.directory().isNull());
    EXPECT_EQ(processing.paySystems(), QStringLiteral("/mervale/cash/paysystems/"));
    EXPECT_EQ(processing.lastTime().tv_sec, 0);
    EXPECT_EQ(processing.lastTime().tv_nsec, 0);

    // Operations that do nothing leave everything as it was.
    processing.cancelCardRequest();
    processing.cancelPaymentByQRCodeInQueue(PaymentProcessingRequest());
    EXPECT_EQ(processing.flags(), 0u);
}

TEST(BasicPaymentProcessingTest, SubclassTypeSetsDecideWhatIsOffered)
{
    Probe processing;
    processing.allowPayment(PaymentProcessingRequest::Payment);
    processing.allowCancel(PaymentProcessingRequest::Payment);
    processing.allowCancel(PaymentProcessingRequest::Refund);
    EXPECT_TRUE(processing.isPaymentEnable(PaymentProcessingRequest::Payment));
    EXPECT_FALSE(processing.isPaymentEnable(PaymentProcessingRequest::Refund));
    EXPECT_TRUE(processing.isCancelEnable(PaymentProcessingRequest::Payment));
    EXPECT_TRUE(processing.isCancelEnable(PaymentProcessingRequest::Refund));
    EXPECT_FALSE(processing.isCancelEnable(PaymentProcessingRequest::Type(2)));
}

TEST(BasicPaymentProcessingTest, StatusWaitFollowsAnOverriddenQrWait)
{
    LongQrWait processing;
    EXPECT_EQ(processing.getWaitPaymentStatusDuration(), 90);
}

TEST(BasicPaymentProcessingTest, MakeResultSetsOnlyTheMessage)
{
    const tr::Tr message(QStringLiteral("key"), QStringLiteral("Текст"));
    const PaymentProcessingAnswer answer = Probe::makeResult(message);
    PaymentProcessingAnswer expected;
    expected.setMessage(message);
    EXPECT_EQ(answer, expected);
    EXPECT_EQ(answer.getMessage(), message);
    EXPECT_FALSE(answer.isSuccess());
}

// --- the unavailable answers ---

struct UnavailableCase
{
    const char *operation;
    std::function<PaymentProcessingAnswer(BasicPaymentProcessing &)> call;
    QString key;
    QString text;
};

class UnavailableTest : public ::testing::TestWithParam<UnavailableCase>
{
};

TEST_P(UnavailableTest, AnswersWithItsKeyAndTextAndFailure)
{
    Probe processing;
    const PaymentProcessingAnswer answer = GetParam().call(processing);
    EXPECT_EQ(answer.getMessage().key(), GetParam().key);
    EXPECT_EQ(answer.getMessage().ru(), GetParam().text);
    EXPECT_EQ(answer.getMessage(), tr::Tr(GetParam().key, GetParam().text));
    EXPECT_EQ(int(answer.getStatus()), 1);
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_TRUE(answer.getRRN().isEmpty());
    // Nothing else is set.
    PaymentProcessingAnswer expected;
    expected.setMessage(tr::Tr(GetParam().key, GetParam().text));
    EXPECT_EQ(answer, expected);
    EXPECT_TRUE(answer.getQrCode().isNull());
    EXPECT_TRUE(answer.getTerminalId().isNull());
}

using B = BasicPaymentProcessing;

PaymentProcessingRequest someRequest()
{
    PaymentProcessingRequest request;
    request.setRequestType(PaymentProcessingRequest::Payment);
    request.setAmount(10000);
    request.setRrn(QStringLiteral("order-1"));
    return request;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UnavailableTest,
    ::testing::Values(
        UnavailableCase{"payment", [](B &b) { return b.payment(someRequest()); },
                        QStringLiteral("basicPaymentProcessingPayment"),
                        QStringLiteral("Операция оплаты недоступна")},
        UnavailableCase{"change", [](B &b) { return b.change(someRequest()); },
                        QStringLiteral("basicPaymentProcessingChange"),
                        QStringLiteral("Операция сдачи недоступна")},
        UnavailableCase{"cancel", [](B &b) { return b.cancel(someRequest()); },
                        QStringLiteral("basicPaymentProcessingCancel"),
                        QStringLiteral("Операция отмены недоступна")},
        UnavailableCase{"checkTotals", [](B &b) { return b.checkTotals(1); },
                        QStringLiteral("basicPaymentProcessingCheckTotals"),
                        QStringLiteral("Операция печати короткого отчета недоступна")},
        UnavailableCase{"checkTotalsByMerchantId",
                        [](B &b) { return b.checkTotalsByMerchantId(QStringLiteral("M-1")); },
                        QStringLiteral("basicPaymentProcessingCheckTotalsByMerchant"),
                        QStringLiteral("Операция сверки итогов для юр. лица недоступна")},
        UnavailableCase{"printCopy", [](B &b) { return b.printCopy(1); },
                        QStringLiteral("basicPaymentProcessingPrintCopy"),
                        QStringLiteral("Операция печати копии недоступна")},
        UnavailableCase{"printReport", [](B &b) { return b.printReport(); },
                        QStringLiteral("basicPaymentProcessingPrintReport"),
                        QStringLiteral("Операция печати полного отчета недоступна")},
        UnavailableCase{"printReportByMerchantId",
                        [](B &b) { return b.printReportByMerchantId(QStringLiteral("M-1")); },
                        QStringLiteral("basicPaymentProcessingPrintReportByMerchant"),
                        QStringLiteral("Операция печати полного отчета для юр. лица недоступна")},
        UnavailableCase{"printShortReport", [](B &b) { return b.printShortReport(); },
                        QStringLiteral("basicPaymentProcessingPrintShortReport"),
                        QStringLiteral("Операция печати короткого отчета недоступна")},
        UnavailableCase{"balance", [](B &b) { return b.balance(QStringLiteral("1234")); },
                        QStringLiteral("basicPaymentProcessingBalance"),
                        QStringLiteral("Операция запроса баланса недоступна")},
        UnavailableCase{"discountCard", [](B &b) { return b.discountCard(); },
                        QStringLiteral("basicPaymentProcessingDiscountCard"),
                        QStringLiteral("Операция получения скидочной карты недоступна")},
        UnavailableCase{"loyaltyCards", [](B &b) { return b.loyaltyCards(QStringLiteral("1234")); },
                        QStringLiteral("basicPaymentProcessingLoyaltyCards"),
                        QStringLiteral("Операция получения списка карт лояльности недоступна")},
        UnavailableCase{"testConnection", [](B &b) { return b.testConnection(); },
                        QStringLiteral("basicPaymentProcessingTestConnection"),
                        QStringLiteral("Операция проверки связи недоступна")},
        UnavailableCase{"demandPinCode", [](B &b) { return b.demandPinCode(); },
                        QStringLiteral("basicPaymentProcessingDemandPinCode"),
                        QStringLiteral("Операция запроса пин-кода недоступна")},
        UnavailableCase{"demandQRCode", [](B &b) { return b.demandQRCode(someRequest()); },
                        QStringLiteral("basicPaymentProcessingDemandQrCode"),
                        QStringLiteral("Операция запроса QR-кода недоступна")},
        UnavailableCase{"getPaymentByQRCodeStatus",
                        [](B &b) { return b.getPaymentByQRCodeStatus(QStringLiteral("order-1")); },
                        QStringLiteral("basicPaymentProcessingGetPaymentByQRCodeStatus"),
                        QStringLiteral("Операция получения статуса оплаты по QR-коду недоступна")},
        UnavailableCase{"paymentByQRCodeOnPinPad",
                        [](B &b) { return b.paymentByQRCodeOnPinPad(someRequest()); },
                        QStringLiteral("basicPaymentProcessingPaymentByQRCodeOnPinPad"),
                        QStringLiteral("Операция оплаты по QR-коду на PinPad недоступна")},
        UnavailableCase{"cancelByQRCodeOnPinPad",
                        [](B &b) { return b.cancelByQRCodeOnPinPad(someRequest()); },
                        QStringLiteral("basicPaymentProcessingCancelByQRCodeOnPinPad"),
                        QStringLiteral("Операция отмены оплаты по QR-коду на PinPad недоступна")},
        UnavailableCase{
            "getHashedCardNumber", [](B &b) { return b.getHashedCardNumber(); },
            QStringLiteral("basicPaymentProcessingGetHashedCardNumber"),
            QStringLiteral("Операция получения хэшированного номера карты недоступна")}),
    [](const ::testing::TestParamInfo<UnavailableCase> &caseInfo) {
        return std::string(caseInfo.param.operation);
    });

TEST(BasicPaymentProcessingTest, ShortReportAndCheckTotalsShareTheTextUnderTwoKeys)
{
    Probe processing;
    const tr::Tr shortReport = processing.printShortReport().getMessage();
    const tr::Tr totals = processing.checkTotals(0).getMessage();
    EXPECT_EQ(shortReport.ru(), totals.ru());
    EXPECT_NE(shortReport.key(), totals.key());
    EXPECT_NE(shortReport, totals);
}

// --- options ---

using Legacy = EPaymentProcessingOption::Option;

TEST(BasicPaymentProcessingTest, EmptyLegacyMaskHoldsOnlyWhileNothingIsSet)
{
    Probe processing;
    EXPECT_TRUE(processing.checkOption(Legacy(0)));
    processing.setOption(Legacy(0x10), true);
    EXPECT_FALSE(processing.checkOption(Legacy(0)));
    EXPECT_TRUE(processing.checkOption(Legacy(0x10)));
    processing.setOption(Legacy(0x10), false);
    EXPECT_TRUE(processing.checkOption(Legacy(0)));
    EXPECT_EQ(processing.flags(), 0u);
}

TEST(BasicPaymentProcessingTest, LegacyMaskIsClearedOnlyWhenWhollySet)
{
    Probe processing;
    processing.setOption(Legacy(0x4010), true);
    EXPECT_EQ(processing.flags(), 0x4010u);
    EXPECT_TRUE(processing.checkOption(Legacy(0x4010)));
    EXPECT_TRUE(processing.checkOption(Legacy(0x4000)));
    EXPECT_TRUE(processing.checkOption(Legacy(0x10)));

    processing.setOption(Legacy(0x10), false);
    EXPECT_EQ(processing.flags(), 0x4000u);
    EXPECT_FALSE(processing.checkOption(Legacy(0x4010)));
    EXPECT_FALSE(processing.checkOption(Legacy(0x10)));
    EXPECT_TRUE(processing.checkOption(Legacy(0x4000)));

    // 0x10 is gone, so the pair is not wholly set and nothing changes.
    processing.setOption(Legacy(0x4010), false);
    EXPECT_EQ(processing.flags(), 0x4000u);

    // Setting an already set flag keeps it once.
    processing.setOption(Legacy(0x4000), true);
    EXPECT_EQ(processing.flags(), 0x4000u);
    // Clearing a flag that is not set changes nothing either.
    processing.setOption(Legacy(0x10), false);
    EXPECT_EQ(processing.flags(), 0x4000u);
}

TEST(BasicPaymentProcessingTest, ProcessingOptionSetTwiceIsClearedByOneClear)
{
    Probe processing;
    const auto option = processing::Option(0);
    EXPECT_FALSE(processing.checkOption(option));
    processing.setOption(option, true);
    processing.setOption(option, true);
    EXPECT_TRUE(processing.checkOption(option));
    processing.setOption(option, false);
    EXPECT_FALSE(processing.checkOption(option));
    processing.setOption(option, false);
    EXPECT_FALSE(processing.checkOption(option));
}

TEST(BasicPaymentProcessingTest, TheTwoOptionKindsAreIndependent)
{
    Probe processing;
    processing.setOption(processing::Option(0x10), true);
    EXPECT_EQ(processing.flags(), 0u);
    EXPECT_TRUE(processing.checkOption(Legacy(0)));
    EXPECT_FALSE(processing.checkOption(Legacy(0x10)));

    processing.setOption(Legacy(0x4000), true);
    EXPECT_FALSE(processing.checkOption(processing::Option(0x4000)));
    EXPECT_TRUE(processing.checkOption(processing::Option(0x10)));
}

// --- directories ---

TEST(BasicPaymentProcessingTest, EmptyProcessingDirectoryKeepsTheOldOne)
{
    Probe processing;
    processing.setProcessingDirectory(QString());
    EXPECT_TRUE(processing.directory().isNull());

    processing.setProcessingDirectory(QStringLiteral("/var/lib/processing"));
    EXPECT_EQ(processing.directory(), QStringLiteral("/var/lib/processing"));
    processing.setProcessingDirectory(QStringLiteral(""));
    EXPECT_EQ(processing.directory(), QStringLiteral("/var/lib/processing"));
    processing.setProcessingDirectory(QString());
    EXPECT_EQ(processing.directory(), QStringLiteral("/var/lib/processing"));
    processing.setProcessingDirectory(QStringLiteral("/srv/other"));
    EXPECT_EQ(processing.directory(), QStringLiteral("/srv/other"));

    EXPECT_EQ(processing.paySystems(), QStringLiteral("/mervale/cash/paysystems/"));
}

// --- pacing between operations ---

// Returning "at once" is checked against a bound far above any scheduling hiccup and far below
// the second that a wrong wait would take.
const qint64 kAtOnceMs = 500;

TEST(BasicPaymentProcessingTest, WaitSleepsForTheRestOfTheInterval)
{
    Probe processing;
    processing.setLastOperationTime();
    EXPECT_GT(processing.lastTime().tv_sec, 0);

    QElapsedTimer clock;
    clock.start();
    processing.waitBeforeNextOperation(1);
    const qint64 waited = clock.elapsed();
    EXPECT_GE(waited, 900);
    EXPECT_LE(waited, 2500);

    // The interval has now passed.
    clock.restart();
    processing.waitBeforeNextOperation(1);
    EXPECT_LT(clock.elapsed(), kAtOnceMs);
}

struct NoWaitCase
{
    const char *name;
    bool setTime;
    int seconds;
};

class NoWaitTest : public ::testing::TestWithParam<NoWaitCase>
{
};

TEST_P(NoWaitTest, ReturnsAtOnce)
{
    Probe processing;
    if (GetParam().setTime)
        processing.setLastOperationTime();
    QElapsedTimer clock;
    clock.start();
    processing.waitBeforeNextOperation(GetParam().seconds);
    EXPECT_LT(clock.elapsed(), kAtOnceMs);
}

INSTANTIATE_TEST_SUITE_P(Cases, NoWaitTest,
                         ::testing::Values(NoWaitCase{"NeverSet", false, 5},
                                           NoWaitCase{"Zero", true, 0},
                                           NoWaitCase{"Negative", true, -3},
                                           NoWaitCase{"LargeNegative", true, -2000000000}),
                         [](const ::testing::TestParamInfo<NoWaitCase> &caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

} // namespace
