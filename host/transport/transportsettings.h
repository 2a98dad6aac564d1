#pragma once

#include <QByteArray>
#include <QString>

namespace Log4Qt {
class Logger;
}

// The client's settings as one exchange or probe sees them, read once at its start so that a
// setter called from another thread meanwhile cannot change them halfway through.
struct TransportSettings
{
    const Log4Qt::Logger *logger = nullptr;
    // Always positive.
    int timeoutSeconds = 0;
    // As configured, for messages.
    QString certificatePath;
    // The same, as libcurl takes it.
    QByteArray encodedCertificatePath;
    // Overwritten once the transfer is over, so that the password does not linger in memory.
    QByteArray certificatePassword;
    // The host's extra CA file ("Network:caFile"), encoded; empty means the system store only.
    QByteArray caFile;
};
