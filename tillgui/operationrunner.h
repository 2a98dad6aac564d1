#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

class BasicPaymentProcessing;

namespace tillgui {

// Runs the plug-in's operations off the window's thread: each processing call blocks the
// thread that makes it (a sale waits for the buyer for as long as it takes), so the window
// hands it to a worker thread and hears of its end through a queued call. One operation at a
// time, as a host runs them. The cashier's cancel runs interruptPayment on a thread of its
// own, since the cancellation's exchange blocks too and the sale's thread is still waiting.
class OperationRunner : public QObject
{
    Q_OBJECT

public:
    explicit OperationRunner(BasicPaymentProcessing *processing, QObject *parent = nullptr);
    // Waits for the operation and the cancellation under way.
    ~OperationRunner() override;

    // `work` runs on a worker thread, then `done` on this object's thread. False (and nothing
    // runs) while another operation is under way.
    bool run(const std::function<void()> &work, const std::function<void()> &done);
    // Presses the cashier's cancel for the operation under way. False when nothing runs or a
    // cancellation is already being sent.
    bool interrupt();

    // Blocks until the operation and the cancellation under way have ended, without the event
    // loop: their end calls are then never delivered.
    void waitForEnd();

    bool isBusy() const { return m_busy; }
    bool isInterrupting() const { return m_interrupting; }
    // Neither an operation nor a cancellation is under way.
    bool isIdle() const { return !m_busy && !m_interrupting; }

signals:
    void started();
    void interruptFinished(bool confirmed);
    // Emitted once both the operation and any cancellation have ended.
    void idle();

private:
    BasicPaymentProcessing *m_processing;
    std::thread m_worker;
    std::thread m_interrupter;
    // Only touched on this object's thread.
    bool m_busy = false;
    bool m_interrupting = false;
};

} // namespace tillgui
