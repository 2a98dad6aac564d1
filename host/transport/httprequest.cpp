#include "httprequest.h"

namespace {

// A header line must stay one line: a CR or LF in a name or value would let the caller's
// data forge further headers or a second request.
bool isSafeHeaderPart(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) &&
           !text.contains(QChar(0));
}

} // namespace

HttpRequest::HttpRequest(const QUrl &url, const QByteArray *body,
                         const QHash<QString, QString> &headers)
    : m_encodedUrl(url.toEncoded()), m_body(body)
{
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().isEmpty() || !isSafeHeaderPart(it.key()) || !isSafeHeaderPart(it.value()) ||
            it.key().contains(QLatin1Char(':'))) {
            m_headers.reset();
            m_acceptable = false;
            m_rejectedHeader = isSafeHeaderPart(it.key()) ? it.key() : QString();
            return;
        }
        // "Name;" is libcurl's way to send a header with an empty value; "Name:" would
        // remove it instead.
        const QString line = it.value().isEmpty() ? it.key() + QLatin1Char(';')
                                                  : it.key() + QStringLiteral(": ") + it.value();
        append(line.toUtf8().constData());
    }
    if (m_body) {
        // Some servers never answer "100 Continue"; waiting for it would cost a second.
        append("Expect:");
    }
}

void HttpRequest::append(const char *line)
{
    // curl_slist_append gives back the list's head, which the first call creates.
    curl_slist *const head = curl_slist_append(m_headers.get(), line);
    if (!m_headers)
        m_headers.reset(head);
}

void HttpRequest::attachTo(CURL *handle)
{
    curl_easy_setopt(handle, CURLOPT_URL, m_encodedUrl.constData());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, m_headers.get());
    if (m_body) {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, m_body->constData());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(m_body->size()));
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
}

void HttpRequest::detachFrom(CURL *handle)
{
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    if (m_body)
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, nullptr);
}
