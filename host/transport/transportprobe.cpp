#include "transportprobe.h"

#include "curlhandle.h"
#include "transporterrors.h"

#include <QDate>
#include <QStringList>
#include <QTime>

namespace transport {

namespace {

// libcurl gives a certificate's dates as OpenSSL prints them: "Jan  2 00:00:00 2020 GMT".
QDateTime parseCertificateTime(const QString &text)
{
    static const char *const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() < 4)
        return QDateTime();
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (parts.at(0) == QLatin1String(MonthNames[i]))
            month = i + 1;
    }
    const QDate date(parts.at(3).toInt(), month, parts.at(1).toInt());
    const QTime time = QTime::fromString(parts.at(2), QStringLiteral("HH:mm:ss"));
    if (month == 0 || !date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

// libcurl records the connect time only once the whole connection stands, TLS included, so
// a failed handshake is told by its error: those come after the TCP connection opened.
bool isHandshakeFailure(CURLcode code)
{
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return true;
    default:
        return false;
    }
}

// The server's certificate, the first of the chain that the handshake showed.
void readServerCertificate(CURL *handle, ConnectionProbe *probe)
{
    curl_certinfo *chain = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CERTINFO, &chain) != CURLE_OK || !chain ||
        chain->num_of_certs <= 0)
        return;
    for (curl_slist *field = chain->certinfo[0]; field; field = field->next) {
        const QString line = QString::fromUtf8(field->data);
        if (line.startsWith(QLatin1String("Subject:")))
            probe->serverSubject = line.mid(8).trimmed();
        else if (line.startsWith(QLatin1String("Expire date:")))
            probe->serverExpiry = parseCertificateTime(line.mid(12));
    }
}

} // namespace

ConnectionProbe probeConnection(const QUrl &url, const TransportSettings &settings,
                                const tls::Defaults &trust)
{
    ConnectionProbe probe;
    CurlHandle curl;
    if (!curl.isValid()) {
        probe.networkError = CURLE_FAILED_INIT;
        probe.errorMessage = noTransportMessage();
        return probe;
    }
    CURL *const handle = curl.get();
    const QByteArray encodedUrl = url.toEncoded();
    curl_easy_setopt(handle, CURLOPT_URL, encodedUrl.constData());
    curl_easy_setopt(handle, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(handle, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(settings.timeoutSeconds) * 1000L);
    tls::apply(handle, trust, settings);

    const CURLcode code = curl_easy_perform(handle);

    char *ip = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && ip && *ip)
        probe.address = QString::fromLatin1(ip);
    curl_off_t connectTime = 0;
    curl_off_t handshakeTime = 0;
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    curl_easy_getinfo(handle, CURLINFO_APPCONNECT_TIME_T, &handshakeTime);
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;

    probe.resolved = code != CURLE_COULDNT_RESOLVE_HOST && code != CURLE_URL_MALFORMAT &&
                     code != CURLE_UNSUPPORTED_PROTOCOL;
    probe.connected = code == CURLE_OK || (https && isHandshakeFailure(code));
    probe.secured = https && code == CURLE_OK;
    if (probe.connected && connectTime > 0)
        probe.connectMicroseconds = static_cast<qint64>(connectTime);
    if (probe.secured) {
        probe.handshakeMicroseconds = static_cast<qint64>(handshakeTime);
        readServerCertificate(handle, &probe);
    }
    if (code != CURLE_OK) {
        probe.networkError = static_cast<int>(code);
        probe.errorMessage = failureMessage(handle, code, curl.errorString(), false, url, settings);
    }
    return probe;
}

} // namespace transport
