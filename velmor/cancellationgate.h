#pragma once

#include "requestresult.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace velmor {

// What the cashier's cancellation and the sale share besides the order's cancelled flag:
// whether the create is still waiting for its answer (a cancellation must not overtake it, or
// the order would be made after it and stay live), whether a status poll is out, whether a
// cancellation was asked for and is in flight, and how it decided the sale ends. While a
// cancellation is in flight the wait sends no poll; a poll already out is left behind and its
// answer, when it comes, gives way to the cancellation's decision. transportrouter.h tells
// the threads, and the order in which they take their locks.
class CancellationGate
{
public:
    // A new order, whose create is about to go out: nothing asked for, nothing decided.
    void reset();
    // The create has its answer, or its timeout, or was never sent.
    void createDone();

    // The cashier's cancellation starts: waits until the create is done, then holds the polls
    // back until finish(). Returns whether a poll was out at that moment.
    bool begin();
    void finish();
    // How the sale ends, as the cashier's cancellation found out (cancelled, or paid or
    // rejected after all). The wait ends with it at once.
    void decide(const RequestResult &result);

    // Whether the cashier asked to cancel the order in hand, whatever the service answered.
    bool isRequested() const;
    // The decision, when there is one.
    bool decision(RequestResult *result) const;

    // A poll may go out unless a cancellation is in flight or decided; pollDone() once it
    // returned, with what the poll showed of the order (a null result: nothing).
    bool startPoll();
    void pollDone(const RequestResult *shown = nullptr);

    // The service has shown the order: its create was answered 200 (`createAnswer`, whose
    // state counts when it is the service's own answer about this order), or a poll answered
    // about it. Such an order never counts as one whose create never arrived.
    void orderShown(const RequestResult &createAnswer);
    bool wasOrderShown() const;
    // For the cashier's cancellation that got no decisive answer: waits for a poll still out
    // (bounded by the transport's timeout), then says whether any answer showed the order
    // completed, in which case the sale is paid and nothing may be cancelled.
    bool paidAfterPolls();

    // Blocks until `nextPoll`, returning early once `orderCanceled` is set or the sale is
    // decided, and waiting on while a cancellation is in flight.
    void sleepUntil(std::chrono::steady_clock::time_point nextPoll,
                    const std::atomic_bool &orderCanceled) const;

private:
    std::atomic_bool m_requested{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_createPending = false;
    bool m_pollOut = false;
    bool m_inFlight = false;
    bool m_decided = false;
    bool m_shown = false;
    bool m_completedShown = false;
    RequestResult m_decision;
};

} // namespace velmor
