#include "reversaldialogs.h"

#include "canceldialog.h"
#include "refunddialog.h"

namespace tillgui {

ReversalDialogs::ReversalDialogs(QWidget *window, DBQueueBroker *queue)
    : QObject(window), m_window(window), m_pending(queue)
{}

void ReversalDialogs::askRefund(const QSharedPointer<Document> &receipt, const QString &orderId)
{
    m_refundDialog = new RefundDialog(receipt, orderId, m_window);
    m_refundDialog->setAttribute(Qt::WA_DeleteOnClose);
    RefundDialog *dialog = m_refundDialog;
    dialog->setQueuedCheck([this](const QString &queuedOrder, int amount) {
        return m_pending.hasRefund(queuedOrder, amount);
    });
    connect(dialog, &QDialog::rejected, this, &ReversalDialogs::backedOut);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        emit refundConfirmed(dialog->rrn(), dialog->refundReceipt(), dialog->amount());
    });
    dialog->open();
}

void ReversalDialogs::askCancel(const QString &orderId, int amount, qint64 maximum)
{
    m_cancelDialog = new CancelDialog(orderId, amount, maximum, m_window);
    m_cancelDialog->setAttribute(Qt::WA_DeleteOnClose);
    CancelDialog *dialog = m_cancelDialog;
    dialog->setQueuedCheck(
        [this](const QString &queuedOrder) { return m_pending.hasCancellation(queuedOrder); });
    connect(dialog, &QDialog::rejected, this, &ReversalDialogs::backedOut);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { emit cancellationConfirmed(dialog->rrn(), dialog->amount()); });
    dialog->open();
}

RefundDialog *ReversalDialogs::refundDialog() const
{
    return m_refundDialog;
}

CancelDialog *ReversalDialogs::cancelDialog() const
{
    return m_cancelDialog;
}

} // namespace tillgui
