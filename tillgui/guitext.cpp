#include "guitext.h"

#include <till/catalogue.h>

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
        {QStringLiteral("The cancellation will be carried out once the connection is back"),
         QStringLiteral("Отмена будет выполнена после восстановления связи")},
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
        {QStringLiteral("%1 of %2 messages finished"),
         QStringLiteral("Завершено сообщений: %1 из %2")},
        {QStringLiteral("The queue cannot be read: %1"), QStringLiteral("Очередь не читается: %1")},
        {QStringLiteral("Another operation is running"),
         QStringLiteral("Выполняется другая операция")},
        {QStringLiteral("Waiting for the sale to end before closing"),
         QStringLiteral("Ожидание завершения продажи перед закрытием")},
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

QString of(const tr::Tr &message)
{
    return till::Catalogue::shown().text(message);
}

} // namespace guitext

} // namespace tillgui
