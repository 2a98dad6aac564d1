// Every service endpoint under every fault, through the loaded plug-in and the host's real
// transport. Each cell checks the answer the cashier gets and three invariants: nothing
// crashes, no exchange outlives its timeout by more than a second, and every cancellation or
// refund the cashier was told was accepted is confirmed by the service or waits in the queue.

#include "e2efixture.h"
#include "markedsection.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>
#include <dbqueuebroker.h>
#include <singleton.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <future>
#include <mutex>

namespace {

using Endpoint = sandbox::Sandbox::Endpoint;

enum class Fault {
    Refused,
    NoAnswer,
    DropMidBody,
    Empty500,
    Html502,
    NotJson,
    TruncatedJson,
    ErrorObject,
    HugeBody,
    Trickle,
    Json500,
    OtherOrder,
    Lost,
    Gateway504,
    Empty200,
    Accepted200,
    Html502After,
    Empty200After,
    Error504,
    Error504After,
    Error502,
    Error502After,
    Error500,
    Error500After,
    UpperCaseId,
    Unchanged,
    UnchangedAfter,
    OtherRefund,
    OtherRefundAfter,
    InfoZeroAmount,
    DuplicateAmount,
};

const char *name(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::Create:
        return "create";
    case Endpoint::Info:
        return "info";
    case Endpoint::Cancel:
        return "cancel";
    case Endpoint::Refund:
        return "refund";
    }
    return "?";
}

const char *name(Fault fault)
{
    switch (fault) {
    case Fault::Refused:
        return "refused";
    case Fault::NoAnswer:
        return "no answer";
    case Fault::DropMidBody:
        return "dropped mid-body";
    case Fault::Empty500:
        return "500 empty";
    case Fault::Html502:
        return "502 HTML";
    case Fault::NotJson:
        return "200 not JSON";
    case Fault::TruncatedJson:
        return "200 truncated JSON";
    case Fault::ErrorObject:
        return "error object";
    case Fault::HugeBody:
        return "5 MiB body";
    case Fault::Trickle:
        return "trickle";
    case Fault::Json500:
        return "500 JSON, no error";
    case Fault::OtherOrder:
        return "other order";
    case Fault::Lost:
        return "lost answer";
    case Fault::Gateway504:
        return "504 empty";
    case Fault::Empty200:
        return "200 {}";
    case Fault::Accepted200:
        return "200 accepted";
    case Fault::Html502After:
        return "done, then 502";
    case Fault::Empty200After:
        return "done, then 200 {}";
    case Fault::Error504:
        return "504 error text";
    case Fault::Error504After:
        return "done, then 504 error";
    case Fault::Error502:
        return "502 error object";
    case Fault::Error502After:
        return "done, then 502 error";
    case Fault::Error500:
        return "500 error message";
    case Fault::Error500After:
        return "done, then 500 error";
    case Fault::UpperCaseId:
        return "id in capitals";
    case Fault::Unchanged:
        return "200 order unchanged";
    case Fault::UnchangedAfter:
        return "done, then unchanged";
    case Fault::OtherRefund:
        return "200 other refund";
    case Fault::OtherRefundAfter:
        return "done, other refund";
    case Fault::InfoZeroAmount:
        return "200 amount 0";
    case Fault::DuplicateAmount:
        return "amount twice";
    }
    return "?";
}

sandbox::Sandbox::Fault sandboxFault(Fault fault)
{
    switch (fault) {
    case Fault::Refused:
        return sandbox::Sandbox::Fault::None;
    case Fault::NoAnswer:
        return sandbox::Sandbox::Fault::NoAnswer;
    case Fault::DropMidBody:
        return sandbox::Sandbox::Fault::DropMidBody;
    case Fault::Empty500:
        return sandbox::Sandbox::Fault::Empty500;
    case Fault::Html502:
        return sandbox::Sandbox::Fault::Html502;
    case Fault::NotJson:
        return sandbox::Sandbox::Fault::NotJson;
    case Fault::TruncatedJson:
        return sandbox::Sandbox::Fault::TruncatedJson;
    case Fault::ErrorObject:
        return sandbox::Sandbox::Fault::ErrorObject;
    case Fault::HugeBody:
        return sandbox::Sandbox::Fault::HugeBody;
    case Fault::Trickle:
        return sandbox::Sandbox::Fault::Trickle;
    case Fault::Json500:
        return sandbox::Sandbox::Fault::Json500;
    case Fault::OtherOrder:
        return sandbox::Sandbox::Fault::OtherOrder;
    case Fault::Lost:
        return sandbox::Sandbox::Fault::Lost;
    case Fault::Gateway504:
        return sandbox::Sandbox::Fault::Gateway504;
    case Fault::Empty200:
        return sandbox::Sandbox::Fault::Empty200;
    case Fault::Accepted200:
        return sandbox::Sandbox::Fault::Accepted200;
    case Fault::Html502After:
        return sandbox::Sandbox::Fault::Html502After;
    case Fault::Empty200After:
        return sandbox::Sandbox::Fault::Empty200After;
    case Fault::Error504:
        return sandbox::Sandbox::Fault::Error504;
    case Fault::Error504After:
        return sandbox::Sandbox::Fault::Error504After;
    case Fault::Error502:
        return sandbox::Sandbox::Fault::Error502;
    case Fault::Error502After:
        return sandbox::Sandbox::Fault::Error502After;
    case Fault::Error500:
        return sandbox::Sandbox::Fault::Error500;
    case Fault::Error500After:
        return sandbox::Sandbox::Fault::Error500After;
    case Fault::UpperCaseId:
        return sandbox::Sandbox::Fault::UpperCaseId;
    case Fault::Unchanged:
        return sandbox::Sandbox::Fault::Unchanged;
    case Fault::UnchangedAfter:
        return sandbox::Sandbox::Fault::UnchangedAfter;
    case Fault::OtherRefund:
        return sandbox::Sandbox::Fault::OtherRefund;
    case Fault::OtherRefundAfter:
        return sandbox::Sandbox::Fault::OtherRefundAfter;
    case Fault::InfoZeroAmount:
        return sandbox::Sandbox::Fault::InfoZeroAmount;
    case Fault::DuplicateAmount:
        return sandbox::Sandbox::Fault::DuplicateAmount;
    }
    return sandbox::Sandbox::Fault::None;
}

// What the cashier sees, and what the system did behind it.
struct Outcome
{
    int status = -1;
    QString messageKey;
    bool polled = false;
    bool interrupted = false;
    bool queued = false;
};

struct Expected
{
    int status;
    bool polled;
    bool queued;
};

struct Cell
{
    Endpoint endpoint;
    Fault fault;
    Expected expected;
};

// The host's transport, timing every exchange it makes.
class TimedRestClient : public RestClient
{
public:
    explicit TimedRestClient(std::atomic<qint64> *longest) : m_longest(longest) {}

    void get(const QUrl &url, const QHash<QString, QString> &headers) override
    {
        QElapsedTimer timer;
        timer.start();
        RestClient::get(url, headers);
        record(timer.elapsed());
    }

    void post(const QUrl &url, const QByteArray &body,
              const QHash<QString, QString> &headers) override
    {
        QElapsedTimer timer;
        timer.start();
        RestClient::post(url, body, headers);
        record(timer.elapsed());
    }

private:
    void record(qint64 elapsed)
    {
        qint64 longest = m_longest->load();
        while (elapsed > longest && !m_longest->compare_exchange_weak(longest, elapsed)) {
        }
    }

    std::atomic<qint64> *m_longest;
};

// Rows of the table, printed once the whole matrix has run in one process: the endpoint, the
// fault, the answer's status, polled, interrupted, queued and the message key.
std::mutex tableMutex;
QList<QStringList> tableRows;

QString paddedRow(const QStringList &cells)
{
    static const int widths[] = {-8, -19, -6, -6, -11, -6, 0};
    QStringList padded;
    for (int i = 0; i < cells.size(); ++i)
        padded << QStringLiteral("%1").arg(cells.at(i), widths[std::min(i, 6)]);
    return padded.join(QStringLiteral(" | "));
}

// With VELMOR_FAULTMATRIX_DOC naming a page (`make faultmatrix`), the table of a whole matrix
// that passed replaces the lines between the page's faultmatrix markers.
void writeDocumentTable(const QString &path)
{
    int cells = 0;
    int run = 0;
    const testing::UnitTest &unit = *testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const testing::TestSuite &suite = *unit.GetTestSuite(i);
        if (QString::fromLatin1(suite.name()).endsWith(QLatin1String("/FaultMatrixTest"))) {
            cells += suite.total_test_count();
            run += suite.test_to_run_count();
        }
    }
    if (run != cells || tableRows.size() != cells || !unit.Passed()) {
        ADD_FAILURE() << "VELMOR_FAULTMATRIX_DOC: " << qPrintable(path)
                      << " is left as it is: it takes the whole matrix, every cell passed ("
                      << tableRows.size() << " of " << cells << " cells recorded)";
        return;
    }
    QString table = QStringLiteral("| endpoint | fault | answer status | polled | interrupted | "
                                   "queued | message key |\n|---|---|---|---|---|---|---|\n");
    for (const QStringList &row : qAsConst(tableRows))
        table += QStringLiteral("| %1 |\n").arg(row.join(QStringLiteral(" | ")));
    MarkedSection page(path, QStringLiteral("faultmatrix"));
    if (!page.read()) {
        ADD_FAILURE() << qPrintable(page.errorString());
        return;
    }
    page.setContent(table);
    if (!page.write())
        ADD_FAILURE() << qPrintable(page.errorString());
}

class MatrixPrinter : public testing::Environment
{
public:
    void TearDown() override
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        const QString document = qEnvironmentVariable("VELMOR_FAULTMATRIX_DOC");
        if (!document.isEmpty())
            writeDocumentTable(document);
        if (tableRows.isEmpty())
            return;
        std::printf("\n%s\n",
                    qPrintable(paddedRow({QStringLiteral("endpoint"), QStringLiteral("fault"),
                                          QStringLiteral("status"), QStringLiteral("polled"),
                                          QStringLiteral("interrupted"), QStringLiteral("queued"),
                                          QStringLiteral("message")})));
        std::printf("%s\n", QString(90, QLatin1Char('-')).toUtf8().constData());
        for (const QStringList &row : qAsConst(tableRows))
            std::printf("%s\n", paddedRow(row).toUtf8().constData());
    }
};

const auto *printer = testing::AddGlobalTestEnvironment(new MatrixPrinter);

class FaultMatrixTest : public E2EFixture, public testing::WithParamInterface<Cell>
{
protected:
    static constexpr int TimeoutSeconds = 1;

    sandbox::Sandbox::Options sandboxOptions() const override
    {
        sandbox::Sandbox::Options options = E2EFixture::sandboxOptions();
        options.pollsPerState = 1;
        return options;
    }

    void SetUp() override
    {
        E2EFixture::SetUp();
        setConfig(QStringLiteral("Velmor:timeout"), QString::number(TimeoutSeconds));
        setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
        restartPlugin([this] { return QSharedPointer<RestClient>(new TimedRestClient(&longest)); });
        setReceipt(1000);
        addItem(1, 2, 1000);
    }

    void applyFault()
    {
        const Cell &cell = GetParam();
        if (cell.fault == Fault::Refused)
            sandbox->stop();
        else
            sandbox->setFault(cell.endpoint, sandboxFault(cell.fault), 300);
    }

    bool queuedFor(const QString &id) const
    {
        const QList<QueuedMessage> messages = Singleton<DBQueueBroker>::instance->pendingMessages();
        return std::any_of(messages.cbegin(), messages.cend(), [&](const QueuedMessage &message) {
            return message.message.value(QStringLiteral("orderId")).toString() == id;
        });
    }

    int infoRequests() const
    {
        const auto requests = sandbox->requests();
        return int(std::count_if(requests.cbegin(), requests.cend(),
                                 [](const sandbox::Sandbox::RecordedRequest &request) {
                                     return request.path.endsWith(QLatin1String("/info"));
                                 }));
    }

    // Runs a sale; once it polls, the cashier interrupts it (again once the service is
    // healthy, when the first interruption was refused).
    Outcome sale(const char *code, Endpoint faulted)
    {
        Outcome outcome;
        std::future<PaymentProcessingAnswer> running = std::async(
            std::launch::async, [&] { return processing()->payment(saleRequest(100000, code)); });
        QElapsedTimer timer;
        timer.start();
        while (running.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (timer.elapsed() > 30000 && !outcome.interrupted) {
                // Whatever the cell expects, the cashier always has this way out.
                ADD_FAILURE() << "the sale did not end by itself";
                outcome.interrupted = true;
                sandbox->clearFaults();
                processing()->interruptPayment();
                continue;
            }
            // A cell that ends by itself is left alone.
            if (GetParam().expected.status != 2 || outcome.interrupted || infoRequests() < 1)
                continue;
            if (faulted == Endpoint::Cancel && GetParam().fault == Fault::Refused)
                sandbox->stop();
            outcome.interrupted = true;
            cancelAccepted = processing()->interruptPayment();
            if (!cancelAccepted) {
                sandbox->clearFaults();
                cancelAccepted = processing()->interruptPayment();
            }
        }
        const PaymentProcessingAnswer answer = running.get();
        outcome.status = answer.getStatus();
        outcome.messageKey = answer.getMessage().key();
        outcome.polled = infoRequests() > 0;
        orderId = answer.getRRN();
        outcome.queued = queuedFor(orderId);
        return outcome;
    }

    Outcome refund()
    {
        const QString paid = completedSale(100000);
        sandbox->clearRequests();
        applyFault();
        const PaymentProcessingAnswer answer = processing()->payment(refundRequest(paid, 100000));
        Outcome outcome;
        outcome.status = answer.getStatus();
        outcome.messageKey = answer.getMessage().key();
        outcome.queued = queuedFor(paid);
        orderId = paid;
        return outcome;
    }

    void record(const Outcome &outcome)
    {
        const Cell &cell = GetParam();
        const QStringList row{QString::fromLatin1(name(cell.endpoint)),
                              QString::fromLatin1(name(cell.fault)),
                              QString::number(outcome.status),
                              QString::fromLatin1(outcome.polled ? "yes" : "no"),
                              QString::fromLatin1(outcome.interrupted ? "yes" : "no"),
                              QString::fromLatin1(outcome.queued ? "yes" : "no"),
                              outcome.messageKey};
        std::lock_guard<std::mutex> lock(tableMutex);
        tableRows.append(row);
        std::printf("%s\n", paddedRow(row).toUtf8().constData());
    }

    QString orderId;
    bool cancelAccepted = false;
    std::atomic<qint64> longest{0};
};

TEST_P(FaultMatrixTest, OutcomeAndInvariants)
{
    const Cell &cell = GetParam();
    Outcome outcome;
    switch (cell.endpoint) {
    case Endpoint::Create:
        applyFault();
        outcome = sale(sandbox::Sandbox::CodeApprove, cell.endpoint);
        break;
    case Endpoint::Info:
        if (cell.fault == Fault::Refused) {
            // The service goes away once the order exists.
            sandbox->setFault(Endpoint::Info, sandbox::Sandbox::Fault::Delay, 300);
            std::thread stopper([this] {
                if (sandbox->waitForRequests(2, 10000))
                    sandbox->stop();
            });
            outcome = sale(sandbox::Sandbox::CodeHold, cell.endpoint);
            stopper.join();
        } else {
            applyFault();
            outcome = sale(sandbox::Sandbox::CodeHold, cell.endpoint);
        }
        break;
    case Endpoint::Cancel:
        if (cell.fault != Fault::Refused)
            applyFault();
        outcome = sale(sandbox::Sandbox::CodeHold, cell.endpoint);
        break;
    case Endpoint::Refund:
        outcome = refund();
        break;
    }
    record(outcome);

    EXPECT_EQ(outcome.status, cell.expected.status);
    if (cell.endpoint != Endpoint::Refund) {
        EXPECT_EQ(outcome.polled, cell.expected.polled);
    }
    EXPECT_EQ(outcome.queued, cell.expected.queued);

    EXPECT_LE(longest.load(), (TimeoutSeconds + 1) * 1000) << "an exchange outlived its timeout";

    // What the cashier was told was accepted is done at the service, or waits in the queue.
    if (cell.endpoint == Endpoint::Refund && outcome.status == 0) {
        sandbox->start();
        const QJsonArray refunds =
            sandbox->order(orderId).value(QStringLiteral("refund")).toArray();
        EXPECT_TRUE(!refunds.isEmpty() || outcome.queued);
    }
    if (cell.endpoint != Endpoint::Refund) {
        // Paid means completed at the service, and a sale leaves no order live unless its
        // cancellation waits in the queue.
        const QString status = sandbox->order(orderId).value(QStringLiteral("status")).toString();
        if (outcome.status == 0) {
            EXPECT_EQ(status, QStringLiteral("completed"));
        }
        const bool live = status == QLatin1String("created") ||
                          status == QLatin1String("scoring") || status == QLatin1String("approved");
        EXPECT_TRUE(!live || outcome.queued) << qPrintable(status);
    }
    if (cell.endpoint != Endpoint::Refund && outcome.interrupted && cancelAccepted) {
        sandbox->start();
        const QString status = sandbox->order(orderId).value(QStringLiteral("status")).toString();
        // An order the service never took has nothing to cancel.
        EXPECT_TRUE(status == QLatin1String("canceled") || status.isEmpty() || outcome.queued)
            << qPrintable(status);
    }
}

constexpr Expected failed{1, false, false};
constexpr Expected interruptedWhilePolling{2, true, false};
constexpr Expected queuedCancellation{2, true, true};
constexpr Expected queuedRefund{0, false, true};
constexpr Expected refunded{0, false, false};

// A test name of the words: anything but letters and digits becomes "_".
std::string testName(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return !std::isalnum(uchar(c)); }, '_');
    return text;
}

std::string cellName(const testing::TestParamInfo<Cell> &caseInfo)
{
    return testName(std::string(name(caseInfo.param.endpoint)) + "_" + name(caseInfo.param.fault));
}

constexpr Expected paidAfterPolling{0, true, false};

INSTANTIATE_TEST_SUITE_P(
    Create, FaultMatrixTest,
    testing::Values(Cell{Endpoint::Create, Fault::Refused, failed},
                    // No answer in time: the order is looked for under its id; this one has not
                    // arrived, so only the cashier ends the wait, and the cancellation waits in
                    // the queue in case the create still turns up.
                    Cell{Endpoint::Create, Fault::NoAnswer, queuedCancellation},
                    // The status line said 200: the order was taken, whatever became of the
                    // body, and its state is polled.
                    Cell{Endpoint::Create, Fault::DropMidBody, queuedCancellation},
                    // Anything but a 200 or the service's error may come from a gateway after
                    // the service took the order: it is looked for like a lost answer.
                    Cell{Endpoint::Create, Fault::Empty500, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Html502, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Gateway504, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Json500, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Html502After, paidAfterPolling},
                    // HTTP 200 counts as accepted whatever its body.
                    Cell{Endpoint::Create, Fault::NotJson, queuedCancellation},
                    Cell{Endpoint::Create, Fault::TruncatedJson, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Empty200, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Accepted200, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Empty200After, paidAfterPolling},
                    Cell{Endpoint::Create, Fault::ErrorObject, failed},
                    Cell{Endpoint::Create, Fault::HugeBody, queuedCancellation},
                    // The order was made; its answer came too slowly; polling finds it paid.
                    Cell{Endpoint::Create, Fault::Trickle, paidAfterPolling},
                    // An answer about another order says nothing of this one, which is polled
                    // and never found.
                    Cell{Endpoint::Create, Fault::OtherOrder, queuedCancellation},
                    // The order was made and its answer lost on the way: polling finds it paid.
                    Cell{Endpoint::Create, Fault::Lost, paidAfterPolling},
                    // A 5xx proves nothing, whatever its "error" says: the order is looked for.
                    Cell{Endpoint::Create, Fault::Error504, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Error502, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Error500, queuedCancellation},
                    Cell{Endpoint::Create, Fault::Error504After, paidAfterPolling},
                    Cell{Endpoint::Create, Fault::Error502After, paidAfterPolling},
                    Cell{Endpoint::Create, Fault::Error500After, paidAfterPolling},
                    Cell{Endpoint::Create, Fault::UpperCaseId, paidAfterPolling}),
    cellName);

INSTANTIATE_TEST_SUITE_P(
    Info, FaultMatrixTest,
    testing::Values(Cell{Endpoint::Info, Fault::Refused, queuedCancellation},
                    Cell{Endpoint::Info, Fault::NoAnswer, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::DropMidBody, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Empty500, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Html502, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::NotJson, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::TruncatedJson, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::ErrorObject, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::HugeBody, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Trickle, interruptedWhilePolling},
                    // "completed" counts from a 200 answer about this order only.
                    Cell{Endpoint::Info, Fault::Json500, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::OtherOrder, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Lost, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Gateway504, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Empty200, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Accepted200, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Html502After, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Empty200After, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Error504, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Error502, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::Error500, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::UpperCaseId, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::InfoZeroAmount, interruptedWhilePolling},
                    Cell{Endpoint::Info, Fault::DuplicateAmount, interruptedWhilePolling}),
    cellName);

INSTANTIATE_TEST_SUITE_P(
    Cancel, FaultMatrixTest,
    testing::Values(Cell{Endpoint::Cancel, Fault::Refused, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::NoAnswer, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::DropMidBody, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Empty500, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Html502, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::NotJson, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::TruncatedJson, queuedCancellation},
                    // Not confirmed is not cancelled: the cashier's cancellation waits in the
                    // queue, whose replay decides by the order's state.
                    Cell{Endpoint::Cancel, Fault::ErrorObject, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::HugeBody, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Trickle, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Json500, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::OtherOrder, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Lost, queuedCancellation},
                    // A 200 that does not say "CANCELLED" confirms nothing, whether or not the
                    // service carried the cancellation out.
                    Cell{Endpoint::Cancel, Fault::Gateway504, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Empty200, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Accepted200, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Html502After, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Empty200After, queuedCancellation},
                    // Carried out or not, a 5xx or the order unchanged confirms nothing.
                    Cell{Endpoint::Cancel, Fault::Error504, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Error502, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Error500, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Error504After, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Error502After, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Error500After, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::Unchanged, queuedCancellation},
                    Cell{Endpoint::Cancel, Fault::UnchangedAfter, queuedCancellation},
                    // The service's own confirmation, the id in capitals: the same order.
                    Cell{Endpoint::Cancel, Fault::UpperCaseId, interruptedWhilePolling}),
    cellName);

INSTANTIATE_TEST_SUITE_P(
    Refund, FaultMatrixTest,
    testing::Values(Cell{Endpoint::Refund, Fault::Refused, queuedRefund},
                    Cell{Endpoint::Refund, Fault::NoAnswer, queuedRefund},
                    Cell{Endpoint::Refund, Fault::DropMidBody, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Empty500, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Html502, queuedRefund},
                    Cell{Endpoint::Refund, Fault::NotJson, queuedRefund},
                    Cell{Endpoint::Refund, Fault::TruncatedJson, queuedRefund},
                    Cell{Endpoint::Refund, Fault::ErrorObject, failed},
                    Cell{Endpoint::Refund, Fault::HugeBody, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Trickle, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Json500, queuedRefund},
                    Cell{Endpoint::Refund, Fault::OtherOrder, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Lost, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Gateway504, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Empty200, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Accepted200, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Html502After, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Empty200After, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error504, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error502, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error500, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error504After, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error502After, queuedRefund},
                    Cell{Endpoint::Refund, Fault::Error500After, queuedRefund},
                    // Only this refund's own effect confirms it.
                    Cell{Endpoint::Refund, Fault::Unchanged, queuedRefund},
                    Cell{Endpoint::Refund, Fault::UnchangedAfter, queuedRefund},
                    Cell{Endpoint::Refund, Fault::OtherRefund, queuedRefund},
                    Cell{Endpoint::Refund, Fault::OtherRefundAfter, queuedRefund},
                    Cell{Endpoint::Refund, Fault::UpperCaseId, refunded}),
    cellName);

// A queued refund replayed while the service answers without showing the refund: the message
// stays until an answer or the order's state shows the refund, which is then made exactly once.
class ReplayFaultTest : public E2EFixture, public testing::WithParamInterface<Fault>
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setConfig(QStringLiteral("Velmor:timeout"), QStringLiteral("1"));
        setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("1"));
        restartPlugin();
        setReceipt(1000);
        addItem(1, 2, 1000);
    }
};

TEST_P(ReplayFaultTest, QueuedRefundFinishesOnlyWhenShown)
{
    const QString paid = completedSale(100000);
    sandbox->stop();
    EXPECT_EQ(processing()->payment(refundRequest(paid, 100000)).getStatus(), 0);
    ASSERT_EQ(Singleton<DBQueueBroker>::instance->pendingMessages().size(), 1);
    ASSERT_TRUE(sandbox->start());

    sandbox->setFault(Endpoint::Refund, sandboxFault(GetParam()));
    EXPECT_EQ(replayQueue(), 0);
    EXPECT_EQ(Singleton<DBQueueBroker>::instance->pendingMessages().size(), 1);

    sandbox->clearFaults();
    EXPECT_EQ(replayQueue(), 1);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
    const QJsonObject order = sandbox->order(paid);
    EXPECT_EQ(order.value(QStringLiteral("status")).toString(), QStringLiteral("refunded"));
    EXPECT_EQ(order.value(QStringLiteral("refund")).toArray().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Meaningless, ReplayFaultTest,
                         testing::Values(Fault::Empty200, Fault::Accepted200, Fault::Empty200After,
                                         Fault::TruncatedJson, Fault::Html502After,
                                         Fault::Error502After, Fault::Unchanged,
                                         Fault::UnchangedAfter, Fault::OtherRefundAfter),
                         [](const testing::TestParamInfo<Fault> &caseInfo) {
                             return testName(name(caseInfo.param));
                         });

} // namespace
