// The cashier's screen driven through its widgets against the in-process sandbox, on Qt's
// offscreen platform.
#include <tillgui/answerpanel.h>
#include <tillgui/mainwindow.h>
#include <tillgui/operationrunner.h>
#include <tillgui/progresspanel.h>
#include <tillgui/refunddialog.h>
#include <tillgui/saledialog.h>
#include <tillgui/scanpanel.h>

#include <dbqueuebroker.h>
#include <document.h>
#include <sandbox/sandbox.h>
#include <till/hostenvironment.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <memory>

namespace {

constexpr int IntervalMs = 1000; // Velmro:infoRequestInterval
constexpr int TimeoutMs = 1000;  // Velmor:timeout

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

class TillGuiTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sandbox = std::make_unique<Sandbox>(Sandbox::Options());
        ASSERT_TRUE(sandbox->start());
        QFile config(dir.filePath(QStringLiteral("velmor.ini")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=merchant\npassword=secret\n"
                                    "timeout=%2\n[Velmro]\ninfoRequestInterval=%3\n")
                         .arg(sandbox->baseUrl())
                         .arg(TimeoutMs / 1000)
                         .arg(IntervalMs / 1000)
                         .toUtf8());
        config.close();
        host = std::make_unique<HostEnvironment>();
        // TILLGUI_TEST_LOG=FILE keeps the plug-in's log lines of a run to read afterwards.
        ASSERT_TRUE(host->setUpLogging(
            qEnvironmentVariable("TILLGUI_TEST_LOG", dir.filePath(QStringLiteral("till.log")))));
        ASSERT_TRUE(host->setUpServices(config.fileName(), queuePath()));
        ASSERT_TRUE(host->loadPlugin(QStringLiteral(VELMOR_PLUGIN_PATH)))
            << qPrintable(host->errorString());
        receipt = QSharedPointer<Document>::create();
        auto item = QSharedPointer<TGoodsItem>::create();
        item->setPosnum(1);
        item->setArticul(QStringLiteral("KETTLE-1"));
        item->setName(QStringLiteral("Чайник"));
        item->setQuantity(1);
        item->setSumb(1500.0);
        receipt->addGoodsItem(item);
        receipt->setTotalSum(1500.0);
        window = std::make_unique<MainWindow>(*host, receipt);
        ASSERT_EQ(window->amountField()->text(), QStringLiteral("150000"));
        window->show();
    }

    void TearDown() override
    {
        // A sale still running is cancelled and waited for, as closing the window does.
        if (window && !window->runner()->isIdle()) {
            window->close();
            waitFor([this] { return window->runner()->isIdle(); });
        }
        window.reset();
        host.reset();
        sandbox->stop();
    }

    QString queuePath() const { return dir.filePath(QStringLiteral("queue.sqlite")); }
    SaleDialog *dialog() const { return window->saleDialog(); }

    // Presses Sale and scans `code` as a scanner does: its keys, then Enter.
    void scan(const char *code)
    {
        QTest::mouseClick(window->saleButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
        QLineEdit *field = dialog()->scanPanel()->codeField();
        QTest::keyClicks(field, QString::fromLatin1(code));
        QTest::keyClick(field, Qt::Key_Return);
        ASSERT_EQ(dialog()->page(), SaleDialog::Page::Progress);
    }

    // The sale is in its status wait: the plug-in has shown progress.
    bool waiting() const
    {
        return waitFor([this] { return !dialog()->progressPanel()->text().isEmpty(); });
    }

    bool answered(int timeoutMs = 15000) const
    {
        return waitFor([this] { return dialog()->page() == SaleDialog::Page::Answer; }, timeoutMs);
    }

    QTemporaryDir dir;
    QSharedPointer<Document> receipt;
    std::unique_ptr<Sandbox> sandbox;
    std::unique_ptr<HostEnvironment> host;
    std::unique_ptr<MainWindow> window;
};

TEST_F(TillGuiTest, SaleIsApprovedThroughTheWidgets)
{
    QTest::mouseClick(window->saleButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    EXPECT_EQ(dialog()->scanPanel()->title(), QStringLiteral("Ввод QR-кода VELMOR"));
    EXPECT_EQ(dialog()->scanPanel()->message(), QStringLiteral("Отсканируйте QR-код VELMOR"));
    // ":/velmor/scan_token.png" from the loaded plug-in's resources.
    EXPECT_TRUE(dialog()->scanPanel()->hasPicture());
    dialog()->reject();

    scan(Sandbox::CodeApprove);
    ASSERT_TRUE(answered());
    EXPECT_GT(dialog()->progressPanel()->value(), 0);
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(window->lastAnswer().getMessage().ru());
    EXPECT_FALSE(window->lastAnswer().getRRN().isEmpty());
    EXPECT_EQ(dialog()->answerPanel()->statusText(), QStringLiteral("Одобрено"));
    EXPECT_THAT(dialog()->answerPanel()->rrnText().toStdString(),
                testing::HasSubstr(window->lastAnswer().getRRN().toStdString()));
}

TEST_F(TillGuiTest, RefundReturnsThePositionsChosenInTheDialog)
{
    scan(Sandbox::CodeApprove);
    ASSERT_TRUE(answered());
    const QString orderId = window->lastAnswer().getRRN();
    dialog()->accept();

    RefundDialog refund(receipt);
    QTest::keyClicks(refund.rrnField(), orderId);
    EXPECT_EQ(refund.rrn(), orderId);
    EXPECT_EQ(refund.amount(), 150000);
    ASSERT_TRUE(window->startRefund(refund.rrn(), refund.refundReceipt(), refund.amount()));
    ASSERT_TRUE(answered());
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(window->lastAnswer().getMessage().ru());
}

TEST_F(TillGuiTest, CancelDuringTheWaitEndsTheSaleAfterTheNextPoll)
{
    scan(Sandbox::CodeHold);
    ASSERT_TRUE(waiting());
    QElapsedTimer sincePressed;
    sincePressed.start();
    QTest::mouseClick(dialog()->progressPanel()->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog()->progressPanel()->cancelButton()->isEnabled());
    // At most the rest of one interval, the poll, and slack for a loaded machine.
    ASSERT_TRUE(answered(IntervalMs + TimeoutMs + 1500));
    EXPECT_LT(sincePressed.elapsed(), IntervalMs + TimeoutMs + 1500);
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::OrderCanceled)
        << qPrintable(window->lastAnswer().getMessage().ru());
    EXPECT_TRUE(waitFor([this] { return window->runner()->isIdle(); }));
}

TEST_F(TillGuiTest, EventLoopRunsWhileTheSaleWaits)
{
    scan(Sandbox::CodeHold);
    ASSERT_TRUE(waiting());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    QTest::qWait(2 * IntervalMs);
    // The worker blocks in the plug-in's wait all along, and the timer keeps firing.
    EXPECT_TRUE(window->runner()->isBusy());
    // 100 ticks if nothing else ran; a loaded machine may drop some, a blocked loop all.
    EXPECT_GE(ticks, 20);
    // A second sale cannot start meanwhile.
    EXPECT_FALSE(window->saleButton()->isEnabled());
    EXPECT_FALSE(window->startSale());
}

TEST_F(TillGuiTest, ClosingDuringTheSaleKeepsTheQueuedCancellation)
{
    sandbox->setFault(Sandbox::Endpoint::Cancel, Sandbox::Fault::Drop);
    scan(Sandbox::CodeHold);
    ASSERT_TRUE(waiting());
    // Refused at first: Cancel is pressed and the window closes once the sale has ended.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));
    EXPECT_TRUE(window->runner()->isIdle());
    const QString orderId = window->lastAnswer().getRRN();
    ASSERT_FALSE(orderId.isEmpty());

    window.reset();
    host.reset();
    DBQueueBroker queue(queuePath(), DBQueueBroker::OpenMode::ReadOnly);
    const QList<QueuedMessage> messages = queue.pendingMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first().message.value(QStringLiteral("orderId")).toString(), orderId);
}

} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleMock(&argc, argv);
    // Listing the tests needs no platform; CTest's discovery runs without the offscreen one.
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
