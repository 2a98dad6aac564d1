#include "mainwindow.h"

#include "guitext.h"
#include "operationrunner.h"
#include "progresspanel.h"
#include "queuedialog.h"
#include "refunddialog.h"
#include "saledialog.h"
#include "scanpanel.h"

#include <basicpaymentprocessing.h>
#include <cashier.h>
#include <dbqueuebroker.h>
#include <hostenvironment.h>
#include <session.h>
#include <singleton.h>
#include <till.h>

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

MainWindow::MainWindow(HostEnvironment &host, const QSharedPointer<Document> &receipt,
                       QWidget *parent)
    : QMainWindow(parent), m_host(host), m_processing(host.processing()), m_queue(host.queue()),
      m_receipt(receipt), m_runner(std::make_unique<OperationRunner>(host.processing())),
      m_dialog(new SaleDialog(this)), m_items(new QTableWidget(0, 6)), m_totals(new QLabel),
      m_amount(new QLineEdit), m_saleButton(new QPushButton(guitext::text("Sale"))),
      m_refundButton(new QPushButton(guitext::text("Refund"))),
      m_cancelButton(new QPushButton(guitext::text("Cancel payment"))),
      m_queueButton(new QPushButton)
{
    setWindowTitle(guitext::text("Till"));
    resize(720, 440);
    m_queueDialog = new QueueDialog(m_queue, m_runner.get(), m_processing, this);

    m_items->setHorizontalHeaderLabels({guitext::text("No."), guitext::text("Article"),
                                        guitext::text("Name"), guitext::text("Quantity"),
                                        guitext::text("Returned"), guitext::text("Sum")});
    m_items->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_items->verticalHeader()->hide();
    m_items->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_items->setSelectionMode(QAbstractItemView::NoSelection);

    auto *amountRow = new QHBoxLayout;
    amountRow->addWidget(new QLabel(guitext::text("Amount, kopecks:")));
    amountRow->addWidget(m_amount);
    amountRow->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_saleButton, m_refundButton, m_cancelButton, m_queueButton})
        buttons->addWidget(button);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_items);
    layout->addWidget(m_totals);
    layout->addLayout(amountRow);
    layout->addLayout(buttons);
    setCentralWidget(central);

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
    connect(m_queueDialog, &QueueDialog::replayed, this, &MainWindow::updateButtons);

    // The plug-in finds the progress display through the host's session.
    Singleton<Session>::instance->setProgressView(m_dialog->progressPanel());
    m_host.setDocument(m_receipt);
    showReceipt();
    updateButtons();
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
    int amount = 0;
    if (refusedWhileBusy())
        return false;
    if (!readAmount(&amount))
        return false;
    m_saleAmount = amount;
    const auto messages = m_processing->getMessageInfo();
    m_dialog->showScan(guitext::of(messages.value(EPaymentProcessingInfo::ScanTitle)),
                       guitext::of(messages.value(EPaymentProcessingInfo::ScanMessage)),
                       m_processing->getDialogImagePath());
    m_dialog->open();
    m_dialog->scanPanel()->codeField()->setFocus();
    return true;
}

void MainWindow::sell(const QString &code)
{
    Cashier::SaleOptions options;
    options.amount = m_saleAmount;
    options.code = code;
    BasicPaymentProcessing *processing = m_processing;
    runOperation([processing, options] { return Cashier(processing, nullptr).sale(options); }, true,
                 QString());
}

bool MainWindow::startRefund(const QString &rrn, const QSharedPointer<Document> &refundReceipt,
                             int amount)
{
    if (refusedWhileBusy())
        return false;
    // The plug-in reads the returned positions from the session's receipt.
    m_host.setDocument(refundReceipt);
    BasicPaymentProcessing *processing = m_processing;
    return runOperation(
        [processing, rrn, amount] { return Cashier(processing, nullptr).refund(rrn, amount); },
        false, guitext::text("Refund of a sale"));
}

bool MainWindow::startCancel(const QString &rrn)
{
    int amount = 0;
    if (refusedWhileBusy())
        return false;
    if (!readAmount(&amount))
        return false;
    m_host.setDocument(m_receipt);
    BasicPaymentProcessing *processing = m_processing;
    return runOperation(
        [processing, rrn, amount] { return Cashier(processing, nullptr).cancel(rrn, amount); },
        false, guitext::text("Cancellation of a payment"));
}

void MainWindow::pressCancel()
{
    if (m_dialog->page() != SaleDialog::Page::Progress || !m_runner->interrupt())
        return;
    m_dialog->progressPanel()->setCancelEnabled(false);
    m_dialog->progressPanel()->setNote(guitext::text("Cancelling the order..."));
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
    statusBar()->showMessage(guitext::text("Waiting for the sale to end before closing"));
    pressCancel();
}

void MainWindow::askRefund()
{
    RefundDialog dialog(m_receipt, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int amount = dialog.amount();
    if (amount <= 0 && !readAmount(&amount))
        return;
    startRefund(dialog.rrn(), dialog.refundReceipt(), amount);
}

void MainWindow::askCancel()
{
    bool ok = false;
    const QString rrn = QInputDialog::getText(this, guitext::text("Cancellation of a payment"),
                                              guitext::text("Reference (RRN):"), QLineEdit::Normal,
                                              m_lastAnswer.getRRN(), &ok)
                            .trimmed();
    if (ok && !rrn.isEmpty())
        startCancel(rrn);
}

bool MainWindow::runOperation(const std::function<PaymentProcessingAnswer()> &operation,
                              bool cancellable, const QString &title)
{
    auto answer = std::make_shared<PaymentProcessingAnswer>();
    const bool started = m_runner->run([operation, answer] { *answer = operation(); },
                                       [this, answer] { finish(*answer); });
    if (!started) {
        statusBar()->showMessage(guitext::text("Another operation is running"));
        return false;
    }
    if (!title.isEmpty())
        m_dialog->setWindowTitle(title);
    m_dialog->showProgress(cancellable);
    m_dialog->open();
    return true;
}

void MainWindow::finish(const PaymentProcessingAnswer &answer)
{
    m_lastAnswer = answer;
    m_host.setDocument(m_receipt);
    m_dialog->showAnswer(answer);
    statusBar()->showMessage(Cashier::answerLine(answer));
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
                                   QString::number(item->getSumb(), 'f', 2)};
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
    const double toPay = m_receipt->getTotalSum() - m_receipt->getPrepaidSum();
    m_totals->setText(guitext::text("Total %1, prepaid %2, to pay %3")
                          .arg(QString::number(m_receipt->getTotalSum(), 'f', 2),
                               QString::number(m_receipt->getPrepaidSum(), 'f', 2),
                               QString::number(toPay, 'f', 2)));
    if (toPay > 0)
        m_amount->setText(QString::number(std::llround(toPay * 100)));
}

void MainWindow::updateButtons()
{
    const bool idle = m_runner->isIdle();
    for (QPushButton *button : {m_saleButton, m_refundButton, m_cancelButton})
        button->setEnabled(idle);
    const int pending = m_queue->pendingMessages().size();
    m_queueButton->setText(guitext::text("Queue (%1)").arg(pending));
}

bool MainWindow::readAmount(int *amount)
{
    // The same rule as the command-line till's --amount.
    QString error;
    if (Till::parseAmount(m_amount->text().trimmed(), amount, &error))
        return true;
    statusBar()->showMessage(error);
    return false;
}

bool MainWindow::refusedWhileBusy()
{
    // One operation at a time: the plug-in serves one request of the host at once.
    if (m_runner->isIdle())
        return false;
    statusBar()->showMessage(guitext::text("Another operation is running"));
    return true;
}
