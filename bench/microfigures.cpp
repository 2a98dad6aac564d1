#include "benchcontext.h"
#include "figures.h"
#include "resulttable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <dbqueuebroker.h>
#include <velmor/interface.h>
#include <velmor/requestbodies.h>
#include <velmor/rounding.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <iterator>
#include <map>

namespace {

const int BodySizes[] = {10, 100, 1000, 10000};

// Keeps every repetition's time per iteration, by benchmark name, while the console shows them.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                nanos[run.run_name.str()].push_back(run.real_accumulated_time * 1e9 /
                                                    double(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, std::vector<double>> nanos;
};

// The create body exactly as an order's creation makes it, and its serialization.
void buildCreateBody(benchmark::State &state, BenchContext *context)
{
    context->setReceipt(int(state.range(0)));
    velmor::Interface client;
    const PaymentProcessingRequest request = context->saleRequest(QStringLiteral("VELMOR-APPROVE"));
    const QString id = BenchContext::newId();
    for (auto _ : state) {
        // In the order a sale reads the receipt: the amounts, then the positions.
        const double documentAmount = client.getOrderAmount();
        const double prepaidAmount = client.getOrderPrepaidAmount();
        const QJsonObject body = velmor::createBody(id, request.getCardNumber(), documentAmount,
                                                    velmor::roublesOf(request.getAmount()),
                                                    prepaidAmount, client.getItems());
        QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    context->setReceipt(3);
}

// A queued cancellation as the client stores it.
QJsonObject queueMessage()
{
    QJsonArray items;
    for (int i = 1; i <= 3; ++i)
        items.append(QJsonObject{{QStringLiteral("id"), QString::number(i)},
                                 {QStringLiteral("refundedQuantity"), double(i)}});
    const QString id = BenchContext::newId();
    return {{QStringLiteral("request"),
             QJsonObject{{QStringLiteral("requestType"), 1},
                         {QStringLiteral("amount"), 150000},
                         {QStringLiteral("cardNumber"), QStringLiteral("VELMOR-APPROVE")}}},
            {QStringLiteral("orderId"), id},
            {QStringLiteral("refund"),
             QJsonObject{
                 {QStringLiteral("order"),
                  QJsonObject{{QStringLiteral("refund"),
                               QJsonObject{{QStringLiteral("id"), id},
                                           {QStringLiteral("initiator"), QStringLiteral("shop")},
                                           {QStringLiteral("items"), items}}}}}}},
            {QStringLiteral("valutCode"), 643}};
}

void durableAddMessage(benchmark::State &state, BenchContext *context)
{
    DBQueueBroker broker(context->workPath(QStringLiteral("fig8-broker.sqlite")));
    const QJsonObject message = queueMessage();
    for (auto _ : state) {
        if (!broker.addMessage(QStringLiteral("processing"), message, QString())) {
            state.SkipWithError("addMessage failed");
            break;
        }
    }
}

// The same row by SQLite alone: same file settings (WAL, synchronous FULL), same table, the
// statement prepared once and the text made once.
void bareInsert(benchmark::State &state, BenchContext *context)
{
    sqlite3 *db = nullptr;
    const QByteArray path = context->workPath(QStringLiteral("fig8-bare.sqlite")).toUtf8();
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE IF NOT EXISTS messages (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                 " type TEXT NOT NULL, message TEXT NOT NULL, extra TEXT NOT NULL DEFAULT '',"
                 " added TEXT NOT NULL, attempts INTEGER NOT NULL DEFAULT 0, last_attempt TEXT)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO messages (type, message, extra, added, attempts)"
                       " VALUES (?1, ?2, ?3, ?4, 0)",
                       -1, &insert, nullptr);
    const QByteArray text = QJsonDocument(queueMessage()).toJson(QJsonDocument::Compact);
    const QByteArray added = QByteArrayLiteral("2024-06-01T12:00:00.000Z");
    for (auto _ : state) {
        sqlite3_bind_text(insert, 1, "processing", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, text.constData(), text.size(), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, "", 0, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, added.constData(), added.size(), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            state.SkipWithError("insert failed");
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close_v2(db);
}

} // namespace

void runMicroFigures(BenchContext &context, ResultTable &table)
{
    benchmark::RegisterBenchmark("create_body", buildCreateBody, &context)
        ->Arg(BodySizes[0])
        ->Arg(BodySizes[1])
        ->Arg(BodySizes[2])
        ->Arg(BodySizes[3])
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("queue/addMessage", durableAddMessage, &context)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("queue/bareInsert", bareInsert, &context)
        ->Unit(benchmark::kMicrosecond);

    // Repetitions in random order, so that the two queue figures share the disk's moods.
    std::vector<std::string> arguments = {
        "velmor-bench", context.quick() ? "--benchmark_min_time=0.05" : "--benchmark_min_time=0.5",
        context.quick() ? "--benchmark_repetitions=2" : "--benchmark_repetitions=5",
        "--benchmark_enable_random_interleaving=true"};
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    int argc = int(argv.size());
    benchmark::Initialize(&argc, argv.data());
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();

    std::map<int, double> body;
    for (int size : BodySizes)
        body[size] = median(reporter.nanos["create_body/" + std::to_string(size)]);
    const double perPosition100 = body[100] / 100;
    double linearity = 0.0;
    for (int size : BodySizes) {
        if (size >= 100 && perPosition100 > 0)
            linearity = std::max(linearity, body[size] / size / perPosition100);
    }
    // Per position only: absolute times on a shared machine say more of its neighbours.
    const bool bodyMet = linearity > 0 && linearity <= 1.5;
    table.add({7, QStringLiteral("create body built and serialized, 1,000 positions"),
               ResultTable::micros(body[1000]), QStringLiteral("none"),
               ResultTable::ratioText(linearity),
               QStringLiteral("linear (per-position cost <= 1.5x that at 100)"),
               bodyMet ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
    table.addNote(7, QStringLiteral("10: %1, 100: %2, 1,000: %3, 10,000: %4; the ratio is the "
                                    "largest per-position cost from 100 positions up over "
                                    "that at 100")
                         .arg(ResultTable::micros(body[10]), ResultTable::micros(body[100]),
                              ResultTable::micros(body[1000]), ResultTable::micros(body[10000])));

    // The same run at the largest receipt: its cost per position against that at 100.
    const int largest = BodySizes[std::size(BodySizes) - 1];
    const double largestRatio = perPosition100 > 0 ? body[largest] / largest / perPosition100 : 0.0;
    table.add({16,
               QStringLiteral("create body built and serialized, %1 positions")
                   .arg(QLocale(QLocale::English).toString(largest)),
               ResultTable::micros(body[largest]),
               ResultTable::micros(perPosition100) + QStringLiteral(" a position at 100"),
               ResultTable::ratioText(largestRatio),
               QStringLiteral("per position <= 1.5x that at 100"),
               largestRatio > 0 && largestRatio <= 1.5 ? ResultTable::Verdict::Met
                                                       : ResultTable::Verdict::Missed});

    const double add = median(reporter.nanos["queue/addMessage"]);
    const double insert = median(reporter.nanos["queue/bareInsert"]);
    const double ratio = insert > 0 ? add / insert : 0.0;
    table.add(
        {8, QStringLiteral("durable addMessage (WAL, synchronous FULL)"), ResultTable::micros(add),
         ResultTable::micros(insert), ResultTable::ratioText(ratio),
         QStringLiteral("ratio <= 1.25"),
         ratio > 0 && ratio <= 1.25 ? ResultTable::Verdict::Met : ResultTable::Verdict::Missed});
}
