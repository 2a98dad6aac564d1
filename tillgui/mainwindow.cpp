#include "mainwindow.h"

#include "amountfield.h"
#include "canceldialog.h"
#include "functionkeyrow.h"
#include "guitext.h"
#include "operationrunner.h"
#include "progresspanel.h"
#include "queuedialog.h"
#include "receipttable.h"
#include "reversaldialogs.h"
#include "roubleamount.h"
#include "saledialog.h"
#include "scanpanel.h"
#include "servicemenu.h"
#include "stopsignalwatcher.h"

#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <session.h>
#include <singleton.h>
#include <till/cashier.h>
#include <till/hostenvironment.h>
#include <till/standardstreams.h>
#include <velmor/clientsettings.h>
#include <velmor/rounding.h>

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tillgui {

const QSize MainWindow::MinimumSize(800, 600);

MainWindow::MainWindow(till::HostEnvironment &host, const QSharedPointer<Document> &receipt,
                       QWidget *parent)
    : QMainWindow(parent), m_host(host), m_processing(host.processing()), m_queue(host.queue()),
      m_receipt(receipt), m_runner(std::make_unique<OperationRunner>(host.processing())),
      m_dialog(new SaleDialog(this)), m_items(new ReceiptTable), m_totals(new QLabel),
      m_amount(new AmountField), m_notice(new QLabel), m_statusLine(new QLabel),
      m_keys(new FunctionKeyRow)
{
    setWindowTitle(guitext::text("Till"));
    setMinimumSize(MinimumSize);
    resize(1024, 768);
    m_queueDialog = new QueueDialog(m_queue, m_runner.get(), m_processing, this);
    m_serviceMenu = new ServiceMenu(this, m_processing, m_runner.get());
    m_reversals = new ReversalDialogs(this, m_queue);

    m_notice->setStyleSheet(QStringLiteral("color: #b00020"));
    auto *amountRow = new QHBoxLayout;
    amountRow->addWidget(new QLabel(guitext::text("Amount, roubles:")));
    amountRow->addWidget(m_amount);
    amountRow->addWidget(m_notice, 1);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_items);
    layout->addWidget(m_totals);
    layout->addLayout(amountRow);
    layout->addWidget(m_keys);
    setCentralWidget(central);
    // There from the start, so that the first outcome does not push the buttons up.
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_statusLine, 1);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    setTabOrder(m_amount, saleButton());
    setTabOrder(saleButton(), refundButton());
    setTabOrder(refundButton(), cancelButton());
    setTabOrder(cancelButton(), queueButton());

    connect(m_amount, &AmountField::amountTyped, this, [this] { setNotice(QString()); });
    connect(m_amount, &AmountField::amountEntered, this, &MainWindow::startSale);
    // A code scanned before F2 starts nothing; the cashier is told to press F2 first.
    connect(m_amount, &AmountField::codeEntered, this, [this] {
        setNotice(guitext::text("A code was scanned before the sale: press F2, then scan it"));
    });
    connect(saleButton(), &QPushButton::clicked, this, &MainWindow::startSale);
    connect(refundButton(), &QPushButton::clicked, this, &MainWindow::askRefund);
    connect(cancelButton(), &QPushButton::clicked, this, &MainWindow::askCancel);
    connect(queueButton(), &QPushButton::clicked, this, &MainWindow::showQueue);
    connect(m_dialog->scanPanel(), &ScanPanel::codeEntered, this, &MainWindow::sell);
    connect(m_dialog, &SaleDialog::cancelPressed, this, &MainWindow::pressCancel);
    connect(m_runner.get(), &OperationRunner::started, this, &MainWindow::updateButtons);
    connect(m_runner.get(), &OperationRunner::interruptFinished, this,
            &MainWindow::onInterruptFinished);
    connect(m_runner.get(), &OperationRunner::idle, this, &MainWindow::onIdle);
    // Owned by the window: the signals are taken over only while there is a window to close.
    auto *stopSignals = new StopSignalWatcher(this);
    connect(stopSignals, &StopSignalWatcher::stopRequested, this, &MainWindow::onStopSignal);
    connect(m_queueDialog, &QueueDialog::replayed, this,
            [this](const QString &summary, const QVector<QueueDialog::Finding> &findings) {
                updateButtons();
                // The status line follows what the replay found.
                m_statusLine->setText(summary);
                // A sale paid here whose order was cancelled, or refunded in full, is to pay
                // again.
                if (m_payments.takeBackCancelled(findings))
                    showReceipt();
            });
    connect(m_dialog, &QDialog::finished, this, &MainWindow::takeKeysBack);
    connect(m_queueDialog, &QDialog::finished, this, &MainWindow::takeKeysBack);
    connect(m_reversals, &ReversalDialogs::backedOut, this, &MainWindow::takeKeysBack);
    connect(m_reversals, &ReversalDialogs::refundConfirmed, this, &MainWindow::startRefund);
    connect(m_reversals, &ReversalDialogs::cancellationConfirmed, this, &MainWindow::startCancel);

    // The plug-in finds the progress display through the host's session.
    Singleton<Session>::instance->setProgressView(m_dialog->progressPanel());
    m_host.setDocument(m_receipt);
    showReceipt();
    updateButtons();
    m_amount->setFocus();
    m_amount->selectAll();
}

MainWindow::~MainWindow()
{
    // The worker may still report progress into the dialog; it ends before the display goes.
    m_runner.reset();
    if (Singleton<Session>::instance &&
        Singleton<Session>::instance->getProgressView() == m_dialog->progressPanel())
        Singleton<Session>::instance->setProgressView(nullptr);
}

bool MainWindow::startSale()
{
    if (refusedWhileBusy())
        return false;
    const qint64 left = leftToPay();
    if (left == 0) {
        setNotice(guitext::text("The receipt is paid: nothing is left to pay"));
        return false;
    }
    const Result<int> typed = RoubleAmount::parse(m_amount->text());
    if (!typed) {
        setNotice(typed.error());
        return false;
    }
    const int amount = typed.value();
    if (left >= 0 && amount > left) {
        setNotice(guitext::text("The amount %1 is more than the %2 left to pay on the receipt")
                      .arg(guitext::roubles(amount), guitext::roubles(left)));
        return false;
    }
    setNotice(QString());
    m_saleAmount = amount;
    const auto messages = m_processing->getMessageInfo();
    m_dialog->showScan(guitext::of(messages.value(EPaymentProcessingInfo::ScanTitle)),
                       guitext::of(messages.value(EPaymentProcessingInfo::ScanMessage)),
                       m_processing->getDialogImagePath(),
                       Outcome::title(Outcome::Operation::Sale, amount));
    m_dialog->open();
    m_dialog->scanPanel()->codeField()->setFocus();
    return true;
}

void MainWindow::sell(const QString &code)
{
    till::Cashier::SaleOptions options;
    options.amount = m_saleAmount;
    options.code = code;
    BasicPaymentProcessing *processing = m_processing;
    runOperation([processing, options] { return till::Cashier(processing, nullptr).sale(options); },
                 true, {Outcome::Operation::Sale, m_saleAmount, QString()});
}

bool MainWindow::startRefund(const QString &rrn, const QSharedPointer<Document> &refundReceipt,
                             int amount)
{
    if (refusedWhileBusy())
        return false;
    if (amount <= 0) {
        setNotice(guitext::text("The amount must be more than zero"));
        return false;
    }
    // The plug-in reads the returned positions from the session's receipt.
    m_host.setDocument(refundReceipt);
    BasicPaymentProcessing *processing = m_processing;
    const bool started =
        runOperation([processing, rrn,
                      amount] { return till::Cashier(processing, nullptr).refund(rrn, amount); },
                     false, {Outcome::Operation::Refund, amount, rrn});
    if (!started)
        m_host.setDocument(m_receipt);
    return started;
}

bool MainWindow::startCancel(const QString &rrn, int amount)
{
    if (refusedWhileBusy())
        return false;
    if (amount <= 0) {
        setNotice(guitext::text("The amount must be more than zero"));
        return false;
    }
    m_host.setDocument(m_receipt);
    BasicPaymentProcessing *processing = m_processing;
    return runOperation([processing, rrn,
                         amount] { return till::Cashier(processing, nullptr).cancel(rrn, amount); },
                        false, {Outcome::Operation::Cancellation, amount, rrn});
}

void MainWindow::pressCancel()
{
    if (m_dialog->page() != SaleDialog::Page::Progress || !m_runner->interrupt())
        return;
    m_cashierCancelled = true;
    m_dialog->progressPanel()->setCancelEnabled(false);
    m_dialog->progressPanel()->setNote(guitext::text("Cancelling the order..."));
}

void MainWindow::onStopSignal(int signal)
{
    if (!m_runner->isIdle())
        till::StandardStreams::printError(
            QStringLiteral("till-gui: %1 came; closing once the operation under way has ended")
                .arg(QLatin1String(StopSignalWatcher::name(signal))));
    close();
}

void MainWindow::finishBeforeExit()
{
    if (m_runner->isIdle())
        return;
    pressCancel();
    m_runner->waitForEnd();
}

void MainWindow::showQueue()
{
    m_queueDialog->refresh();
    m_queueDialog->open();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_runner->isIdle()) {
        m_queueDialog->close();
        event->accept();
        return;
    }
    // The plug-in's thread and the cancellation's must end before the host's services go.
    event->ignore();
    m_closeWhenIdle = true;
    setNotice(guitext::text("Waiting for the sale to end before closing"));
    pressCancel();
}

RefundDialog *MainWindow::refundDialog() const
{
    return m_reversals->refundDialog();
}

CancelDialog *MainWindow::cancelDialog() const
{
    return m_reversals->cancelDialog();
}

void MainWindow::askRefund()
{
    if (refusedWhileBusy() || refundDialog())
        return;
    // The last paid sale is the one most often brought back, as for a cancellation.
    m_reversals->askRefund(m_receipt, m_payments.lastSaleId());
}

void MainWindow::askCancel()
{
    if (refusedWhileBusy() || cancelDialog())
        return;
    // The last sale is the one a cashier most often cancels; otherwise the amount typed.
    const QString lastSaleId = m_payments.lastSaleId();
    int amount = m_payments.lastSaleAmount();
    if (lastSaleId.isEmpty()) {
        const Result<int> typed = RoubleAmount::parse(m_amount->text());
        amount = typed ? typed.value() : 0;
    }
    const qint64 maximum = m_receipt ? velmor::kopecksOf(m_receipt->getTotalSum()) : -1;
    m_reversals->askCancel(lastSaleId, amount, maximum);
}

bool MainWindow::runOperation(const std::function<PaymentProcessingAnswer()> &operation,
                              bool cancellable, const Running &running)
{
    auto answer = std::make_shared<PaymentProcessingAnswer>();
    const bool started = m_runner->run([operation, answer] { *answer = operation(); },
                                       [this, running, answer] { finish(running, *answer); });
    if (!started) {
        setNotice(guitext::text("Another operation is running"));
        return false;
    }
    m_cashierCancelled = false;
    // A sale keeps the scan dialog's title.
    if (running.operation == Outcome::Operation::Refund)
        m_dialog->setWindowTitle(guitext::text("Refund of a sale"));
    else if (running.operation == Outcome::Operation::Cancellation)
        m_dialog->setWindowTitle(guitext::text("Cancellation of a payment"));
    m_dialog->showProgress(cancellable, Outcome::title(running.operation, running.amount),
                           running.orderId);
    if (running.operation != Outcome::Operation::Sale) {
        // A refund or cancellation shows no progress of its own until its exchange ends; the
        // cashier sees what it waits for and for how long at most.
        const Config *config = m_host.config();
        const int timeout = velmor::usableTimeout(
            config ? config->getInt(velmor::clientkeys::Timeout, velmor::DefaultTimeout)
                   : velmor::DefaultTimeout);
        m_dialog->progressPanel()->setNote(
            guitext::text("Waiting for the service's answer; each request may take up to %1 s")
                .arg(timeout));
    }
    m_dialog->open();
    return true;
}

void MainWindow::finish(const Running &running, const PaymentProcessingAnswer &answer)
{
    m_lastAnswer = answer;
    m_host.setDocument(m_receipt);
    const Outcome outcome(running.operation, running.amount, running.orderId, answer,
                          m_cashierCancelled);
    if (outcome.tone() == Outcome::Tone::Done) {
        // Paid: the amount field no longer offers it, so that a second Enter pays nothing
        // twice. A payment that went back leaves the receipt to pay again.
        if (running.operation == Outcome::Operation::Sale)
            m_payments.addSale(answer.getRRN(), running.amount);
        else if (running.operation == Outcome::Operation::Cancellation)
            m_payments.addCancellation(running.orderId, running.amount);
    }
    showReceipt();
    // A sentence about the amount from before the operation no longer holds.
    setNotice(QString());
    m_dialog->showAnswer(outcome);
    m_statusLine->setText(outcome.statusLine());
    emit operationFinished(answer);
}

void MainWindow::onInterruptFinished(bool confirmed)
{
    ProgressPanel *panel = m_dialog->progressPanel();
    panel->setNote(
        confirmed ? guitext::text(
                        "The cancellation is accepted; the sale ends at the next status request")
                  : guitext::text("The cancellation was not confirmed; press Cancel to try again"));
    if (!confirmed && m_runner->isBusy())
        panel->setCancelEnabled(true);
}

void MainWindow::onIdle()
{
    updateButtons();
    // The button pressed was disabled while the operation ran and lost the focus; the keys
    // come back to the amount rather than to nowhere.
    if (!focusWidget() || !focusWidget()->isEnabled())
        m_amount->setFocus();
    if (m_closeWhenIdle) {
        m_closeWhenIdle = false;
        close();
    }
}

void MainWindow::showReceipt()
{
    m_items->showReceipt(m_receipt);
    if (!m_receipt) {
        m_totals->setText(guitext::text("No current receipt"));
        return;
    }
    const qint64 left = leftToPay();
    const QString total = guitext::roubles(velmor::kopecksOf(m_receipt->getTotalSum()));
    const QString prepaid = guitext::roubles(velmor::kopecksOf(m_receipt->getPrepaidSum()));
    const qint64 paid = m_payments.paid();
    m_totals->setText(paid > 0 ? guitext::text("Total %1, prepaid %2, paid here %3, to pay %4")
                                     .arg(total, prepaid, guitext::roubles(paid),
                                          guitext::roubles(qMax<qint64>(left, 0)))
                               : guitext::text("Total %1, prepaid %2, to pay %3")
                                     .arg(total, prepaid, guitext::roubles(qMax<qint64>(left, 0))));
    // What is left, and 0.00 once the receipt is paid: never the amount just paid.
    m_amount->showAmount(velmor::roublesText(qMax<qint64>(left, 0)));
}

void MainWindow::updateButtons()
{
    m_keys->setButtonsEnabled(m_runner->isIdle());
    m_keys->setQueueCount(m_queue->pendingMessages().size());
}

qint64 MainWindow::leftToPay() const
{
    if (!m_receipt)
        return -1;
    return velmor::kopecksOf(m_receipt->getTotalSum()) -
           velmor::kopecksOf(m_receipt->getPrepaidSum()) - m_payments.paid();
}

void MainWindow::takeKeysBack()
{
    // A dialog still open keeps the keys.
    if (QApplication::activeModalWidget())
        return;
    activateWindow();
    if (!focusWidget() || !focusWidget()->isEnabled() || !focusWidget()->isVisible())
        m_amount->setFocus();
}

void MainWindow::setNotice(const QString &notice)
{
    m_notice->setText(notice);
}

QString MainWindow::noticeText() const
{
    return m_notice->text();
}

QString MainWindow::statusText() const
{
    return m_statusLine->text();
}

bool MainWindow::refusedWhileBusy()
{
    // One operation at a time: the plug-in serves one request of the host at once.
    if (m_runner->isIdle())
        return false;
    setNotice(guitext::text("Another operation is running"));
    return true;
}

} // namespace tillgui
