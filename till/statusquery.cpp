#include "statusquery.h"

#include "catalogue.h"
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <restclient.h>
#include <till/check/jsonline.h>
#include <velmor/answerdecoding.h>
#include <velmor/clientsettings.h>
#include <velmor/requestaddress.h>
#include <velmor/rounding.h>
#include <velmor/secretmask.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

namespace till {

namespace {

const QString NoAnswer = QStringLiteral("no answer from the service");
const QString NoUsableAnswer = QStringLiteral("no usable answer from the service");

// Why an answer about the order cannot be reported as it stands; empty when it can. The
// refunded total must not come out lower than the service holds it: the cashier may refund
// again on the strength of it.
QString unusableOrder(const QJsonObject &json)
{
    const QJsonValue order = json.value(QStringLiteral("order"));
    if (!order.isObject())
        return QStringLiteral("the answer holds no \"order\" object");
    const QJsonValue status = order.toObject().value(QStringLiteral("status"));
    if (!status.isString() || status.toString().isEmpty())
        return QStringLiteral("the answer holds no \"order\".\"status\" text");
    if (!order.toObject().value(QStringLiteral("amount")).isDouble())
        return QStringLiteral("the answer holds no \"order\".\"amount\" number");
    const QJsonValue refunds = json.value(QStringLiteral("refund"));
    if (refunds.isUndefined())
        return QString();
    if (!refunds.isArray())
        return QStringLiteral("the answer's \"refund\" is not an array");
    for (const QJsonValue &refund : refunds.toArray()) {
        if (!refund.toObject().value(QStringLiteral("totalRefundedAmount")).isDouble())
            return QStringLiteral("a \"refund\" element holds no \"totalRefundedAmount\" number");
    }
    return QString();
}

QString failureLine(const QString &orderId, const QString &error, const QString &message,
                    int httpCode)
{
    return JsonLine()
        .add(QStringLiteral("rrn"), orderId)
        .add(QStringLiteral("error"), error)
        .add(QStringLiteral("message"), message)
        .add(QStringLiteral("httpCode"), httpCode)
        .toString();
}

} // namespace

StatusQuery::StatusQuery(const Config &config) : m_config(config) {}

bool StatusQuery::run(const QString &orderId)
{
    Log4Qt::Logger *logger = Log4Qt::LogManager::logger(QStringLiteral("till"));
    const velmor::ClientSettings settings = velmor::readClientSettings(m_config, logger);

    RestClient client;
    client.setLogger(logger);
    client.setTimeout(settings.timeout);
    client.setCertificatePath(settings.certificatePath);
    client.setCertificatePassword(settings.certificatePassword);
    // The order id is the correlation id, as in the plug-in's own status requests about a
    // queued order.
    client.get(velmor::requestUrl(settings.url, velmor::orderPath(orderId, QStringLiteral("info"))),
               velmor::requestHeaders(settings.credentials, orderId));
    const RestResponse response = client.getResponse();

    velmor::RequestResult result = velmor::decodeResponse(
        response, orderId, [](const QString &status) { return velmor::orderStatusOf(status); },
        logger);
    velmor::discardIfAboutAnotherOrder(&result, orderId, logger);

    const QString message = Catalogue::shown().text(result.message);
    if (result.delivery == velmor::Delivery::ServiceError) {
        m_line = failureLine(orderId,
                             result.errorCode.isEmpty()
                                 ? QStringLiteral("service error without a code")
                                 : velmor::maskRememberedSecrets(result.errorCode),
                             message, result.httpCode);
        return false;
    }
    if (result.noResponse) {
        m_line = failureLine(orderId, response.networkError > 0 ? NoAnswer : NoUsableAnswer,
                             message, result.httpCode);
        return false;
    }
    const QString unusable = unusableOrder(result.json);
    if (!unusable.isEmpty()) {
        m_line = failureLine(orderId, NoUsableAnswer, unusable, result.httpCode);
        return false;
    }

    const QJsonObject order = result.json.value(QStringLiteral("order")).toObject();
    m_line =
        JsonLine()
            .add(QStringLiteral("rrn"), orderId)
            .add(QStringLiteral("status"),
                 order.value(QStringLiteral("status")).isString()
                     ? QJsonValue(velmor::maskRememberedSecrets(
                           order.value(QStringLiteral("status")).toString()))
                     : order.value(QStringLiteral("status")))
            .add(QStringLiteral("amount"), velmor::roundAmount(velmor::orderAmount(result.json)))
            .add(QStringLiteral("refunded"),
                 velmor::roundAmount(velmor::totalRefundedAmount(result.json)))
            .toString();
    return true;
}

} // namespace till
