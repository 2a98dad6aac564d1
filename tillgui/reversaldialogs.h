#pragma once

#include "pendingreversals.h"

#include <document.h>

#include <QObject>
#include <QPointer>
#include <QSharedPointer>

class DBQueueBroker;
class QWidget;

namespace tillgui {

class CancelDialog;
class RefundDialog;

// The main window's refund and cancellation dialogs, at most one of each at a time. Each warns
// of the same already waiting in the host's queue, and hands on what the cashier confirmed; the
// operation itself is the window's.
class ReversalDialogs : public QObject
{
    Q_OBJECT

public:
    // The dialogs are `window`'s; `queue` outlives this.
    ReversalDialogs(QWidget *window, DBQueueBroker *queue);

    // Opens the refund dialog for `receipt` (may be null), its reference filled with
    // `orderId`, e.g. the last paid sale's.
    void askRefund(const QSharedPointer<Document> &receipt, const QString &orderId);
    // Opens the cancellation dialog (see CancelDialog for the arguments).
    void askCancel(const QString &orderId, int amount, qint64 maximum);

    // The open dialog, null when none is open.
    RefundDialog *refundDialog() const;
    CancelDialog *cancelDialog() const;

signals:
    // The cashier confirmed a refund of `amount` kopecks of order `rrn` with the positions of
    // `refundReceipt` (null without a receipt).
    void refundConfirmed(const QString &rrn, const QSharedPointer<Document> &refundReceipt,
                         int amount);
    void cancellationConfirmed(const QString &rrn, int amount);
    // A dialog was left without an operation.
    void backedOut();

private:
    QWidget *m_window;
    PendingReversals m_pending;
    // Dialogs delete themselves on close; the pointers clear themselves with them, also while
    // the window is being destroyed.
    QPointer<RefundDialog> m_refundDialog;
    QPointer<CancelDialog> m_cancelDialog;
};

} // namespace tillgui
