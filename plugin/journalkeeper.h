#pragma once

#include <velmor/journal.h>

#include <QElapsedTimer>
#include <QSharedPointer>
#include <QString>

class Config;

namespace Log4Qt {
class Logger;
}

// The processing object's journal of sales and refunds: opened at init, and what a till that
// died left without an answer handed to the host's queue then and before replays, so that the
// queue's replay cancels or refunds it. Handing over costs one queue write per entry and sends
// nothing.
class JournalKeeper
{
public:
    explicit JournalKeeper(Log4Qt::Logger *logger);

    // Opens the journal `config` names (the same file again is kept open) and resolves at most
    // InitLimit of its entries, so that a host's start stays fast whatever ended processes
    // left: the replay that the first of them starts takes the rest. False, with an error line
    // naming the file, when it cannot be used: then nothing that needs it may be sent.
    bool open(const Config &config);
    // Hands every entry of processes that have ended to the queue, before a replay: at most
    // once a minute, as a replay offers one message after another, unless an earlier
    // resolution left some.
    void resolveBeforeReplay();

    static constexpr int InitLimit = 20;
    // The replay finished the queued reversal of sale `orderId` (an empty `refundId`) or that
    // refund.
    void finished(const QString &orderId, const QString &refundId);
    // The replay keeps that message for `reason`, which `till metrics` counts.
    void held(const QString &orderId, const QString &refundId, velmor::Journal::Hold reason);

    // Null while the journal cannot be used.
    QSharedPointer<velmor::Journal> journal() const;
    // The file that could not be used, when it could not.
    QString unusablePath() const { return m_unusablePath; }

private:
    // Hands over at most `limit` entries (all when negative).
    void resolve(int limit);

    Log4Qt::Logger *m_logger;
    QSharedPointer<velmor::Journal> m_journal;
    QString m_unusablePath;
    QElapsedTimer m_sinceResolved;
    // Entries a resolution left to the next one.
    bool m_leftSome = false;
};
