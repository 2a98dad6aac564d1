#pragma once

#include <paymentprocessinganswer.h>
#include <velmor/journal.h>

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor {
class Interface;
struct RequestResult;
} // namespace velmor

// The reconciliation of a day: every order the journal holds for it is asked about once at the
// service, and what the service shows is held against what the till recorded. Only the
// service's own answer about the order counts; an order it could not be asked about (no answer,
// a 5xx, an answer about another order, any error but "order_not_found") is listed as not
// checked, never as a mismatch nor as agreeing.
class Reconciliation
{
public:
    // Each a mismatch the manager acts on. Their names are what the answer's additional data
    // carry.
    enum class Mismatch {
        // The till recorded the sale paid; the service shows it cancelled, rejected or unpaid.
        PaidNotAtService,
        // The till recorded the sale failed or reversed; the service shows it paid.
        FailedButPaid,
        // What the till refunded differs from what the service shows refunded.
        RefundedDiffers,
        // An entry whose outcome is still not known, or a queued one the service has not seen
        // carried out.
        StillOpen,
    };

    // The status request of one order, bounded by the client's timeout.
    using Ask = std::function<velmor::RequestResult(const QString &orderId)>;
    // Called before each order is asked: how many were asked so far, and of how many.
    using Progress = std::function<void(int asked, int orders)>;

    Reconciliation(const QDate &day, const QList<velmor::Journal::Entry> &entries);

    // Asks the service about every order and answers as the host's reconciliation does:
    // success when everything agrees, SuccessWithMessage listing the mismatches and the orders
    // not checked, a failure when no order could be asked at all. The print images are the
    // reconciliation's lines at `width`.
    PaymentProcessingAnswer run(const Ask &ask, const Progress &progress, int width);

    static QString mismatchName(Mismatch mismatch);

    // The reconciliation of the current day (ShiftReport::dayStart()) of `journal`, asking
    // through `client`, whose progress display shows each order asked.
    static PaymentProcessingAnswer ofToday(velmor::Journal &journal, velmor::Interface &client);

private:
    struct Till;
    struct Found
    {
        QString orderId;
        Mismatch mismatch;
        QString text;
    };

    // Holds the service's answer `result` about one order against what the till recorded.
    void compare(const Till &till, const velmor::RequestResult &result);
    void add(const QString &orderId, Mismatch mismatch, const tr::Tr &text);

    QDate m_day;
    QList<velmor::Journal::Entry> m_entries;
    QList<Found> m_found;
    QStringList m_notAsked;
    // What the service showed: orders paid (of those sold that day) and their sum, the sum
    // refunded, orders cancelled.
    int m_servicePaid = 0;
    qint64 m_servicePaidKopecks = 0;
    qint64 m_serviceRefundedKopecks = 0;
};
