#include "barehttp.h"

#include <curl/curl.h>

namespace {

size_t appendBody(char *ptr, size_t size, size_t nmemb, void *userdata)
{
    static_cast<std::string *>(userdata)->append(ptr, size * nmemb);
    return size * nmemb;
}

} // namespace

BareHttp::BareHttp(const QByteArray &caFile) : m_curl(curl_easy_init()), m_caFile(caFile)
{
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_body);
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT_MS, 60000L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_caFile.isEmpty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_caFile.constData());
}

BareHttp::~BareHttp()
{
    curl_easy_cleanup(m_curl);
}

long BareHttp::get(const QByteArray &url, const QList<QByteArray> &headers)
{
    return perform(url, nullptr, headers);
}

long BareHttp::post(const QByteArray &url, const QByteArray &body, const QList<QByteArray> &headers)
{
    return perform(url, &body, headers);
}

long BareHttp::perform(const QByteArray &url, const QByteArray *body,
                       const QList<QByteArray> &headers)
{
    // The header list is built per exchange, as any client whose headers change per request
    // (the correlation id) must.
    curl_slist *list = nullptr;
    for (const QByteArray &header : headers)
        list = curl_slist_append(list, header.constData());
    if (body)
        list = curl_slist_append(list, "Expect:");

    m_body.clear();
    curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, list);
    if (body) {
        curl_easy_setopt(m_curl, CURLOPT_POST, 1L);
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, body->constData());
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(body->size()));
    } else {
        curl_easy_setopt(m_curl, CURLOPT_HTTPGET, 1L);
    }
    const CURLcode code = curl_easy_perform(m_curl);
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(list);

    long status = 0;
    if (code == CURLE_OK)
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}
