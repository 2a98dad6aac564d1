#include "benchcontext.h"
#include "childlauncher.h"
#include "figures.h"
#include "resulttable.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <dbqueuebroker.h>
#include <sandbox/sandbox.h>

#include <sqlite3.h>

#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

const char *const ScanOption = "--scan-queue";
const qint64 SmallQueue = 1000;
const qint64 LargeQueue = 100000;
// The replay figures time this many messages at the head of the queue.
const int ReplayedMessages = 200;
const double MiB = 1024.0;

QString countText(qint64 count)
{
    return QLocale(QLocale::English).toString(count);
}

QString mibText(qint64 kib)
{
    return QString::number(kib / MiB, 'f', 1) + QStringLiteral(" MiB");
}

// Rows written straight into a queue file made by the host's broker, in one transaction, with
// the ids given: a queue as it stands after a long time offline, made in seconds. `text`
// gives the message JSON of each id.
bool insertRows(const QString &path, qint64 firstId, qint64 count,
                const std::function<QByteArray(qint64)> &text)
{
    {
        // The host's own schema and settings.
        const DBQueueBroker broker(path);
        if (!broker.isOpen())
            return false;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_stmt *insert = nullptr;
    bool ok =
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "INSERT INTO messages (id, type, message, extra, added, attempts)"
                           " VALUES (?1, 'processing', ?2, '', '2024-06-01T12:00:00.000Z', 0)",
                           -1, &insert, nullptr) == SQLITE_OK;
    for (qint64 id = firstId; ok && id < firstId + count; ++id) {
        const QByteArray message = text(id);
        sqlite3_bind_int64(insert, 1, id);
        sqlite3_bind_text(insert, 2, message.constData(), message.size(), SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    // The last connection's close checkpoints the WAL into the file, so a copy of the file
    // alone is the whole queue.
    sqlite3_close_v2(db);
    return ok;
}

// Queued refunds of orders the service never saw, each with an id of its own: the bulk of a
// long queue, never offered in the replay figures.
bool fillQueue(BenchContext &context, const QString &path, qint64 firstId, qint64 count)
{
    const QString placeholder = BenchContext::newId();
    const QByteArray sample =
        QJsonDocument(context.queuedRefund(placeholder)).toJson(QJsonDocument::Compact);
    return insertRows(path, firstId, count, [&](qint64) {
        return QByteArray(sample).replace(placeholder.toLatin1(), BenchContext::newId().toLatin1());
    });
}

// A fresh copy of `from` at `to`, with nothing left of an earlier copy.
bool copyQueue(const QString &from, const QString &to)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(to + suffix);
    return QFile::copy(from, to);
}

QList<QByteArray> tillQueueArguments(BenchContext &context, const QString &queue)
{
    return {
        QByteArrayLiteral(TILL_PATH), "--config", context.tillConfigFile().toLocal8Bit(), "--queue",
        queue.toLocal8Bit(),          "queue"};
}

QList<QByteArray> scanArguments(const QString &queue)
{
    return {QCoreApplication::applicationFilePath().toLocal8Bit(), ScanOption, queue.toLocal8Bit()};
}

struct ListingRuns
{
    std::vector<qint64> tillNanos;
    std::vector<qint64> scanNanos;
    qint64 tillRssKib = 0;
    qint64 scanRssKib = 0;
    int failures = 0;
};

void addRun(const ChildLauncher::Run &run, qint64 rows, std::vector<qint64> *nanos, qint64 *rssKib,
            int *failures)
{
    if (!run.ok || run.exitStatus != 0 || run.lines != rows) {
        ++*failures;
        return;
    }
    nanos->push_back(run.totalNanos);
    *rssKib = std::max(*rssKib, run.maxRssKib);
}

} // namespace

bool isScanChild(int argc, char **argv)
{
    return argc > 2 && qstrcmp(argv[1], ScanOption) == 0;
}

int runScanChild(int argc, char **argv)
{
    // The baseline of `till queue`: the same rows and columns read by SQLite alone and written
    // out a line each, as they are stored.
    if (argc < 3)
        return 2;
    const QByteArray uri = "file:" + QByteArray(argv[2]) + "?mode=ro";
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK)
        return 1;
    sqlite3_stmt *select = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT id, type, message, extra, added, attempts, last_attempt"
                           " FROM messages ORDER BY id",
                           -1, &select, nullptr) != SQLITE_OK)
        return 1;
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
        std::printf("%lld", static_cast<long long>(sqlite3_column_int64(select, 0)));
        for (int column : {1, 4, 5, 6, 3, 2}) {
            std::putchar('\t');
            const unsigned char *text = sqlite3_column_text(select, column);
            if (text)
                std::fwrite(text, 1, size_t(sqlite3_column_bytes(select, column)), stdout);
        }
        std::putchar('\n');
    }
    sqlite3_finalize(select);
    sqlite3_close_v2(db);
    return rc == SQLITE_DONE && std::fflush(stdout) == 0 ? 0 : 1;
}

void runQueueListingFigures(BenchContext &context, ResultTable &table)
{
    const QString listingName =
        QStringLiteral("`till queue` over %1 messages, median of %2").arg(countText(LargeQueue));
    const QString memoryName =
        QStringLiteral("`till queue` peak resident memory, %1 messages").arg(countText(LargeQueue));
    const QString timeGoal = QStringLiteral("ratio <= 1.5");
    const QString memoryGoal = QStringLiteral("<= 64 MiB, and within 4 MiB of that at %1 (flat)")
                                   .arg(countText(SmallQueue));
    const QString small = context.workPath(QStringLiteral("listing-small.sqlite"));
    const QString large = context.workPath(QStringLiteral("listing-large.sqlite"));
    if (!fillQueue(context, small, 1, SmallQueue) || !fillQueue(context, large, 1, LargeQueue)) {
        table.add({12, listingName.arg(0), {}, {}, {}, timeGoal, ResultTable::Verdict::NotRun});
        table.add({13, memoryName, {}, {}, {}, memoryGoal, ResultTable::Verdict::NotRun});
        table.addNote(12, QStringLiteral("the queue files could not be made"));
        return;
    }

    // Runs of a fifth of a second each, on a machine whose neighbours come and go: the
    // median of many keeps one slow moment from deciding the figure.
    const int tries = context.quick() ? 3 : 11;
    ChildLauncher &launcher = context.launcher();
    ListingRuns smallRuns;
    ListingRuns largeRuns;
    for (int i = 0; i < tries; ++i) {
        // Each side first every other time, so that the disk cache and the machine's moods
        // fall on both.
        for (int side = 0; side < 2; ++side) {
            const bool tillSide = (side + i) % 2 == 0;
            for (qint64 rows : {SmallQueue, LargeQueue}) {
                const QString &path = rows == SmallQueue ? small : large;
                ListingRuns &runs = rows == SmallQueue ? smallRuns : largeRuns;
                if (tillSide)
                    addRun(launcher.run(tillQueueArguments(context, path)), rows, &runs.tillNanos,
                           &runs.tillRssKib, &runs.failures);
                else
                    addRun(launcher.run(scanArguments(path)), rows, &runs.scanNanos,
                           &runs.scanRssKib, &runs.failures);
            }
        }
    }
    const int failures = smallRuns.failures + largeRuns.failures;

    const double tillTime = median(largeRuns.tillNanos);
    const double scanTime = median(largeRuns.scanNanos);
    const double timeRatio = scanTime > 0 ? tillTime / scanTime : 0.0;
    table.add({12, listingName.arg(tries), ResultTable::millis(tillTime),
               ResultTable::millis(scanTime) + QStringLiteral(" (bare SQLite scan)"),
               ResultTable::ratioText(timeRatio), timeGoal,
               failures == 0 && timeRatio > 0 && timeRatio <= 1.5 ? ResultTable::Verdict::Met
                                                                  : ResultTable::Verdict::Missed});
    table.addNote(12,
                  QStringLiteral("%1 messages: `till queue` %2, bare scan %3; each run is a "
                                 "child process from its start to its exit, output read "
                                 "through a pipe")
                      .arg(countText(SmallQueue), ResultTable::millis(median(smallRuns.tillNanos)),
                           ResultTable::millis(median(smallRuns.scanNanos))));

    const qint64 growthKib = largeRuns.tillRssKib - smallRuns.tillRssKib;
    table.add({13, memoryName,
               QStringLiteral("%1 (%2 at %3)")
                   .arg(mibText(largeRuns.tillRssKib), mibText(smallRuns.tillRssKib),
                        countText(SmallQueue)),
               QStringLiteral("%1 bare scan (%2 at %3)")
                   .arg(mibText(largeRuns.scanRssKib), mibText(smallRuns.scanRssKib),
                        countText(SmallQueue)),
               ResultTable::ratioText(smallRuns.tillRssKib > 0
                                          ? double(largeRuns.tillRssKib) / smallRuns.tillRssKib
                                          : 0.0),
               memoryGoal,
               failures == 0 && largeRuns.tillRssKib > 0 && largeRuns.tillRssKib <= 64 * 1024 &&
                       growthKib <= 4 * 1024
                   ? ResultTable::Verdict::Met
                   : ResultTable::Verdict::Missed});
    table.addNote(13, QStringLiteral("peak resident set (wait4's ru_maxrss) of each child, the "
                                     "largest of its runs; the ratio is 100,000 over 1,000"));
    if (failures)
        table.addNote(
            12, QStringLiteral("%1 runs failed or listed another number of lines").arg(failures));
}

void runEnqueueFigure(BenchContext &context, ResultTable &table)
{
    const QString name =
        QStringLiteral("durable addMessage with %1 messages queued").arg(countText(LargeQueue));
    const QString goal = QStringLiteral("ratio <= 1.2");
    const QString largePath = context.workPath(QStringLiteral("enqueue-large.sqlite"));
    const QString emptyPath = context.workPath(QStringLiteral("enqueue-empty.sqlite"));
    if (!fillQueue(context, largePath, 1, LargeQueue)) {
        table.add({14, name, {}, {}, {}, goal, ResultTable::Verdict::NotRun});
        table.addNote(14, QStringLiteral("the queue file could not be made"));
        return;
    }
    DBQueueBroker large(largePath);
    DBQueueBroker empty(emptyPath);
    const QJsonObject message = context.queuedRefund(BenchContext::newId());
    std::vector<qint64> largeNanos;
    std::vector<qint64> emptyNanos;
    int failures = 0;
    const auto add = [&](DBQueueBroker &broker, std::vector<qint64> &nanos) {
        const Clock::time_point start = Clock::now();
        failures += !broker.addMessage(QStringLiteral("processing"), message, QString());
        nanos.push_back(nanosBetween(start, Clock::now()));
    };
    for (int i = 0; i < 20; ++i) {
        add(large, largeNanos);
        add(empty, emptyNanos);
    }
    largeNanos.clear();
    emptyNanos.clear();
    const int tries = context.tries(1000, 100);
    for (int i = 0; i < tries; ++i) {
        if (i % 2) {
            add(large, largeNanos);
            add(empty, emptyNanos);
        } else {
            add(empty, emptyNanos);
            add(large, largeNanos);
        }
    }
    const double measured = median(largeNanos);
    const double baseline = median(emptyNanos);
    const double ratio = baseline > 0 ? measured / baseline : 0.0;
    table.add({14, name + QStringLiteral(", median of %1").arg(tries),
               ResultTable::micros(measured),
               ResultTable::micros(baseline) + QStringLiteral(" (empty queue)"),
               ResultTable::ratioText(ratio), goal,
               failures == 0 && ratio > 0 && ratio <= 1.2 ? ResultTable::Verdict::Met
                                                          : ResultTable::Verdict::Missed});
    if (failures)
        table.addNote(14, QStringLiteral("%1 messages were not stored").arg(failures));
}

void runLongReplayFigure(BenchContext &context, ResultTable &table)
{
    const QString name = QStringLiteral("`till replay`, per message of the first %1, with %2 "
                                        "queued")
                             .arg(ReplayedMessages)
                             .arg(countText(LargeQueue));
    const QString goal = QStringLiteral("ratio <= 1.2");
    context.setReceipt(3);
    // The bulk behind the replayed head: ids from ReplayedMessages + 1 on, never offered.
    const QString smallBase = context.workPath(QStringLiteral("replay-small.sqlite"));
    const QString largeBase = context.workPath(QStringLiteral("replay-large.sqlite"));
    if (!fillQueue(context, smallBase, ReplayedMessages + 1, SmallQueue - ReplayedMessages) ||
        !fillQueue(context, largeBase, ReplayedMessages + 1, LargeQueue - ReplayedMessages)) {
        table.add({15, name, {}, {}, {}, goal, ResultTable::Verdict::NotRun});
        table.addNote(15, QStringLiteral("the queue files could not be made"));
        return;
    }
    const QString run = context.workPath(QStringLiteral("replay-run.sqlite"));
    const QByteArray config = context.tillConfigFile().toLocal8Bit();

    struct Side
    {
        std::vector<qint64> perMessage;
        std::vector<qint64> afterFirst;
        std::vector<qint64> firstLine;
        qint64 rssKib = 0;
    };
    Side smallSide;
    Side largeSide;
    int failures = 0;
    const int tries = context.quick() ? 1 : 3;
    for (int i = 0; i < tries; ++i) {
        for (qint64 queued : {SmallQueue, LargeQueue}) {
            // A fresh head each run: orders the service holds, half waiting approved for a
            // cancellation, half paid for a refund, as in figure 6.
            if (!copyQueue(queued == SmallQueue ? smallBase : largeBase, run)) {
                ++failures;
                continue;
            }
            bool ordersMade = true;
            const bool inserted = insertRows(run, 1, ReplayedMessages, [&](qint64 id) {
                const bool cancel = id % 2 == 0;
                const QString orderId = BenchContext::newId();
                ordersMade =
                    context.makeOrder(orderId,
                                      QLatin1String(cancel ? sandbox::Sandbox::CodeHold
                                                           : sandbox::Sandbox::CodeApprove),
                                      cancel ? QStringLiteral("approved")
                                             : QStringLiteral("completed")) &&
                    ordersMade;
                return QJsonDocument(context.queuedRefund(orderId)).toJson(QJsonDocument::Compact);
            });
            context.plain().clearRequests();
            if (!inserted || !ordersMade) {
                ++failures;
                continue;
            }
            const ChildLauncher::Run replay = context.launcher().run(
                {QByteArrayLiteral(TILL_PATH), "--config", config, "--queue", run.toLocal8Bit(),
                 "--plugin", QByteArrayLiteral(VELMOR_PLUGIN_PATH), "replay"},
                ReplayedMessages);
            context.plain().clearRequests();
            Side &side = queued == SmallQueue ? smallSide : largeSide;
            if (!replay.ok || replay.lines < ReplayedMessages) {
                ++failures;
                continue;
            }
            side.perMessage.push_back(replay.stopLineNanos / ReplayedMessages);
            side.afterFirst.push_back((replay.stopLineNanos - replay.firstLineNanos) /
                                      (ReplayedMessages - 1));
            side.firstLine.push_back(replay.firstLineNanos);
            side.rssKib = std::max(side.rssKib, replay.maxRssKib);
        }
    }

    const double measured = median(largeSide.perMessage);
    const double baseline = median(smallSide.perMessage);
    const double ratio = baseline > 0 ? measured / baseline : 0.0;
    table.add(
        {15, name, ResultTable::millis(measured),
         ResultTable::millis(baseline) + QStringLiteral(" (%1 queued)").arg(countText(SmallQueue)),
         ResultTable::ratioText(ratio), goal,
         failures == 0 && ratio > 0 && ratio <= 1.2 ? ResultTable::Verdict::Met
                                                    : ResultTable::Verdict::Missed});
    table.addNote(15,
                  QStringLiteral("from the till's start to its %1th line, over %1, median of %2; "
                                 "the first line after %3 (%4 queued) and %5 (%6); per message "
                                 "after the first: %7 and %8; peak resident memory %9 and %10")
                      .arg(ReplayedMessages)
                      .arg(tries)
                      .arg(ResultTable::millis(median(largeSide.firstLine)), countText(LargeQueue),
                           ResultTable::millis(median(smallSide.firstLine)), countText(SmallQueue),
                           ResultTable::millis(median(largeSide.afterFirst)),
                           ResultTable::millis(median(smallSide.afterFirst)),
                           mibText(largeSide.rssKib), mibText(smallSide.rssKib)));
    if (failures)
        table.addNote(15, QStringLiteral("%1 runs failed").arg(failures));
}
