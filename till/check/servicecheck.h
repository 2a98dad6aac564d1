#pragma once

#include <QString>
#include <QUrl>

class Config;

namespace tr {
class Tr;
}

namespace till {

class CheckReport;

// The service part of `till check`: the host name, a TCP connection and the TLS handshake
// with verification on, then the credentials, through the same transport a sale uses. The one
// request sent asks for the status of an order nobody has made, so it changes nothing.
class ServiceCheck
{
public:
    // `url` and `timeoutSeconds` as the configuration check found them.
    ServiceCheck(const Config &config, const QUrl &url, int timeoutSeconds, CheckReport &report);

    // The checks a sale's exchanges need, in order.
    static QStringList checks();

    // Host name, connection and TLS; false when the service cannot be reached.
    bool checkConnection();
    void checkCredentials();

private:
    // Whether a request failed because the service closed a connection whose TLS handshake
    // had succeeded.
    bool cutAfterHandshake(const tr::Tr &message) const;

    const Config &m_config;
    QUrl m_url;
    int m_timeoutSeconds;
    CheckReport &m_report;
};

} // namespace till
