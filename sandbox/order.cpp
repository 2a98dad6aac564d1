#include "order.h"

#include "sandbox.h"

#include <algorithm>
#include <cmath>

namespace sandbox {

const QString Order::StatusCreated = QStringLiteral("created");
const QString Order::StatusScoring = QStringLiteral("scoring");
const QString Order::StatusApproved = QStringLiteral("approved");
const QString Order::StatusCompleted = QStringLiteral("completed");
const QString Order::StatusRejected = QStringLiteral("rejected");
const QString Order::StatusCanceled = QStringLiteral("canceled");
const QString Order::StatusRefunded = QStringLiteral("refunded");

namespace {

QStringList lifeOf(const QString &code)
{
    if (code == QLatin1String(Sandbox::CodeReject))
        return {Order::StatusCreated, Order::StatusScoring, Order::StatusRejected};
    if (code == QLatin1String(Sandbox::CodeHold))
        return {Order::StatusCreated, Order::StatusScoring, Order::StatusApproved};
    if (code == QLatin1String(Sandbox::CodeServiceCancel))
        return {Order::StatusCreated, Order::StatusScoring, Order::StatusCanceled};
    if (code == QLatin1String(Sandbox::CodePaid))
        return {Order::StatusCompleted};
    return {Order::StatusCreated, Order::StatusScoring, Order::StatusApproved,
            Order::StatusCompleted};
}

} // namespace

qint64 Order::toKopecks(double roubles)
{
    return static_cast<qint64>(std::llround(roubles * 100.0));
}

double Order::toRoubles(qint64 kopecks)
{
    return static_cast<double>(kopecks) / 100.0;
}

QJsonObject Order::Refund::view() const
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("totalRefundedAmount"), toRoubles(totalKopecks)}};
}

Order::Order(const QString &orderId, const QString &scannedCode)
    : id(orderId), code(scannedCode), life(lifeOf(scannedCode))
{
    status = life.first();
}

QJsonObject Order::view(bool withItems) const
{
    QJsonObject result{{QStringLiteral("id"), id},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("amount"), toRoubles(amountKopecks)}};
    if (withItems)
        result.insert(QStringLiteral("items"), rawItems);
    return result;
}

QJsonArray Order::refundsView(bool withItems) const
{
    QJsonArray result;
    for (const Refund &refund : refunds) {
        QJsonObject element = refund.view();
        if (withItems)
            element.insert(QStringLiteral("items"), refund.items);
        result.append(element);
    }
    return result;
}

void Order::advance(int pollsPerState)
{
    // Only an order still on its scripted path moves on; a cancel, a refund or a state set by
    // a test takes it off the path.
    if (step >= life.size() || status != life.at(step) || step + 1 >= life.size())
        return;
    ++pollsInState;
    if (pollsInState >= std::max(1, pollsPerState)) {
        ++step;
        status = life.at(step);
        pollsInState = 0;
    }
}

void Order::setStatus(const QString &newStatus)
{
    status = newStatus;
    pollsInState = 0;
    const int found = life.indexOf(newStatus);
    if (found >= 0)
        step = found;
}

} // namespace sandbox
