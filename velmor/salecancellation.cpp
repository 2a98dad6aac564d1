#include "salecancellation.h"

#include "answerdecoding.h"
#include "cancellationgate.h"
#include "interface.h"
#include "messages.h"
#include "requestaddress.h"
#include "requestbodies.h"
#include "transportrouter.h"

#include <log4qt/logger.h>

namespace velmor {

SaleCancellation::SaleCancellation(Interface &client, CancellationGate &gate,
                                   TransportRouter &transports, std::atomic_bool &orderCanceled,
                                   Log4Qt::Logger *logger)
    : m_client(client), m_gate(gate), m_transports(transports), m_orderCanceled(orderCanceled),
      m_logger(logger)
{}

RequestResult SaleCancellation::send(const QString &orderId)
{
    // Pressed before the sale has an order (the host's cancel raced the sale's start): there is
    // nothing to cancel, and a request without an order id would name no order at all.
    if (orderId.isEmpty()) {
        m_logger->warn(QStringLiteral("Отмена не отправлена: заказа еще нет"));
        return notSent(tr::Tr());
    }
    // From here on the sale's wait sends no poll until this cancellation is decided. A poll
    // already out keeps the client's transport until its answer or timeout, so the
    // cancellation takes a transport of its own and leaves at once.
    if (m_gate.begin()) {
        const TransportRouter::Spare spare(m_transports);
        const RequestResult result = decide(orderId);
        m_gate.finish();
        return result;
    }
    const RequestResult result = decide(orderId);
    m_gate.finish();
    return result;
}

void SaleCancellation::markCanceled(RequestResult *result)
{
    m_orderCanceled.store(true);
    result->orderStatus = Canceled;
    m_gate.decide(*result);
}

RequestResult SaleCancellation::paid(const RequestResult &result)
{
    m_logger->info(QStringLiteral("Заказ уже оплачен, отмена не выполнена"));
    RequestResult paidSale = result;
    paidSale.setSucceeded(true);
    paidSale.orderStatus = Completed;
    paidSale.message = tr::Tr();
    m_gate.decide(paidSale);
    return paidSale;
}

RequestResult SaleCancellation::decide(const QString &orderId)
{
    RequestResult result =
        m_client.sendPostRequest(orderPath(orderId, QStringLiteral("cancel")), cancelBody());
    discardIfAboutAnotherOrder(&result, orderId, m_logger);

    if (isCancellationConfirmed(result)) {
        markCanceled(&result);
        return result;
    }

    // Whatever else came back did not cancel the order.
    result.setSucceeded(false);
    // The service's own answer about the order shows it paid: the buyer paid as the cashier
    // pressed cancel, and the sale is paid as when a poll shows it.
    if (result.delivery == Delivery::Answered && OrderStatus(result.orderStatus) == Completed)
        return paid(result);
    if (result.delivery == Delivery::ServiceError && !isUnknownOrder(result)) {
        // A refusal ("order_cannot_be_cancelled") may mean that the buyer has just paid, or
        // that the order has ended otherwise: the order's state decides what the sale is.
        m_logger->warn(QStringLiteral("Сервер отказал в отмене заказа, запрос статуса заказа"));
        const RequestResult state = m_client.info(orderId);
        switch (OrderStatus(state.orderStatus)) {
        case Completed:
            m_logger->info(QStringLiteral("Заказ уже оплачен, отмена не выполнена"));
            m_gate.decide(state);
            return result;
        case Rejected:
            m_gate.decide(state);
            return result;
        case Canceled:
            result = state;
            markCanceled(&result);
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
    if (m_gate.paidAfterPolls())
        return paid(result);

    if (isUnknownOrder(result))
        // The create may still be on its way (a slow gateway): the replay keeps asking until
        // the order turns up or has been unknown long enough.
        m_logger->error(QStringLiteral("Заказ не найден на сервере, будет выполнена отмена через "
                                       "очередь на случай, если он будет создан позже"));
    else if (result.isOutcomeUnknown() || result.delivery == Delivery::NeverSent)
        m_logger->error(QStringLiteral(
            "Не удалось получить ответ от сервера, будет выполнена отмена через очередь"));
    else
        m_logger->error(QStringLiteral(
            "Сервер не подтвердил отмену заказа, будет выполнена отмена через очередь"));
    // The cashier's cancellation is carried out even so: the replay asks the order's state
    // and cancels or refunds it. Only a stored cancellation may be reported as done;
    // otherwise the sale goes on and the cashier may cancel again.
    if (m_client.sendMessageToQueue(orderId)) {
        result.message = messages::cancelQueued(result.message);
        markCanceled(&result);
    }
    return result;
}

} // namespace velmor
