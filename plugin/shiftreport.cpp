#include "shiftreport.h"

#include "slip.h"

#include <velmor/messages.h>
#include <velmor/rounding.h>

#include <QMap>

using velmor::Journal;

ShiftReport::ShiftReport(const QDate &day, const QList<Journal::Entry> &entries)
    : m_day(day), m_entries(entries)
{}

QDateTime ShiftReport::dayStart()
{
    return QDateTime(QDate::currentDate(), QTime(0, 0));
}

int ShiftReport::operationOf(const Journal::Entry &entry)
{
    if (entry.kind == Journal::Kind::Sale)
        return int(Slip::Operation::Sale);
    Slip::Operation operation = Slip::Operation::Refund;
    if (!Slip::operationNamed(entry.note.value(QStringLiteral("operation")).toString(),
                              &operation) ||
        operation == Slip::Operation::Sale)
        operation = Slip::Operation::Refund;
    return int(operation);
}

ShiftReport::Kind ShiftReport::kindOf(const Journal::Entry &entry)
{
    const bool sale = entry.kind == Journal::Kind::Sale;
    const Kind done = Slip::Operation(operationOf(entry)) == Slip::Operation::Cancellation
                          ? Kind::Cancellation
                          : Kind::Refund;
    switch (entry.state) {
    case Journal::State::Open:
    case Journal::State::Unknown:
        return Kind::Unknown;
    case Journal::State::ReversalQueued:
        return sale ? Kind::Reversal : Kind::Queued;
    case Journal::State::Finished:
        return sale ? Kind::Reversal : done;
    case Journal::State::Answered:
        break;
    }
    switch (entry.outcome) {
    case Journal::Outcome::Done:
        return sale ? Kind::SalePaid : done;
    case Journal::Outcome::Queued:
        return Kind::Queued;
    case Journal::Outcome::Unknown:
        return Kind::Unknown;
    case Journal::Outcome::Failed:
    case Journal::Outcome::None:
        break;
    }
    return Kind::Failed;
}

tr::Tr ShiftReport::kindText(Kind kind)
{
    switch (kind) {
    case Kind::SalePaid:
        return tr::Tr(QStringLiteral("velmorReportSales"), QStringLiteral("Оплаты"));
    case Kind::Refund:
        return tr::Tr(QStringLiteral("velmorReportRefunds"), QStringLiteral("Возвраты"));
    case Kind::Cancellation:
        return tr::Tr(QStringLiteral("velmorReportCancellations"), QStringLiteral("Отмены оплаты"));
    case Kind::Queued:
        return tr::Tr(QStringLiteral("velmorReportQueued"), QStringLiteral("В очереди"));
    case Kind::Unknown:
        return tr::Tr(QStringLiteral("velmorReportUnknown"),
                      QStringLiteral("Результат неизвестен"));
    case Kind::Reversal:
        return tr::Tr(QStringLiteral("velmorReportReversals"),
                      QStringLiteral("Оплаты без ответа кассе, отменены"));
    case Kind::Failed:
        return tr::Tr(QStringLiteral("velmorReportFailed"), QStringLiteral("Не выполнены"));
    }
    return tr::Tr();
}

tr::Tr ShiftReport::outcomeText(Kind kind)
{
    switch (kind) {
    case Kind::SalePaid:
    case Kind::Refund:
    case Kind::Cancellation:
        return tr::Tr(QStringLiteral("velmorReportDone"), QStringLiteral("выполнено"));
    case Kind::Queued:
        return tr::Tr(QStringLiteral("velmorReportInQueue"), QStringLiteral("в очереди"));
    case Kind::Unknown:
        return tr::Tr(QStringLiteral("velmorReportNotKnown"),
                      QStringLiteral("результат неизвестен"));
    case Kind::Reversal:
        return tr::Tr(QStringLiteral("velmorReportReversed"),
                      QStringLiteral("отменено через очередь"));
    case Kind::Failed:
        return tr::Tr(QStringLiteral("velmorReportNotDone"), QStringLiteral("не выполнено"));
    }
    return tr::Tr();
}

QStringList ShiftReport::lines(bool full, int width) const
{
    const int fit = width > 0 ? width : Slip::DefaultWidth;
    QStringList texts;
    texts << Slip::shown(tr::Tr(QStringLiteral("velmorSlipService"),
                                QStringLiteral("VELMOR: оплата в рассрочку")))
          << (full ? Slip::shown(tr::Tr(QStringLiteral("velmorReportFull"),
                                        QStringLiteral("Отчет за смену")))
                   : Slip::shown(tr::Tr(QStringLiteral("velmorReportShort"),
                                        QStringLiteral("Краткий отчет за смену"))))
          << m_day.toString(QStringLiteral("dd.MM.yyyy"));

    QMap<Kind, QPair<int, qint64>> totals;
    for (const Journal::Entry &entry : m_entries) {
        QPair<int, qint64> &total = totals[kindOf(entry)];
        ++total.first;
        total.second += entry.amountKopecks;
    }
    for (const Kind kind : {Kind::SalePaid, Kind::Refund, Kind::Cancellation, Kind::Queued,
                            Kind::Unknown, Kind::Reversal, Kind::Failed}) {
        const QPair<int, qint64> total = totals.value(kind);
        texts << Slip::shown(kindText(kind)) + QStringLiteral(": ") + QString::number(total.first) +
                     QStringLiteral(", ") + velmor::roublesText(total.second) + QLatin1Char(' ') +
                     Slip::shown(
                         tr::Tr(QStringLiteral("velmorSlipRoubles"), QStringLiteral("руб.")));
    }

    if (full) {
        // One line per operation, wrapped where the printer is narrower than it.
        for (const Journal::Entry &entry : m_entries)
            texts << QStringList{entry.recorded.toLocalTime().toString(QStringLiteral("HH:mm:ss")),
                                 Slip::shown(
                                     Slip::operationText(Slip::Operation(operationOf(entry)))),
                                 entry.orderId,
                                 velmor::roublesText(entry.amountKopecks),
                                 Slip::shown(tr::Tr(QStringLiteral("velmorSlipRoubles"),
                                                    QStringLiteral("руб."))),
                                 Slip::shown(outcomeText(kindOf(entry)))}
                         .join(QLatin1Char(' '));
    }

    QStringList result;
    for (const QString &text : qAsConst(texts))
        result << Slip::fitted(text, fit);
    return result;
}

PaymentProcessingAnswer ShiftReport::answer(Journal &journal, bool full)
{
    PaymentProcessingAnswer answer;
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    QList<Journal::Entry> entries;
    if (!journal.readEntries(dayStart(), false, &entries)) {
        answer.setSuccess(false);
        answer.setMessage(velmor::messages::journalUnusable(journal.path()));
        return answer;
    }
    const ShiftReport report(QDate::currentDate(), entries);
    answer.setSuccess(true);
    answer.setMessage(tr::Tr(QStringLiteral("velmorReportReady"),
                             QStringLiteral("Отчет Velmor за смену: операций %1"))
                          .arg(tr::Tr(QString::number(report.operations()))));
    answer.setPrintImages(report.lines(full, Slip::DefaultWidth));
    return answer;
}

PaymentProcessingAnswer ShiftReport::copyAnswer(Journal &journal)
{
    PaymentProcessingAnswer answer;
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    Journal::Entry entry;
    if (!journal.lastSlip(&entry)) {
        answer.setSuccess(false);
        answer.setMessage(journal.errorString().isEmpty()
                              ? tr::Tr(QStringLiteral("velmorCopyNone"),
                                       QStringLiteral("Нет слипа Velmor, который можно "
                                                      "напечатать снова"))
                              : velmor::messages::journalUnusable(journal.path()));
        return answer;
    }
    int width = Slip::DefaultWidth;
    const Slip slip =
        Slip::fromJson(Slip::Operation(operationOf(entry)), entry.amountKopecks, entry.orderId,
                       entry.note.value(QStringLiteral("slip")).toObject(), &width);
    answer.setSuccess(true);
    answer.setRRN(entry.orderId);
    answer.setMessage(
        tr::Tr(QStringLiteral("velmorCopyReady"), QStringLiteral("Копия слипа Velmor по заказу %1"))
            .arg(tr::Tr(entry.orderId)));
    answer.setPrintImages(slip.lines(width, true));
    return answer;
}
