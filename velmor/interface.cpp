#include "interface.h"

#include "jsonutils.h"
#include "rounding.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QUuid>
#include <abstractdocument.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <gadgetserialize.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <mockfactory.h>
#include <restclient.h>
#include <session.h>
#include <singleton.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

namespace velmor {

namespace {

template<typename T> T *hostService()
{
    if (!Singleton<T>::instance)
        Singleton<T>::instance = new T;
    return Singleton<T>::instance;
}

QSharedPointer<RestClient> makeTransport()
{
    // An empty factory would throw out of the constructor and across the plug-in boundary.
    if (MockFactory<RestClient>::creator)
        return MockFactory<RestClient>::creator();
    return MockFactory<RestClient>::defaultCreator();
}

constexpr int DefaultTimeout = 60;
constexpr int DefaultInfoRequestInterval = 10;

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

// A create body above this is refused before it is sent: the service echoes the order's
// positions in every status answer, and an answer the transport cannot read would leave the
// sale polling "status unknown" for good.
constexpr qint64 MaxCreateBodySize = RestClient::MaxBodySize / 4;

tr::Tr noUsefulAnswer()
{
    return tr::Tr(QStringLiteral("Ошибка связи с сервером"));
}

qint64 kopecks(double roubles)
{
    return std::isfinite(roubles) ? std::llround(roubles * 100) : 0;
}

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

// What an operation that needs the host's receipt answers when there is none: nothing was sent.
RequestResult noDocument()
{
    RequestResult result;
    result.success = false;
    result.message =
        tr::Tr(QStringLiteral("velmorNoDocument"), QStringLiteral("Нет текущего чека"));
    return result;
}

} // namespace

Interface::Interface()
    : restClient(makeTransport()),
      logger(Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString()))
{}

Interface::~Interface() = default;

void Interface::init()
{
    Config *config = hostService<Config>();

    const QString login = config->getString(QStringLiteral("Velmor:login"));
    const QString password = config->getString(QStringLiteral("Velmor:password"));
    credentials =
        QString::fromLatin1(QStringLiteral("%1:%2").arg(login, password).toLocal8Bit().toBase64());

    url = QUrl(config->getString(QStringLiteral("Velmor:url"), QStringLiteral("http://localhost")),
               QUrl::TolerantMode);
    // Credentials written into the URL itself are kept out of the log, the login included, as
    // the REST client does for every exchange it logs.
    logger->debug(
        QStringLiteral("Установка адреса сервера: %1").arg(url.toString(QUrl::RemoveUserInfo)));

    // An exchange without a time limit would hang the till; the default stands in for one.
    const int configuredTimeout = config->getInt(QStringLiteral("Velmor:timeout"), DefaultTimeout);
    timeout = configuredTimeout > 0 ? configuredTimeout : DefaultTimeout;
    if (timeout != configuredTimeout)
        logger->warn(QStringLiteral("Недопустимый таймаут %1 с., используется %2 с.")
                         .arg(configuredTimeout)
                         .arg(timeout));
    logger->debug(QStringLiteral("Установка таймаута обращения к серверу: %1 с.").arg(timeout));

    // The interval is read under this spelling of the section, and installed files use it. Polls
    // back to back would flood the service, so one second is the shortest interval.
    const int configuredInterval =
        config->getInt(QStringLiteral("Velmro:infoRequestInterval"), DefaultInfoRequestInterval);
    infoRequestInterval = configuredInterval >= 1 ? configuredInterval : 1;
    if (infoRequestInterval != configuredInterval)
        logger->warn(
            QStringLiteral("Недопустимый интервал запроса статуса %1 с., используется %2 с.")
                .arg(configuredInterval)
                .arg(infoRequestInterval));
    logger->debug(QStringLiteral("Установка интервала запроса статуса заказа: %1 с.")
                      .arg(infoRequestInterval));

    restClient->setLogger(logger);
    restClient->setTimeout(timeout);
    restClient->setCertificatePath(config->getString(QStringLiteral("Velmor:certificatePath")));
    restClient->setCertificatePassword(
        config->getString(QStringLiteral("Velmor:certificatePassword")));
}

RequestResult Interface::createOffline(const PaymentProcessingRequest &request)
{
    logger->info(QStringLiteral("Создание заказа"));

    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, заказ не создан"));
        return noDocument();
    }

    orderCanceled.store(false);
    interruptRequested.store(false);
    const QString orderId = createId();
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        currentId = orderId;
        this->request = request;
    }
    // Logged before anything is sent, so that even a till killed during the sale leaves the id
    // of an order the service may hold.
    logger->info(QStringLiteral("Заказ: %1").arg(orderId));

    const double documentAmount = getOrderAmount();
    const double requestAmount = request.getAmount() / 100.0;
    QJsonObject order;
    order.insert(QStringLiteral("id"), orderId);
    order.insert(QStringLiteral("amount"),
                 roundAmount(documentAmount > requestAmount ? requestAmount : documentAmount));
    order.insert(QStringLiteral("prepaidAmount"), roundAmount(getOrderPrepaidAmount()));
    order.insert(QStringLiteral("isTwoStagePayment"), false);
    order.insert(QStringLiteral("items"), getItems());

    QJsonObject clientInfo;
    clientInfo.insert(QStringLiteral("id"), request.getCardNumber());

    QJsonObject body;
    body.insert(QStringLiteral("clientInfo"), clientInfo);
    body.insert(QStringLiteral("order"), order);

    const qint64 bodySize = QJsonDocument(body).toJson(QJsonDocument::Compact).size();
    if (bodySize > MaxCreateBodySize) {
        logger->error(QStringLiteral("Заказ не создан: запрос %1 байт, ответы сервера на него не "
                                     "будут приняты (не более %2 байт)")
                          .arg(bodySize)
                          .arg(RestClient::MaxBodySize));
        RequestResult refused;
        refused.id = orderId;
        refused.success = false;
        refused.message = tr::Tr(QStringLiteral("velmorReceiptTooLarge"),
                                 QStringLiteral("Чек слишком велик для оплаты VELMOR: уменьшите "
                                                "число позиций"));
        return refused;
    }

    changeProgress(tr::Tr(QStringLiteral("velmorProgressCreateMessage"),
                          QStringLiteral("Создание заказа VELMOR...")),
                   45);

    const RequestResult result = sendPostRequest(QStringLiteral("/create_offline"), body);

    if (result.httpCode == 200) {
        logger->info(QStringLiteral("Заявка одобрена"));
        changeProgress(tr::Tr(QStringLiteral("velmorProgressApprovedMessage"),
                              QStringLiteral("Заявка одобрена, ожидание первого платежа...")),
                       70);
        return waitForComplete(orderId);
    }
    if (result.noResponse && (result.timedOut || result.answerLost)) {
        // The order may exist although its answer was lost: its status tells.
        logger->error(QStringLiteral(
            "Не удалось получить ответ от севера, попытка получения статуса заказа"));
        changeProgress(tr::Tr(QStringLiteral("velmorProgressInfoMessage"),
                              QStringLiteral("Получение статуса заказа...")),
                       60);
        return waitForComplete(orderId);
    }
    return result;
}

RequestResult Interface::info(const QString &orderId) const
{
    RequestResult result = sendGetRequest(QStringLiteral("/%1/info").arg(pathSegment(orderId)));
    if (!answersFor(result, orderId))
        discardAnswer(&result);
    return result;
}

RequestResult Interface::cancel(bool fromQueue)
{
    QJsonObject body;
    body.insert(QStringLiteral("cancellationInitiator"), QStringLiteral("shop"));

    if (!fromQueue) {
        // From here on the sale's wait sends no poll until this cancellation is decided.
        std::lock_guard<std::mutex> lock(interruptMutex);
        interruptRequested.store(true);
        cancelInFlight = true;
    }
    const QString orderId = currentOrderId();
    RequestResult result =
        sendPostRequest(QStringLiteral("/%1/cancel").arg(pathSegment(orderId)), body);
    if (!answersFor(result, orderId))
        discardAnswer(&result);

    if (result.httpCode == 200 &&
        result.json.value(QStringLiteral("status")).toString() == QLatin1String("CANCELLED")) {
        orderCanceled.store(true);
        result.orderStatus = Canceled;
    } else if (!fromQueue && result.errorCode == QLatin1String("order_not_found")) {
        // The service holds no such order (its creation never arrived): nothing is left to
        // cancel, now or later.
        logger->info(QStringLiteral("Заказ не найден на сервере, отменять нечего"));
        orderCanceled.store(true);
        result.orderStatus = Canceled;
    } else {
        // Whatever else came back did not cancel the order.
        result.success = false;
        if (!fromQueue) {
            if (isUnanswered(result))
                logger->error(QStringLiteral(
                    "Не удалось получить ответ от сервера, будет выполнена отмена через очередь"));
            else
                logger->error(QStringLiteral(
                    "Сервер не подтвердил отмену заказа, будет выполнена отмена через очередь"));
            // The cashier's cancellation is carried out even so: the replay asks the order's
            // state and cancels or refunds it. Only a stored cancellation may be reported as
            // done; otherwise the sale goes on and the cashier may cancel again.
            if (sendMessageToQueue(orderId)) {
                orderCanceled.store(true);
                result.orderStatus = Canceled;
            }
        }
    }

    if (!fromQueue) {
        std::lock_guard<std::mutex> lock(interruptMutex);
        cancelInFlight = false;
    }
    interruptChanged.notify_all();
    return result;
}

RequestResult Interface::refund(const PaymentProcessingRequest &request)
{
    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, возврат не выполнен"));
        return noDocument();
    }

    // The refund in hand decides the quantities, online and queued alike; the body is built
    // after the exchange id is renewed, so its "id" is the exchange's own.
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        this->request = request;
    }

    RequestResult result = refund(request.getRrn(), QJsonObject());

    if (result.errorCode == QLatin1String("exceeding_refunded_amount")) {
        logger->warn(QStringLiteral("Проверка суммы выполненных возвратов"));
        const RequestResult orderInfo = info(request.getRrn());
        // Only a readable order can prove that it is refunded in full.
        result.success = orderInfo.success && checkRefundAmount(orderInfo.json);
        return result;
    }

    if (isUnanswered(result)) {
        logger->error(QStringLiteral("Не удалось получить ответ от сервера, будет выполнена отмена "
                                     "(возврат) через очередь"));
        if (!sendMessageToQueue(request.getRrn()))
            return result;
        result.success = true;
        result.message = tr::Tr(QStringLiteral("velmorCancelQueued"),
                                QStringLiteral("%1.\nОтмена будет выполнена после восстановления "
                                               "связи с сервером"))
                             .arg(result.message);
        return result;
    }

    return result;
}

RequestResult Interface::refund(const QString &orderId, const QJsonObject &payload)
{
    setCurrentId(createId());
    const QString path = QStringLiteral("/%1/refund").arg(pathSegment(orderId));
    RequestResult result = sendPostRequest(path, payload.isEmpty() ? getRefundPayload() : payload);
    if (!answersFor(result, orderId))
        discardAnswer(&result);
    return result;
}

QString Interface::createId() const
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

RequestResult Interface::sendPostRequest(const QString &path, const QJsonObject &body) const
{
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    std::lock_guard<std::mutex> lock(exchangeMutex);
    restClient->post(getUrl(path), bytes, getHeaders());
    RequestResult result = getRequestResult();
    result.timedOut = restClient->isTimedOut();
    result.answerLost = result.noResponse && !result.timedOut &&
                        isLostAnswer(restClient->getResponse().networkError);
    return result;
}

RequestResult Interface::sendGetRequest(const QString &path) const
{
    std::lock_guard<std::mutex> lock(exchangeMutex);
    restClient->get(getUrl(path), getHeaders());
    return getRequestResult();
}

RequestResult Interface::getRequestResult() const
{
    const RestResponse response = restClient->getResponse();

    RequestResult result;
    result.id = currentOrderId();
    result.json = response.json;
    result.httpCode = response.httpCode;

    if (result.json.contains(QStringLiteral("error"))) {
        const QJsonObject error = result.json.value(QStringLiteral("error")).toObject();
        const QJsonValue code = error.value(QStringLiteral("code"));
        const QJsonValue text = error.value(QStringLiteral("text"));
        const QString codeText = code.isString() ? code.toString() : QString();
        const QString messageText = text.isString() ? text.toString() : QString();
        result.message = tr::Tr(getTrId(codeText), messageText);
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
        if (!result.json.isEmpty())
            logger->warn(QStringLiteral("Ответ сервера с кодом %1 без описания ошибки не принят")
                             .arg(result.httpCode));
        result.success = false;
        result.noResponse = true;
        result.message = noUsefulAnswer();
    }

    if (result.httpCode == 200 && result.json.contains(QStringLiteral("order"))) {
        const QJsonObject order = result.json.value(QStringLiteral("order")).toObject();
        result.orderStatus =
            getOrderStatus(order.value(QStringLiteral("status")).toString().toLower());
    }

    if (result.orderStatus == Rejected) {
        result.message =
            tr::Tr(QStringLiteral("velmorRejected"), QStringLiteral("Заявка отклонена"));
        result.success = false;
    }
    return result;
}

RequestResult Interface::waitForComplete(const QString &orderId) const
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPoll = Clock::now();
    RequestResult result;
    result.id = currentOrderId();

    for (;;) {
        sleepUntilNextPoll(nextPoll);
        // The cashier's cancellation has been confirmed or queued: the sale ends with it.
        if (orderCanceled.load()) {
            logger->info(QStringLiteral("Заказ отменен"));
            result.orderStatus = Canceled;
            return result;
        }
        nextPoll = Clock::now() + std::chrono::seconds(std::max(1, infoRequestInterval));

        result = info(orderId);

        if (orderCanceled.load()) {
            logger->info(QStringLiteral("Заказ отменен"));
            result.orderStatus = Canceled;
            return result;
        }
        // The cashier asked to stop and the service answers, but knows no such order (its
        // create never arrived): nothing is left to cancel, and polling on would never end.
        if (interruptRequested.load() && !result.noResponse && !result.success &&
            result.orderStatus == Undefined) {
            logger->info(QStringLiteral("Заказ отменен"));
            result.orderStatus = Canceled;
            return result;
        }

        switch (result.orderStatus) {
        case Rejected:
            logger->warn(QStringLiteral("Заявка отклонена"));
            return result;
        case Canceled:
            logger->info(QStringLiteral("Заказ отменен"));
            return result;
        case Completed:
            logger->info(QStringLiteral("Заказ успешно оплачен"));
            return result;
        case Approved:
            changeProgress(tr::Tr(QStringLiteral("velmorProgressApprovedMessage"),
                                  QStringLiteral("Заявка одобрена, ожидание первого платежа...")),
                           70);
            logger->info(QStringLiteral("Заявка одобрена, ожидание первого платежа"));
            break;
        default:
            break;
        }
        if (result.noResponse)
            logger->warn(
                QStringLiteral("Не удалось получить ответ от севера, статус заказа неизвестен"));
    }
}

double Interface::getOrderAmount() const
{
    const QSharedPointer<AbstractDocument> document = currentDocument();
    return document ? document->getTotalSum() : 0.0;
}

double Interface::getOrderPrepaidAmount() const
{
    const QSharedPointer<AbstractDocument> document = currentDocument();
    return document ? document->getPrepaidSum() : 0.0;
}

QJsonArray Interface::getItems() const
{
    QJsonArray items;
    const QSharedPointer<AbstractDocument> document = currentDocument();
    if (!document)
        return items;

    // Every position starts as a copy of an object that already holds all its keys: Qt 5
    // converts a new key and makes room for it in the sorted object on each insert, which for a
    // long receipt cost as much as serializing it, while a copy takes the keys as they are and
    // a value written through an iterator needs no key lookup either. The text sent is the same.
    // QJsonObject keeps its keys sorted, so the fields sit at these places:
    enum ItemField { Amount, Article, Id, Name, Quantity };
    const QJsonObject itemTemplate{{QStringLiteral("amount"), 0.0},
                                   {QStringLiteral("article"), QString()},
                                   {QStringLiteral("id"), QString()},
                                   {QStringLiteral("name"), QString()},
                                   {QStringLiteral("quantity"), 0.0}};
    Q_ASSERT(itemTemplate.keys() ==
             (QStringList{QStringLiteral("amount"), QStringLiteral("article"), QStringLiteral("id"),
                          QStringLiteral("name"), QStringLiteral("quantity")}));

    double prepaidLeft = document->getPrepaidSum();
    const QVector<QSharedPointer<TGoodsItem>> goods = document->getGoodsItems();
    for (const QSharedPointer<TGoodsItem> &goodsItem : goods) {
        if (!goodsItem)
            continue;
        QJsonObject item = itemTemplate;
        const QJsonObject::iterator field = item.begin();
        (field + Article).value() = goodsItem->getArticul();
        (field + Id).value() = QString::number(goodsItem->getPosnum());
        (field + Name).value() = goodsItem->getName();
        const double quantity = goodsItem->getQuantity();
        (field + Quantity).value() = roundQuantity(quantity);

        // The prepaid amount covers positions from the first one on.
        const double sum = goodsItem->getSumb();
        const double share = sum > prepaidLeft ? prepaidLeft : sum;
        prepaidLeft -= share;
        // A position without quantity has no unit amount; dividing would send NaN or infinity.
        const double unitAmount = quantity != 0.0 ? roundAmount((sum - share) / quantity) : 0.0;
        (field + Amount).value() = unitAmount;
        items.append(item);
    }
    return items;
}

QJsonObject Interface::getRefundPayload() const
{
    QJsonObject refund;
    refund.insert(QStringLiteral("id"), currentOrderId());
    refund.insert(QStringLiteral("initiator"), QStringLiteral("shop"));
    refund.insert(QStringLiteral("items"), getRefundItems(storedRequest().getRequestType() ==
                                                          PaymentProcessingRequest::Refund));

    QJsonObject order;
    order.insert(QStringLiteral("refund"), refund);
    QJsonObject payload;
    payload.insert(QStringLiteral("order"), order);
    return payload;
}

QJsonArray Interface::getRefundItems(bool useBquant) const
{
    QJsonArray items;
    const QSharedPointer<AbstractDocument> document = currentDocument();
    if (!document)
        return items;

    const QVector<QSharedPointer<TGoodsItem>> goods = document->getGoodsItems();
    for (const QSharedPointer<TGoodsItem> &goodsItem : goods) {
        if (!goodsItem)
            continue;
        QJsonObject item;
        item.insert(QStringLiteral("id"), QString::number(goodsItem->getPosnum()));
        // A quantity, weighed goods included, goes back as exactly as it was sold.
        item.insert(QStringLiteral("refundedQuantity"),
                    roundQuantity(useBquant ? goodsItem->getBquant() : goodsItem->getQuantity()));
        items.append(item);
    }
    return items;
}

OrderStatus Interface::getOrderStatus(const QString &status) const
{
    for (int value = Created; value <= Processed; ++value) {
        if (status == OrderStatusTexts[value])
            return OrderStatus(value);
    }
    return Undefined;
}

bool Interface::sendMessageToQueue(const QString &orderId) const
{
    logger->info(QStringLiteral("Отмена заказа через очередь"));

    const PaymentProcessingRequest stored = storedRequest();
    QJsonObject message;
    message.insert(QStringLiteral("request"), gadgetserialize::g2j(stored, false));
    message.insert(QStringLiteral("orderId"), orderId);
    message.insert(QStringLiteral("refund"), getRefundPayload());
    message.insert(QStringLiteral("valutCode"), stored.getValutCode());

    DBQueueBroker *broker = hostService<DBQueueBroker>();
    if (broker->addMessage(QStringLiteral("processing"), message, QString("")))
        return true;
    logger->error(
        QStringLiteral("Не удалось сохранить сообщение в очередь: %1").arg(broker->errorString()));
    return false;
}

void Interface::changeProgress(const tr::Tr &message, int percent) const
{
    Session *session = hostService<Session>();
    // A host without a progress display simply shows nothing.
    if (percent > 0) {
        if (ProgressView *view = session->getProgressView())
            view->setProgressValue(percent);
    }
    if (ProgressView *view = session->getProgressView())
        view->setProgressText(message);
}

QHash<QString, QString> Interface::getHeaders() const
{
    QHash<QString, QString> headers;
    headers.insert(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    headers.insert(QStringLiteral("Authorization"), QStringLiteral("Basic %1").arg(credentials));
    headers.insert(QStringLiteral("X-Correlation-ID"), currentOrderId());
    return headers;
}

QUrl Interface::getUrl(const QString &path) const
{
    // The operation path arrives with its order id already encoded as one segment, so the
    // joined path is kept in encoded form from here on.
    QUrl result(url);
    QString text = result.path(QUrl::FullyEncoded) + path;
    text.replace(QStringLiteral("//"), QStringLiteral("/"));
    result.setPath(text, QUrl::StrictMode);
    return result;
}

QString Interface::getTrId(const QString &code)
{
    QString id = QStringLiteral("velmor");
    const QStringList parts = code.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    for (const QString &part : parts)
        id += part.left(1).toUpper() + part.mid(1);
    return id;
}

void Interface::setCurrentId(const QString &id)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    currentId = id;
}

double Interface::getOrderAmount(const QJsonObject &json) const
{
    return jsonutils::extract(json, {QStringLiteral("order"), QStringLiteral("amount")})
        .toDouble(0.0);
}

double Interface::getTotalRefundedAmount(const QJsonObject &json) const
{
    double total = 0.0;
    const QJsonArray refunds = json.value(QStringLiteral("refund")).toArray();
    for (const QJsonValue &refund : refunds)
        total += refund.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble(0.0);
    return total;
}

bool Interface::checkRefundAmount(const QJsonObject &json) const
{
    // An error object or an answer without the order's amount proves nothing: both sides
    // would read 0 and "match".
    if (json.isEmpty() || json.contains(QStringLiteral("error")))
        return false;
    const QJsonValue amount =
        jsonutils::extract(json, {QStringLiteral("order"), QStringLiteral("amount")});
    if (!amount.isDouble())
        return false;
    // Money is compared in kopecks: a sum of several refunds in binary floating point rarely
    // equals the order amount to the last bit.
    return kopecks(getTotalRefundedAmount(json)) == kopecks(amount.toDouble());
}

QString Interface::pathSegment(const QString &id)
{
    // Everything but unreserved characters is percent-encoded, so "/", "?", "#" and "%" stay
    // inside the segment. A URL normalises an encoded dot back to a dot, and a dot segment
    // would climb the path, so the dots of "." and ".." go out encoded twice: the service
    // reads an id that names no order instead of another endpoint.
    if (id == QLatin1String(".") || id == QLatin1String(".."))
        return QString(id).replace(QLatin1Char('.'), QStringLiteral("%252E"));
    return QString::fromLatin1(QUrl::toPercentEncoding(id));
}

bool Interface::isUnanswered(const RequestResult &result)
{
    // A cancellation or refund is confirmed only by a readable answer. An answer without a
    // JSON object (an empty or garbled 200) proves nothing, so it takes the road of no answer:
    // the queue, whose replay asks the order's state and repeats the refund under its id.
    return result.noResponse || (result.success && result.json.isEmpty());
}

bool Interface::answersFor(const RequestResult &result, const QString &orderId) const
{
    const QJsonValue order = result.json.value(QStringLiteral("order"));
    if (!order.isObject())
        return true;
    const QJsonValue id = order.toObject().value(QStringLiteral("id"));
    if (id.isUndefined() || (id.isString() && id.toString() == orderId))
        return true;
    logger->warn(QStringLiteral("Ответ сервера относится к другому заказу (%1), ожидался заказ %2")
                     .arg(id.isString() ? id.toString() : QStringLiteral("?"), orderId));
    return false;
}

void Interface::discardAnswer(RequestResult *result)
{
    result->success = false;
    result->noResponse = true;
    result->errorCode.clear();
    result->message = noUsefulAnswer();
    result->json = QJsonObject();
    result->orderStatus = Undefined;
}

void Interface::sleepUntilNextPoll(std::chrono::steady_clock::time_point nextPoll) const
{
    std::unique_lock<std::mutex> lock(interruptMutex);
    for (;;) {
        if (orderCanceled.load())
            return;
        if (cancelInFlight) {
            // The cancellation's exchange is bounded by the transport's timeout.
            interruptChanged.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() >= nextPoll)
            return;
        interruptChanged.wait_until(lock, nextPoll);
    }
}

QString Interface::currentOrderId() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return currentId;
}

PaymentProcessingRequest Interface::storedRequest() const
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return request;
}

QSharedPointer<AbstractDocument> Interface::currentDocument()
{
    return hostService<Session>()->getDocument();
}

} // namespace velmor
