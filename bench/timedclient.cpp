#include "timedclient.h"

#include <sys/resource.h>
#include <time.h>

namespace {

qint64 processCpuMicros()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000 +
           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

qint64 threadCpuMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

void TimedClient::setPollLimit(const Completer &complete, int polls)
{
    m_complete = complete;
    m_pollLimit = polls;
}

velmor::RequestResult TimedClient::info(const QString &orderId) const
{
    // Ending the order is the service's doing, not the poll's, so it stays out of the timing.
    if (m_complete && m_pollLimit > 0 && m_pollStarts.size() + 1 == m_pollLimit)
        m_complete(orderId);
    const Clock::time_point start = Clock::now();
    velmor::RequestResult result = velmor::Interface::info(orderId);
    const Clock::time_point end = Clock::now();
    m_pollStarts.append(start);
    m_pollNanos.append(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
    return result;
}

velmor::RequestResult TimedClient::waitForComplete(const QString &orderId) const
{
    m_pollStarts.clear();
    m_pollNanos.clear();
    const qint64 process = processCpuMicros();
    const qint64 thread = threadCpuMicros();
    m_waitStart = Clock::now();
    velmor::RequestResult result = velmor::Interface::waitForComplete(orderId);
    m_waitNanos =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_waitStart).count();
    m_threadCpuMicros = threadCpuMicros() - thread;
    m_processCpuMicros = processCpuMicros() - process;
    return result;
}
