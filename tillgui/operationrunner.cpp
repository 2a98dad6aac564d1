#include "operationrunner.h"

#include <basicpaymentprocessing.h>

namespace tillgui {

OperationRunner::OperationRunner(BasicPaymentProcessing *processing, QObject *parent)
    : QObject(parent), m_processing(processing)
{}

OperationRunner::~OperationRunner()
{
    waitForEnd();
}

bool OperationRunner::run(const std::function<void()> &work, const std::function<void()> &done)
{
    if (m_busy)
        return false;
    // The previous worker has ended (its queued end call came), only its thread is left.
    if (m_worker.joinable())
        m_worker.join();
    m_busy = true;
    emit started();
    m_worker = std::thread([this, work, done] {
        work();
        // Delivered on this object's thread; dropped if the object is gone by then, which the
        // destructor's join rules out while the call is pending.
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                if (m_worker.joinable())
                    m_worker.join();
                m_busy = false;
                done();
                if (isIdle())
                    emit idle();
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool OperationRunner::interrupt()
{
    if (!m_busy || m_interrupting)
        return false;
    if (m_interrupter.joinable())
        m_interrupter.join();
    m_interrupting = true;
    m_interrupter = std::thread([this] {
        const bool confirmed = m_processing->interruptPayment();
        QMetaObject::invokeMethod(
            this,
            [this, confirmed] {
                if (m_interrupter.joinable())
                    m_interrupter.join();
                m_interrupting = false;
                emit interruptFinished(confirmed);
                if (isIdle())
                    emit idle();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void OperationRunner::waitForEnd()
{
    if (m_interrupter.joinable())
        m_interrupter.join();
    if (m_worker.joinable())
        m_worker.join();
}

} // namespace tillgui
