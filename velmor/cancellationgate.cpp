#include "cancellationgate.h"

namespace velmor {

void CancellationGate::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requested.store(false);
    m_createPending = true;
    m_pollOut = false;
    m_decided = false;
    m_shown = false;
    m_completedShown = false;
    m_decision = RequestResult();
}

void CancellationGate::createDone()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_createPending = false;
    }
    m_changed.notify_all();
}

bool CancellationGate::begin()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_requested.store(true);
    // The create's exchange is bounded by the transport's timeout.
    m_changed.wait(lock, [this] { return !m_createPending; });
    m_inFlight = true;
    return m_pollOut;
}

void CancellationGate::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inFlight = false;
    }
    m_changed.notify_all();
}

void CancellationGate::decide(const RequestResult &result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_decided = true;
        m_decision = result;
    }
    m_changed.notify_all();
}

bool CancellationGate::isRequested() const
{
    return m_requested.load();
}

bool CancellationGate::decision(RequestResult *result) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_decided)
        *result = m_decision;
    return m_decided;
}

bool CancellationGate::startPoll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_inFlight || m_decided)
        return false;
    m_pollOut = true;
    return true;
}

void CancellationGate::pollDone(const RequestResult *shown)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pollOut = false;
        if (shown && shown->delivery == Delivery::Answered) {
            m_shown = true;
            m_completedShown = m_completedShown || shown->orderStatus == Completed;
        }
    }
    m_changed.notify_all();
}

void CancellationGate::orderShown(const RequestResult &createAnswer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shown = true;
    m_completedShown = m_completedShown || (createAnswer.delivery == Delivery::Answered &&
                                            createAnswer.orderStatus == Completed);
}

bool CancellationGate::wasOrderShown() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
}

bool CancellationGate::paidAfterPolls()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pollOut; });
    return m_completedShown;
}

void CancellationGate::sleepUntil(std::chrono::steady_clock::time_point nextPoll,
                                  const std::atomic_bool &orderCanceled) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (orderCanceled.load() || m_decided)
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
