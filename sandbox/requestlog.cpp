#include "requestlog.h"

#include <httplib.h>

#include <QDateTime>
#include <QJsonObject>

#include <chrono>

namespace sandbox {

quint64 RequestLog::record(const httplib::Request &req)
{
    RecordedRequest recorded;
    recorded.receivedAtMs = QDateTime::currentMSecsSinceEpoch();
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
    quint64 seq = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        seq = m_nextSeq++;
        recorded.seq = seq;
        m_requests.append(recorded);
    }
    m_recorded.notify_all();
    return seq;
}

void RequestLog::noteOutcome(quint64 seq, const QString &fault, int status, const QString &shown)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Requests are kept in arrival order, and the one served now is seldom far from the end.
    for (int i = m_requests.size() - 1; i >= 0; --i) {
        RecordedRequest &request = m_requests[i];
        if (request.seq == seq) {
            request.fault = fault;
            request.status = status;
            request.shown = shown;
            return;
        }
        if (request.seq < seq)
            return;
    }
}

QJsonArray RequestLog::journal(
    const std::function<void(const RecordedRequest &, QJsonObject *)> &describe) const
{
    const QList<RecordedRequest> kept = requests();
    QJsonArray entries;
    for (const RecordedRequest &request : kept) {
        QJsonObject entry{{QStringLiteral("seq"), qint64(request.seq)},
                          {QStringLiteral("at"), request.receivedAtMs},
                          {QStringLiteral("method"), request.method},
                          {QStringLiteral("path"), request.path},
                          {QStringLiteral("fault"), request.fault},
                          {QStringLiteral("status"), request.status}};
        if (!request.shown.isEmpty())
            entry.insert(QStringLiteral("shown"), request.shown);
        if (describe)
            describe(request, &entry);
        entries.append(entry);
    }
    return entries;
}

QList<RecordedRequest> RequestLog::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Element by element, under the lock: a list shared with the caller would be detached, its
    // elements copied, outside the lock while noteOutcome() writes one of them.
    QList<RecordedRequest> copy;
    copy.reserve(m_requests.size());
    for (const RecordedRequest &request : m_requests)
        copy.append(request);
    return copy;
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

} // namespace sandbox
