#include "barehttp.h"
#include "benchcontext.h"
#include "figures.h"
#include "hookedtransport.h"
#include "resulttable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <basicpaymentprocessing.h>
#include <dbqueuebroker.h>
#include <sandbox/sandbox.h>
#include <singleton.h>
#include <velmor/journal.h>

#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray url(const BenchContext &context, const QString &path)
{
    return (context.plain().baseUrl() + path).toLatin1();
}

QString infoPath(const QString &id)
{
    return QStringLiteral("/%1/info").arg(id);
}

qint64 residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The baseline's queue: the same table as the host's, WAL with synchronous FULL.
// A connection to `path` (opened with `flags` besides read-write) set up as the plug-in's files
// are: WAL, synchronous FULL.
sqlite3 *openDurable(const QString &path, int flags)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | flags, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return db;
}

class BareQueue
{
public:
    explicit BareQueue(const QString &path)
    {
        m_db = openDurable(path, SQLITE_OPEN_CREATE);
        sqlite3_exec(m_db,
                     "CREATE TABLE IF NOT EXISTS messages (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                     " type TEXT NOT NULL, message TEXT NOT NULL, extra TEXT NOT NULL DEFAULT '',"
                     " added TEXT NOT NULL, attempts INTEGER NOT NULL DEFAULT 0,"
                     " last_attempt TEXT)",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "DELETE FROM messages WHERE id = ?1", -1, &m_delete, nullptr);
    }
    ~BareQueue()
    {
        sqlite3_finalize(m_delete);
        sqlite3_close_v2(m_db);
    }

    qint64 insert(const QByteArray &message)
    {
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(m_db,
                           "INSERT INTO messages (type, message, extra, added, attempts)"
                           " VALUES ('processing', ?1, '', '2024-01-01T00:00:00.000Z', 0)",
                           -1, &insert, nullptr);
        sqlite3_bind_text(insert, 1, message.constData(), message.size(), SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_finalize(insert);
        return sqlite3_last_insert_rowid(m_db);
    }

    bool remove(qint64 id)
    {
        sqlite3_bind_int64(m_delete, 1, id);
        const bool done = sqlite3_step(m_delete) == SQLITE_DONE && sqlite3_changes(m_db) == 1;
        sqlite3_reset(m_delete);
        return done;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_delete = nullptr;
};

// The journal's two writes for a sale by bare SQLite, into a file with the plug-in's own schema
// (made by velmor::Journal, which is then closed): the entry with its message before the
// create, and its answer after the last poll, each its own transaction, WAL, synchronous FULL.
class BareJournal
{
public:
    explicit BareJournal(const QString &path)
    {
        {
            velmor::Journal made;
            m_made = made.open(path);
        }
        m_db = openDurable(path, 0);
        sqlite3_prepare_v2(m_db,
                           "INSERT INTO entries (kind, order_id, refund_id, amount, owner, state,"
                           " recorded, refund_body, queue_message) VALUES ('sale', ?1, '', 150000,"
                           " 'bench', 'open', '2024-01-01T00:00:00.000Z', '', ?2)",
                           -1, &m_insert, nullptr);
        sqlite3_prepare_v2(m_db,
                           "UPDATE entries SET state = 'answered', outcome = 'done', status = 0,"
                           " rrn = ?2, answered = '2024-01-01T00:00:00.000Z', note = ?3,"
                           " queue_message = '', refund_body = '' WHERE id = ?1 AND"
                           " state = 'open'",
                           -1, &m_answer, nullptr);
    }
    ~BareJournal()
    {
        sqlite3_finalize(m_insert);
        sqlite3_finalize(m_answer);
        sqlite3_close_v2(m_db);
    }

    // The new entry's id, 0 when it was not written.
    qint64 record(const QByteArray &orderId, const QByteArray &message)
    {
        sqlite3_bind_text(m_insert, 1, orderId.constData(), orderId.size(), SQLITE_STATIC);
        sqlite3_bind_text(m_insert, 2, message.constData(), message.size(), SQLITE_STATIC);
        const bool done = m_made && sqlite3_step(m_insert) == SQLITE_DONE;
        sqlite3_reset(m_insert);
        return done ? sqlite3_last_insert_rowid(m_db) : 0;
    }

    bool answer(qint64 id, const QByteArray &orderId, const QByteArray &note)
    {
        sqlite3_bind_int64(m_answer, 1, id);
        sqlite3_bind_text(m_answer, 2, orderId.constData(), orderId.size(), SQLITE_STATIC);
        sqlite3_bind_text(m_answer, 3, note.constData(), note.size(), SQLITE_STATIC);
        const bool done = sqlite3_step(m_answer) == SQLITE_DONE && sqlite3_changes(m_db) == 1;
        sqlite3_reset(m_answer);
        return done;
    }

private:
    bool m_made = false;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_answer = nullptr;
};

// Fifty approved orders, each asked for its status and then cancelled by bare exchanges, each
// exchange timed.
struct BareExchanges
{
    std::vector<qint64> infoNanos;
    std::vector<qint64> cancelNanos;
};

BareExchanges bareInfoThenCancel(BenchContext &context)
{
    BareHttp http;
    BareExchanges bare;
    const QByteArray cancelBody = QByteArrayLiteral("{\"cancellationInitiator\":\"shop\"}");
    for (int i = 0; i < 50; ++i) {
        const QString id = BenchContext::newId();
        if (!context.makeOrder(id, QLatin1String(sandbox::Sandbox::CodeHold),
                               QStringLiteral("approved")))
            continue;
        Clock::time_point start = Clock::now();
        http.get(url(context, infoPath(id)), context.headers(id));
        bare.infoNanos.push_back(nanosBetween(start, Clock::now()));
        start = Clock::now();
        http.post(url(context, QStringLiteral("/%1/cancel").arg(id)), cancelBody,
                  context.headers(id));
        bare.cancelNanos.push_back(nanosBetween(start, Clock::now()));
    }
    return bare;
}

} // namespace

void runSaleFigure(BenchContext &context, ResultTable &table)
{
    const int tries = context.tries(1000, 100);
    context.setReceipt(3);
    context.configure(context.plain().baseUrl(), 0);
    // Figure 1 is the client's own work: its journal goes to memory (tmpfs), where a durable
    // write costs no disk sync. Figure 20 puts it back on the disk.
    QTemporaryDir memory(QStringLiteral("/dev/shm/velmor-bench-XXXXXX"));
    context.setJournalPath(memory.isValid() ? memory.filePath(QStringLiteral("journal.sqlite"))
                                            : QString());
    BasicPaymentProcessing *processing = context.plugin();
    const PaymentProcessingRequest request =
        context.saleRequest(QLatin1String(sandbox::Sandbox::CodeApprove));
    BareHttp http;
    HookedTransport::setCompleter(&context.plain());
    // The baseline writes the journal's entry and its answer too, on the same tmpfs: what a
    // sale must do by contract, without the plug-in's work of building what it writes.
    BareJournal bareJournal(memory.isValid()
                                ? memory.filePath(QStringLiteral("bare.sqlite"))
                                : context.workPath(QStringLiteral("fig1-bare.sqlite")));
    const QByteArray entryMessage =
        QJsonDocument(context.queuedRefund(BenchContext::newId())).toJson(QJsonDocument::Compact);
    const QByteArray answerNote = QByteArrayLiteral("{\"operation\":\"sale\"}");

    std::vector<qint64> pluginNanos;
    std::vector<qint64> bareNanos;
    int failures = 0;
    const auto pluginSale = [&](std::vector<qint64> &nanos) {
        const Clock::time_point start = Clock::now();
        const PaymentProcessingAnswer answer = processing->payment(request);
        nanos.push_back(nanosBetween(start, Clock::now()));
        failures += answer.getStatus() != PaymentProcessingAnswer::Success;
    };
    const auto bareSale = [&] {
        const QString id = BenchContext::newId();
        const QByteArray body =
            context.createBody(id, QLatin1String(sandbox::Sandbox::CodeApprove));
        const QList<QByteArray> headers = context.headers(id);
        const QByteArray createUrl = url(context, QStringLiteral("/create_offline"));
        const QByteArray infoUrl = url(context, infoPath(id));
        const QByteArray orderId = id.toLatin1();
        const Clock::time_point start = Clock::now();
        const qint64 entry = bareJournal.record(orderId, entryMessage);
        const long created = http.post(createUrl, body, headers);
        context.plain().setOrderStatus(id, QStringLiteral("completed"));
        const long polled = http.get(infoUrl, headers);
        const bool answered = bareJournal.answer(entry, orderId, answerNote);
        bareNanos.push_back(nanosBetween(start, Clock::now()));
        failures += created != 200 || polled != 200 || !answered ||
                    http.body().find("\"completed\"") == std::string::npos;
    };
    // Interleaved, and each side first every other time, so that drift in the machine's load
    // falls on both alike; the first 20 of each warm up.
    const auto interleave = [&](const std::function<void()> &one,
                                const std::function<void()> &other, int rounds) {
        for (int i = 0; i < rounds; ++i) {
            if (i % 2) {
                one();
                other();
            } else {
                other();
                one();
            }
            if (i % 100 == 99)
                context.plain().clearRequests();
        }
    };
    const auto throughMemory = [&] { pluginSale(pluginNanos); };
    interleave(throughMemory, bareSale, 20);
    pluginNanos.clear();
    bareNanos.clear();
    interleave(throughMemory, bareSale, tries);

    const double measured = median(pluginNanos);
    const double baseline = median(bareNanos);
    const double ratio = measured / baseline;
    table.add(
        {1, QStringLiteral("sale through the plug-in (create + 1 info), median of %1").arg(tries),
         ResultTable::millis(measured), ResultTable::millis(baseline),
         ResultTable::ratioText(ratio), QStringLiteral("ratio <= 1.2"),
         failures == 0 && ratio <= 1.2 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(1, memory.isValid()
                         ? QStringLiteral("the plug-in's journal in memory (tmpfs), its durable "
                                          "writes without a disk sync: figure 20 has them; the "
                                          "baseline writes the same two by bare SQLite there")
                         : QStringLiteral("no tmpfs at /dev/shm: the journal's durable writes on "
                                          "the disk are in the figure and in its baseline"));

    // 20: the same sale with the journal on the disk, against figure 1's sale plus the two
    // durable writes a journalled sale makes (its entry recorded, then marked answered), by
    // bare SQLite on the same disk.
    context.setJournalPath(QString());
    BareJournal bareWrites(context.workPath(QStringLiteral("fig20-bare.sqlite")));
    std::vector<qint64> diskNanos;
    std::vector<qint64> writeNanos;
    const auto twoWrites = [&] {
        const QByteArray orderId = BenchContext::newId().toLatin1();
        const Clock::time_point start = Clock::now();
        failures += bareWrites.answer(bareWrites.record(orderId, entryMessage), orderId, answerNote)
                        ? 0
                        : 1;
        writeNanos.push_back(nanosBetween(start, Clock::now()));
    };
    const auto throughDisk = [&] { pluginSale(diskNanos); };
    interleave(throughDisk, twoWrites, 20);
    diskNanos.clear();
    writeNanos.clear();
    interleave(throughDisk, twoWrites, tries);
    HookedTransport::setCompleter(nullptr);
    context.plain().clearRequests();

    const double journalled = median(diskNanos);
    const double writes = median(writeNanos);
    const double withWrites = measured + writes;
    const double journalRatio = journalled / withWrites;
    table.add(
        {20, QStringLiteral("sale with the journal on the disk, median of %1").arg(tries),
         ResultTable::millis(journalled),
         QStringLiteral("%1 (figure 1 + two durable writes)").arg(ResultTable::millis(withWrites)),
         ResultTable::ratioText(journalRatio), QStringLiteral("ratio <= 1.2"),
         failures == 0 && journalRatio <= 1.2 ? ResultTable::Verdict::Met
                                              : ResultTable::Verdict::Missed});
    table.addNote(20, QStringLiteral("the journal's two writes by bare SQLite (WAL, synchronous "
                                     "FULL, the entry and its answer): %1; against figure 1's "
                                     "sale with the journal in memory: ratio %2")
                          .arg(ResultTable::millis(writes))
                          .arg(ResultTable::ratioText(journalled / measured)));
    if (failures)
        table.addNote(1, QStringLiteral("%1 sales failed").arg(failures));
}

void runInterruptFigure(BenchContext &context, ResultTable &table)
{
    const int tries = context.tries(100, 10);
    const int intervalSeconds = 1;
    context.setReceipt(3);
    context.configure(context.plain().baseUrl(), intervalSeconds);
    BasicPaymentProcessing *processing = context.plugin();

    // The baseline: the interval and the two exchanges a cancellation may wait for, the
    // cancellation itself and the poll that finds it, each made bare.
    const BareExchanges bare = bareInfoThenCancel(context);
    const std::vector<qint64> &infoNanos = bare.infoNanos;
    const std::vector<qint64> &cancelNanos = bare.cancelNanos;
    const double baseline = intervalSeconds * 1e9 + median(infoNanos) + median(cancelNanos);

    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> delayMs(50, 50 + intervalSeconds * 1000);
    const PaymentProcessingRequest request =
        context.saleRequest(QLatin1String(sandbox::Sandbox::CodeHold));
    std::vector<qint64> nanos;
    int failures = 0;
    for (int i = 0; i < tries; ++i) {
        std::atomic<Clock::rep> returnedAt{0};
        PaymentProcessingAnswer answer;
        std::thread sale([&] {
            answer = processing->payment(request);
            returnedAt = Clock::now().time_since_epoch().count();
        });
        // The cashier presses at any moment of the poll cycle.
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        const Clock::time_point pressed = Clock::now();
        const bool interrupted = processing->interruptPayment();
        sale.join();
        nanos.push_back(returnedAt.load() - pressed.time_since_epoch().count());
        failures += !interrupted || answer.getStatus() != PaymentProcessingAnswer::OrderCanceled;
    }
    context.configure(context.plain().baseUrl(), 0);
    context.plain().clearRequests();

    const double worst = *std::max_element(nanos.begin(), nanos.end());
    table.add({5, QStringLiteral("interrupt to payment's return at 1 s, worst of %1").arg(tries),
               ResultTable::millis(worst), ResultTable::millis(baseline),
               ResultTable::ratioText(worst / baseline),
               QStringLiteral("never above interval + 2 exchanges"),
               failures == 0 && worst <= baseline ? ResultTable::Verdict::Met
                                                  : ResultTable::Verdict::Missed});
    table.addNote(5, QStringLiteral("median %1; bare info %2, bare cancel %3")
                         .arg(ResultTable::millis(median(nanos)),
                              ResultTable::micros(median(infoNanos)),
                              ResultTable::micros(median(cancelNanos))));
    if (failures)
        table.addNote(5,
                      QStringLiteral("%1 interrupts did not end the sale cancelled").arg(failures));
}

void runHungPollCancelFigure(BenchContext &context, ResultTable &table)
{
    const int tries = context.tries(20, 5);
    context.setReceipt(3);
    context.configure(context.plain().baseUrl(), 1);
    BasicPaymentProcessing *processing = context.plugin();
    sandbox::Sandbox &service = context.plain();

    // The baseline: the cancellation's own round trip, made bare.
    const std::vector<qint64> bareNanos = bareInfoThenCancel(context).cancelNanos;
    const double baseline = median(bareNanos);

    const PaymentProcessingRequest request =
        context.saleRequest(QLatin1String(sandbox::Sandbox::CodeHold));
    std::vector<qint64> nanos;
    int failures = 0;
    for (int i = 0; i < tries; ++i) {
        service.clearFaults();
        service.clearRequests();
        PaymentProcessingAnswer answer;
        std::thread sale([&] { answer = processing->payment(request); });
        // The create and the first poll answer; the second poll hangs.
        service.waitForRequests(2, 10000);
        service.setFault(sandbox::Sandbox::Endpoint::Info, sandbox::Sandbox::Fault::NoAnswer);
        service.waitForRequests(3, 10000);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Clock::time_point pressed = Clock::now();
        const bool interrupted = processing->interruptPayment();
        nanos.push_back(nanosBetween(pressed, Clock::now()));
        // A restart lets the hung poll go; the orders stay.
        service.stop();
        service.start();
        sale.join();
        failures += !interrupted || answer.getStatus() != PaymentProcessingAnswer::OrderCanceled;
    }
    service.clearFaults();
    context.configure(service.baseUrl(), 0);
    service.clearRequests();

    const double worst = *std::max_element(nanos.begin(), nanos.end());
    table.add({11, QStringLiteral("cancel confirmed behind a hung poll, worst of %1").arg(tries),
               ResultTable::millis(worst), ResultTable::millis(baseline),
               ResultTable::ratioText(worst / baseline), QStringLiteral("within 200 ms"),
               failures == 0 && worst <= 200e6 ? ResultTable::Verdict::Met
                                               : ResultTable::Verdict::Missed});
    table.addNote(11, QStringLiteral("median %1; the poll hangs until its timeout of 30 s")
                          .arg(ResultTable::millis(median(nanos))));
    if (failures)
        table.addNote(11,
                      QStringLiteral("%1 interrupts did not end the sale cancelled").arg(failures));
}

void runReplayFigure(BenchContext &context, ResultTable &table)
{
    const int messages = context.tries(1000, 100) / 2 * 2;
    context.setReceipt(3);
    context.configure(context.plain().baseUrl(), 0);
    BasicPaymentProcessing *processing = context.plugin();
    DBQueueBroker *broker = Singleton<DBQueueBroker>::instance;
    for (const QueuedMessage &left : broker->pendingMessages())
        broker->removeMessage(left.id);
    BareQueue bareQueue(context.workPath(QStringLiteral("bare-replay.sqlite")));

    struct BareMessage
    {
        QString orderId;
        bool cancel = false;
        QByteArray refundBody;
        qint64 row = 0;
    };
    std::vector<BareMessage> bareMessages;
    int failures = 0;
    for (int i = 0; i < messages; ++i) {
        // Half of the orders wait approved for a cancellation, half are paid and get refunded.
        const bool cancel = i % 2 == 0;
        const QString code =
            QLatin1String(cancel ? sandbox::Sandbox::CodeHold : sandbox::Sandbox::CodeApprove);
        const QString status = cancel ? QStringLiteral("approved") : QStringLiteral("completed");
        for (int side = 0; side < 2; ++side) {
            const QString id = BenchContext::newId();
            failures += !context.makeOrder(id, code, status);
            const QJsonObject message = context.queuedRefund(id);
            if (side == 0) {
                failures += !broker->addMessage(QStringLiteral("processing"), message, QString());
            } else {
                const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
                bareMessages.push_back(
                    {id, cancel,
                     QJsonDocument(message.value(QStringLiteral("refund")).toObject())
                         .toJson(QJsonDocument::Compact),
                     bareQueue.insert(text)});
            }
        }
    }
    const QList<QueuedMessage> pending = broker->pendingMessages();
    // The host hands the plug-in a variant map; making it is the host's work, not the replay's.
    QList<QMap<QString, QVariant>> maps;
    for (const QueuedMessage &message : pending)
        maps.append(message.message.toVariantMap());
    context.plain().clearRequests();

    BareHttp http;
    const QByteArray cancelBody = QByteArrayLiteral("{\"cancellationInitiator\":\"shop\"}");
    qint64 pluginTotal = 0;
    qint64 bareTotal = 0;
    qint64 pluginRemoveTotal = 0;
    qint64 bareRemoveTotal = 0;
    for (int i = 0; i < pending.size() && i < int(bareMessages.size()); ++i) {
        Clock::time_point start = Clock::now();
        const bool done = processing->sendEnqueuedMessage(maps.at(i));
        Clock::time_point sent = Clock::now();
        const bool removed = done && broker->removeMessage(pending.at(i).id);
        pluginTotal += nanosBetween(start, Clock::now());
        pluginRemoveTotal += nanosBetween(sent, Clock::now());
        failures += !removed;

        const BareMessage &bare = bareMessages.at(i);
        start = Clock::now();
        const long polled =
            http.get(url(context, infoPath(bare.orderId)), context.headers(bare.orderId));
        const long answered =
            bare.cancel ? http.post(url(context, QStringLiteral("/%1/cancel").arg(bare.orderId)),
                                    cancelBody, context.headers(bare.orderId))
                        : http.post(url(context, QStringLiteral("/%1/refund").arg(bare.orderId)),
                                    bare.refundBody, context.headers(BenchContext::newId()));
        sent = Clock::now();
        const bool bareRemoved = bareQueue.remove(bare.row);
        bareTotal += nanosBetween(start, Clock::now());
        bareRemoveTotal += nanosBetween(sent, Clock::now());
        failures += polled != 200 || answered != 200 || !bareRemoved;
        if (i % 100 == 99)
            context.plain().clearRequests();
    }
    context.plain().clearRequests();

    const double ratio = double(pluginTotal) / double(bareTotal);
    table.add(
        {6, QStringLiteral("replay of %1 queued messages (half cancel, half refund)").arg(messages),
         ResultTable::millis(pluginTotal), ResultTable::millis(bareTotal),
         ResultTable::ratioText(ratio), QStringLiteral("ratio <= 1.3"),
         failures == 0 && ratio <= 1.3 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(
        6, QStringLiteral("of which deletes: plug-in side %1, bare %2")
               .arg(ResultTable::millis(pluginRemoveTotal), ResultTable::millis(bareRemoveTotal)));
    if (failures)
        table.addNote(6, QStringLiteral("%1 messages or exchanges failed").arg(failures));
}

void runMemoryFigure(BenchContext &context, ResultTable &table)
{
    const int sales = context.quick() ? 2000 : 10000;
    const QString remote = context.remoteUrl();
    if (remote.isEmpty()) {
        table.add({10,
                   QStringLiteral("resident memory growth over %1 sales").arg(sales),
                   {},
                   {},
                   {},
                   QStringLiteral("growth < 2 MiB"),
                   ResultTable::Verdict::NotRun});
        table.addNote(10, QStringLiteral("the service's own process did not start"));
        return;
    }
    // The service runs in a child process here, so that the orders it keeps do not count
    // as the plug-in's memory.
    context.setReceipt(3);
    context.configure(remote, 0);
    BasicPaymentProcessing *processing = context.plugin();
    // Completed from the start: the sale's only wait is its first poll, not the one-second
    // interval that the plug-in keeps between polls.
    const PaymentProcessingRequest request =
        context.saleRequest(QLatin1String(sandbox::Sandbox::CodePaid));
    qint64 after100 = 0;
    int failures = 0;
    for (int i = 0; i < sales; ++i) {
        failures += processing->payment(request).getStatus() != PaymentProcessingAnswer::Success;
        if (i == 99)
            after100 = residentKib();
    }
    const qint64 afterAll = residentKib();
    context.configure(context.plain().baseUrl(), 0);

    const qint64 growth = afterAll - after100;
    table.add({10, QStringLiteral("resident memory growth over %1 sales").arg(sales),
               QStringLiteral("%1 KiB (%2 KiB after all)").arg(growth).arg(afterAll),
               QStringLiteral("%1 KiB after 100").arg(after100),
               ResultTable::ratioText(double(afterAll) / double(after100)),
               QStringLiteral("growth < 2048 KiB"),
               failures == 0 && growth < 2048 ? ResultTable::Verdict::Met
                                              : ResultTable::Verdict::Missed});
    if (failures)
        table.addNote(10, QStringLiteral("%1 sales failed").arg(failures));
}
