#include "answerdecoding.h"

#include "jsonutils.h"
#include "messages.h"

#include <log4qt/logger.h>
#include <restresponse.h>

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

#include <cmath>

namespace velmor {

namespace {

// The host's transport reports libcurl's codes. These say that the connection broke after the
// request had gone out (or that the answer outgrew what the transport reads), so the service
// may have acted on it: the outcome is unknown, as after a timeout.
enum LostAnswerCode {
    Http2Error = 16,
    PartialFile = 18,
    WriteError = 23,
    SendError = 55,
    ReceiveError = 56,
    GotNothing = 52,
    Http2StreamError = 92,
};

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

qint64 kopecks(double roubles)
{
    return std::isfinite(roubles) ? std::llround(roubles * 100) : 0;
}

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
        const QString messageText = text.isString() ? text.toString() : QString();
        result.message = tr::Tr(trId(codeText), messageText);
        if (logger)
            logger->info(
                QStringLiteral("Сервер вернул сообщение об ошибке: %1").arg(result.message.ru()));
        result.errorCode = codeText;
        result.success = false;
    } else if (response.networkError > 0) {
        result.success = false;
        result.noResponse = true;
        result.message = response.errorMessage;
    } else if (result.httpCode != 200) {
        // Only a 200 answer or a service error says anything: a proxy's or a failing server's
        // page, JSON or not, is no answer from the service.
        if (logger && !result.json.isEmpty())
            logger->warn(QStringLiteral("Ответ сервера с кодом %1 без описания ошибки не принят")
                             .arg(result.httpCode));
        result.success = false;
        result.noResponse = true;
        result.message = messages::noUsefulAnswer();
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

bool isLostAnswer(int networkError)
{
    switch (networkError) {
    case Http2Error:
    case PartialFile:
    case WriteError:
    case SendError:
    case ReceiveError:
    case GotNothing:
    case Http2StreamError:
        return true;
    default:
        return false;
    }
}

bool isUnanswered(const RequestResult &result)
{
    // A cancellation or refund is confirmed only by a readable answer. An answer without a
    // JSON object (an empty or garbled 200) proves nothing, so it takes the road of no answer:
    // the queue, whose replay asks the order's state and repeats the refund under its id.
    return result.noResponse || (result.success && result.json.isEmpty());
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

bool isRefundedInFull(const QJsonObject &json)
{
    // An error object or an answer without the order's amount proves nothing: both sides
    // would read 0 and "match".
    if (json.isEmpty() || json.contains(QStringLiteral("error")))
        return false;
    const QJsonValue amount = orderAmountValue(json);
    if (!amount.isDouble())
        return false;
    // Money is compared in kopecks: a sum of several refunds in binary floating point rarely
    // equals the order amount to the last bit.
    return kopecks(totalRefundedAmount(json)) == kopecks(amount.toDouble());
}

} // namespace velmor
