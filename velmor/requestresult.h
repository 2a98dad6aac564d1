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

// The decoded outcome of one exchange with the service. A default record reads as success
// with no status and no message.
struct RequestResult
{
    int httpCode = 0;
    QString id;
    bool success = true;
    bool noResponse = false;
    bool timedOut = false;
    // After a POST only: the connection ended after the request had gone out, so the service
    // may have acted on it although no answer came back.
    bool answerLost = false;
    QString errorCode;
    tr::Tr message;
    QJsonObject json;
    int orderStatus = Undefined;
};

// The outcome of an operation that failed before any exchange: nothing was sent.
inline RequestResult notSent(const tr::Tr &message, const QString &id = QString())
{
    RequestResult result;
    result.id = id;
    result.success = false;
    result.message = message;
    return result;
}

} // namespace velmor
