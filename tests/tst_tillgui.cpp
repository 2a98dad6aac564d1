// The cashier's screen driven through its widgets against the in-process sandbox, on Qt's
// offscreen platform.
#include <tillgui/answerpanel.h>
#include <tillgui/canceldialog.h>
#include <tillgui/confirmdialog.h>
#include <tillgui/guitext.h>
#include <tillgui/mainwindow.h>
#include <tillgui/operationrunner.h>
#include <tillgui/orderidfield.h>
#include <tillgui/outcome.h>
#include <tillgui/progresspanel.h>
#include <tillgui/queuedialog.h>
#include <tillgui/refunddialog.h>
#include <tillgui/roubleamount.h>
#include <tillgui/saledialog.h>
#include <tillgui/scanpanel.h>
#include <tillgui/servicemenu.h>

#include <dbqueuebroker.h>
#include <document.h>
#include <sandbox/sandbox.h>
#include <till/hostenvironment.h>
#include <velmor/messages.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <gmock/gmock.h>
#include <memory>
#include <vector>

namespace {

constexpr int IntervalMs = 1000; // Velmro:infoRequestInterval
constexpr int TimeoutMs = 1000;  // Velmor:timeout
// The till's screen.
const QSize ScreenSize(1024, 768);
// Past the answer page's guard against a scanner's trailing Enter.
constexpr int ReadingMs = 400;
const QString SampleOrderId = QStringLiteral("d48015be-0bfd-4149-b48a-cfbbc1e10571");

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
        sandbox = std::make_unique<sandbox::Sandbox>(sandbox::Sandbox::Options());
        ASSERT_TRUE(sandbox->start());
        QFile config(dir.filePath(QStringLiteral("velmor.ini")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=merchant\npassword=secret\n"
                                    "timeout=%2\njournal=%4\n[Velmro]\ninfoRequestInterval=%3\n")
                         .arg(sandbox->baseUrl())
                         .arg(TimeoutMs / 1000)
                         .arg(IntervalMs / 1000)
                         .arg(dir.filePath(QStringLiteral("journal.sqlite")))
                         .toUtf8());
        config.close();
        host = std::make_unique<till::HostEnvironment>();
        // TILLGUI_TEST_LOG=FILE keeps the plug-in's log lines of a run to read afterwards.
        const Result<> setUp = host->setUp(
            qEnvironmentVariable("TILLGUI_TEST_LOG", dir.filePath(QStringLiteral("till.log"))),
            config.fileName(), queuePath(), QStringLiteral(VELMOR_PLUGIN_PATH));
        ASSERT_TRUE(setUp.ok()) << qPrintable(setUp.error());
        receipt = QSharedPointer<Document>::create();
        auto item = QSharedPointer<TGoodsItem>::create();
        item->setPosnum(1);
        item->setArticul(QStringLiteral("KETTLE-1"));
        item->setName(QStringLiteral("Чайник"));
        item->setQuantity(1);
        item->setSumb(1500.0);
        receipt->addGoodsItem(item);
        auto mugs = QSharedPointer<TGoodsItem>::create();
        mugs->setPosnum(2);
        mugs->setArticul(QStringLiteral("MUG-2"));
        mugs->setName(QStringLiteral("Кружка"));
        mugs->setQuantity(2);
        mugs->setSumb(500.0);
        receipt->addGoodsItem(mugs);
        receipt->setTotalSum(2000.0);
        window = std::make_unique<tillgui::MainWindow>(*host, receipt);
        // What the receipt leaves to pay, in roubles.
        ASSERT_EQ(window->amountField()->text(), QStringLiteral("2000.00"));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
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
    tillgui::SaleDialog *dialog() const { return window->saleDialog(); }

    // Presses Sale and scans `code` as a scanner does: its keys, then Enter.
    void scan(const char *code)
    {
        QTest::mouseClick(window->saleButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
        QLineEdit *field = dialog()->scanPanel()->codeField();
        QTest::keyClicks(field, QString::fromLatin1(code));
        QTest::keyClick(field, Qt::Key_Return);
        ASSERT_EQ(dialog()->page(), tillgui::SaleDialog::Page::Progress);
    }

    // The sale is in its status wait: the plug-in has shown progress.
    bool waiting() const
    {
        return waitFor([this] { return !dialog()->progressPanel()->text().isEmpty(); });
    }

    bool answered(int timeoutMs = 15000) const
    {
        return waitFor([this] { return dialog()->page() == tillgui::SaleDialog::Page::Answer; },
                       timeoutMs);
    }

    // The dialog or window is the one the keys go to. A window manager gives the window back
    // its activation when a dialog closes; the offscreen platform has none, so the tests do.
    static bool active(QWidget *widget)
    {
        // Not QTest::qWaitForWindowActive: a dialog counts as active there as soon as the
        // window it belongs to is.
        if (QApplication::activeWindow() != widget)
            widget->activateWindow();
        return waitFor([widget] { return QApplication::activeWindow() == widget; });
    }

    // The cashier's keys go to whatever has the focus, as on the till.
    static void press(Qt::Key key)
    {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key);
    }

    // Sells the whole receipt with a code paid at its first poll; the order's id.
    QString paidSale()
    {
        scan(sandbox::Sandbox::CodePaid);
        if (!answered() || window->lastAnswer().getStatus() != PaymentProcessingAnswer::Success)
            return QString();
        dialog()->accept();
        if (!active(window.get()))
            return QString();
        return window->lastAnswer().getRRN();
    }

    // Whether `field` shows a whole order id without scrolling it: the cursor moves from the
    // start to the end by the text's full width, and stays inside the field.
    static bool showsWholeId(QLineEdit *field)
    {
        field->setText(SampleOrderId);
        const auto cursor = [field] {
            return field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        };
        field->setCursorPosition(0);
        const int start = cursor().center().x();
        field->setCursorPosition(SampleOrderId.size());
        const int end = cursor().center().x();
        return end - start >= field->fontMetrics().horizontalAdvance(SampleOrderId) - 1 &&
               cursor().right() <= field->rect().right();
    }

    static bool fits(const QWidget *widget, const QSize &size)
    {
        return widget->width() <= size.width() && widget->height() <= size.height();
    }

    QTemporaryDir dir;
    QSharedPointer<Document> receipt;
    std::unique_ptr<sandbox::Sandbox> sandbox;
    std::unique_ptr<till::HostEnvironment> host;
    std::unique_ptr<tillgui::MainWindow> window;
};

TEST_F(TillGuiTest, SaleIsApprovedThroughTheWidgets)
{
    QTest::mouseClick(window->saleButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    EXPECT_EQ(dialog()->scanPanel()->title(), QStringLiteral("Ввод QR-кода VELMOR"));
    EXPECT_EQ(dialog()->scanPanel()->message(), QStringLiteral("Отсканируйте QR-код VELMOR"));
    // ":/velmor/scan_token.png" from the loaded plug-in's resources.
    EXPECT_TRUE(dialog()->scanPanel()->hasPicture());
    // What the code pays for.
    EXPECT_EQ(dialog()->scanPanel()->paymentText(), QStringLiteral("Оплата 2000.00 руб."));
    dialog()->reject();

    scan(sandbox::Sandbox::CodeApprove);
    EXPECT_EQ(dialog()->progressPanel()->titleText(), QStringLiteral("Оплата 2000.00 руб."));
    ASSERT_TRUE(answered());
    EXPECT_GT(dialog()->progressPanel()->value(), 0);
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(window->lastAnswer().getMessage().ru());
    const QString orderId = window->lastAnswer().getRRN();
    EXPECT_FALSE(orderId.isEmpty());
    EXPECT_EQ(dialog()->answerPanel()->statusText(), QStringLiteral("Оплачено 2000.00 руб."));
    EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Done);
    EXPECT_EQ(dialog()->answerPanel()->adviceText(), QStringLiteral("Оплата принята, чек оплачен"));
    EXPECT_THAT(dialog()->answerPanel()->rrnText().toStdString(),
                testing::HasSubstr(orderId.toStdString()));
    // A plain line, not the answer's JSON.
    EXPECT_EQ(window->statusText(),
              QStringLiteral("Оплачено, сумма 2000.00 руб., заказ ") + orderId);
}

// The host's other buttons from the keyboard: each key calls its slot through the plug-in and
// shows the answer with the lines the host would print.
TEST_F(TillGuiTest, ServiceMenuItemsAnswerFromTheirKeys)
{
    const QString orderId = paidSale();
    ASSERT_FALSE(orderId.isEmpty());
    tillgui::ServiceMenu *menu = window->serviceMenu();
    struct Press
    {
        QKeySequence key;
        const char *shows;
    };
    const Press presses[] = {
        {QKeySequence(Qt::Key_F6), "Связь с сервером Velmor есть"},
        {QKeySequence(Qt::Key_F8), "Сверка Velmor сошлась, заказов: 1"},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), "Оплаты: 1, 2000.00 руб."},
        {QKeySequence(Qt::CTRL | Qt::Key_R), "Отчет Velmor за смену: операций 1"},
        {QKeySequence(Qt::CTRL | Qt::Key_P), "КОПИЯ"},
    };
    for (const Press &press : presses) {
        // Pressed on the window once the operation before has ended.
        ASSERT_TRUE(waitFor([this] { return window->runner()->isIdle(); }));
        ASSERT_TRUE(active(window.get()));
        QSignalSpy spy(menu, &tillgui::ServiceMenu::answered);
        QTest::keySequence(QApplication::focusWidget(), press.key);
        ASSERT_TRUE(waitFor([&spy] { return spy.count() == 1; })) << press.shows;
        EXPECT_THAT(menu->lastShown().toStdString(), testing::HasSubstr(press.shows));
        // The answer's box takes Enter and goes.
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Return);
        ASSERT_TRUE(waitFor([] { return QApplication::activeModalWidget() == nullptr; }));
    }
    EXPECT_THAT(menu->lastShown().toStdString(),
                testing::HasSubstr(orderId.left(20).toStdString()));
    EXPECT_TRUE(menu->action(tillgui::ServiceMenu::Item::PaymentStatus)->isEnabled());
}

// The cashier's keys alone: the amount, F2, the scanner's code and Enter, Enter to close.
TEST_F(TillGuiTest, KeyboardOnlySale)
{
    ASSERT_EQ(QApplication::focusWidget(), window->amountField());
    // Tab goes round the amount and the four buttons, never into the receipt.
    const QWidget *const chain[] = {window->saleButton(), window->refundButton(),
                                    window->cancelButton(), window->queueButton(),
                                    window->amountField()};
    for (const QWidget *next : chain) {
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    for (QPushButton *button : {window->saleButton(), window->refundButton(),
                                window->cancelButton(), window->queueButton()})
        EXPECT_TRUE(button->text().startsWith(QLatin1Char('F'))) << qPrintable(button->text());
    const QRect buttonsBefore = window->saleButton()->geometry();

    window->amountField()->selectAll();
    QTest::keyClicks(window->amountField(), QStringLiteral("1500,5"));
    press(Qt::Key_F2);
    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    ASSERT_TRUE(active(dialog()));
    ASSERT_EQ(QApplication::focusWidget(), dialog()->scanPanel()->codeField());
    QTest::keyClicks(QApplication::focusWidget(),
                     QString::fromLatin1(sandbox::Sandbox::CodeApprove));
    press(Qt::Key_Return);
    // The scanner's Enter starts the order at once and does not press Cancel.
    ASSERT_EQ(dialog()->page(), tillgui::SaleDialog::Page::Progress);
    EXPECT_EQ(dialog()->progressPanel()->titleText(), QStringLiteral("Оплата 1500.50 руб."));
    ASSERT_TRUE(answered());
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(window->lastAnswer().getMessage().ru());
    EXPECT_EQ(dialog()->answerPanel()->statusText(), QStringLiteral("Оплачено 1500.50 руб."));

    QTest::qWait(ReadingMs);
    press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([this] { return !dialog()->isVisible(); }));
    // The status line was there from the start: the buttons stay where they were.
    EXPECT_EQ(window->saleButton()->geometry(), buttonsBefore);
    EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("Оплачено, сумма 1500.50 руб.")))
        << qPrintable(window->statusText());
    // The keys are the window's again, with no window manager to give them back, and the
    // amount offers what is left, not what was just paid.
    EXPECT_TRUE(waitFor([this] { return QApplication::activeWindow() == window.get(); }));
    EXPECT_EQ(QApplication::focusWidget(), window->amountField());
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("499.50"));

    // Enter in the amount starts a sale too; Escape backs out of the scan dialog.
    ASSERT_TRUE(active(window.get()));
    window->amountField()->setFocus();
    press(Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    ASSERT_TRUE(active(dialog()));
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return !dialog()->isVisible(); }));
    ASSERT_TRUE(active(window.get()));
    press(Qt::Key_F3);
    ASSERT_NE(window->refundDialog(), nullptr);
    ASSERT_TRUE(waitFor([this] { return window->refundDialog()->isVisible(); }));
    ASSERT_TRUE(active(window->refundDialog()));
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return window->refundDialog() == nullptr; }));

    // Enter on a focused button presses it.
    ASSERT_TRUE(active(window.get()));
    window->queueButton()->setFocus();
    press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([this] { return window->queueDialog()->isVisible(); }));
    ASSERT_TRUE(active(window->queueDialog()));
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return !window->queueDialog()->isVisible(); }));
}

struct RefusedAmount
{
    const char *typed;
    const char *sentence;
};

// An amount the screen refuses opens no scan dialog and says why in a sentence.
TEST_F(TillGuiTest, UnusableAmountsAreRefusedOnTheScreen)
{
    const RefusedAmount cases[] = {
        {"0", "Сумма должна быть больше нуля"},
        {"0.00", "Сумма должна быть больше нуля"},
        {"2000.01", "Сумма 2000.01 руб. больше, чем осталось оплатить по чеку: 2000.00 руб."},
        {"200000", "Сумма 200000.00 руб. больше, чем осталось оплатить по чеку: 2000.00 руб."},
        {"12.345", "Введите сумму в рублях, например 1500.00"},
        {"-5", "Введите сумму в рублях, например 1500.00"},
        {"", "Введите сумму в рублях, например 1500.00"},
    };
    for (const RefusedAmount &c : cases) {
        window->amountField()->setText(QString::fromUtf8(c.typed));
        EXPECT_FALSE(window->startSale()) << c.typed;
        EXPECT_FALSE(dialog()->isVisible()) << c.typed;
        EXPECT_EQ(window->noticeText(), QString::fromUtf8(c.sentence)) << c.typed;
    }
    // A code scanned before F2, digits and all: the amount stays, nothing starts.
    window->amountField()->setText(QStringLiteral("2000.00"));
    window->amountField()->selectAll();
    QTest::keyClicks(window->amountField(), QStringLiteral("VELMOR-1234"));
    QTest::keyClick(window->amountField(), Qt::Key_Return);
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("2000.00"));
    EXPECT_EQ(
        window->noticeText(),
        QStringLiteral("Код отсканирован до начала продажи: нажмите F2, затем сканируйте код"));
    window->amountField()->setText(QStringLiteral("2000"));
    EXPECT_TRUE(window->startSale());
    EXPECT_TRUE(window->noticeText().isEmpty());
}

struct TypedAmount
{
    const char *typed;
    int kopecks; // 0: refused
};

TEST(TillGuiAmountTest, RoublesTypedBecomeKopecks)
{
    const TypedAmount cases[] = {
        {"2000", 200000},
        {"2000.5", 200050},
        {"2000,50", 200050},
        {"0.01", 1},
        {"1 500.00", 150000},
        {"0", 0},
        {"0,00", 0},
        {"1.234", 0},
        {"1e3", 0},
        {"+5", 0},
        {"5.", 0},
        {".5", 0},
        {"21474836.47", 2147483647},
        {"21474836.48", 0},
        {"abc", 0},
    };
    for (const TypedAmount &c : cases) {
        const Result<int> kopecks = tillgui::RoubleAmount::parse(QString::fromUtf8(c.typed));
        EXPECT_EQ(kopecks.ok(), c.kopecks != 0) << c.typed;
        EXPECT_EQ(kopecks ? kopecks.value() : 0, c.kopecks) << c.typed;
        EXPECT_EQ(kopecks.error().isEmpty(), kopecks.ok()) << c.typed;
    }
}

TEST_F(TillGuiTest, RefundReturnsThePositionsChosenInTheDialog)
{
    const QString orderId = paidSale();
    ASSERT_FALSE(orderId.isEmpty());

    press(Qt::Key_F3);
    tillgui::RefundDialog *refund = window->refundDialog();
    ASSERT_NE(refund, nullptr);
    ASSERT_TRUE(waitFor([refund] { return refund->isVisible(); }));
    ASSERT_TRUE(active(refund));
    // The last paid sale is offered, and its quantities as bought.
    EXPECT_EQ(refund->rrn(), orderId);
    EXPECT_EQ(refund->table()->item(0, 2)->text(), QStringLiteral("1"));
    EXPECT_EQ(refund->returnedField(1)->text(), QStringLiteral("2"));
    EXPECT_EQ(refund->amount(), 200000);
    // Nothing returned: refused in the dialog, which stays.
    refund->returnedField(0)->setValue(0);
    refund->returnedField(1)->setValue(0);
    press(Qt::Key_Return);
    EXPECT_TRUE(refund->isVisible());
    EXPECT_EQ(refund->confirmation(), nullptr);
    EXPECT_EQ(refund->noticeText(), QStringLiteral("Выберите хотя бы одну позицию для возврата"));
    EXPECT_TRUE(window->runner()->isIdle());

    // The mugs come back. Enter shows what goes back; Enter again (a scanner's, or a key
    // pressed once too often) backs out of it, and nothing is sent.
    refund->returnedField(1)->setValue(2);
    EXPECT_EQ(refund->amount(), 50000);
    refund->rrnField()->setFocus();
    press(Qt::Key_Return);
    tillgui::ConfirmDialog *confirmation = refund->confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(waitFor([confirmation] { return confirmation->isVisible(); }));
    ASSERT_TRUE(active(confirmation));
    EXPECT_TRUE(fits(confirmation, tillgui::MainWindow::MinimumSize));
    EXPECT_EQ(confirmation->summaryText(),
              QStringLiteral("Вернуть покупателю 500.00 руб. по заказу %1\n"
                             "Кружка  \u00d7 2   500.00 руб.")
                  .arg(orderId));
    EXPECT_TRUE(confirmation->warningText().isEmpty());
    EXPECT_FALSE(confirmation->confirmButton()->hasFocus());
    press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([refund] { return refund->confirmation() == nullptr; }));
    EXPECT_TRUE(refund->isVisible());
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_TRUE(window->runner()->isIdle());
    // Space presses what has the focus: Back, never the confirming button.
    ASSERT_TRUE(active(refund));
    press(Qt::Key_Return);
    confirmation = refund->confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(active(confirmation));
    press(Qt::Key_Space);
    EXPECT_TRUE(waitFor([refund] { return refund->confirmation() == nullptr; }));
    EXPECT_TRUE(window->runner()->isIdle());
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("refund")).toArray().size(), 0);

    // The confirming key sends it.
    ASSERT_TRUE(active(refund));
    press(Qt::Key_Return);
    confirmation = refund->confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(active(confirmation));
    press(tillgui::ConfirmDialog::ConfirmKey);
    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    EXPECT_EQ(dialog()->progressPanel()->titleText(), QStringLiteral("Возврат 500.00 руб."));
    // What the refund waits for, and how long at most.
    EXPECT_EQ(dialog()->progressPanel()->noteText(),
              QStringLiteral("Ожидание ответа сервиса; каждый запрос может занять до 1 с"));
    EXPECT_EQ(dialog()->progressPanel()->orderText(), QStringLiteral("Заказ ") + orderId);
    ASSERT_TRUE(answered());
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(window->lastAnswer().getMessage().ru());
    EXPECT_EQ(dialog()->answerPanel()->statusText(),
              QStringLiteral("Возврат 500.00 руб. выполнен"));
    EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Done);
    EXPECT_EQ(window->statusText(),
              QStringLiteral("Возврат выполнен, сумма 500.00 руб., заказ ") + orderId);
    EXPECT_EQ(sandbox->order(orderId).value(QStringLiteral("refund")).toArray().size(), 1);
}

// The refund dialog on the till's screen: every column in sight, a whole order id in its field.
TEST_F(TillGuiTest, RefundDialogShowsEveryColumnOnTheTillScreen)
{
    EXPECT_TRUE(fits(window.get(), ScreenSize));
    window->askRefund();
    tillgui::RefundDialog *refund = window->refundDialog();
    ASSERT_NE(refund, nullptr);
    ASSERT_TRUE(waitFor([refund] { return refund->isVisible(); }));
    EXPECT_TRUE(fits(refund, ScreenSize));
    EXPECT_TRUE(fits(refund, tillgui::MainWindow::MinimumSize));
    QTableWidget *table = refund->table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
    for (int column = 0; column < table->columnCount(); ++column) {
        EXPECT_LE(table->columnViewportPosition(column) + table->columnWidth(column),
                  table->viewport()->width())
            << column;
        // Only the name may be elided; the numbers and the quantities to return are whole.
        if (column == 1)
            continue;
        EXPECT_GE(table->columnWidth(column), table->horizontalHeader()->sectionSizeHint(column))
            << column;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (QWidget *cell = table->cellWidget(row, column)) {
                EXPECT_GE(cell->width(), cell->sizeHint().width()) << row << "," << column;
            } else {
                EXPECT_LT(table->fontMetrics().horizontalAdvance(table->item(row, column)->text()),
                          table->columnWidth(column))
                    << row << "," << column;
            }
        }
    }
    EXPECT_TRUE(showsWholeId(refund->rrnField()));
    refund->reject();

    // At its smallest the window still shows its buttons whole.
    window->resize(tillgui::MainWindow::MinimumSize);
    ASSERT_TRUE(waitFor([this] { return window->size() == tillgui::MainWindow::MinimumSize; }));
    for (QPushButton *button : {window->saleButton(), window->refundButton(),
                                window->cancelButton(), window->queueButton()})
        EXPECT_GE(button->width(), button->sizeHint().width()) << qPrintable(button->text());
}

// A cancellation by reference while the service does not answer: queued, said in amber, and
// sent from the queue view once the service is back.
TEST_F(TillGuiTest, QueuedCancellationIsPendingUntilTheQueueIsReplayed)
{
    const QString orderId = paidSale();
    ASSERT_FALSE(orderId.isEmpty());
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);

    press(Qt::Key_F4);
    tillgui::CancelDialog *cancel = window->cancelDialog();
    ASSERT_NE(cancel, nullptr);
    ASSERT_TRUE(waitFor([cancel] { return cancel->isVisible(); }));
    ASSERT_TRUE(active(cancel));
    EXPECT_TRUE(fits(cancel, tillgui::MainWindow::MinimumSize));
    // The last paid sale is offered.
    EXPECT_EQ(cancel->rrn(), orderId);
    EXPECT_EQ(cancel->amountField()->text(), QStringLiteral("2000.00"));
    EXPECT_EQ(QApplication::focusWidget(), cancel->rrnField());
    // Qt's own buttons are not left in English beside ours.
    for (QAbstractButton *button : cancel->findChildren<QAbstractButton *>())
        EXPECT_NE(button->text(), QStringLiteral("Cancel"));
    cancel->amountField()->setText(QStringLiteral("2500"));
    press(Qt::Key_Return);
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_EQ(cancel->confirmation(), nullptr);
    EXPECT_EQ(cancel->noticeText(),
              QStringLiteral("Сумма 2500.00 руб. больше суммы чека 2000.00 руб."));
    cancel->amountField()->setText(QStringLiteral("2000"));
    // A buyer's code scanned into the reference is not an order.
    cancel->rrnField()->setText(QString::fromLatin1(sandbox::Sandbox::CodeApprove));
    press(Qt::Key_Return);
    EXPECT_EQ(cancel->confirmation(), nullptr);
    EXPECT_EQ(
        cancel->noticeText(),
        QStringLiteral("VELMOR-APPROVE — не номер заказа: введите или вставьте заказ продажи"));
    cancel->rrnField()->setText(orderId);

    // Enter shows what goes back; the next Enter backs out of it and cancels nothing.
    press(Qt::Key_Return);
    tillgui::ConfirmDialog *confirmation = cancel->confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(active(confirmation));
    EXPECT_EQ(
        confirmation->summaryText(),
        QStringLiteral("Отменить оплату 2000.00 руб. по заказу %1: деньги вернутся покупателю")
            .arg(orderId));
    EXPECT_TRUE(confirmation->warningText().isEmpty());
    press(Qt::Key_Return);
    EXPECT_TRUE(waitFor([cancel] { return cancel->confirmation() == nullptr; }));
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(window->runner()->isIdle());
    EXPECT_FALSE(dialog()->isVisible());
    ASSERT_TRUE(active(cancel));
    press(Qt::Key_Return);
    confirmation = cancel->confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(active(confirmation));
    press(tillgui::ConfirmDialog::ConfirmKey);

    ASSERT_TRUE(waitFor([this] { return dialog()->isVisible(); }));
    ASSERT_TRUE(active(dialog()));
    EXPECT_EQ(dialog()->progressPanel()->titleText(), QStringLiteral("Отмена оплаты 2000.00 руб."));
    EXPECT_EQ(dialog()->progressPanel()->orderText(), QStringLiteral("Заказ ") + orderId);
    ASSERT_TRUE(answered());
    EXPECT_EQ(window->lastAnswer().getMessage().key(), QStringLiteral("velmorCancelQueued"));
    EXPECT_EQ(dialog()->answerPanel()->statusText(),
              QStringLiteral("Отмена 2000.00 руб. будет выполнена после восстановления связи"));
    EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Pending);
    EXPECT_EQ(dialog()->answerPanel()->adviceText(),
              QStringLiteral("Деньги вернутся покупателю после отправки очереди (F5); не "
                             "повторяйте отмену"));
    // Why it was queued beneath, not the plug-in's sentence that repeats the headline.
    EXPECT_FALSE(dialog()->answerPanel()->messageText().isEmpty());
    EXPECT_FALSE(dialog()->answerPanel()->messageText().contains(
        QStringLiteral("после восстановления связи")))
        << qPrintable(dialog()->answerPanel()->messageText());
    EXPECT_EQ(window->statusText(),
              QStringLiteral("Отмена в очереди, сумма 2000.00 руб., заказ ") + orderId);
    QTest::qWait(ReadingMs);
    press(Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return !dialog()->isVisible() && window->runner()->isIdle(); }));
    EXPECT_TRUE(window->queueButton()->text().endsWith(QStringLiteral("Очередь (1)")))
        << qPrintable(window->queueButton()->text());
    // The receipt stays paid until the cancellation is done.
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("0.00"));

    // The same cancellation again: its confirmation says that one already waits.
    ASSERT_TRUE(active(window.get()));
    press(Qt::Key_F4);
    cancel = window->cancelDialog();
    ASSERT_NE(cancel, nullptr);
    ASSERT_TRUE(active(cancel));
    press(Qt::Key_Return);
    confirmation = cancel->confirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->warningText(),
              QStringLiteral("Отмена этого заказа уже ждёт в очереди"));
    ASSERT_TRUE(active(confirmation));
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([cancel] { return cancel->confirmation() == nullptr; }));
    ASSERT_TRUE(active(cancel));
    press(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return window->cancelDialog() == nullptr; }));

    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::None);
    ASSERT_TRUE(active(window.get()));
    press(Qt::Key_F5);
    tillgui::QueueDialog *queue = window->queueDialog();
    ASSERT_TRUE(waitFor([queue] { return queue->isVisible(); }));
    EXPECT_TRUE(fits(queue, tillgui::MainWindow::MinimumSize));
    ASSERT_EQ(queue->rowCount(), 1);
    EXPECT_EQ(queue->table()->horizontalScrollBar()->maximum(), 0);
    // The whole order id.
    EXPECT_LT(queue->table()->fontMetrics().horizontalAdvance(orderId),
              queue->table()->columnWidth(2));
    // What the message asks, in words.
    EXPECT_EQ(queue->table()->item(0, 0)->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(queue->table()->item(0, 1)->text(), QStringLiteral("2000.00 руб."));
    ASSERT_TRUE(queue->replayButton()->isEnabled());
    // Enter replays.
    ASSERT_TRUE(active(queue));
    press(Qt::Key_Return);
    ASSERT_TRUE(
        waitFor([this, queue] { return window->runner()->isIdle() && queue->rowCount() == 0; }));
    // Each message's outcome, with the order's state as the service now gives it.
    const QStringList lines = queue->statusText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << qPrintable(queue->statusText());
    EXPECT_EQ(lines.at(0), QStringLiteral("Очередь: завершено сообщений: 1 из 1"));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("Отмена, заказ %1: ушло из очереди; заказ "
                                                      "сейчас: ")
                                           .arg(orderId)))
        << qPrintable(lines.at(1));
    EXPECT_EQ(window->statusText(), lines.at(0));
    // The order shows the payment gone back: the receipt is to pay again.
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("2000.00"));
    EXPECT_FALSE(queue->replayButton()->isEnabled());
    EXPECT_TRUE(window->queueButton()->text().endsWith(QStringLiteral("Очередь (0)")));
    // Opened again, it shows the queue as it is, not the last replay's findings.
    ASSERT_TRUE(active(queue));
    press(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([queue] { return !queue->isVisible(); }));
    ASSERT_TRUE(active(window.get()));
    press(Qt::Key_F5);
    ASSERT_TRUE(waitFor([queue] { return queue->isVisible(); }));
    EXPECT_EQ(queue->rowCount(), 0);
    EXPECT_TRUE(queue->statusText().isEmpty()) << qPrintable(queue->statusText());
    EXPECT_NE(sandbox->order(orderId).value(QStringLiteral("status")).toString(),
              QStringLiteral("completed"));
}

TEST_F(TillGuiTest, CancelDuringTheWaitEndsTheSaleAfterTheNextPoll)
{
    scan(sandbox::Sandbox::CodeHold);
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
    // Who cancelled, how much, and the buyer's money untouched.
    EXPECT_EQ(dialog()->answerPanel()->statusText(),
              QStringLiteral("Продажа 2000.00 руб. отменена кассиром"));
    EXPECT_EQ(dialog()->answerPanel()->adviceText(),
              QStringLiteral("Деньги покупателя не списаны"));
    EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Retry);
    EXPECT_TRUE(waitFor([this] { return window->runner()->isIdle(); }));
    // Not paid: the whole receipt is still to pay.
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("2000.00"));
}

// Through the loaded plug-in: while the lender scores the order, the screen says so beside the
// plug-in's "approved" and warns the cashier; once a status request finds the order approved,
// it says that and nothing else.
TEST_F(TillGuiTest, WaitShowsTheStateThePollsReport)
{
    scan(sandbox::Sandbox::CodeHold);
    const tillgui::ProgressPanel *panel = dialog()->progressPanel();
    const QString approvedText = QStringLiteral("Заявка одобрена, ожидание первого платежа...");
    const QString caution =
        QStringLiteral("\nНе говорите покупателю, что заявка одобрена: кредитор ещё не решил");
    const QString approvedState =
        QStringLiteral("Состояние заказа: заявка одобрена, ожидается первый платёж");
    // Each state line shown, with the plug-in's text beside it then.
    QStringList seen;
    ASSERT_TRUE(waitFor([&] {
        const QString line = panel->text() + QStringLiteral(" | ") + panel->stateText();
        if (!panel->stateText().isEmpty() && (seen.isEmpty() || seen.last() != line))
            seen.append(line);
        return panel->stateText() == approvedState;
    })) << qPrintable(seen.join(QLatin1Char('\n')));
    EXPECT_THAT(seen, testing::Contains(approvedText +
                                        QStringLiteral(" | Состояние заказа: заявка на "
                                                       "рассмотрении, решения ещё нет") +
                                        caution))
        << qPrintable(seen.join(QLatin1Char('\n')));
    EXPECT_EQ(seen.last(), approvedText + QStringLiteral(" | ") + approvedState);
    // Every state before approved warns the cashier (the state not yet received, on a loaded
    // machine, in words of its own), and nothing after the approval takes it back.
    EXPECT_EQ(seen.filter(QStringLiteral("говорите покупателю, что заявка одобрена")).size(),
              seen.size() - 1)
        << qPrintable(seen.join(QLatin1Char('\n')));

    QTest::mouseClick(dialog()->progressPanel()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(answered());
    EXPECT_EQ(window->lastAnswer().getStatus(), PaymentProcessingAnswer::OrderCanceled);
}

// Once the receipt is paid nothing is left to pay: neither the amount's Enter nor F2 opens a
// second payment, and the screen says why, in either language.
TEST_F(TillGuiTest, PaidReceiptTakesNoSecondPayment)
{
    const QString orderId = paidSale();
    ASSERT_FALSE(orderId.isEmpty());
    EXPECT_EQ(window->leftToPay(), 0);
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("0.00"));
    EXPECT_EQ(QApplication::focusWidget(), window->amountField());
    // The cashier's Enter that closed the answer, and one more.
    press(Qt::Key_Return);
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(window->noticeText(), QStringLiteral("Чек оплачен: к оплате ничего не осталось"));
    window->amountField()->setText(QStringLiteral("2000.00"));
    press(Qt::Key_F2);
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(window->noticeText(), QStringLiteral("Чек оплачен: к оплате ничего не осталось"));

    tillgui::guitext::setLanguage(QStringLiteral("en"));
    const bool started = window->startSale();
    const QString english = window->noticeText();
    tillgui::guitext::setLanguage(QStringLiteral("ru"));
    EXPECT_FALSE(started);
    EXPECT_EQ(english, QStringLiteral("The receipt is paid: nothing is left to pay"));
    EXPECT_FALSE(dialog()->isVisible());

    // A cancellation of that sale, confirmed, gives the receipt back to pay.
    press(Qt::Key_F4);
    tillgui::CancelDialog *cancel = window->cancelDialog();
    ASSERT_NE(cancel, nullptr);
    ASSERT_TRUE(active(cancel));
    press(Qt::Key_Return);
    ASSERT_NE(cancel->confirmation(), nullptr);
    ASSERT_TRUE(active(cancel->confirmation()));
    press(tillgui::ConfirmDialog::ConfirmKey);
    ASSERT_TRUE(answered());
    EXPECT_EQ(dialog()->answerPanel()->statusText(),
              QStringLiteral("Оплата 2000.00 руб. отменена"));
    EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Done);
    EXPECT_EQ(window->leftToPay(), 200000);
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("2000.00"));
}

// Offline, a refund is queued; the same refund again is warned of before it is queued twice,
// and the replay says what became of each message.
TEST_F(TillGuiTest, RepeatedRefundIsWarnedOfAndTheReplaySaysWhatHappened)
{
    const QString orderId = paidSale();
    ASSERT_FALSE(orderId.isEmpty());
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::Drop);
    const auto refundMugs = [this](const char *warning) {
        press(Qt::Key_F3);
        tillgui::RefundDialog *refund = window->refundDialog();
        ASSERT_NE(refund, nullptr);
        ASSERT_TRUE(active(refund));
        refund->returnedField(0)->setValue(0);
        refund->rrnField()->setFocus();
        press(Qt::Key_Return);
        tillgui::ConfirmDialog *confirmation = refund->confirmation();
        ASSERT_NE(confirmation, nullptr);
        EXPECT_EQ(confirmation->warningText(), QString::fromUtf8(warning));
        ASSERT_TRUE(active(confirmation));
        press(tillgui::ConfirmDialog::ConfirmKey);
        ASSERT_TRUE(answered());
        EXPECT_EQ(window->lastAnswer().getMessage().key(), QStringLiteral("velmorCancelQueued"));
        EXPECT_EQ(dialog()->answerPanel()->statusText(),
                  QStringLiteral("Возврат 500.00 руб. будет выполнен после восстановления связи"));
        EXPECT_EQ(dialog()->answerPanel()->tone(), tillgui::Outcome::Tone::Pending);
        // Nothing under the refund's headline calls it a cancellation.
        EXPECT_FALSE(dialog()->answerPanel()->messageText().contains(QStringLiteral("Отмена")))
            << qPrintable(dialog()->answerPanel()->messageText());
        QTest::qWait(ReadingMs);
        press(Qt::Key_Return);
        ASSERT_TRUE(
            waitFor([this] { return !dialog()->isVisible() && window->runner()->isIdle(); }));
        ASSERT_TRUE(active(window.get()));
    };
    refundMugs("");
    refundMugs("Возврат 500.00 руб. по этому заказу уже ждёт в очереди: подтверждение поставит "
               "тот же возврат второй раз");

    // The replay while the service still does not answer says so.
    press(Qt::Key_F5);
    tillgui::QueueDialog *queue = window->queueDialog();
    ASSERT_TRUE(active(queue));
    ASSERT_EQ(queue->rowCount(), 2);
    EXPECT_EQ(queue->table()->item(0, 0)->text(), QStringLiteral("Возврат"));
    press(Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return window->runner()->isIdle(); }, 30000));
    EXPECT_EQ(queue->rowCount(), 2);
    EXPECT_EQ(window->statusText(),
              QStringLiteral("Очередь: ничего не отправлено, сообщений в очереди: 2, до ответа "
                             "сервиса"));
    EXPECT_TRUE(queue->statusText().contains(
        QStringLiteral("Возврат, заказ %1: не отправлено, осталось в очереди").arg(orderId)))
        << qPrintable(queue->statusText());

    // Back online: both leave the queue, and each line shows what the order now holds.
    sandbox->setFault(sandbox::Sandbox::Endpoint::Refund, sandbox::Sandbox::Fault::None);
    ASSERT_TRUE(waitFor([queue] { return queue->replayButton()->isEnabled(); }));
    QTest::mouseClick(queue->replayButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return window->runner()->isIdle(); }, 30000));
    const QStringList lines = queue->statusText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << qPrintable(queue->statusText());
    EXPECT_EQ(lines.at(0), QStringLiteral("Очередь: завершено сообщений: 2 из 2"));
    for (int line = 1; line < 3; ++line)
        EXPECT_TRUE(lines.at(line).startsWith(
            QStringLiteral("Возврат, заказ %1: ушло из очереди; заказ сейчас: ").arg(orderId)))
            << qPrintable(lines.at(line));
    // The service refunded the mugs once: the order says so, whatever the replay counted.
    EXPECT_TRUE(lines.at(2).endsWith(QStringLiteral("возвращено 500.00 руб.")))
        << qPrintable(lines.at(2));
    // A refund of part of it leaves the receipt paid.
    EXPECT_EQ(window->amountField()->text(), QStringLiteral("0.00"));
}

TEST_F(TillGuiTest, EventLoopRunsWhileTheSaleWaits)
{
    scan(sandbox::Sandbox::CodeHold);
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
    // Nor a replay of the queue.
    EXPECT_FALSE(window->queueButton()->isEnabled());
}

// How the screen is asked to end during a sale: the cashier closes the window, a service
// manager, a closed session or Ctrl-C sends a stop signal, or the display goes away (the toolkit
// then ends the program from its event loop, and main() finishes the window before exit).
enum class EndOfScreen { Closed, Signalled, DisplayLost };

struct EndingCase
{
    const char *name;
    EndOfScreen how;
    int signal;
};

void PrintTo(const EndingCase &ending, std::ostream *out)
{
    *out << ending.name;
}

class TillGuiEndingTest : public TillGuiTest, public testing::WithParamInterface<EndingCase>
{
};

TEST_P(TillGuiEndingTest, EndingDuringTheSaleKeepsTheQueuedCancellation)
{
    sandbox->setFault(sandbox::Sandbox::Endpoint::Cancel, sandbox::Sandbox::Fault::Drop);
    scan(sandbox::Sandbox::CodeHold);
    ASSERT_TRUE(waiting());
    switch (GetParam().how) {
    case EndOfScreen::Closed:
        // Refused at first: Cancel is pressed and the window closes once the sale has ended.
        EXPECT_FALSE(window->close());
        break;
    case EndOfScreen::Signalled:
        // Noted by the handler; the window hears of it from its loop, and the test goes on
        // living rather than ending with the signal.
        ASSERT_EQ(::raise(GetParam().signal), 0);
        break;
    case EndOfScreen::DisplayLost:
        // No event is delivered any more: the call itself waits for the sale's end.
        window->finishBeforeExit();
        EXPECT_FALSE(dialog()->progressPanel()->cancelButton()->isEnabled());
        // What remains to be seen of the sale comes through the loop of this test.
        ASSERT_TRUE(answered());
        window->close();
        break;
    }
    if (GetParam().how == EndOfScreen::Closed) {
        EXPECT_TRUE(window->isVisible());
    }
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));
    EXPECT_TRUE(window->runner()->isIdle());
    EXPECT_NE(window->lastAnswer().getStatus(), PaymentProcessingAnswer::Success);
    const QString orderId = window->lastAnswer().getRRN();
    ASSERT_FALSE(orderId.isEmpty());

    window.reset();
    host.reset();
    DBQueueBroker queue(queuePath(), DBQueueBroker::OpenMode::ReadOnly);
    const QList<QueuedMessage> messages = queue.pendingMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first().message.value(QStringLiteral("orderId")).toString(), orderId);
}

INSTANTIATE_TEST_SUITE_P(Endings, TillGuiEndingTest,
                         testing::Values(EndingCase{"WindowClosed", EndOfScreen::Closed, 0},
                                         EndingCase{"Terminate", EndOfScreen::Signalled, SIGTERM},
                                         EndingCase{"HangUp", EndOfScreen::Signalled, SIGHUP},
                                         EndingCase{"Interrupt", EndOfScreen::Signalled, SIGINT},
                                         EndingCase{"DisplayLost", EndOfScreen::DisplayLost, 0}),
                         [](const testing::TestParamInfo<EndingCase> &caseInfo) {
                             return caseInfo.param.name;
                         });

struct OutcomeCase
{
    const char *name;
    tillgui::Outcome::Operation operation;
    PaymentProcessingAnswer::Status status;
    tr::Tr message;
    bool cashierCancelled;
    const char *headline;
    const char *english;
    tillgui::Outcome::Tone tone;
};

void PrintTo(const OutcomeCase &c, std::ostream *os)
{
    *os << c.name;
}

class TillGuiOutcomeTest : public testing::TestWithParam<OutcomeCase>
{
protected:
    void TearDown() override { tillgui::guitext::setLanguage(QStringLiteral("ru")); }
};

// What the answer page says of each operation's outcome, in its colour, in both languages,
// with a line on the buyer's money and what to do next.
TEST_P(TillGuiOutcomeTest, SaysWhatHappenedToWhat)
{
    const OutcomeCase &c = GetParam();
    PaymentProcessingAnswer answer;
    answer.setStatus(c.status);
    answer.setMessage(c.message);
    const bool knownOrder = c.operation != tillgui::Outcome::Operation::Sale;
    if (!knownOrder)
        answer.setRRN(SampleOrderId);
    QString advice[2];
    const char *const languages[] = {"ru", "en"};
    for (int language = 0; language < 2; ++language) {
        SCOPED_TRACE(languages[language]);
        tillgui::guitext::setLanguage(QString::fromLatin1(languages[language]));
        const tillgui::Outcome outcome(c.operation, 50000, knownOrder ? SampleOrderId : QString(),
                                       answer, c.cashierCancelled);
        tillgui::AnswerPanel panel;
        panel.showOutcome(outcome);
        EXPECT_EQ(panel.statusText(), QString::fromUtf8(language == 0 ? c.headline : c.english));
        EXPECT_EQ(panel.tone(), c.tone);
        // A queued operation's reason alone: the headline says what will be done.
        EXPECT_EQ(panel.messageText(), c.message.key() == QLatin1String("velmorCancelQueued")
                                           ? c.message.args().first().ru()
                                           : c.message.ru());
        EXPECT_FALSE(panel.adviceText().isEmpty());
        advice[language] = panel.adviceText();
        EXPECT_TRUE(panel.rrnText().contains(SampleOrderId)) << qPrintable(panel.rrnText());
        EXPECT_TRUE(outcome.statusLine().contains(QStringLiteral("500.00")));
        EXPECT_TRUE(outcome.statusLine().endsWith(SampleOrderId));
    }
    // Both languages have their own words for it.
    EXPECT_NE(advice[0], advice[1]);
}

const tr::Tr NoAnswer(QStringLiteral("restClientConnectionRefused"),
                      QStringLiteral("Соединение отклонено"));
const tr::Tr Exceeding(QStringLiteral("velmorServiceError"),
                       QStringLiteral("Сумма возврата больше суммы заказа"));

using Operation = tillgui::Outcome::Operation;
using Tone = tillgui::Outcome::Tone;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TillGuiOutcomeTest,
    testing::Values(
        OutcomeCase{"SalePaid",
                    Operation::Sale,
                    PaymentProcessingAnswer::Success,
                    {},
                    false,
                    "Оплачено 500.00 руб.",
                    "Paid 500.00 roubles",
                    Tone::Done},
        // The lender refused the buyer; red.
        OutcomeCase{"SaleRejected", Operation::Sale, PaymentProcessingAnswer::Failure,
                    velmor::messages::rejected(), false, "Отклонено", "Rejected", Tone::Failed},
        // Nobody refused anybody: the service was not reached. Not the rejection's words or
        // colour.
        OutcomeCase{"SaleServiceUnreachable", Operation::Sale, PaymentProcessingAnswer::Failure,
                    NoAnswer, false, "Сервис не ответил", "No answer from the service",
                    Tone::Retry},
        OutcomeCase{"SaleNoUsefulAnswer", Operation::Sale, PaymentProcessingAnswer::Failure,
                    velmor::messages::noUsefulAnswer(), false, "Сервис не ответил",
                    "No answer from the service", Tone::Retry},
        OutcomeCase{"SaleNeverArrived", Operation::Sale, PaymentProcessingAnswer::Failure,
                    velmor::messages::orderNeverArrived(), false, "Оплата не выполнена",
                    "Payment not made", Tone::Retry},
        OutcomeCase{"SaleCancelledByTheCashier",
                    Operation::Sale,
                    PaymentProcessingAnswer::OrderCanceled,
                    {},
                    true,
                    "Продажа 500.00 руб. отменена кассиром",
                    "Sale of 500.00 roubles cancelled by the cashier",
                    Tone::Retry},
        OutcomeCase{"SaleCancelledByTheService",
                    Operation::Sale,
                    PaymentProcessingAnswer::OrderCanceled,
                    {},
                    false,
                    "Продажа 500.00 руб. отменена сервисом",
                    "Sale of 500.00 roubles cancelled by the service",
                    Tone::Failed},
        // The sale's cancellation queued: not paid, and it says so.
        OutcomeCase{"SaleCancellationQueued", Operation::Sale,
                    PaymentProcessingAnswer::OrderCanceled,
                    velmor::messages::cancelQueued(NoAnswer), true,
                    "Не оплачено: отмена заказа будет отправлена после восстановления связи",
                    "Not paid: the order's cancellation will be sent once the connection is back",
                    Tone::Pending},
        OutcomeCase{"RefundDone",
                    Operation::Refund,
                    PaymentProcessingAnswer::Success,
                    {},
                    false,
                    "Возврат 500.00 руб. выполнен",
                    "Refund of 500.00 roubles done",
                    Tone::Done},
        OutcomeCase{"RefundQueued", Operation::Refund, PaymentProcessingAnswer::Success,
                    velmor::messages::cancelQueued(NoAnswer), false,
                    "Возврат 500.00 руб. будет выполнен после восстановления связи",
                    "Refund of 500.00 roubles will be carried out once the connection is back",
                    Tone::Pending},
        OutcomeCase{"RefundUnknown", Operation::Refund, PaymentProcessingAnswer::Failure,
                    velmor::messages::outcomeUnknown(SampleOrderId), false, "Результат неизвестен",
                    "Outcome unknown", Tone::Pending},
        OutcomeCase{"RefundUnreachable", Operation::Refund, PaymentProcessingAnswer::Failure,
                    NoAnswer, false, "Возврат не выполнен", "Refund not made", Tone::Retry},
        OutcomeCase{"RefundRefused", Operation::Refund, PaymentProcessingAnswer::Failure, Exceeding,
                    false, "Возврат не выполнен", "Refund not made", Tone::Failed},
        OutcomeCase{"CancellationDone",
                    Operation::Cancellation,
                    PaymentProcessingAnswer::Success,
                    {},
                    false,
                    "Оплата 500.00 руб. отменена",
                    "Payment of 500.00 roubles cancelled",
                    Tone::Done},
        OutcomeCase{"CancellationQueued", Operation::Cancellation,
                    PaymentProcessingAnswer::SuccessWithMessage,
                    velmor::messages::cancelQueued(NoAnswer), false,
                    "Отмена 500.00 руб. будет выполнена после восстановления связи",
                    "Cancellation of 500.00 roubles will be carried out once the connection is "
                    "back",
                    Tone::Pending},
        OutcomeCase{"CancellationUnknown", Operation::Cancellation,
                    PaymentProcessingAnswer::Failure,
                    velmor::messages::outcomeUnknown(SampleOrderId), false, "Результат неизвестен",
                    "Outcome unknown", Tone::Pending},
        OutcomeCase{"CancellationRefused", Operation::Cancellation,
                    PaymentProcessingAnswer::Failure, Exceeding, false, "Отмена не выполнена",
                    "Cancellation not made", Tone::Failed}),
    [](const testing::TestParamInfo<OutcomeCase> &param) { return std::string(param.param.name); });

struct ProgressCase
{
    const char *name;
    std::vector<tr::Tr> texts;
    // The line beside the plug-in's text, in Russian and in English; "" for none.
    const char *state;
    const char *english;
};

// "Approved" right after the order is created is the service's acceptance, not the lender's
// decision; beside it the panel shows the state the plug-in's status requests report, and warns
// until one says approved.
TEST(TillGuiProgressTest, ApprovalIsToldFromAcceptance)
{
    using namespace velmor::messages;
    const tr::Tr created = orderState(velmor::Created);
    const tr::Tr scoring = orderState(velmor::Scoring);
    const tr::Tr approvedState = orderState(velmor::Approved);
    // clang-format off
    const ProgressCase cases[] = {
        {"creating", {creatingOrder()}, "", ""},
        {"accepted", {creatingOrder(), approved()},
         "Состояние заказа ещё не получено; не говорите покупателю, что заявка одобрена",
         "Order state: not reported yet; do not tell the buyer it is approved yet"},
        {"created", {creatingOrder(), approved(), created},
         "Состояние заказа: заказ создан, заявка ещё не рассмотрена\nНе говорите покупателю, что заявка одобрена: кредитор ещё не решил",
         "Order state: order created, the application not yet considered\nDo not tell the buyer it is approved yet: the lender has not decided"},
        {"scoring", {creatingOrder(), approved(), created, scoring},
         "Состояние заказа: заявка на рассмотрении, решения ещё нет\nНе говорите покупателю, что заявка одобрена: кредитор ещё не решил",
         "Order state: the application is being considered, no decision yet\nDo not tell the buyer it is approved yet: the lender has not decided"},
        {"pollApproved", {creatingOrder(), approved(), scoring, approvedState, approved()},
         "Состояние заказа: заявка одобрена, ожидается первый платёж",
         "Order state: application approved, waiting for the first payment"},
        // The creation's answer was lost: the states come from status requests alone.
        {"lostCreate", {creatingOrder(), readingStatus(), scoring},
         "Состояние заказа: заявка на рассмотрении, решения ещё нет",
         "Order state: the application is being considered, no decision yet"},
    };
    // clang-format on
    const char *const languages[] = {"ru", "en"};
    for (const char *language : languages) {
        const Result<> loaded = tillgui::guitext::loadCatalogue(QString::fromLatin1(language),
                                                                QStringLiteral(VELMOR_PLUGIN_PATH));
        ASSERT_TRUE(loaded.ok()) << qPrintable(loaded.error());
        tillgui::guitext::setLanguage(QString::fromLatin1(language));
        for (const ProgressCase &c : cases) {
            SCOPED_TRACE(std::string(language) + " " + c.name);
            tillgui::ProgressPanel panel;
            tr::Tr shown;
            for (const tr::Tr &text : c.texts) {
                panel.setProgressText(text);
                if (text.key() != QLatin1String("velmorProgressOrderState"))
                    shown = text;
            }
            // The texts arrive as queued calls, as from the plug-in's thread.
            QCoreApplication::sendPostedEvents(&panel);
            // The state goes beside the plug-in's text, not in its place.
            EXPECT_EQ(panel.text(), tillgui::guitext::of(shown));
            EXPECT_EQ(panel.stateText(),
                      QString::fromUtf8(language == languages[0] ? c.state : c.english));
            panel.reset();
            EXPECT_TRUE(panel.stateText().isEmpty());
        }
    }
    EXPECT_TRUE(
        tillgui::guitext::loadCatalogue(QStringLiteral("ru"), QStringLiteral(VELMOR_PLUGIN_PATH))
            .ok());
    tillgui::guitext::setLanguage(QStringLiteral("ru"));
}

// Qt's own texts (standard buttons) follow the screen's language.
TEST(TillGuiQtTextsTest, StandardButtonsFollowTheLanguage)
{
    const Result<> russian = tillgui::guitext::loadQtTexts(QStringLiteral("ru"));
    ASSERT_TRUE(russian.ok()) << qPrintable(russian.error());
    {
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Close);
        EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        EXPECT_EQ(box.button(QDialogButtonBox::Close)->text(), QStringLiteral("Закрыть"));
    }
    ASSERT_TRUE(tillgui::guitext::loadQtTexts(QStringLiteral("en")).ok());
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
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
