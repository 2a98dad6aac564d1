#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace velmor {

// What the cashier's cancellation and the sale's completion wait share besides the order's
// cancelled flag: whether a cancellation was asked for, and whether its exchange is still in
// flight. While it is, the wait sends no status poll, so that no poll goes out ahead of the
// cancellation and the sale ends right after it.
class CancellationGate
{
public:
    // A new order: nothing has been asked for yet.
    void reset();
    // The cashier's cancellation starts: polls wait until finish().
    void begin();
    void finish();
    // Lets a waiting poll look at the order's state again.
    void wake();

    // Whether the cashier asked to cancel the order in hand, whatever the service answered.
    bool isRequested() const;

    // Blocks until `nextPoll`, returning early once `orderCanceled` is set, and waiting on while
    // a cancellation is in flight.
    void sleepUntil(std::chrono::steady_clock::time_point nextPoll,
                    const std::atomic_bool &orderCanceled) const;

private:
    std::atomic_bool m_requested{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_inFlight = false;
};

} // namespace velmor
