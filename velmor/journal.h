#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QScopedPointer>
#include <QString>

#include <functional>

class Config;

namespace velmor {

// The plug-in's write-ahead journal: a sale or a refund is written down before its request
// leaves, and marked with its outcome before the host gets the answer. An entry left without an
// answer by a process that has ended is a sale or a refund whose outcome nobody saw; the next
// start hands it to the host's queue (the cancellation or the refund recorded with it), so that
// a till that died never leaves a buyer charged without a receipt, nor a refund lost or made
// twice.
//
// One SQLite file (WAL, synchronous FULL): every change is one transaction, on disk when the
// call returns true. Several processes may share the file; each open journal holds a lock of its
// own (see JournalOwner) that tells the others exactly whether it still runs.
class Journal
{
public:
    // The key that names the file, and the key and default of how long entries are kept.
    static const QString PathKey;
    static const QString RetentionKey;
    static constexpr int DefaultRetentionDays = 90;
    // The file's name in the state directory.
    static const QString FileName;

    // ReadOnly opens an existing file without writing to it or its directory (no schema, no
    // pruning, no lock of its own): for listing and checking from outside.
    enum class OpenMode { ReadWrite, ReadOnly };

    enum class Kind { Sale, Refund };
    // Open: written before the request, no answer yet. Answered: the host got an answer with a
    // known outcome (done, queued, failed; any answer of a sale). Unknown: answered "unknown",
    // the refund or cancellation neither done nor queued, so it is handed to the queue at the
    // next resolution. ReversalQueued: handed to the queue by a resolution. Finished: the replay
    // (or the service's answer) finished what was handed over.
    enum class State { Open, Answered, Unknown, ReversalQueued, Finished };
    enum class Outcome { None, Done, Queued, Failed, Unknown };

    struct Entry
    {
        qint64 id = 0;
        Kind kind = Kind::Sale;
        QString orderId;
        QString refundId; // refunds only
        qint64 amountKopecks = 0;
        State state = State::Open;
        Outcome outcome = Outcome::None;
        int status = 0; // the answer's status, when answered
        QString rrn;
        QDateTime recorded;
        QDateTime answered;
        QDateTime resolved; // handed to the queue, or finished
        // What the resolution hands to the queue. Kept only while the entry may still need
        // it: dropped once its outcome is known.
        QJsonObject queueMessage;
        QJsonObject refundBody;
        // What the answer noted (see markAnswered); empty for entries answered without one.
        QJsonObject note;
    };

    // Why a replay keeps a queued message that no later replay can finish by itself: the
    // service does not know the paid order (another service, or it lost it), or a whole
    // cancellation exceeds what is left and the service showed no refunds to take the rest by.
    enum class Hold { UnknownOrder, Exceeding };

    // What a monitor wants to know: entries without a known outcome (open or unknown), the
    // reversals handed to the queue and not finished yet, with the oldest's age, and the
    // queued messages a replay kept for a Hold in the last HeldFreshDays days.
    struct Figures
    {
        qint64 open = 0;
        qint64 reversalsQueued = 0;
        qint64 oldestReversalAgeSeconds = 0;
        qint64 heldUnknownOrder = 0;
        qint64 heldExceeding = 0;
    };
    static const int HeldFreshDays = 7;

    Journal();
    ~Journal();

    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // The file a journal uses: `Velmor:journal` of `config` when set, else journal.sqlite in the
    // state directory: the installed one (/var/lib/velmor) for an installed plug-in or till,
    // the working directory for one run from its build tree. Absolute.
    static QString defaultPath(const Config *config);
    // `Velmor:journalRetentionDays` of `config`; the default when unset or not a positive
    // whole number.
    static int retentionDays(const Config *config);

    // Opens (ReadWrite: creates 0660, group velmor) the file and, ReadWrite, takes this
    // process's lock and deletes entries older than `retentionDays`. A file that is no journal
    // (not a database, a failed check, another schema) is renamed aside to
    // `<file>.damaged-<time>`, logged, and a new one started; setAsidePath() names it. False
    // with errorString() set when the file cannot be opened or written (a missing or
    // unwritable directory, a read-only file): nothing may then be sent that needs the journal.
    // ReadOnly, a missing file is an error too, and a damaged one is only reported.
    bool open(const QString &path, OpenMode mode = OpenMode::ReadWrite,
              int retentionDays = DefaultRetentionDays);
    void close();
    bool isOpen() const;
    QString path() const;
    QString errorString() const;
    // Where a damaged file was put by the last open; empty when none was.
    QString setAsidePath() const;

    // Before a sale's create leaves: its order id, amount and the cancellation message a
    // resolution would queue. The new entry's id, 0 on failure.
    qint64 recordSale(const QString &orderId, qint64 amountKopecks,
                      const QJsonObject &queueMessage);
    // Before a refund's (or a cancellation's) exchange: the refund id and body it is sent
    // under, and the queue message that carries both.
    qint64 recordRefund(const QString &orderId, const QString &refundId, qint64 amountKopecks,
                        const QJsonObject &refundBody, const QJsonObject &queueMessage);
    // Before the answer goes to the host. A sale's outcome is whatever the host got; Unknown
    // keeps a refund for the next resolution. False when the entry is not open. `note` is what
    // the processing object keeps with the answer for its reports: {"operation": "sale",
    // "refund" or "cancellation", "slip": the slip it printed, when it printed one}.
    bool markAnswered(qint64 entry, Outcome outcome, int status, const QString &rrn,
                      const QJsonObject &note = QJsonObject());

    // Entries to hand to the queue now: open ones whose process has ended, and refunds and
    // cancellations answered Unknown. Oldest first. Read-only too, for a check that only
    // reports them and changes nothing. Empty with errorString() set when the journal cannot be
    // read. At most `limit` of them when it is not negative.
    QList<Entry> deadEntries(int limit = -1);
    // deadEntries() handed one by one to `handOver` (which puts the entry's message in the
    // queue and says whether it did), those it took marked reversal-queued, all under the
    // journal's write lock: two processes resolving at once never hand one entry over twice.
    // A process killed in between leaves the entries open, to be handed over again (the replay
    // recognises a cancellation or a refund it has already made). The number handed over, -1
    // with errorString() set when the journal could not be read or written. At most `limit`
    // entries when it is not negative: the rest stay open for the next resolution.
    int resolve(const std::function<bool(const Entry &)> &handOver, int limit = -1);
    // After the entry's message is in the queue. False when the entry no longer waits for it
    // (another process resolved it meanwhile).
    bool markReversedQueued(qint64 entry);
    // The refund of `orderId` whose outcome is not known (open, unknown or handed to the queue),
    // the newest when several; false when there is none.
    bool openRefundFor(const QString &orderId, Entry *refund);
    // The replay, or the service's answer, finished what the queue held: the sale's reversal
    // when `refundId` is empty, else that refund. The number of entries it finished, -1 on
    // failure.
    int markFinished(const QString &orderId, const QString &refundId);
    // A replay kept the queued message of `orderId` (the sale's reversal when `refundId` is
    // empty, else that refund) for `reason`; counted in figures() until markFinished()
    // finishes it, or until no replay has kept it for HeldFreshDays (the message left the
    // queue some other way).
    bool markHeld(const QString &orderId, const QString &refundId, Hold reason);
    // Deletes entries recorded more than `retentionDays` ago whose outcome is known or that are
    // in the queue's hands; entries still to resolve are kept whatever their age. The number
    // deleted, -1 on failure.
    int prune(int retentionDays);

    // Entries recorded at or after `since` (every entry when invalid), only those whose
    // outcome is not known when `unsettledOnly`, oldest first; false with errorString() set
    // when the journal cannot be read.
    bool readEntries(const QDateTime &since, bool unsettledOnly, QList<Entry> *entries);
    // The newest entry whose note holds a slip; false when there is none (a file of the first
    // schema opened read-only holds no notes) or, with errorString() set, when the journal
    // cannot be read.
    bool lastSlip(Entry *entry);
    // False with errorString() set when the journal cannot be read.
    bool figures(Figures *figures);

    static QString kindName(Kind kind);
    // "order_not_found", "exceeding".
    static QString holdName(Hold reason);
    // "open", "answered", "unknown", "reversal-queued", "finished".
    static QString stateName(State state);
    // "", "done", "queued", "failed", "unknown".
    static QString outcomeName(Outcome outcome);

private:
    class Private;
    QScopedPointer<Private> d;
};

} // namespace velmor
