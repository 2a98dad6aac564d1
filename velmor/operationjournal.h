#pragma once

#include "journal.h"
#include "requestresult.h"

#include <QJsonObject>
#include <QSharedPointer>
#include <QString>

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The journal as the sale or refund in hand writes it: its entry, written before its request
// leaves and marked with its outcome before the host has the answer. Used by the thread that
// runs the operation only.
class OperationJournal
{
public:
    explicit OperationJournal(Log4Qt::Logger *logger);

    // None: nothing is written, as for a client that is not the plug-in's.
    void setJournal(const QSharedPointer<Journal> &journal);
    bool isKept() const;

    // A new sale or refund: no entry in hand until it is recorded.
    void start();
    // Before a sale's create leaves, with the cancellation that reverses it, and before a
    // refund's exchange, with the message that replays it. False (logged) when the journal
    // could not write it: the request must not go out.
    bool recordSale(const QString &orderId, qint64 amountKopecks, const QJsonObject &reversal);
    bool recordRefund(const QString &orderId, const QString &refundId, qint64 amountKopecks,
                      const QJsonObject &body, const QJsonObject &replay);
    // The answer of an operation whose entry could not be written: nothing was sent.
    RequestResult unwritten(const QString &id) const;

    // A refund of order `orderId` whose outcome nobody knows yet (its till died, or it could
    // be neither confirmed nor queued) may have been made, and another one could return the
    // money twice. Fills `refusal` (logged) and returns true when there is one.
    bool refusesRefund(const QString &orderId, RequestResult *refusal) const;

    // Marks the entry in hand as answered with `outcome` and the processing object's `note`
    // (Journal::markAnswered); nothing when there is none.
    void answer(Journal::Outcome outcome, int status, const QString &rrn,
                const QJsonObject &note = QJsonObject());

private:
    Log4Qt::Logger *m_logger;
    QSharedPointer<Journal> m_journal;
    // The entry of the sale or refund in hand; 0: none.
    qint64 m_entry = 0;
};

} // namespace velmor
