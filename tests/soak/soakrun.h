#pragma once

#include "queuelock.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

#include <map>
#include <memory>
#include <random>
#include <vector>

// The randomized fault soak: several tills side by side, each a fresh till process per
// operation (as a host restarts), against one velmor-sandbox with chaos on. Operations and the
// perturbations of each till process (a SIGKILL, the cashier's cancel by --interrupt-after or a
// signal, a locked queue) are drawn from the seed; the service draws its faults per exchange
// from a generator seeded from it. After the run the service is healed, every queue replayed
// until empty, and LedgerChecker holds what the tills reported against the service's ledger.
class SoakRun : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        quint64 seed = 1;
        int operations = 200;
        int tills = 4;
        int chaosPercent = 25;
        int downPerMille = 5;
        // Percent of the till processes whose queue the driver locks for a while.
        int lockPercent = 10;
        // The run stops issuing operations after this long and goes on to the checks.
        int maxSeconds = 4 * 3600;
        // SIGQUIT (Ctrl-\\) drawn beside SIGINT and SIGTERM as a stop signal the till holds.
        bool quitSignal = true;
        QString workDir;
        QString tillPath;
        QString pluginPath;
        QString sandboxPath;
        // A page whose soak runs table gets this run's row on top (docs/reliability.md), and
        // what the row says of the run besides its settings (e.g. the commit it ran).
        QString runsTable;
        QString runsNote;
    };

    explicit SoakRun(const Settings &settings);
    ~SoakRun() override;

    // 0: no discrepancy; 1: discrepancies (each printed); 2: the run could not be set up, or its
    // row could not be put into the runs table.
    int run();

private:
    struct Position
    {
        int posnum = 0;
        int quantity = 0;
        qint64 unitKopecks = 0;
    };

    // A sale reported paid, with what the reports say is left to refund of each position.
    struct PaidSale
    {
        int op = 0;
        QString orderId;
        QVector<Position> positions;
        QVector<int> remaining;
        bool busy = false;
        // A refund of unknown outcome: what is left is no longer known.
        bool frozen = false;
    };

    struct Operation
    {
        int op = 0;
        int till = 0;
        QString kind;
        QString code;
        qint64 amountKopecks = 0;
        QString orderId;
        int paidIndex = -1;
        QVector<int> returning;
        qint64 refundKopecks = 0;
        QStringList perturbations;
        bool killDrawn = false;
        bool killed = false;
        bool hung = false;
        int exitCode = 0;
        int exitSignal = 0;
        QJsonObject answer;
        // A killed sale's entry in its till's journal ({"state", "outcome"}), read right after
        // the kill: whether the plug-in had answered before the till died.
        QJsonObject journal;
        qint64 startedAt = 0;
        qint64 endedAt = 0;
        QString out;
        QString err;
        QString log;
    };

    struct Lane
    {
        int index = 0;
        QString dir;
        QProcess *process = nullptr;
        Operation op;
        QueueLock lock;
        qint64 logOffset = 0;
        bool busy = false;
    };

    bool startSandbox();
    void stopSandbox();
    bool prepareLane(Lane &lane);
    void startNext(Lane &lane);
    void planSale(Operation &op, QVector<Position> *positions);
    bool planRefund(Operation &op, bool wholeSale);
    void drawPerturbations(Lane &lane, QStringList *arguments);
    void onFinished(Lane &lane, int exitCode, QProcess::ExitStatus status);
    void settle(const Operation &op);
    void escalate(Lane &lane, int op, int afterMs);
    void note(const QString &perturbation);

    // The options every till of a lane runs with, relative to its working directory.
    QStringList baseArguments() const;
    // Runs a till to its end (or kills it after `timeoutMs`); the exit code, -1 when killed.
    // The journal's entry of `orderId`'s sale as `till journal` lists it; empty if none.
    QJsonObject journalEntry(const Lane &lane, const QString &orderId);
    int runTill(const Lane &lane, const QStringList &arguments, int timeoutMs, QString *out,
                QString *err);
    void finalReplays();
    bool post(const char *path, QJsonObject *answer);
    bool fetchLedger(QJsonObject *ledger);
    QJsonObject toJson(const Operation &op) const;
    int report(const QJsonObject &record, const QJsonObject &ledger);

    static bool writeReceipt(const QString &path, const QVector<Position> &positions,
                             const QVector<int> &bquant);
    static QString readFrom(const QString &path, qint64 *offset);

    int uniform(int low, int high);
    bool chance(int percent);

    const Settings m_settings;
    std::mt19937_64 m_random;
    QProcess m_sandbox;
    int m_port = 0;
    std::vector<std::unique_ptr<Lane>> m_lanes;
    std::vector<PaidSale> m_paid;
    // The sale receipt of each paid sale's operation, for the cancellation's receipt.
    std::map<int, QVector<Position>> m_salePositions;
    QJsonArray m_operations;
    QJsonArray m_queues;
    std::map<QString, int> m_perturbationCounts;
    std::map<QString, int> m_kinds;
    int m_issued = 0;
    QElapsedTimer m_clock;
    QEventLoop m_loop;
};
