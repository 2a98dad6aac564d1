#include "guitext.h"

#include <till/catalogue.h>
#include <velmor/rounding.h>

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace tillgui {

namespace {

QString currentLanguage = QStringLiteral("ru");

const QHash<QString, QString> &russian()
{
    static const QHash<QString, QString> texts = {
        {QStringLiteral("Till"), QStringLiteral("Касса")},
        {QStringLiteral("No."), QStringLiteral("№")},
        {QStringLiteral("Article"), QStringLiteral("Артикул")},
        {QStringLiteral("Name"), QStringLiteral("Наименование")},
        {QStringLiteral("Quantity"), QStringLiteral("Количество")},
        {QStringLiteral("Returned"), QStringLiteral("Возврат")},
        {QStringLiteral("To return"), QStringLiteral("Вернуть")},
        {QStringLiteral("Sum"), QStringLiteral("Сумма")},
        {QStringLiteral("Total %1, prepaid %2, to pay %3"),
         QStringLiteral("Итого %1, предоплата %2, к оплате %3")},
        {QStringLiteral("No current receipt"), QStringLiteral("Нет текущего чека")},
        {QStringLiteral("Amount, roubles:"), QStringLiteral("Сумма, руб.:")},
        {QStringLiteral("Type the amount in roubles, for example 1500.00"),
         QStringLiteral("Введите сумму в рублях, например 1500.00")},
        {QStringLiteral("The amount is too large"), QStringLiteral("Сумма слишком велика")},
        {QStringLiteral("The amount must be more than zero"),
         QStringLiteral("Сумма должна быть больше нуля")},
        {QStringLiteral("The amount %1 is more than the %2 left to pay on the receipt"),
         QStringLiteral("Сумма %1 больше, чем осталось оплатить по чеку: %2")},
        {QStringLiteral("The amount %1 is more than the receipt's total %2"),
         QStringLiteral("Сумма %1 больше суммы чека %2")},
        {QStringLiteral("Sale"), QStringLiteral("Продажа")},
        {QStringLiteral("Refund"), QStringLiteral("Возврат")},
        {QStringLiteral("Cancel payment"), QStringLiteral("Отмена оплаты")},
        {QStringLiteral("Queue (%1)"), QStringLiteral("Очередь (%1)")},
        {QStringLiteral("Cancel"), QStringLiteral("Отмена")},
        {QStringLiteral("Back"), QStringLiteral("Назад")},
        {QStringLiteral("Done"), QStringLiteral("Готово")},
        {QStringLiteral("Code:"), QStringLiteral("Код:")},
        {QStringLiteral("Cancelling the order..."), QStringLiteral("Отмена заказа...")},
        {QStringLiteral("The cancellation is accepted; the sale ends at the next status request"),
         QStringLiteral("Отмена принята, продажа завершится при следующем запросе статуса")},
        {QStringLiteral("The cancellation was not confirmed; press Cancel to try again"),
         QStringLiteral("Отмена не подтверждена, нажмите «Отмена» ещё раз")},
        {QStringLiteral("Paid %1"), QStringLiteral("Оплачено %1")},
        {QStringLiteral("Rejected"), QStringLiteral("Отклонено")},
        {QStringLiteral("Cancelled"), QStringLiteral("Отменено")},
        {QStringLiteral("Refund of %1 done"), QStringLiteral("Возврат %1 выполнен")},
        {QStringLiteral("Refund not made"), QStringLiteral("Возврат не выполнен")},
        {QStringLiteral("Cancellation not made"), QStringLiteral("Отмена не выполнена")},
        {QStringLiteral("Refund of %1 will be carried out once the connection is back"),
         QStringLiteral("Возврат %1 будет выполнен после восстановления связи")},
        {QStringLiteral("Paid"), QStringLiteral("Оплачено")},
        {QStringLiteral("Refund done"), QStringLiteral("Возврат выполнен")},
        {QStringLiteral("Refund queued"), QStringLiteral("Возврат в очереди")},
        {QStringLiteral("Cancellation queued"), QStringLiteral("Отмена в очереди")},
        {QStringLiteral("Outcome unknown"), QStringLiteral("Результат неизвестен")},
        {QStringLiteral("Payment of %1"), QStringLiteral("Оплата %1")},
        {QStringLiteral("Refund of %1"), QStringLiteral("Возврат %1")},
        {QStringLiteral("Cancellation of a payment of %1"), QStringLiteral("Отмена оплаты %1")},
        {QStringLiteral("Order %1"), QStringLiteral("Заказ %1")},
        {QStringLiteral("%1, amount %2"), QStringLiteral("%1, сумма %2")},
        {QStringLiteral("%1, order %2"), QStringLiteral("%1, заказ %2")},
        {QStringLiteral("Reference (RRN):"), QStringLiteral("Ссылка (RRN):")},
        {QStringLiteral("Refund of a sale"), QStringLiteral("Возврат по продаже")},
        {QStringLiteral("Cancellation of a payment"), QStringLiteral("Отмена оплаты")},
        {QStringLiteral("Amount to return: %1"), QStringLiteral("Сумма возврата: %1")},
        {QStringLiteral("Choose at least one position to return"),
         QStringLiteral("Выберите хотя бы одну позицию для возврата")},
        {QStringLiteral("Type the reference (RRN) of the sale"),
         QStringLiteral("Введите ссылку (RRN) продажи")},
        {QStringLiteral("Cancel the payment"), QStringLiteral("Отменить оплату")},
        {QStringLiteral("Queued messages"), QStringLiteral("Сообщения в очереди")},
        {QStringLiteral("Added"), QStringLiteral("Добавлено")},
        {QStringLiteral("Attempts"), QStringLiteral("Попытки")},
        {QStringLiteral("Order"), QStringLiteral("Заказ")},
        {QStringLiteral("Type"), QStringLiteral("Тип")},
        {QStringLiteral("Replay"), QStringLiteral("Отправить")},
        {QStringLiteral("The queue cannot be read: %1"), QStringLiteral("Очередь не читается: %1")},
        {QStringLiteral("Another operation is running"),
         QStringLiteral("Выполняется другая операция")},
        {QStringLiteral("Waiting for the sale to end before closing"),
         QStringLiteral("Ожидание завершения продажи перед закрытием")},
        {QStringLiteral("Answer"), QStringLiteral("Ответ")},
        {QStringLiteral("%1 is not an order id: type or paste the order of the sale"),
         QStringLiteral("%1 — не номер заказа: введите или вставьте заказ продажи")},
        {QStringLiteral("%1 roubles"), QStringLiteral("%1 руб.")},
        {QStringLiteral("%1, order %2: %3"), QStringLiteral("%1, заказ %2: %3")},
        {QStringLiteral(", %1 stay in the queue"), QStringLiteral(", в очереди осталось: %1")},
        {QStringLiteral("... and %1 more"), QStringLiteral("... и ещё %1")},
        {QStringLiteral("A cancellation of this order already waits in the queue"),
         QStringLiteral("Отмена этого заказа уже ждёт в очереди")},
        {QStringLiteral("A refund of %1 for this order already waits in the queue: confirming "
                        "queues the same refund a second time"),
         QStringLiteral("Возврат %1 по этому заказу уже ждёт в очереди: подтверждение поставит тот "
                        "же возврат второй раз")},
        {QStringLiteral("Cancel the payment of %1 for order %2: the buyer's money goes back"),
         QStringLiteral("Отменить оплату %1 по заказу %2: деньги вернутся покупателю")},
        {QStringLiteral("Cancellation"), QStringLiteral("Отмена")},
        {QStringLiteral("Cancellation of %1 will be carried out once the connection is back"),
         QStringLiteral("Отмена %1 будет выполнена после восстановления связи")},
        {QStringLiteral("Cancelled by the cashier"), QStringLiteral("Отменено кассиром")},
        {QStringLiteral("Cancelled by the service"), QStringLiteral("Отменено сервисом")},
        {QStringLiteral("Confirm the cancellation"), QStringLiteral("Подтверждение отмены оплаты")},
        {QStringLiteral("Confirm the refund"), QStringLiteral("Подтверждение возврата")},
        {QStringLiteral("No answer from the service"), QStringLiteral("Сервис не ответил")},
        {QStringLiteral("Nobody knows yet whether the money moved: check the order's state before "
                        "repeating anything"),
         QStringLiteral("Пока неизвестно, прошли ли деньги: проверьте состояние заказа, прежде чем "
                        "что-либо повторять")},
        {QStringLiteral("Not paid, cancellation queued"),
         QStringLiteral("Не оплачено, отмена в очереди")},
        {QStringLiteral(
             "Not paid: the order's cancellation will be sent once the connection is back"),
         QStringLiteral("Не оплачено: отмена заказа будет отправлена после восстановления связи")},
        {QStringLiteral("Nothing went back to the buyer"),
         QStringLiteral("Покупателю ничего не возвращено")},
        {QStringLiteral("Payment not made"), QStringLiteral("Оплата не выполнена")},
        {QStringLiteral("Payment of %1 cancelled"), QStringLiteral("Оплата %1 отменена")},
        {QStringLiteral("Press %1 to confirm, Enter or Escape to go back"),
         QStringLiteral("%1 — подтвердить, Enter или Escape — назад")},
        {QStringLiteral("Queue: %1 of %2 messages finished"),
         QStringLiteral("Очередь: завершено сообщений: %1 из %2")},
        {QStringLiteral("Queue: nothing went through, %1 messages stay in the queue until the "
                        "service answers"),
         QStringLiteral(
             "Очередь: ничего не отправлено, сообщений в очереди: %1, до ответа сервиса")},
        {QStringLiteral("Return %1"), QStringLiteral("Вернуть %1")},
        {QStringLiteral("Return %1 to the buyer for order %2"),
         QStringLiteral("Вернуть покупателю %1 по заказу %2")},
        {QStringLiteral("Sale of %1 cancelled by the cashier"),
         QStringLiteral("Продажа %1 отменена кассиром")},
        {QStringLiteral("Sale of %1 cancelled by the service"),
         QStringLiteral("Продажа %1 отменена сервисом")},
        {QStringLiteral("Sending the queue to the service..."),
         QStringLiteral("Отправка очереди в сервис...")},
        {QStringLiteral(
             "The buyer gets the money once the queue is sent (F5); do not repeat the refund"),
         QStringLiteral(
             "Покупатель получит деньги после отправки очереди (F5); не повторяйте возврат")},
        {QStringLiteral("The buyer was not refused and the money was not taken. Try again or take "
                        "another payment"),
         QStringLiteral("Покупателю не отказано, деньги не списаны. Повторите оплату или примите "
                        "другой способ оплаты")},
        {QStringLiteral("The buyer's money goes back"),
         QStringLiteral("Деньги вернутся покупателю")},
        {QStringLiteral("The buyer's money goes back once the queue is sent (F5); do not repeat "
                        "the cancellation"),
         QStringLiteral(
             "Деньги вернутся покупателю после отправки очереди (F5); не повторяйте отмену")},
        {QStringLiteral("The buyer's money was not taken"),
         QStringLiteral("Деньги покупателя не списаны")},
        {QStringLiteral(
             "The lender refused the buyer; the money was not taken. Offer another way to pay"),
         QStringLiteral(
             "Кредитор отказал покупателю, деньги не списаны. Предложите другой способ оплаты")},
        {QStringLiteral("The money goes back to the buyer"),
         QStringLiteral("Деньги вернутся покупателю")},
        {QStringLiteral("The payment does not count; if the buyer's money was taken, the "
                        "cancellation gives it back. Take another payment"),
         QStringLiteral("Оплата не засчитана; если деньги покупателя списаны, отмена их вернёт. "
                        "Примите другую оплату")},
        {QStringLiteral("The payment is accepted; the receipt is paid"),
         QStringLiteral("Оплата принята, чек оплачен")},
        {QStringLiteral("The payment stands; nothing went back to the buyer"),
         QStringLiteral("Оплата в силе, покупателю ничего не возвращено")},
        {QStringLiteral("The receipt is paid: nothing is left to pay"),
         QStringLiteral("Чек оплачен: к оплате ничего не осталось")},
        {QStringLiteral("Total %1, prepaid %2, paid here %3, to pay %4"),
         QStringLiteral("Итого %1, предоплата %2, оплачено %3, к оплате %4")},
        {QStringLiteral("left the queue; the order now: %1, refunded %2"),
         QStringLiteral("ушло из очереди; заказ сейчас: %1, возвращено %2")},
        {QStringLiteral("left the queue; the order's state could not be read: %1"),
         QStringLiteral("ушло из очереди; состояние заказа не прочитано: %1")},
        {QStringLiteral("not sent, stays in the queue"),
         QStringLiteral("не отправлено, осталось в очереди")},
        {QStringLiteral("sent, but the queue could not record it"),
         QStringLiteral("отправлено, но очередь не смогла это записать")},
        {QStringLiteral("Order state: not reported yet; do not tell the buyer it is approved yet"),
         QStringLiteral("Состояние заказа ещё не получено; не говорите покупателю, что заявка "
                        "одобрена")},
        {QStringLiteral("Do not tell the buyer it is approved yet: the lender has not decided"),
         QStringLiteral("Не говорите покупателю, что заявка одобрена: кредитор ещё не решил")},
        {QStringLiteral("Waiting for the service's answer; each request may take up to %1 s"),
         QStringLiteral("Ожидание ответа сервиса; каждый запрос может занять до %1 с")},
        {QStringLiteral("A code was scanned before the sale: press F2, then scan it"),
         QStringLiteral("Код отсканирован до начала продажи: нажмите F2, затем сканируйте код")},
    };
    return texts;
}

} // namespace

namespace guitext {

bool isLanguage(const QString &language)
{
    return language == QLatin1String("ru") || language == QLatin1String("en");
}

void setLanguage(const QString &language)
{
    currentLanguage = isLanguage(language) ? language : QStringLiteral("ru");
}

QString language()
{
    return currentLanguage;
}

QString text(const char *english)
{
    const QString key = QString::fromUtf8(english);
    if (currentLanguage == QLatin1String("en"))
        return key;
    return russian().value(key, key);
}

bool loadCatalogue(const QString &language, const QString &pluginFile, QString *error)
{
    till::Catalogue &catalogue = till::Catalogue::shown();
    if (catalogue.load(language, till::Catalogue::directories(pluginFile)))
        return true;
    *error = catalogue.errorString();
    return false;
}

bool loadQtTexts(const QString &language, QString *error)
{
    // One translator of Qt's own at a time, replaced when the language changes.
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    // Qt's texts are English to begin with.
    if (language == QLatin1String("en"))
        return true;
    const QString directory = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    const QString name = QStringLiteral("qtbase_") + language;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, directory)) {
        *error = QStringLiteral("no %1.qm in %2 (Debian's qttranslations5-l10n); Qt's own texts "
                                "stay in English")
                     .arg(name, directory);
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

QString roubles(qint64 kopecks)
{
    return text("%1 roubles").arg(velmor::roublesText(kopecks));
}

QString of(const tr::Tr &message)
{
    return till::Catalogue::shown().text(message);
}

} // namespace guitext

} // namespace tillgui
