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

    // Opens the journal `config` names (the same file again is kept open) and resolves it.
    // False, with an error line naming the file, when it cannot be used: then nothing that
    // needs it may be sent.
    bool open(const Config &config);
    // Hands the entries of processes that have ended to the queue; unless `now`, at most once
    // a minute, as a replay offers one message after another.
    void resolve(bool now);
    // The replay finished the queued reversal of sale `orderId` (an empty `refundId`) or that
    // refund.
    void finished(const QString &orderId, const QString &refundId);

    // Null while the journal cannot be used.
    QSharedPointer<velmor::Journal> journal() const;
    // The file that could not be used, when it could not.
    QString unusablePath() const { return m_unusablePath; }

private:
    Log4Qt::Logger *m_logger;
    QSharedPointer<velmor::Journal> m_journal;
    QString m_unusablePath;
    QElapsedTimer m_sinceResolved;
};
