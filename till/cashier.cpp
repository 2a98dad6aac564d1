#include "cashier.h"

#include "cancelbutton.h"
#include "catalogue.h"
#include "consoleprogress.h"
#include "signalhold.h"
#include <basicpaymentprocessing.h>
#include <dbqueuebroker.h>
#include <paymentprocessingrequest.h>
#include <till/check/jsonline.h>

#include <QDateTime>

namespace till {

namespace {

PaymentProcessingRequest makeRequest(int type, int amount)
{
    PaymentProcessingRequest request;
    request.setRequestType(type);
    request.setAmount(amount);
    request.setDateTime(QDateTime::currentDateTime());
    return request;
}

} // namespace

Cashier::Cashier(BasicPaymentProcessing *processing, ConsoleProgress *progress)
    : m_processing(processing), m_progress(progress)
{}

PaymentProcessingAnswer Cashier::sale(const SaleOptions &options, bool *interrupted)
{
    PaymentProcessingRequest request =
        makeRequest(PaymentProcessingRequest::Payment, options.amount);
    request.setCardNumber(options.code);

    // A stop signal before the sale began is the cashier's cancel with no order to cancel yet:
    // the sale is not started, and nothing is sent.
    if (options.interruptOnSignal && SignalHold::wasSignalled()) {
        const int signal = SignalHold::takeSignal();
        note(QStringLiteral("till: %1 came before the sale began; it is not started")
                 .arg(QLatin1String(SignalHold::name(signal))));
        PaymentProcessingAnswer notStarted;
        notStarted.setSuccess(false);
        notStarted.setMessage(tr::Tr(QStringLiteral("tillSaleNotStarted"),
                                     QStringLiteral("Оплата не начата: она отменена до начала, в "
                                                    "сервис ничего не отправлено")));
        if (interrupted)
            *interrupted = true;
        return notStarted;
    }

    CancelButton button;
    if (options.interruptAfterMs >= 0 || options.interruptOnSignal) {
        const bool armed = button.arm(
            [this] {
                note(QStringLiteral("till: interrupting the sale"));
                const bool confirmed = m_processing->interruptPayment();
                note(confirmed ? QStringLiteral("till: the cancellation is accepted")
                               : QStringLiteral("till: the cancellation was not confirmed"));
                return confirmed;
            },
            options.interruptAfterMs, options.interruptOnSignal,
            [this](const std::string &text) { note(QString::fromStdString(text)); });
        if (!armed)
            note(QStringLiteral("till: the cancel button is not available for this sale"));
    }
    const PaymentProcessingAnswer answer = m_processing->payment(request);
    // Waits for an interruption still talking to the service before the answer is shown.
    button.disarm();
    endProgress();
    if (interrupted)
        *interrupted = button.wasPressed();
    return answer;
}

PaymentProcessingAnswer Cashier::refund(const QString &rrn, int amount)
{
    return sendForSale(PaymentProcessingRequest::Refund, rrn, amount,
                       &BasicPaymentProcessing::payment);
}

PaymentProcessingAnswer Cashier::cancel(const QString &rrn, int amount)
{
    return sendForSale(PaymentProcessingRequest::Payment, rrn, amount,
                       &BasicPaymentProcessing::cancel);
}

QVector<Cashier::ReplayResult>
Cashier::replay(DBQueueBroker *queue, const std::function<void(const ReplayResult &)> &each,
                const std::function<bool()> &stop, int *notOffered)
{
    // A page at a time, so that a queue that grew over a long time offline is never held whole;
    // the messages added after the replay began wait for the next one.
    const int PageSize = 100;
    QVector<ReplayResult> results;
    if (notOffered)
        *notOffered = 0;
    const qint64 lastId = queue->lastMessageId();
    if (lastId == 0 && !queue->errorString().isEmpty()) {
        note(QStringLiteral("till: queue %1 could not be read: %2")
                 .arg(queue->databasePath(), queue->errorString()));
        if (notOffered)
            *notOffered = 1;
        return results;
    }
    qint64 offeredUpTo = 0;
    for (;;) {
        const QList<QueuedMessage> page = queue->pendingMessages(offeredUpTo, lastId, PageSize);
        if (page.isEmpty()) {
            // An unreadable page is not the end of the queue: the messages after it were not
            // offered, and the replay must not end as if they had been.
            if (!queue->errorString().isEmpty()) {
                note(QStringLiteral("till: queue %1 could not be read: %2")
                         .arg(queue->databasePath(), queue->errorString()));
                if (notOffered)
                    *notOffered = qMax(1, queue->pendingCount(offeredUpTo, lastId));
            }
            break;
        }
        for (const QueuedMessage &message : page) {
            if (stop && stop()) {
                if (notOffered)
                    *notOffered = queue->pendingCount(offeredUpTo, lastId);
                return results;
            }
            ReplayResult result;
            result.id = message.id;
            result.orderId = message.message.value(QStringLiteral("orderId")).toString();
            result.finished = m_processing->sendEnqueuedMessage(message.message.toVariantMap());
            result.recorded = result.finished ? queue->removeMessage(message.id)
                                              : queue->recordAttempt(message.id);
            if (!result.recorded)
                note(QStringLiteral("till: queue message %1 could not be %2: %3")
                         .arg(message.id)
                         .arg(result.finished ? QStringLiteral("removed")
                                              : QStringLiteral("updated"))
                         .arg(queue->errorString()));
            offeredUpTo = message.id;
            endProgress();
            results.append(result);
            if (each)
                each(result);
        }
    }
    return results;
}

bool Cashier::isSuccess(const PaymentProcessingAnswer &answer)
{
    return answer.getStatus() == PaymentProcessingAnswer::Success ||
           answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage;
}

QString Cashier::answerLine(const PaymentProcessingAnswer &answer)
{
    return JsonLine()
        .add(QStringLiteral("status"), int(answer.getStatus()))
        .add(QStringLiteral("message"), Catalogue::shown().text(answer.getMessage()))
        .add(QStringLiteral("messageKey"), answer.getMessage().key())
        .add(QStringLiteral("rrn"), answer.getRRN())
        .add(QStringLiteral("paymentMethod"), int(answer.getPaymentMethod()))
        .toString();
}

QString Cashier::replayLine(const ReplayResult &result)
{
    return JsonLine()
        .add(QStringLiteral("id"), QJsonValue(qint64(result.id)))
        .add(QStringLiteral("orderId"), result.orderId)
        .add(QStringLiteral("finished"), result.finished)
        .toString();
}

PaymentProcessingAnswer Cashier::sendForSale(int type, const QString &rrn, int amount,
                                             Operation operation)
{
    PaymentProcessingRequest request = makeRequest(type, amount);
    request.setRrn(rrn);
    const PaymentProcessingAnswer answer = (m_processing->*operation)(request);
    endProgress();
    return answer;
}

void Cashier::endProgress()
{
    if (m_progress)
        m_progress->finish();
}

void Cashier::note(const QString &line)
{
    if (m_progress)
        m_progress->printLine(line);
}

} // namespace till
