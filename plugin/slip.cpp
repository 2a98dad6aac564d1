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
          << shown(operationText(m_operation))
          << shown(tr::Tr(QStringLiteral("velmorSlipAmount"), QStringLiteral("Сумма"))) +
                 QStringLiteral(": ") + velmor::roublesText(m_kopecks) + QLatin1Char(' ') +
                 shown(tr::Tr(QStringLiteral("velmorSlipRoubles"), QStringLiteral("руб.")))
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
    return translated.isEmpty() || translated == text.key() ? text.ru() : translated;
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
