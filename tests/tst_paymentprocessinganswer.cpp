#include "paymentprocessinganswer.h"

#include <gtest/gtest.h>
#include <ostream>

#include <functional>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

PaymentProcessingAnswer filledAnswer()
{
    PaymentProcessingAnswer answer;
    answer.setCode(7);
    answer.setMessage(tr::Tr(QStringLiteral("velmorDone"), QStringLiteral("Готово")));
    answer.setSuccess(true);
    answer.setPrintImages({QStringLiteral("slip1"), QStringLiteral("slip2")});
    answer.setTerminalNumber(3);
    answer.setCardType(QStringLiteral("QR"));
    answer.setCardNumber(QStringLiteral("qr:abc"));
    answer.setAuthorizationCode(QStringLiteral("A-77"));
    answer.setRRN(QStringLiteral("order-8f2c"));
    answer.setSum(1500.5);
    answer.setPosName(QStringLiteral("Касса 1"));
    answer.setBalance(12.25);
    answer.setDiscCardNumber(QStringLiteral("D-1"));
    answer.setLoyaltyCards({QStringLiteral("L-1")});
    answer.setHashedCardNumber(QStringLiteral("#1"));
    answer.setCardMark(CardMark(5));
    answer.setQrCode(QStringLiteral("https://pay.test/qr"));
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    answer.setAdditionalData({{QStringLiteral("ключ"), 1}});
    answer.setTerminalId(QStringLiteral("T-9"));
    return answer;
}

TEST(PaymentProcessingAnswerTest, FreshAnswerHasTheDefaults)
{
    const PaymentProcessingAnswer answer;
    EXPECT_EQ(answer.getCode(), 0);
    EXPECT_TRUE(answer.getMessage().isEmpty());
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
    EXPECT_EQ(int(answer.getStatus()), 1);
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_TRUE(answer.getPrintImages().isEmpty());
    EXPECT_EQ(answer.getTerminalNumber(), 0);
    EXPECT_TRUE(answer.getCardType().isNull());
    EXPECT_TRUE(answer.getCardNumber().isNull());
    EXPECT_TRUE(answer.getAuthorizationCode().isNull());
    EXPECT_TRUE(answer.getRRN().isNull());
    EXPECT_EQ(answer.getSum(), 0.0);
    EXPECT_TRUE(answer.getPosName().isNull());
    EXPECT_EQ(answer.getBalance(), 0.0);
    EXPECT_TRUE(answer.getDiscCardNumber().isNull());
    EXPECT_TRUE(answer.getLoyaltyCards().isEmpty());
    EXPECT_TRUE(answer.getHashedCardNumber().isNull());
    EXPECT_EQ(quint32(answer.getCardMark()), 0u);
    EXPECT_TRUE(answer.getQrCode().isNull());
    EXPECT_EQ(int(answer.getPaymentMethod()), 0);
    EXPECT_TRUE(answer.getAdditionalData().isEmpty());
    EXPECT_TRUE(answer.getTerminalId().isNull());
}

TEST(PaymentProcessingAnswerTest, StatusValuesAreTheHosts)
{
    EXPECT_EQ(int(PaymentProcessingAnswer::Success), 0);
    EXPECT_EQ(int(PaymentProcessingAnswer::Failure), 1);
    EXPECT_EQ(int(PaymentProcessingAnswer::OrderCanceled), 2);
    EXPECT_EQ(int(PaymentProcessingAnswer::SuccessWithMessage), 6);
}

TEST(PaymentProcessingAnswerTest, SuccessIsAViewOfTheStatus)
{
    PaymentProcessingAnswer answer;
    answer.setSuccess(true);
    EXPECT_TRUE(answer.isSuccess());
    EXPECT_EQ(int(answer.getStatus()), 0);

    answer.setSuccess(false);
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(int(answer.getStatus()), 1);

    answer.setStatus(PaymentProcessingAnswer::SuccessWithMessage);
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(int(answer.getStatus()), 6);

    answer.setStatus(PaymentProcessingAnswer::OrderCanceled);
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(int(answer.getStatus()), 2);

    answer.setStatus(PaymentProcessingAnswer::Status(0));
    EXPECT_TRUE(answer.isSuccess());

    // Any value is stored as given.
    answer.setStatus(PaymentProcessingAnswer::Status(42));
    EXPECT_EQ(int(answer.getStatus()), 42);
    EXPECT_FALSE(answer.isSuccess());
}

TEST(PaymentProcessingAnswerTest, SettersStoreWhatGettersGiveBack)
{
    const PaymentProcessingAnswer answer = filledAnswer();
    EXPECT_EQ(answer.getCode(), 7);
    EXPECT_EQ(answer.getMessage().ru(), QStringLiteral("Готово"));
    EXPECT_TRUE(answer.isSuccess());
    EXPECT_EQ(answer.getPrintImages().size(), 2);
    EXPECT_EQ(answer.getTerminalNumber(), 3);
    EXPECT_EQ(answer.getCardType(), QStringLiteral("QR"));
    EXPECT_EQ(answer.getCardNumber(), QStringLiteral("qr:abc"));
    EXPECT_EQ(answer.getAuthorizationCode(), QStringLiteral("A-77"));
    EXPECT_EQ(answer.getRRN(), QStringLiteral("order-8f2c"));
    EXPECT_EQ(answer.getSum(), 1500.5);
    EXPECT_EQ(answer.getPosName(), QStringLiteral("Касса 1"));
    EXPECT_EQ(answer.getBalance(), 12.25);
    EXPECT_EQ(answer.getDiscCardNumber(), QStringLiteral("D-1"));
    EXPECT_EQ(answer.getLoyaltyCards(), QStringList{QStringLiteral("L-1")});
    EXPECT_EQ(answer.getHashedCardNumber(), QStringLiteral("#1"));
    EXPECT_EQ(quint32(answer.getCardMark()), 5u);
    EXPECT_EQ(answer.getQrCode(), QStringLiteral("https://pay.test/qr"));
    EXPECT_EQ(answer.getPaymentMethod(), EPaymentMethod::Instalment);
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("ключ")).toInt(), 1);
    EXPECT_EQ(answer.getTerminalId(), QStringLiteral("T-9"));
}

using A = PaymentProcessingAnswer;

struct DifferenceCase
{
    const char *field;
    std::function<void(A &)> change;
    bool stillEqual;
};

class AnswerEqualityTest : public ::testing::TestWithParam<DifferenceCase>
{
};

TEST_P(AnswerEqualityTest, ComparesEveryFieldButQrCodeAndTerminalId)
{
    const A base = filledAnswer();
    A changed = base;
    GetParam().change(changed);
    EXPECT_EQ(base == changed, GetParam().stillEqual);
    EXPECT_EQ(changed == base, GetParam().stillEqual);
    EXPECT_EQ(base != changed, !GetParam().stillEqual);
}

// One row per case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Fields, AnswerEqualityTest,
    ::testing::Values(
        DifferenceCase{"nothing", [](A &) {}, true},
        DifferenceCase{"qrCode", [](A &a) { a.setQrCode(QStringLiteral("https://other")); }, true},
        DifferenceCase{"terminalId", [](A &a) { a.setTerminalId(QStringLiteral("T-10")); }, true},
        DifferenceCase{"code", [](A &a) { a.setCode(8); }, false},
        DifferenceCase{"messageText", [](A &a) { a.setMessage(tr::Tr(QStringLiteral("velmorDone"), QStringLiteral("Сделано"))); }, false},
        DifferenceCase{"messageKey", [](A &a) { a.setMessage(tr::Tr(QStringLiteral("other"), QStringLiteral("Готово"))); }, false},
        DifferenceCase{"status", [](A &a) { a.setSuccess(false); }, false},
        DifferenceCase{"printImagesOrder", [](A &a) { a.setPrintImages({QStringLiteral("slip2"), QStringLiteral("slip1")}); }, false},
        DifferenceCase{"printImagesLength", [](A &a) { a.setPrintImages({QStringLiteral("slip1")}); }, false},
        DifferenceCase{"terminalNumber", [](A &a) { a.setTerminalNumber(4); }, false},
        DifferenceCase{"cardType", [](A &a) { a.setCardType(QStringLiteral("card")); }, false},
        DifferenceCase{"cardNumber", [](A &a) { a.setCardNumber(QStringLiteral("x")); }, false},
        DifferenceCase{"authorizationCode", [](A &a) { a.setAuthorizationCode(QStringLiteral("x")); }, false},
        DifferenceCase{"rrn", [](A &a) { a.setRRN(QStringLiteral("x")); }, false},
        DifferenceCase{"sum", [](A &a) { a.setSum(1500.51); }, false},
        DifferenceCase{"posName", [](A &a) { a.setPosName(QStringLiteral("x")); }, false},
        DifferenceCase{"balance", [](A &a) { a.setBalance(12.5); }, false},
        DifferenceCase{"discCardNumber", [](A &a) { a.setDiscCardNumber(QStringLiteral("x")); }, false},
        DifferenceCase{"loyaltyCards", [](A &a) { a.setLoyaltyCards({QStringLiteral("L-1"), QStringLiteral("L-2")}); }, false},
        DifferenceCase{"hashedCardNumber", [](A &a) { a.setHashedCardNumber(QStringLiteral("x")); }, false},
        DifferenceCase{"cardMark", [](A &a) { a.setCardMark(CardMark(6)); }, false},
        DifferenceCase{"paymentMethod", [](A &a) { a.setPaymentMethod(EPaymentMethod::Card); }, false},
        DifferenceCase{"additionalData", [](A &a) { a.setAdditionalData({{QStringLiteral("ключ"), 2}}); }, false}),
    [](const ::testing::TestParamInfo<DifferenceCase> &caseInfo) {
        return std::string(caseInfo.param.field);
    });
// clang-format on

} // namespace
