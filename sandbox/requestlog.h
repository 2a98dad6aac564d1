#pragma once

#include "sandbox.h"

#include <QList>

#include <condition_variable>
#include <mutex>

namespace httplib {
struct Request;
}

// Every request the service received, as it arrived; filled by the serving threads, read by
// tests on theirs.
class RequestLog
{
public:
    // Keeps the method, the request target as sent, the headers (names lower-cased, repeated
    // ones joined with ", ") and the body.
    void record(const httplib::Request &req);
    QList<Sandbox::RecordedRequest> requests() const;
    void clear();
    // Blocks until at least `count` requests were recorded since the last clear(), or the
    // timeout ran out; true when they were.
    bool waitFor(int count, int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_recorded;
    QList<Sandbox::RecordedRequest> m_requests;
};
