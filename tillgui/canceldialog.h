#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tillgui {

class OrderIdField;

// Asks what a cancellation cancels: the sale's reference (RRN) and its amount in roubles.
// Enter cancels the payment once both are usable; otherwise the dialog says what is missing
// and stays. Escape backs out.
class CancelDialog : public QDialog
{
    Q_OBJECT

public:
    // `orderId` and `amount` (kopecks, 0 for none) fill the fields, e.g. from the last sale;
    // `maximum` is the most a cancellation may be for (the receipt's total), or negative when
    // there is no receipt to bound it.
    CancelDialog(const QString &orderId, int amount, qint64 maximum, QWidget *parent = nullptr);

    QString rrn() const;
    // Kopecks, once accepted.
    int amount() const { return m_accepted; }

    OrderIdField *rrnField() const { return m_rrn; }
    QLineEdit *amountField() const { return m_amount; }
    QPushButton *okButton() const { return m_ok; }
    QString noticeText() const;

public slots:
    void accept() override;

private:
    OrderIdField *m_rrn;
    QLineEdit *m_amount;
    QLabel *m_notice;
    QPushButton *m_ok;
    qint64 m_maximum;
    int m_accepted = 0;
};

} // namespace tillgui
