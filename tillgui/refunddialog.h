#pragma once

#include <document.h>

#include <QDialog>
#include <QSharedPointer>
#include <QVector>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;

// Asks what a refund returns: the sale's reference (RRN) and, per position of the current
// receipt, the quantity brought back. The refund receipt the plug-in then reads holds the
// returned positions with that quantity as "bquant".
class RefundDialog : public QDialog
{
    Q_OBJECT

public:
    // `receipt` may be null: then only the reference is asked, and the amount is the till's.
    explicit RefundDialog(const QSharedPointer<Document> &receipt, QWidget *parent = nullptr);

    QString rrn() const;
    // The returned positions; null without a receipt.
    QSharedPointer<Document> refundReceipt() const;
    // Kopecks of the returned quantities at each position's unit price; 0 without a receipt.
    int amount() const;

    QLineEdit *rrnField() const { return m_rrn; }

private:
    void updateAmount();

    QSharedPointer<Document> m_receipt;
    QLineEdit *m_rrn;
    QVector<QDoubleSpinBox *> m_returned;
    QLabel *m_amount;
};
