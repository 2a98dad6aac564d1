#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sandbox {

// One order as the sandbox holds it, with the life its scanned code chose and the refunds
// made against it. Money is kept in kopecks, so that refunds add up to the amount exactly.
struct Order
{
    struct Item
    {
        QString id;
        double quantity = 0;
        qint64 unitKopecks = 0;
        double refunded = 0;
    };

    struct Refund
    {
        QString id;
        qint64 totalKopecks = 0;
        QJsonArray items; // as the request named them
        QJsonObject answer;

        // {"id", "totalRefundedAmount"}
        QJsonObject view() const;
    };

    static const QString StatusCreated;
    static const QString StatusScoring;
    static const QString StatusApproved;
    static const QString StatusCompleted;
    static const QString StatusRejected;
    static const QString StatusCanceled;
    static const QString StatusRefunded;

    static qint64 toKopecks(double roubles);
    static double toRoubles(qint64 kopecks);

    // A new order in the first state of the life `code` chooses.
    Order(const QString &id, const QString &code);

    // {"id", "status", "amount"}, with "items" as the create sent them when `withItems`.
    QJsonObject view(bool withItems) const;
    // The refunds' views; `withItems` adds the positions each returned.
    QJsonArray refundsView(bool withItems) const;
    // Counts an info poll; after `pollsPerState` of them the order goes to its next state.
    void advance(int pollsPerState);
    // Puts the order into a state; a state on its own path resumes its life from there.
    void setStatus(const QString &newStatus);

    QString id;
    QString code;
    QString status;
    QStringList life;
    int step = 0;
    int pollsInState = 0;
    qint64 amountKopecks = 0;
    qint64 prepaidKopecks = 0;
    QJsonArray rawItems;
    QVector<Item> items;
    QVector<Refund> refunds;
};

} // namespace sandbox
