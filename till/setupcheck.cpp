#include "setupcheck.h"

#include "checktexts.h"

#include <basicpaymentprocessing.h>
#include <config.h>
#include <restclient.h>
#include <singleton.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPluginLoader>
#include <QSet>
#include <QTextCodec>
#include <QUuid>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <sqlite3.h>

#include <cstring>

namespace {

using Outcome = CheckResult::Outcome;

QString t(const char *key)
{
    return CheckTexts::text(key);
}

// The values the plug-in falls back on when a key is absent.
const QString DefaultUrl = QStringLiteral("http://localhost");
constexpr int DefaultTimeout = 60;
constexpr int DefaultInterval = 10;

const QString UrlKey = QStringLiteral("Velmor:url");
const QString LoginKey = QStringLiteral("Velmor:login");
const QString PasswordKey = QStringLiteral("Velmor:password");
const QString TimeoutKey = QStringLiteral("Velmor:timeout");
const QString IntervalKey = QStringLiteral("Velmro:infoRequestInterval");
const QString MisplacedIntervalKey = QStringLiteral("Velmor:infoRequestInterval");
const QString CertificatePathKey = QStringLiteral("Velmor:certificatePath");
const QString CertificatePasswordKey = QStringLiteral("Velmor:certificatePassword");
const QString CaFileKey = QStringLiteral("Network:caFile");

bool isLoopbackHost(const QString &host)
{
    const QString lower = host.toLower();
    if (lower == QLatin1String("localhost") || lower.endsWith(QLatin1String(".localhost")))
        return true;
    const QByteArray bytes = lower.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, bytes.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, bytes.constData(), &v6) == 1)
        return std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
    return false;
}

// A transport message as the cashier would see it, with its key for the catalogue.
QString transportText(const tr::Tr &message)
{
    return QStringLiteral("%1 (%2)").arg(message.ru(), message.key());
}

QString dateText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                          : t("dateUnknown");
}

QString ageText(qint64 seconds)
{
    if (seconds < 120)
        return t("ageSeconds").arg(qMax<qint64>(seconds, 0));
    if (seconds < 120 * 60)
        return t("ageMinutes").arg(seconds / 60);
    if (seconds < 48 * 3600)
        return t("ageHours").arg(seconds / 3600);
    return t("ageDays").arg(seconds / 86400);
}

QString millisecondsText(qint64 microseconds)
{
    return QString::number(double(microseconds) / 1000.0, 'f', 1);
}

// OpenSSL keeps its reasons on a per-thread queue; the oldest is the cause, the rest its
// consequences. None of them holds a password.
QString takeOpenSslError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QString();
    char buffer[256] = {};
    ERR_error_string_n(code, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

QDateTime asn1Time(const ASN1_TIME *time)
{
    tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QString subjectText(X509 *certificate)
{
    BIO *bio = BIO_new(BIO_s_mem());
    if (!bio)
        return QString();
    X509_NAME_print_ex(bio, X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    const QString text = QString::fromUtf8(data, int(size));
    BIO_free(bio);
    return text;
}

// The same joining of base path and operation path as the plug-in's client does.
QUrl serviceUrl(const QUrl &base, const QString &path)
{
    QUrl result(base);
    QString text = result.path(QUrl::FullyEncoded) + path;
    text.replace(QStringLiteral("//"), QStringLiteral("/"));
    result.setPath(text, QUrl::StrictMode);
    return result;
}

} // namespace

SetupCheck::SetupCheck(const Settings &settings) : m_settings(settings), m_config(new Config) {}

SetupCheck::~SetupCheck() = default;

QVector<CheckResult> SetupCheck::run(const Sink &sink)
{
    m_sink = sink;
    m_results.clear();

    // The transport reads the host's extra CA file through the configuration singleton, so
    // ours stands there while the checks run.
    Config *const previous = Singleton<Config>::instance;
    Singleton<Config>::instance = m_config.data();

    checkConfigFile();
    if (m_configReadable) {
        checkUrl();
        checkSecrets();
        checkTimeout();
        checkInterval();
        checkCertificatePath();
        checkUnreadKeys();
        checkClientCertificate();
        checkCaFile();
    } else {
        for (const QString &check :
             {UrlKey, LoginKey, PasswordKey, TimeoutKey, IntervalKey, CertificatePathKey,
              CertificatePasswordKey, t("checkClientCertificate"), t("checkCaFile")})
            skip(check, t("skipNoConfig"));
    }
    checkService();
    checkCredentials();
    checkQueue();
    checkPlugin();

    Singleton<Config>::instance = previous;
    m_sink = Sink();
    return m_results;
}

bool SetupCheck::anyFailed(const QVector<CheckResult> &results)
{
    for (const CheckResult &result : results) {
        if (result.outcome == Outcome::Fail)
            return true;
    }
    return false;
}

void SetupCheck::add(const QString &check, Outcome outcome, const QString &detail,
                     const QString &hint)
{
    CheckResult result;
    result.check = check;
    result.outcome = outcome;
    result.detail = detail;
    result.hint = hint;
    m_results.append(result);
    if (m_sink)
        m_sink(result);
}

void SetupCheck::skip(const QString &check, const QString &why)
{
    add(check, Outcome::Skipped, why);
}

void SetupCheck::checkConfigFile()
{
    const QString check = t("checkConfigFile");
    const QString &fileName = m_settings.configFile;
    if (fileName.isEmpty()) {
        m_configReadable = true;
        add(check, Outcome::Warn, t("configNone"), t("configNoneHint"));
        return;
    }
    const QFileInfo info(fileName);
    if (!info.exists()) {
        add(check, Outcome::Fail, t("configMissing").arg(fileName), t("configMissingHint"));
        return;
    }
    QFile file(fileName);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        add(check, Outcome::Fail,
            t("configUnreadable")
                .arg(fileName, info.isFile() ? file.errorString() : t("configNotAFile")),
            t("configUnreadableHint"));
        return;
    }
    const QByteArray bytes = file.readAll();
    m_configReadable = true;
    m_config->loadFile(fileName, QString());

    // The configuration reads the file as UTF-8 whatever it holds, so a file saved in another
    // encoding still loads, with its non-ASCII values garbled.
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0) {
        add(check, Outcome::Fail, t("configNotUtf8").arg(fileName), t("configNotUtf8Hint"));
        return;
    }
    add(check, Outcome::Ok, t("configOk").arg(fileName).arg(m_config->keys().size()));
}

void SetupCheck::checkUrl()
{
    const bool given = !m_config->getString(UrlKey, QString()).isNull();
    const QString raw = m_config->getString(UrlKey, DefaultUrl);
    m_url = QUrl(raw, QUrl::TolerantMode);
    // Never the text as written: it may carry "user:password@".
    QString shown = m_url.isValid() ? m_url.toString(QUrl::RemoveUserInfo) : QString();
    if (shown.isEmpty())
        shown = t("urlUnparsable");
    if (!given)
        shown = t("valueDefault").arg(shown);

    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        add(UrlKey, Outcome::Fail, t("urlScheme").arg(shown), t("urlHint"));
        return;
    }
    if (m_url.host().isEmpty()) {
        add(UrlKey, Outcome::Fail, t("urlNoHost").arg(shown), t("urlHint"));
        return;
    }
    m_urlUsable = true;
    if (!m_url.userInfo().isEmpty()) {
        add(UrlKey, Outcome::Warn, t("urlUserInfo").arg(shown), t("urlUserInfoHint"));
        return;
    }
    if (scheme == QLatin1String("http") && !isLoopbackHost(m_url.host())) {
        add(UrlKey, Outcome::Warn, t("urlPlainHttp").arg(shown, m_url.host()),
            t("urlPlainHttpHint"));
        return;
    }
    add(UrlKey, Outcome::Ok, shown);
}

void SetupCheck::checkSecrets()
{
    // Neither the login nor a password is shown: they go into the authorization of every
    // request, and the till's output ends up in tickets and chat windows.
    for (const QString &key : {LoginKey, PasswordKey}) {
        add(key, Outcome::Ok,
            m_config->getString(key).isEmpty() ? t("secretEmpty") : t("secretSet"));
    }
}

void SetupCheck::checkTimeout()
{
    const QString raw = m_config->getString(TimeoutKey, QString());
    if (raw.isNull()) {
        m_timeoutSeconds = DefaultTimeout;
        add(TimeoutKey, Outcome::Ok, t("valueDefault").arg(t("seconds").arg(DefaultTimeout)));
        return;
    }
    bool ok = false;
    const int value = raw.trimmed().toInt(&ok);
    if (!ok) {
        m_timeoutSeconds = DefaultTimeout;
        add(TimeoutKey, Outcome::Warn, t("notWholeNumber").arg(DefaultTimeout), t("timeoutHint"));
        return;
    }
    // The transport never waits forever: zero or less counts as the default.
    m_timeoutSeconds = value > 0 ? value : DefaultTimeout;
    if (value <= 0) {
        add(TimeoutKey, Outcome::Warn, t("timeoutNotPositive").arg(value).arg(DefaultTimeout),
            t("timeoutHint"));
    } else if (value < 5) {
        add(TimeoutKey, Outcome::Warn, t("timeoutShort").arg(value), t("timeoutHint"));
    } else if (value > 300) {
        add(TimeoutKey, Outcome::Warn, t("timeoutLong").arg(value), t("timeoutHint"));
    } else {
        add(TimeoutKey, Outcome::Ok, t("seconds").arg(value));
    }
}

void SetupCheck::checkInterval()
{
    const QString raw = m_config->getString(IntervalKey, QString());
    if (raw.isNull()) {
        const QString shown = t("valueDefault").arg(t("seconds").arg(DefaultInterval));
        if (!m_config->getString(MisplacedIntervalKey, QString()).isNull())
            add(IntervalKey, Outcome::Warn, t("intervalMisplaced").arg(shown),
                t("intervalMisplacedHint"));
        else
            add(IntervalKey, Outcome::Ok, shown);
        return;
    }
    bool ok = false;
    const int value = raw.trimmed().toInt(&ok);
    if (!ok) {
        add(IntervalKey, Outcome::Warn, t("notWholeNumber").arg(DefaultInterval),
            t("intervalHint"));
    } else if (value < 1) {
        add(IntervalKey, Outcome::Warn, t("intervalShort").arg(value), t("intervalHint"));
    } else {
        add(IntervalKey, Outcome::Ok, t("seconds").arg(value));
    }
}

void SetupCheck::checkCertificatePath()
{
    const QString path = m_config->getString(CertificatePathKey);
    add(CertificatePathKey, Outcome::Ok, path.isEmpty() ? t("certificateNone") : path);
    add(CertificatePasswordKey, Outcome::Ok,
        m_config->getString(CertificatePasswordKey).isEmpty() ? t("secretEmpty") : t("secretSet"));
}

void SetupCheck::checkUnreadKeys()
{
    static const QSet<QString> read = {
        UrlKey,      LoginKey,           PasswordKey,           TimeoutKey,
        IntervalKey, CertificatePathKey, CertificatePasswordKey};
    const bool intervalInPlace = !m_config->getString(IntervalKey, QString()).isNull();
    for (const QString &key : m_config->keys()) {
        const QString section = key.section(QLatin1Char(':'), 0, 0);
        const bool ours = key.contains(QLatin1Char(':')) &&
                          (section.compare(QLatin1String("Velmor"), Qt::CaseInsensitive) == 0 ||
                           section.compare(QLatin1String("Velmro"), Qt::CaseInsensitive) == 0);
        if (!ours || read.contains(key))
            continue;
        // Its value is never shown: a misspelt password key holds a password.
        if (key == MisplacedIntervalKey) {
            // Without the key in its place, the interval check has already said this.
            if (intervalInPlace)
                add(key, Outcome::Warn, t("keyUnread"), t("intervalMisplacedHint"));
        } else if (section != QLatin1String("Velmor") && section != QLatin1String("Velmro")) {
            add(key, Outcome::Warn, t("keyUnread"), t("keySectionCaseHint"));
        } else {
            add(key, Outcome::Warn, t("keyUnread"), t("keyUnreadHint"));
        }
    }
}

void SetupCheck::checkClientCertificate()
{
    const QString check = t("checkClientCertificate");
    const QString path = m_config->getString(CertificatePathKey);
    if (path.isEmpty()) {
        add(check, Outcome::Ok, t("certificateNone"));
        return;
    }
    const QByteArray fileName = QFile::encodeName(path);
    BIO *bio = BIO_new_file(fileName.constData(), "rb");
    if (!bio) {
        ERR_clear_error();
        add(check, Outcome::Fail, t("certificateUnreadable").arg(path), t("certificateHint"));
        return;
    }
    PKCS12 *p12 = d2i_PKCS12_bio(bio, nullptr);
    BIO_free(bio);
    if (!p12) {
        add(check, Outcome::Fail, t("certificateNotPkcs12").arg(path, takeOpenSslError()),
            t("certificateHint"));
        return;
    }
    QByteArray password = m_config->getString(CertificatePasswordKey).toUtf8();
    EVP_PKEY *key = nullptr;
    X509 *certificate = nullptr;
    STACK_OF(X509) *chain = nullptr;
    const bool opened = PKCS12_parse(p12, password.constData(), &key, &certificate, &chain) == 1;
    password.fill('\0');
    PKCS12_free(p12);
    const QString reason = opened ? QString() : takeOpenSslError();
    EVP_PKEY_free(key);
    sk_X509_pop_free(chain, X509_free);
    if (!opened || !certificate) {
        X509_free(certificate);
        add(check, Outcome::Fail,
            opened ? t("certificateEmpty").arg(path)
                   : t("certificateWrongPassword").arg(path, reason),
            t("certificatePasswordHint"));
        return;
    }
    const QString subject = subjectText(certificate);
    const QDateTime notBefore = asn1Time(X509_get0_notBefore(certificate));
    const QDateTime notAfter = asn1Time(X509_get0_notAfter(certificate));
    X509_free(certificate);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString found = t("certificateFound").arg(subject, dateText(notAfter));
    if (notAfter.isValid() && notAfter < now)
        add(check, Outcome::Fail, t("certificateExpired").arg(found), t("certificateRenewHint"));
    else if (notBefore.isValid() && notBefore > now)
        add(check, Outcome::Fail, t("certificateNotYetValid").arg(found, dateText(notBefore)),
            t("clockHint"));
    else if (notAfter.isValid() && notAfter < now.addDays(ExpiryWarningDays))
        add(check, Outcome::Warn, t("certificateExpiresSoon").arg(found),
            t("certificateRenewHint"));
    else
        add(check, Outcome::Ok, found);
}

void SetupCheck::checkCaFile()
{
    const QString check = t("checkCaFile");
    const QString path = m_config->getString(CaFileKey);
    if (path.isEmpty()) {
        add(check, Outcome::Ok, t("caFileNone"));
        return;
    }
    const QByteArray fileName = QFile::encodeName(path);
    BIO *bio = BIO_new_file(fileName.constData(), "r");
    if (!bio) {
        ERR_clear_error();
        add(check, Outcome::Fail, t("caFileUnreadable").arg(path), t("caFileHint"));
        return;
    }
    int count = 0;
    while (X509 *certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        ++count;
        X509_free(certificate);
    }
    // The loop ends on the first thing that is not a certificate, normally the file's end.
    ERR_clear_error();
    BIO_free(bio);
    if (count == 0)
        add(check, Outcome::Fail, t("caFileEmpty").arg(path), t("caFileHint"));
    else
        add(check, Outcome::Ok, t("caFileOk").arg(path).arg(count));
}

void SetupCheck::checkService()
{
    const QString hostCheck = t("checkHostName");
    const QString connectCheck = t("checkConnection");
    const QString tlsCheck = t("checkTls");
    if (!m_configReadable || !m_urlUsable) {
        const QString why = m_configReadable ? t("skipNoUrl") : t("skipNoConfig");
        for (const QString &check : {hostCheck, connectCheck, tlsCheck})
            skip(check, why);
        return;
    }

    RestClient client;
    client.setTimeout(m_timeoutSeconds);
    client.setCertificatePath(m_config->getString(CertificatePathKey));
    client.setCertificatePassword(m_config->getString(CertificatePasswordKey));
    const ConnectionProbe probe = client.probeConnection(m_url);
    const QString host = m_url.host();
    const bool https = m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const int port = m_url.port(https ? 443 : 80);

    if (!probe.resolved) {
        add(hostCheck, Outcome::Fail, t("hostFail").arg(host, transportText(probe.errorMessage)),
            t("hostHint"));
        skip(connectCheck, t("skipNoAddress"));
        skip(tlsCheck, t("skipNoAddress"));
        return;
    }
    add(hostCheck, Outcome::Ok,
        t("hostOk").arg(host, probe.address.isEmpty() ? t("dateUnknown") : probe.address));

    if (!probe.connected) {
        add(connectCheck, Outcome::Fail,
            t("connectFail").arg(host).arg(port).arg(transportText(probe.errorMessage)),
            t("connectHint"));
        skip(tlsCheck, t("skipNoConnection"));
        return;
    }
    add(connectCheck, Outcome::Ok,
        t("connectOk")
            .arg(host)
            .arg(port)
            .arg(probe.connectMicroseconds > 0 ? millisecondsText(probe.connectMicroseconds)
                                               : t("dateUnknown")));

    if (!https) {
        m_serviceReachable = true;
        add(tlsCheck, Outcome::Ok, t("tlsPlain"));
        return;
    }
    if (!probe.secured) {
        add(tlsCheck, Outcome::Fail, t("tlsFail").arg(transportText(probe.errorMessage)),
            t("tlsHint"));
        return;
    }
    m_serviceReachable = true;
    const QString found = t("tlsOk")
                              .arg(millisecondsText(probe.handshakeMicroseconds))
                              .arg(probe.serverSubject, dateText(probe.serverExpiry));
    if (probe.serverExpiry.isValid() &&
        probe.serverExpiry < QDateTime::currentDateTimeUtc().addDays(ExpiryWarningDays))
        add(tlsCheck, Outcome::Warn, t("tlsExpiresSoon").arg(found), t("tlsRenewHint"));
    else
        add(tlsCheck, Outcome::Ok, found);
}

void SetupCheck::checkCredentials()
{
    const QString check = t("checkCredentials");
    if (!m_serviceReachable) {
        skip(check, !m_configReadable ? t("skipNoConfig")
                    : m_urlUsable     ? t("skipNoService")
                                      : t("skipNoUrl"));
        return;
    }
    // An order id nobody has used: the service can only say it does not know it, and only
    // after it has accepted the credentials.
    const QString orderId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QByteArray credentials =
        QStringLiteral("%1:%2")
            .arg(m_config->getString(LoginKey), m_config->getString(PasswordKey))
            .toLocal8Bit()
            .toBase64();
    QHash<QString, QString> headers;
    headers.insert(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    headers.insert(QStringLiteral("Authorization"),
                   QStringLiteral("Basic ") + QString::fromLatin1(credentials));
    headers.insert(QStringLiteral("X-Correlation-ID"), orderId);
    credentials.fill('\0');

    RestClient client;
    client.setTimeout(m_timeoutSeconds);
    client.setCertificatePath(m_config->getString(CertificatePathKey));
    client.setCertificatePassword(m_config->getString(CertificatePasswordKey));
    client.get(serviceUrl(m_url, QStringLiteral("/%1/info").arg(orderId)), headers);
    const RestResponse response = client.getResponse();

    if (response.networkError > 0) {
        add(check, Outcome::Fail,
            t("credentialsTransport").arg(transportText(response.errorMessage)), t("connectHint"));
        return;
    }
    const QJsonObject error = response.json.value(QStringLiteral("error")).toObject();
    const QString code = error.value(QStringLiteral("code")).toString();
    if (code == QLatin1String("order_not_found")) {
        add(check, Outcome::Ok, t("credentialsOk").arg(response.httpCode));
        return;
    }
    QString answer;
    if (!error.isEmpty())
        answer = QStringLiteral("%1 %2").arg(code, error.value(QStringLiteral("text")).toString());
    else if (!response.json.isEmpty())
        answer = QString::fromUtf8(QJsonDocument(response.json).toJson(QJsonDocument::Compact))
                     .left(300);
    else
        answer = t("credentialsNoJson");
    if (response.httpCode == 401)
        add(check, Outcome::Fail, t("credentialsRefused").arg(answer), t("credentialsHint"));
    else
        add(check, Outcome::Fail, t("credentialsUnexpected").arg(response.httpCode).arg(answer),
            t("credentialsUnexpectedHint"));
}

void SetupCheck::checkQueue()
{
    const QString check = t("checkQueue");
    const QString path = QFileInfo(m_settings.queueFile).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        add(check, Outcome::Ok, t("queueNone").arg(path));
        return;
    }
    // Read-only and without SQLITE_OPEN_CREATE: the check must neither make nor change a
    // queue. A busy writer is waited for, but not forever.
    sqlite3 *db = nullptr;
    const QByteArray fileName = path.toUtf8();
    int rc = sqlite3_open_v2(fileName.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    auto failWith = [&](const QString &what) {
        const QString reason =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        add(check, Outcome::Fail, t("queueFail").arg(path, what, reason), t("queueFailHint"));
        sqlite3_close_v2(db);
    };
    if (rc != SQLITE_OK)
        return failWith(t("queueOpen"));
    sqlite3_busy_timeout(db, 5000);

    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK)
        return failWith(t("queueIntegrity"));
    QString integrity;
    rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW)
        integrity =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    if (rc != SQLITE_ROW)
        return failWith(t("queueIntegrity"));
    if (integrity != QLatin1String("ok")) {
        add(check, Outcome::Fail, t("queueCorrupt").arg(path, integrity), t("queueFailHint"));
        sqlite3_close_v2(db);
        return;
    }

    if (sqlite3_prepare_v2(db, "SELECT COUNT(*), MIN(added) FROM messages", -1, &statement,
                           nullptr) != SQLITE_OK)
        return failWith(t("queueRead"));
    rc = sqlite3_step(statement);
    const qint64 count = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    const auto *oldestText = rc == SQLITE_ROW
                                 ? reinterpret_cast<const char *>(sqlite3_column_text(statement, 1))
                                 : nullptr;
    const QDateTime oldest =
        oldestText ? QDateTime::fromString(QString::fromUtf8(oldestText), Qt::ISODateWithMs)
                   : QDateTime();
    sqlite3_finalize(statement);
    if (rc != SQLITE_ROW)
        return failWith(t("queueRead"));
    sqlite3_close_v2(db);

    if (count == 0) {
        add(check, Outcome::Ok, t("queueEmpty").arg(path));
        return;
    }
    const qint64 age =
        oldest.isValid() ? oldest.secsTo(QDateTime::currentDateTimeUtc()) : qint64(-1);
    const QString found =
        t("queuePending").arg(path).arg(count).arg(age < 0 ? t("dateUnknown") : ageText(age));
    if (age > qint64(QueueAgeWarningHours) * 3600)
        add(check, Outcome::Warn, found, t("queueOldHint"));
    else
        add(check, Outcome::Ok, found);
}

void SetupCheck::checkPlugin()
{
    const QString check = t("checkPlugin");
    const QString &path = m_settings.pluginFile;
    if (!QFileInfo::exists(path)) {
        add(check, Outcome::Fail, t("pluginMissing").arg(path), t("pluginHint"));
        return;
    }
    // The plug-in stays loaded until the process ends, as the till's other commands keep it.
    QPluginLoader loader(QFileInfo(path).absoluteFilePath());
    const QJsonObject meta = loader.metaData();
    const QString iid = meta.value(QStringLiteral("IID")).toString();
    if (meta.isEmpty() || !loader.load()) {
        add(check, Outcome::Fail, t("pluginNotLoaded").arg(path, loader.errorString()),
            t("pluginHint"));
        return;
    }
    if (iid != QLatin1String("Velmor")) {
        add(check, Outcome::Fail, t("pluginWrongIid").arg(path, iid), t("pluginHint"));
        return;
    }
    if (!qobject_cast<BasicPaymentProcessing *>(loader.instance())) {
        add(check, Outcome::Fail, t("pluginNoInterface").arg(path), t("pluginHint"));
        return;
    }
    const QString version = meta.value(QStringLiteral("MetaData"))
                                .toObject()
                                .value(QStringLiteral("version"))
                                .toString();
    const int qt = meta.value(QStringLiteral("version")).toInt();
    add(check, Outcome::Ok,
        t("pluginOk")
            .arg(path, iid, version.isEmpty() ? t("pluginNoVersion") : version)
            .arg(QStringLiteral("%1.%2.%3").arg(qt >> 16).arg((qt >> 8) & 0xff).arg(qt & 0xff)));
}
