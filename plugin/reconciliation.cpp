#include "reconciliation.h"

#include "shiftreport.h"
#include "slip.h"

#include <velmor/answerdecoding.h>
#include <velmor/interface.h>
#include <velmor/messages.h>
#include <velmor/requestresult.h>
#include <velmor/rounding.h>

#include <QVariantList>
#include <QVariantMap>

#include <algorithm>

using velmor::Journal;

// What the till recorded about one order that day.
struct Reconciliation::Till
{
    enum class Sale { None, Paid, Failed, Reversed, Open };

    QString orderId;
    Sale sale = Sale::None;
    // Refunds and cancellations done, and those queued or of unknown outcome.
    qint64 refundedKopecks = 0;
    qint64 pendingKopecks = 0;
    // An entry whose outcome is not known yet (open, unknown, handed to the queue).
    bool open = false;
};

namespace {

QString roubles(qint64 kopecks)
{
    return velmor::roublesText(kopecks) + QLatin1Char(' ') +
           Slip::shown(tr::Tr(QStringLiteral("velmorSlipRoubles"), QStringLiteral("руб.")));
}

QString totalLine(const tr::Tr &label, int count, qint64 kopecks)
{
    return Slip::shown(label) + QStringLiteral(": ") + QString::number(count) +
           QStringLiteral(", ") + roubles(kopecks);
}

} // namespace

Reconciliation::Reconciliation(const QDate &day, const QList<Journal::Entry> &entries)
    : m_day(day), m_entries(entries)
{}

PaymentProcessingAnswer Reconciliation::ofToday(Journal &journal, velmor::Interface &client)
{
    QList<Journal::Entry> entries;
    if (!journal.readEntries(ShiftReport::dayStart(), false, &entries)) {
        PaymentProcessingAnswer refusal;
        refusal.setSuccess(false);
        refusal.setMessage(velmor::messages::journalUnusable(journal.path()));
        refusal.setPaymentMethod(EPaymentMethod::Instalment);
        return refusal;
    }
    Reconciliation reconciliation(QDate::currentDate(), entries);
    return reconciliation.run(
        [&client](const QString &orderId) {
            // The order asked about is the correlation id, as in the replay's status requests.
            client.setCurrentId(orderId);
            return client.info(orderId);
        },
        [&client](int asked, int orders) {
            client.changeProgress(tr::Tr(QStringLiteral("velmorReconcileProgress"),
                                         QStringLiteral("Сверка итогов: заказ %1 из %2"))
                                      .arg(tr::Tr(QString::number(asked + 1)))
                                      .arg(tr::Tr(QString::number(orders))),
                                  qMax(1, asked * 100 / orders));
        },
        Slip::DefaultWidth);
}

QString Reconciliation::mismatchName(Mismatch mismatch)
{
    switch (mismatch) {
    case Mismatch::PaidNotAtService:
        return QStringLiteral("paidNotAtService");
    case Mismatch::FailedButPaid:
        return QStringLiteral("failedButPaid");
    case Mismatch::RefundedDiffers:
        return QStringLiteral("refundedDiffers");
    case Mismatch::StillOpen:
        return QStringLiteral("stillOpen");
    }
    return QString();
}

void Reconciliation::add(const QString &orderId, Mismatch mismatch, const tr::Tr &text)
{
    m_found.append(Found{orderId, mismatch, Slip::shown(text)});
}

void Reconciliation::compare(const Till &till, const velmor::RequestResult &result)
{
    using Sale = Till::Sale;
    const tr::Tr order(till.orderId);
    qint64 amount = 0;
    qint64 refunded = 0;
    bool paid = false;
    QString status = QStringLiteral("order_not_found");
    if (!velmor::isUnknownOrder(result)) {
        amount = velmor::kopecksOf(velmor::orderAmount(result.json));
        refunded = velmor::kopecksOf(velmor::totalRefundedAmount(result.json));
        status = result.json.value(QStringLiteral("order"))
                     .toObject()
                     .value(QStringLiteral("status"))
                     .toString();
        paid = result.orderStatus == velmor::Completed || result.orderStatus == velmor::Refunded;
    }
    if (paid && till.sale != Sale::None) {
        ++m_servicePaid;
        m_servicePaidKopecks += amount;
    }
    m_serviceRefundedKopecks += refunded;

    if (till.sale == Sale::Paid && !paid)
        add(till.orderId, Mismatch::PaidNotAtService,
            tr::Tr(QStringLiteral("velmorReconcilePaidNotAtService"),
                   QStringLiteral("Заказ %1: по кассе оплачен, на сервере %2"))
                .arg(order)
                .arg(tr::Tr(status)));
    // A sale the till reversed may show refunded in full: the reversal of a paid order is its
    // refund. Anything paid and not given back is the buyer's payment the till does not know.
    const bool keptPaid = result.orderStatus == velmor::Completed ||
                          (result.orderStatus == velmor::Refunded && refunded < amount);
    if ((till.sale == Sale::Failed || till.sale == Sale::Reversed) && keptPaid)
        add(till.orderId, Mismatch::FailedButPaid,
            tr::Tr(QStringLiteral("velmorReconcileFailedButPaid"),
                   QStringLiteral("Заказ %1: по кассе не оплачен, на сервере %2"))
                .arg(order)
                .arg(tr::Tr(status)));
    // Refunds are the till's when it sold the order or sold it on another day.
    const bool refundsCompared = till.sale == Sale::Paid || till.sale == Sale::None;
    if (refundsCompared &&
        (refunded < till.refundedKopecks || refunded > till.refundedKopecks + till.pendingKopecks))
        add(till.orderId, Mismatch::RefundedDiffers,
            tr::Tr(QStringLiteral("velmorReconcileRefundedDiffers"),
                   QStringLiteral("Заказ %1: по кассе возвращено %2 руб., на сервере %3 руб."))
                .arg(order)
                .arg(tr::Tr(velmor::roublesText(till.refundedKopecks)))
                .arg(tr::Tr(velmor::roublesText(refunded))));
    const bool queuedNotSeen = refundsCompared && till.pendingKopecks > 0 &&
                               refunded != till.refundedKopecks + till.pendingKopecks;
    if (till.open || till.sale == Sale::Open || queuedNotSeen)
        add(till.orderId, Mismatch::StillOpen,
            tr::Tr(QStringLiteral("velmorReconcileStillOpen"),
                   QStringLiteral("Заказ %1: операция не завершена (в очереди или без "
                                  "известного результата)"))
                .arg(order));
}

PaymentProcessingAnswer Reconciliation::run(const Ask &ask, const Progress &progress, int width)
{
    // The orders in the order the day met them, each with what the till recorded.
    QList<Till> orders;
    int tillPaid = 0;
    qint64 tillPaidKopecks = 0;
    int tillRefunds = 0;
    qint64 tillRefundedKopecks = 0;
    int tillReversals = 0;
    qint64 tillReversedKopecks = 0;
    for (const Journal::Entry &entry : qAsConst(m_entries)) {
        auto found = std::find_if(orders.begin(), orders.end(), [&entry](const Till &till) {
            return till.orderId == entry.orderId;
        });
        if (found == orders.end()) {
            orders.append(Till{entry.orderId});
            found = orders.end() - 1;
        }
        Till &till = *found;
        const ShiftReport::Kind kind = ShiftReport::kindOf(entry);
        const bool sale = entry.kind == Journal::Kind::Sale;
        till.open = till.open || entry.state == Journal::State::Open ||
                    entry.state == Journal::State::Unknown ||
                    entry.state == Journal::State::ReversalQueued;
        switch (kind) {
        case ShiftReport::Kind::SalePaid:
            till.sale = Till::Sale::Paid;
            ++tillPaid;
            tillPaidKopecks += entry.amountKopecks;
            break;
        case ShiftReport::Kind::Refund:
        case ShiftReport::Kind::Cancellation:
            till.refundedKopecks += entry.amountKopecks;
            ++tillRefunds;
            tillRefundedKopecks += entry.amountKopecks;
            break;
        case ShiftReport::Kind::Queued:
        case ShiftReport::Kind::Unknown:
            if (sale)
                till.sale = Till::Sale::Open;
            else
                till.pendingKopecks += entry.amountKopecks;
            break;
        case ShiftReport::Kind::Reversal:
            till.sale =
                entry.state == Journal::State::Finished ? Till::Sale::Reversed : Till::Sale::Open;
            ++tillReversals;
            tillReversedKopecks += entry.amountKopecks;
            break;
        case ShiftReport::Kind::Failed:
            if (sale)
                till.sale = Till::Sale::Failed;
            break;
        }
    }

    int asked = 0;
    for (const Till &till : qAsConst(orders)) {
        if (progress)
            progress(asked, orders.size());
        const velmor::RequestResult result = ask(till.orderId);
        ++asked;
        // Only the service's own word about the order counts; "order_not_found" is its word
        // that it holds none.
        const bool answered =
            velmor::isUnknownOrder(result) || (result.delivery == velmor::Delivery::Answered &&
                                               result.orderStatus != velmor::Undefined);
        if (answered)
            compare(till, result);
        else
            m_notAsked.append(till.orderId);
    }

    PaymentProcessingAnswer answer;
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    const int fit = width > 0 ? width : Slip::DefaultWidth;
    QStringList texts;
    texts << Slip::shown(tr::Tr(QStringLiteral("velmorSlipService"),
                                QStringLiteral("VELMOR: оплата в рассрочку")))
          << Slip::shown(tr::Tr(QStringLiteral("velmorReconcileTitle"),
                                QStringLiteral("Сверка итогов за смену")))
          << m_day.toString(QStringLiteral("dd.MM.yyyy"))
          << totalLine(tr::Tr(QStringLiteral("velmorReconcileTillSales"),
                              QStringLiteral("Оплаты по кассе")),
                       tillPaid, tillPaidKopecks)
          << totalLine(tr::Tr(QStringLiteral("velmorReconcileTillRefunds"),
                              QStringLiteral("Возвраты и отмены по кассе")),
                       tillRefunds, tillRefundedKopecks)
          << totalLine(tr::Tr(QStringLiteral("velmorReportReversals"),
                              QStringLiteral("Оплаты без ответа кассе, отменены")),
                       tillReversals, tillReversedKopecks)
          << totalLine(tr::Tr(QStringLiteral("velmorReconcileServiceSales"),
                              QStringLiteral("Оплачено на сервере")),
                       m_servicePaid, m_servicePaidKopecks)
          << Slip::shown(tr::Tr(QStringLiteral("velmorReconcileServiceRefunded"),
                                QStringLiteral("Возвращено на сервере"))) +
                 QStringLiteral(": ") + roubles(m_serviceRefundedKopecks);

    QStringList listed;
    QVariantList mismatches;
    for (const Found &found : qAsConst(m_found)) {
        listed << found.text;
        mismatches << QVariantMap{{QStringLiteral("orderId"), found.orderId},
                                  {QStringLiteral("mismatch"), mismatchName(found.mismatch)}};
    }
    for (const QString &orderId : qAsConst(m_notAsked))
        listed << Slip::shown(tr::Tr(QStringLiteral("velmorReconcileNotAsked"),
                                     QStringLiteral("Заказ %1: сервер не дал ответа о нем, "
                                                    "не проверен"))
                                  .arg(tr::Tr(orderId)));
    texts << listed;
    answer.setAdditionalData({{QStringLiteral("orders"), orders.size()},
                              {QStringLiteral("mismatches"), mismatches},
                              {QStringLiteral("notChecked"), QVariant(m_notAsked)}});

    if (!orders.isEmpty() && m_notAsked.size() == orders.size()) {
        answer.setSuccess(false);
        answer.setMessage(tr::Tr(QStringLiteral("velmorReconcileNoService"),
                                 QStringLiteral("Сверка Velmor не выполнена: сервер не ответил "
                                                "ни по одному из заказов (%1)"))
                              .arg(tr::Tr(QString::number(orders.size()))));
    } else if (listed.isEmpty()) {
        answer.setSuccess(true);
        answer.setMessage(tr::Tr(QStringLiteral("velmorReconcileAgreed"),
                                 QStringLiteral("Сверка Velmor сошлась, заказов: %1"))
                              .arg(tr::Tr(QString::number(orders.size()))));
    } else {
        answer.setStatus(PaymentProcessingAnswer::SuccessWithMessage);
        answer.setMessage(tr::Tr(QStringLiteral("velmorReconcileMismatches"),
                                 QStringLiteral("Сверка Velmor: расхождений %1, не проверено "
                                                "заказов %2. %3"))
                              .arg(tr::Tr(QString::number(m_found.size())))
                              .arg(tr::Tr(QString::number(m_notAsked.size())))
                              .arg(tr::Tr(listed.join(QStringLiteral("; ")))));
    }
    // The mismatches are listed above already; the message that repeats them is not printed.
    if (listed.isEmpty() || answer.getStatus() == PaymentProcessingAnswer::Failure)
        texts << Slip::shown(answer.getMessage());
    QStringList lines;
    for (const QString &text : qAsConst(texts))
        lines << Slip::fitted(text, fit);
    answer.setPrintImages(lines);
    return answer;
}
