#pragma once

#include <restresponse.h>

#include <QHash>

#include <mutex>

// What one exchange leaves behind for the thread that ran it.
struct ExchangeState
{
    RestResponse response;
    bool timedOut = false;
};

// Each thread's last exchange: a client shared between threads gives each thread the answer
// to its own request. Reading never waits for another thread's exchange to end.
class ExchangeResults
{
public:
    // Replaces the calling thread's state.
    void store(const ExchangeState &state);
    // The calling thread's state; the default when it has run no exchange.
    ExchangeState current() const;

private:
    mutable std::mutex m_mutex;
    QHash<Qt::HANDLE, ExchangeState> m_states;
};
