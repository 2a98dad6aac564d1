#include "transporterrors.h"

#include <restclient.h>

#include <QByteArray>

#include <cerrno>

namespace transport {

namespace {

// OpenSSL's verification results that deserve their own operator message.
constexpr long X509CertNotYetValid = 9;
constexpr long X509CertHasExpired = 10;
constexpr long X509SelfSignedLeaf = 18;
constexpr long X509SelfSignedInChain = 19;
constexpr long X509UnknownIssuerLocal = 20;
constexpr long X509UnableToVerifyLeaf = 21;
constexpr long X509HostnameMismatch = 62;

tr::Tr tlsVerificationMessage(long verifyResult)
{
    switch (verifyResult) {
    case X509CertHasExpired:
        return tr::Tr(
            QStringLiteral("restClientTlsExpired"),
            QStringLiteral("Сертификат сервера просрочен, защищённое соединение не установлено"));
    case X509CertNotYetValid:
        return tr::Tr(
            QStringLiteral("restClientTlsNotYetValid"),
            QStringLiteral("Сертификат сервера ещё не действует, проверьте дату и время на кассе"));
    case X509SelfSignedLeaf:
    case X509SelfSignedInChain:
    case X509UnknownIssuerLocal:
    case X509UnableToVerifyLeaf:
        return tr::Tr(QStringLiteral("restClientTlsUntrusted"),
                      QStringLiteral("Сертификат сервера выдан недоверенным центром сертификации"));
    case X509HostnameMismatch:
        return tr::Tr(
            QStringLiteral("restClientTlsHostMismatch"),
            QStringLiteral("Сертификат сервера выдан на другое имя, защищённое соединение не "
                           "установлено"));
    default:
        return tr::Tr(
            QStringLiteral("restClientTlsVerifyFailure"),
            QStringLiteral("Не удалось проверить сертификат сервера, защищённое соединение не "
                           "установлено"));
    }
}

// Why the server's certificate was refused, as OpenSSL's verification result. OpenSSL checks
// the chain during the handshake, and a chain it refuses ends the handshake with its own result
// (expired, untrusted, ...). libcurl checks the host name itself once the handshake is done,
// before it asks OpenSSL for the result: a refusal that leaves the result as libcurl set it
// beforehand (X509_V_ERR_UNSPECIFIED, "not verified yet") or at X509_V_OK is the name's, as a
// pinned key or a certificate status refuse with error codes of their own. libcurl's wording of
// the name's refusal changed between releases ("matches target host name", "does not match
// target hostname"), so the text decides only when the result is not to be had.
long peerVerificationResult(CURL *handle, const char *errorText)
{
    constexpr long X509Ok = 0;
    constexpr long X509Unspecified = 1;
    long verifyResult = X509Unspecified;
    if (curl_easy_getinfo(handle, CURLINFO_SSL_VERIFYRESULT, &verifyResult) == CURLE_OK) {
        return verifyResult == X509Ok || verifyResult == X509Unspecified ? X509HostnameMismatch
                                                                         : verifyResult;
    }
    const QByteArray detail = QByteArray(errorText).toLower();
    if (detail.contains("target host name") || detail.contains("target hostname"))
        return X509HostnameMismatch;
    return verifyResult;
}

// An https address aimed at a plain-http port: OpenSSL reads the server's HTTP answer as a TLS
// record and finds no TLS version, or a record length no TLS record has.
bool isPlainAnswerToTls(const char *errorText)
{
    const QByteArray detail = QByteArray(errorText).toLower();
    return detail.contains("wrong version number") || detail.contains("packet length too long") ||
           detail.contains("http request");
}

} // namespace

QString safeUrlText(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo);
}

bool isClientCertificateRejection(CURLcode code, const char *errorText)
{
    // A server that refuses our certificate says so with a TLS alert.
    const QByteArray detail = QByteArray(errorText).toLower();
    return (code == CURLE_SSL_CONNECT_ERROR || code == CURLE_RECV_ERROR ||
            code == CURLE_SEND_ERROR) &&
           detail.contains("alert") &&
           (detail.contains("certificate") || detail.contains("unknown ca"));
}

tr::Tr failureMessage(CURL *handle, CURLcode code, const char *errorText, bool bodyTooLarge,
                      const QUrl &url, const TransportSettings &settings)
{
    if (isClientCertificateRejection(code, errorText)) {
        return tr::Tr(
            QStringLiteral("restClientTlsClientRejected"),
            QStringLiteral("Сервер не принял сертификат клиента: проверьте сертификат кассы"));
    }

    if (bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return tr::Tr(QStringLiteral("restClientBodyTooLarge"),
                      QStringLiteral("Ответ сервера больше %1 МБ, он не принят"))
            .arg(tr::Tr(QString::number(RestClient::MaxBodySize / (1024 * 1024))));
    }

    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return tr::Tr(QStringLiteral("restClientTimeout"),
                      QStringLiteral("Сервер не ответил за %1 с."))
            .arg(tr::Tr(QString::number(settings.timeoutSeconds)));
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return tr::Tr(QStringLiteral("restClientHostNotFound"),
                      QStringLiteral("Сервер %1 не найден, проверьте адрес и сеть"))
            .arg(tr::Tr(url.host()));
    case CURLE_COULDNT_CONNECT: {
        long osErrno = 0;
        curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &osErrno);
        if (osErrno == ECONNREFUSED) {
            return tr::Tr(QStringLiteral("restClientConnectionRefused"),
                          QStringLiteral("Сервер недоступен: соединение отклонено"));
        }
        return tr::Tr(QStringLiteral("restClientUnreachable"),
                      QStringLiteral("Сервер недоступен: нет связи с %1"))
            .arg(tr::Tr(url.host()));
    }
    case CURLE_PEER_FAILED_VERIFICATION:
        return tlsVerificationMessage(peerVerificationResult(handle, errorText));
    case CURLE_SSL_CERTPROBLEM:
        return tr::Tr(QStringLiteral("restClientClientCertificate"),
                      QStringLiteral(
                          "Не удалось открыть сертификат клиента %1: проверьте файл и пароль"))
            .arg(tr::Tr(settings.certificatePath));
    case CURLE_SSL_CACERT_BADFILE:
        return tr::Tr(QStringLiteral("restClientCaFile"),
                      QStringLiteral("Не удалось прочитать файл корневых сертификатов %1"))
            .arg(tr::Tr(QString::fromLocal8Bit(settings.caFile)));
    case CURLE_SSL_CONNECT_ERROR:
        if (isPlainAnswerToTls(errorText))
            return tr::Tr(QStringLiteral("restClientNotTls"),
                          QStringLiteral("Сервер ответил не по TLS: проверьте схему и порт в "
                                         "адресе сервера"));
        return tr::Tr(QStringLiteral("restClientTlsFailure"),
                      QStringLiteral("Не удалось установить защищённое соединение с сервером"));
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return tr::Tr(QStringLiteral("restClientConnectionLost"),
                      QStringLiteral("Соединение с сервером прервано"));
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return tr::Tr(QStringLiteral("restClientBadUrl"),
                      QStringLiteral("Неверный адрес сервера: %1"))
            .arg(tr::Tr(safeUrlText(url)));
    default:
        return tr::Tr(QStringLiteral("restClientNetworkError"), QStringLiteral("Ошибка сети: %1"))
            .arg(tr::Tr(QString::fromUtf8(curl_easy_strerror(code))));
    }
}

tr::Tr badHeaderMessage(const QString &name)
{
    return tr::Tr(QStringLiteral("restClientBadHeader"),
                  QStringLiteral("Недопустимый заголовок запроса %1"))
        .arg(tr::Tr(name));
}

tr::Tr noTransportMessage()
{
    return tr::Tr(QStringLiteral("restClientNoTransport"),
                  QStringLiteral("Сетевой модуль кассы не запущен"));
}

} // namespace transport
