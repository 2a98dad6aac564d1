#include "queuedialog.h"

#include "guitext.h"
#include "operationrunner.h"

#include <dbqueuebroker.h>
#include <till/cashier.h>
#include <till/replaylock.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

namespace tillgui {

QueueDialog::QueueDialog(DBQueueBroker *queue, OperationRunner *runner,
                         BasicPaymentProcessing *processing, QWidget *parent)
    : QDialog(parent), m_queue(queue), m_runner(runner), m_processing(processing),
      m_table(new QTableWidget(0, 5)), m_status(new QLabel),
      m_replay(new QPushButton(guitext::text("Replay")))
{
    setWindowTitle(guitext::text("Queued messages"));
    // A whole order id in its column, within the till window's smallest size.
    resize(790, 440);
    m_table->setHorizontalHeaderLabels({QStringLiteral("id"), guitext::text("Type"),
                                        guitext::text("Order"), guitext::text("Added"),
                                        guitext::text("Attempts")});
    // Every column as wide as what it holds, a whole order id included, but the message's
    // type, which takes what is left (and elides when that is too little): nothing scrolls
    // sideways.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Read only: Tab goes to the buttons rather than through the cells.
    m_table->setTabKeyNavigation(false);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(m_replay, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_replay, &QPushButton::clicked, this, &QueueDialog::replay);
    // Enter sends the queue, Escape closes the dialog.
    m_replay->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    refresh();
}

void QueueDialog::refresh()
{
    const QList<QueuedMessage> messages = m_queue->pendingMessages();
    m_table->setRowCount(messages.size());
    for (int row = 0; row < messages.size(); ++row) {
        const QueuedMessage &message = messages.at(row);
        const QStringList cells = {
            QString::number(message.id), message.type,
            message.message.value(QStringLiteral("orderId")).toString(),
            message.added.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            QString::number(message.attempts)};
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    // An unreadable queue is not an empty one.
    if (!m_queue->errorString().isEmpty())
        m_status->setText(
            guitext::text("The queue cannot be read: %1").arg(m_queue->errorString()));
    m_replay->setEnabled(!messages.isEmpty() && m_runner->isIdle());
}

bool QueueDialog::replay()
{
    if (!m_runner->isIdle()) {
        m_status->setText(guitext::text("Another operation is running"));
        return false;
    }
    auto lock = std::make_shared<till::ReplayLock>(m_queue->databasePath());
    if (lock->take() != till::ReplayLock::Taken) {
        m_status->setText(lock->errorString().isEmpty()
                              ? guitext::text("Another operation is running")
                              : lock->errorString());
        return false;
    }
    auto results = std::make_shared<QVector<till::Cashier::ReplayResult>>();
    m_replay->setEnabled(false);
    BasicPaymentProcessing *processing = m_processing;
    DBQueueBroker *queue = m_queue;
    // The window may close the dialog while the replay runs; the replay runs out all the same.
    const QPointer<QueueDialog> self(this);
    return m_runner->run(
        [processing, queue, lock, results] {
            *results = till::Cashier(processing, nullptr).replay(queue, {});
        },
        [self, results] {
            if (!self)
                return;
            self->finishReplay(*results);
        });
}

void QueueDialog::finishReplay(const QVector<till::Cashier::ReplayResult> &results)
{
    int finished = 0;
    for (const till::Cashier::ReplayResult &result : results)
        finished += result.finished && result.recorded ? 1 : 0;
    refresh();
    m_status->setText(
        guitext::text("%1 of %2 messages finished").arg(finished).arg(results.size()));
    emit replayed();
}

int QueueDialog::rowCount() const
{
    return m_table->rowCount();
}

QString QueueDialog::statusText() const
{
    return m_status->text();
}

} // namespace tillgui
