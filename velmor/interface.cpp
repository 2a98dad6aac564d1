#include "interface.h"

#include "answerdecoding.h"
#include "cancellationgate.h"
#include "clientsettings.h"
#include "hostservice.h"
#include "messages.h"
#include "operationjournal.h"
#include "requestaddress.h"
#include "requestbodies.h"
#include "rounding.h"
#include "salecancellation.h"
#include "salewait.h"
#include "transportrouter.h"

#include <abstractdocument.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <restclient.h>
#include <session.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <mutex>

namespace velmor {

class Interface::Private
{
public:
    explicit Private(Log4Qt::Logger *logger) : transports(logger), journal(logger) {}

    TransportRouter transports;
    // Guards currentId and request, which the cashier's cancellation reads from the host's
    // thread. Taken inside an exchange, never around one (transportrouter.h).
    std::mutex stateMutex;
    // Holds the sale's polls back while the cashier's cancellation is in flight.
    CancellationGate cancellation;
    OperationJournal journal;
};

Interface::Interface()
    : logger(Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString())),
      d(std::make_unique<Private>(logger))
{}

Interface::~Interface() = default;

void Interface::init()
{
    const ClientSettings settings = readClientSettings(*hostService<Config>(), logger);
    credentials = settings.credentials;
    url = settings.url;
    timeout = settings.timeout;
    infoRequestInterval = settings.infoRequestInterval;
    unknownOrderTimeout = settings.unknownOrderTimeout;
    d->transports.configure(
        {logger, timeout, settings.certificatePath, settings.certificatePassword});
}

RequestResult Interface::createOffline(const PaymentProcessingRequest &sale)
{
    logger->info(QStringLiteral("Создание заказа"));

    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, заказ не создан"));
        return notSent(messages::noDocument());
    }

    d->journal.start();
    orderCanceled.store(false);
    d->cancellation.reset();
    // A cancellation waits for the create's answer, whichever way the create ends.
    struct CreateDone
    {
        CancellationGate &gate;
        ~CreateDone() { gate.createDone(); }
    } createDone{d->cancellation};
    const QString orderId = createId();
    {
        std::lock_guard<std::mutex> lock(d->stateMutex);
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
                                        roublesOf(sale.getAmount()), prepaidAmount, getItems());

    if (const qint64 bodySize = oversizedCreateBody(body)) {
        logger->error(QStringLiteral("Заказ не создан: запрос %1 байт, ответы сервера на него не "
                                     "будут приняты (не более %2 байт)")
                          .arg(bodySize)
                          .arg(RestClient::MaxBodySize));
        return notSent(messages::receiptTooLarge(), orderId);
    }

    // Written down before the create leaves, with the cancellation that reverses it: a till that
    // dies from here on leaves an entry that its next start hands to the queue.
    if (d->journal.isKept() && !d->journal.recordSale(orderId, sale.getAmount(),
                                                      queuedMessage(orderId, getRefundPayload())))
        return d->journal.unwritten(orderId);

    changeProgress(messages::creatingOrder(), 45);

    const RequestResult result = sendPostRequest(QStringLiteral("/create_offline"), body);
    d->cancellation.createDone();

    if (result.httpCode == 200) {
        // Its state counts only when the answer is about this order.
        RequestResult shown = result;
        discardIfAboutAnotherOrder(&shown, orderId, nullptr);
        d->cancellation.orderShown(shown);
        logger->info(QStringLiteral("Заявка одобрена"));
        changeProgress(messages::approved(), 70);
        return waitForComplete(orderId);
    }
    if (result.isOutcomeUnknown()) {
        // No answer, or one that says nothing (a gateway's 502, a redirect, a 202): the service
        // may have taken the order all the same, and only its status tells.
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
    const QString orderId = currentOrderId();
    if (!fromQueue)
        return SaleCancellation(*this, d->cancellation, d->transports, orderCanceled, logger)
            .send(orderId);

    RequestResult result =
        sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&result, orderId, logger);
    if (isCancellationConfirmed(result)) {
        orderCanceled.store(true);
        result.orderStatus = Canceled;
    } else {
        // Whatever else came back did not cancel the order.
        result.setSucceeded(false);
    }
    return result;
}

RequestResult Interface::refund(const PaymentProcessingRequest &refundRequest)
{
    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, возврат не выполнен"));
        return notSent(messages::noDocument());
    }

    d->journal.start();
    RequestResult refusal;
    if (d->journal.refusesRefund(refundRequest.getRrn(), &refusal))
        return refusal;

    // The refund in hand decides the quantities, online and queued alike; the body is built
    // after the exchange id is renewed, so its "id" is the exchange's own.
    {
        std::lock_guard<std::mutex> lock(d->stateMutex);
        request = refundRequest;
    }

    RequestResult result = refund(refundRequest.getRrn(), QJsonObject());
    // The exchange's own id, which only an answer that shows this refund carries.
    const QString refundId = currentOrderId();

    if (result.delivery == Delivery::ServiceError &&
        result.errorCode == QLatin1String("exceeding_refunded_amount")) {
        logger->warn(QStringLiteral("Проверка суммы выполненных возвратов"));
        const RequestResult orderInfo = info(refundRequest.getRrn());
        // Only the service's own answer about this order can prove that it is refunded in
        // full.
        result.setSucceeded(orderInfo.delivery == Delivery::Answered && orderInfo.success &&
                            checkRefundAmount(orderInfo.json));
        return result;
    }

    if (result.delivery == Delivery::ServiceError || isRefundConfirmed(result, refundId))
        return result;

    // No answer, or one that does not show the refund: the queue's replay asks the order's
    // state and sends the refund again under its id, which the service recognises.
    result.setSucceeded(false);
    logger->error(QStringLiteral("Не удалось получить ответ от сервера, будет выполнена отмена "
                                 "(возврат) через очередь"));
    if (sendMessageToQueue(refundRequest.getRrn())) {
        result.setSucceeded(true);
        result.message = messages::cancelQueued(result.message);
    } else if (result.delivery != Delivery::NeverSent) {
        // Neither confirmed nor stored, and perhaps carried out: repeating it blindly could
        // return the money twice.
        logger->error(QStringLiteral("Результат возврата по заказу %1 неизвестен: проверьте "
                                     "заказ, прежде чем повторять возврат")
                          .arg(refundRequest.getRrn()));
        result.id = refundRequest.getRrn();
        result.message = messages::outcomeUnknown(refundRequest.getRrn());
    }
    return result;
}

RequestResult Interface::refund(const QString &orderId, const QJsonObject &payload)
{
    setCurrentId(createId());
    const QString path = orderPath(orderId, QStringLiteral("refund"));
    const QJsonObject body = payload.isEmpty() ? getRefundPayload() : payload;
    // A refund of the receipt in hand is written down before it leaves, under the id and with
    // the body it goes with, so that a till that dies meanwhile has it replayed exactly once. A
    // stored body is the queue's already.
    if (d->journal.isKept() && payload.isEmpty()) {
        const QString refundId = currentOrderId();
        if (!d->journal.recordRefund(orderId, refundId, storedRequest().getAmount(), body,
                                     queuedMessage(orderId, body)))
            return d->journal.unwritten(orderId);
    }
    RequestResult result = sendPostRequest(path, body);
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
    const TransportRouter::Exchange exchange = d->transports.exchange();
    exchange->post(getUrl(path), bytes, getHeaders());
    RequestResult result = getRequestResult();
    // Only a POST reports the transport's timeout; an exchange without an answer that ran out
    // of time timed out, whatever the failure's code said.
    const bool timedOut = exchange->isTimedOut();
    result.setOutcome(timedOut && result.noResponse ? Delivery::TimedOut : result.delivery,
                      result.success, result.noResponse, timedOut);
    return result;
}

RequestResult Interface::sendGetRequest(const QString &path) const
{
    const TransportRouter::Exchange exchange = d->transports.exchange();
    exchange->get(getUrl(path), getHeaders());
    return getRequestResult();
}

RequestResult Interface::getRequestResult() const
{
    return decodeResponse(
        d->transports.current()->getResponse(), currentOrderId(),
        [this](const QString &status) { return getOrderStatus(status); }, logger);
}

RequestResult Interface::waitForComplete(const QString &orderId) const
{
    const SaleWait wait(*this, d->cancellation, orderCanceled,
                        std::chrono::seconds(std::max(1, infoRequestInterval)), unknownOrderLimit,
                        logger);
    return wait.run(orderId, currentOrderId());
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

    const QJsonObject message = queuedMessage(orderId, getRefundPayload());
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

Reachability Interface::testConnection() const
{
    const QString probe = probeOrderId();
    const TransportRouter::Exchange exchange = d->transports.exchange();
    exchange->get(getUrl(orderPath(probe, QStringLiteral("info"))),
                  requestHeaders(credentials, probe));
    const Reachability reach = judgeReachability(exchange->getResponse());
    if (reach.isReachable())
        logger->info(QStringLiteral("Проверка связи: сервер доступен"));
    else
        logger->warn(QStringLiteral("Проверка связи не пройдена: %1").arg(reach.message.ru()));
    return reach;
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
    std::lock_guard<std::mutex> lock(d->stateMutex);
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

int Interface::getUnknownOrderTimeout() const
{
    return unknownOrderTimeout;
}

bool Interface::checkRefundAmount(const QJsonObject &json) const
{
    return carriesOrderAmount(json) &&
           sameKopecks(getTotalRefundedAmount(json), getOrderAmount(json));
}

QJsonObject Interface::queuedMessage(const QString &orderId, const QJsonObject &refundBody) const
{
    PaymentProcessingRequest stored = storedRequest();
    // The replay weighs how long an order the service does not know has been missing from the
    // sale's time; a host that gives none gets the moment the message is made.
    if (!stored.getDateTime().isValid())
        stored.setDateTime(QDateTime::currentDateTime());
    return queueMessage(stored, orderId, refundBody);
}

void Interface::setJournal(const QSharedPointer<Journal> &journal)
{
    d->journal.setJournal(journal);
}

void Interface::journalAnswer(Journal::Outcome outcome, int status, const QString &rrn,
                              const QJsonObject &note)
{
    d->journal.answer(outcome, status, rrn, note);
}

QString Interface::currentOrderId() const
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    return currentId;
}

PaymentProcessingRequest Interface::storedRequest() const
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    return request;
}

QSharedPointer<AbstractDocument> Interface::currentDocument()
{
    return hostService<Session>()->getDocument();
}

} // namespace velmor
