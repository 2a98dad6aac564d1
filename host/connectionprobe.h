#pragma once

#include "tr.h"

#include <QDateTime>
#include <QString>

// What opening a connection to a server showed, without sending a request: how far it got,
// how long each step took, and for TLS the server's certificate.
struct ConnectionProbe
{
    bool resolved = false;  // the host name gave an address
    bool connected = false; // the TCP connection opened
    bool secured = false;   // the TLS handshake succeeded with verification on (https only)
    QString address;        // the address connected to, when resolved
    qint64 connectMicroseconds = -1;   // from the start to the TCP connection
    qint64 handshakeMicroseconds = -1; // from the start to the end of the TLS handshake
    QString serverSubject;
    QDateTime serverExpiry; // UTC; invalid when unknown
    // Greater than 0 when a step failed; the message is the one an exchange would give.
    int networkError = 0;
    tr::Tr errorMessage;
};
