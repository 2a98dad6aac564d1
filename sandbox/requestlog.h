#pragma once

#include "recordedrequest.h"

#include <QJsonArray>
#include <QList>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace httplib {
struct Request;
}

namespace sandbox {

// Every request the service received, as it arrived; filled by the serving threads, read by
// tests on theirs.
class RequestLog
{
public:
    // Keeps the method, the request target as sent, the headers (names lower-cased, repeated
    // ones joined with ", "), the body and the time it arrived; returns its number, which
    // counts on across clear().
    quint64 record(const httplib::Request &req);
    // The fault request `seq` met, the status it was answered with (0: none) and the order
    // status its answer showed (empty: none), once it is served; nothing when it was cleared
    // meanwhile.
    void noteOutcome(quint64 seq, const QString &fault, int status,
                     const QString &shown = QString());
    QList<RecordedRequest> requests() const;
    // Every request kept, without headers and bodies: [{"seq", "at", "method", "path",
    // "fault", "status", "shown" (when there is one)}], plus what `describe` adds to each (say, the
    // endpoint and the order).
    QJsonArray
    journal(const std::function<void(const RecordedRequest &, QJsonObject *)> &describe) const;
    void clear();
    // Blocks until at least `count` requests were recorded since the last clear(), or the
    // timeout ran out; true when they were.
    bool waitFor(int count, int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_recorded;
    QList<RecordedRequest> m_requests;
    quint64 m_nextSeq = 1;
};

} // namespace sandbox
