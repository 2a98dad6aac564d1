#include "restclient.h"

#include "config.h"
#include "log4qt/logger.h"
#include "singleton.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QStringList>
#include <QThread>

#include <curl/curl.h>

#include <cerrno>
#include <limits>
#include <mutex>

namespace {

// A timeout of zero or less must not mean "wait forever": a till that hangs on a dead
// server is worse than one that reports it.
constexpr int DefaultTimeoutSeconds = 60;

// Where Debian-style systems keep the hashed trust store; used next to an extra CA file so
// that the system's authorities stay trusted when the host names one of its own.
const char *const SystemCaPath = "/etc/ssl/certs";

// OpenSSL's verification results that deserve their own operator message.
constexpr long X509CertNotYetValid = 9;
constexpr long X509CertHasExpired = 10;
constexpr long X509SelfSignedLeaf = 18;
constexpr long X509SelfSignedInChain = 19;
constexpr long X509UnknownIssuerLocal = 20;
constexpr long X509UnableToVerifyLeaf = 21;
constexpr long X509HostnameMismatch = 62;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What one exchange leaves behind for the thread that ran it.
struct ExchangeState
{
    RestResponse response;
    bool timedOut = false;
};

// The body as it arrives, capped so that a runaway answer cannot eat the till's memory.
struct BodySink
{
    QByteArray data;
    bool tooLarge = false;
};

size_t writeBody(char *ptr, size_t size, size_t nmemb, void *userdata)
{
    auto *sink = static_cast<BodySink *>(userdata);
    const size_t bytes = size * nmemb;
    if (static_cast<qint64>(sink->data.size()) + static_cast<qint64>(bytes) >
        RestClient::MaxBodySize) {
        sink->tooLarge = true;
        // Returning less than was offered makes libcurl abort the transfer.
        return 0;
    }
    sink->data.append(ptr, static_cast<int>(bytes));
    return bytes;
}

// A header line must stay one line: a CR or LF in a name or value would let the caller's
// data forge further headers or a second request.
bool isSafeHeaderPart(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) &&
           !text.contains(QChar(0));
}

QString safeUrlText(const QUrl &url)
{
    return url.toString(QUrl::RemoveUserInfo);
}

tr::Tr tlsVerificationMessage(long verifyResult)
{
    switch (verifyResult) {
    case X509CertHasExpired:
        return tr::Tr("restClientTlsExpired",
                      "Сертификат сервера просрочен, защищённое соединение не установлено");
    case X509CertNotYetValid:
        return tr::Tr("restClientTlsNotYetValid",
                      "Сертификат сервера ещё не действует, проверьте дату и время на кассе");
    case X509SelfSignedLeaf:
    case X509SelfSignedInChain:
    case X509UnknownIssuerLocal:
    case X509UnableToVerifyLeaf:
        return tr::Tr("restClientTlsUntrusted",
                      "Сертификат сервера выдан недоверенным центром сертификации");
    case X509HostnameMismatch:
        return tr::Tr("restClientTlsHostMismatch",
                      "Сертификат сервера выдан на другое имя, защищённое соединение не "
                      "установлено");
    default:
        return tr::Tr("restClientTlsVerifyFailure",
                      "Не удалось проверить сертификат сервера, защищённое соединение не "
                      "установлено");
    }
}

} // namespace

class RestClient::Private
{
public:
    Private()
    {
        initCurlOnce();
        curl = curl_easy_init();
        if (curl) {
            // The library's own defaults, to fall back on when the host names no extra CA.
#if LIBCURL_VERSION_NUM >= 0x075400
            char *info = nullptr;
            if (curl_easy_getinfo(curl, CURLINFO_CAINFO, &info) == CURLE_OK && info)
                defaultCaInfo = info;
            info = nullptr;
            if (curl_easy_getinfo(curl, CURLINFO_CAPATH, &info) == CURLE_OK && info)
                defaultCaPath = info;
#endif
            setFixedOptions();
        }
    }

    ~Private()
    {
        std::lock_guard<std::mutex> lock(exchangeMutex);
        if (curl)
            curl_easy_cleanup(curl);
    }

    // Options that hold for every exchange; the handle keeps them between requests.
    void setFixedOptions()
    {
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeBody);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(RestClient::MaxBodySize));
#if LIBCURL_VERSION_NUM >= 0x075500
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
#else
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS,
                         static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    }

    void exchange(const QUrl &url, const QByteArray *body, const QHash<QString, QString> &headers);

    // The trust store (system plus the host's extra CA file) and the client certificate, the
    // same for exchanges and probes. The byte arrays must outlive the transfer.
    void applyTlsSettings(CURL *handle, const QByteArray &caFile, const QByteArray &certPath,
                          const QByteArray &certPassword) const
    {
        if (caFile.isEmpty()) {
            curl_easy_setopt(handle, CURLOPT_CAINFO,
                             defaultCaInfo.isEmpty() ? nullptr : defaultCaInfo.constData());
            curl_easy_setopt(handle, CURLOPT_CAPATH,
                             defaultCaPath.isEmpty() ? nullptr : defaultCaPath.constData());
        } else {
            curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.constData());
            curl_easy_setopt(handle, CURLOPT_CAPATH,
                             defaultCaPath.isEmpty() ? SystemCaPath : defaultCaPath.constData());
        }

        if (certPath.isEmpty()) {
            curl_easy_setopt(handle, CURLOPT_SSLCERT, nullptr);
            curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, nullptr);
            curl_easy_setopt(handle, CURLOPT_KEYPASSWD, nullptr);
        } else {
            curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, "P12");
            curl_easy_setopt(handle, CURLOPT_SSLCERT, certPath.constData());
            curl_easy_setopt(handle, CURLOPT_KEYPASSWD, certPassword.constData());
        }
    }

    void storeState(const ExchangeState &state)
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        states.insert(QThread::currentThreadId(), state);
    }

    ExchangeState currentState() const
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        return states.value(QThread::currentThreadId());
    }

    // Guards the easy handle: one exchange at a time.
    std::mutex exchangeMutex;
    CURL *curl = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray defaultCaInfo;
    QByteArray defaultCaPath;

    // Guards the settings and the per-thread results, so that reading them never waits
    // for another thread's exchange to end.
    mutable std::mutex stateMutex;
    const Log4Qt::Logger *logger = nullptr;
    int timeoutSeconds = DefaultTimeoutSeconds;
    QString certificatePath;
    QString certificatePassword;
    QHash<Qt::HANDLE, ExchangeState> states;
};

namespace {

tr::Tr failureMessage(CURL *curl, CURLcode code, bool bodyTooLarge, int timeoutSeconds,
                      const QUrl &url, const QString &certificatePath, const QByteArray &caFile,
                      const char *errorText)
{
    // A server that refuses our certificate says so with a TLS alert; with TLS 1.3 the alert
    // comes after the handshake, so it surfaces as a failed read rather than a failed connect.
    const QByteArray detail = QByteArray(errorText).toLower();
    if ((code == CURLE_SSL_CONNECT_ERROR || code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR) &&
        detail.contains("alert") &&
        (detail.contains("certificate") || detail.contains("unknown ca"))) {
        return tr::Tr("restClientTlsClientRejected",
                      "Сервер не принял сертификат клиента: проверьте сертификат кассы");
    }

    if (bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return tr::Tr("restClientBodyTooLarge", "Ответ сервера больше %1 МБ, он не принят")
            .arg(tr::Tr(QString::number(RestClient::MaxBodySize / (1024 * 1024))));
    }

    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return tr::Tr("restClientTimeout", "Сервер не ответил за %1 с.")
            .arg(tr::Tr(QString::number(timeoutSeconds)));
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return tr::Tr("restClientHostNotFound", "Сервер %1 не найден, проверьте адрес и сеть")
            .arg(tr::Tr(url.host()));
    case CURLE_COULDNT_CONNECT: {
        long osErrno = 0;
        curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
        if (osErrno == ECONNREFUSED) {
            return tr::Tr("restClientConnectionRefused", "Сервер недоступен: соединение отклонено");
        }
        return tr::Tr("restClientUnreachable", "Сервер недоступен: нет связи с %1")
            .arg(tr::Tr(url.host()));
    }
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verifyResult = 0;
        curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
        // libcurl checks the name itself once OpenSSL has accepted the chain, and tells of a
        // mismatch only in its error text.
        if (detail.contains("target host name"))
            verifyResult = X509HostnameMismatch;
        return tlsVerificationMessage(verifyResult);
    }
    case CURLE_SSL_CERTPROBLEM:
        return tr::Tr("restClientClientCertificate",
                      "Не удалось открыть сертификат клиента %1: проверьте файл и пароль")
            .arg(tr::Tr(certificatePath));
    case CURLE_SSL_CACERT_BADFILE:
        return tr::Tr("restClientCaFile", "Не удалось прочитать файл корневых сертификатов %1")
            .arg(tr::Tr(QString::fromLocal8Bit(caFile)));
    case CURLE_SSL_CONNECT_ERROR:
        return tr::Tr("restClientTlsFailure",
                      "Не удалось установить защищённое соединение с сервером");
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return tr::Tr("restClientConnectionLost", "Соединение с сервером прервано");
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return tr::Tr("restClientBadUrl", "Неверный адрес сервера: %1")
            .arg(tr::Tr(safeUrlText(url)));
    default:
        return tr::Tr("restClientNetworkError", "Ошибка сети: %1")
            .arg(tr::Tr(QString::fromUtf8(curl_easy_strerror(code))));
    }
}

} // namespace

void RestClient::Private::exchange(const QUrl &url, const QByteArray *body,
                                   const QHash<QString, QString> &headers)
{
    const char *const method = body ? "POST" : "GET";

    const Log4Qt::Logger *log = nullptr;
    int timeout = DefaultTimeoutSeconds;
    QByteArray certPath;
    QByteArray certPassword;
    QString certPathText;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        log = logger;
        if (timeoutSeconds > 0)
            timeout = timeoutSeconds;
        certPathText = certificatePath;
        certPath = QFile::encodeName(certificatePath);
        certPassword = certificatePassword.toUtf8();
    }
    QByteArray caFile;
    if (const Config *config = Singleton<Config>::instance)
        caFile = QFile::encodeName(config->getString(QStringLiteral("Network:caFile")));

    ExchangeState state;
    QElapsedTimer elapsed;
    elapsed.start();

    // The outcome comes as a callable: the line costs more than a fast exchange's own work, so
    // none of it is built unless an appender would receive it.
    auto finish = [&](const auto &describeOutcome) {
        storeState(state);
        if (log && log->wouldLog(Log4Qt::Level::DEBUG_INT)) {
            // One substitution pass: a URL's percent escapes must not be taken for markers.
            log->debug(QStringLiteral("%1 %2 -> %3, %4 ms")
                           .arg(QLatin1String(method), safeUrlText(url), describeOutcome(),
                                QString::number(elapsed.elapsed())));
        }
    };

    curl_slist *headerList = nullptr;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().isEmpty() || !isSafeHeaderPart(it.key()) || !isSafeHeaderPart(it.value()) ||
            it.key().contains(QLatin1Char(':'))) {
            curl_slist_free_all(headerList);
            state.response.networkError = CURLE_BAD_FUNCTION_ARGUMENT;
            state.response.errorMessage =
                tr::Tr("restClientBadHeader", "Недопустимый заголовок запроса %1")
                    .arg(tr::Tr(isSafeHeaderPart(it.key()) ? it.key() : QString()));
            finish([] { return QStringLiteral("rejected header"); });
            return;
        }
        // "Name;" is libcurl's way to send a header with an empty value; "Name:" would
        // remove it instead.
        const QString line = it.value().isEmpty() ? it.key() + QLatin1Char(';')
                                                  : it.key() + QStringLiteral(": ") + it.value();
        headerList = curl_slist_append(headerList, line.toUtf8().constData());
    }
    if (body) {
        // Some servers never answer "100 Continue"; waiting for it would cost a second.
        headerList = curl_slist_append(headerList, "Expect:");
    }

    std::unique_lock<std::mutex> exchangeLock(exchangeMutex);
    if (!curl) {
        curl_slist_free_all(headerList);
        state.response.networkError = CURLE_FAILED_INIT;
        state.response.errorMessage =
            tr::Tr("restClientNoTransport", "Сетевой модуль кассы не запущен");
        finish([] { return QStringLiteral("no transport"); });
        return;
    }

    BodySink sink;
    errorBuffer[0] = '\0';
    const QByteArray encodedUrl = url.toEncoded();
    curl_easy_setopt(curl, CURLOPT_URL, encodedUrl.constData());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout) * 1000L);
    if (body) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    applyTlsSettings(curl, caFile, certPath, certPassword);

    const CURLcode code = curl_easy_perform(curl);

    // The list and the body belong to this call; the handle must not point at them later.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    if (body)
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    curl_slist_free_all(headerList);
    certPassword.fill('\0');

    long httpCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &httpCode);
    state.response.httpCode = static_cast<int>(httpCode);

    // Set only on failure: the error buffer belongs to the handle and must be read under its lock.
    int failureCode = 0;
    QString failureDetail;
    if (code == CURLE_OK && !sink.tooLarge) {
        // Only a complete answer is worth decoding: half a body could parse as something else.
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(sink.data, &parseError);
        if (parseError.error == QJsonParseError::NoError && document.isObject())
            state.response.json = document.object();
    } else {
        const CURLcode reported = code == CURLE_OK ? CURLE_WRITE_ERROR : code;
        state.response.networkError = static_cast<int>(reported);
        state.timedOut = reported == CURLE_OPERATION_TIMEDOUT;
        state.response.errorMessage = failureMessage(curl, reported, sink.tooLarge, timeout, url,
                                                     certPathText, caFile, errorBuffer);
        // A refused client certificate ends the handshake, whichever read reports it: the
        // request was never taken, and callers that tell a lost answer from a refusal by the
        // code must see a handshake failure.
        if (state.response.errorMessage.key() == QLatin1String("restClientTlsClientRejected"))
            state.response.networkError = CURLE_SSL_CONNECT_ERROR;
        failureCode = static_cast<int>(reported);
        failureDetail = errorBuffer[0] ? QString::fromUtf8(errorBuffer)
                                       : QString::fromUtf8(curl_easy_strerror(reported));
    }
    exchangeLock.unlock();
    finish([&] {
        if (failureCode == 0)
            return QStringLiteral("HTTP %1").arg(httpCode);
        QString outcome = QStringLiteral("error %1 (%2)").arg(failureCode).arg(failureDetail);
        if (httpCode > 0)
            outcome += QStringLiteral(" after HTTP %1").arg(httpCode);
        return outcome;
    });
}

RestClient::RestClient(QObject *parent) : QObject(parent), d(new Private) {}

RestClient::~RestClient() = default;

void RestClient::setLogger(const Log4Qt::Logger *logger)
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    d->logger = logger;
}

void RestClient::setTimeout(int seconds)
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    d->timeoutSeconds = seconds;
}

void RestClient::setCertificatePath(const QString &path)
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    d->certificatePath = path;
}

void RestClient::setCertificatePassword(const QString &password)
{
    std::lock_guard<std::mutex> lock(d->stateMutex);
    d->certificatePassword = password;
}

void RestClient::get(const QUrl &url, const QHash<QString, QString> &headers)
{
    d->exchange(url, nullptr, headers);
}

void RestClient::post(const QUrl &url, const QByteArray &body,
                      const QHash<QString, QString> &headers)
{
    d->exchange(url, &body, headers);
}

RestResponse RestClient::getResponse() const
{
    return d->currentState().response;
}

bool RestClient::isTimedOut() const
{
    return d->currentState().timedOut;
}

namespace {

// libcurl gives a certificate's dates as OpenSSL prints them: "Jan  2 00:00:00 2020 GMT".
QDateTime parseCertificateTime(const QString &text)
{
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QStringList parts = text.simplified().split(QLatin1Char(' '));
    if (parts.size() < 4)
        return QDateTime();
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (parts.at(0) == QLatin1String(months[i]))
            month = i + 1;
    }
    const QDate date(parts.at(3).toInt(), month, parts.at(1).toInt());
    const QTime time = QTime::fromString(parts.at(2), QStringLiteral("HH:mm:ss"));
    if (month == 0 || !date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

ConnectionProbe RestClient::probeConnection(const QUrl &url) const
{
    ConnectionProbe probe;
    int timeout = DefaultTimeoutSeconds;
    QByteArray certPath;
    QByteArray certPassword;
    QString certPathText;
    {
        std::lock_guard<std::mutex> lock(d->stateMutex);
        if (d->timeoutSeconds > 0)
            timeout = d->timeoutSeconds;
        certPathText = d->certificatePath;
        certPath = QFile::encodeName(d->certificatePath);
        certPassword = d->certificatePassword.toUtf8();
    }
    QByteArray caFile;
    if (const Config *config = Singleton<Config>::instance)
        caFile = QFile::encodeName(config->getString(QStringLiteral("Network:caFile")));

    // A handle of its own: the exchanges' handle keeps its connection for the next request.
    CURL *handle = curl_easy_init();
    if (!handle) {
        probe.networkError = CURLE_FAILED_INIT;
        probe.errorMessage = tr::Tr("restClientNoTransport", "Сетевой модуль кассы не запущен");
        return probe;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray encodedUrl = url.toEncoded();
    curl_easy_setopt(handle, CURLOPT_URL, encodedUrl.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(handle, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout) * 1000L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS,
                     static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    d->applyTlsSettings(handle, caFile, certPath, certPassword);

    const CURLcode code = curl_easy_perform(handle);
    certPassword.fill('\0');

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
    // libcurl records the connect time only once the whole connection stands, TLS included,
    // so a failed handshake is told by its error: those come after the TCP connection opened.
    bool tlsFailed = false;
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
        tlsFailed = https;
        break;
    default:
        break;
    }
    probe.connected = code == CURLE_OK || tlsFailed;
    probe.secured = https && code == CURLE_OK;
    if (probe.connected && connectTime > 0)
        probe.connectMicroseconds = static_cast<qint64>(connectTime);
    if (probe.secured) {
        probe.handshakeMicroseconds = static_cast<qint64>(handshakeTime);
        curl_certinfo *chain = nullptr;
        if (curl_easy_getinfo(handle, CURLINFO_CERTINFO, &chain) == CURLE_OK && chain &&
            chain->num_of_certs > 0) {
            // The first certificate of the chain is the server's own.
            for (curl_slist *field = chain->certinfo[0]; field; field = field->next) {
                const QString line = QString::fromUtf8(field->data);
                if (line.startsWith(QLatin1String("Subject:")))
                    probe.serverSubject = line.mid(8).trimmed();
                else if (line.startsWith(QLatin1String("Expire date:")))
                    probe.serverExpiry = parseCertificateTime(line.mid(12));
            }
        }
    }
    if (code != CURLE_OK) {
        probe.networkError = static_cast<int>(code);
        probe.errorMessage =
            failureMessage(handle, code, false, timeout, url, certPathText, caFile, errorText);
    }
    curl_easy_cleanup(handle);
    return probe;
}
