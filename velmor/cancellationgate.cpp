#include "cancellationgate.h"

namespace velmor {

void CancellationGate::reset()
{
    m_requested.store(false);
}

void CancellationGate::begin()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requested.store(true);
    m_inFlight = true;
}

void CancellationGate::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inFlight = false;
}

void CancellationGate::wake()
{
    m_changed.notify_all();
}

bool CancellationGate::isRequested() const
{
    return m_requested.load();
}

void CancellationGate::sleepUntil(std::chrono::steady_clock::time_point nextPoll,
                                  const std::atomic_bool &orderCanceled) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (orderCanceled.load())
            return;
        if (m_inFlight) {
            // The cancellation's exchange is bounded by the transport's timeout.
            m_changed.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() >= nextPoll)
            return;
        m_changed.wait_until(lock, nextPoll);
    }
}

} // namespace velmor
