<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<!-- Messages by id (lrelease -idbased): the source is the Russian text the code builds. -->
<context>
    <name></name>
    <message id="velmorScanTitle">
        <source>Ввод QR-кода VELMOR</source>
        <translation>VELMOR QR code entry</translation>
    </message>
    <message id="velmorScanMessage">
        <source>Отсканируйте QR-код VELMOR</source>
        <translation>Scan the VELMOR QR code</translation>
    </message>
    <message id="basicPaymentProcessingPayment">
        <source>Операция оплаты недоступна</source>
        <translation>Payment is not available</translation>
    </message>
    <message id="basicPaymentProcessingChange">
        <source>Операция сдачи недоступна</source>
        <translation>Change is not available</translation>
    </message>
    <message id="basicPaymentProcessingCancel">
        <source>Операция отмены недоступна</source>
        <translation>Cancellation is not available</translation>
    </message>
    <message id="basicPaymentProcessingCheckTotals">
        <source>Операция печати короткого отчета недоступна</source>
        <translation>Printing the short report is not available</translation>
    </message>
    <message id="basicPaymentProcessingCheckTotalsByMerchant">
        <source>Операция сверки итогов для юр. лица недоступна</source>
        <translation>Reconciling the totals of a legal entity is not available</translation>
    </message>
    <message id="basicPaymentProcessingPrintCopy">
        <source>Операция печати копии недоступна</source>
        <translation>Printing a copy is not available</translation>
    </message>
    <message id="basicPaymentProcessingPrintReport">
        <source>Операция печати полного отчета недоступна</source>
        <translation>Printing the full report is not available</translation>
    </message>
    <message id="basicPaymentProcessingPrintReportByMerchant">
        <source>Операция печати полного отчета для юр. лица недоступна</source>
        <translation>Printing the full report of a legal entity is not available</translation>
    </message>
    <message id="basicPaymentProcessingPrintShortReport">
        <source>Операция печати короткого отчета недоступна</source>
        <translation>Printing the short report is not available</translation>
    </message>
    <message id="basicPaymentProcessingBalance">
        <source>Операция запроса баланса недоступна</source>
        <translation>Balance inquiry is not available</translation>
    </message>
    <message id="basicPaymentProcessingDiscountCard">
        <source>Операция получения скидочной карты недоступна</source>
        <translation>Reading a discount card is not available</translation>
    </message>
    <message id="basicPaymentProcessingLoyaltyCards">
        <source>Операция получения списка карт лояльности недоступна</source>
        <translation>Listing the loyalty cards is not available</translation>
    </message>
    <message id="basicPaymentProcessingTestConnection">
        <source>Операция проверки связи недоступна</source>
        <translation>Testing the connection is not available</translation>
    </message>
    <message id="basicPaymentProcessingDemandPinCode">
        <source>Операция запроса пин-кода недоступна</source>
        <translation>Asking for the PIN is not available</translation>
    </message>
    <message id="basicPaymentProcessingDemandQrCode">
        <source>Операция запроса QR-кода недоступна</source>
        <translation>Asking for a QR code is not available</translation>
    </message>
    <message id="basicPaymentProcessingGetPaymentByQRCodeStatus">
        <source>Операция получения статуса оплаты по QR-коду недоступна</source>
        <translation>Getting the status of a QR code payment is not available</translation>
    </message>
    <message id="basicPaymentProcessingPaymentByQRCodeOnPinPad">
        <source>Операция оплаты по QR-коду на PinPad недоступна</source>
        <translation>Payment by QR code on the PIN pad is not available</translation>
    </message>
    <message id="basicPaymentProcessingCancelByQRCodeOnPinPad">
        <source>Операция отмены оплаты по QR-коду на PinPad недоступна</source>
        <translation>Cancelling a QR code payment on the PIN pad is not available</translation>
    </message>
    <message id="basicPaymentProcessingGetHashedCardNumber">
        <source>Операция получения хэшированного номера карты недоступна</source>
        <translation>Getting the hashed card number is not available</translation>
    </message>
    <message id="velmorNoDocument">
        <source>Нет текущего чека</source>
        <translation>No current receipt</translation>
    </message>
    <message id="velmorReceiptTooLarge">
        <source>Чек слишком велик для оплаты VELMOR: уменьшите число позиций</source>
        <translation>The receipt is too large for a VELMOR payment: reduce the number of positions</translation>
    </message>
    <message id="velmorProgressCreateMessage">
        <source>Создание заказа VELMOR...</source>
        <translation>Creating the VELMOR order...</translation>
    </message>
    <message id="velmorProgressApprovedMessage">
        <source>Заявка одобрена, ожидание первого платежа...</source>
        <translation>Application approved, waiting for the first payment...</translation>
    </message>
    <message id="velmorProgressInfoMessage">
        <source>Получение статуса заказа...</source>
        <translation>Getting the order status...</translation>
    </message>
    <message id="velmorProgressOrderState">
        <source>Состояние заказа: %1</source>
        <translation>Order state: %1</translation>
    </message>
    <message id="velmorOrderStateCreated">
        <source>заказ создан, заявка ещё не рассмотрена</source>
        <translation>order created, the application not yet considered</translation>
    </message>
    <message id="velmorOrderStateScoring">
        <source>заявка на рассмотрении, решения ещё нет</source>
        <translation>the application is being considered, no decision yet</translation>
    </message>
    <message id="velmorOrderStateApproved">
        <source>заявка одобрена, ожидается первый платёж</source>
        <translation>application approved, waiting for the first payment</translation>
    </message>
    <message id="velmorOrderStateRefunded">
        <source>по заказу сделан возврат</source>
        <translation>the order has been refunded</translation>
    </message>
    <message id="velmorOrderStateProcessed">
        <source>заказ обработан</source>
        <translation>the order has been processed</translation>
    </message>
    <message id="velmorCancelQueued">
        <source>%1.
Отмена будет выполнена после восстановления связи с сервером</source>
        <translation>%1.
The cancellation will be carried out once the connection to the server is back</translation>
    </message>
    <message id="velmorOrderNeverArrived">
        <source>Сервер не получил заказ, оплата не выполнена</source>
        <translation>The server did not receive the order; the payment was not made</translation>
    </message>
    <message id="velmorOutcomeUnknown">
        <source>Сервер не ответил, результат операции неизвестен. Не повторяйте её, пока не проверите заказ %1</source>
        <translation>The server did not answer; the outcome is unknown. Do not repeat the operation before you have checked order %1</translation>
    </message>
    <message id="velmorConfigUnusable">
        <source>Файл настроек Velmor %1 не читается, операция не выполнена. Обратитесь к администратору</source>
        <translation>The Velmor settings file %1 cannot be read; the operation was not carried out. Call the administrator</translation>
    </message>
    <message id="velmorNoUsefulAnswer">
        <source>Ошибка связи с сервером</source>
        <translation>Server communication error</translation>
    </message>
    <message id="velmorRejected">
        <source>Заявка отклонена</source>
        <translation>Application rejected</translation>
    </message>
    <message id="velmor">
        <source>Ошибка сервиса VELMOR</source>
        <translation>VELMOR service error</translation>
    </message>
    <message id="velmorInvalidRequest">
        <source>Некорректный запрос: %1</source>
        <translation>Invalid request: %1</translation>
    </message>
    <message id="velmorOrderNotFound">
        <source>Заказ не найден</source>
        <translation>Order not found</translation>
    </message>
    <message id="velmorServiceError">
        <source>Внутренняя ошибка сервиса</source>
        <translation>Internal service error</translation>
    </message>
    <message id="velmorNotFound">
        <source>Метод не найден</source>
        <translation>Method not found</translation>
    </message>
    <message id="velmorUnauthorized">
        <source>Неверный логин или пароль</source>
        <translation>Wrong login or password</translation>
    </message>
    <message id="velmorMethodNotAllowed">
        <source>Метод запроса не поддерживается</source>
        <translation>Request method not supported</translation>
    </message>
    <message id="velmorClientRejected">
        <source>Клиент не найден</source>
        <translation>Client not found</translation>
    </message>
    <message id="velmorOrderExists">
        <source>Заказ с таким идентификатором уже существует</source>
        <translation>An order with this id already exists</translation>
    </message>
    <message id="velmorOrderCannotBeCancelled">
        <source>Заказ в статусе "%1" не может быть отменён</source>
        <translation>An order in status "%1" cannot be cancelled</translation>
    </message>
    <message id="velmorRefundIdConflict">
        <source>Возврат с этим идентификатором уже выполнен с другими позициями</source>
        <translation>A refund with this id has already been made with other positions</translation>
    </message>
    <message id="velmorOrderNotCompleted">
        <source>Заказ не оплачен, возврат невозможен</source>
        <translation>The order is not paid, it cannot be refunded</translation>
    </message>
    <message id="velmorExceedingRefundedAmount">
        <source>Сумма возврата превышает сумму заказа</source>
        <translation>The refund amount exceeds the order amount</translation>
    </message>
    <message id="velmorConnectionOk">
        <source>Связь с сервером Velmor есть, логин и пароль приняты</source>
        <translation>The Velmor server is reachable and accepted the login and password</translation>
    </message>
    <message id="velmorConnectionUnreachable">
        <source>Сервер Velmor недоступен: %1</source>
        <translation>The Velmor server cannot be reached: %1</translation>
    </message>
    <message id="velmorConnectionTls">
        <source>Защищенное соединение с сервером Velmor не установлено: %1</source>
        <translation>No secure connection to the Velmor server could be made: %1</translation>
    </message>
    <message id="velmorConnectionTimedOut">
        <source>Сервер Velmor не ответил вовремя: %1</source>
        <translation>The Velmor server did not answer in time: %1</translation>
    </message>
    <message id="velmorConnectionCredentialsRefused">
        <source>Сервер Velmor не принял логин и пароль (HTTP %1)</source>
        <translation>The Velmor server refused the login and password (HTTP %1)</translation>
    </message>
    <message id="velmorConnectionMeaningless">
        <source>Ответ на адресе сервера Velmor не похож на ответ сервиса (HTTP %1): проверьте адрес</source>
        <translation>What answers at the Velmor server's address is not the service (HTTP %1): check the address</translation>
    </message>
    <message id="velmorStateCreated">
        <source>Заказ создан</source>
        <translation>Order created</translation>
    </message>
    <message id="velmorStateScoring">
        <source>Заявка на рассмотрении</source>
        <translation>Application under review</translation>
    </message>
    <message id="velmorStateRejected">
        <source>Заявка отклонена</source>
        <translation>Application rejected</translation>
    </message>
    <message id="velmorStateApproved">
        <source>Заявка одобрена, первый платеж еще не внесен</source>
        <translation>Application approved, first instalment not paid yet</translation>
    </message>
    <message id="velmorStateCanceled">
        <source>Заказ отменен</source>
        <translation>Order cancelled</translation>
    </message>
    <message id="velmorStateRefunded">
        <source>Заказ возвращен полностью</source>
        <translation>Order refunded in full</translation>
    </message>
    <message id="velmorStateCompleted">
        <source>Заказ оплачен</source>
        <translation>Order paid</translation>
    </message>
    <message id="velmorStateProcessed">
        <source>Заказ обработан</source>
        <translation>Order processed</translation>
    </message>
    <message id="velmorStateUnknown">
        <source>Состояние заказа, неизвестное плагину: %1</source>
        <translation>Order state the plug-in does not know: %1</translation>
    </message>
    <message id="velmorStatusIncomplete">
        <source>В ответе сервера нет %1</source>
        <translation>The server's answer holds no %1</translation>
    </message>
    <message id="velmorSlipCopy">
        <source>КОПИЯ</source>
        <translation>COPY</translation>
    </message>
    <message id="velmorSlipService">
        <source>VELMOR: оплата в рассрочку</source>
        <translation>VELMOR: instalment payment</translation>
    </message>
    <message id="velmorSlipAmount">
        <source>Сумма</source>
        <translation>Amount</translation>
    </message>
    <message id="velmorSlipRoubles">
        <source>руб.</source>
        <translation>RUB</translation>
    </message>
    <message id="velmorSlipOrder">
        <source>Заказ</source>
        <translation>Order</translation>
    </message>
    <message id="velmorSlipQueued">
        <source>Операция будет завершена после восстановления связи с сервером</source>
        <translation>The operation will be completed once the server can be reached</translation>
    </message>
    <message id="velmorSlipSale">
        <source>Оплата</source>
        <translation>Payment</translation>
    </message>
    <message id="velmorSlipRefund">
        <source>Возврат</source>
        <translation>Refund</translation>
    </message>
    <message id="velmorSlipCancellation">
        <source>Отмена оплаты</source>
        <translation>Payment cancellation</translation>
    </message>
    <message id="velmorJournalUnusable">
        <source>Журнал операций Velmor %1 недоступен, операция не выполнена. Обратитесь к администратору</source>
        <translation>The Velmor operations journal %1 cannot be used; the operation was not carried out. Call the administrator</translation>
    </message>
    <message id="velmorEarlierRefundOpen">
        <source>Результат прежнего возврата по заказу %1 (%2, %3 руб.) еще неизвестен, новый возврат не выполнен. Проверьте заказ (till status --rrn) и очередь (till queue)</source>
        <translation>The outcome of an earlier refund of order %1 (%2, %3 RUB) is not known yet; the new refund was not made. Check the order (till status --rrn) and the queue (till queue)</translation>
    </message>
    <message id="velmorReportSales">
        <source>Оплаты</source>
        <translation>Payments</translation>
    </message>
    <message id="velmorReportRefunds">
        <source>Возвраты</source>
        <translation>Refunds</translation>
    </message>
    <message id="velmorReportCancellations">
        <source>Отмены оплаты</source>
        <translation>Payment cancellations</translation>
    </message>
    <message id="velmorReportQueued">
        <source>В очереди</source>
        <translation>In the queue</translation>
    </message>
    <message id="velmorReportUnknown">
        <source>Результат неизвестен</source>
        <translation>Outcome unknown</translation>
    </message>
    <message id="velmorReportReversals">
        <source>Оплаты без ответа кассе, отменены</source>
        <translation>Payments without an answer to the till, cancelled</translation>
    </message>
    <message id="velmorReportFailed">
        <source>Не выполнены</source>
        <translation>Not carried out</translation>
    </message>
    <message id="velmorReportDone">
        <source>выполнено</source>
        <translation>done</translation>
    </message>
    <message id="velmorReportInQueue">
        <source>в очереди</source>
        <translation>in the queue</translation>
    </message>
    <message id="velmorReportNotKnown">
        <source>результат неизвестен</source>
        <translation>outcome unknown</translation>
    </message>
    <message id="velmorReportReversed">
        <source>отменено через очередь</source>
        <translation>cancelled through the queue</translation>
    </message>
    <message id="velmorReportNotDone">
        <source>не выполнено</source>
        <translation>not done</translation>
    </message>
    <message id="velmorReportFull">
        <source>Отчет за смену</source>
        <translation>Shift report</translation>
    </message>
    <message id="velmorReportShort">
        <source>Краткий отчет за смену</source>
        <translation>Short shift report</translation>
    </message>
    <message id="velmorReportReady">
        <source>Отчет Velmor за смену: операций %1</source>
        <translation>Velmor shift report: %1 operations</translation>
    </message>
    <message id="velmorCopyNone">
        <source>Нет слипа Velmor, который можно напечатать снова</source>
        <translation>There is no Velmor slip to print again</translation>
    </message>
    <message id="velmorCopyReady">
        <source>Копия слипа Velmor по заказу %1</source>
        <translation>Copy of the Velmor slip of order %1</translation>
    </message>
    <message id="velmorReconcilePaidNotAtService">
        <source>Заказ %1: по кассе оплачен, на сервере %2</source>
        <translation>Order %1: paid at the till, %2 at the server</translation>
    </message>
    <message id="velmorReconcileFailedButPaid">
        <source>Заказ %1: по кассе не оплачен, на сервере %2</source>
        <translation>Order %1: not paid at the till, %2 at the server</translation>
    </message>
    <message id="velmorReconcileRefundedDiffers">
        <source>Заказ %1: по кассе возвращено %2 руб., на сервере %3 руб.</source>
        <translation>Order %1: %2 RUB refunded at the till, %3 RUB at the server</translation>
    </message>
    <message id="velmorReconcileStillOpen">
        <source>Заказ %1: операция не завершена (в очереди или без известного результата)</source>
        <translation>Order %1: an operation is not finished (in the queue or of unknown outcome)</translation>
    </message>
    <message id="velmorReconcileTitle">
        <source>Сверка итогов за смену</source>
        <translation>Shift totals reconciliation</translation>
    </message>
    <message id="velmorReconcileTillSales">
        <source>Оплаты по кассе</source>
        <translation>Payments at the till</translation>
    </message>
    <message id="velmorReconcileTillRefunds">
        <source>Возвраты и отмены по кассе</source>
        <translation>Refunds and cancellations at the till</translation>
    </message>
    <message id="velmorReconcileServiceSales">
        <source>Оплачено на сервере</source>
        <translation>Paid at the server</translation>
    </message>
    <message id="velmorReconcileServiceRefunded">
        <source>Возвращено на сервере</source>
        <translation>Refunded at the server</translation>
    </message>
    <message id="velmorReconcileNotAsked">
        <source>Заказ %1: сервер не дал ответа о нем, не проверен</source>
        <translation>Order %1: the server gave no answer about it, not checked</translation>
    </message>
    <message id="velmorReconcileNoService">
        <source>Сверка Velmor не выполнена: сервер не ответил ни по одному из заказов (%1)</source>
        <translation>Velmor reconciliation not done: the server answered about none of the orders (%1)</translation>
    </message>
    <message id="velmorReconcileAgreed">
        <source>Сверка Velmor сошлась, заказов: %1</source>
        <translation>Velmor reconciliation agrees, orders: %1</translation>
    </message>
    <message id="velmorReconcileMismatches">
        <source>Сверка Velmor: расхождений %1, не проверено заказов %2. %3</source>
        <translation>Velmor reconciliation: %1 mismatches, %2 orders not checked. %3</translation>
    </message>
    <message id="velmorReconcileProgress">
        <source>Сверка итогов: заказ %1 из %2</source>
        <translation>Reconciliation: order %1 of %2</translation>
    </message>
</context>
</TS>
