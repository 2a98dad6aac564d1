#include "configcheck.h"

#include "checkkeys.h"
#include "checkreport.h"
#include "checktexts.h"
#include <config.h>
#include <velmor/configfile.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <arpa/inet.h>
#include <cstring>
#include <sys/stat.h>

namespace till {

namespace {

using CheckTexts::inFile;
using CheckTexts::text;
using Outcome = CheckResult::Outcome;

using velmor::DefaultInfoRequestInterval;
using velmor::DefaultTimeout;
using velmor::DefaultUrl;

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

QString secretText(const QString &value)
{
    return value.isEmpty() ? text("secretEmpty") : text("secretSet");
}

// The permission bits of a file (after links), 0 when it cannot be looked at.
unsigned fileMode(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

// The host reads the installed configuration through a link in its pay-systems directory; what
// an administrator edits is the file the link leads to.
QString fileToEdit(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.isSymLink())
        return fileName;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
}

} // namespace

ConfigCheck::ConfigCheck(const QString &fileName, bool given, Config &config, CheckReport &report)
    : m_fileName(fileName), m_editFile(fileToEdit(fileName)), m_given(given), m_config(config),
      m_report(report), m_timeoutSeconds(DefaultTimeout)
{}

void ConfigCheck::checkFile()
{
    const QString check = text("checkConfigFile");
    // The plug-in reads the file as this does (velmor::ConfigFile): what passes here passes
    // there, and what fails here stops every operation of the plug-in.
    const velmor::ConfigFile file(m_fileName);
    switch (file.problem()) {
    case velmor::ConfigFile::Problem::None:
        break;
    case velmor::ConfigFile::Problem::NotAFile:
    case velmor::ConfigFile::Problem::Unreadable:
        m_report.add(check, Outcome::Fail,
                     text("configUnreadable")
                         .arg(m_fileName, file.problem() == velmor::ConfigFile::Problem::NotAFile
                                              ? text("configNotAFile")
                                              : file.readError()),
                     m_given ? text("configUnreadableHint")
                             : text("configInstalledUnreadableHint").arg(m_editFile));
        return;
    case velmor::ConfigFile::Problem::NotUtf8:
        m_report.add(check, Outcome::Fail, text("configNotUtf8").arg(m_fileName),
                     text("configNotUtf8Hint").arg(m_editFile));
        return;
    case velmor::ConfigFile::Problem::NoSection:
        m_report.add(check, Outcome::Fail, text("configNoSection").arg(m_fileName),
                     text("configNoSectionHint").arg(m_editFile));
        return;
    }
    if (file.state() == velmor::ConfigFile::State::Missing) {
        if (m_given) {
            m_report.add(check, Outcome::Fail, text("configMissing").arg(m_fileName),
                         text("configMissingHint"));
            return;
        }
        // The plug-in goes on with its defaults, as the check does.
        m_readable = true;
        m_report.add(check, Outcome::Warn, text("configNone").arg(m_fileName),
                     text("configNoneHint").arg(m_editFile));
        return;
    }
    m_readable = true;
    m_config.loadFile(m_fileName, QString());
    const int keys = m_config.keys().size();
    if (isWorldReadableSecret()) {
        const QString mode =
            QStringLiteral("0%1").arg(fileMode(m_editFile), 3, 8, QLatin1Char('0'));
        m_report.add(check, Outcome::Warn,
                     text("configWorldReadable").arg(m_fileName).arg(keys).arg(mode),
                     text("configWorldReadableHint").arg(m_editFile));
        return;
    }
    m_report.add(check, Outcome::Ok, text("configOk").arg(m_fileName).arg(keys));
}

bool ConfigCheck::isWorldReadableSecret() const
{
    if ((fileMode(m_editFile) & S_IROTH) == 0)
        return false;
    const QString password = m_config.getString(velmor::clientkeys::Password);
    const bool secret = (!password.isEmpty() && password != CheckKeys::Placeholder) ||
                        !m_config.getString(velmor::clientkeys::CertificatePassword).isEmpty();
    // A password for a service on this machine (the sandbox) opens nothing of worth.
    const QUrl url(m_config.getString(velmor::clientkeys::Url, DefaultUrl), QUrl::TolerantMode);
    return secret && !isLoopbackHost(url.host());
}

QString ConfigCheck::editHint(const char *hint) const
{
    return inFile(text(hint), m_editFile);
}

void ConfigCheck::checkKeys()
{
    checkUrl();
    checkSecrets();
    checkTimeout();
    checkInterval();
    checkCertificatePath();
    checkUnreadKeys();
}

void ConfigCheck::checkUrl()
{
    const QString &key = velmor::clientkeys::Url;
    const bool given = !m_config.getString(key, QString()).isNull();
    const QString raw = m_config.getString(key, DefaultUrl);
    m_url = QUrl(raw, QUrl::TolerantMode);
    // Never the text as written: it may carry "user:password@".
    QString shown = m_url.isValid() ? m_url.toString(QUrl::RemoveUserInfo) : QString();
    if (shown.isEmpty())
        shown = text("urlUnparsable");
    if (!given)
        shown = text("valueDefault").arg(shown);

    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_report.add(key, Outcome::Fail, text("urlScheme").arg(shown), editHint("urlHint"));
        return;
    }
    if (m_url.host().isEmpty()) {
        m_report.add(key, Outcome::Fail, text("urlNoHost").arg(shown), editHint("urlHint"));
        return;
    }
    if (m_url.host().endsWith(CheckKeys::PlaceholderDomain, Qt::CaseInsensitive)) {
        // Reserved never to resolve: the shipped placeholder, or one like it.
        m_report.add(key, Outcome::Fail, text("urlPlaceholder").arg(shown),
                     editHint("urlPlaceholderHint"));
        return;
    }
    m_urlUsable = true;
    if (!m_url.userInfo().isEmpty()) {
        m_report.add(key, Outcome::Warn, text("urlUserInfo").arg(shown),
                     editHint("urlUserInfoHint"));
        return;
    }
    if (scheme == QLatin1String("http") && !isLoopbackHost(m_url.host())) {
        m_report.add(key, Outcome::Warn, text("urlPlainHttp").arg(shown, m_url.host()),
                     editHint("urlPlainHttpHint"));
        return;
    }
    m_report.add(key, Outcome::Ok, shown);
}

void ConfigCheck::checkSecrets()
{
    // Neither the login nor a password is shown: they go into the authorization of every
    // request, and the till's output ends up in tickets and chat windows.
    for (const QString &key : {velmor::clientkeys::Login, velmor::clientkeys::Password}) {
        const QString value = m_config.getString(key);
        if (value == CheckKeys::Placeholder)
            m_report.add(key, Outcome::Fail, text("secretPlaceholder"),
                         editHint("secretPlaceholderHint"));
        else
            m_report.add(key, Outcome::Ok, secretText(value));
    }
}

void ConfigCheck::checkTimeout()
{
    const QString &key = velmor::clientkeys::Timeout;
    const QString raw = m_config.getString(key, QString());
    if (raw.isNull()) {
        m_report.add(key, Outcome::Ok,
                     text("valueDefault").arg(text("seconds").arg(DefaultTimeout)));
        return;
    }
    int value = 0;
    if (!readWholeNumber(key, raw, DefaultTimeout, "timeoutHint", &value))
        return;
    // The value a sale will see.
    m_timeoutSeconds = velmor::usableTimeout(value);
    if (value <= 0) {
        m_report.add(key, Outcome::Warn, text("timeoutNotPositive").arg(value).arg(DefaultTimeout),
                     editHint("timeoutHint"));
    } else if (value < 5) {
        m_report.add(key, Outcome::Warn, text("timeoutShort").arg(value), editHint("timeoutHint"));
    } else if (value > 300) {
        m_report.add(key, Outcome::Warn, text("timeoutLong").arg(value), editHint("timeoutHint"));
    } else {
        m_report.add(key, Outcome::Ok, text("seconds").arg(value));
    }
}

void ConfigCheck::checkInterval()
{
    const QString &key = velmor::clientkeys::InfoRequestInterval;
    const QString raw = m_config.getString(key, QString());
    if (raw.isNull()) {
        const QString shown =
            text("valueDefault").arg(text("seconds").arg(DefaultInfoRequestInterval));
        if (!m_config.getString(CheckKeys::MisplacedInterval, QString()).isNull())
            m_report.add(key, Outcome::Warn, text("intervalMisplaced").arg(shown),
                         editHint("intervalMisplacedHint"));
        else
            m_report.add(key, Outcome::Ok, shown);
        return;
    }
    int value = 0;
    if (!readWholeNumber(key, raw, DefaultInfoRequestInterval, "intervalHint", &value))
        return;
    if (velmor::usableInfoRequestInterval(value) != value)
        m_report.add(key, Outcome::Warn, text("intervalShort").arg(value),
                     editHint("intervalHint"));
    else
        m_report.add(key, Outcome::Ok, text("seconds").arg(value));
}

bool ConfigCheck::readWholeNumber(const QString &key, const QString &raw, int defaultValue,
                                  const char *hint, int *value)
{
    bool ok = false;
    *value = raw.trimmed().toInt(&ok);
    if (!ok)
        m_report.add(key, Outcome::Warn, text("notWholeNumber").arg(defaultValue), editHint(hint));
    return ok;
}

void ConfigCheck::checkCertificatePath()
{
    const QString path = m_config.getString(velmor::clientkeys::CertificatePath);
    m_report.add(velmor::clientkeys::CertificatePath, Outcome::Ok,
                 path.isEmpty() ? text("certificateNone") : path);
    m_report.add(velmor::clientkeys::CertificatePassword, Outcome::Ok,
                 secretText(m_config.getString(velmor::clientkeys::CertificatePassword)));
}

void ConfigCheck::checkUnreadKeys()
{
    const QStringList readKeys = velmor::clientkeys::all();
    const bool intervalInPlace =
        !m_config.getString(velmor::clientkeys::InfoRequestInterval, QString()).isNull();
    for (const QString &key : m_config.keys()) {
        const QString section = key.section(QLatin1Char(':'), 0, 0);
        const bool ours = key.contains(QLatin1Char(':')) &&
                          (section.compare(QLatin1String("Velmor"), Qt::CaseInsensitive) == 0 ||
                           section.compare(QLatin1String("Velmro"), Qt::CaseInsensitive) == 0);
        if (!ours || readKeys.contains(key))
            continue;
        // Its value is never shown: a misspelt password key holds a password.
        if (key == CheckKeys::MisplacedInterval) {
            // Without the key in its place, the interval check has already said this.
            if (intervalInPlace)
                m_report.add(key, Outcome::Warn, text("keyUnread"),
                             editHint("intervalMisplacedHint"));
        } else if (section != QLatin1String("Velmor") && section != QLatin1String("Velmro")) {
            m_report.add(key, Outcome::Warn, text("keyUnread"), editHint("keySectionCaseHint"));
        } else {
            m_report.add(key, Outcome::Warn, text("keyUnread"), editHint("keyUnreadHint"));
        }
    }
}

} // namespace till
