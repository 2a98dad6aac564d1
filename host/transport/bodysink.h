#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <curl/curl.h>

#include <cstddef>

// An answer's body as it arrives, capped at RestClient::MaxBodySize so that a runaway answer
// cannot eat the till's memory: past the cap the transfer is aborted.
class BodySink
{
public:
    // Makes the handle write the body into this sink; detachFrom ends that.
    void attachTo(CURL *handle);
    void detachFrom(CURL *handle);

    bool isTooLarge() const { return m_tooLarge; }
    // The body parsed as a JSON object; empty when it is none.
    QJsonObject jsonObject() const;

private:
    static size_t write(char *data, size_t size, size_t count, void *sink);

    QByteArray m_data;
    bool m_tooLarge = false;
};
