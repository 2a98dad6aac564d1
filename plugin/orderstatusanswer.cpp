#include "orderstatusanswer.h"

#include <velmor/answerdecoding.h>
#include <velmor/messages.h>
#include <velmor/requestresult.h>
#include <velmor/rounding.h>
#include <velmor/secretmask.h>

#include <QJsonArray>
#include <QVariantMap>

namespace {

tr::Tr stateText(velmor::OrderStatus status, const QString &text)
{
    switch (status) {
    case velmor::Created:
        return tr::Tr(QStringLiteral("velmorStateCreated"), QStringLiteral("Заказ создан"));
    case velmor::Scoring:
        return tr::Tr(QStringLiteral("velmorStateScoring"),
                      QStringLiteral("Заявка на рассмотрении"));
    case velmor::Rejected:
        return tr::Tr(QStringLiteral("velmorStateRejected"), QStringLiteral("Заявка отклонена"));
    case velmor::Approved:
        return tr::Tr(QStringLiteral("velmorStateApproved"),
                      QStringLiteral("Заявка одобрена, первый платеж еще не внесен"));
    case velmor::Canceled:
        return tr::Tr(QStringLiteral("velmorStateCanceled"), QStringLiteral("Заказ отменен"));
    case velmor::Refunded:
        return tr::Tr(QStringLiteral("velmorStateRefunded"),
                      QStringLiteral("Заказ возвращен полностью"));
    case velmor::Completed:
        return tr::Tr(QStringLiteral("velmorStateCompleted"), QStringLiteral("Заказ оплачен"));
    case velmor::Processed:
        return tr::Tr(QStringLiteral("velmorStateProcessed"), QStringLiteral("Заказ обработан"));
    case velmor::Undefined:
        break;
    }
    return tr::Tr(QStringLiteral("velmorStateUnknown"),
                  QStringLiteral("Состояние заказа, неизвестное плагину: %1"))
        .arg(tr::Tr(text));
}

// What the answer lacks for a status, or nothing.
tr::Tr missingFrom(const QJsonObject &json)
{
    const auto missing = [](const char *what) {
        return tr::Tr(QStringLiteral("velmorStatusIncomplete"),
                      QStringLiteral("В ответе сервера нет %1"))
            .arg(tr::Tr(QString::fromLatin1(what)));
    };
    const QJsonValue order = json.value(QStringLiteral("order"));
    if (!order.isObject())
        return missing("\"order\"");
    const QJsonValue status = order.toObject().value(QStringLiteral("status"));
    if (!status.isString() || status.toString().isEmpty())
        return missing("\"order\".\"status\"");
    if (!order.toObject().value(QStringLiteral("amount")).isDouble())
        return missing("\"order\".\"amount\"");
    const QJsonValue refunds = json.value(QStringLiteral("refund"));
    if (refunds.isUndefined())
        return tr::Tr();
    if (!refunds.isArray())
        return missing("\"refund\" []");
    const QJsonArray list = refunds.toArray();
    for (const QJsonValue &refund : list) {
        if (!refund.toObject().value(QStringLiteral("totalRefundedAmount")).isDouble())
            return missing("\"refund\".\"totalRefundedAmount\"");
    }
    return tr::Tr();
}

} // namespace

PaymentProcessingAnswer orderStatusAnswer(const QString &orderId,
                                          const velmor::RequestResult &result)
{
    PaymentProcessingAnswer answer;
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    answer.setRRN(orderId);
    answer.setCode(result.httpCode);
    QVariantMap data;
    data.insert(QStringLiteral("httpCode"), result.httpCode);

    const tr::Tr missing =
        result.delivery == velmor::Delivery::Answered ? missingFrom(result.json) : tr::Tr();
    if (result.delivery == velmor::Delivery::Answered && missing.isEmpty()) {
        // Texts of the service's are shown as they came, less any credential they repeat.
        const QString status =
            velmor::maskRememberedSecrets(result.json.value(QStringLiteral("order"))
                                              .toObject()
                                              .value(QStringLiteral("status"))
                                              .toString());
        answer.setSuccess(true);
        answer.setMessage(stateText(velmor::OrderStatus(result.orderStatus), status));
        answer.setSum(velmor::roundAmount(velmor::orderAmount(result.json)));
        data.insert(QStringLiteral("status"), status);
        data.insert(QStringLiteral("refunded"),
                    velmor::roundAmount(velmor::totalRefundedAmount(result.json)));
    } else {
        answer.setSuccess(false);
        if (result.delivery == velmor::Delivery::ServiceError) {
            data.insert(QStringLiteral("error"), velmor::maskRememberedSecrets(result.errorCode));
            answer.setMessage(result.message);
        } else if (result.delivery == velmor::Delivery::Answered) {
            data.insert(QStringLiteral("error"), QStringLiteral("noUsableAnswer"));
            answer.setMessage(missing);
        } else {
            const bool nothingCame = result.delivery != velmor::Delivery::NoUse;
            data.insert(QStringLiteral("error"), nothingCame ? QStringLiteral("noAnswer")
                                                             : QStringLiteral("noUsableAnswer"));
            answer.setMessage(result.message.isEmpty() ? velmor::messages::noUsefulAnswer()
                                                       : result.message);
        }
    }
    answer.setAdditionalData(data);
    return answer;
}
