#pragma once

#include <restclient.h>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QUrl>

#include <mutex>

// A prepared transport: answers each exchange with the next scripted response (the last one
// repeats) and records what was sent.
class FakeTransport : public RestClient
{
public:
    struct Exchange
    {
        QString method;
        QUrl url;
        QByteArray body;
        QHash<QString, QString> headers;
    };

    struct Answer
    {
        RestResponse response;
        bool timedOut = false;
    };

    void get(const QUrl &url, const QHash<QString, QString> &headers) override;
    void post(const QUrl &url, const QByteArray &body,
              const QHash<QString, QString> &headers) override;
    RestResponse getResponse() const override;
    bool isTimedOut() const override;

    void enqueue(const RestResponse &response, bool timedOut = false);
    // Shorthands for the usual answers.
    void enqueueJson(int httpCode, const QByteArray &json);
    void enqueueFailure(int networkError, bool timedOut);

    QList<Exchange> exchanges() const;

private:
    void exchange(const Exchange &sent);

    mutable std::mutex m_mutex;
    QList<Answer> m_script;
    Answer m_current;
    QList<Exchange> m_exchanges;
};
