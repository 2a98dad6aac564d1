<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="ru">
<!-- Messages by id (lrelease -idbased): the source is the Russian text the code builds. -->
<context>
    <name></name>
    <message id="velmorScanTitle">
        <source>Ввод QR-кода VELMOR</source>
        <translation>Ввод QR-кода VELMOR</translation>
    </message>
    <message id="velmorScanMessage">
        <source>Отсканируйте QR-код VELMOR</source>
        <translation>Отсканируйте QR-код VELMOR</translation>
    </message>
    <message id="basicPaymentProcessingPayment">
        <source>Операция оплаты недоступна</source>
        <translation>Операция оплаты недоступна</translation>
    </message>
    <message id="basicPaymentProcessingChange">
        <source>Операция сдачи недоступна</source>
        <translation>Операция сдачи недоступна</translation>
    </message>
    <message id="basicPaymentProcessingCancel">
        <source>Операция отмены недоступна</source>
        <translation>Операция отмены недоступна</translation>
    </message>
    <message id="basicPaymentProcessingCheckTotals">
        <source>Операция печати короткого отчета недоступна</source>
        <translation>Операция печати короткого отчета недоступна</translation>
    </message>
    <message id="basicPaymentProcessingCheckTotalsByMerchant">
        <source>Операция сверки итогов для юр. лица недоступна</source>
        <translation>Операция сверки итогов для юр. лица недоступна</translation>
    </message>
    <message id="basicPaymentProcessingPrintCopy">
        <source>Операция печати копии недоступна</source>
        <translation>Операция печати копии недоступна</translation>
    </message>
    <message id="basicPaymentProcessingPrintReport">
        <source>Операция печати полного отчета недоступна</source>
        <translation>Операция печати полного отчета недоступна</translation>
    </message>
    <message id="basicPaymentProcessingPrintReportByMerchant">
        <source>Операция печати полного отчета для юр. лица недоступна</source>
        <translation>Операция печати полного отчета для юр. лица недоступна</translation>
    </message>
    <message id="basicPaymentProcessingPrintShortReport">
        <source>Операция печати короткого отчета недоступна</source>
        <translation>Операция печати короткого отчета недоступна</translation>
    </message>
    <message id="basicPaymentProcessingBalance">
        <source>Операция запроса баланса недоступна</source>
        <translation>Операция запроса баланса недоступна</translation>
    </message>
    <message id="basicPaymentProcessingDiscountCard">
        <source>Операция получения скидочной карты недоступна</source>
        <translation>Операция получения скидочной карты недоступна</translation>
    </message>
    <message id="basicPaymentProcessingLoyaltyCards">
        <source>Операция получения списка карт лояльности недоступна</source>
        <translation>Операция получения списка карт лояльности недоступна</translation>
    </message>
    <message id="basicPaymentProcessingTestConnection">
        <source>Операция проверки связи недоступна</source>
        <translation>Операция проверки связи недоступна</translation>
    </message>
    <message id="basicPaymentProcessingDemandPinCode">
        <source>Операция запроса пин-кода недоступна</source>
        <translation>Операция запроса пин-кода недоступна</translation>
    </message>
    <message id="basicPaymentProcessingDemandQrCode">
        <source>Операция запроса QR-кода недоступна</source>
        <translation>Операция запроса QR-кода недоступна</translation>
    </message>
    <message id="basicPaymentProcessingGetPaymentByQRCodeStatus">
        <source>Операция получения статуса оплаты по QR-коду недоступна</source>
        <translation>Операция получения статуса оплаты по QR-коду недоступна</translation>
    </message>
    <message id="basicPaymentProcessingPaymentByQRCodeOnPinPad">
        <source>Операция оплаты по QR-коду на PinPad недоступна</source>
        <translation>Операция оплаты по QR-коду на PinPad недоступна</translation>
    </message>
    <message id="basicPaymentProcessingCancelByQRCodeOnPinPad">
        <source>Операция отмены оплаты по QR-коду на PinPad недоступна</source>
        <translation>Операция отмены оплаты по QR-коду на PinPad недоступна</translation>
    </message>
    <message id="basicPaymentProcessingGetHashedCardNumber">
        <source>Операция получения хэшированного номера карты недоступна</source>
        <translation>Операция получения хэшированного номера карты недоступна</translation>
    </message>
    <message id="velmorNoDocument">
        <source>Нет текущего чека</source>
        <translation>Нет текущего чека</translation>
    </message>
    <message id="velmorReceiptTooLarge">
        <source>Чек слишком велик для оплаты VELMOR: уменьшите число позиций</source>
        <translation>Чек слишком велик для оплаты VELMOR: уменьшите число позиций</translation>
    </message>
    <message id="velmorProgressCreateMessage">
        <source>Создание заказа VELMOR...</source>
        <translation>Создание заказа VELMOR...</translation>
    </message>
    <message id="velmorProgressApprovedMessage">
        <source>Заявка одобрена, ожидание первого платежа...</source>
        <translation>Заявка одобрена, ожидание первого платежа...</translation>
    </message>
    <message id="velmorProgressInfoMessage">
        <source>Получение статуса заказа...</source>
        <translation>Получение статуса заказа...</translation>
    </message>
    <message id="velmorProgressOrderState">
        <source>Состояние заказа: %1</source>
        <translation>Состояние заказа: %1</translation>
    </message>
    <message id="velmorOrderStateCreated">
        <source>заказ создан, заявка ещё не рассмотрена</source>
        <translation>заказ создан, заявка ещё не рассмотрена</translation>
    </message>
    <message id="velmorOrderStateScoring">
        <source>заявка на рассмотрении, решения ещё нет</source>
        <translation>заявка на рассмотрении, решения ещё нет</translation>
    </message>
    <message id="velmorOrderStateApproved">
        <source>заявка одобрена, ожидается первый платёж</source>
        <translation>заявка одобрена, ожидается первый платёж</translation>
    </message>
    <message id="velmorOrderStateRefunded">
        <source>по заказу сделан возврат</source>
        <translation>по заказу сделан возврат</translation>
    </message>
    <message id="velmorOrderStateProcessed">
        <source>заказ обработан</source>
        <translation>заказ обработан</translation>
    </message>
    <message id="velmorCancelQueued">
        <source>%1.
Отмена будет выполнена после восстановления связи с сервером</source>
        <translation>%1.
Отмена будет выполнена после восстановления связи с сервером</translation>
    </message>
    <message id="velmorOrderNeverArrived">
        <source>Сервер не получил заказ, оплата не выполнена</source>
        <translation>Сервер не получил заказ, оплата не выполнена</translation>
    </message>
    <message id="velmorOutcomeUnknown">
        <source>Сервер не ответил, результат операции неизвестен. Не повторяйте её, пока не проверите заказ %1</source>
        <translation>Сервер не ответил, результат операции неизвестен. Не повторяйте её, пока не проверите заказ %1</translation>
    </message>
    <message id="velmorConfigUnusable">
        <source>Файл настроек Velmor %1 не читается, операция не выполнена. Обратитесь к администратору</source>
        <translation>Файл настроек Velmor %1 не читается, операция не выполнена. Обратитесь к администратору</translation>
    </message>
    <message id="velmorNoUsefulAnswer">
        <source>Ошибка связи с сервером</source>
        <translation>Ошибка связи с сервером</translation>
    </message>
    <message id="velmorRejected">
        <source>Заявка отклонена</source>
        <translation>Заявка отклонена</translation>
    </message>
    <message id="velmor">
        <source>Ошибка сервиса VELMOR</source>
        <translation>Ошибка сервиса VELMOR</translation>
    </message>
    <message id="velmorInvalidRequest">
        <source>Некорректный запрос: %1</source>
        <translation>Некорректный запрос: %1</translation>
    </message>
    <message id="velmorOrderNotFound">
        <source>Заказ не найден</source>
        <translation>Заказ не найден</translation>
    </message>
    <message id="velmorServiceError">
        <source>Внутренняя ошибка сервиса</source>
        <translation>Внутренняя ошибка сервиса</translation>
    </message>
    <message id="velmorNotFound">
        <source>Метод не найден</source>
        <translation>Метод не найден</translation>
    </message>
    <message id="velmorUnauthorized">
        <source>Неверный логин или пароль</source>
        <translation>Неверный логин или пароль</translation>
    </message>
    <message id="velmorMethodNotAllowed">
        <source>Метод запроса не поддерживается</source>
        <translation>Метод запроса не поддерживается</translation>
    </message>
    <message id="velmorClientRejected">
        <source>Клиент не найден</source>
        <translation>Клиент не найден</translation>
    </message>
    <message id="velmorOrderExists">
        <source>Заказ с таким идентификатором уже существует</source>
        <translation>Заказ с таким идентификатором уже существует</translation>
    </message>
    <message id="velmorOrderCannotBeCancelled">
        <source>Заказ в статусе "%1" не может быть отменён</source>
        <translation>Заказ в статусе "%1" не может быть отменён</translation>
    </message>
    <message id="velmorRefundIdConflict">
        <source>Возврат с этим идентификатором уже выполнен с другими позициями</source>
        <translation>Возврат с этим идентификатором уже выполнен с другими позициями</translation>
    </message>
    <message id="velmorOrderNotCompleted">
        <source>Заказ не оплачен, возврат невозможен</source>
        <translation>Заказ не оплачен, возврат невозможен</translation>
    </message>
    <message id="velmorExceedingRefundedAmount">
        <source>Сумма возврата превышает сумму заказа</source>
        <translation>Сумма возврата превышает сумму заказа</translation>
    </message>
    <message id="velmorConnectionOk">
        <source>Связь с сервером Velmor есть, логин и пароль приняты</source>
        <translation>Связь с сервером Velmor есть, логин и пароль приняты</translation>
    </message>
    <message id="velmorConnectionUnreachable">
        <source>Сервер Velmor недоступен: %1</source>
        <translation>Сервер Velmor недоступен: %1</translation>
    </message>
    <message id="velmorConnectionTls">
        <source>Защищенное соединение с сервером Velmor не установлено: %1</source>
        <translation>Защищенное соединение с сервером Velmor не установлено: %1</translation>
    </message>
    <message id="velmorConnectionTimedOut">
        <source>Сервер Velmor не ответил вовремя: %1</source>
        <translation>Сервер Velmor не ответил вовремя: %1</translation>
    </message>
    <message id="velmorConnectionCredentialsRefused">
        <source>Сервер Velmor не принял логин и пароль (HTTP %1)</source>
        <translation>Сервер Velmor не принял логин и пароль (HTTP %1)</translation>
    </message>
    <message id="velmorConnectionMeaningless">
        <source>Ответ на адресе сервера Velmor не похож на ответ сервиса (HTTP %1): проверьте адрес</source>
        <translation>Ответ на адресе сервера Velmor не похож на ответ сервиса (HTTP %1): проверьте адрес</translation>
    </message>
    <message id="velmorStateCreated">
        <source>Заказ создан</source>
        <translation>Заказ создан</translation>
    </message>
    <message id="velmorStateScoring">
        <source>Заявка на рассмотрении</source>
        <translation>Заявка на рассмотрении</translation>
    </message>
    <message id="velmorStateRejected">
        <source>Заявка отклонена</source>
        <translation>Заявка отклонена</translation>
    </message>
    <message id="velmorStateApproved">
        <source>Заявка одобрена, первый платеж еще не внесен</source>
        <translation>Заявка одобрена, первый платеж еще не внесен</translation>
    </message>
    <message id="velmorStateCanceled">
        <source>Заказ отменен</source>
        <translation>Заказ отменен</translation>
    </message>
    <message id="velmorStateRefunded">
        <source>Заказ возвращен полностью</source>
        <translation>Заказ возвращен полностью</translation>
    </message>
    <message id="velmorStateCompleted">
        <source>Заказ оплачен</source>
        <translation>Заказ оплачен</translation>
    </message>
    <message id="velmorStateProcessed">
        <source>Заказ обработан</source>
        <translation>Заказ обработан</translation>
    </message>
    <message id="velmorStateUnknown">
        <source>Состояние заказа, неизвестное плагину: %1</source>
        <translation>Состояние заказа, неизвестное плагину: %1</translation>
    </message>
    <message id="velmorStatusIncomplete">
        <source>В ответе сервера нет %1</source>
        <translation>В ответе сервера нет %1</translation>
    </message>
    <message id="velmorSlipCopy">
        <source>КОПИЯ</source>
        <translation>КОПИЯ</translation>
    </message>
    <message id="velmorSlipService">
        <source>VELMOR: оплата в рассрочку</source>
        <translation>VELMOR: оплата в рассрочку</translation>
    </message>
    <message id="velmorSlipAmount">
        <source>Сумма</source>
        <translation>Сумма</translation>
    </message>
    <message id="velmorSlipRoubles">
        <source>руб.</source>
        <translation>руб.</translation>
    </message>
    <message id="velmorSlipOrder">
        <source>Заказ</source>
        <translation>Заказ</translation>
    </message>
    <message id="velmorSlipQueued">
        <source>Операция будет завершена после восстановления связи с сервером</source>
        <translation>Операция будет завершена после восстановления связи с сервером</translation>
    </message>
    <message id="velmorSlipSale">
        <source>Оплата</source>
        <translation>Оплата</translation>
    </message>
    <message id="velmorSlipRefund">
        <source>Возврат</source>
        <translation>Возврат</translation>
    </message>
    <message id="velmorSlipCancellation">
        <source>Отмена оплаты</source>
        <translation>Отмена оплаты</translation>
    </message>
    <message id="velmorJournalUnusable">
        <source>Журнал операций Velmor %1 недоступен, операция не выполнена. Обратитесь к администратору</source>
        <translation>Журнал операций Velmor %1 недоступен, операция не выполнена. Обратитесь к администратору</translation>
    </message>
    <message id="velmorEarlierRefundOpen">
        <source>Результат прежнего возврата по заказу %1 (%2, %3 руб.) еще неизвестен, новый возврат не выполнен. Проверьте заказ (till status --rrn) и очередь (till queue)</source>
        <translation>Результат прежнего возврата по заказу %1 (%2, %3 руб.) еще неизвестен, новый возврат не выполнен. Проверьте заказ (till status --rrn) и очередь (till queue)</translation>
    </message>
    <message id="velmorReportSales">
        <source>Оплаты</source>
        <translation>Оплаты</translation>
    </message>
    <message id="velmorReportRefunds">
        <source>Возвраты</source>
        <translation>Возвраты</translation>
    </message>
    <message id="velmorReportCancellations">
        <source>Отмены оплаты</source>
        <translation>Отмены оплаты</translation>
    </message>
    <message id="velmorReportQueued">
        <source>В очереди</source>
        <translation>В очереди</translation>
    </message>
    <message id="velmorReportUnknown">
        <source>Результат неизвестен</source>
        <translation>Результат неизвестен</translation>
    </message>
    <message id="velmorReportReversals">
        <source>Оплаты без ответа кассе, отменены</source>
        <translation>Оплаты без ответа кассе, отменены</translation>
    </message>
    <message id="velmorReportFailed">
        <source>Не выполнены</source>
        <translation>Не выполнены</translation>
    </message>
    <message id="velmorReportDone">
        <source>выполнено</source>
        <translation>выполнено</translation>
    </message>
    <message id="velmorReportInQueue">
        <source>в очереди</source>
        <translation>в очереди</translation>
    </message>
    <message id="velmorReportNotKnown">
        <source>результат неизвестен</source>
        <translation>результат неизвестен</translation>
    </message>
    <message id="velmorReportReversed">
        <source>отменено через очередь</source>
        <translation>отменено через очередь</translation>
    </message>
    <message id="velmorReportNotDone">
        <source>не выполнено</source>
        <translation>не выполнено</translation>
    </message>
    <message id="velmorReportFull">
        <source>Отчет за смену</source>
        <translation>Отчет за смену</translation>
    </message>
    <message id="velmorReportShort">
        <source>Краткий отчет за смену</source>
        <translation>Краткий отчет за смену</translation>
    </message>
    <message id="velmorReportReady">
        <source>Отчет Velmor за смену: операций %1</source>
        <translation>Отчет Velmor за смену: операций %1</translation>
    </message>
    <message id="velmorCopyNone">
        <source>Нет слипа Velmor, который можно напечатать снова</source>
        <translation>Нет слипа Velmor, который можно напечатать снова</translation>
    </message>
    <message id="velmorCopyReady">
        <source>Копия слипа Velmor по заказу %1</source>
        <translation>Копия слипа Velmor по заказу %1</translation>
    </message>
    <message id="velmorReconcilePaidNotAtService">
        <source>Заказ %1: по кассе оплачен, на сервере %2</source>
        <translation>Заказ %1: по кассе оплачен, на сервере %2</translation>
    </message>
    <message id="velmorReconcileFailedButPaid">
        <source>Заказ %1: по кассе не оплачен, на сервере %2</source>
        <translation>Заказ %1: по кассе не оплачен, на сервере %2</translation>
    </message>
    <message id="velmorReconcileRefundedDiffers">
        <source>Заказ %1: по кассе возвращено %2 руб., на сервере %3 руб.</source>
        <translation>Заказ %1: по кассе возвращено %2 руб., на сервере %3 руб.</translation>
    </message>
    <message id="velmorReconcileStillOpen">
        <source>Заказ %1: операция не завершена (в очереди или без известного результата)</source>
        <translation>Заказ %1: операция не завершена (в очереди или без известного результата)</translation>
    </message>
    <message id="velmorReconcileTitle">
        <source>Сверка итогов за смену</source>
        <translation>Сверка итогов за смену</translation>
    </message>
    <message id="velmorReconcileTillSales">
        <source>Оплаты по кассе</source>
        <translation>Оплаты по кассе</translation>
    </message>
    <message id="velmorReconcileTillRefunds">
        <source>Возвраты и отмены по кассе</source>
        <translation>Возвраты и отмены по кассе</translation>
    </message>
    <message id="velmorReconcileServiceSales">
        <source>Оплачено на сервере</source>
        <translation>Оплачено на сервере</translation>
    </message>
    <message id="velmorReconcileServiceRefunded">
        <source>Возвращено на сервере</source>
        <translation>Возвращено на сервере</translation>
    </message>
    <message id="velmorReconcileNotAsked">
        <source>Заказ %1: сервер не дал ответа о нем, не проверен</source>
        <translation>Заказ %1: сервер не дал ответа о нем, не проверен</translation>
    </message>
    <message id="velmorReconcileNoService">
        <source>Сверка Velmor не выполнена: сервер не ответил ни по одному из заказов (%1)</source>
        <translation>Сверка Velmor не выполнена: сервер не ответил ни по одному из заказов (%1)</translation>
    </message>
    <message id="velmorReconcileAgreed">
        <source>Сверка Velmor сошлась, заказов: %1</source>
        <translation>Сверка Velmor сошлась, заказов: %1</translation>
    </message>
    <message id="velmorReconcileMismatches">
        <source>Сверка Velmor: расхождений %1, не проверено заказов %2. %3</source>
        <translation>Сверка Velmor: расхождений %1, не проверено заказов %2. %3</translation>
    </message>
    <message id="velmorReconcileProgress">
        <source>Сверка итогов: заказ %1 из %2</source>
        <translation>Сверка итогов: заказ %1 из %2</translation>
    </message>
</context>
</TS>
