#pragma once

#include <document.h>

#include <QDialog>
#include <QSharedPointer>
#include <QVector>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tillgui {

class OrderIdField;

// Asks what a refund returns: the sale's reference (RRN) and, per position of the current
// receipt, the quantity brought back. The refund receipt the plug-in then reads holds the
// returned positions with that quantity as "bquant". Every column fits the dialog, which fits
// the till's screen; Enter refunds once the reference is there and something is returned,
// otherwise the dialog says what is missing and stays.
class RefundDialog : public QDialog
{
    Q_OBJECT

public:
    // `receipt` may be null: then the dialog asks the reference and the amount in roubles.
    explicit RefundDialog(const QSharedPointer<Document> &receipt, QWidget *parent = nullptr);

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

public slots:
    void accept() override;

private:
    void updateAmount();

    QSharedPointer<Document> m_receipt;
    OrderIdField *m_rrn;
    QTableWidget *m_table = nullptr;
    QLineEdit *m_typedAmount = nullptr;
    QVector<QDoubleSpinBox *> m_returned;
    QLabel *m_amount;
    QLabel *m_notice;
};

} // namespace tillgui
