#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace sandbox {

// A request as the service received it, and how it was served.
struct RecordedRequest
{
    QString method;
    QString path;
    QMap<QString, QString> headers; // names lower-cased
    QByteArray body;
    // Filled in as the request is served: when it arrived (ms since the epoch), its number
    // since the service was made, the fault it met ("none" when none), the HTTP status
    // answered (0: no answer) and the order status the answer showed (see Sandbox::ledger()).
    qint64 receivedAtMs = 0;
    quint64 seq = 0;
    QString fault;
    int status = 0;
    QString shown;
};

} // namespace sandbox
