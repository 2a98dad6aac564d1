#include "journal.h"

#include "journaldatabase.h"
#include "journalheld.h"
#include "journalowner.h"
#include "journalrow.h"
#include <config.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <dlfcn.h>
#include <sqlite3.h>

#include <functional>

namespace velmor {

const QString Journal::PathKey = QStringLiteral("Velmor:journal");
const QString Journal::RetentionKey = QStringLiteral("Velmor:journalRetentionDays");
const QString Journal::FileName = QStringLiteral("journal.sqlite");

namespace {

#ifndef VELMOR_STATE_DIR
#define VELMOR_STATE_DIR "/var/lib/velmor"
#endif

// Whether the code runs from a file in the build tree (the till or the plug-in built there)
// rather than from an installed one.
bool runsFromBuildTree()
{
#ifdef VELMOR_BUILD_TREE
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&runsFromBuildTree), &info) == 0 || !info.dli_fname)
        return false;
    const QString module = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
    return module.startsWith(QStringLiteral(VELMOR_BUILD_TREE "/"));
#else
    return false;
#endif
}

Log4Qt::Logger *logger()
{
    return Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString());
}

} // namespace

class Journal::Private
{
public:
    qint64 record(Kind kind, const QString &orderId, const QString &refundId, qint64 amount,
                  const QJsonObject &refundBody, const QJsonObject &queueMessage);

    QString ownersFile() const { return db.path() + QStringLiteral(".owners"); }

    JournalDatabase db;
    JournalOwner owner;
};

qint64 Journal::Private::record(Kind kind, const QString &orderId, const QString &refundId,
                                qint64 amount, const QJsonObject &refundBody,
                                const QJsonObject &queueMessage)
{
    const int changed = db.change(
        "INSERT INTO entries (kind, order_id, refund_id, amount, owner, state, recorded,"
        " refund_body, queue_message) VALUES (?1, ?2, ?3, ?4, ?5, 'open', ?6, ?7, ?8)",
        [&](JournalStatement &insert) {
            return insert.bind(1, kindName(kind)) && insert.bind(2, orderId) &&
                   insert.bind(3, refundId) && insert.bind(4, amount) &&
                   insert.bind(5, owner.token()) && insert.bind(6, JournalRow::nowText()) &&
                   insert.bind(7, refundBody.isEmpty() ? QByteArray()
                                                       : JournalRow::jsonText(refundBody)) &&
                   insert.bind(8, JournalRow::jsonText(queueMessage));
        });
    return changed == 1 ? sqlite3_last_insert_rowid(db.handle()) : 0;
}

Journal::Journal() : d(new Private) {}

Journal::~Journal()
{
    close();
}

QString Journal::defaultPath(const Config *config)
{
    const QString configured = config ? config->getString(PathKey).trimmed() : QString();
    if (!configured.isEmpty())
        return QFileInfo(configured).absoluteFilePath();
    // Like the queue: one journal per till wherever it is started from when installed, and one
    // per working directory for a build tree's till, which a developer or a test runs in a
    // directory of its own.
    if (runsFromBuildTree())
        return QDir::current().absoluteFilePath(FileName);
    return QDir(QStringLiteral(VELMOR_STATE_DIR)).absoluteFilePath(FileName);
}

int Journal::retentionDays(const Config *config)
{
    if (!config)
        return DefaultRetentionDays;
    bool ok = false;
    const int days = config->getString(RetentionKey).trimmed().toInt(&ok);
    return ok && days > 0 ? days : DefaultRetentionDays;
}

bool Journal::open(const QString &path, OpenMode mode, int retentionDays)
{
    close();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    d->db.clearSetAside();
    d->db.setError(QString());
    if (mode == OpenMode::ReadOnly)
        return d->db.openReadOnly(absolute);

    bool damaged = false;
    if (!d->db.openReadWrite(absolute, &damaged)) {
        // Set aside once: a file that is damaged again right after is no damage to set aside
        // but a fault of the place, and is reported as one.
        if (!damaged || !d->db.setAside() || !d->db.openReadWrite(absolute, &damaged)) {
            if (damaged)
                d->db.setError(QStringLiteral("journal %1 cannot be started: %2")
                                   .arg(absolute, d->db.errorString()));
            logger()->error(QStringLiteral("Journal unusable: %1").arg(d->db.errorString()));
            return false;
        }
    }
    if (!d->owner.take(d->ownersFile())) {
        d->db.setError(QStringLiteral("journal %1: %2").arg(absolute, d->owner.errorString()));
        logger()->error(QStringLiteral("Journal unusable: %1").arg(d->db.errorString()));
        d->db.close();
        return false;
    }
    const int pruned = prune(retentionDays);
    if (pruned < 0) {
        logger()->error(QStringLiteral("Journal unusable: %1").arg(d->db.errorString()));
        close();
        return false;
    }
    if (pruned > 0)
        logger()->info(QStringLiteral("Journal %1: %2 entries older than %3 days deleted")
                           .arg(absolute)
                           .arg(pruned)
                           .arg(retentionDays));
    d->db.setError(QString());
    return true;
}

void Journal::close()
{
    d->db.close();
    d->owner.release();
}

bool Journal::isOpen() const
{
    return d->db.isOpen();
}

QString Journal::path() const
{
    return d->db.path();
}

QString Journal::errorString() const
{
    return d->db.errorString();
}

QString Journal::setAsidePath() const
{
    return d->db.setAsidePath();
}

qint64 Journal::recordSale(const QString &orderId, qint64 amountKopecks,
                           const QJsonObject &queueMessage)
{
    return d->record(Kind::Sale, orderId, QString(), amountKopecks, QJsonObject(), queueMessage);
}

qint64 Journal::recordRefund(const QString &orderId, const QString &refundId, qint64 amountKopecks,
                             const QJsonObject &refundBody, const QJsonObject &queueMessage)
{
    return d->record(Kind::Refund, orderId, refundId, amountKopecks, refundBody, queueMessage);
}

bool Journal::markAnswered(qint64 entry, Outcome outcome, int status, const QString &rrn,
                           const QJsonObject &note)
{
    // A refund whose outcome is unknown keeps what the resolution will queue; any other answer
    // settles the entry, and the messages are dropped so that the file stays small.
    const bool unknown = outcome == Outcome::Unknown;
    const int changed = d->db.change(
        unknown ? "UPDATE entries SET state = 'unknown', outcome = ?2, status = ?3, rrn = ?4,"
                  " answered = ?5, note = ?6 WHERE id = ?1 AND state = 'open'"
                : "UPDATE entries SET state = 'answered', outcome = ?2, status = ?3, rrn = ?4,"
                  " answered = ?5, note = ?6, queue_message = '', refund_body = '' WHERE id = ?1"
                  " AND state = 'open'",
        [&](JournalStatement &update) {
            return update.bind(1, entry) && update.bind(2, outcomeName(outcome)) &&
                   update.bind(3, qint64(status)) && update.bind(4, rrn) &&
                   update.bind(5, JournalRow::nowText()) &&
                   update.bind(6, note.isEmpty() ? QByteArray() : JournalRow::jsonText(note));
        });
    if (changed == 0)
        d->db.setError(
            QStringLiteral("journal %1: entry %2 is not open").arg(d->db.path()).arg(entry));
    return changed == 1;
}

QList<Journal::Entry> Journal::deadEntries(int limit)
{
    QList<Entry> dead;
    if (!d->db.ensureOpen())
        return dead;
    // The owners first, each asked once: a till that died with many entries open costs one
    // question.
    QStringList owners;
    {
        JournalStatement select(d->db.handle(),
                                "SELECT DISTINCT owner FROM entries WHERE " VELMOR_UNSETTLED
                                " AND state = 'open'");
        if (!select) {
            d->db.fail(QStringLiteral("cannot read journal %1").arg(d->db.path()));
            return dead;
        }
        int rc = SQLITE_ROW;
        while ((rc = select.step()) == SQLITE_ROW) {
            const QString token = select.text(0);
            if (token != d->owner.token())
                owners.append(token);
        }
        if (rc != SQLITE_DONE) {
            d->db.fail(QStringLiteral("cannot read journal %1").arg(d->db.path()));
            return dead;
        }
    }
    const QStringList ended = JournalOwner::ended(d->ownersFile(), owners);
    // The ended owners go in as one JSON array, whatever their number.
    QJsonArray tokens;
    for (const QString &token : qAsConst(ended))
        tokens.append(token);
    const QByteArray sql = JournalRow::select(d->db.hasNote()) +
                           " WHERE " VELMOR_UNSETTLED
                           " AND (state = 'unknown' OR (state = 'open' AND owner IN"
                           " (SELECT value FROM json_each(?1)))) ORDER BY id LIMIT ?2";
    const QString tokenText =
        QString::fromUtf8(QJsonDocument(tokens).toJson(QJsonDocument::Compact));
    if (!JournalRow::readAll(
            d->db, sql,
            [&tokenText, limit](JournalStatement &select) {
                return select.bind(1, tokenText) && select.bind(2, qint64(limit));
            },
            &dead))
        dead.clear();
    return dead;
}

int Journal::resolve(const std::function<bool(const Entry &)> &handOver, int limit)
{
    if (!d->db.ensureOpen())
        return -1;
    // IMMEDIATE takes the write lock at once: a second resolver waits here, then finds the
    // entries handed over already.
    if (!d->db.exec("BEGIN IMMEDIATE"))
        return -1;
    const QList<Entry> dead = deadEntries(limit);
    bool ok = d->db.errorString().isEmpty();
    int handedOver = 0;
    for (const Entry &entry : dead) {
        if (!ok)
            break;
        if (!handOver(entry))
            continue;
        ok = markReversedQueued(entry.id);
        if (ok)
            ++handedOver;
    }
    if (ok && d->db.exec("COMMIT"))
        return handedOver;
    const QString error = d->db.errorString();
    d->db.exec("ROLLBACK");
    d->db.setError(error);
    return -1;
}

bool Journal::markReversedQueued(qint64 entry)
{
    const int changed =
        d->db.change("UPDATE entries SET state = 'reversal-queued', resolved = ?2 WHERE id = ?1 AND"
                     " state IN ('open', 'unknown')",
                     [&](JournalStatement &update) {
                         return update.bind(1, entry) && update.bind(2, JournalRow::nowText());
                     });
    if (changed == 0)
        d->db.setError(QStringLiteral("journal %1: entry %2 waits for no resolution")
                           .arg(d->db.path())
                           .arg(entry));
    return changed == 1;
}

bool Journal::openRefundFor(const QString &orderId, Entry *refund)
{
    QList<Entry> found;
    const QByteArray sql = JournalRow::select(d->db.hasNote()) +
                           " WHERE order_id = ?1 AND kind = 'refund' AND " VELMOR_UNSETTLED
                           " ORDER BY id DESC LIMIT 1";
    if (!JournalRow::readAll(
            d->db, sql, [&orderId](JournalStatement &select) { return select.bind(1, orderId); },
            &found) ||
        found.isEmpty())
        return false;
    if (refund)
        *refund = found.first();
    return true;
}

int Journal::markFinished(const QString &orderId, const QString &refundId)
{
    if (JournalHeld(d->db).forget(orderId, refundId) < 0)
        return -1;
    return d->db.change(
        "UPDATE entries SET state = 'finished', resolved = ?3, queue_message = '',"
        " refund_body = '' WHERE order_id = ?1 AND state IN ('unknown', 'reversal-queued') AND"
        " ((?2 = '' AND kind = 'sale') OR (?2 <> '' AND kind = 'refund' AND refund_id = ?2))",
        [&](JournalStatement &update) {
            return update.bind(1, orderId) && update.bind(2, refundId) &&
                   update.bind(3, JournalRow::nowText());
        });
}

bool Journal::markHeld(const QString &orderId, const QString &refundId, Hold reason)
{
    return JournalHeld(d->db).keep(orderId, refundId, holdName(reason));
}

int Journal::prune(int retentionDays)
{
    const QString cutoff =
        JournalRow::timeText(QDateTime::currentDateTimeUtc().addDays(-qMax(retentionDays, 1)));
    return d->db.change("DELETE FROM entries WHERE recorded < ?1 AND state IN ('answered',"
                        " 'reversal-queued', 'finished')",
                        [&cutoff](JournalStatement &remove) { return remove.bind(1, cutoff); });
}

bool Journal::readEntries(const QDateTime &since, bool unsettledOnly, QList<Entry> *entries)
{
    QByteArray sql = JournalRow::select(d->db.hasNote()) + " WHERE recorded >= ?1";
    if (unsettledOnly)
        sql += " AND " VELMOR_UNSETTLED;
    sql += " ORDER BY id";
    const QString from = since.isValid() ? JournalRow::timeText(since) : QString();
    return JournalRow::readAll(
        d->db, sql, [&from](JournalStatement &select) { return select.bind(1, from); }, entries);
}

bool Journal::lastSlip(Entry *entry)
{
    QList<Entry> found;
    d->db.setError(QString());
    if (!d->db.hasNote() ||
        !JournalRow::readAll(d->db, JournalRow::select(true) + JournalRow::LastSlip, {}, &found) ||
        found.isEmpty())
        return false;
    *entry = found.first();
    return true;
}

bool Journal::figures(Figures *figures)
{
    if (!d->db.ensureOpen())
        return false;
    JournalStatement select(d->db.handle(),
                            "SELECT (SELECT count(*) FROM entries WHERE " VELMOR_UNSETTLED
                            " AND state IN ('open', 'unknown')), count(*), min(resolved) FROM"
                            " entries WHERE " VELMOR_UNSETTLED " AND state = 'reversal-queued'");
    if (!select || select.step() != SQLITE_ROW)
        return d->db.fail(QStringLiteral("cannot read journal %1").arg(d->db.path()));
    figures->open = select.number(0);
    figures->reversalsQueued = select.number(1);
    const QDateTime oldest = JournalRow::parseTime(select.text(2));
    figures->oldestReversalAgeSeconds =
        oldest.isValid() ? qMax<qint64>(oldest.secsTo(QDateTime::currentDateTimeUtc()), 0) : 0;
    JournalHeld held(d->db);
    if (!held.count(holdName(Hold::UnknownOrder), HeldFreshDays, &figures->heldUnknownOrder) ||
        !held.count(holdName(Hold::Exceeding), HeldFreshDays, &figures->heldExceeding))
        return false;
    d->db.setError(QString());
    return true;
}

QString Journal::holdName(Hold reason)
{
    return reason == Hold::UnknownOrder ? QStringLiteral("order_not_found")
                                        : QStringLiteral("exceeding");
}

QString Journal::kindName(Kind kind)
{
    return kind == Kind::Refund ? QStringLiteral("refund") : QStringLiteral("sale");
}

QString Journal::stateName(State state)
{
    switch (state) {
    case State::Open:
        return QStringLiteral("open");
    case State::Answered:
        return QStringLiteral("answered");
    case State::Unknown:
        return QStringLiteral("unknown");
    case State::ReversalQueued:
        return QStringLiteral("reversal-queued");
    case State::Finished:
        return QStringLiteral("finished");
    }
    return QString();
}

QString Journal::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::None:
        return QString();
    case Outcome::Done:
        return QStringLiteral("done");
    case Outcome::Queued:
        return QStringLiteral("queued");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Unknown:
        return QStringLiteral("unknown");
    }
    return QString();
}

} // namespace velmor
