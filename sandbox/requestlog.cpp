#include "requestlog.h"

#include <httplib.h>

#include <chrono>

void RequestLog::record(const httplib::Request &req)
{
    Sandbox::RecordedRequest recorded;
    recorded.method = QString::fromStdString(req.method);
    recorded.path = QString::fromStdString(req.target);
    for (const auto &header : req.headers) {
        // httplib adds the connection's addresses as pseudo-headers of its own.
        if (header.first == "REMOTE_ADDR" || header.first == "REMOTE_PORT" ||
            header.first == "LOCAL_ADDR" || header.first == "LOCAL_PORT")
            continue;
        const QString name = QString::fromStdString(header.first).toLower();
        const QString value = QString::fromStdString(header.second);
        if (recorded.headers.contains(name))
            recorded.headers[name] += QStringLiteral(", ") + value;
        else
            recorded.headers.insert(name, value);
    }
    recorded.body = QByteArray::fromStdString(req.body);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.append(recorded);
    }
    m_recorded.notify_all();
}

QList<Sandbox::RecordedRequest> RequestLog::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void RequestLog::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

bool RequestLog::waitFor(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_recorded.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this, count] { return m_requests.size() >= count; });
}
