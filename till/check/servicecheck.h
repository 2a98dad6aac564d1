#pragma once

#include <QString>
#include <QUrl>

#include <functional>

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
    // A transport message as the till shows it in the cashier's language.
    using MessageText = std::function<QString(const tr::Tr &)>;

    // `url` and `timeoutSeconds` as the configuration check found them; `editFile` is the file
    // the hints send the administrator to; `messageText` shows the transport's messages (in
    // Russian, as the transport builds them, when empty).
    ServiceCheck(const Config &config, const QUrl &url, int timeoutSeconds, const QString &editFile,
                 const MessageText &messageText, CheckReport &report);

    // The checks a sale's exchanges need, in order.
    static QStringList checks();

    // Host name, connection and TLS; false when the service cannot be reached.
    bool checkConnection();
    void checkCredentials();

private:
    // Whether a request failed because the service closed a connection whose TLS handshake
    // had succeeded.
    bool cutAfterHandshake(const tr::Tr &message) const;
    // A transport message as the cashier would see it, with its key for the catalogue.
    QString transportText(const tr::Tr &message) const;
    // What to do about a failed exchange, told by the transport's message: `fallback` unless
    // the message names a cause with a remedy of its own.
    QString transportHint(const tr::Tr &message, const char *fallback) const;
    // The hint under `key`, which is mended in the configuration, naming the file to edit.
    QString editHint(const char *key) const;

    const Config &m_config;
    QUrl m_url;
    int m_timeoutSeconds;
    QString m_editFile;
    MessageText m_messageText;
    CheckReport &m_report;
};

} // namespace till
