#pragma once

#include <paymentprocessinganswer.h>
#include <velmor/journal.h>

#include <QDate>
#include <QList>
#include <QStringList>

// The host's reports of the shift from the journal alone: no request leaves. The plug-in knows
// no shift of the host's, so the shift is the current day by the till's clock: the entries
// recorded since local midnight. The short report totals the operations by kind; the full one
// adds a line per operation (time, operation, order, amount, what became of it).
class ShiftReport
{
public:
    // What became of one journal entry, as the reports count it.
    enum class Kind { SalePaid, Refund, Cancellation, Queued, Unknown, Reversal, Failed };

    ShiftReport(const QDate &day, const QList<velmor::Journal::Entry> &entries);

    // The report's lines at `width` characters (Slip::DefaultWidth for 0 or less).
    QStringList lines(bool full, int width) const;
    int operations() const { return m_entries.size(); }

    // The kind an entry counts as: a sale paid, failed or reversed through the queue (its
    // answer never reached the host); a refund or cancellation done, failed, waiting in the
    // queue or with an outcome nobody knows; an entry still open counts as unknown.
    static Kind kindOf(const velmor::Journal::Entry &entry);
    // The operation an entry records: a sale, or what the answer's note names (a refund when
    // the entry has no note, as those of an older plug-in have not).
    static int operationOf(const velmor::Journal::Entry &entry);
    // Local midnight of the current day.
    static QDateTime dayStart();
    // The answer of the report buttons, from the day's entries of `journal`.
    static PaymentProcessingAnswer answer(velmor::Journal &journal, bool full);
    // The answer of "print a copy": the last slip again, marked as a copy.
    static PaymentProcessingAnswer copyAnswer(velmor::Journal &journal);

private:
    static tr::Tr kindText(Kind kind);
    static tr::Tr outcomeText(Kind kind);

    QDate m_day;
    QList<velmor::Journal::Entry> m_entries;
};
