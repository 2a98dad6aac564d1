#include "slip.h"

#include <velmor/rounding.h>

#include <QCoreApplication>

Slip::Slip(Operation operation, qint64 kopecks, const QString &orderId, const QDateTime &when,
           bool queued)
    : m_operation(operation), m_kopecks(kopecks), m_orderId(orderId), m_when(when), m_queued(queued)
{}

QStringList Slip::lines(int printWidth, bool copy) const
{
    const int width = printWidth > 0 ? printWidth : DefaultWidth;
    QStringList texts;
    if (copy)
        texts << shown(tr::Tr(QStringLiteral("velmorSlipCopy"), QStringLiteral("КОПИЯ")));
    texts << shown(tr::Tr(QStringLiteral("velmorSlipService"),
                          QStringLiteral("VELMOR: оплата в рассрочку")))
          << shown(operationText(m_operation)) << amountLine(m_kopecks)
          << shown(tr::Tr(QStringLiteral("velmorSlipOrder"), QStringLiteral("Заказ"))) +
                 QStringLiteral(": ") + m_orderId
          << m_when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (m_queued)
        texts << shown(tr::Tr(QStringLiteral("velmorSlipQueued"),
                              QStringLiteral("Операция будет завершена после восстановления "
                                             "связи с сервером")));

    QStringList result;
    for (const QString &text : qAsConst(texts))
        result << fitted(text, width);
    return result;
}

QString Slip::amountLine(qint64 kopecks)
{
    return shown(tr::Tr(QStringLiteral("velmorSlipAmount"), QStringLiteral("Сумма"))) +
           QStringLiteral(": ") + velmor::roublesText(kopecks) + QLatin1Char(' ') +
           shown(tr::Tr(QStringLiteral("velmorSlipRoubles"), QStringLiteral("руб.")));
}

QString Slip::operationName(Operation operation)
{
    switch (operation) {
    case Operation::Sale:
        return QStringLiteral("sale");
    case Operation::Refund:
        return QStringLiteral("refund");
    case Operation::Cancellation:
        return QStringLiteral("cancellation");
    }
    return QString();
}

bool Slip::operationNamed(const QString &name, Operation *operation)
{
    for (const Operation candidate :
         {Operation::Sale, Operation::Refund, Operation::Cancellation}) {
        if (operationName(candidate) == name) {
            *operation = candidate;
            return true;
        }
    }
    return false;
}

QJsonObject Slip::toJson(int printWidth) const
{
    // In UTC: the zone may change before the copy is printed, the moment does not.
    return QJsonObject{{QStringLiteral("time"), m_when.toUTC().toString(Qt::ISODateWithMs)},
                       {QStringLiteral("queued"), m_queued},
                       {QStringLiteral("width"), printWidth > 0 ? printWidth : DefaultWidth}};
}

Slip Slip::fromJson(Operation operation, qint64 kopecks, const QString &orderId,
                    const QJsonObject &json, int *width)
{
    QDateTime when =
        QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    when.setTimeSpec(Qt::UTC);
    *width = json.value(QStringLiteral("width")).toInt(DefaultWidth);
    return Slip(operation, kopecks, orderId, when.toLocalTime(),
                json.value(QStringLiteral("queued")).toBool());
}

QStringList Slip::fitted(const QString &text, int width)
{
    QStringList result;
    QString line;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString word : words) {
        if (!line.isEmpty() && line.size() + 1 + word.size() <= width) {
            line += QLatin1Char(' ') + word;
            continue;
        }
        if (!line.isEmpty())
            result << line;
        // A word wider than the line goes on over as many lines as it takes.
        while (word.size() > width) {
            int cut = width;
            if (word.at(cut - 1).isHighSurrogate())
                --cut;
            result << word.left(cut);
            word = word.mid(cut);
        }
        line = word;
    }
    if (!line.isEmpty() || result.isEmpty())
        result << line;
    return result;
}

QString Slip::shown(const tr::Tr &text)
{
    const QString translated = QCoreApplication::translate("", text.key().toUtf8().constData());
    if (text.key().isEmpty() || translated.isEmpty() || translated == text.key())
        return text.ru();
    // The translated pattern with each argument shown in turn, substituted in one pass as the
    // Russian text is.
    tr::Tr pattern(QString(), translated);
    for (const tr::Tr &argument : text.args())
        pattern = pattern.arg(tr::Tr(shown(argument)));
    return pattern.ru();
}

tr::Tr Slip::operationText(Operation operation)
{
    switch (operation) {
    case Operation::Sale:
        return tr::Tr(QStringLiteral("velmorSlipSale"), QStringLiteral("Оплата"));
    case Operation::Refund:
        return tr::Tr(QStringLiteral("velmorSlipRefund"), QStringLiteral("Возврат"));
    case Operation::Cancellation:
        return tr::Tr(QStringLiteral("velmorSlipCancellation"), QStringLiteral("Отмена оплаты"));
    }
    return tr::Tr();
}
