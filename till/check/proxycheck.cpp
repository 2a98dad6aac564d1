#include "proxycheck.h"

#include "checkreport.h"
#include "checktexts.h"

#include <QStringList>

namespace till {

namespace {

using CheckTexts::text;
using Outcome = CheckResult::Outcome;

QString environment(const char *name)
{
    return qEnvironmentVariable(name).trimmed();
}

// The proxy as it may be shown: never its user name or password.
QString shownProxy(const QString &proxy)
{
    const QUrl url = QUrl::fromUserInput(proxy);
    return url.isValid() ? url.toString(QUrl::RemoveUserInfo) : proxy;
}

} // namespace

ProxyCheck::ProxyCheck(CheckReport &report) : m_report(report) {}

QString ProxyCheck::proxyFor(const QUrl &serviceUrl, QString *variable)
{
    const bool https =
        serviceUrl.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (isExempt(serviceUrl.host()))
        return QString();
    // libcurl's order; it reads http_proxy in lower case only, so that a CGI's HTTP_PROXY
    // header cannot set it.
    const QList<const char *> names =
        https ? QList<const char *>{"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}
              : QList<const char *>{"http_proxy", "all_proxy", "ALL_PROXY"};
    for (const char *name : names) {
        const QString value = environment(name);
        if (!value.isEmpty()) {
            if (variable)
                *variable = QLatin1String(name);
            return value;
        }
    }
    return QString();
}

bool ProxyCheck::isExempt(const QString &host)
{
    QString list = environment("no_proxy");
    if (list.isEmpty())
        list = environment("NO_PROXY");
    const QString name = host.toLower();
    const QStringList entries = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString entry : entries) {
        entry = entry.trimmed().toLower();
        if (entry == QLatin1String("*"))
            return true;
        if (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (!entry.isEmpty() && (name == entry || name.endsWith(QLatin1Char('.') + entry)))
            return true;
    }
    return false;
}

void ProxyCheck::check(const QUrl &serviceUrl)
{
    const QString check = text("checkProxy");
    QString variable;
    const QString proxy = proxyFor(serviceUrl, &variable);
    if (proxy.isEmpty()) {
        m_report.add(check, Outcome::Ok, text("proxyNone"));
        return;
    }
    const QString found = text("proxyFound").arg(shownProxy(proxy), variable);
    // Over https the proxy only tunnels the encrypted connection; over http it reads every
    // request, the authorization header included.
    if (serviceUrl.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0)
        m_report.add(check, Outcome::Warn, text("proxyPlainHttp").arg(found),
                     text("proxyPlainHttpHint").arg(variable));
    else
        m_report.add(check, Outcome::Ok, found);
}

} // namespace till
