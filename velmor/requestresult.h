#pragma once

#include <QJsonObject>
#include <QString>
#include <tr.h>

namespace velmor {

// Order states as the service reports them in "order"."status". The numbers are fixed.
enum OrderStatus : int {
    Undefined = 0,
    Created = 1,
    Scoring = 2,
    Rejected = 3,
    Approved = 4,
    Canceled = 5,
    Refunded = 6,
    Completed = 7,
    Processed = 8,
};

// What an exchange says about whether the service saw the request. Everything that decides
// whether money may have moved (poll after a create, queue a cancellation or refund, finish a
// queued message) reads this, never the flags below on their own.
enum class Delivery {
    // A 200 answer with a JSON object and no "error": the service's own word.
    Answered,
    // An "error" object, whatever the HTTP status: the service refused the request.
    ServiceError,
    // Something answered but said nothing usable: another status without "error" (a gateway's
    // page, a redirect, 201, 202), a 200 without a JSON object, an answer about another order.
    // The service may have acted on the request before that answer was written.
    NoUse,
    // The request reached no service: refused, unresolved, TLS handshake failed, bad URL.
    NeverSent,
    // No answer within the timeout; the service may have acted on the request.
    TimedOut,
    // The connection broke after the request had gone out; the service may have acted on it.
    LostAfterSending,
};

// The decoded outcome of one exchange with the service. A default record reads as success
// with no status and no message. success, noResponse, timedOut and delivery are written
// together, by setOutcome() alone, so that whatever decides an outcome says all four.
struct RequestResult
{
    int httpCode = 0;
    QString id;
    bool success = true;
    bool noResponse = false;
    bool timedOut = false;
    QString errorCode;
    tr::Tr message;
    QJsonObject json;
    int orderStatus = Undefined;
    Delivery delivery = Delivery::Answered;

    // Sets how the exchange ended: whether the service saw the request (`delivered`), whether
    // the record counts as a success, whether no usable answer came (`noAnswer`), and whether
    // the transport said its exchange ran out of time.
    void setOutcome(Delivery delivered, bool succeeded, bool noAnswer = false,
                    bool transportTimedOut = false)
    {
        delivery = delivered;
        success = succeeded;
        noResponse = noAnswer;
        timedOut = transportTimedOut;
    }
    // The operation's verdict on the exchange, whose delivery stays as it was.
    void setSucceeded(bool succeeded) { setOutcome(delivery, succeeded, noResponse, timedOut); }

    // The service may have carried the request out, but its answer does not tell.
    bool isOutcomeUnknown() const
    {
        return delivery == Delivery::NoUse || delivery == Delivery::TimedOut ||
               delivery == Delivery::LostAfterSending;
    }
};

// The outcome of an operation that failed before any exchange: nothing was sent.
inline RequestResult notSent(const tr::Tr &message, const QString &id = QString())
{
    RequestResult result;
    result.id = id;
    result.setOutcome(Delivery::NeverSent, false);
    result.message = message;
    return result;
}

} // namespace velmor
