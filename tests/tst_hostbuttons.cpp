// The host's other buttons through the loaded plug-in against the sandbox: the connection
// test, the payment status and the slips of the operations that went through.

#include "e2efixture.h"

#include "sandboxbodies.h"

#include <dbqueuebroker.h>
#include <plugin/shiftreport.h>
#include <plugin/slip.h>
#include <singleton.h>
#include <velmor/journal.h>

#include <QJsonDocument>
#include <QUrl>
#include <httplib.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Endpoint = sandbox::Sandbox::Endpoint;
using Fault = sandbox::Sandbox::Fault;

class HostButtonsTest : public E2EFixture
{
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        setReceipt(2000);
        addItem(1, 2, 1000);
        addItem(2, 1, 1000);
    }
};

// The connection test sends one status request for a made-up order and says which of
// reachable, unreachable, timed out, refused credentials or a meaningless answer it met.
struct ConnectionCase
{
    const char *name;
    std::function<void(HostButtonsTest &, sandbox::Sandbox &)> arrange;
    bool success;
    const char *messageKey;
};

class ConnectionTest : public HostButtonsTest, public testing::WithParamInterface<ConnectionCase>
{
public:
    void wrongPassword()
    {
        setConfig(QStringLiteral("Velmor:password"), QStringLiteral("wrong"));
        processing()->init();
    }
};

TEST_P(ConnectionTest, SaysWhatItMet)
{
    const ConnectionCase &c = GetParam();
    c.arrange(*this, *sandbox);
    const PaymentProcessingAnswer answer = processing()->testConnection();
    EXPECT_EQ(answer.isSuccess(), c.success);
    EXPECT_EQ(answer.getMessage().key(), QString::fromLatin1(c.messageKey));
    // Nothing is created, cancelled or queued: one status request at most.
    const auto requests = sandbox->requests();
    EXPECT_LE(requests.size(), 1);
    for (const auto &request : requests)
        EXPECT_TRUE(request.method == QLatin1String("GET") &&
                    request.path.endsWith(QLatin1String("/info")))
            << qPrintable(request.path);
    EXPECT_TRUE(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Verdicts, ConnectionTest,
    testing::Values(
        ConnectionCase{"Reachable", [](HostButtonsTest &, sandbox::Sandbox &) {}, true, "velmorConnectionOk"},
        ConnectionCase{"Down", [](HostButtonsTest &, sandbox::Sandbox &service) { service.stop(); }, false, "velmorConnectionUnreachable"},
        ConnectionCase{"Silent", [](HostButtonsTest &, sandbox::Sandbox &service) { service.setFault(Endpoint::Info, Fault::NoAnswer); }, false, "velmorConnectionTimedOut"},
        ConnectionCase{"GatewayPage", [](HostButtonsTest &, sandbox::Sandbox &service) { service.setFault(Endpoint::Info, Fault::Html502); }, false, "velmorConnectionMeaningless"},
        ConnectionCase{"WrongPassword", [](HostButtonsTest &fixture, sandbox::Sandbox &) { static_cast<ConnectionTest &>(fixture).wrongPassword(); }, false, "velmorConnectionCredentialsRefused"}),
    [](const testing::TestParamInfo<ConnectionCase> &caseInfo) { return std::string(caseInfo.param.name); });
// clang-format on

TEST_F(HostButtonsTest, StatusOfAPaidAndPartlyRefundedOrder)
{
    const QString orderId = completedSale(200000);
    document->setGoodsItems({});
    addItem(1, 2, 1000, 1);
    addItem(2, 1, 1000, 0);
    ASSERT_EQ(processing()->payment(refundRequest(orderId, 50000)).getStatus(),
              PaymentProcessingAnswer::Success);

    const PaymentProcessingAnswer answer = processing()->getPaymentByQRCodeStatus(orderId);
    EXPECT_TRUE(answer.isSuccess()) << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorStateCompleted"));
    EXPECT_EQ(answer.getRRN(), orderId);
    EXPECT_EQ(answer.getSum(), 2000.0);
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("refunded")).toDouble(), 500.0);
}

TEST_F(HostButtonsTest, StatusThatTheServiceCannotGive)
{
    PaymentProcessingAnswer answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("order_not_found"));
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("httpCode")).toInt(), 404);

    sandbox->setFault(Endpoint::Info, Fault::Json500);
    answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("noUsableAnswer"));

    sandbox->stop();
    answer = processing()->getPaymentByQRCodeStatus(QStringLiteral("x-1"));
    EXPECT_FALSE(answer.isSuccess());
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("error")).toString(),
              QStringLiteral("noAnswer"));
    EXPECT_FALSE(answer.getMessage().isEmpty());
}

// A paid sale, a refund and a queued cancellation each answer with their slip, fitted to the
// printer's width.
TEST_F(HostButtonsTest, OperationsThatWentThroughAnswerWithTheirSlip)
{
    for (const int width : {0, 48}) {
        PaymentProcessingRequest sale = saleRequest(200000, sandbox::Sandbox::CodePaid);
        sale.setPrintWidth(width);
        const PaymentProcessingAnswer paid = processing()->payment(sale);
        ASSERT_EQ(paid.getStatus(), PaymentProcessingAnswer::Success);
        const QStringList lines = paid.getPrintImages();
        const int limit = width > 0 ? width : Slip::DefaultWidth;
        for (const QString &line : lines)
            EXPECT_LE(line.size(), limit) << qPrintable(line);
        EXPECT_TRUE(lines.contains(QStringLiteral("Оплата")));
        EXPECT_TRUE(lines.contains(QStringLiteral("Сумма: 2000.00 руб.")));
        // The order id, 36 characters, goes whole onto a wide slip and is wrapped on a narrow
        // one.
        EXPECT_TRUE(lines.join(QString()).contains(paid.getRRN()));
        EXPECT_EQ(lines.contains(QStringLiteral("Заказ: ") + paid.getRRN()), width == 48);
    }

    // A refused sale prints nothing.
    const PaymentProcessingAnswer rejected =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeReject));
    EXPECT_TRUE(rejected.getPrintImages().isEmpty());

    const QString orderId = completedSale(200000);
    sandbox->stop();
    const PaymentProcessingAnswer cancelled =
        processing()->cancel(refundRequest(orderId, 200000, 1));
    ASSERT_EQ(cancelled.getMessage().key(), QStringLiteral("velmorCancelQueued"));
    const QStringList lines = cancelled.getPrintImages();
    EXPECT_TRUE(lines.contains(QStringLiteral("Отмена оплаты")));
    EXPECT_TRUE(lines.join(QLatin1Char(' '))
                    .contains(QStringLiteral(
                        "Операция будет завершена после восстановления связи с сервером")));
}

// Lines break at spaces, inside a word only when it is wider than the line, and never between
// the two halves of a character outside the basic plane.
TEST(SlipTest, FittedLinesKeepWordsAndCharactersWhole)
{
    EXPECT_EQ(
        Slip::fitted(QStringLiteral("Сумма: 2000.00 руб."), 10),
        (QStringList{QStringLiteral("Сумма:"), QStringLiteral("2000.00"), QStringLiteral("руб.")}));
    EXPECT_EQ(Slip::fitted(QStringLiteral("Заказ: abcdefghij"), 4),
              (QStringList{QStringLiteral("Зака"), QStringLiteral("з:"), QStringLiteral("abcd"),
                           QStringLiteral("efgh"), QStringLiteral("ij")}));
    const QString wide =
        QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("c");
    const QStringList lines = Slip::fitted(wide, 3);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("ab"),
                                  QString::fromUcs4(U"\U0001F600") + QStringLiteral("c")}));
    EXPECT_EQ(Slip::fitted(QString(), 32), QStringList{QString()});
}

} // namespace

namespace {

// Reconciliation, reports and the copy of the last slip, through the loaded plug-in.
class DayTest : public HostButtonsTest
{
protected:
    // A refund of position 2 (1000.00) made at the service behind the till's back.
    void refundBehindTheTillsBack(const QString &orderId)
    {
        httplib::Client service("127.0.0.1", sandbox->port());
        service.set_basic_auth("merchant", "secret");
        const QByteArray body =
            QJsonDocument(
                sandboxbodies::refundBody(QStringLiteral("behind-1"), {{QStringLiteral("2"), 1.0}}))
                .toJson(QJsonDocument::Compact);
        const std::string path =
            QUrl(sandbox->baseUrl()).path().toStdString() + "/" + orderId.toStdString() + "/refund";
        const auto refunded =
            service.Post(path, body.constData(), size_t(body.size()), "application/json");
        ASSERT_TRUE(refunded);
        ASSERT_EQ(refunded->status, 200) << refunded->body;
    }

    // The fixture's receipt of 2000.00 again, after a refund's receipt.
    void freshReceipt()
    {
        document->setGoodsItems({});
        setReceipt(2000);
        addItem(1, 2, 1000);
        addItem(2, 1, 1000);
    }

    PaymentProcessingAnswer partRefund(const QString &orderId)
    {
        document->setGoodsItems({});
        addItem(1, 2, 1000, 1);
        addItem(2, 1, 1000, 0);
        return processing()->payment(refundRequest(orderId, 50000));
    }

    static QMultiMap<QString, QString> mismatchesOf(const PaymentProcessingAnswer &answer)
    {
        QMultiMap<QString, QString> found;
        const QVariantList list =
            answer.getAdditionalData().value(QStringLiteral("mismatches")).toList();
        for (const QVariant &item : list)
            found.insert(item.toMap().value(QStringLiteral("orderId")).toString(),
                         item.toMap().value(QStringLiteral("mismatch")).toString());
        return found;
    }
};

// A day of a paid sale, a partly refunded sale and a rejected sale agrees with the service;
// each change made at the service behind the till's back is listed as exactly that mismatch,
// on exactly that order.
struct TamperCase
{
    const char *name;
    // Which of the day's orders is changed, and how: 0 the paid one, 1 the refunded, 2 the
    // rejected.
    int order;
    std::function<void(DayTest &, const QString &)> tamper;
    const char *mismatch; // empty: everything agrees
};

class ReconciliationTest : public DayTest, public testing::WithParamInterface<TamperCase>
{
public:
    void refundBehind(const QString &orderId) { refundBehindTheTillsBack(orderId); }
    void setStatus(const QString &orderId, const char *status)
    {
        sandbox->setOrderStatus(orderId, QString::fromLatin1(status));
    }
};

TEST_P(ReconciliationTest, ListsExactlyTheTamperedOrder)
{
    const TamperCase &c = GetParam();
    QStringList orders;
    orders << completedSale(200000);
    orders << completedSale(200000);
    ASSERT_EQ(partRefund(orders.last()).getStatus(), PaymentProcessingAnswer::Success);
    freshReceipt();
    const PaymentProcessingAnswer rejected =
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeReject));
    ASSERT_FALSE(rejected.isSuccess());
    orders << rejected.getRRN();
    c.tamper(*this, orders.at(c.order));
    sandbox->clearRequests();
    progress.texts.clear();

    ASSERT_TRUE(processing()->isCheckTotalsEnable());
    const PaymentProcessingAnswer answer = processing()->checkTotals(7);
    EXPECT_EQ(answer.getTerminalNumber(), 7);
    EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("orders")).toInt(), 3);
    QMultiMap<QString, QString> expected;
    if (*c.mismatch)
        expected.insert(orders.at(c.order), QString::fromLatin1(c.mismatch));
    EXPECT_EQ(mismatchesOf(answer), expected) << qPrintable(answer.getMessage().ru());
    EXPECT_EQ(answer.getStatus(), *c.mismatch ? PaymentProcessingAnswer::SuccessWithMessage
                                              : PaymentProcessingAnswer::Success);
    if (*c.mismatch) {
        EXPECT_TRUE(answer.getMessage().ru().contains(orders.at(c.order)));
        EXPECT_TRUE(answer.getPrintImages().join(QString()).contains(orders.at(c.order)));
    }
    // One status request per order, and the progress display shows each.
    const auto requests = sandbox->requests();
    EXPECT_EQ(requests.size(), 3);
    for (const auto &request : requests)
        EXPECT_TRUE(request.method == QLatin1String("GET") &&
                    request.path.endsWith(QLatin1String("/info")));
    EXPECT_EQ(progress.texts.size(), 3);
    if (!progress.texts.isEmpty()) {
        EXPECT_EQ(progress.texts.first().key(), QStringLiteral("velmorReconcileProgress"));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Tampering, ReconciliationTest,
    testing::Values(
        TamperCase{"Untouched", 0, [](DayTest &, const QString &) {}, ""},
        TamperCase{"PaidNowCanceled", 0, [](DayTest &fixture, const QString &id) { static_cast<ReconciliationTest &>(fixture).setStatus(id, "canceled"); }, "paidNotAtService"},
        TamperCase{"RejectedNowCompleted", 2, [](DayTest &fixture, const QString &id) { static_cast<ReconciliationTest &>(fixture).setStatus(id, "completed"); }, "failedButPaid"},
        TamperCase{"RefundedBehindTheTill", 1, [](DayTest &fixture, const QString &id) { static_cast<ReconciliationTest &>(fixture).refundBehind(id); }, "refundedDiffers"},
        TamperCase{"PaidOrderRefundedBehindTheTill", 0, [](DayTest &fixture, const QString &id) { static_cast<ReconciliationTest &>(fixture).refundBehind(id); }, "refundedDiffers"}),
    [](const testing::TestParamInfo<TamperCase> &caseInfo) { return std::string(caseInfo.param.name); });
// clang-format on

// A cancellation that waits in the queue is an entry still open until the service shows it
// carried out; the replay closes it.
TEST_F(DayTest, QueuedCancellationIsOpenUntilReplayed)
{
    const QString orderId = completedSale(200000);
    sandbox->stop();
    ASSERT_EQ(processing()->cancel(refundRequest(orderId, 200000, 1)).getMessage().key(),
              QStringLiteral("velmorCancelQueued"));
    ASSERT_TRUE(sandbox->start());
    PaymentProcessingAnswer answer = processing()->checkTotals(0);
    EXPECT_EQ(mismatchesOf(answer),
              (QMultiMap<QString, QString>{{orderId, QStringLiteral("stillOpen")}}));
    EXPECT_EQ(replayQueue(), 1);
    answer = processing()->checkTotals(0);
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(answer.getMessage().ru());
}

// An order the service could not be asked about is neither a mismatch nor agreeing: it is
// listed as not checked, and when no order could be asked the reconciliation failed.
TEST_F(DayTest, OrdersTheServiceCouldNotBeAskedAbout)
{
    const QString first = completedSale(200000);
    const QString second = completedSale(200000);
    for (const Fault fault : {Fault::Json500, Fault::Html502, Fault::NoAnswer, Fault::OtherOrder}) {
        sandbox->setFault(Endpoint::Info, fault);
        const PaymentProcessingAnswer answer = processing()->checkTotals(0);
        EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Failure);
        EXPECT_EQ(answer.getMessage().key(), QStringLiteral("velmorReconcileNoService"));
        EXPECT_TRUE(mismatchesOf(answer).isEmpty());
        EXPECT_EQ(answer.getAdditionalData().value(QStringLiteral("notChecked")).toStringList(),
                  (QStringList{first, second}));
    }
    sandbox->clearFaults();
    EXPECT_EQ(processing()->checkTotals(0).getStatus(), PaymentProcessingAnswer::Success);
}

// An empty day agrees without asking anything.
TEST_F(DayTest, EmptyDayAgreesWithoutARequest)
{
    const PaymentProcessingAnswer answer = processing()->checkTotals(0);
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success);
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

QString reportLine(const QStringList &lines, const QString &start)
{
    for (const QString &line : lines) {
        if (line.startsWith(start))
            return line;
    }
    return QString();
}

// A day with every kind of operation: a paid sale, a refund, a cancellation, a queued
// cancellation, a refused sale, a refund of unknown outcome and a sale a dead till left
// (reversed through the queue). The reports read the journal alone.
TEST_F(DayTest, ReportsOfADayWithEveryKindOfOperation)
{
    const QString paid = completedSale(200000);
    ASSERT_EQ(partRefund(paid).getStatus(), PaymentProcessingAnswer::Success);
    freshReceipt();
    const QString cancelled = completedSale(200000);
    ASSERT_EQ(processing()->cancel(refundRequest(cancelled, 200000, 1)).getStatus(),
              PaymentProcessingAnswer::Success);
    ASSERT_FALSE(
        processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeReject)).isSuccess());
    const QString queued = completedSale(200000);
    sandbox->setFault(Endpoint::Refund, Fault::Json500);
    ASSERT_EQ(partRefund(queued).getMessage().key(), QStringLiteral("velmorCancelQueued"));
    sandbox->clearFaults();
    sandbox->stop();
    freshReceipt();
    const QString other = QStringLiteral("11111111-2222-3333-4444-555555555555");
    ASSERT_EQ(processing()->cancel(refundRequest(other, 200000, 1)).getMessage().key(),
              QStringLiteral("velmorCancelQueued"));
    const QString journalPath = tempDir.filePath(QStringLiteral("journal.sqlite"));
    {
        // A till that died with a sale unanswered: the next start hands it to the queue.
        velmor::Journal dead;
        ASSERT_TRUE(dead.open(journalPath));
        ASSERT_NE(
            dead.recordSale(QStringLiteral("dead-1"), 150000,
                            QJsonObject{{QStringLiteral("orderId"), QStringLiteral("dead-1")}}),
            0);
    }
    // Another till still at work on a refund: its outcome is not known yet.
    velmor::Journal alive;
    ASSERT_TRUE(alive.open(journalPath));
    ASSERT_NE(alive.recordRefund(QStringLiteral("alive-1"), QStringLiteral("r-1"), 70000,
                                 QJsonObject(), QJsonObject()),
              0);
    processing()->init();
    sandbox->clearRequests();

    const PaymentProcessingAnswer shortReport = processing()->printShortReport();
    ASSERT_TRUE(shortReport.isSuccess()) << qPrintable(shortReport.getMessage().ru());
    const QStringList lines = shortReport.getPrintImages();
    EXPECT_EQ(reportLine(lines, QStringLiteral("Оплаты:")),
              QStringLiteral("Оплаты: 3, 6000.00 руб."));
    EXPECT_EQ(reportLine(lines, QStringLiteral("Возвраты:")),
              QStringLiteral("Возвраты: 1, 500.00 руб."));
    EXPECT_EQ(reportLine(lines, QStringLiteral("Отмены оплаты:")),
              QStringLiteral("Отмены оплаты: 1, 2000.00 руб."));
    // The refund and the cancellation that got no answer.
    EXPECT_EQ(reportLine(lines, QStringLiteral("В очереди:")),
              QStringLiteral("В очереди: 2, 2500.00 руб."));
    EXPECT_EQ(reportLine(lines, QStringLiteral("Не выполнены:")),
              QStringLiteral("Не выполнены: 1, 2000.00 руб."));
    const QString joined = lines.join(QLatin1Char(' '));
    EXPECT_TRUE(
        joined.contains(QStringLiteral("Оплаты без ответа кассе, отменены: 1, 1500.00 руб.")))
        << qPrintable(joined);
    EXPECT_TRUE(joined.contains(QStringLiteral("Результат неизвестен: 1, 700.00 руб.")));
    EXPECT_EQ(shortReport.getMessage().key(), QStringLiteral("velmorReportReady"));

    const PaymentProcessingAnswer full = processing()->printReport();
    ASSERT_TRUE(full.isSuccess());
    const QString text = full.getPrintImages().join(QLatin1Char(' '));
    for (const QString &orderId :
         {paid, cancelled, queued, other, QStringLiteral("dead-1"), QStringLiteral("alive-1")})
        EXPECT_TRUE(text.contains(orderId.left(20))) << qPrintable(orderId);
    EXPECT_GT(full.getPrintImages().size(), lines.size() + 7);
    // No network: the reports sent nothing.
    EXPECT_TRUE(sandbox->requests().isEmpty());
}

// The last slip again, marked as a copy and at the width it was printed at; lines never
// longer than the printer, nor cut inside a character.
TEST_F(DayTest, CopyOfTheLastSlip)
{
    PaymentProcessingAnswer copy = processing()->printCopy(3);
    EXPECT_FALSE(copy.isSuccess());
    EXPECT_EQ(copy.getMessage().key(), QStringLiteral("velmorCopyNone"));

    for (const int width : {32, 48}) {
        PaymentProcessingRequest sale = saleRequest(200000, sandbox::Sandbox::CodePaid);
        sale.setPrintWidth(width);
        const PaymentProcessingAnswer paid = processing()->payment(sale);
        ASSERT_TRUE(paid.isSuccess());
        // A refused sale prints no slip, and leaves the last one the last.
        ASSERT_FALSE(
            processing()->payment(saleRequest(200000, sandbox::Sandbox::CodeReject)).isSuccess());
        copy = processing()->printCopy(3);
        ASSERT_TRUE(copy.isSuccess()) << qPrintable(copy.getMessage().ru());
        EXPECT_EQ(copy.getTerminalNumber(), 3);
        EXPECT_EQ(copy.getRRN(), paid.getRRN());
        EXPECT_EQ(copy.getPrintImages(),
                  QStringList{QStringLiteral("КОПИЯ")} + paid.getPrintImages());
        for (const QString &line : copy.getPrintImages()) {
            EXPECT_LE(line.size(), width);
            EXPECT_EQ(QString::fromUtf8(line.toUtf8()), line);
        }
    }
}

// The reports' lines at the two widths: none longer than the printer, none cut inside a
// character, and every word of a Russian text whole on one line when it fits.
TEST(ShiftReportTest, LinesAtBothWidthsKeepCharactersWhole)
{
    velmor::Journal::Entry sale;
    sale.kind = velmor::Journal::Kind::Sale;
    sale.orderId = QStringLiteral("c2a7a1b4-1c5e-4a8e-9f7d-0e6c2b9d1a33");
    sale.amountKopecks = 123456;
    sale.state = velmor::Journal::State::ReversalQueued;
    sale.recorded = QDateTime::currentDateTime();
    const ShiftReport report(QDate::currentDate(), {sale});
    for (const int width : {32, 48}) {
        const QStringList lines = report.lines(true, width);
        for (const QString &line : lines) {
            EXPECT_LE(line.size(), width) << qPrintable(line);
            EXPECT_EQ(QString::fromUtf8(line.toUtf8()), line);
        }
        const QString joined = lines.join(QLatin1Char(' '));
        for (const QString &word :
             {QStringLiteral("отменено"), QStringLiteral("1234.56"), QStringLiteral("Оплаты:")})
            EXPECT_TRUE(joined.split(QLatin1Char(' ')).contains(word)) << qPrintable(word);
    }
}

// How each journal state and outcome counts in the reports.
TEST(ShiftReportTest, KindOfEachEntry)
{
    using Entry = velmor::Journal::Entry;
    using State = velmor::Journal::State;
    using Outcome = velmor::Journal::Outcome;
    using Kind = ShiftReport::Kind;
    const auto entry = [](bool sale, State state, Outcome outcome, const char *operation) {
        Entry e;
        e.kind = sale ? velmor::Journal::Kind::Sale : velmor::Journal::Kind::Refund;
        e.state = state;
        e.outcome = outcome;
        if (*operation)
            e.note.insert(QStringLiteral("operation"), QString::fromLatin1(operation));
        return e;
    };
    // clang-format off
    const struct { Entry entry; Kind kind; } cases[] = {
        {entry(true, State::Answered, Outcome::Done, "sale"), Kind::SalePaid},
        {entry(true, State::Answered, Outcome::Failed, "sale"), Kind::Failed},
        {entry(true, State::Answered, Outcome::Queued, "sale"), Kind::Queued},
        {entry(true, State::Open, Outcome::None, ""), Kind::Unknown},
        {entry(true, State::ReversalQueued, Outcome::None, ""), Kind::Reversal},
        {entry(true, State::Finished, Outcome::None, ""), Kind::Reversal},
        {entry(false, State::Answered, Outcome::Done, "refund"), Kind::Refund},
        {entry(false, State::Answered, Outcome::Done, ""), Kind::Refund},
        {entry(false, State::Answered, Outcome::Done, "cancellation"), Kind::Cancellation},
        {entry(false, State::Answered, Outcome::Queued, "cancellation"), Kind::Queued},
        {entry(false, State::Answered, Outcome::Failed, "refund"), Kind::Failed},
        {entry(false, State::Unknown, Outcome::Unknown, "refund"), Kind::Unknown},
        {entry(false, State::ReversalQueued, Outcome::Unknown, "refund"), Kind::Queued},
        {entry(false, State::Finished, Outcome::Unknown, "cancellation"), Kind::Cancellation},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(int(ShiftReport::kindOf(c.entry)), int(c.kind))
            << qPrintable(velmor::Journal::stateName(c.entry.state)) << " "
            << qPrintable(velmor::Journal::outcomeName(c.entry.outcome)) << " "
            << qPrintable(c.entry.note.value(QStringLiteral("operation")).toString());
}

} // namespace
