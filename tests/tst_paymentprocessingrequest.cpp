#include "paymentprocessingrequest.h"

#include <QMetaProperty>

#include <gtest/gtest.h>
#include <ostream>

#include <functional>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const char *const kPropertyNames[] = {
    "requestType",   "amount",      "sourceAmount", "merchantId",      "authorizationCode",
    "rrn",           "cardNumber",  "hash",         "isPartOfPayment", "cashCode",
    "shiftNumber",   "checkNumber", "dateTime",     "additionalData",  "printWidth",
    "paymentMethod", "valutCode",   "documentId"};

PaymentProcessingRequest filledRequest()
{
    PaymentProcessingRequest request;
    request.setRequestType(PaymentProcessingRequest::Refund);
    request.setAmount(150050);
    request.setSourceAmount(160000);
    request.setMerchantId(QStringLiteral("M-1"));
    request.setAuthorizationCode(QStringLiteral("A-77"));
    request.setRrn(QStringLiteral("order-8f2c"));
    request.setCardNumber(QStringLiteral("qr:abc"));
    request.setHash(QStringLiteral("h#"));
    request.setIsPartOfPayment(true);
    request.setCashCode(QStringLiteral("касса-1"));
    request.setShiftNumber(12);
    request.setCheckNumber(345);
    request.setDateTime(QDateTime(QDate(2024, 3, 5), QTime(14, 30, 15, 250), Qt::UTC));
    request.setAdditionalData(
        {{QStringLiteral("ключ"), QStringLiteral("значение")}, {QStringLiteral("n"), 5}});
    request.setPrintWidth(42);
    request.setPaymentMethod(2);
    request.setValutCode(643);
    request.setDocumentId(QStringLiteral("doc-1"));
    return request;
}

TEST(PaymentProcessingRequestTest, FreshRequestHasTheDefaults)
{
    const PaymentProcessingRequest request;
    EXPECT_EQ(request.getRequestType(), 0);
    EXPECT_EQ(request.getAmount(), 0);
    EXPECT_EQ(request.getSourceAmount(), 0);
    EXPECT_TRUE(request.getMerchantId().isNull());
    EXPECT_TRUE(request.getAuthorizationCode().isNull());
    EXPECT_TRUE(request.getRrn().isNull());
    EXPECT_TRUE(request.getCardNumber().isNull());
    EXPECT_TRUE(request.getHash().isNull());
    EXPECT_FALSE(request.getIsPartOfPayment());
    EXPECT_TRUE(request.getCashCode().isNull());
    EXPECT_EQ(request.getShiftNumber(), 0);
    EXPECT_EQ(request.getCheckNumber(), 0);
    EXPECT_FALSE(request.getDateTime().isValid());
    EXPECT_TRUE(request.getAdditionalData().isEmpty());
    EXPECT_EQ(request.getPrintWidth(), 0);
    EXPECT_EQ(request.getPaymentMethod(), 0);
    EXPECT_EQ(request.getValutCode(), 0);
    EXPECT_TRUE(request.getDocumentId().isNull());
}

TEST(PaymentProcessingRequestTest, TypeValuesAreTheHosts)
{
    EXPECT_EQ(int(PaymentProcessingRequest::Payment), 1);
    EXPECT_EQ(int(PaymentProcessingRequest::Refund), 3);
}

TEST(PaymentProcessingRequestTest, SettersStoreWhatGettersGiveBack)
{
    const PaymentProcessingRequest request = filledRequest();
    EXPECT_EQ(request.getRequestType(), 3);
    EXPECT_EQ(request.getAmount(), 150050);
    EXPECT_EQ(request.getSourceAmount(), 160000);
    EXPECT_EQ(request.getMerchantId(), QStringLiteral("M-1"));
    EXPECT_EQ(request.getAuthorizationCode(), QStringLiteral("A-77"));
    EXPECT_EQ(request.getRrn(), QStringLiteral("order-8f2c"));
    EXPECT_EQ(request.getCardNumber(), QStringLiteral("qr:abc"));
    EXPECT_EQ(request.getHash(), QStringLiteral("h#"));
    EXPECT_TRUE(request.getIsPartOfPayment());
    EXPECT_EQ(request.getCashCode(), QStringLiteral("касса-1"));
    EXPECT_EQ(request.getShiftNumber(), 12);
    EXPECT_EQ(request.getCheckNumber(), 345);
    EXPECT_EQ(request.getDateTime(), QDateTime(QDate(2024, 3, 5), QTime(14, 30, 15, 250), Qt::UTC));
    EXPECT_EQ(request.getAdditionalData().value(QStringLiteral("ключ")).toString(),
              QStringLiteral("значение"));
    EXPECT_EQ(request.getPrintWidth(), 42);
    EXPECT_EQ(request.getPaymentMethod(), 2);
    EXPECT_EQ(request.getValutCode(), 643);
    EXPECT_EQ(request.getDocumentId(), QStringLiteral("doc-1"));
}

TEST(PaymentProcessingRequestTest, PropertiesAreTheFieldsInOrder)
{
    const QMetaObject &meta = PaymentProcessingRequest::staticMetaObject;
    ASSERT_EQ(meta.propertyCount(), 18);
    for (int i = 0; i < 18; ++i) {
        const QMetaProperty property = meta.property(i);
        EXPECT_STREQ(property.name(), kPropertyNames[i]) << "property " << i;
        EXPECT_TRUE(property.isReadable());
        EXPECT_TRUE(property.isWritable());
        EXPECT_FALSE(property.hasNotifySignal());
        EXPECT_FALSE(property.isResettable());
    }
}

TEST(PaymentProcessingRequestTest, PropertiesReadAndWriteTheFields)
{
    const PaymentProcessingRequest filled = filledRequest();
    PaymentProcessingRequest copy;
    const QMetaObject &meta = PaymentProcessingRequest::staticMetaObject;
    for (int i = 0; i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        EXPECT_TRUE(property.writeOnGadget(&copy, property.readOnGadget(&filled)))
            << property.name();
    }
    EXPECT_EQ(copy, filled);
    EXPECT_EQ(copy.getDocumentId(), filled.getDocumentId());
    EXPECT_EQ(meta.property(5).readOnGadget(&filled).toString(), QStringLiteral("order-8f2c"));
    EXPECT_EQ(meta.property(16).readOnGadget(&filled).toInt(), 643);
}

// One field changed at a time: only documentId may differ between equal requests.
struct DifferenceCase
{
    const char *field;
    std::function<void(PaymentProcessingRequest &)> change;
    bool stillEqual;
};

class RequestEqualityTest : public ::testing::TestWithParam<DifferenceCase>
{
};

TEST_P(RequestEqualityTest, ComparesEveryFieldButDocumentId)
{
    const PaymentProcessingRequest base = filledRequest();
    PaymentProcessingRequest changed = base;
    GetParam().change(changed);
    EXPECT_EQ(base == changed, GetParam().stillEqual);
    EXPECT_EQ(changed == base, GetParam().stillEqual);
    EXPECT_EQ(base != changed, !GetParam().stillEqual);
}

using R = PaymentProcessingRequest;

INSTANTIATE_TEST_SUITE_P(
    Fields, RequestEqualityTest,
    ::testing::Values(
        DifferenceCase{"nothing", [](R &) {}, true},
        DifferenceCase{"documentId", [](R &r) { r.setDocumentId(QStringLiteral("doc-2")); }, true},
        DifferenceCase{"documentIdNull", [](R &r) { r.setDocumentId(QString()); }, true},
        DifferenceCase{"requestType", [](R &r) { r.setRequestType(1); }, false},
        DifferenceCase{"amount", [](R &r) { r.setAmount(150051); }, false},
        DifferenceCase{"sourceAmount", [](R &r) { r.setSourceAmount(1); }, false},
        DifferenceCase{"merchantId", [](R &r) { r.setMerchantId(QStringLiteral("M-2")); }, false},
        DifferenceCase{"authorizationCode",
                       [](R &r) { r.setAuthorizationCode(QStringLiteral("A")); }, false},
        DifferenceCase{"rrn", [](R &r) { r.setRrn(QStringLiteral("order-other")); }, false},
        DifferenceCase{"cardNumber", [](R &r) { r.setCardNumber(QStringLiteral("qr:abd")); },
                       false},
        DifferenceCase{"hash", [](R &r) { r.setHash(QStringLiteral("h")); }, false},
        DifferenceCase{"isPartOfPayment", [](R &r) { r.setIsPartOfPayment(false); }, false},
        DifferenceCase{"cashCode", [](R &r) { r.setCashCode(QStringLiteral("касса-2")); }, false},
        DifferenceCase{"shiftNumber", [](R &r) { r.setShiftNumber(13); }, false},
        DifferenceCase{"checkNumber", [](R &r) { r.setCheckNumber(346); }, false},
        DifferenceCase{"dateTime", [](R &r) { r.setDateTime(r.getDateTime().addMSecs(1)); }, false},
        DifferenceCase{"dateTimeInvalid", [](R &r) { r.setDateTime(QDateTime()); }, false},
        DifferenceCase{"additionalDataValue",
                       [](R &r) {
                           auto data = r.getAdditionalData();
                           data[QStringLiteral("n")] = 6;
                           r.setAdditionalData(data);
                       },
                       false},
        DifferenceCase{"additionalDataKey",
                       [](R &r) {
                           auto data = r.getAdditionalData();
                           data.insert(QStringLiteral("extra"), true);
                           r.setAdditionalData(data);
                       },
                       false},
        DifferenceCase{"printWidth", [](R &r) { r.setPrintWidth(48); }, false},
        DifferenceCase{"paymentMethod", [](R &r) { r.setPaymentMethod(1); }, false},
        DifferenceCase{"valutCode", [](R &r) { r.setValutCode(810); }, false}),
    [](const ::testing::TestParamInfo<DifferenceCase> &caseInfo) {
        return std::string(caseInfo.param.field);
    });

} // namespace
