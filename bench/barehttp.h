#pragma once

#include <QByteArray>
#include <QList>

#include <string>

typedef void CURL;

// The baseline client: one libcurl easy handle used as plainly as libcurl allows, with the
// options that the host's client sets as well, so that only the plug-in's own work separates
// the two. Not thread-safe.
class BareHttp
{
public:
    // An empty CA file leaves libcurl's default trust store.
    explicit BareHttp(const QByteArray &caFile = QByteArray());
    ~BareHttp();

    BareHttp(const BareHttp &) = delete;
    BareHttp &operator=(const BareHttp &) = delete;

    // The HTTP status, or 0 when the exchange failed below HTTP.
    long get(const QByteArray &url, const QList<QByteArray> &headers);
    long post(const QByteArray &url, const QByteArray &body, const QList<QByteArray> &headers);

    const std::string &body() const { return m_body; }

private:
    long perform(const QByteArray &url, const QByteArray *body, const QList<QByteArray> &headers);

    CURL *m_curl = nullptr;
    QByteArray m_caFile;
    std::string m_body;
};
