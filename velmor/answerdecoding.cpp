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

    if (response.networkError > 0) {
        result.setOutcome(failureDelivery(response.networkError), false, true);
        result.message = response.errorMessage;
    } else if (isServiceRefusal(response)) {
        const QJsonObject error = result.json.value(QStringLiteral("error")).toObject();
        const QJsonValue text = error.value(QStringLiteral("text"));
        const QString codeText = error.value(QStringLiteral("code")).toString();
        const QString messageText =
            maskRememberedSecrets(text.isString() ? text.toString() : QString());
        result.message = tr::Tr(trId(maskRememberedSecrets(codeText)), messageText);
        if (logger)
            logger->info(
                QStringLiteral("Сервер вернул сообщение об ошибке: %1").arg(result.message.ru()));
        result.errorCode = codeText;
        result.setOutcome(Delivery::ServiceError, false);
    } else if (result.httpCode != 200) {
        // Only a 200 answer or the service's refusal says anything. A 5xx may come from a
        // gateway or an upstream that timed out after the work was done, whatever its body
        // says, and a redirect or another 2xx tells nothing either.
        if (logger && !result.json.isEmpty())
            logger->warn(QStringLiteral("Ответ сервера с кодом %1 не принят: он не говорит, "
                                        "выполнен ли запрос")
                             .arg(result.httpCode));
        result.setOutcome(Delivery::NoUse, false, true);
        result.message = messages::noUsefulAnswer();
    } else if (result.json.isEmpty() || result.json.contains(QStringLiteral("error"))) {
        // A 200 whose body is empty, not a JSON object, or an error that no refusal status
        // backs: something answered, and the request may have been carried out, but nothing
        // says what became of it.
        if (result.json.isEmpty()) {
            result.setOutcome(Delivery::NoUse, true);
        } else {
            result.setOutcome(Delivery::NoUse, false, true);
            result.message = messages::noUsefulAnswer();
        }
    }

    if (result.delivery == Delivery::Answered && result.json.contains(QStringLiteral("order"))) {
        const QJsonObject order = result.json.value(QStringLiteral("order")).toObject();
        result.orderStatus =
            orderStatus(order.value(QStringLiteral("status")).toString().toLower());
    }

    if (result.orderStatus == Rejected) {
        result.message = messages::rejected();
        result.setSucceeded(false);
    }
    return result;
}

bool isServiceRefusal(const RestResponse &response)
{
    // The service refuses with a 4xx and its error object, whose "code" is text; 429 among
    // them says "not now". Anything else carrying an "error" may be a gateway's word.
    if (response.httpCode < 400 || response.httpCode > 499)
        return false;
    const QJsonValue error = response.json.value(QStringLiteral("error"));
    return error.isObject() && error.toObject().value(QStringLiteral("code")).isString();
}

bool sameOrderId(const QString &first, const QString &second)
{
    // Order ids are UUIDs, which a service may write in either case.
    return first.compare(second, Qt::CaseInsensitive) == 0;
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

bool isRefundConfirmed(const RequestResult &result, const QString &refundId)
{
    // Only an answer that shows this refund's own effect confirms it: the order refunded, or
    // a refund list that holds this refund's id. "{}", {"result": "accepted"}, the order
    // still completed or another refund's id say nothing about this one.
    if (result.delivery != Delivery::Answered || !result.success)
        return false;
    return result.orderStatus == Refunded || listsRefund(result.json, refundId);
}

bool listsRefund(const QJsonObject &json, const QString &refundId)
{
    if (refundId.isEmpty())
        return false;
    const QJsonValue refunds = json.value(QStringLiteral("refund"));
    const QJsonArray list = refunds.isObject() ? QJsonArray{refunds} : refunds.toArray();
    for (const QJsonValue &refund : list) {
        const QJsonValue id = refund.toObject().value(QStringLiteral("id"));
        if (id.isString() && sameOrderId(id.toString(), refundId))
            return true;
    }
    return false;
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
    if (id.isUndefined() || (id.isString() && sameOrderId(id.toString(), orderId)))
        return;
    if (logger)
        logger->warn(
            QStringLiteral("Ответ сервера относится к другому заказу (%1), ожидался заказ %2")
                .arg(id.isString() ? id.toString() : QStringLiteral("?"), orderId));
    result->setOutcome(Delivery::NoUse, false, true, result->timedOut);
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
    // comparison with the refunds would read 0 and "match". Nor does an order of nothing.
    if (json.isEmpty() || json.contains(QStringLiteral("error")))
        return false;
    const QJsonValue amount = orderAmountValue(json);
    return amount.isDouble() && kopecksOf(amount.toDouble()) > 0;
}

bool sameKopecks(double first, double second)
{
    // A sum of several refunds in binary floating point rarely equals the order amount to the
    // last bit.
    return kopecksOf(first) == kopecksOf(second);
}

} // namespace velmor
