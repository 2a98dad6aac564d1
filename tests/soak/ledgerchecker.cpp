#include "ledgerchecker.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QSet>
#include <QStringList>

#include <cmath>
#include <csignal>
#include <map>

namespace {

const QString Created = QStringLiteral("created");
const QString Scoring = QStringLiteral("scoring");
const QString Approved = QStringLiteral("approved");
const QString Completed = QStringLiteral("completed");
const QString Refunded = QStringLiteral("refunded");

// The till's answer statuses that report success: Success and SuccessWithMessage.
bool isSuccessStatus(int status)
{
    return status == 0 || status == 6;
}

qint64 kopecks(double roubles)
{
    return std::llround(roubles * 100.0);
}

QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

// The last lines of a text, so that a report stays readable.
QString tail(const QString &whole, int lines)
{
    QStringList all = whole.split(QLatin1Char('\n'));
    while (!all.isEmpty() && all.last().isEmpty())
        all.removeLast();
    if (all.size() > lines)
        all = all.mid(all.size() - lines);
    return all.join(QLatin1Char('\n'));
}

QString indented(const QString &block)
{
    if (block.isEmpty())
        return QStringLiteral("    (nothing)\n");
    QString result;
    for (const QString &line : block.split(QLatin1Char('\n')))
        result += QStringLiteral("    ") + line + QLatin1Char('\n');
    return result;
}

} // namespace

LedgerChecker::LedgerChecker(const QJsonObject &record, const QJsonObject &ledger)
    : m_record(record), m_ledger(ledger)
{
    for (const QJsonValue &value : ledger.value(QStringLiteral("orders")).toArray())
        m_orders.insert(text(value.toObject(), "id"), value.toObject());
    for (const QJsonValue &value : record.value(QStringLiteral("operations")).toArray()) {
        const QJsonObject operation = value.toObject();
        const QString kind = text(operation, "kind");
        const QString orderId = text(operation, "orderId");
        if (orderId.isEmpty())
            continue;
        if (kind == QLatin1String("sale"))
            m_sales.insert(orderId, operation);
        else if (kind == QLatin1String("refund") || kind == QLatin1String("cancel"))
            m_refunds[orderId].append(operation);
    }
}

void LedgerChecker::check()
{
    m_findings.clear();
    m_leftToHost.clear();
    checkTills();
    checkSales();
    checkOrders();
    checkRefunds();
    checkShownCompleted();
    checkQueues();
}

LedgerChecker::Outcome LedgerChecker::outcomeOf(const QJsonObject &operation) const
{
    if (operation.value(QStringLiteral("hung")).toBool())
        return Outcome::Hung;
    const QJsonValue answer = operation.value(QStringLiteral("answer"));
    if (answer.isObject()) {
        const QJsonObject line = answer.toObject();
        if (isSuccessStatus(line.value(QStringLiteral("status")).toInt(-1)))
            return Outcome::Done;
        if (text(line, "messageKey").contains(QLatin1String("Unknown")))
            return Outcome::Unknown;
        return Outcome::Failed;
    }
    if (operation.value(QStringLiteral("killed")).toBool()) {
        // The plug-in marks a sale's entry answered before it hands the answer over, and a
        // sale answered paid is never reversed: a till killed after that had been paid.
        const QJsonObject journal = operation.value(QStringLiteral("journal")).toObject();
        if (text(journal, "state") == QLatin1String("answered") &&
            text(journal, "outcome") == QLatin1String("done"))
            return Outcome::Done;
        return Outcome::Killed;
    }
    return Outcome::NoAnswer;
}

bool LedgerChecker::isEarlyStop(const QJsonObject &operation)
{
    const int signal = operation.value(QStringLiteral("exitSignal")).toInt();
    if (signal != SIGINT && signal != SIGTERM && signal != SIGHUP && signal != SIGQUIT)
        return false;
    if (text(operation, "kind") == QLatin1String("sale"))
        return text(operation, "orderId").isEmpty();
    // The till holds the stop signals from before it hands a refund, a cancellation or a queued
    // message to the plug-in, whose first log line says so.
    const QString log = text(operation, "log");
    return !log.contains(QStringLiteral("Возврат по чеку продажи")) &&
           !log.contains(QStringLiteral("Отмена оплаты в чеке продажи")) &&
           !log.contains(QStringLiteral("Отправка сообщения из очереди"));
}

bool LedgerChecker::isDone(const QJsonObject &operation)
{
    const QJsonValue answer = operation.value(QStringLiteral("answer"));
    return answer.isObject() &&
           isSuccessStatus(answer.toObject().value(QStringLiteral("status")).toInt(-1));
}

void LedgerChecker::checkTills()
{
    for (const QJsonValue &value : m_record.value(QStringLiteral("operations")).toArray()) {
        const QJsonObject operation = value.toObject();
        const int op = operation.value(QStringLiteral("op")).toInt();
        const QString orderId = text(operation, "orderId");
        switch (outcomeOf(operation)) {
        case Outcome::Hung:
            add(QStringLiteral("till-hung"), op, orderId,
                QStringLiteral("the till had not ended by the driver's time limit and was killed"));
            break;
        case Outcome::NoAnswer:
            // The cashier's signal before the cancel button was armed ends the till before
            // anything is sent; only a sale whose order was made must answer.
            if (isEarlyStop(operation))
                break;
            // A replay prints a line per message, not an answer; it must only end by itself.
            if (text(operation, "kind") == QLatin1String("replay") &&
                operation.value(QStringLiteral("exitSignal")).toInt() == 0)
                break;
            add(QStringLiteral("till-no-answer"), op, orderId,
                QStringLiteral("the till ended without an answer line (exit code %1, signal %2) "
                               "after it had handed the operation to the plug-in, and no "
                               "SIGKILL was drawn for it")
                    .arg(operation.value(QStringLiteral("exitCode")).toInt())
                    .arg(operation.value(QStringLiteral("exitSignal")).toInt()));
            break;
        default:
            break;
        }
        // Unusable arguments mean the driver asked for something the till cannot do.
        if (operation.value(QStringLiteral("exitCode")).toInt() == 2 &&
            operation.value(QStringLiteral("exitSignal")).toInt() == 0 &&
            text(operation, "kind") != QLatin1String("replay"))
            add(QStringLiteral("till-unusable"), op, orderId,
                QStringLiteral("the till refused its arguments or files (exit code 2)"));
    }
}

void LedgerChecker::checkSales()
{
    for (auto it = m_sales.constBegin(); it != m_sales.constEnd(); ++it) {
        const QJsonObject &sale = it.value();
        if (outcomeOf(sale) != Outcome::Done)
            continue;
        const int op = sale.value(QStringLiteral("op")).toInt();
        const QString status = text(m_orders.value(it.key()), "status");
        if (status != Completed && status != Refunded)
            add(QStringLiteral("paid-not-completed"), op, it.key(),
                QStringLiteral("the till reported the sale paid, the service holds the order %1")
                    .arg(status.isEmpty() ? QStringLiteral("not at all")
                                          : QStringLiteral("as \"%1\"").arg(status)));
    }
    // A paid sale's reference is what the host keeps; a sale reported paid without one is lost.
    for (const QJsonValue &value : m_record.value(QStringLiteral("operations")).toArray()) {
        const QJsonObject operation = value.toObject();
        if (text(operation, "kind") == QLatin1String("sale") && isDone(operation) &&
            text(operation.value(QStringLiteral("answer")).toObject(), "rrn").isEmpty())
            add(QStringLiteral("paid-without-rrn"), operation.value(QStringLiteral("op")).toInt(),
                text(operation, "orderId"),
                QStringLiteral("the till reported the sale paid with an empty rrn"));
    }
}

void LedgerChecker::checkOrders()
{
    for (auto it = m_orders.constBegin(); it != m_orders.constEnd(); ++it) {
        const QString status = text(it.value(), "status");
        if (!m_sales.contains(it.key())) {
            add(QStringLiteral("unknown-order"), 0, it.key(),
                QStringLiteral("the service holds an order (\"%1\") that no sale of the run "
                               "made")
                    .arg(status));
            continue;
        }
        const QJsonObject &sale = m_sales[it.key()];
        const int op = sale.value(QStringLiteral("op")).toInt();
        const Outcome outcome = outcomeOf(sale);
        const bool open = status == Created || status == Scoring || status == Approved;
        if (!open && status != Completed)
            continue;
        if (outcome == Outcome::Done && status == Completed)
            continue;
        // The till died before it could tell: its journal's next start queues the order's
        // reversal, so an order still live or paid was left to the host.
        if (outcome == Outcome::Killed) {
            m_leftToHost.append(LeftToHost{op, it.key(), status});
            add(QStringLiteral("killed-sale-not-reversed"), op, it.key(),
                QStringLiteral("the till was killed during the sale and the order is still "
                               "\"%1\" at the service after its till started again and replayed")
                    .arg(status));
            continue;
        }
        if (open)
            add(QStringLiteral("left-open"), op, it.key(),
                QStringLiteral("the order is left \"%1\" at the service").arg(status));
        else
            add(QStringLiteral("completed-not-paid"), op, it.key(),
                QStringLiteral("the order is completed at the service, the till did not report "
                               "the sale paid and nothing refunded it in full"));
    }
}

void LedgerChecker::checkRefunds()
{
    for (auto it = m_orders.constBegin(); it != m_orders.constEnd(); ++it) {
        const QJsonObject &order = it.value();
        const QJsonObject sale = m_sales.value(it.key());
        const QJsonArray carried = order.value(QStringLiteral("refund")).toArray();
        const QJsonArray reported = m_refunds.value(it.key());
        const int saleOp = sale.value(QStringLiteral("op")).toInt();

        if (outcomeOf(sale) != Outcome::Done) {
            // A sale not reported paid may only be refunded in full, by the replay of its
            // queued cancellation; the driver refunds paid sales only.
            qint64 total = 0;
            for (const QJsonValue &refund : carried)
                total += kopecks(
                    refund.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble());
            if (!carried.isEmpty() &&
                (total != kopecks(order.value(QStringLiteral("amount")).toDouble()) ||
                 text(order, "status") != Refunded))
                add(QStringLiteral("refund-on-unpaid"), saleOp, it.key(),
                    QStringLiteral("%1 refund(s) of %2 kopecks in all were carried out on an order "
                                   "whose sale was not reported paid, and they do not refund it "
                                   "in full")
                        .arg(carried.size())
                        .arg(total));
            continue;
        }

        // A cancellation of the whole payment reported done refunds whatever is left, so the
        // refunds before it may be split otherwise than reported: the order ends refunded in
        // full, and the service's own checks keep it from more.
        int doneCancel = 0;
        for (const QJsonValue &value : reported) {
            if (text(value.toObject(), "kind") == QLatin1String("cancel") &&
                outcomeOf(value.toObject()) == Outcome::Done)
                doneCancel = value.toObject().value(QStringLiteral("op")).toInt();
        }
        if (doneCancel) {
            qint64 total = 0;
            for (const QJsonValue &refund : carried)
                total += kopecks(
                    refund.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble());
            const qint64 amount = kopecks(order.value(QStringLiteral("amount")).toDouble());
            if (total != amount || text(order, "status") != Refunded)
                add(QStringLiteral("cancel-not-refunded-in-full"), doneCancel, it.key(),
                    QStringLiteral("the till reported the payment cancelled; the service refunded "
                                   "%1 of %2 kopecks and holds the order as \"%3\"")
                        .arg(total)
                        .arg(amount)
                        .arg(text(order, "status")));
            continue;
        }

        // Per amount: carried out at least as often as reported done or queued, and at most
        // that often plus the refunds whose outcome the till could not know.
        struct Count
        {
            QVector<int> done;
            QVector<int> unknown;
            QVector<int> failed;
            int carried = 0;
        };
        std::map<qint64, Count> counts;
        for (const QJsonValue &value : reported) {
            const QJsonObject refund = value.toObject();
            Count &count =
                counts[refund.value(QStringLiteral("refundKopecks")).toVariant().toLongLong()];
            const int op = refund.value(QStringLiteral("op")).toInt();
            switch (outcomeOf(refund)) {
            case Outcome::Done:
                count.done.append(op);
                break;
            case Outcome::Failed:
                count.failed.append(op);
                break;
            default:
                count.unknown.append(op);
                break;
            }
        }
        for (const QJsonValue &value : carried)
            ++counts[kopecks(
                         value.toObject().value(QStringLiteral("totalRefundedAmount")).toDouble())]
                  .carried;

        for (const auto &entry : counts) {
            const Count &count = entry.second;
            const int done = count.done.size();
            if (count.carried < done) {
                for (int i = count.carried; i < done; ++i)
                    add(QStringLiteral("refund-missing"), count.done.at(i), it.key(),
                        QStringLiteral("the till reported a refund of %1 kopecks done or queued; "
                                       "the service carried out %2 refund(s) of that amount for "
                                       "%3 reported done")
                            .arg(entry.first)
                            .arg(count.carried)
                            .arg(done));
            } else if (count.carried > done + count.unknown.size()) {
                const int extra = count.carried - done - count.unknown.size();
                if (!count.failed.isEmpty()) {
                    for (int i = 0; i < qMin(extra, count.failed.size()); ++i)
                        add(QStringLiteral("refund-failed-but-carried-out"), count.failed.at(i),
                            it.key(),
                            QStringLiteral("the till reported the refund of %1 kopecks failed, "
                                           "without saying its outcome is unknown; the service "
                                           "carried it out")
                                .arg(entry.first));
                }
                if (extra > count.failed.size())
                    add(QStringLiteral("refund-repeated"), done ? count.done.first() : saleOp,
                        it.key(),
                        QStringLiteral("the service carried out %1 refund(s) of %2 kopecks; the "
                                       "tills reported %3 done and %4 of unknown outcome")
                            .arg(count.carried)
                            .arg(entry.first)
                            .arg(done)
                            .arg(count.unknown.size()));
            }
        }
    }
}

QJsonObject LedgerChecker::shownCompleted(const QString &orderId, qint64 untilMs) const
{
    for (const QJsonValue &value : m_ledger.value(QStringLiteral("exchanges")).toArray()) {
        const QJsonObject exchange = value.toObject();
        if (exchange.value(QStringLiteral("at")).toVariant().toLongLong() > untilMs)
            break;
        if (text(exchange, "orderId") == orderId && text(exchange, "shown") == Completed)
            return exchange;
    }
    return {};
}

void LedgerChecker::checkShownCompleted()
{
    for (auto it = m_sales.constBegin(); it != m_sales.constEnd(); ++it) {
        const QJsonObject &sale = it.value();
        const Outcome outcome = outcomeOf(sale);
        // A paid sale is what the answer asked for; a killed till could not tell.
        if (outcome == Outcome::Done || outcome == Outcome::Killed)
            continue;
        const QJsonObject order = m_orders.value(it.key());
        const bool refunded = !order.value(QStringLiteral("refund")).toArray().isEmpty();
        const bool cancelled = !order.value(QStringLiteral("cancels")).toArray().isEmpty();
        if (!refunded && !cancelled)
            continue;
        const QJsonObject shown = shownCompleted(
            it.key(), sale.value(QStringLiteral("endedAt")).toVariant().toLongLong());
        if (shown.isEmpty())
            continue;
        add(QStringLiteral("cancelled-after-shown-completed"),
            sale.value(QStringLiteral("op")).toInt(), it.key(),
            QStringLiteral("exchange #%1 (%2, fault %3) showed the till the order completed while "
                           "the sale ran; the sale did not end paid and the order was %4")
                .arg(shown.value(QStringLiteral("seq")).toInt())
                .arg(text(shown, "endpoint"), text(shown, "fault"))
                .arg(cancelled ? QStringLiteral("cancelled") : QStringLiteral("refunded")));
    }
}

void LedgerChecker::checkQueues()
{
    m_leftQueued.clear();
    for (const QJsonValue &value : m_record.value(QStringLiteral("queues")).toArray()) {
        const QJsonObject queue = value.toObject();
        const int till = queue.value(QStringLiteral("till")).toInt();
        int pending = queue.value(QStringLiteral("pending")).toInt(-1);
        // A cancellation of an order the service never held waits in the queue until the order
        // has been unknown long enough, far longer than a soak: it may stay.
        int waiting = 0;
        for (const QJsonValue &line : queue.value(QStringLiteral("messages")).toArray()) {
            const QString message = line.toString();
            for (auto sale = m_sales.constBegin(); sale != m_sales.constEnd(); ++sale) {
                if (!m_orders.contains(sale.key()) && message.contains(sale.key())) {
                    m_leftQueued << sale.key();
                    ++waiting;
                    break;
                }
            }
        }
        if (pending > 0 && waiting == pending)
            continue;
        if (pending > 0)
            pending -= waiting;
        if (pending != 0)
            add(QStringLiteral("queue-not-empty"), 0, QString(),
                QStringLiteral("till %1's queue holds %2 message(s) after %3 replay round(s)")
                    .arg(till)
                    .arg(pending)
                    .arg(queue.value(QStringLiteral("rounds")).toInt()));
        const int exit = queue.value(QStringLiteral("replayExit")).toInt(-1);
        if (exit != 0)
            add(QStringLiteral("replay-failed"), 0, QString(),
                QStringLiteral("till %1's last replay exited with %2").arg(till).arg(exit));
    }
}

void LedgerChecker::add(const QString &kind, int op, const QString &orderId, const QString &why)
{
    m_findings.append(Finding{kind, op, orderId, why});
}

QJsonObject LedgerChecker::operation(int op) const
{
    for (const QJsonValue &value : m_record.value(QStringLiteral("operations")).toArray()) {
        if (value.toObject().value(QStringLiteral("op")).toInt() == op)
            return value.toObject();
    }
    return {};
}

QString LedgerChecker::exchangesOf(const QString &orderId, const QJsonObject &operation) const
{
    const qint64 from = operation.value(QStringLiteral("startedAt")).toVariant().toLongLong();
    const qint64 to = operation.value(QStringLiteral("endedAt")).toVariant().toLongLong();
    QStringList lines;
    for (const QJsonValue &value : m_ledger.value(QStringLiteral("exchanges")).toArray()) {
        const QJsonObject exchange = value.toObject();
        if (text(exchange, "orderId") != orderId)
            continue;
        const qint64 at = exchange.value(QStringLiteral("at")).toVariant().toLongLong();
        const bool inside = !operation.isEmpty() && at >= from && at <= to;
        lines << QStringLiteral("%1 #%2 %3 %4 fault=%5 status=%6")
                     .arg(inside ? QStringLiteral(">") : QStringLiteral(" "))
                     .arg(exchange.value(QStringLiteral("seq")).toInt())
                     .arg(operation.isEmpty()
                              ? QString::number(at)
                              : QStringLiteral("%1%2ms")
                                    .arg(at >= from ? QStringLiteral("+") : QString())
                                    .arg(at - from))
                     .arg(text(exchange, "endpoint"), text(exchange, "fault"))
                     .arg(exchange.value(QStringLiteral("status")).toInt());
    }
    return lines.join(QLatin1Char('\n'));
}

QString LedgerChecker::describe(const Finding &finding) const
{
    const QJsonObject op = operation(finding.op);
    QString report = QStringLiteral("DISCREPANCY %1: %2\n").arg(finding.kind, finding.text);
    report += QStringLiteral("  seed %1")
                  .arg(m_record.value(QStringLiteral("seed")).toVariant().toString());
    if (!op.isEmpty()) {
        QStringList perturbations;
        for (const QJsonValue &value : op.value(QStringLiteral("perturbations")).toArray())
            perturbations << value.toString();
        report +=
            QStringLiteral(", operation #%1 on till %2: %3 %4 (%5 kopecks%6), perturbations: %7\n")
                .arg(finding.op)
                .arg(op.value(QStringLiteral("till")).toInt())
                .arg(text(op, "kind"), text(op, "code"))
                .arg(text(op, "kind") == QLatin1String("sale")
                         ? op.value(QStringLiteral("amountKopecks")).toInt()
                         : op.value(QStringLiteral("refundKopecks")).toInt())
                .arg(op.value(QStringLiteral("saleOp")).toInt()
                         ? QStringLiteral(", of sale #%1")
                               .arg(op.value(QStringLiteral("saleOp")).toInt())
                         : QString())
                .arg(perturbations.isEmpty() ? QStringLiteral("none")
                                             : perturbations.join(QStringLiteral(", ")));
    } else {
        report += QLatin1Char('\n');
    }
    if (!finding.orderId.isEmpty()) {
        const QJsonObject order = m_orders.value(finding.orderId);
        report +=
            QStringLiteral("  order %1 at the service: %2\n")
                .arg(finding.orderId,
                     order.isEmpty()
                         ? QStringLiteral("none")
                         : QString::fromUtf8(
                               QJsonDocument(QJsonObject{{QStringLiteral("status"),
                                                          order.value(QStringLiteral("status"))},
                                                         {QStringLiteral("amount"),
                                                          order.value(QStringLiteral("amount"))},
                                                         {QStringLiteral("refund"),
                                                          order.value(QStringLiteral("refund"))},
                                                         {QStringLiteral("cancels"),
                                                          order.value(QStringLiteral("cancels"))}})
                                   .toJson(QJsonDocument::Compact)));
        report += QStringLiteral("  its exchanges (> during this operation) and their faults:\n") +
                  indented(exchangesOf(finding.orderId, op));
    }
    if (!op.isEmpty()) {
        report += QStringLiteral("  the till printed (exit code %1, signal %2):\n")
                      .arg(op.value(QStringLiteral("exitCode")).toInt())
                      .arg(op.value(QStringLiteral("exitSignal")).toInt());
        report += indented(tail(text(op, "stdout"), 5));
        report +=
            QStringLiteral("  its standard error:\n") + indented(tail(text(op, "stderr"), 12));
        report += QStringLiteral("  its log:\n") + indented(tail(text(op, "log"), 60));
    }
    return report;
}
