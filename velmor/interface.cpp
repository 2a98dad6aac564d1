#include "interface.h"

#include "answerdecoding.h"
#include "clientsettings.h"
#include "hostservice.h"
#include "messages.h"
#include "requestaddress.h"
#include "requestbodies.h"

#include <abstractdocument.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <mockfactory.h>
#include <restclient.h>
#include <session.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <mutex>

namespace velmor {

namespace {

QSharedPointer<RestClient> makeTransport()
{
    // An empty factory would throw out of the constructor and across the plug-in boundary.
    if (MockFactory<RestClient>::creator)
        return MockFactory<RestClient>::creator();
    return MockFactory<RestClient>::defaultCreator();
}

} // namespace

Interface::Interface()
    : restClient(makeTransport()),
      logger(Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString()))
{}

Interface::~Interface() = default;

void Interface::init()
{
    const ClientSettings settings = readClientSettings(*hostService<Config>(), logger);
    credentials = settings.credentials;
    url = settings.url;
    timeout = settings.timeout;
    infoRequestInterval = settings.infoRequestInterval;

    restClient->setLogger(logger);
    restClient->setTimeout(timeout);
    restClient->setCertificatePath(settings.certificatePath);
    restClient->setCertificatePassword(settings.certificatePassword);
}

RequestResult Interface::createOffline(const PaymentProcessingRequest &sale)
{
    logger->info(QStringLiteral("Создание заказа"));

    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, заказ не создан"));
        return notSent(messages::noDocument());
    }

    orderCanceled.store(false);
    m_cancellation.reset();
    const QString orderId = createId();
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        currentId = orderId;
        request = sale;
    }
    // Logged before anything is sent, so that even a till killed during the sale leaves the id
    // of an order the service may hold.
    logger->info(QStringLiteral("Заказ: %1").arg(orderId));

    // The receipt is read in this order: the amounts, then the positions.
    const double documentAmount = getOrderAmount();
    const double prepaidAmount = getOrderPrepaidAmount();
    const QJsonObject body = createBody(orderId, sale.getCardNumber(), documentAmount,
                                        sale.getAmount() / 100.0, prepaidAmount, getItems());

    if (const qint64 bodySize = oversizedCreateBody(body)) {
        logger->error(QStringLiteral("Заказ не создан: запрос %1 байт, ответы сервера на него не "
                                     "будут приняты (не более %2 байт)")
                          .arg(bodySize)
                          .arg(RestClient::MaxBodySize));
        return notSent(messages::receiptTooLarge(), orderId);
    }

    changeProgress(messages::creatingOrder(), 45);

    const RequestResult result = sendPostRequest(QStringLiteral("/create_offline"), body);

    if (result.httpCode == 200) {
        logger->info(QStringLiteral("Заявка одобрена"));
        changeProgress(messages::approved(), 70);
        return waitForComplete(orderId);
    }
    if (result.noResponse && (result.timedOut || result.answerLost)) {
        // The order may exist although its answer was lost: its status tells.
        logger->error(QStringLiteral(
            "Не удалось получить ответ от севера, попытка получения статуса заказа"));
        changeProgress(messages::readingStatus(), 60);
        return waitForComplete(orderId);
    }
    return result;
}

RequestResult Interface::info(const QString &orderId) const
{
    RequestResult result = sendGetRequest(orderPath(orderId, QStringLiteral("info")));
    discardIfAboutAnotherOrder(&result, orderId, logger);
    return result;
}

RequestResult Interface::cancel(bool fromQueue)
{
    // From here on the sale's wait sends no poll until this cancellation is decided.
    if (!fromQueue)
        m_cancellation.begin();
    const QString orderId = currentOrderId();
    RequestResult result =
        sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&result, orderId, logger);
    const auto markCanceled = [this, &result] {
        orderCanceled.store(true);
        result.orderStatus = Canceled;
    };

    if (result.httpCode == 200 &&
        result.json.value(QStringLiteral("status")).toString() == QLatin1String("CANCELLED")) {
        markCanceled();
    } else if (!fromQueue && result.errorCode == QLatin1String("order_not_found")) {
        // The service holds no such order (its creation never arrived): nothing is left to
        // cancel, now or later.
        logger->info(QStringLiteral("Заказ не найден на сервере, отменять нечего"));
        markCanceled();
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
            if (sendMessageToQueue(orderId))
                markCanceled();
        }
    }

    if (!fromQueue)
        m_cancellation.finish();
    m_cancellation.wake();
    return result;
}

RequestResult Interface::refund(const PaymentProcessingRequest &refundRequest)
{
    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, возврат не выполнен"));
        return notSent(messages::noDocument());
    }

    // The refund in hand decides the quantities, online and queued alike; the body is built
    // after the exchange id is renewed, so its "id" is the exchange's own.
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        request = refundRequest;
    }

    RequestResult result = refund(refundRequest.getRrn(), QJsonObject());

    if (result.errorCode == QLatin1String("exceeding_refunded_amount")) {
        logger->warn(QStringLiteral("Проверка суммы выполненных возвратов"));
        const RequestResult orderInfo = info(refundRequest.getRrn());
        // Only a readable order can prove that it is refunded in full.
        result.success = orderInfo.success && checkRefundAmount(orderInfo.json);
        return result;
    }

    if (isUnanswered(result)) {
        logger->error(QStringLiteral("Не удалось получить ответ от сервера, будет выполнена отмена "
                                     "(возврат) через очередь"));
        if (sendMessageToQueue(refundRequest.getRrn())) {
            result.success = true;
            result.message = messages::cancelQueued(result.message);
        }
    }
    return result;
}

RequestResult Interface::refund(const QString &orderId, const QJsonObject &payload)
{
    setCurrentId(createId());
    const QString path = orderPath(orderId, QStringLiteral("refund"));
    RequestResult result = sendPostRequest(path, payload.isEmpty() ? getRefundPayload() : payload);
    discardIfAboutAnotherOrder(&result, orderId, logger);
    return result;
}

QString Interface::createId() const
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

RequestResult Interface::sendPostRequest(const QString &path, const QJsonObject &body) const
{
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    std::lock_guard<std::mutex> lock(m_exchangeMutex);
    restClient->post(getUrl(path), bytes, getHeaders());
    RequestResult result = getRequestResult();
    result.timedOut = restClient->isTimedOut();
    result.answerLost = result.noResponse && !result.timedOut &&
                        isLostAnswer(restClient->getResponse().networkError);
    return result;
}

RequestResult Interface::sendGetRequest(const QString &path) const
{
    std::lock_guard<std::mutex> lock(m_exchangeMutex);
    restClient->get(getUrl(path), getHeaders());
    return getRequestResult();
}

RequestResult Interface::getRequestResult() const
{
    return decodeResponse(
        restClient->getResponse(), currentOrderId(),
        [this](const QString &status) { return getOrderStatus(status); }, logger);
}

RequestResult Interface::waitForComplete(const QString &orderId) const
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPoll = Clock::now();
    RequestResult result;
    result.id = currentOrderId();

    for (;;) {
        m_cancellation.sleepUntil(nextPoll, orderCanceled);
        // A cancellation confirmed or queued while the wait slept sends no further poll.
        if (!orderCanceled.load()) {
            nextPoll = Clock::now() + std::chrono::seconds(std::max(1, infoRequestInterval));
            result = info(orderId);
        }

        // The sale ends as cancelled once the cashier's cancellation has been confirmed or
        // queued, and also when the cashier asked to stop and the service answers but knows no
        // such order (its create never arrived): nothing is left to cancel, and polling on
        // would never end.
        if (orderCanceled.load() || (m_cancellation.isRequested() && !result.noResponse &&
                                     !result.success && result.orderStatus == Undefined))
            result.orderStatus = Canceled;

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
            changeProgress(messages::approved(), 70);
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
    const QSharedPointer<AbstractDocument> document = currentDocument();
    return document ? orderItems(*document) : QJsonArray();
}

QJsonObject Interface::getRefundPayload() const
{
    // The id is read before the positions, as the body lists them.
    const QString refundId = currentOrderId();
    return refundPayload(refundId, getRefundItems(storedRequest().getRequestType() ==
                                                  PaymentProcessingRequest::Refund));
}

QJsonArray Interface::getRefundItems(bool useBquant) const
{
    const QSharedPointer<AbstractDocument> document = currentDocument();
    return document ? refundItems(*document, useBquant) : QJsonArray();
}

OrderStatus Interface::getOrderStatus(const QString &status) const
{
    return orderStatusOf(status);
}

bool Interface::sendMessageToQueue(const QString &orderId) const
{
    logger->info(QStringLiteral("Отмена заказа через очередь"));

    const PaymentProcessingRequest stored = storedRequest();
    const QJsonObject message = queueMessage(stored, orderId, getRefundPayload());
    DBQueueBroker *broker = hostService<DBQueueBroker>();
    if (broker->addMessage(QStringLiteral("processing"), message, QStringLiteral("")))
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
    return requestHeaders(credentials, currentOrderId());
}

QUrl Interface::getUrl(const QString &path) const
{
    return requestUrl(url, path);
}

QString Interface::getTrId(const QString &code)
{
    return trId(code);
}

void Interface::setCurrentId(const QString &id)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    currentId = id;
}

double Interface::getOrderAmount(const QJsonObject &json) const
{
    return orderAmount(json);
}

double Interface::getTotalRefundedAmount(const QJsonObject &json) const
{
    return totalRefundedAmount(json);
}

bool Interface::checkRefundAmount(const QJsonObject &json) const
{
    return isRefundedInFull(json);
}

QString Interface::pathSegment(const QString &id)
{
    return velmor::pathSegment(id);
}

QString Interface::currentOrderId() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return currentId;
}

PaymentProcessingRequest Interface::storedRequest() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return request;
}

QSharedPointer<AbstractDocument> Interface::currentDocument()
{
    return hostService<Session>()->getDocument();
}

} // namespace velmor
