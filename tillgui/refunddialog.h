#pragma once

#include <document.h>

#include <QDialog>
#include <QPointer>
#include <QSharedPointer>
#include <QVector>

#include <functional>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tillgui {

class ConfirmDialog;
class OrderIdField;

// Asks what a refund returns: the sale's reference (RRN) and, per position of the current
// receipt, the quantity brought back. The refund receipt the plug-in then reads holds the
// returned positions with that quantity as "bquant". Every column fits the dialog, which fits
// the till's screen. Enter, once the reference is there and something is returned, shows
// what goes back in a confirmation that Enter cannot pass (see ConfirmDialog); otherwise the
// dialog says what is missing and stays. The dialog is accepted only once that is confirmed.
class RefundDialog : public QDialog
{
    Q_OBJECT

public:
    // Whether a refund of `amount` kopecks for order `orderId` already waits in the queue.
    using QueuedCheck = std::function<bool(const QString &orderId, int amount)>;

    // `receipt` may be null: then the dialog asks the reference and the amount in roubles.
    // `orderId` fills the reference, e.g. with the last paid sale's order.
    explicit RefundDialog(const QSharedPointer<Document> &receipt,
                          const QString &orderId = QString(), QWidget *parent = nullptr);

    void setQueuedCheck(const QueuedCheck &check) { m_queuedCheck = check; }

    QString rrn() const;
    // The returned positions; null without a receipt.
    QSharedPointer<Document> refundReceipt() const;
    // Kopecks: the returned quantities at each position's unit price, or what was typed
    // without a receipt (0 until it is usable).
    int amount() const;

    OrderIdField *rrnField() const { return m_rrn; }
    // Null without a receipt.
    QTableWidget *table() const { return m_table; }
    QDoubleSpinBox *returnedField(int row) const { return m_returned.value(row); }
    QString noticeText() const;
    // The confirmation on screen, null when none is.
    ConfirmDialog *confirmation() const;

public slots:
    void accept() override;

private:
    void updateAmount();
    void confirm();

    QSharedPointer<Document> m_receipt;
    OrderIdField *m_rrn;
    QTableWidget *m_table = nullptr;
    QLineEdit *m_typedAmount = nullptr;
    QVector<QDoubleSpinBox *> m_returned;
    QLabel *m_amount;
    QLabel *m_notice;
    QueuedCheck m_queuedCheck;
    QPointer<ConfirmDialog> m_confirmation;
};

} // namespace tillgui
