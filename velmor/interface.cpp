#include "interface.h"

#include "answerdecoding.h"
#include "clientsettings.h"
#include "hostservice.h"
#include "messages.h"
#include "requestaddress.h"
#include "requestbodies.h"
#include "rounding.h"

#include <abstractdocument.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <mockfactory.h>
#include <restclient.h>
#include <session.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

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

// For the length of a cancellation sent while a poll holds the client's transport: the calling
// thread's exchanges go through a transport of their own from the factory, so that the
// cancellation leaves at once rather than after the poll's answer or timeout.
class Interface::SpareTransport
{
public:
    explicit SpareTransport(Interface &client) : m_client(client), m_use(client.m_spareMutex)
    {
        m_client.m_spare = makeTransport();
        m_client.configureTransport(*m_client.m_spare);
        m_client.m_spareThread.store(std::this_thread::get_id());
    }
    ~SpareTransport()
    {
        m_client.m_spareThread.store(std::thread::id());
        m_client.m_spare.reset();
    }

    SpareTransport(const SpareTransport &) = delete;
    SpareTransport &operator=(const SpareTransport &) = delete;

private:
    Interface &m_client;
    // One cancellation at a time owns the spare transport.
    std::lock_guard<std::mutex> m_use;
};

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
    unknownOrderTimeout = settings.unknownOrderTimeout;
    m_certificatePath = settings.certificatePath;
    m_certificatePassword = settings.certificatePassword;
    configureTransport(*restClient);
}

void Interface::configureTransport(RestClient &transport) const
{
    transport.setLogger(logger);
    transport.setTimeout(timeout);
    transport.setCertificatePath(m_certificatePath);
    transport.setCertificatePassword(m_certificatePassword);
}

RestClient *Interface::exchangeTransport() const
{
    // Only the thread that took the spare transport reads it, and it set it before it said so.
    return m_spareThread.load() == std::this_thread::get_id() ? m_spare.data() : restClient.data();
}

RequestResult Interface::createOffline(const PaymentProcessingRequest &sale)
{
    logger->info(QStringLiteral("Создание заказа"));

    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, заказ не создан"));
        return notSent(messages::noDocument());
    }

    m_journalEntry = 0;
    orderCanceled.store(false);
    m_cancellation.reset();
    // A cancellation waits for the create's answer, whichever way the create ends.
    struct CreateDone
    {
        CancellationGate &gate;
        ~CreateDone() { gate.createDone(); }
    } createDone{m_cancellation};
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
    if (m_journal) {
        m_journalEntry = m_journal->recordSale(orderId, sale.getAmount(),
                                               queuedMessage(orderId, getRefundPayload()));
        if (!m_journalEntry) {
            logger->error(QStringLiteral("Заказ не создан: журнал операций %1 не записан: %2")
                              .arg(m_journal->path(), m_journal->errorString()));
            return notSent(messages::journalUnusable(m_journal->path()), orderId);
        }
    }

    changeProgress(messages::creatingOrder(), 45);

    const RequestResult result = sendPostRequest(QStringLiteral("/create_offline"), body);
    m_cancellation.createDone();

    if (result.httpCode == 200) {
        // Its state counts only when the answer is about this order.
        RequestResult shown = result;
        discardIfAboutAnotherOrder(&shown, orderId, nullptr);
        m_cancellation.orderShown(shown);
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
    if (!fromQueue) {
        // From here on the sale's wait sends no poll until this cancellation is decided. A
        // poll already out keeps the client's transport until its answer or timeout, so the
        // cancellation takes a transport of its own and leaves at once.
        if (m_cancellation.begin()) {
            const SpareTransport spare(*this);
            return cancelSale(orderId);
        }
        return cancelSale(orderId);
    }

    RequestResult result =
        sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&result, orderId, logger);
    if (isCancellationConfirmed(result)) {
        orderCanceled.store(true);
        result.orderStatus = Canceled;
    } else {
        // Whatever else came back did not cancel the order.
        result.success = false;
    }
    return result;
}

RequestResult Interface::cancelSale(const QString &orderId)
{
    RequestResult result =
        sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&result, orderId, logger);
    // Counts the order as cancelled and ends the sale so.
    const auto markCanceled = [this, &result] {
        orderCanceled.store(true);
        result.orderStatus = Canceled;
        m_cancellation.decide(result);
    };

    if (isCancellationConfirmed(result)) {
        markCanceled();
        m_cancellation.finish();
        return result;
    }

    // Whatever else came back did not cancel the order.
    result.success = false;
    if (result.delivery == Delivery::ServiceError && !isUnknownOrder(result)) {
        // A refusal ("order_cannot_be_cancelled") may mean that the buyer has just paid, or
        // that the order has ended otherwise: the order's state decides what the sale is.
        logger->warn(QStringLiteral("Сервер отказал в отмене заказа, запрос статуса заказа"));
        const RequestResult state = info(orderId);
        switch (OrderStatus(state.orderStatus)) {
        case Completed:
            logger->info(QStringLiteral("Заказ уже оплачен, отмена не выполнена"));
            m_cancellation.decide(state);
            m_cancellation.finish();
            return result;
        case Rejected:
            m_cancellation.decide(state);
            m_cancellation.finish();
            return result;
        case Canceled:
            result = state;
            markCanceled();
            m_cancellation.finish();
            return result;
        case Undefined:
        case Created:
        case Scoring:
        case Approved:
        case Refunded:
        case Processed:
            break;
        }
    }

    // A poll still out may be the one that shows the buyer has paid: once any answer has
    // shown the order completed, the sale is paid, and cancelling it would refund the buyer
    // behind the cashier's back.
    if (m_cancellation.paidAfterPolls()) {
        logger->info(QStringLiteral("Заказ уже оплачен, отмена не выполнена"));
        RequestResult paid = result;
        paid.success = true;
        paid.orderStatus = Completed;
        paid.message = tr::Tr();
        m_cancellation.decide(paid);
        m_cancellation.finish();
        return paid;
    }

    if (isUnknownOrder(result))
        // The create may still be on its way (a slow gateway): the replay keeps asking until
        // the order turns up or has been unknown long enough.
        logger->error(QStringLiteral("Заказ не найден на сервере, будет выполнена отмена через "
                                     "очередь на случай, если он будет создан позже"));
    else if (result.isOutcomeUnknown() || result.delivery == Delivery::NeverSent)
        logger->error(QStringLiteral(
            "Не удалось получить ответ от сервера, будет выполнена отмена через очередь"));
    else
        logger->error(QStringLiteral(
            "Сервер не подтвердил отмену заказа, будет выполнена отмена через очередь"));
    // The cashier's cancellation is carried out even so: the replay asks the order's state
    // and cancels or refunds it. Only a stored cancellation may be reported as done;
    // otherwise the sale goes on and the cashier may cancel again.
    if (sendMessageToQueue(orderId)) {
        result.message = messages::cancelQueued(result.message);
        markCanceled();
    }
    m_cancellation.finish();
    return result;
}

RequestResult Interface::refund(const PaymentProcessingRequest &refundRequest)
{
    if (!currentDocument()) {
        logger->error(QStringLiteral("Нет текущего чека, возврат не выполнен"));
        return notSent(messages::noDocument());
    }

    m_journalEntry = 0;
    // A refund of this order whose outcome nobody knows yet (its till died, or it could be
    // neither confirmed nor queued) may have been made: another one could return the money
    // twice. It waits until the replay, or the service's answer, settles the earlier one.
    Journal::Entry earlier;
    if (m_journal && m_journal->openRefundFor(refundRequest.getRrn(), &earlier)) {
        logger->error(QStringLiteral("Возврат по заказу %1 не выполнен: результат возврата %2 "
                                     "от %3 еще неизвестен")
                          .arg(refundRequest.getRrn(), earlier.refundId,
                               earlier.recorded.toString(Qt::ISODate)));
        return notSent(messages::earlierRefundOpen(refundRequest.getRrn(),
                                                   earlier.recorded.toLocalTime().toString(
                                                       QStringLiteral("dd.MM.yyyy HH:mm")),
                                                   roublesText(earlier.amountKopecks)),
                       refundRequest.getRrn());
    }

    // The refund in hand decides the quantities, online and queued alike; the body is built
    // after the exchange id is renewed, so its "id" is the exchange's own.
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
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
        result.success = orderInfo.delivery == Delivery::Answered && orderInfo.success &&
                         checkRefundAmount(orderInfo.json);
        return result;
    }

    if (result.delivery == Delivery::ServiceError || isRefundConfirmed(result, refundId))
        return result;

    // No answer, or one that does not show the refund: the queue's replay asks the order's
    // state and sends the refund again under its id, which the service recognises.
    result.success = false;
    logger->error(QStringLiteral("Не удалось получить ответ от сервера, будет выполнена отмена "
                                 "(возврат) через очередь"));
    if (sendMessageToQueue(refundRequest.getRrn())) {
        result.success = true;
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
    if (m_journal && payload.isEmpty()) {
        const QString refundId = currentOrderId();
        m_journalEntry = m_journal->recordRefund(orderId, refundId, storedRequest().getAmount(),
                                                 body, queuedMessage(orderId, body));
        if (!m_journalEntry) {
            logger->error(QStringLiteral("Возврат не выполнен: журнал операций %1 не записан: %2")
                              .arg(m_journal->path(), m_journal->errorString()));
            return notSent(messages::journalUnusable(m_journal->path()), orderId);
        }
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
    RestClient *transport = exchangeTransport();
    // The spare transport is its thread's alone; the client's own is shared with the sale.
    std::unique_lock<std::mutex> lock(m_exchangeMutex, std::defer_lock);
    if (transport == restClient.data())
        lock.lock();
    transport->post(getUrl(path), bytes, getHeaders());
    RequestResult result = getRequestResult();
    result.timedOut = transport->isTimedOut();
    if (result.timedOut && result.noResponse)
        result.delivery = Delivery::TimedOut;
    return result;
}

RequestResult Interface::sendGetRequest(const QString &path) const
{
    RestClient *transport = exchangeTransport();
    std::unique_lock<std::mutex> lock(m_exchangeMutex, std::defer_lock);
    if (transport == restClient.data())
        lock.lock();
    transport->get(getUrl(path), getHeaders());
    return getRequestResult();
}

RequestResult Interface::getRequestResult() const
{
    return decodeResponse(
        exchangeTransport()->getResponse(), currentOrderId(),
        [this](const QString &status) { return getOrderStatus(status); }, logger);
}

RequestResult Interface::waitForComplete(const QString &orderId) const
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    Clock::time_point nextPoll = started;
    RequestResult result;
    result.id = currentOrderId();
    int unknownOrderPolls = 0;
    int shownState = Undefined;

    for (;;) {
        m_cancellation.sleepUntil(nextPoll, orderCanceled);
        // A cancellation confirmed or queued while the wait slept sends no further poll; one
        // that decided the sale while a poll was out drops that poll's answer.
        bool polled = false;
        if (!orderCanceled.load() && m_cancellation.startPoll()) {
            nextPoll = Clock::now() + std::chrono::seconds(std::max(1, infoRequestInterval));
            result = info(orderId);
            m_cancellation.pollDone(&result);
            polled = true;
        }
        if (m_cancellation.decision(&result)) {
            polled = false;
        } else if (orderCanceled.load()) {
            result.orderStatus = Canceled;
        } else if (!polled) {
            // A cancellation is in flight: wait for its decision.
            continue;
        } else if (isUnknownOrder(result)) {
            // An order the service has shown before (its create answered 200, or a poll) is
            // only lagging somewhere: it is polled on, and the cashier's cancel queues. One it
            // has never shown ends the sale once it has stayed unknown long enough.
            if (!m_cancellation.wasOrderShown() && ++unknownOrderPolls >= UnknownOrderPolls &&
                Clock::now() - started >= unknownOrderLimit)
                return endUnknownOrder(orderId, result);
        } else if (result.delivery == Delivery::Answered) {
            unknownOrderPolls = 0;
        }

        // The creation's "approved" is only the service's acceptance: the state each poll
        // finds is shown when it changes, so the cashier sees whether the lender still decides.
        if (polled && result.orderStatus != shownState) {
            const tr::Tr state = messages::orderState(OrderStatus(result.orderStatus));
            if (!state.isEmpty()) {
                shownState = result.orderStatus;
                changeProgress(state, 0);
            }
        }
        switch (OrderStatus(result.orderStatus)) {
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
        case Undefined:
        case Created:
        case Scoring:
        case Refunded:
        case Processed:
            break;
        }
        if (result.noResponse)
            logger->warn(
                QStringLiteral("Не удалось получить ответ от севера, статус заказа неизвестен"));
    }
}

RequestResult Interface::endUnknownOrder(const QString &orderId,
                                         const RequestResult &lastPoll) const
{
    logger->error(QStringLiteral("Заказ %1 не найден на сервере, оплата не выполнена; отмена "
                                 "заказа на случай, если он будет создан позже")
                      .arg(orderId));
    RequestResult cancellation =
        sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&cancellation, orderId, logger);
    // "order_not_found" here too: the create may still be held somewhere on its way, so the
    // cancellation waits in the queue, whose replay finishes it once the order is known to
    // the service or known to be absent.
    if (!isCancellationConfirmed(cancellation) && !sendMessageToQueue(orderId))
        logger->error(QStringLiteral("Отмена заказа %1 не сохранена в очереди").arg(orderId));

    RequestResult result = lastPoll;
    result.success = false;
    result.orderStatus = Undefined;
    result.message = messages::orderNeverArrived();
    return result;
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
    RestClient *transport = exchangeTransport();
    std::unique_lock<std::mutex> lock(m_exchangeMutex, std::defer_lock);
    if (transport == restClient.data())
        lock.lock();
    transport->get(getUrl(orderPath(probe, QStringLiteral("info"))),
                   requestHeaders(credentials, probe));
    const Reachability reach = judgeReachability(transport->getResponse());
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
    m_journal = journal;
}

void Interface::journalAnswer(Journal::Outcome outcome, int status, const QString &rrn,
                              const QJsonObject &note)
{
    if (!m_journal || !m_journalEntry)
        return;
    if (!m_journal->markAnswered(m_journalEntry, outcome, status, rrn, note))
        logger->error(QStringLiteral("Ответ операции не отмечен в журнале %1: %2")
                          .arg(m_journal->path(), m_journal->errorString()));
    m_journalEntry = 0;
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
