#pragma once

#include "amountfield.h"
#include "functionkeyrow.h"
#include "outcome.h"
#include "queuedialog.h"
#include "receiptpayments.h"

#include <document.h>
#include <paymentprocessinganswer.h>

#include <QMainWindow>
#include <QSharedPointer>

#include <functional>
#include <memory>

class BasicPaymentProcessing;
class DBQueueBroker;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace till {
class HostEnvironment;
}

namespace tillgui {

class CancelDialog;
class OperationRunner;
class ReceiptTable;
class RefundDialog;
class ReversalDialogs;
class SaleDialog;
class ServiceMenu;

// The till's main window: the current receipt with its totals, the amount in roubles, and the
// cashier's buttons for a sale (F2), a refund (F3), a cancellation (F4) and the queue (F5).
// Tab goes from the amount through the buttons; Enter in the amount starts a sale, on a button
// presses it. Every processing call runs on the operation runner's worker thread; the window
// stays live while the plug-in waits. Closing the window during a sale presses Cancel first
// and closes once the sale has ended, so that no order is left behind unanswered and no
// cancellation is lost on its way to the queue; a stop signal (SIGTERM, SIGHUP, SIGINT) closes
// it the same way while it exists.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The smallest the window gets; every dialog of the screen fits it.
    static const QSize MinimumSize;

    // `host` is set up and has its plug-in loaded; it outlives the window. `receipt` may be
    // null (no current receipt).
    MainWindow(till::HostEnvironment &host, const QSharedPointer<Document> &receipt,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opens the scan dialog; false (with a sentence beside the amount) when the receipt is paid,
    // the amount is unusable or more than the receipt leaves to pay, or an operation runs.
    bool startSale();
    // `amount` in kopecks.
    bool startRefund(const QString &rrn, const QSharedPointer<Document> &refundReceipt, int amount);
    bool startCancel(const QString &rrn, int amount);
    // Open the refund and the cancellation dialogs; the operation starts once the cashier has
    // confirmed what goes back with the confirming key (see ConfirmDialog).
    void askRefund();
    void askCancel();
    // The cashier's Cancel during a sale's wait.
    void pressCancel();
    // For a program that ends with no event loop left to run (the display went away): what
    // closing the window does, waited for here. Cancel is pressed during a sale, and both the
    // operation and the cancellation are waited for.
    void finishBeforeExit();
    void showQueue();

    SaleDialog *saleDialog() const { return m_dialog; }
    QueueDialog *queueDialog() const { return m_queueDialog; }
    // The open refund or cancellation dialog, null when none is open.
    RefundDialog *refundDialog() const;
    CancelDialog *cancelDialog() const;
    OperationRunner *runner() const { return m_runner.get(); }
    QLineEdit *amountField() const { return m_amount; }
    QPushButton *saleButton() const { return m_keys->saleButton(); }
    QPushButton *refundButton() const { return m_keys->refundButton(); }
    QPushButton *cancelButton() const { return m_keys->cancelButton(); }
    QPushButton *queueButton() const { return m_keys->queueButton(); }
    // The host's other buttons (servicemenu.h).
    ServiceMenu *serviceMenu() const { return m_serviceMenu; }
    QString noticeText() const;
    QString statusText() const;
    PaymentProcessingAnswer lastAnswer() const { return m_lastAnswer; }
    // What the receipt leaves to pay, in kopecks: its total less the prepaid sum and the sales
    // paid here; negative without a receipt.
    qint64 leftToPay() const;

signals:
    void operationFinished(const PaymentProcessingAnswer &answer);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // SIGTERM, SIGHUP or SIGINT: what closing the window does.
    void onStopSignal(int signal);
    struct Running
    {
        Outcome::Operation operation = Outcome::Operation::Sale;
        int amount = 0;
        QString orderId;
    };

    // True, with a note beside the amount, while another operation runs.
    bool refusedWhileBusy();
    void sell(const QString &code);
    bool runOperation(const std::function<PaymentProcessingAnswer()> &operation, bool cancellable,
                      const Running &running);
    void finish(const Running &running, const PaymentProcessingAnswer &answer);
    void onInterruptFinished(bool confirmed);
    void onIdle();
    void showReceipt();
    void updateButtons();
    void setNotice(const QString &notice);
    // Gives the keys back to the window once a dialog has closed: without a window manager
    // nothing else does, and the F-keys would be dead.
    void takeKeysBack();

    till::HostEnvironment &m_host;
    BasicPaymentProcessing *m_processing;
    DBQueueBroker *m_queue;
    QSharedPointer<Document> m_receipt;
    std::unique_ptr<OperationRunner> m_runner;
    SaleDialog *m_dialog;
    QueueDialog *m_queueDialog;
    ReversalDialogs *m_reversals;
    ReceiptTable *m_items;
    QLabel *m_totals;
    AmountField *m_amount;
    QLabel *m_notice;
    QLabel *m_statusLine;
    FunctionKeyRow *m_keys;
    ServiceMenu *m_serviceMenu = nullptr;
    int m_saleAmount = 0;
    ReceiptPayments m_payments;
    // The cashier pressed Cancel during the operation under way.
    bool m_cashierCancelled = false;
    bool m_closeWhenIdle = false;
    PaymentProcessingAnswer m_lastAnswer;
};

} // namespace tillgui
