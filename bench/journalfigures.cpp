#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"

#include <dbqueuebroker.h>
#include <velmor/journal.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const qint64 Sales = 100000;
const int OpenEntries = 1000;
const double MiB = 1024.0 * 1024.0;

QString countText(qint64 count)
{
    return QLocale(QLocale::English).toString(count);
}

// `count` rows inserted by `sql` into the journal at `path` behind its back, in one
// transaction, `bind` filling row `i`'s parameters.
bool insertRows(const QString &path, const char *sql, qint64 count,
                const std::function<void(sqlite3_stmt *, qint64)> &bind)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_stmt *insert = nullptr;
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) == SQLITE_OK;
    for (qint64 i = 0; ok && i < count; ++i) {
        bind(insert, i);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}

void bindText(sqlite3_stmt *statement, int index, const QByteArray &text)
{
    sqlite3_bind_text(statement, index, text.constData(), text.size(), SQLITE_TRANSIENT);
}

// `count` entries left open by as many tills that ended, each under an owner of its own whose
// lock nobody holds.
bool addDeadEntries(const QString &path, int count, const QByteArray &message)
{
    return insertRows(path,
                      "INSERT INTO entries (kind, order_id, amount, owner, state, recorded,"
                      " queue_message) VALUES ('sale', ?1, 150000, ?2, 'open',"
                      " '2026-12-01T10:00:00.000Z', ?3)",
                      count, [&message](sqlite3_stmt *insert, qint64 i) {
                          bindText(insert, 1, BenchContext::newId().toLatin1());
                          // Offsets spread like the random ones a journal draws.
                          bindText(insert, 2, QByteArray::number((i + 1) * 4611686018427387LL));
                          bindText(insert, 3, message);
                      });
}

// The journal's first answered sale again `count` times under new order ids: the rows as the
// journal writes them, made in seconds where a sale's two durable writes each would take
// minutes.
bool cloneAnsweredSale(const QString &path, qint64 count)
{
    return insertRows(path,
                      "INSERT INTO entries (kind, order_id, refund_id, amount, owner, state,"
                      " outcome, status, rrn, recorded, answered, resolved, refund_body,"
                      " queue_message) SELECT kind, ?1, refund_id, amount, owner, state, outcome,"
                      " status, ?1, recorded, answered, resolved, refund_body, queue_message"
                      " FROM entries WHERE id = (SELECT min(id) FROM entries)",
                      count, [](sqlite3_stmt *insert, qint64) {
                          bindText(insert, 1, BenchContext::newId().toLatin1());
                      });
}

qint64 fileSize(const QString &path)
{
    qint64 size = 0;
    for (const QString &suffix : {QString(), QStringLiteral("-wal")})
        size += QFileInfo(path + suffix).size();
    return size;
}

// 21: a host's start that finds `OpenEntries` entries left by tills that ended, against one
// with an empty journal, each load in a fresh process with a fresh journal and queue.
void runStartFigure(BenchContext &context, ResultTable &table, const QByteArray &message)
{
    const QString name = QStringLiteral("plug-in load + init with %1 entries left open, median "
                                        "of %2");
    const QString goal = QStringLiteral("< 50 ms");
    const int tries = context.tries(10, 3);
    std::vector<qint64> loaded;
    std::vector<qint64> empty;
    int failures = 0;
    qint64 handed = -1;
    for (int i = 0; i < tries; ++i) {
        for (const bool withEntries : {true, false}) {
            const QString stem = QStringLiteral("fig21-%1-%2").arg(i).arg(withEntries);
            const QString journalPath = context.workPath(stem + QStringLiteral("-journal.sqlite"));
            const QString queuePath = context.workPath(stem + QStringLiteral("-queue.sqlite"));
            velmor::Journal created;
            bool ok = created.open(journalPath);
            created.close();
            ok = ok && (!withEntries || addDeadEntries(journalPath, OpenEntries, message));
            const qint64 nanos = ok ? timePluginStart(journalPath, queuePath) : -1;
            if (nanos < 0) {
                ++failures;
                continue;
            }
            (withEntries ? loaded : empty).push_back(nanos);
            if (withEntries) {
                const DBQueueBroker queue(queuePath, DBQueueBroker::OpenMode::ReadOnly);
                handed = queue.pendingCount(0, queue.lastMessageId());
            }
        }
    }
    const double measured = median(loaded);
    const double baseline = median(empty);
    table.add({21, name.arg(countText(OpenEntries)).arg(tries), ResultTable::millis(measured),
               ResultTable::millis(baseline) + QStringLiteral(" (an empty journal)"),
               ResultTable::ratioText(baseline > 0 ? measured / baseline : 0.0), goal,
               failures == 0 && !loaded.empty() && measured < 50e6 ? ResultTable::Verdict::Met
                                                                   : ResultTable::Verdict::Missed});
    table.addNote(21, QStringLiteral("the start hands %1 of them to the queue, a durable write "
                                     "each, and sends nothing; the replay that the first of "
                                     "them starts hands over the rest")
                          .arg(handed));
    if (failures)
        table.addNote(21, QStringLiteral("%1 starts failed").arg(failures));
}

} // namespace

void runJournalFigures(BenchContext &context, ResultTable &table)
{
    const QString sizeName =
        QStringLiteral("journal file after %1 sales recorded and answered").arg(countText(Sales));
    const QString findName =
        QStringLiteral("dead entries found among %1 open ones, behind %2 answered, median of %3")
            .arg(countText(OpenEntries), countText(Sales));
    const QString findGoal = QStringLiteral("< 50 ms");
    const QString path = context.workPath(QStringLiteral("bench-journal.sqlite"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);

    // The first sales as the plug-in will journal them: recorded with the cancellation it
    // would queue, then answered, each one durable transaction; the rest copies of them.
    const int journalled = context.tries(1000, 100);
    const QString placeholder = BenchContext::newId();
    const QJsonObject message = context.queuedRefund(placeholder);
    const QByteArray messageText = QJsonDocument(message).toJson(QJsonDocument::Compact);
    // A file that holds less than what the entries carried while open: the messages do not
    // stay behind.
    const QString sizeGoal = QStringLiteral("< %1 B a sale (the cancellation an open entry keeps)")
                                 .arg(messageText.size());
    velmor::Journal journal;
    bool ok = journal.open(path);
    const Clock::time_point started = Clock::now();
    for (int i = 0; ok && i < journalled; ++i) {
        const QString order = BenchContext::newId();
        const qint64 entry = journal.recordSale(order, 150000, message);
        ok = entry > 0 && journal.markAnswered(entry, velmor::Journal::Outcome::Done, 0, order);
    }
    const double perSale = double(nanosBetween(started, Clock::now())) / journalled;
    journal.close();
    ok = ok && cloneAnsweredSale(path, Sales - journalled);
    // Reopened as a till's next start finds it; both the file and its write-ahead log count.
    // The open checks the whole file (SQLite's quick check) so that a damaged one is set aside;
    // the second open is timed, with the file in the page cache as a restarted till finds it.
    ok = ok && journal.open(path);
    journal.close();
    const Clock::time_point opening = Clock::now();
    ok = ok && journal.open(path);
    const double openNanos = double(nanosBetween(opening, Clock::now()));
    const qint64 size = fileSize(path);
    const double perSaleBytes = double(size) / Sales;
    if (!ok) {
        table.add({18, sizeName, {}, {}, {}, sizeGoal, ResultTable::Verdict::NotRun});
        table.add({19, findName.arg(0), {}, {}, {}, findGoal, ResultTable::Verdict::NotRun});
        table.addNote(18,
                      QStringLiteral("the journal could not be written: ") + journal.errorString());
        return;
    }
    table.add({18, sizeName, QStringLiteral("%1 MiB").arg(size / MiB, 0, 'f', 1),
               QStringLiteral("none"), QStringLiteral("%1 B a sale").arg(perSaleBytes, 0, 'f', 0),
               sizeGoal,
               perSaleBytes < messageText.size() ? ResultTable::Verdict::Met
                                                 : ResultTable::Verdict::Missed});
    table.addNote(18, QStringLiteral("the first %1 sales through velmor::Journal (a sale's two "
                                     "durable writes took %2 together, median-free mean), the "
                                     "rest copies of its rows under new order ids; an answer "
                                     "drops the %3-byte cancellation kept for a reversal. "
                                     "Opening it (the whole file checked) took %4")
                          .arg(countText(journalled), ResultTable::micros(perSale))
                          .arg(messageText.size())
                          .arg(ResultTable::millis(openNanos)));

    // A thousand tills died mid-sale, each leaving its entry.
    journal.close();
    if (!addDeadEntries(path, OpenEntries, messageText) || !journal.open(path)) {
        table.add({19, findName.arg(0), {}, {}, {}, findGoal, ResultTable::Verdict::NotRun});
        table.addNote(19, QStringLiteral("the open entries could not be written"));
        return;
    }
    // The writer's look and a read-only one, as `till check` makes it.
    const int tries = context.tries(51, 5);
    std::vector<qint64> readOnlyNanos;
    std::vector<qint64> writerNanos;
    int wrong = 0;
    velmor::Journal reader;
    if (!reader.open(path, velmor::Journal::OpenMode::ReadOnly))
        ++wrong;
    for (int i = 0; i < tries; ++i) {
        Clock::time_point from = Clock::now();
        int found = reader.deadEntries().size();
        readOnlyNanos.push_back(nanosBetween(from, Clock::now()));
        wrong += found == OpenEntries ? 0 : 1;
        from = Clock::now();
        found = journal.deadEntries().size();
        writerNanos.push_back(nanosBetween(from, Clock::now()));
        wrong += found == OpenEntries ? 0 : 1;
    }
    // What of it is reading the entries themselves, owners aside.
    std::vector<qint64> readNanos;
    for (int i = 0; i < tries; ++i) {
        QList<velmor::Journal::Entry> entries;
        const Clock::time_point from = Clock::now();
        reader.readEntries(QDateTime(), true, &entries);
        readNanos.push_back(nanosBetween(from, Clock::now()));
        wrong += entries.size() == OpenEntries ? 0 : 1;
    }
    const double findTime = std::max(median(readOnlyNanos), median(writerNanos));
    table.add(
        {19, findName.arg(tries), ResultTable::millis(findTime), QStringLiteral("none"),
         QStringLiteral("-"), findGoal,
         wrong == 0 && findTime < 50e6 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(19,
                  QStringLiteral("each of the %1 entries under an owner of its own that holds no "
                                 "lock; median of the writer's look %2, of a read-only look "
                                 "%3; the slower counts. Reading the same entries without "
                                 "asking their owners: %4")
                      .arg(countText(OpenEntries), ResultTable::millis(median(writerNanos)),
                           ResultTable::millis(median(readOnlyNanos)),
                           ResultTable::millis(median(readNanos))));
    if (wrong)
        table.addNote(19, QStringLiteral("%1 looks found another number of entries").arg(wrong));
    journal.close();
    reader.close();
    runStartFigure(context, table, messageText);
}
