#pragma once

#include <paymentprocessinganswer.h>
#include <till/cashier.h>

#include <QDialog>
#include <QVector>

class BasicPaymentProcessing;
class DBQueueBroker;
class QLabel;
class QPushButton;
class QShowEvent;
class QTableWidget;

namespace tillgui {

class OperationRunner;

// The messages waiting in the host's queue, oldest first, and the button that hands them
// back to the plug-in. The replay runs on the till's worker like every other operation, and
// holds the queue's replay lock as the command-line till does. Its outcome is shown message by
// message: one that stays in the queue says so, and for one that left it the order's state as
// the service now gives it, so that a refusal the plug-in only logged is seen too. Enter
// replays, Escape closes.
class QueueDialog : public QDialog
{
    Q_OBJECT

public:
    QueueDialog(DBQueueBroker *queue, OperationRunner *runner, BasicPaymentProcessing *processing,
                QWidget *parent = nullptr);

    void refresh();
    // False when another operation runs or the queue is being replayed elsewhere.
    bool replay();

    int rowCount() const;
    QString statusText() const;
    QPushButton *replayButton() const { return m_replay; }
    QTableWidget *table() const { return m_table; }

protected:
    // Every opening shows the queue as it is now, without the last replay's findings.
    void showEvent(QShowEvent *event) override;

public:
    // One message's outcome as the replay found it.
    struct Finding
    {
        till::Cashier::ReplayResult result;
        // "Refund" or "Cancellation", in the screen's words.
        QString type;
        // The order's state after the replay, for a message that left the queue.
        PaymentProcessingAnswer state;
    };

signals:
    // `summary`: what the replay found, in one line for the window's status line;
    // `findings`: message by message.
    void replayed(const QString &summary, const QVector<QueueDialog::Finding> &findings);

private:
    void finishReplay(const QVector<Finding> &findings);

    DBQueueBroker *m_queue;
    OperationRunner *m_runner;
    BasicPaymentProcessing *m_processing;
    QTableWidget *m_table;
    QLabel *m_status;
    QPushButton *m_replay;
    QPushButton *m_close;
};

} // namespace tillgui
