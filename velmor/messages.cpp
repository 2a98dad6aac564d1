#include "messages.h"

namespace velmor {

namespace messages {

tr::Tr noDocument()
{
    return tr::Tr(QStringLiteral("velmorNoDocument"), QStringLiteral("Нет текущего чека"));
}

tr::Tr receiptTooLarge()
{
    return tr::Tr(QStringLiteral("velmorReceiptTooLarge"),
                  QStringLiteral("Чек слишком велик для оплаты VELMOR: уменьшите число позиций"));
}

tr::Tr creatingOrder()
{
    return tr::Tr(QStringLiteral("velmorProgressCreateMessage"),
                  QStringLiteral("Создание заказа VELMOR..."));
}

tr::Tr approved()
{
    return tr::Tr(QStringLiteral("velmorProgressApprovedMessage"),
                  QStringLiteral("Заявка одобрена, ожидание первого платежа..."));
}

tr::Tr readingStatus()
{
    return tr::Tr(QStringLiteral("velmorProgressInfoMessage"),
                  QStringLiteral("Получение статуса заказа..."));
}

tr::Tr orderState(OrderStatus status)
{
    tr::Tr state;
    switch (status) {
    case Created:
        state = tr::Tr(QStringLiteral("velmorOrderStateCreated"),
                       QStringLiteral("заказ создан, заявка ещё не рассмотрена"));
        break;
    case Scoring:
        state = tr::Tr(QStringLiteral("velmorOrderStateScoring"),
                       QStringLiteral("заявка на рассмотрении, решения ещё нет"));
        break;
    case Approved:
        state = tr::Tr(QStringLiteral("velmorOrderStateApproved"),
                       QStringLiteral("заявка одобрена, ожидается первый платёж"));
        break;
    case Refunded:
        state = tr::Tr(QStringLiteral("velmorOrderStateRefunded"),
                       QStringLiteral("по заказу сделан возврат"));
        break;
    case Processed:
        state =
            tr::Tr(QStringLiteral("velmorOrderStateProcessed"), QStringLiteral("заказ обработан"));
        break;
    case Undefined:
    case Rejected:
    case Canceled:
    case Completed:
        return tr::Tr();
    }
    return tr::Tr(QStringLiteral("velmorProgressOrderState"),
                  QStringLiteral("Состояние заказа: %1"))
        .arg(state);
}

tr::Tr cancelQueued(const tr::Tr &reason)
{
    return tr::Tr(QStringLiteral("velmorCancelQueued"),
                  QStringLiteral("%1.\nОтмена будет выполнена после восстановления связи с "
                                 "сервером"))
        .arg(reason);
}

tr::Tr orderNeverArrived()
{
    return tr::Tr(QStringLiteral("velmorOrderNeverArrived"),
                  QStringLiteral("Сервер не получил заказ, оплата не выполнена"));
}

tr::Tr journalUnusable(const QString &fileName)
{
    return tr::Tr(QStringLiteral("velmorJournalUnusable"),
                  QStringLiteral("Журнал операций Velmor %1 недоступен, операция не выполнена. "
                                 "Обратитесь к администратору"))
        .arg(tr::Tr(fileName));
}

tr::Tr earlierRefundOpen(const QString &orderId, const QString &recorded, const QString &amount)
{
    return tr::Tr(QStringLiteral("velmorEarlierRefundOpen"),
                  QStringLiteral("Результат прежнего возврата по заказу %1 (%2, %3 руб.) еще "
                                 "неизвестен, новый возврат не выполнен. Проверьте заказ "
                                 "(till status --rrn) и очередь (till queue)"))
        .arg(tr::Tr(orderId))
        .arg(tr::Tr(recorded))
        .arg(tr::Tr(amount));
}

tr::Tr outcomeUnknown(const QString &orderId)
{
    return tr::Tr(QStringLiteral("velmorOutcomeUnknown"),
                  QStringLiteral("Сервер не ответил, результат операции неизвестен. Не "
                                 "повторяйте её, пока не проверите заказ %1"))
        .arg(tr::Tr(orderId));
}

tr::Tr configUnusable(const QString &fileName)
{
    return tr::Tr(QStringLiteral("velmorConfigUnusable"),
                  QStringLiteral("Файл настроек Velmor %1 не читается, операция не выполнена. "
                                 "Обратитесь к администратору"))
        .arg(tr::Tr(fileName));
}

tr::Tr noUsefulAnswer()
{
    return tr::Tr(QStringLiteral("velmorNoUsefulAnswer"),
                  QStringLiteral("Ошибка связи с сервером"));
}

tr::Tr rejected()
{
    return tr::Tr(QStringLiteral("velmorRejected"), QStringLiteral("Заявка отклонена"));
}

} // namespace messages

} // namespace velmor
