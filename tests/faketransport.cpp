#include "faketransport.h"

#include <QJsonDocument>

void FakeTransport::get(const QUrl &url, const QHash<QString, QString> &headers)
{
    exchange({QStringLiteral("GET"), url, QByteArray(), headers});
}

void FakeTransport::post(const QUrl &url, const QByteArray &body,
                         const QHash<QString, QString> &headers)
{
    exchange({QStringLiteral("POST"), url, body, headers});
}

RestResponse FakeTransport::getResponse() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current.response;
}

bool FakeTransport::isTimedOut() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current.timedOut;
}

void FakeTransport::enqueue(const RestResponse &response, bool timedOut)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.append({response, timedOut});
}

void FakeTransport::enqueueJson(int httpCode, const QByteArray &json)
{
    RestResponse response;
    response.httpCode = httpCode;
    response.json = QJsonDocument::fromJson(json).object();
    enqueue(response);
}

void FakeTransport::enqueueFailure(int networkError, bool timedOut)
{
    RestResponse response;
    response.networkError = networkError;
    response.errorMessage =
        tr::Tr(QStringLiteral("restClientTimeout"), QStringLiteral("Нет ответа"));
    enqueue(response, timedOut);
}

QList<FakeTransport::Exchange> FakeTransport::exchanges() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exchanges;
}

void FakeTransport::exchange(const Exchange &sent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_exchanges.append(sent);
    if (m_script.size() > 1)
        m_current = m_script.takeFirst();
    else if (!m_script.isEmpty())
        m_current = m_script.first();
    else
        m_current = Answer();
}
