#pragma once

#include "queuedialog.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <QtGlobal>

namespace tillgui {

// The sales paid on the current receipt at this screen, by order, in kopecks, and the last of
// them, which the cancellation and refund dialogs offer first. A cancellation done here, or a
// replay that finds an order cancelled or refunded in full, takes its order's sum back, so that
// the receipt is to pay again.
class ReceiptPayments
{
public:
    // A sale of `amount` paid as order `orderId`.
    void addSale(const QString &orderId, int amount);
    // A cancellation of `amount` done for order `orderId`: takes back as much of it as was
    // paid here. Nothing for an order not paid here.
    void addCancellation(const QString &orderId, int amount);
    // The orders paid here whose state the replay found cancelled, or refunded as much as was
    // paid here, are taken back; true when one was.
    bool takeBackCancelled(const QVector<QueueDialog::Finding> &findings);

    // The sum of the sales paid here.
    qint64 paid() const { return m_paid; }
    // The last paid sale still standing; empty, with amount 0, when there is none.
    QString lastSaleId() const { return m_lastSaleId; }
    int lastSaleAmount() const { return m_lastSaleAmount; }

private:
    void forgetLastSale(const QString &orderId);

    QHash<QString, qint64> m_paidOrders;
    qint64 m_paid = 0;
    QString m_lastSaleId;
    int m_lastSaleAmount = 0;
};

} // namespace tillgui
