#include "bodysink.h"

#include <restclient.h>

#include <QJsonDocument>
#include <QJsonParseError>

void BodySink::attachTo(CURL *handle)
{
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &BodySink::write);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
}

void BodySink::detachFrom(CURL *handle)
{
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
}

QJsonObject BodySink::jsonObject() const
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(m_data, &parseError);
    if (parseError.error == QJsonParseError::NoError && document.isObject())
        return document.object();
    return QJsonObject();
}

size_t BodySink::write(char *data, size_t size, size_t count, void *sink)
{
    auto *self = static_cast<BodySink *>(sink);
    const size_t bytes = size * count;
    if (static_cast<qint64>(self->m_data.size()) + static_cast<qint64>(bytes) >
        RestClient::MaxBodySize) {
        self->m_tooLarge = true;
        // Returning less than was offered makes libcurl abort the transfer.
        return 0;
    }
    self->m_data.append(data, static_cast<int>(bytes));
    return bytes;
}
