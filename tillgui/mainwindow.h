#pragma once

#include <document.h>
#include <paymentprocessinganswer.h>

#include <QMainWindow>
#include <QSharedPointer>

#include <functional>
#include <memory>

class BasicPaymentProcessing;
class DBQueueBroker;
class HostEnvironment;
class OperationRunner;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QueueDialog;
class SaleDialog;

// The till's main window: the current receipt with its totals, and the cashier's buttons for
// a sale, a refund, a cancellation and the queue. Every processing call runs on the
// operation runner's worker thread; the window stays live while the plug-in waits. Closing
// the window during a sale presses Cancel first and closes once the sale has ended, so that
// no order is left behind unanswered and no cancellation is lost on its way to the queue.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // `host` is set up and has its plug-in loaded; it outlives the window. `receipt` may be
    // null (no current receipt).
    MainWindow(HostEnvironment &host, const QSharedPointer<Document> &receipt,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opens the scan dialog; false (with a word in the status bar) when the amount is
    // unusable or an operation runs.
    bool startSale();
    bool startRefund(const QString &rrn, const QSharedPointer<Document> &refundReceipt, int amount);
    bool startCancel(const QString &rrn);
    // The cashier's Cancel during a sale's wait.
    void pressCancel();
    void showQueue();

    SaleDialog *saleDialog() const { return m_dialog; }
    QueueDialog *queueDialog() const { return m_queueDialog; }
    OperationRunner *runner() const { return m_runner.get(); }
    QLineEdit *amountField() const { return m_amount; }
    QPushButton *saleButton() const { return m_saleButton; }
    PaymentProcessingAnswer lastAnswer() const { return m_lastAnswer; }

signals:
    void operationFinished(const PaymentProcessingAnswer &answer);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // True, with a note in the status bar, while another operation runs.
    bool refusedWhileBusy();
    void askRefund();
    void askCancel();
    void sell(const QString &code);
    bool runOperation(const std::function<PaymentProcessingAnswer()> &operation, bool cancellable,
                      const QString &title);
    void finish(const PaymentProcessingAnswer &answer);
    void onInterruptFinished(bool confirmed);
    void onIdle();
    void showReceipt();
    void updateButtons();
    bool readAmount(int *amount);

    HostEnvironment &m_host;
    BasicPaymentProcessing *m_processing;
    DBQueueBroker *m_queue;
    QSharedPointer<Document> m_receipt;
    std::unique_ptr<OperationRunner> m_runner;
    SaleDialog *m_dialog;
    QueueDialog *m_queueDialog;
    QTableWidget *m_items;
    QLabel *m_totals;
    QLineEdit *m_amount;
    QPushButton *m_saleButton;
    QPushButton *m_refundButton;
    QPushButton *m_cancelButton;
    QPushButton *m_queueButton;
    int m_saleAmount = 0;
    bool m_closeWhenIdle = false;
    PaymentProcessingAnswer m_lastAnswer;
};
