#pragma once

#include <till/cashier.h>

#include <QDialog>
#include <QVector>

class BasicPaymentProcessing;
class DBQueueBroker;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tillgui {

class OperationRunner;

// The messages waiting in the host's queue, oldest first, and the button that hands them
// back to the plug-in. The replay runs on the till's worker like every other operation, and
// holds the queue's replay lock as the command-line till does.
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

signals:
    void replayed();

private:
    void finishReplay(const QVector<till::Cashier::ReplayResult> &results);

    DBQueueBroker *m_queue;
    OperationRunner *m_runner;
    BasicPaymentProcessing *m_processing;
    QTableWidget *m_table;
    QLabel *m_status;
    QPushButton *m_replay;
};

} // namespace tillgui
