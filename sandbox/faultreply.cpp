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
QJsonObject confirmingAnswer(Sandbox::Endpoint endpoint, const QString &orderId)
{
    const auto order = [&orderId](const QString &status) {
        return QJsonObject{{QStringLiteral("id"), orderId},
                           {QStringLiteral("status"), status},
                           {QStringLiteral("amount"), 1.0}};
    };
    switch (endpoint) {
    case Sandbox::Endpoint::Create:
        return {{QStringLiteral("order"), order(Order::StatusCreated)}};
    case Sandbox::Endpoint::Info:
        return {{QStringLiteral("order"), order(Order::StatusCompleted)},
                {QStringLiteral("refund"),
                 QJsonArray{QJsonObject{{QStringLiteral("totalRefundedAmount"), 1.0}}}}};
    case Sandbox::Endpoint::Cancel:
        return {{QStringLiteral("status"), QStringLiteral("CANCELLED")},
                {QStringLiteral("order"), order(Order::StatusCanceled)}};
    case Sandbox::Endpoint::Refund:
        return {{QStringLiteral("order"), order(Order::StatusRefunded)}};
    }
    return {};
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

bool answerInstead(Sandbox::Fault fault, Sandbox::Endpoint endpoint, const QString &orderId,
                   httplib::Response &res)
{
    switch (fault) {
    case Sandbox::Fault::DropMidBody:
        halfBody(res, orderId);
        return true;
    case Sandbox::Fault::Empty500:
        res.status = 500;
        return true;
    case Sandbox::Fault::Html502:
    case Sandbox::Fault::Html502After:
        res.status = 502;
        res.set_content("<html><head><title>502 Bad Gateway</title></head><body><center>"
                        "<h1>502 Bad Gateway</h1></center><hr><center>gateway</center>"
                        "</body></html>",
                        "text/html");
        return true;
    case Sandbox::Fault::NotJson:
        res.status = 200;
        res.set_content("Service temporarily unavailable, try again later", JsonContentType);
        return true;
    case Sandbox::Fault::TruncatedJson:
        truncatedJson(res, orderId);
        return true;
    case Sandbox::Fault::ErrorObject:
        send(res, OrderBook::errorReply(400, QStringLiteral("service_error"),
                                        QStringLiteral("Внутренняя ошибка сервиса")));
        return true;
    case Sandbox::Fault::HugeBody:
        res.status = 200;
        res.set_content(hugeBody(), JsonContentType);
        return true;
    case Sandbox::Fault::Json500: {
        // What a failing application server or a proxy in front of it may say.
        QJsonObject body = confirmingAnswer(endpoint, orderId);
        body.insert(QStringLiteral("message"), QStringLiteral("Internal server error"));
        send(res, OrderBook::Reply{500, body});
        return true;
    }
    case Sandbox::Fault::Gateway504:
        res.status = 504;
        return true;
    case Sandbox::Fault::Empty200:
    case Sandbox::Fault::Empty200After:
        send(res, OrderBook::Reply{200, QJsonObject()});
        return true;
    case Sandbox::Fault::Accepted200:
        send(res, OrderBook::Reply{
                      200, QJsonObject{{QStringLiteral("result"), QStringLiteral("accepted")}}});
        return true;
    case Sandbox::Fault::OtherOrder:
        send(res,
             OrderBook::Reply{200, confirmingAnswer(endpoint, QStringLiteral("another-order"))});
        return true;
    case Sandbox::Fault::None:
    case Sandbox::Fault::Delay:
    case Sandbox::Fault::Trickle:
    case Sandbox::Fault::Lost:
    case Sandbox::Fault::Drop:
    case Sandbox::Fault::NoAnswer:
        break;
    }
    return false;
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
