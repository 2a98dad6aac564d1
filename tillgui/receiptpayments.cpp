#include "receiptpayments.h"

#include <velmor/rounding.h>

#include <QMap>
#include <QVariant>

namespace tillgui {

void ReceiptPayments::addSale(const QString &orderId, int amount)
{
    m_lastSaleId = orderId;
    m_lastSaleAmount = amount;
    m_paidOrders[orderId] += amount;
    m_paid += amount;
}

void ReceiptPayments::addCancellation(const QString &orderId, int amount)
{
    if (!m_paidOrders.contains(orderId))
        return;
    const qint64 back = qMin<qint64>(amount, m_paidOrders.value(orderId));
    m_paid -= back;
    m_paidOrders[orderId] -= back;
    if (m_paidOrders.value(orderId) <= 0)
        m_paidOrders.remove(orderId);
    forgetLastSale(orderId);
}

bool ReceiptPayments::takeBackCancelled(const QVector<QueueDialog::Finding> &findings)
{
    bool changed = false;
    for (const QueueDialog::Finding &finding : findings) {
        const QString &orderId = finding.result.orderId;
        if (!finding.result.finished || !m_paidOrders.contains(orderId) ||
            finding.state.getStatus() != PaymentProcessingAnswer::Success)
            continue;
        // Only the order's state counts: cancelled, or refunded as much as was paid here.
        const QMap<QString, QVariant> state = finding.state.getAdditionalData();
        const qint64 refunded =
            velmor::kopecksOf(state.value(QStringLiteral("refunded")).toDouble());
        if (state.value(QStringLiteral("status")).toString() != QLatin1String("canceled") &&
            refunded < m_paidOrders.value(orderId))
            continue;
        m_paid -= m_paidOrders.take(orderId);
        forgetLastSale(orderId);
        changed = true;
    }
    return changed;
}

void ReceiptPayments::forgetLastSale(const QString &orderId)
{
    if (m_lastSaleId != orderId)
        return;
    m_lastSaleId.clear();
    m_lastSaleAmount = 0;
}

} // namespace tillgui
