#include "queuedialog.h"

#include "guitext.h"
#include "operationrunner.h"

#include <basicpaymentprocessing.h>
#include <dbqueuebroker.h>
#include <paymentprocessingrequest.h>
#include <till/cashier.h>
#include <till/replaylock.h>
#include <velmor/rounding.h>

#include <QDialogButtonBox>
#include <QHash>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

namespace tillgui {

namespace {

enum Column { Type, Amount, Order, Added, Attempts, Columns };

QJsonObject requestOf(const QJsonObject &message)
{
    return message.value(QStringLiteral("request")).toObject();
}

// What a queued message asks, in the screen's words.
QString typeOf(const QJsonObject &message)
{
    return requestOf(message).value(QStringLiteral("requestType")).toInt() ==
                   PaymentProcessingRequest::Refund
               ? guitext::text("Refund")
               : guitext::text("Cancellation");
}

// Findings shown one per line, at most this many; the rest are counted.
constexpr int ShownFindings = 6;

} // namespace

QueueDialog::QueueDialog(DBQueueBroker *queue, OperationRunner *runner,
                         BasicPaymentProcessing *processing, QWidget *parent)
    : QDialog(parent), m_queue(queue), m_runner(runner), m_processing(processing),
      m_table(new QTableWidget(0, Columns)), m_status(new QLabel),
      m_replay(new QPushButton(guitext::text("Replay")))
{
    setWindowTitle(guitext::text("Queued messages"));
    // A whole order id in its column, within the till window's smallest size.
    resize(790, 440);
    m_table->setHorizontalHeaderLabels({guitext::text("Type"), guitext::text("Sum"),
                                        guitext::text("Order"), guitext::text("Added"),
                                        guitext::text("Attempts")});
    // Every column as wide as what it holds, a whole order id included, but the message's
    // type, which takes what is left (and elides when that is too little): nothing scrolls
    // sideways.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(Type, QHeaderView::Stretch);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    // Enter sends the queue, Escape closes the dialog. Close never takes Enter for itself;
    // it holds the focus only while there is nothing to send.
    m_replay->setDefault(true);
    m_close = buttons->button(QDialogButtonBox::Close);
    m_close->setAutoDefault(false);

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
            typeOf(message.message),
            guitext::roubles(requestOf(message.message).value(QStringLiteral("amount")).toInt()),
            message.message.value(QStringLiteral("orderId")).toString(),
            message.added.toLocalTime().toString(QStringLiteral("dd.MM HH:mm")),
            QString::number(message.attempts)};
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    // An unreadable queue is not an empty one.
    if (!m_queue->errorString().isEmpty())
        m_status->setText(
            guitext::text("The queue cannot be read: %1").arg(m_queue->errorString()));
    m_replay->setEnabled(!messages.isEmpty() && m_runner->isIdle());
    if (m_replay->isEnabled())
        m_replay->setFocus();
    else
        m_close->setFocus();
}

void QueueDialog::showEvent(QShowEvent *event)
{
    if (m_runner->isIdle())
        m_status->clear();
    refresh();
    QDialog::showEvent(event);
}

bool QueueDialog::replay()
{
    if (!m_runner->isIdle()) {
        m_status->setText(guitext::text("Another operation is running"));
        return false;
    }
    auto lock = std::make_shared<till::ReplayLock>(m_queue->databasePath());
    const Result<till::ReplayLock::State> taken = lock->take();
    if (!taken || taken.value() != till::ReplayLock::Taken) {
        m_status->setText(taken ? guitext::text("Another operation is running") : taken.error());
        return false;
    }
    // What each message is, read before the replay removes the ones that go through.
    QHash<qint64, QString> types;
    for (const QueuedMessage &message : m_queue->pendingMessages())
        types.insert(message.id, typeOf(message.message));
    auto findings = std::make_shared<QVector<Finding>>();
    m_replay->setEnabled(false);
    // Each message waits for the service's answer, up to its timeout: the cashier sees that
    // something is under way.
    m_status->setText(guitext::text("Sending the queue to the service..."));
    BasicPaymentProcessing *processing = m_processing;
    DBQueueBroker *queue = m_queue;
    // The window may close the dialog while the replay runs; the replay runs out all the same.
    const QPointer<QueueDialog> self(this);
    return m_runner->run(
        [processing, queue, lock, findings, types] {
            const QVector<till::Cashier::ReplayResult> results =
                till::Cashier(processing, nullptr).replay(queue, {});
            for (const till::Cashier::ReplayResult &result : results) {
                Finding finding;
                finding.result = result;
                finding.type = types.value(result.id);
                // The plug-in takes a refusal off the queue as finished too: only the order's
                // state tells a refund made from one refused.
                if (result.finished && !result.orderId.isEmpty())
                    finding.state = processing->getPaymentByQRCodeStatus(result.orderId);
                findings->append(finding);
            }
        },
        [self, findings] {
            if (!self)
                return;
            self->finishReplay(*findings);
        });
}

void QueueDialog::finishReplay(const QVector<Finding> &findings)
{
    int finished = 0;
    int stayed = 0;
    QStringList lines;
    for (const Finding &finding : findings) {
        const till::Cashier::ReplayResult &result = finding.result;
        const bool left = result.finished && result.recorded;
        finished += left ? 1 : 0;
        stayed += left ? 0 : 1;
        if (lines.size() >= ShownFindings)
            continue;
        QString outcome;
        if (!result.finished) {
            outcome = guitext::text("not sent, stays in the queue");
        } else if (!result.recorded) {
            outcome = guitext::text("sent, but the queue could not record it");
        } else if (finding.state.getStatus() == PaymentProcessingAnswer::Success) {
            const double refunded =
                finding.state.getAdditionalData().value(QStringLiteral("refunded")).toDouble();
            outcome = guitext::text("left the queue; the order now: %1, refunded %2")
                          .arg(guitext::of(finding.state.getMessage()),
                               guitext::roubles(velmor::kopecksOf(refunded)));
        } else {
            outcome = guitext::text("left the queue; the order's state could not be read: %1")
                          .arg(guitext::of(finding.state.getMessage()));
        }
        lines.append(guitext::text("%1, order %2: %3").arg(finding.type, result.orderId, outcome));
    }
    if (findings.size() > ShownFindings)
        lines.append(guitext::text("... and %1 more").arg(findings.size() - ShownFindings));
    refresh();
    QString summary =
        guitext::text("Queue: %1 of %2 messages finished").arg(finished).arg(findings.size());
    if (stayed > 0 && finished == 0)
        summary = guitext::text("Queue: nothing went through, %1 messages stay in the queue "
                                "until the service answers")
                      .arg(stayed);
    else if (stayed > 0)
        summary += guitext::text(", %1 stay in the queue").arg(stayed);
    lines.prepend(summary);
    m_status->setText(lines.join(QLatin1Char('\n')));
    emit replayed(summary, findings);
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
