#include "answerdecoding.h"

#include "jsonutils.h"
#include "messages.h"
#include "rounding.h"
#include "secretmask.h"

#include <log4qt/logger.h>
#include <restresponse.h>

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

#include <curl/curl.h>

namespace velmor {

namespace {

const QString OrderStatusTexts[] = {
    QString(),
    QStringLiteral("created"),
    QStringLiteral("scoring"),
    QStringLiteral("rejected"),
    QStringLiteral("approved"),
    QStringLiteral("canceled"),
    QStringLiteral("refunded"),
    QStringLiteral("completed"),
    QStringLiteral("processed"),
};

QJsonValue orderAmountValue(const QJsonObject &json)
{
    return jsonutils::extract(json, {QStringLiteral("order"), QStringLiteral("amount")});
}

} // namespace

OrderStatus orderStatusOf(const QString &status)
{
    for (int value = Created; value <= Processed; ++value) {
        if (status == OrderStatusTexts[value])
            return OrderStatus(value);
    }
    return Undefined;
}

QString trId(const QString &code)
{
    QString id = QStringLiteral("velmor");
    const QStringList parts = code.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    for (const QString &part : parts)
        id += part.left(1).toUpper() + part.mid(1);
    return id;
}

RequestResult decodeResponse(const RestResponse &response, const QString &currentId,
                             const OrderStatusReader &orderStatus, Log4Qt::Logger *logger)
{
    RequestResult result;
    result.id = currentId;
    result.json = response.json;
    result.httpCode = response.httpCode;

    if (result.json.contains(QStringLiteral("error"))) {
        const QJsonObject error = result.json.value(QStringLiteral("error")).toObject();
        const QJsonValue code = error.value(QStringLiteral("code"));
        const QJsonValue text = error.value(QStringLiteral("text"));
        const QString codeText = code.isString() ? code.toString() : QString();
        const QString messageText =
            maskRememberedSecrets(text.isString() ? text.toString() : QString());
        result.message = tr::Tr(trId(maskRememberedSecrets(codeText)), messageText);
        if (logger)
            logger->info(
                QStringLiteral("Сервер вернул сообщение об ошибке: %1").arg(result.message.ru()));
        result.errorCode = codeText;
        result.success = false;
        result.delivery = Delivery::ServiceError;
    } else if (response.networkError > 0) {
        result.success = false;
        result.noResponse = true;
        result.message = response.errorMessage;
        result.delivery = failureDelivery(response.networkError);
    } else if (result.httpCode != 200) {
        // Only a 200 answer or a service error says anything: a proxy's or a failing server's
        // page, JSON or not, is no answer from the service.
        if (logger && !result.json.isEmpty())
            logger->warn(QStringLiteral("Ответ сервера с кодом %1 без описания ошибки не принят")
                             .arg(result.httpCode));
        result.success = false;
        result.noResponse = true;
        result.message = messages::noUsefulAnswer();
        result.delivery = Delivery::NoUse;
    } else if (result.json.isEmpty()) {
        // A 200 whose body is empty or not a JSON object: something answered, and the request
        // may have been carried out, but nothing says what became of it.
        result.delivery = Delivery::NoUse;
    }

    if (result.httpCode == 200 && result.json.contains(QStringLiteral("order"))) {
        const QJsonObject order = result.json.value(QStringLiteral("order")).toObject();
        result.orderStatus =
            orderStatus(order.value(QStringLiteral("status")).toString().toLower());
    }

    if (result.orderStatus == Rejected) {
        result.message = messages::rejected();
        result.success = false;
    }
    return result;
}

Delivery failureDelivery(int networkError)
{
    switch (networkError) {
    // Nothing left this machine, or no connection to the service was made.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_FAILED_INIT:
    case CURLE_URL_MALFORMAT:
    case CURLE_NOT_BUILT_IN:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_BAD_FUNCTION_ARGUMENT:
    // The TLS handshake failed: no request was sent over it.
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return Delivery::NeverSent;
    case CURLE_OPERATION_TIMEDOUT:
        return Delivery::TimedOut;
    default:
        // A connection that broke, an answer cut short or too large to read: the request may
        // have gone out and been carried out.
        return Delivery::LostAfterSending;
    }
}

bool isCancellationConfirmed(const RequestResult &result)
{
    return result.delivery == Delivery::Answered && result.httpCode == 200 &&
           result.json.value(QStringLiteral("status")).toString() == QLatin1String("CANCELLED");
}

bool isRefundConfirmed(const RequestResult &result)
{
    // Only an answer that shows the order's state or the refund itself confirms it; "{}" or
    // {"result": "accepted"} from a gateway or a half-broken service says nothing.
    if (result.delivery != Delivery::Answered || !result.success)
        return false;
    return result.orderStatus != Undefined ||
           result.json.value(QStringLiteral("refund")).isObject() ||
           !result.json.value(QStringLiteral("refund")).toArray().isEmpty();
}

bool isUnknownOrder(const RequestResult &result)
{
    return result.delivery == Delivery::ServiceError &&
           result.errorCode == QLatin1String("order_not_found");
}

void discardIfAboutAnotherOrder(RequestResult *result, const QString &orderId,
                                Log4Qt::Logger *logger)
{
    // An answer that names another order than the one asked about in "order"."id" says
    // nothing about it, and is taken as no answer.
    const QJsonValue order = result->json.value(QStringLiteral("order"));
    if (!order.isObject())
        return;
    const QJsonValue id = order.toObject().value(QStringLiteral("id"));
    if (id.isUndefined() || (id.isString() && id.toString() == orderId))
        return;
    if (logger)
        logger->warn(
            QStringLiteral("Ответ сервера относится к другому заказу (%1), ожидался заказ %2")
                .arg(id.isString() ? id.toString() : QStringLiteral("?"), orderId));
    result->success = false;
    result->noResponse = true;
    result->delivery = Delivery::NoUse;
    result->errorCode.clear();
    result->message = messages::noUsefulAnswer();
    result->json = QJsonObject();
    result->orderStatus = Undefined;
}

double orderAmount(const QJsonObject &json)
{
    return orderAmountValue(json).toDouble(0.0);
}

double totalRefundedAmount(const QJsonObject &json)
{
    double total = 0.0;
    const QJsonArray refunds = json.value(QStringLiteral("refund")).toArray();
    for (const QJsonValue &refund : refunds)
        total += refund.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble(0.0);
    return total;
}

bool carriesOrderAmount(const QJsonObject &json)
{
    // An error object or an answer without the order's amount proves nothing: both sides of a
    // comparison with the refunds would read 0 and "match".
    if (json.isEmpty() || json.contains(QStringLiteral("error")))
        return false;
    return orderAmountValue(json).isDouble();
}

bool sameKopecks(double first, double second)
{
    // A sum of several refunds in binary floating point rarely equals the order amount to the
    // last bit.
    return kopecksOf(first) == kopecksOf(second);
}

} // namespace velmor
