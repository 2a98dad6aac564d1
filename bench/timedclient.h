#pragma once

#include <velmor/interface.h>

#include <QVector>
#include <chrono>
#include <functional>

// The service client with its polls timed: when each one started and how long its exchange
// took, and what the whole wait cost in CPU. After a set number of polls it completes the
// order at the service, so that a wait on an order that would never end stops there.
class TimedClient : public velmor::Interface
{
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    // Puts an order into "completed" at the service, wherever the service runs.
    using Completer = std::function<void(const QString &orderId)>;

    // The poll numbered `polls` (from 1) finds the order completed; 0 never ends it.
    void setPollLimit(const Completer &complete, int polls);

    velmor::RequestResult info(const QString &orderId) const override;
    velmor::RequestResult waitForComplete(const QString &orderId) const override;

    const QVector<Clock::time_point> &pollStarts() const { return m_pollStarts; }
    const QVector<qint64> &pollNanos() const { return m_pollNanos; }
    Clock::time_point waitStart() const { return m_waitStart; }
    // How long the last wait took, start to return.
    qint64 waitNanos() const { return m_waitNanos; }
    // CPU time of the whole process and of the waiting thread alone, during the last wait.
    qint64 waitProcessCpuMicros() const { return m_processCpuMicros; }
    qint64 waitThreadCpuMicros() const { return m_threadCpuMicros; }

private:
    Completer m_complete;
    int m_pollLimit = 0;
    mutable QVector<Clock::time_point> m_pollStarts;
    mutable QVector<qint64> m_pollNanos;
    mutable Clock::time_point m_waitStart;
    mutable qint64 m_waitNanos = 0;
    mutable qint64 m_processCpuMicros = 0;
    mutable qint64 m_threadCpuMicros = 0;
};
