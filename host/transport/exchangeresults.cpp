#include "exchangeresults.h"

#include <QThread>

void ExchangeResults::store(const ExchangeState &state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_states.insert(QThread::currentThreadId(), state);
}

ExchangeState ExchangeResults::current() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_states.value(QThread::currentThreadId());
}
