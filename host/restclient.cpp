#include "restclient.h"

#include "config.h"
#include "log4qt/logger.h"
#include "singleton.h"
#include "transport/bodysink.h"
#include "transport/curlhandle.h"
#include "transport/exchangeresults.h"
#include "transport/httprequest.h"
#include "transport/tlsoptions.h"
#include "transport/transporterrors.h"
#include "transport/transportprobe.h"
#include "transport/transportsettings.h"

#include <QElapsedTimer>
#include <QFile>

#include <curl/curl.h>

#include <mutex>

namespace {

// A timeout of zero or less must not mean "wait forever": a till that hangs on a dead
// server is worse than one that reports it.
constexpr int DefaultTimeoutSeconds = 60;

} // namespace

class RestClient::Private
{
public:
    Private() : trust(tls::readDefaults(curl.get()))
    {
        if (!curl.isValid())
            return;
        // Options that hold for every exchange; the handle keeps them between requests.
        curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(RestClient::MaxBodySize));
    }

    ~Private()
    {
        // Another thread's exchange ends before the handle goes.
        std::lock_guard<std::mutex> lock(exchangeMutex);
    }

    TransportSettings readSettings() const;
    void exchange(const QUrl &url, const QByteArray *body, const QHash<QString, QString> &headers);

    // Guards the easy handle: one exchange at a time.
    std::mutex exchangeMutex;
    CurlHandle curl;
    const tls::Defaults trust;

    // Guards the settings, so that reading them never waits for another thread's exchange.
    mutable std::mutex settingsMutex;
    const Log4Qt::Logger *logger = nullptr;
    int timeoutSeconds = DefaultTimeoutSeconds;
    QString certificatePath;
    QString certificatePassword;

    ExchangeResults results;
};

TransportSettings RestClient::Private::readSettings() const
{
    TransportSettings settings;
    {
        std::lock_guard<std::mutex> lock(settingsMutex);
        settings.logger = logger;
        settings.timeoutSeconds = timeoutSeconds > 0 ? timeoutSeconds : DefaultTimeoutSeconds;
        settings.certificatePath = certificatePath;
        settings.encodedCertificatePath = QFile::encodeName(certificatePath);
        settings.certificatePassword = certificatePassword.toUtf8();
    }
    if (const Config *config = Singleton<Config>::instance)
        settings.caFile = QFile::encodeName(config->getString(QStringLiteral("Network:caFile")));
    return settings;
}

void RestClient::Private::exchange(const QUrl &url, const QByteArray *body,
                                   const QHash<QString, QString> &headers)
{
    TransportSettings settings = readSettings();
    HttpRequest request(url, body, headers);
    ExchangeState state;
    QElapsedTimer elapsed;
    elapsed.start();

    // The outcome comes as a callable: the line costs more than a fast exchange's own work, so
    // none of it is built unless an appender would receive it.
    auto finish = [&](const auto &describeOutcome) {
        results.store(state);
        const Log4Qt::Logger *log = settings.logger;
        if (log && log->wouldLog(Log4Qt::Level::DEBUG_INT)) {
            // One substitution pass: a URL's percent escapes must not be taken for markers.
            log->debug(QStringLiteral("%1 %2 -> %3, %4 ms")
                           .arg(QLatin1String(request.method()), transport::safeUrlText(url),
                                describeOutcome(), QString::number(elapsed.elapsed())));
        }
    };

    if (!request.isAcceptable()) {
        state.response.networkError = CURLE_BAD_FUNCTION_ARGUMENT;
        state.response.errorMessage = transport::badHeaderMessage(request.rejectedHeader());
        finish([] { return QStringLiteral("rejected header"); });
        return;
    }

    std::unique_lock<std::mutex> exchangeLock(exchangeMutex);
    if (!curl.isValid()) {
        state.response.networkError = CURLE_FAILED_INIT;
        state.response.errorMessage = transport::noTransportMessage();
        finish([] { return QStringLiteral("no transport"); });
        return;
    }

    CURL *const handle = curl.get();
    BodySink sink;
    curl.clearErrorString();
    request.attachTo(handle);
    sink.attachTo(handle);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(settings.timeoutSeconds) * 1000L);
    tls::apply(handle, trust, settings);

    const CURLcode code = curl_easy_perform(handle);

    // The request and the body sink belong to this call; the handle must not point at them later.
    request.detachFrom(handle);
    sink.detachFrom(handle);
    settings.certificatePassword.fill('\0');

    long httpCode = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &httpCode);
    state.response.httpCode = static_cast<int>(httpCode);

    // Set only on failure: the error buffer belongs to the handle and must be read under its lock.
    int failureCode = 0;
    QString failureDetail;
    if (code == CURLE_OK && !sink.isTooLarge()) {
        // Only a complete answer is worth decoding: half a body could parse as something else.
        state.response.json = sink.jsonObject();
    } else {
        const CURLcode reported = code == CURLE_OK ? CURLE_WRITE_ERROR : code;
        state.response.networkError = static_cast<int>(reported);
        state.timedOut = reported == CURLE_OPERATION_TIMEDOUT;
        state.response.errorMessage = transport::failureMessage(
            handle, reported, curl.errorString(), sink.isTooLarge(), url, settings);
        // A refused client certificate ends the handshake, whichever read reports it: the
        // request was never taken, and callers that tell a lost answer from a refusal by the
        // code must see a handshake failure.
        if (transport::isClientCertificateRejection(reported, curl.errorString()))
            state.response.networkError = CURLE_SSL_CONNECT_ERROR;
        failureCode = static_cast<int>(reported);
        failureDetail = curl.errorString()[0] ? QString::fromUtf8(curl.errorString())
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
    std::lock_guard<std::mutex> lock(d->settingsMutex);
    d->logger = logger;
}

void RestClient::setTimeout(int seconds)
{
    std::lock_guard<std::mutex> lock(d->settingsMutex);
    d->timeoutSeconds = seconds;
}

void RestClient::setCertificatePath(const QString &path)
{
    std::lock_guard<std::mutex> lock(d->settingsMutex);
    d->certificatePath = path;
}

void RestClient::setCertificatePassword(const QString &password)
{
    std::lock_guard<std::mutex> lock(d->settingsMutex);
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
    return d->results.current().response;
}

bool RestClient::isTimedOut() const
{
    return d->results.current().timedOut;
}

ConnectionProbe RestClient::probeConnection(const QUrl &url) const
{
    TransportSettings settings = d->readSettings();
    const ConnectionProbe probe = transport::probeConnection(url, settings, d->trust);
    settings.certificatePassword.fill('\0');
    return probe;
}
