#include "gadgetserialize.h"
#include "paymentprocessingrequest.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>
#include <ostream>

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QStringList kIntegerKeys = {QStringLiteral("requestType"),   QStringLiteral("amount"),
                                  QStringLiteral("sourceAmount"),  QStringLiteral("shiftNumber"),
                                  QStringLiteral("checkNumber"),   QStringLiteral("printWidth"),
                                  QStringLiteral("paymentMethod"), QStringLiteral("valutCode")};
const QStringList kStringKeys = {QStringLiteral("merchantId"), QStringLiteral("authorizationCode"),
                                 QStringLiteral("rrn"),        QStringLiteral("cardNumber"),
                                 QStringLiteral("hash"),       QStringLiteral("cashCode"),
                                 QStringLiteral("documentId")};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

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
    request.setAdditionalData({{QStringLiteral("ключ"), QStringLiteral("значение")},
                               {QStringLiteral("nested"), QVariantMap{{QStringLiteral("n"), 5}}},
                               {QStringLiteral("list"), QVariantList{1, QStringLiteral("два")}}});
    request.setPrintWidth(42);
    request.setPaymentMethod(2);
    request.setValutCode(643);
    request.setDocumentId(QStringLiteral("doc-1"));
    return request;
}

TEST(GadgetSerializeTest, DefaultRequestWithoutSkippingGivesAllEighteenKeys)
{
    const QJsonObject json = gadgetserialize::g2j(PaymentProcessingRequest(), false);
    EXPECT_EQ(json.size(), 18);
    EXPECT_EQ(json.keys(),
              sorted(kIntegerKeys + kStringKeys +
                     QStringList{QStringLiteral("isPartOfPayment"), QStringLiteral("dateTime"),
                                 QStringLiteral("additionalData")}));
    for (const QString &key : kIntegerKeys) {
        EXPECT_TRUE(json.value(key).isDouble()) << key.toStdString();
        EXPECT_EQ(json.value(key).toInt(-1), 0) << key.toStdString();
    }
    for (const QString &key : kStringKeys) {
        EXPECT_TRUE(json.value(key).isString()) << key.toStdString();
        EXPECT_EQ(json.value(key).toString(QStringLiteral("?")), QString()) << key.toStdString();
    }
    EXPECT_TRUE(json.value(QStringLiteral("isPartOfPayment")).isBool());
    EXPECT_FALSE(json.value(QStringLiteral("isPartOfPayment")).toBool(true));
    EXPECT_TRUE(json.value(QStringLiteral("dateTime")).isNull());
    EXPECT_TRUE(json.value(QStringLiteral("additionalData")).isObject());
    EXPECT_TRUE(json.value(QStringLiteral("additionalData")).toObject().isEmpty());
}

TEST(GadgetSerializeTest, DefaultRequestWithSkippingKeepsTenKeys)
{
    const QJsonObject json = gadgetserialize::g2j(PaymentProcessingRequest(), true);
    EXPECT_EQ(json.size(), 10);
    EXPECT_EQ(json.keys(), sorted(kIntegerKeys + QStringList{QStringLiteral("isPartOfPayment"),
                                                             QStringLiteral("additionalData")}));
}

TEST(GadgetSerializeTest, EmptyButNonNullStringIsKeptWhenSkipping)
{
    PaymentProcessingRequest request;
    request.setMerchantId(QStringLiteral(""));
    const QJsonObject json = gadgetserialize::g2j(request, true);
    EXPECT_EQ(json.size(), 11);
    ASSERT_TRUE(json.contains(QStringLiteral("merchantId")));
    EXPECT_TRUE(json.value(QStringLiteral("merchantId")).isString());
    EXPECT_EQ(json.value(QStringLiteral("merchantId")).toString(QStringLiteral("?")), QString());
}

TEST(GadgetSerializeTest, FilledRequestGivesEveryValue)
{
    const PaymentProcessingRequest request = filledRequest();
    for (bool skipNull : {false, true}) {
        SCOPED_TRACE(skipNull ? "skipping nulls" : "keeping nulls");
        const QJsonObject json = gadgetserialize::g2j(request, skipNull);
        EXPECT_EQ(json.size(), 18);
        EXPECT_EQ(json.value(QStringLiteral("requestType")).toInt(), 3);
        EXPECT_EQ(json.value(QStringLiteral("amount")).toInt(), 150050);
        EXPECT_EQ(json.value(QStringLiteral("sourceAmount")).toInt(), 160000);
        EXPECT_EQ(json.value(QStringLiteral("merchantId")).toString(), QStringLiteral("M-1"));
        EXPECT_EQ(json.value(QStringLiteral("authorizationCode")).toString(),
                  QStringLiteral("A-77"));
        EXPECT_EQ(json.value(QStringLiteral("rrn")).toString(), QStringLiteral("order-8f2c"));
        EXPECT_EQ(json.value(QStringLiteral("cardNumber")).toString(), QStringLiteral("qr:abc"));
        EXPECT_EQ(json.value(QStringLiteral("hash")).toString(), QStringLiteral("h#"));
        EXPECT_EQ(json.value(QStringLiteral("isPartOfPayment")), QJsonValue(true));
        EXPECT_EQ(json.value(QStringLiteral("cashCode")).toString(), QStringLiteral("касса-1"));
        EXPECT_EQ(json.value(QStringLiteral("shiftNumber")).toInt(), 12);
        EXPECT_EQ(json.value(QStringLiteral("checkNumber")).toInt(), 345);
        // The library's own variant-to-text form of the date-time.
        EXPECT_EQ(json.value(QStringLiteral("dateTime")).toString(),
                  QVariant(request.getDateTime()).toString());
        EXPECT_TRUE(json.value(QStringLiteral("dateTime"))
                        .toString()
                        .startsWith(QStringLiteral("2024-03-05T14:30:15")));
        const QJsonObject data = json.value(QStringLiteral("additionalData")).toObject();
        EXPECT_EQ(data.value(QStringLiteral("ключ")).toString(), QStringLiteral("значение"));
        EXPECT_EQ(
            data.value(QStringLiteral("nested")).toObject().value(QStringLiteral("n")).toInt(), 5);
        EXPECT_EQ(data.value(QStringLiteral("list")).toArray(),
                  (QJsonArray{1, QStringLiteral("два")}));
        EXPECT_EQ(json.value(QStringLiteral("printWidth")).toInt(), 42);
        EXPECT_EQ(json.value(QStringLiteral("paymentMethod")).toInt(), 2);
        EXPECT_EQ(json.value(QStringLiteral("valutCode")).toInt(), 643);
        EXPECT_EQ(json.value(QStringLiteral("documentId")).toString(), QStringLiteral("doc-1"));
    }
}

TEST(GadgetSerializeTest, CompactTextOfTheDefaultRequest)
{
    // What the offline queue stores for a request nobody filled in.
    const QByteArray text = QJsonDocument(gadgetserialize::g2j(PaymentProcessingRequest(), false))
                                .toJson(QJsonDocument::Compact);
    EXPECT_EQ(text, QByteArray("{\"additionalData\":{},\"amount\":0,\"authorizationCode\":\"\","
                               "\"cardNumber\":\"\",\"cashCode\":\"\",\"checkNumber\":0,"
                               "\"dateTime\":null,\"documentId\":\"\",\"hash\":\"\","
                               "\"isPartOfPayment\":false,\"merchantId\":\"\",\"paymentMethod\":0,"
                               "\"printWidth\":0,\"requestType\":0,\"rrn\":\"\","
                               "\"shiftNumber\":0,\"sourceAmount\":0,\"valutCode\":0}"));
}

TEST(GadgetSerializeTest, VariantMapSkipsExactlyNullStringsAndTheInvalidDate)
{
    PaymentProcessingRequest request;
    request.setRrn(QStringLiteral("order-1"));
    const QVariantMap kept = gadgetserialize::g2v(request, false).toMap();
    const QVariantMap skipped = gadgetserialize::g2v(request, true).toMap();
    EXPECT_EQ(kept.size(), 18);
    EXPECT_EQ(skipped.size(), 11);
    EXPECT_EQ(skipped.value(QStringLiteral("rrn")).toString(), QStringLiteral("order-1"));
    EXPECT_FALSE(skipped.contains(QStringLiteral("dateTime")));
    EXPECT_FALSE(skipped.contains(QStringLiteral("merchantId")));
    EXPECT_TRUE(kept.value(QStringLiteral("merchantId")).toString().isNull());
    EXPECT_EQ(kept.value(QStringLiteral("dateTime")).type(), QVariant::DateTime);
    EXPECT_EQ(kept.value(QStringLiteral("amount")).type(), QVariant::Int);
    EXPECT_EQ(kept.value(QStringLiteral("isPartOfPayment")).type(), QVariant::Bool);
}

} // namespace
