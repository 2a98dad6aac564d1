#include "faultreply.h"

#include "order.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <string>

namespace sandbox {

namespace {

constexpr size_t HugeBodySize = 5 * 1024 * 1024;

std::string compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

const std::string &hugeBody()
{
    static const std::string body = [] {
        const std::string head = "{\"filler\":\"";
        const std::string tail = "\"}";
        std::string text = head;
        text.append(HugeBodySize - head.size() - tail.size(), 'x');
        text += tail;
        return text;
    }();
    return body;
}

QJsonObject createdOrder(const QString &orderId)
{
    return {{QStringLiteral("id"), orderId}, {QStringLiteral("status"), Order::StatusCreated}};
}

// Each answer would confirm what was asked: a client must judge whether it may.
QJsonObject confirmingAnswer(Endpoint endpoint, const QString &orderId)
{
    const auto order = [&orderId](const QString &status) {
        return QJsonObject{{QStringLiteral("id"), orderId},
                           {QStringLiteral("status"), status},
                           {QStringLiteral("amount"), 1.0}};
    };
    switch (endpoint) {
    case Endpoint::Create:
        return {{QStringLiteral("order"), order(Order::StatusCreated)}};
    case Endpoint::Info:
        return {{QStringLiteral("order"), order(Order::StatusCompleted)},
                {QStringLiteral("refund"),
                 QJsonArray{QJsonObject{{QStringLiteral("totalRefundedAmount"), 1.0}}}}};
    case Endpoint::Cancel:
        return {{QStringLiteral("status"), QStringLiteral("CANCELLED")},
                {QStringLiteral("order"), order(Order::StatusCanceled)}};
    case Endpoint::Refund:
        return {{QStringLiteral("order"), order(Order::StatusRefunded)}};
    }
    return {};
}

// The order as a client sees it in an answer: {"id", "status", "amount"}.
QJsonObject slimOrder(const QJsonObject &order)
{
    return {{QStringLiteral("id"), order.value(QStringLiteral("id"))},
            {QStringLiteral("status"), order.value(QStringLiteral("status"))},
            {QStringLiteral("amount"), order.value(QStringLiteral("amount"))}};
}

// Text as a JSON string literal, quotes included.
std::string quoted(const QString &text)
{
    const std::string array =
        QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact).toStdString();
    return array.substr(1, array.size() - 2);
}

// The order's info answer with "amount" twice, the last one 0: a parser that keeps the first
// reads the amount, one that keeps the last reads nothing refunded of nothing.
std::string duplicateAmount(const QJsonObject &order)
{
    const double amount = order.value(QStringLiteral("amount")).toDouble();
    return "{\"order\":{\"id\":" + quoted(order.value(QStringLiteral("id")).toString()) +
           ",\"status\":" + quoted(order.value(QStringLiteral("status")).toString()) +
           ",\"amount\":" +
           QJsonDocument(QJsonArray{amount})
               .toJson(QJsonDocument::Compact)
               .mid(1)
               .chopped(1)
               .toStdString() +
           ",\"amount\":0},\"refund\":[]}";
}

// An answer the faults that show an order unchanged give: the order as it stood before.
QJsonObject unchangedAnswer(Fault fault, Endpoint endpoint, const QJsonObject &before)
{
    QJsonObject body{{QStringLiteral("order"), slimOrder(before)}};
    switch (fault) {
    case Fault::Unchanged:
    case Fault::UnchangedAfter:
        if (endpoint == Endpoint::Refund)
            body.insert(QStringLiteral("refund"), QJsonArray());
        break;
    case Fault::OtherRefund:
    case Fault::OtherRefundAfter:
        body.insert(QStringLiteral("refund"),
                    QJsonObject{{QStringLiteral("id"), QStringLiteral("another-refund")},
                                {QStringLiteral("totalRefundedAmount"), 1.0}});
        break;
    case Fault::InfoZeroAmount: {
        QJsonObject order = slimOrder(before);
        order.insert(QStringLiteral("amount"), 0);
        body =
            QJsonObject{{QStringLiteral("order"), order}, {QStringLiteral("refund"), QJsonArray()}};
        break;
    }
    default:
        break;
    }
    return body;
}

void halfBody(httplib::Response &res, const QString &orderId)
{
    auto body = std::make_shared<std::string>(
        compact(QJsonObject{{QStringLiteral("order"), createdOrder(orderId)}}));
    res.status = 200;
    res.set_content_provider(body->size(), faultreply::JsonContentType,
                             [body](size_t offset, size_t, httplib::DataSink &sink) {
                                 const size_t half = body->size() / 2;
                                 if (offset < half)
                                     sink.write(body->data(), half);
                                 return false;
                             });
}

void truncatedJson(httplib::Response &res, const QString &orderId)
{
    QJsonObject order = createdOrder(orderId);
    order.insert(QStringLiteral("amount"), 100.5);
    const std::string whole = compact(QJsonObject{{QStringLiteral("order"), order}});
    res.status = 200;
    res.set_content(whole.substr(0, whole.size() / 2), faultreply::JsonContentType);
}

} // namespace

namespace faultreply {

void send(httplib::Response &res, const OrderBook::Reply &reply)
{
    res.status = reply.status;
    res.set_content(compact(reply.body), JsonContentType);
}

bool answerInstead(Fault fault, Endpoint endpoint, const QString &orderId,
                   const QJsonObject &before, httplib::Response &res)
{
    switch (fault) {
    case Fault::Error504:
    case Fault::Error504After:
        send(res, OrderBook::Reply{504, QJsonObject{{QStringLiteral("error"),
                                                     QStringLiteral("Gateway Timeout")}}});
        return true;
    case Fault::Error502:
    case Fault::Error502After:
        // A gateway's error object, shaped like the service's own: not one of the service's
        // refusals, so the plug-in's catalogue has no text for it.
        send(res, OrderBook::Reply{
                      502, QJsonObject{
                               {QStringLiteral("error"),
                                QJsonObject{{QStringLiteral("code"), QStringLiteral("bad_gateway")},
                                            {QStringLiteral("text"),
                                             QStringLiteral("The upstream service did not "
                                                            "answer")}}}}});
        return true;
    case Fault::Error500:
    case Fault::Error500After:
        send(res, OrderBook::Reply{
                      500, QJsonObject{{QStringLiteral("error"),
                                        QJsonObject{{QStringLiteral("message"),
                                                     QStringLiteral("Internal server error")}}}}});
        return true;
    case Fault::Unchanged:
    case Fault::UnchangedAfter:
    case Fault::OtherRefund:
    case Fault::OtherRefundAfter:
    case Fault::InfoZeroAmount:
    case Fault::DuplicateAmount:
    case Fault::NotFoundLag:
        // About an order the service does not hold, the truth is all there is to say.
        if (before.isEmpty() || fault == Fault::NotFoundLag)
            send(res, OrderBook::errorReply(404, QStringLiteral("order_not_found"),
                                            QStringLiteral("Заказ не найден")));
        else if (fault == Fault::DuplicateAmount) {
            res.status = 200;
            res.set_content(duplicateAmount(before), JsonContentType);
        } else
            send(res, OrderBook::Reply{200, unchangedAnswer(fault, endpoint, before)});
        return true;
    case Fault::DropMidBody:
        halfBody(res, orderId);
        return true;
    case Fault::Empty500:
        res.status = 500;
        return true;
    case Fault::Html502:
    case Fault::Html502After:
        res.status = 502;
        res.set_content("<html><head><title>502 Bad Gateway</title></head><body><center>"
                        "<h1>502 Bad Gateway</h1></center><hr><center>gateway</center>"
                        "</body></html>",
                        "text/html");
        return true;
    case Fault::NotJson:
        res.status = 200;
        res.set_content("Service temporarily unavailable, try again later", JsonContentType);
        return true;
    case Fault::TruncatedJson:
        truncatedJson(res, orderId);
        return true;
    case Fault::ErrorObject:
        send(res, OrderBook::errorReply(400, QStringLiteral("service_error"),
                                        QStringLiteral("Внутренняя ошибка сервиса")));
        return true;
    case Fault::HugeBody:
        res.status = 200;
        res.set_content(hugeBody(), JsonContentType);
        return true;
    case Fault::Json500: {
        // What a failing application server or a proxy in front of it may say.
        QJsonObject body = confirmingAnswer(endpoint, orderId);
        body.insert(QStringLiteral("message"), QStringLiteral("Internal server error"));
        send(res, OrderBook::Reply{500, body});
        return true;
    }
    case Fault::Gateway504:
        res.status = 504;
        return true;
    case Fault::Empty200:
    case Fault::Empty200After:
        send(res, OrderBook::Reply{200, QJsonObject()});
        return true;
    case Fault::Accepted200:
        send(res, OrderBook::Reply{
                      200, QJsonObject{{QStringLiteral("result"), QStringLiteral("accepted")}}});
        return true;
    case Fault::OtherOrder:
        send(res,
             OrderBook::Reply{200, confirmingAnswer(endpoint, QStringLiteral("another-order"))});
        return true;
    case Fault::None:
    case Fault::Delay:
    case Fault::Trickle:
    case Fault::Lost:
    case Fault::Drop:
    case Fault::NoAnswer:
    case Fault::UpperCaseId:
    case Fault::LateCreate:
        break;
    }
    return false;
}

OrderBook::Reply withUpperCaseId(OrderBook::Reply reply, const QString &orderId)
{
    const QString upper = orderId.toUpper();
    const auto raise = [&orderId, &upper](QJsonObject *object) {
        if (object->value(QStringLiteral("id")).toString() == orderId)
            object->insert(QStringLiteral("id"), upper);
    };
    raise(&reply.body);
    QJsonObject order = reply.body.value(QStringLiteral("order")).toObject();
    if (!order.isEmpty()) {
        raise(&order);
        reply.body.insert(QStringLiteral("order"), order);
    }
    return reply;
}

QString shownStatus(int status, const std::string &body, const QString &orderId)
{
    if (status != 200 || orderId.isEmpty())
        return QString();
    const QJsonObject order = QJsonDocument::fromJson(QByteArray::fromStdString(body))
                                  .object()
                                  .value(QStringLiteral("order"))
                                  .toObject();
    if (order.value(QStringLiteral("id")).toString().compare(orderId, Qt::CaseInsensitive) != 0)
        return QString();
    return order.value(QStringLiteral("status")).toString();
}

void trickle(httplib::Response &res, const OrderBook::Reply &reply, int stepMs,
             std::function<bool(int)> pause)
{
    auto body = std::make_shared<std::string>(compact(reply.body));
    res.status = reply.status;
    res.set_content_provider(
        body->size(), JsonContentType,
        [body, stepMs, pause = std::move(pause)](size_t offset, size_t, httplib::DataSink &sink) {
            if (!pause(stepMs))
                return false;
            return sink.write(body->data() + offset, 1);
        });
}

void unfinishedBody(httplib::Response &res)
{
    res.set_content_provider(1, JsonContentType,
                             [](size_t, size_t, httplib::DataSink &) { return false; });
}

} // namespace faultreply

} // namespace sandbox
