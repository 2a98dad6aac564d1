#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

#include <curl/curl.h>

#include <memory>

// One request as libcurl takes it: the URL, the header lines, and the method with its body.
// A header that would not stay one line refuses the whole request before anything is sent.
class HttpRequest
{
public:
    // A null body makes a GET, any other a POST; the body must outlive the object.
    HttpRequest(const QUrl &url, const QByteArray *body, const QHash<QString, QString> &headers);

    const char *method() const { return m_body ? "POST" : "GET"; }

    // False when a header was refused; rejectedHeader() is then its name, or empty when the
    // name itself could not be shown.
    bool isAcceptable() const { return m_acceptable; }
    QString rejectedHeader() const { return m_rejectedHeader; }

    // Points the handle at this request's URL, headers and body, which stay this object's.
    void attachTo(CURL *handle);
    // The handle must not point at them once the transfer is over.
    void detachFrom(CURL *handle);

private:
    struct FreeList
    {
        void operator()(curl_slist *list) const { curl_slist_free_all(list); }
    };

    void append(const char *line);

    QByteArray m_encodedUrl;
    const QByteArray *m_body = nullptr;
    std::unique_ptr<curl_slist, FreeList> m_headers;
    bool m_acceptable = true;
    QString m_rejectedHeader;
};
