#include "servicecheck.h"

#include "certificatecheck.h"
#include "checkkeys.h"
#include "checkreport.h"
#include "checktexts.h"
#include <config.h>
#include <restclient.h>
#include <velmor/reachability.h>
#include <velmor/requestaddress.h>
#include <velmor/secretmask.h>

#include <QDateTime>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace till {

namespace {

using CheckTexts::dateText;
using CheckTexts::inFile;
using CheckTexts::text;
using Outcome = CheckResult::Outcome;

QString millisecondsText(qint64 microseconds)
{
    return QString::number(double(microseconds) / 1000.0, 'f', 1);
}

// The transport settings a sale's client gets from the plug-in.
void configure(RestClient &client, const Config &config, int timeoutSeconds)
{
    client.setTimeout(timeoutSeconds);
    client.setCertificatePath(config.getString(velmor::clientkeys::CertificatePath));
    client.setCertificatePassword(config.getString(velmor::clientkeys::CertificatePassword));
}

// Whether `host` is an address already, which no name service is asked about.
bool isAddressLiteral(const QString &host)
{
    const QByteArray bytes = host.toLatin1();
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, bytes.constData(), &v4) == 1 ||
           inet_pton(AF_INET6, bytes.constData(), &v6) == 1;
}

// The first address the system's resolver gives for `host`, as the transport would look it up;
// empty when it gives none.
QString firstAddress(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(QUrl::toAce(host).constData(), nullptr, &hints, &found) != 0 || !found)
        return QString();
    char text[INET6_ADDRSTRLEN] = {};
    const void *address =
        found->ai_family == AF_INET6
            ? static_cast<const void *>(
                  &reinterpret_cast<const sockaddr_in6 *>(found->ai_addr)->sin6_addr)
            : static_cast<const void *>(
                  &reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr);
    const bool shown = inet_ntop(found->ai_family, address, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    return shown ? QString::fromLatin1(text) : QString();
}

} // namespace

ServiceCheck::ServiceCheck(const Config &config, const QUrl &url, int timeoutSeconds,
                           const QString &editFile, const MessageText &messageText,
                           CheckReport &report)
    : m_config(config), m_url(url), m_timeoutSeconds(timeoutSeconds), m_editFile(editFile),
      m_messageText(messageText), m_report(report)
{}

QString ServiceCheck::transportText(const tr::Tr &message) const
{
    return QStringLiteral("%1 (%2)").arg(m_messageText ? m_messageText(message) : message.ru(),
                                         message.key());
}

QString ServiceCheck::transportHint(const tr::Tr &message, const char *fallback) const
{
    const QString key = message.key();
    if (key == QLatin1String("restClientNotTls"))
        return editHint("notTlsHint");
    if (key == QLatin1String("restClientTlsClientRejected"))
        return editHint("clientCertificateRefusedHint");
    if (key == QLatin1String("restClientClientCertificate"))
        return editHint("certificatePasswordHint");
    // Connecting is mended at the service or the network; the rest in the configuration.
    return qstrcmp(fallback, "connectHint") == 0 ? text(fallback) : editHint(fallback);
}

QString ServiceCheck::editHint(const char *key) const
{
    return inFile(text(key), m_editFile);
}

QStringList ServiceCheck::checks()
{
    return {text("checkHostName"), text("checkConnection"), text("checkTls"),
            text("checkCredentials")};
}

bool ServiceCheck::checkConnection()
{
    const QString hostCheck = text("checkHostName");
    const QString connectCheck = text("checkConnection");
    const QString tlsCheck = text("checkTls");

    RestClient client;
    configure(client, m_config, m_timeoutSeconds);
    const ConnectionProbe probe = client.probeConnection(m_url);
    const QString host = m_url.host();
    const bool https = m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const int port = m_url.port(https ? 443 : 80);

    if (!probe.resolved) {
        m_report.add(hostCheck, Outcome::Fail,
                     text("hostFail").arg(host, transportText(probe.errorMessage)),
                     editHint("hostHint"));
        m_report.skip(connectCheck, text("skipNoAddress"));
        m_report.skip(tlsCheck, text("skipNoAddress"));
        return false;
    }
    // The address the transport connected to; when it connected to none, what the name gives.
    QString address = probe.address;
    if (address.isEmpty() && !isAddressLiteral(host))
        address = firstAddress(host);
    m_report.add(hostCheck, Outcome::Ok,
                 isAddressLiteral(host)
                     ? text("hostAddress").arg(host)
                     : text("hostOk").arg(host, address.isEmpty() ? text("dateUnknown") : address));

    if (!probe.connected) {
        m_report.add(connectCheck, Outcome::Fail,
                     text("connectFail").arg(host).arg(port).arg(transportText(probe.errorMessage)),
                     transportHint(probe.errorMessage, "connectHint"));
        m_report.skip(tlsCheck, text("skipNoConnection"));
        return false;
    }
    m_report.add(connectCheck, Outcome::Ok,
                 text("connectOk")
                     .arg(host)
                     .arg(port)
                     .arg(probe.connectMicroseconds > 0
                              ? millisecondsText(probe.connectMicroseconds)
                              : text("dateUnknown")));

    if (!https) {
        m_report.add(tlsCheck, Outcome::Ok, text("tlsPlain"));
        return true;
    }
    if (!probe.secured) {
        m_report.add(tlsCheck, Outcome::Fail,
                     text("tlsFail").arg(transportText(probe.errorMessage)),
                     transportHint(probe.errorMessage, "tlsHint"));
        return false;
    }
    const QString found = text("tlsOk")
                              .arg(millisecondsText(probe.handshakeMicroseconds))
                              .arg(probe.serverSubject, dateText(probe.serverExpiry));
    if (probe.serverExpiry.isValid() &&
        probe.serverExpiry <
            QDateTime::currentDateTimeUtc().addDays(CertificateCheck::ExpiryWarningDays))
        m_report.add(tlsCheck, Outcome::Warn, text("tlsExpiresSoon").arg(found),
                     text("tlsRenewHint"));
    else
        m_report.add(tlsCheck, Outcome::Ok, found);
    return true;
}

bool ServiceCheck::cutAfterHandshake(const tr::Tr &message) const
{
    // The connection check has verified the handshake by then. Under TLS 1.3 a service checks
    // the client's certificate only after it, and one that refuses it may just close the
    // connection instead of sending an alert that names the certificate.
    return message.key() == QLatin1String("restClientConnectionLost") &&
           m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

void ServiceCheck::checkCredentials()
{
    const QString check = text("checkCredentials");
    // An order id nobody has used: the service can only say it does not know it, and only
    // after it has accepted the credentials. The verdict is the plug-in's connection test's.
    const QString orderId = velmor::probeOrderId();
    // The request is built as the plug-in builds its own, so that what passes here passes there.
    const QString login = m_config.getString(velmor::clientkeys::Login);
    const QString password = m_config.getString(velmor::clientkeys::Password);
    const QHash<QString, QString> headers =
        velmor::requestHeaders(velmor::basicCredentials(login, password), orderId);

    RestClient client;
    configure(client, m_config, m_timeoutSeconds);
    client.get(velmor::requestUrl(m_url, velmor::orderPath(orderId, QStringLiteral("info"))),
               headers);
    const RestResponse response = client.getResponse();
    const velmor::Reachability reach = velmor::judgeReachability(response);

    if (response.networkError > 0) {
        m_report.add(check, Outcome::Fail,
                     text("credentialsTransport").arg(transportText(response.errorMessage)),
                     cutAfterHandshake(response.errorMessage)
                         ? editHint("connectionCutHint")
                         : transportHint(response.errorMessage, "connectHint"));
        return;
    }
    const QJsonObject error = response.json.value(QStringLiteral("error")).toObject();
    const QString code = error.value(QStringLiteral("code")).toString();
    if (reach.isReachable()) {
        m_report.add(check, Outcome::Ok, text("credentialsOk").arg(response.httpCode));
        return;
    }
    // What the service said, which may quote the credentials it was sent (a proxy repeating
    // the Authorization header): masked before it is cut short, so that no piece is left.
    const QStringList secrets = velmor::credentialForms(login, password);
    QString answer;
    if (!error.isEmpty())
        answer = velmor::maskSecrets(
            QStringLiteral("%1 %2").arg(code, error.value(QStringLiteral("text")).toString()),
            secrets);
    else if (!response.json.isEmpty())
        answer = velmor::maskSecrets(
                     QString::fromUtf8(QJsonDocument(response.json).toJson(QJsonDocument::Compact)),
                     secrets)
                     .left(300);
    else
        answer = text("credentialsNoJson");
    if (reach.verdict == velmor::Reachability::Verdict::CredentialsRefused)
        m_report.add(check, Outcome::Fail,
                     text("credentialsRefused").arg(response.httpCode).arg(answer),
                     editHint("credentialsHint"));
    else
        m_report.add(check, Outcome::Fail,
                     text("credentialsUnexpected").arg(response.httpCode).arg(answer),
                     editHint("credentialsUnexpectedHint"));
}

} // namespace till
