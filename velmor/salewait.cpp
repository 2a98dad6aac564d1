#include "salewait.h"

#include "answerdecoding.h"
#include "cancellationgate.h"
#include "interface.h"
#include "messages.h"
#include "requestaddress.h"
#include "requestbodies.h"

#include <log4qt/logger.h>

namespace velmor {

SaleWait::SaleWait(const Interface &client, CancellationGate &gate,
                   const std::atomic_bool &orderCanceled, std::chrono::seconds interval,
                   std::chrono::milliseconds unknownOrderLimit, Log4Qt::Logger *logger)
    : m_client(client), m_gate(gate), m_orderCanceled(orderCanceled), m_interval(interval),
      m_unknownOrderLimit(unknownOrderLimit), m_logger(logger)
{}

RequestResult SaleWait::run(const QString &orderId, const QString &resultId) const
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    Clock::time_point nextPoll = started;
    RequestResult result;
    result.id = resultId;
    int unknownOrderPolls = 0;
    int shownState = Undefined;

    for (;;) {
        m_gate.sleepUntil(nextPoll, m_orderCanceled);
        // A cancellation confirmed or queued while the wait slept sends no further poll; one
        // that decided the sale while a poll was out drops that poll's answer.
        bool polled = false;
        if (!m_orderCanceled.load() && m_gate.startPoll()) {
            nextPoll = Clock::now() + m_interval;
            result = m_client.info(orderId);
            m_gate.pollDone(&result);
            polled = true;
        }
        if (m_gate.decision(&result)) {
            polled = false;
        } else if (m_orderCanceled.load()) {
            result.orderStatus = Canceled;
        } else if (!polled) {
            // A cancellation is in flight: wait for its decision.
            continue;
        } else if (isUnknownOrder(result)) {
            // An order the service has shown before (its create answered 200, or a poll) is
            // only lagging somewhere: it is polled on, and the cashier's cancel queues. One it
            // has never shown ends the sale once it has stayed unknown long enough.
            if (!m_gate.wasOrderShown() && ++unknownOrderPolls >= UnknownOrderPolls &&
                Clock::now() - started >= m_unknownOrderLimit)
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
                m_client.changeProgress(state, 0);
            }
        }
        switch (OrderStatus(result.orderStatus)) {
        case Rejected:
            m_logger->warn(QStringLiteral("Заявка отклонена"));
            return result;
        case Canceled:
            m_logger->info(QStringLiteral("Заказ отменен"));
            return result;
        case Completed:
            m_logger->info(QStringLiteral("Заказ успешно оплачен"));
            return result;
        case Approved:
            m_client.changeProgress(messages::approved(), 70);
            m_logger->info(QStringLiteral("Заявка одобрена, ожидание первого платежа"));
            break;
        case Undefined:
        case Created:
        case Scoring:
        case Refunded:
        case Processed:
            break;
        }
        if (result.noResponse)
            m_logger->warn(
                QStringLiteral("Не удалось получить ответ от севера, статус заказа неизвестен"));
    }
}

RequestResult SaleWait::endUnknownOrder(const QString &orderId, const RequestResult &lastPoll) const
{
    m_logger->error(QStringLiteral("Заказ %1 не найден на сервере, оплата не выполнена; отмена "
                                   "заказа на случай, если он будет создан позже")
                        .arg(orderId));
    RequestResult cancellation =
        m_client.sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&cancellation, orderId, m_logger);
    // "order_not_found" here too: the create may still be held somewhere on its way, so the
    // cancellation waits in the queue, whose replay finishes it once the order is known to
    // the service or known to be absent.
    if (!isCancellationConfirmed(cancellation) && !m_client.sendMessageToQueue(orderId))
        m_logger->error(QStringLiteral("Отмена заказа %1 не сохранена в очереди").arg(orderId));

    RequestResult result = lastPoll;
    result.setSucceeded(false);
    result.orderStatus = Undefined;
    result.message = messages::orderNeverArrived();
    return result;
}

} // namespace velmor
