#include "guitext.h"

#include <catalogue.h>

#include <QHash>

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
        {QStringLiteral("Sum"), QStringLiteral("Сумма")},
        {QStringLiteral("Total %1, prepaid %2, to pay %3"),
         QStringLiteral("Итого %1, предоплата %2, к оплате %3")},
        {QStringLiteral("No current receipt"), QStringLiteral("Нет текущего чека")},
        {QStringLiteral("Amount, kopecks:"), QStringLiteral("Сумма, коп.:")},
        {QStringLiteral("Sale"), QStringLiteral("Продажа")},
        {QStringLiteral("Refund"), QStringLiteral("Возврат")},
        {QStringLiteral("Cancel payment"), QStringLiteral("Отмена оплаты")},
        {QStringLiteral("Queue (%1)"), QStringLiteral("Очередь (%1)")},
        {QStringLiteral("Cancel"), QStringLiteral("Отмена")},
        {QStringLiteral("Back"), QStringLiteral("Назад")},
        {QStringLiteral("Done"), QStringLiteral("Готово")},
        {QStringLiteral("Close"), QStringLiteral("Закрыть")},
        {QStringLiteral("Code:"), QStringLiteral("Код:")},
        {QStringLiteral("Cancelling the order..."), QStringLiteral("Отмена заказа...")},
        {QStringLiteral("The cancellation is accepted; the sale ends at the next status request"),
         QStringLiteral("Отмена принята, продажа завершится при следующем запросе статуса")},
        {QStringLiteral("The cancellation was not confirmed; press Cancel to try again"),
         QStringLiteral("Отмена не подтверждена, нажмите «Отмена» ещё раз")},
        {QStringLiteral("Approved"), QStringLiteral("Одобрено")},
        {QStringLiteral("Done with a message"), QStringLiteral("Выполнено с сообщением")},
        {QStringLiteral("Refused"), QStringLiteral("Отказ")},
        {QStringLiteral("Order cancelled"), QStringLiteral("Заказ отменён")},
        {QStringLiteral("Status %1"), QStringLiteral("Статус %1")},
        {QStringLiteral("Reference (RRN):"), QStringLiteral("Ссылка (RRN):")},
        {QStringLiteral("Refund of a sale"), QStringLiteral("Возврат по продаже")},
        {QStringLiteral("Cancellation of a payment"), QStringLiteral("Отмена оплаты")},
        {QStringLiteral("Amount to return: %1"), QStringLiteral("Сумма возврата: %1")},
        {QStringLiteral("Queued messages"), QStringLiteral("Сообщения в очереди")},
        {QStringLiteral("Added"), QStringLiteral("Добавлено")},
        {QStringLiteral("Attempts"), QStringLiteral("Попытки")},
        {QStringLiteral("Order"), QStringLiteral("Заказ")},
        {QStringLiteral("Type"), QStringLiteral("Тип")},
        {QStringLiteral("Replay"), QStringLiteral("Отправить")},
        {QStringLiteral("%1 of %2 messages finished"),
         QStringLiteral("Завершено сообщений: %1 из %2")},
        {QStringLiteral("The queue cannot be read: %1"), QStringLiteral("Очередь не читается: %1")},
        {QStringLiteral("Another operation is running"),
         QStringLiteral("Выполняется другая операция")},
        {QStringLiteral("Waiting for the sale to end before closing"),
         QStringLiteral("Ожидание завершения продажи перед закрытием")},
        {QStringLiteral("OK"), QStringLiteral("ОК")},
        {QStringLiteral("Answer"), QStringLiteral("Ответ")},
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
    Catalogue &catalogue = Catalogue::shown();
    if (catalogue.load(language, Catalogue::directories(pluginFile)))
        return true;
    *error = catalogue.errorString();
    return false;
}

QString of(const tr::Tr &message)
{
    return Catalogue::shown().text(message);
}

} // namespace guitext
