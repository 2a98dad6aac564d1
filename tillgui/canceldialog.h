#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tillgui {

class ConfirmDialog;
class OrderIdField;

// Asks what a cancellation cancels: the sale's reference (RRN) and its amount in roubles.
// Enter, once both are usable, shows what goes back in a confirmation that Enter cannot pass
// (see ConfirmDialog); otherwise the dialog says what is missing and stays. The dialog is
// accepted only once that is confirmed. Escape backs out. A code scanned into the reference
// is refused: only an order id is one.
class CancelDialog : public QDialog
{
    Q_OBJECT

public:
    // `orderId` and `amount` (kopecks, 0 for none) fill the fields, e.g. from the last sale;
    // `maximum` is the most a cancellation may be for (the receipt's total), or negative when
    // there is no receipt to bound it.
    CancelDialog(const QString &orderId, int amount, qint64 maximum, QWidget *parent = nullptr);

    // Whether a cancellation of order `orderId` already waits in the queue.
    using QueuedCheck = std::function<bool(const QString &orderId)>;
    void setQueuedCheck(const QueuedCheck &check) { m_queuedCheck = check; }

    QString rrn() const;
    // Kopecks, once accepted.
    int amount() const { return m_accepted; }

    OrderIdField *rrnField() const { return m_rrn; }
    QLineEdit *amountField() const { return m_amount; }
    QPushButton *okButton() const { return m_ok; }
    QString noticeText() const;
    // The confirmation on screen, null when none is.
    ConfirmDialog *confirmation() const;

public slots:
    void accept() override;

private:
    void confirm(int amount);

    OrderIdField *m_rrn;
    QLineEdit *m_amount;
    QLabel *m_notice;
    QPushButton *m_ok;
    qint64 m_maximum;
    int m_accepted = 0;
    QueuedCheck m_queuedCheck;
    QPointer<ConfirmDialog> m_confirmation;
};

} // namespace tillgui
