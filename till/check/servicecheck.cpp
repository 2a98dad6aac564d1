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

namespace till {

namespace {

using CheckTexts::dateText;
using CheckTexts::text;
using Outcome = CheckResult::Outcome;

// A transport message as the cashier would see it, with its key for the catalogue.
QString transportText(const tr::Tr &message)
{
    return QStringLiteral("%1 (%2)").arg(message.ru(), message.key());
}

QString millisecondsText(qint64 microseconds)
{
    return QString::number(double(microseconds) / 1000.0, 'f', 1);
}

// What to do about a failed exchange, told by the transport's message: `fallback` unless the
// message names a cause with a remedy of its own.
QString transportHint(const tr::Tr &message, const char *fallback)
{
    const QString key = message.key();
    if (key == QLatin1String("restClientNotTls"))
        return text("notTlsHint");
    if (key == QLatin1String("restClientTlsClientRejected"))
        return text("clientCertificateRefusedHint");
    if (key == QLatin1String("restClientClientCertificate"))
        return text("certificatePasswordHint");
    return text(fallback);
}

// The transport settings a sale's client gets from the plug-in.
void configure(RestClient &client, const Config &config, int timeoutSeconds)
{
    client.setTimeout(timeoutSeconds);
    client.setCertificatePath(config.getString(velmor::clientkeys::CertificatePath));
    client.setCertificatePassword(config.getString(velmor::clientkeys::CertificatePassword));
}

} // namespace

ServiceCheck::ServiceCheck(const Config &config, const QUrl &url, int timeoutSeconds,
                           CheckReport &report)
    : m_config(config), m_url(url), m_timeoutSeconds(timeoutSeconds), m_report(report)
{}

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
                     text("hostHint"));
        m_report.skip(connectCheck, text("skipNoAddress"));
        m_report.skip(tlsCheck, text("skipNoAddress"));
        return false;
    }
    m_report.add(
        hostCheck, Outcome::Ok,
        text("hostOk").arg(host, probe.address.isEmpty() ? text("dateUnknown") : probe.address));

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
                         ? text("connectionCutHint")
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
                     text("credentialsHint"));
    else
        m_report.add(check, Outcome::Fail,
                     text("credentialsUnexpected").arg(response.httpCode).arg(answer),
                     text("credentialsUnexpectedHint"));
}

} // namespace till
