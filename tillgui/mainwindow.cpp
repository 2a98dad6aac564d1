#include "mainwindow.h"

#include "canceldialog.h"
#include "guitext.h"
#include "operationrunner.h"
#include "progresspanel.h"
#include "queuedialog.h"
#include "refunddialog.h"
#include "roubleamount.h"
#include "saledialog.h"
#include "scanpanel.h"
#include "servicemenu.h"
#include "stopsignalwatcher.h"

#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <paymentprocessingrequest.h>
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
#include <QHeaderView>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tillgui {

namespace {

// The function key in front of the button's name, as on a till's keyboard legend.
QString keyed(Qt::Key key, const QString &label)
{
    return QKeySequence(key).toString(QKeySequence::NativeText) + QStringLiteral("  ") + label;
}

const Qt::Key SaleKey = Qt::Key_F2;
const Qt::Key RefundKey = Qt::Key_F3;
const Qt::Key CancelKey = Qt::Key_F4;
const Qt::Key QueueKey = Qt::Key_F5;

} // namespace

const QSize MainWindow::MinimumSize(800, 600);

MainWindow::MainWindow(till::HostEnvironment &host, const QSharedPointer<Document> &receipt,
                       QWidget *parent)
    : QMainWindow(parent), m_host(host), m_processing(host.processing()), m_queue(host.queue()),
      m_receipt(receipt), m_runner(std::make_unique<OperationRunner>(host.processing())),
      m_dialog(new SaleDialog(this)), m_items(new QTableWidget(0, 6)), m_totals(new QLabel),
      m_amount(new QLineEdit), m_notice(new QLabel), m_statusLine(new QLabel),
      m_saleButton(new QPushButton(keyed(SaleKey, guitext::text("Sale")))),
      m_refundButton(new QPushButton(keyed(RefundKey, guitext::text("Refund")))),
      m_cancelButton(new QPushButton(keyed(CancelKey, guitext::text("Cancel payment")))),
      m_queueButton(new QPushButton)
{
    setWindowTitle(guitext::text("Till"));
    setMinimumSize(MinimumSize);
    resize(1024, 768);
    m_queueDialog = new QueueDialog(m_queue, m_runner.get(), m_processing, this);
    m_serviceMenu = new ServiceMenu(this, m_processing, m_runner.get());

    m_items->setHorizontalHeaderLabels({guitext::text("No."), guitext::text("Article"),
                                        guitext::text("Name"), guitext::text("Quantity"),
                                        guitext::text("Returned"), guitext::text("Sum")});
    m_items->verticalHeader()->hide();
    m_items->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_items->setSelectionMode(QAbstractItemView::NoSelection);
    // The receipt is only read here: Tab passes it by instead of walking its cells.
    m_items->setFocusPolicy(Qt::NoFocus);
    m_items->setTabKeyNavigation(false);

    m_amount->setMaximumWidth(m_amount->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
    m_notice->setStyleSheet(QStringLiteral("color: #b00020"));
    auto *amountRow = new QHBoxLayout;
    amountRow->addWidget(new QLabel(guitext::text("Amount, roubles:")));
    amountRow->addWidget(m_amount);
    amountRow->addWidget(m_notice, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_saleButton, m_refundButton, m_cancelButton, m_queueButton}) {
        // Enter on a focused button presses it, as in a dialog.
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_items);
    layout->addWidget(m_totals);
    layout->addLayout(amountRow);
    layout->addLayout(buttons);
    setCentralWidget(central);
    // There from the start, so that the first outcome does not push the buttons up.
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_statusLine, 1);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    setTabOrder(m_amount, m_saleButton);
    setTabOrder(m_saleButton, m_refundButton);
    setTabOrder(m_refundButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_queueButton);
    const struct
    {
        Qt::Key key;
        QPushButton *button;
    } keys[] = {{SaleKey, m_saleButton},
                {RefundKey, m_refundButton},
                {CancelKey, m_cancelButton},
                {QueueKey, m_queueButton}};
    // Shortcuts of the window rather than of the buttons: a button's text change (the queue's
    // count) would drop a shortcut set on the button.
    for (const auto &key : keys) {
        auto *shortcut = new QShortcut(QKeySequence(key.key), this);
        QPushButton *button = key.button;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }

    m_codeKeys = new QTimer(this);
    m_codeKeys->setSingleShot(true);
    // Longer than the pause between a scanner's keys, shorter than a cashier's reaction.
    m_codeKeys->setInterval(300);
    connect(m_codeKeys, &QTimer::timeout, this, [this] { m_codeInAmount = false; });
    connect(m_amount, &QLineEdit::returnPressed, this, &MainWindow::amountEntered);
    connect(m_amount, &QLineEdit::textEdited, this, &MainWindow::amountEdited);
    connect(m_saleButton, &QPushButton::clicked, this, &MainWindow::startSale);
    connect(m_refundButton, &QPushButton::clicked, this, &MainWindow::askRefund);
    connect(m_cancelButton, &QPushButton::clicked, this, &MainWindow::askCancel);
    connect(m_queueButton, &QPushButton::clicked, this, &MainWindow::showQueue);
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
                takeBackCancelled(findings);
            });
    connect(m_dialog, &QDialog::finished, this, &MainWindow::takeKeysBack);
    connect(m_queueDialog, &QDialog::finished, this, &MainWindow::takeKeysBack);

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
    int amount = 0;
    QString error;
    if (!RoubleAmount::parse(m_amount->text(), &amount, &error)) {
        setNotice(error);
        return false;
    }
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

void MainWindow::amountEdited(const QString &text)
{
    static const QRegularExpression amountKeys(QStringLiteral("^[0-9 .,]*$"));
    if (!m_codeInAmount && amountKeys.match(text).hasMatch()) {
        m_amountKept = text;
        setNotice(QString());
        return;
    }
    // A key no amount has: a code is being scanned. Its keys, digits included, go nowhere
    // until Enter or a pause ends it.
    m_codeInAmount = true;
    m_codeKeys->start();
    m_amount->setText(m_amountKept);
}

void MainWindow::amountEntered()
{
    if (!m_codeInAmount) {
        startSale();
        return;
    }
    m_codeInAmount = false;
    m_codeKeys->stop();
    m_amount->setText(m_amountKept);
    m_amount->selectAll();
    setNotice(guitext::text("A code was scanned before the sale: press F2, then scan it"));
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
    return m_refundDialog;
}

CancelDialog *MainWindow::cancelDialog() const
{
    return m_cancelDialog;
}

void MainWindow::askRefund()
{
    if (refusedWhileBusy() || m_refundDialog)
        return;
    // The last paid sale is the one most often brought back, as for a cancellation.
    m_refundDialog = new RefundDialog(m_receipt, m_lastSaleId, this);
    m_refundDialog->setAttribute(Qt::WA_DeleteOnClose);
    RefundDialog *dialog = m_refundDialog;
    dialog->setQueuedCheck([this](const QString &orderId, int amount) {
        return alreadyQueued(orderId, true, amount);
    });
    connect(dialog, &QDialog::rejected, this, &MainWindow::takeKeysBack);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        startRefund(dialog->rrn(), dialog->refundReceipt(), dialog->amount());
    });
    dialog->open();
}

void MainWindow::askCancel()
{
    if (refusedWhileBusy() || m_cancelDialog)
        return;
    // The last sale is the one a cashier most often cancels; otherwise the amount typed.
    int amount = m_lastSaleAmount;
    QString error;
    if (m_lastSaleId.isEmpty() && !RoubleAmount::parse(m_amount->text(), &amount, &error))
        amount = 0;
    const qint64 maximum = m_receipt ? velmor::kopecksOf(m_receipt->getTotalSum()) : -1;
    m_cancelDialog = new CancelDialog(m_lastSaleId, amount, maximum, this);
    m_cancelDialog->setAttribute(Qt::WA_DeleteOnClose);
    CancelDialog *dialog = m_cancelDialog;
    dialog->setQueuedCheck(
        [this](const QString &orderId) { return alreadyQueued(orderId, false, 0); });
    connect(dialog, &QDialog::rejected, this, &MainWindow::takeKeysBack);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { startCancel(dialog->rrn(), dialog->amount()); });
    dialog->open();
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
    if (running.operation == Outcome::Operation::Sale && outcome.tone() == Outcome::Tone::Done) {
        m_lastSaleId = answer.getRRN();
        m_lastSaleAmount = running.amount;
        // Paid: the amount field no longer offers it, so that a second Enter pays nothing twice.
        m_paidOrders[m_lastSaleId] += running.amount;
        m_paid += running.amount;
    } else if (running.operation == Outcome::Operation::Cancellation &&
               outcome.tone() == Outcome::Tone::Done && m_paidOrders.contains(running.orderId)) {
        // The payment went back: the receipt is to pay again.
        const qint64 back = qMin<qint64>(running.amount, m_paidOrders.value(running.orderId));
        m_paid -= back;
        m_paidOrders[running.orderId] -= back;
        if (m_paidOrders.value(running.orderId) <= 0)
            m_paidOrders.remove(running.orderId);
        if (m_lastSaleId == running.orderId) {
            m_lastSaleId.clear();
            m_lastSaleAmount = 0;
        }
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
    const auto items =
        m_receipt ? m_receipt->getGoodsItems() : decltype(m_receipt->getGoodsItems()){};
    m_items->setRowCount(items.size());
    for (int row = 0; row < items.size(); ++row) {
        const auto &item = items.at(row);
        const QStringList cells = {QString::number(item->getPosnum()),
                                   item->getArticul(),
                                   item->getName(),
                                   QString::number(item->getQuantity()),
                                   QString::number(item->getBquant()),
                                   velmor::roublesText(velmor::kopecksOf(item->getSumb()))};
        for (int column = 0; column < cells.size(); ++column) {
            auto *cell = new QTableWidgetItem(cells.at(column));
            if (column >= 3)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_items->setItem(row, column, cell);
        }
    }
    m_items->resizeColumnsToContents();
    m_items->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    if (!m_receipt) {
        m_totals->setText(guitext::text("No current receipt"));
        return;
    }
    const qint64 left = leftToPay();
    const QString total = guitext::roubles(velmor::kopecksOf(m_receipt->getTotalSum()));
    const QString prepaid = guitext::roubles(velmor::kopecksOf(m_receipt->getPrepaidSum()));
    m_totals->setText(m_paid > 0
                          ? guitext::text("Total %1, prepaid %2, paid here %3, to pay %4")
                                .arg(total, prepaid, guitext::roubles(m_paid),
                                     guitext::roubles(qMax<qint64>(left, 0)))
                          : guitext::text("Total %1, prepaid %2, to pay %3")
                                .arg(total, prepaid, guitext::roubles(qMax<qint64>(left, 0))));
    // What is left, and 0.00 once the receipt is paid: never the amount just paid.
    m_amount->setText(velmor::roublesText(qMax<qint64>(left, 0)));
    m_amount->selectAll();
    m_amountKept = m_amount->text();
}

void MainWindow::updateButtons()
{
    const bool idle = m_runner->isIdle();
    for (QPushButton *button : {m_saleButton, m_refundButton, m_cancelButton, m_queueButton})
        button->setEnabled(idle);
    const int pending = m_queue->pendingMessages().size();
    m_queueButton->setText(keyed(QueueKey, guitext::text("Queue (%1)").arg(pending)));
}

qint64 MainWindow::leftToPay() const
{
    if (!m_receipt)
        return -1;
    return velmor::kopecksOf(m_receipt->getTotalSum()) -
           velmor::kopecksOf(m_receipt->getPrepaidSum()) - m_paid;
}

bool MainWindow::alreadyQueued(const QString &orderId, bool refund, int amount) const
{
    for (const QueuedMessage &message : m_queue->pendingMessages()) {
        if (message.message.value(QStringLiteral("orderId")).toString() != orderId)
            continue;
        const QJsonObject request = message.message.value(QStringLiteral("request")).toObject();
        const bool queuedRefund = request.value(QStringLiteral("requestType")).toInt() ==
                                  PaymentProcessingRequest::Refund;
        if (queuedRefund != refund)
            continue;
        if (!refund || request.value(QStringLiteral("amount")).toInt() == amount)
            return true;
    }
    return false;
}

void MainWindow::takeBackCancelled(const QVector<QueueDialog::Finding> &findings)
{
    bool changed = false;
    for (const QueueDialog::Finding &finding : findings) {
        const QString &orderId = finding.result.orderId;
        if (!finding.result.finished || !m_paidOrders.contains(orderId) ||
            finding.state.getStatus() != PaymentProcessingAnswer::Success)
            continue;
        // Only the order's state counts: cancelled, or refunded as much as was paid here.
        const QMap<QString, QVariant> state = finding.state.getAdditionalData();
        const qint64 refunded =
            velmor::kopecksOf(state.value(QStringLiteral("refunded")).toDouble());
        if (state.value(QStringLiteral("status")).toString() != QLatin1String("canceled") &&
            refunded < m_paidOrders.value(orderId))
            continue;
        m_paid -= m_paidOrders.take(orderId);
        if (m_lastSaleId == orderId) {
            m_lastSaleId.clear();
            m_lastSaleAmount = 0;
        }
        changed = true;
    }
    if (changed)
        showReceipt();
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
