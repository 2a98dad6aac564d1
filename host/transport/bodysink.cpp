#include "bodysink.h"

#include <restclient.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

// Keys written in a JSON text: every string that a colon follows outside another string.
qint64 writtenKeys(const QByteArray &text)
{
    qint64 keys = 0;
    bool inString = false;
    bool escaped = false;
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const char c = text.at(i);
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            if (inString)
                continue;
            int next = i + 1;
            while (next < size && (text.at(next) == ' ' || text.at(next) == '\t' ||
                                   text.at(next) == '\n' || text.at(next) == '\r'))
                ++next;
            if (next < size && text.at(next) == ':')
                ++keys;
        } else if (c == '"') {
            inString = true;
        }
    }
    return keys;
}

qint64 parsedKeys(const QJsonValue &value)
{
    qint64 keys = 0;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        keys += object.size();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            keys += parsedKeys(it.value());
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            keys += parsedKeys(element);
    }
    return keys;
}

} // namespace

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
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return QJsonObject();
    // An object that names one key twice means whatever its reader takes it to mean: the
    // parser keeps one of the values ({"amount": 300, "amount": 0} reads as 0), so such an
    // answer is no usable answer at all.
    const QJsonObject object = document.object();
    if (writtenKeys(m_data) != parsedKeys(object))
        return QJsonObject();
    return object;
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
