#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

// Holds what the tills reported against what the service really did. The till record is
// {"seed", "operations": [...], "queues": [...]}, one operation per till process:
// {"op", "till", "kind" (sale, refund, cancel, replay), "code", "amountKopecks", "orderId"
// (a sale's order, from its answer or its log; the sale's for a refund or a cancel),
// "refundKopecks", "perturbations", "killed" (ended by the SIGKILL drawn for it), "hung"
// (ended by the driver's time limit), "exitCode", "exitSignal", "answer" ({"status",
// "messageKey", "rrn"}; absent when none was printed), "startedAt", "endedAt" (ms since the
// epoch), "stdout", "stderr", "log", "journal" (a killed sale's journal entry, {"state",
// "outcome"}, as `till journal` listed it right after the kill)}; a queue is {"till", "pending",
// "replayExit", "rounds", "messages" (the lines `till queue` listed)} after the final replays. The
// ledger is the sandbox's (Sandbox::ledger()).
//
// What must hold: a sale reported paid is completed at the service, or refunded by reported
// refunds; a completed order was reported paid; every refund or cancellation reported done or
// queued was carried out exactly once, and none the till reported failed was, unless the
// message key says the outcome is unknown, and none twice; a sale whose order an answer to the
// till showed completed while it ran ends paid: its order is neither cancelled nor refunded by
// the replay of a cancellation; a cancellation reported done leaves the order refunded in full;
// no order is left created, scoring or approved; every queue is empty and its replay succeeds,
// but for cancellations of orders the service never held, which stay queued until the order has
// been unknown long enough (counted, not a discrepancy). An order whose sale was killed with
// SIGKILL is left to the host: counted, not a discrepancy, unless its journal shows the
// plug-in had answered it paid: that sale counts as reported paid.
class LedgerChecker
{
public:
    struct Finding
    {
        QString kind;
        int op = 0; // 0: none in particular
        QString orderId;
        QString text;
    };

    struct LeftToHost
    {
        int op = 0;
        QString orderId;
        QString status;
    };

    LedgerChecker(const QJsonObject &record, const QJsonObject &ledger);

    void check();

    const QVector<Finding> &discrepancies() const { return m_findings; }
    const QVector<LeftToHost> &leftToHost() const { return m_leftToHost; }
    // Queued messages about orders the service never held, by the order they name.
    const QStringList &leftQueued() const { return m_leftQueued; }
    // A discrepancy with all there is to know about it: the seed, the operation and its
    // perturbations, the exchanges of its order and the faults they met, what the till printed
    // and its log.
    QString describe(const Finding &finding) const;

private:
    // How an operation ended, as the till reported it.
    enum class Outcome { Done, Failed, Unknown, Killed, Hung, NoAnswer };

    Outcome outcomeOf(const QJsonObject &operation) const;
    static bool isDone(const QJsonObject &operation);
    // A till ended by a stop signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT) before it did anything: a
    // sale before it made an order, another operation before it reached the plug-in.
    static bool isEarlyStop(const QJsonObject &operation);
    void checkTills();
    void checkSales();
    void checkOrders();
    void checkRefunds();
    void checkShownCompleted();
    void checkQueues();
    // The first exchange of the order's that showed it completed by `untilMs`; empty if none.
    QJsonObject shownCompleted(const QString &orderId, qint64 untilMs) const;
    void add(const QString &kind, int op, const QString &orderId, const QString &text);
    QJsonObject operation(int op) const;
    QString exchangesOf(const QString &orderId, const QJsonObject &operation) const;

    const QJsonObject m_record;
    const QJsonObject m_ledger;
    QMap<QString, QJsonObject> m_orders; // by id
    QMap<QString, QJsonObject> m_sales;  // by order id
    QMap<QString, QJsonArray> m_refunds; // refund and cancel operations by order id
    QVector<Finding> m_findings;
    QVector<LeftToHost> m_leftToHost;
    QStringList m_leftQueued;
};
