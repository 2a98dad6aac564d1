#pragma once

#include <QString>
#include <QUrl>

namespace till {

class CheckReport;

// The proxy part of `till check`. The transport leaves the proxy to libcurl, which takes it
// from the environment (http_proxy for http, https_proxy or HTTPS_PROXY for https, else
// ALL_PROXY or all_proxy, unless no_proxy or NO_PROXY names the host): a till started from a
// shell with such a variable sends its requests through that proxy. This shows which one a
// sale would use, and warns when the Basic credentials would cross it in clear text.
class ProxyCheck
{
public:
    explicit ProxyCheck(CheckReport &report);

    void check(const QUrl &serviceUrl);

    // The proxy libcurl would take for `serviceUrl` from the environment; empty for none.
    // `variable` (may be null) gets the name of the variable it came from.
    static QString proxyFor(const QUrl &serviceUrl, QString *variable = nullptr);

private:
    static bool isExempt(const QString &host);

    CheckReport &m_report;
};

} // namespace till
