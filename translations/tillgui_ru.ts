<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<!-- The cashier's screen (till-gui): its own texts by context "tillgui", the source the
     English text the code passes to guitext::text(). lrelease without -idbased. -->
<context>
    <name>tillgui</name>
    <message>
        <source>Till</source>
        <translation>Касса</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>№</translation>
    </message>
    <message>
        <source>Article</source>
        <translation>Артикул</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Наименование</translation>
    </message>
    <message>
        <source>Quantity</source>
        <translation>Количество</translation>
    </message>
    <message>
        <source>Returned</source>
        <translation>Возврат</translation>
    </message>
    <message>
        <source>To return</source>
        <translation>Вернуть</translation>
    </message>
    <message>
        <source>Sum</source>
        <translation>Сумма</translation>
    </message>
    <message>
        <source>Total %1, prepaid %2, to pay %3</source>
        <translation>Итого %1, предоплата %2, к оплате %3</translation>
    </message>
    <message>
        <source>No current receipt</source>
        <translation>Нет текущего чека</translation>
    </message>
    <message>
        <source>Amount, roubles:</source>
        <translation>Сумма, руб.:</translation>
    </message>
    <message>
        <source>Type the amount in roubles, for example 1500.00</source>
        <translation>Введите сумму в рублях, например 1500.00</translation>
    </message>
    <message>
        <source>The amount is too large</source>
        <translation>Сумма слишком велика</translation>
    </message>
    <message>
        <source>The amount must be more than zero</source>
        <translation>Сумма должна быть больше нуля</translation>
    </message>
    <message>
        <source>The amount %1 is more than the %2 left to pay on the receipt</source>
        <translation>Сумма %1 больше, чем осталось оплатить по чеку: %2</translation>
    </message>
    <message>
        <source>The amount %1 is more than the receipt's total %2</source>
        <translation>Сумма %1 больше суммы чека %2</translation>
    </message>
    <message>
        <source>Sale</source>
        <translation>Продажа</translation>
    </message>
    <message>
        <source>Refund</source>
        <translation>Возврат</translation>
    </message>
    <message>
        <source>Cancel payment</source>
        <translation>Отмена оплаты</translation>
    </message>
    <message>
        <source>Queue (%1)</source>
        <translation>Очередь (%1)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Назад</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Code:</source>
        <translation>Код:</translation>
    </message>
    <message>
        <source>Cancelling the order...</source>
        <translation>Отмена заказа...</translation>
    </message>
    <message>
        <source>The cancellation is accepted; the sale ends at the next status request</source>
        <translation>Отмена принята, продажа завершится при следующем запросе статуса</translation>
    </message>
    <message>
        <source>The cancellation was not confirmed; press Cancel to try again</source>
        <translation>Отмена не подтверждена, нажмите «Отмена» ещё раз</translation>
    </message>
    <message>
        <source>Paid %1</source>
        <translation>Оплачено %1</translation>
    </message>
    <message>
        <source>Rejected</source>
        <translation>Отклонено</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Отменено</translation>
    </message>
    <message>
        <source>Refund of %1 done</source>
        <translation>Возврат %1 выполнен</translation>
    </message>
    <message>
        <source>Refund not made</source>
        <translation>Возврат не выполнен</translation>
    </message>
    <message>
        <source>Cancellation not made</source>
        <translation>Отмена не выполнена</translation>
    </message>
    <message>
        <source>Refund of %1 will be carried out once the connection is back</source>
        <translation>Возврат %1 будет выполнен после восстановления связи</translation>
    </message>
    <message>
        <source>Paid</source>
        <translation>Оплачено</translation>
    </message>
    <message>
        <source>Refund done</source>
        <translation>Возврат выполнен</translation>
    </message>
    <message>
        <source>Refund queued</source>
        <translation>Возврат в очереди</translation>
    </message>
    <message>
        <source>Cancellation queued</source>
        <translation>Отмена в очереди</translation>
    </message>
    <message>
        <source>Outcome unknown</source>
        <translation>Результат неизвестен</translation>
    </message>
    <message>
        <source>Payment of %1</source>
        <translation>Оплата %1</translation>
    </message>
    <message>
        <source>Refund of %1</source>
        <translation>Возврат %1</translation>
    </message>
    <message>
        <source>Cancellation of a payment of %1</source>
        <translation>Отмена оплаты %1</translation>
    </message>
    <message>
        <source>Order %1</source>
        <translation>Заказ %1</translation>
    </message>
    <message>
        <source>%1, amount %2</source>
        <translation>%1, сумма %2</translation>
    </message>
    <message>
        <source>%1, order %2</source>
        <translation>%1, заказ %2</translation>
    </message>
    <message>
        <source>Reference (RRN):</source>
        <translation>Ссылка (RRN):</translation>
    </message>
    <message>
        <source>Refund of a sale</source>
        <translation>Возврат по продаже</translation>
    </message>
    <message>
        <source>Cancellation of a payment</source>
        <translation>Отмена оплаты</translation>
    </message>
    <message>
        <source>Amount to return: %1</source>
        <translation>Сумма возврата: %1</translation>
    </message>
    <message>
        <source>Choose at least one position to return</source>
        <translation>Выберите хотя бы одну позицию для возврата</translation>
    </message>
    <message>
        <source>Type the reference (RRN) of the sale</source>
        <translation>Введите ссылку (RRN) продажи</translation>
    </message>
    <message>
        <source>Cancel the payment</source>
        <translation>Отменить оплату</translation>
    </message>
    <message>
        <source>Queued messages</source>
        <translation>Сообщения в очереди</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Добавлено</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Попытки</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>Заказ</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Тип</translation>
    </message>
    <message>
        <source>Replay</source>
        <translation>Отправить</translation>
    </message>
    <message>
        <source>The queue cannot be read: %1</source>
        <translation>Очередь не читается: %1</translation>
    </message>
    <message>
        <source>Another operation is running</source>
        <translation>Выполняется другая операция</translation>
    </message>
    <message>
        <source>Waiting for the sale to end before closing</source>
        <translation>Ожидание завершения продажи перед закрытием</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Ответ</translation>
    </message>
    <message>
        <source>%1 is not an order id: type or paste the order of the sale</source>
        <translation>%1 — не номер заказа: введите или вставьте заказ продажи</translation>
    </message>
    <message>
        <source>%1 roubles</source>
        <translation>%1 руб.</translation>
    </message>
    <message>
        <source>%1, order %2: %3</source>
        <translation>%1, заказ %2: %3</translation>
    </message>
    <message>
        <source>, %1 stay in the queue</source>
        <translation>, в очереди осталось: %1</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... и ещё %1</translation>
    </message>
    <message>
        <source>A cancellation of this order already waits in the queue</source>
        <translation>Отмена этого заказа уже ждёт в очереди</translation>
    </message>
    <message>
        <source>A refund of %1 for this order already waits in the queue: confirming queues the same refund a second time</source>
        <translation>Возврат %1 по этому заказу уже ждёт в очереди: подтверждение поставит тот же возврат второй раз</translation>
    </message>
    <message>
        <source>Cancel the payment of %1 for order %2: the buyer's money goes back</source>
        <translation>Отменить оплату %1 по заказу %2: деньги вернутся покупателю</translation>
    </message>
    <message>
        <source>Cancellation</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Cancellation of %1 will be carried out once the connection is back</source>
        <translation>Отмена %1 будет выполнена после восстановления связи</translation>
    </message>
    <message>
        <source>Cancelled by the cashier</source>
        <translation>Отменено кассиром</translation>
    </message>
    <message>
        <source>Cancelled by the service</source>
        <translation>Отменено сервисом</translation>
    </message>
    <message>
        <source>Confirm the cancellation</source>
        <translation>Подтверждение отмены оплаты</translation>
    </message>
    <message>
        <source>Confirm the refund</source>
        <translation>Подтверждение возврата</translation>
    </message>
    <message>
        <source>No answer from the service</source>
        <translation>Сервис не ответил</translation>
    </message>
    <message>
        <source>Nobody knows yet whether the money moved: check the order's state before repeating anything</source>
        <translation>Пока неизвестно, прошли ли деньги: проверьте состояние заказа, прежде чем что-либо повторять</translation>
    </message>
    <message>
        <source>Not paid, cancellation queued</source>
        <translation>Не оплачено, отмена в очереди</translation>
    </message>
    <message>
        <source>Not paid: the order's cancellation will be sent once the connection is back</source>
        <translation>Не оплачено: отмена заказа будет отправлена после восстановления связи</translation>
    </message>
    <message>
        <source>Nothing went back to the buyer</source>
        <translation>Покупателю ничего не возвращено</translation>
    </message>
    <message>
        <source>Payment not made</source>
        <translation>Оплата не выполнена</translation>
    </message>
    <message>
        <source>Payment of %1 cancelled</source>
        <translation>Оплата %1 отменена</translation>
    </message>
    <message>
        <source>Press %1 to confirm, Enter or Escape to go back</source>
        <translation>%1 — подтвердить, Enter или Escape — назад</translation>
    </message>
    <message>
        <source>Queue: %1 of %2 messages finished</source>
        <translation>Очередь: завершено сообщений: %1 из %2</translation>
    </message>
    <message>
        <source>Queue: nothing went through, %1 messages stay in the queue until the service answers</source>
        <translation>Очередь: ничего не отправлено, сообщений в очереди: %1, до ответа сервиса</translation>
    </message>
    <message>
        <source>Return %1</source>
        <translation>Вернуть %1</translation>
    </message>
    <message>
        <source>Return %1 to the buyer for order %2</source>
        <translation>Вернуть покупателю %1 по заказу %2</translation>
    </message>
    <message>
        <source>Sale of %1 cancelled by the cashier</source>
        <translation>Продажа %1 отменена кассиром</translation>
    </message>
    <message>
        <source>Sale of %1 cancelled by the service</source>
        <translation>Продажа %1 отменена сервисом</translation>
    </message>
    <message>
        <source>Sending the queue to the service...</source>
        <translation>Отправка очереди в сервис...</translation>
    </message>
    <message>
        <source>The buyer gets the money once the queue is sent (F5); do not repeat the refund</source>
        <translation>Покупатель получит деньги после отправки очереди (F5); не повторяйте возврат</translation>
    </message>
    <message>
        <source>The buyer was not refused and the money was not taken. Try again or take another payment</source>
        <translation>Покупателю не отказано, деньги не списаны. Повторите оплату или примите другой способ оплаты</translation>
    </message>
    <message>
        <source>The buyer's money goes back</source>
        <translation>Деньги вернутся покупателю</translation>
    </message>
    <message>
        <source>The buyer's money goes back once the queue is sent (F5); do not repeat the cancellation</source>
        <translation>Деньги вернутся покупателю после отправки очереди (F5); не повторяйте отмену</translation>
    </message>
    <message>
        <source>The buyer's money was not taken</source>
        <translation>Деньги покупателя не списаны</translation>
    </message>
    <message>
        <source>The lender refused the buyer; the money was not taken. Offer another way to pay</source>
        <translation>Кредитор отказал покупателю, деньги не списаны. Предложите другой способ оплаты</translation>
    </message>
    <message>
        <source>The money goes back to the buyer</source>
        <translation>Деньги вернутся покупателю</translation>
    </message>
    <message>
        <source>The payment does not count; if the buyer's money was taken, the cancellation gives it back. Take another payment</source>
        <translation>Оплата не засчитана; если деньги покупателя списаны, отмена их вернёт. Примите другую оплату</translation>
    </message>
    <message>
        <source>The payment is accepted; the receipt is paid</source>
        <translation>Оплата принята, чек оплачен</translation>
    </message>
    <message>
        <source>The payment stands; nothing went back to the buyer</source>
        <translation>Оплата в силе, покупателю ничего не возвращено</translation>
    </message>
    <message>
        <source>The receipt is paid: nothing is left to pay</source>
        <translation>Чек оплачен: к оплате ничего не осталось</translation>
    </message>
    <message>
        <source>Total %1, prepaid %2, paid here %3, to pay %4</source>
        <translation>Итого %1, предоплата %2, оплачено %3, к оплате %4</translation>
    </message>
    <message>
        <source>left the queue; the order now: %1, refunded %2</source>
        <translation>ушло из очереди; заказ сейчас: %1, возвращено %2</translation>
    </message>
    <message>
        <source>left the queue; the order's state could not be read: %1</source>
        <translation>ушло из очереди; состояние заказа не прочитано: %1</translation>
    </message>
    <message>
        <source>not sent, stays in the queue</source>
        <translation>не отправлено, осталось в очереди</translation>
    </message>
    <message>
        <source>sent, but the queue could not record it</source>
        <translation>отправлено, но очередь не смогла это записать</translation>
    </message>
    <message>
        <source>Order state: not reported yet; do not tell the buyer it is approved yet</source>
        <translation>Состояние заказа ещё не получено; не говорите покупателю, что заявка одобрена</translation>
    </message>
    <message>
        <source>Do not tell the buyer it is approved yet: the lender has not decided</source>
        <translation>Не говорите покупателю, что заявка одобрена: кредитор ещё не решил</translation>
    </message>
    <message>
        <source>Waiting for the service's answer; each request may take up to %1 s</source>
        <translation>Ожидание ответа сервиса; каждый запрос может занять до %1 с</translation>
    </message>
    <message>
        <source>A code was scanned before the sale: press F2, then scan it</source>
        <translation>Код отсканирован до начала продажи: нажмите F2, затем сканируйте код</translation>
    </message>
    <message>
        <source>Se&amp;rvice</source>
        <translation>&amp;Сервис</translation>
    </message>
    <message>
        <source>&amp;Test connection</source>
        <translation>&amp;Проверка связи</translation>
    </message>
    <message>
        <source>Payment &amp;status...</source>
        <translation>&amp;Состояние оплаты...</translation>
    </message>
    <message>
        <source>&amp;Reconciliation</source>
        <translation>С&amp;верка итогов</translation>
    </message>
    <message>
        <source>R&amp;eport</source>
        <translation>&amp;Отчет</translation>
    </message>
    <message>
        <source>S&amp;hort report</source>
        <translation>&amp;Краткий отчет</translation>
    </message>
    <message>
        <source>Print a &amp;copy</source>
        <translation>Коп&amp;ия слипа</translation>
    </message>
    <message>
        <source>Order (the sale's rrn):</source>
        <translation>Заказ (rrn продажи):</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Сервис</translation>
    </message>
</context>
</TS>
