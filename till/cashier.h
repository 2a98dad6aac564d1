#pragma once

#include <paymentprocessinganswer.h>

#include <QString>
#include <QVector>

#include <functional>

class BasicPaymentProcessing;
class DBQueueBroker;
class PaymentProcessingRequest;

namespace till {

class ConsoleProgress;

// What a cashier does with the plug-in: sales, refunds, cancellations and handing queued
// messages back. Turns each into the request the host would send and reports the answer.
class Cashier
{
public:
    struct SaleOptions
    {
        int amount = 0;            // kopecks
        QString code;              // the buyer's scanned code
        int interruptAfterMs = -1; // negative: no timer
        // SIGINT, SIGTERM and SIGHUP press the cancel button (see CancelButton).
        bool interruptOnSignal = false;
    };

    struct ReplayResult
    {
        qint64 id = 0;
        QString orderId;
        bool finished = false;
        // False when the queue could not record the outcome (the message then stays).
        bool recorded = true;
    };

    Cashier(BasicPaymentProcessing *processing, ConsoleProgress *progress);

    // False from `interrupted` when the sale ran to its end without the cancel button.
    PaymentProcessingAnswer sale(const SaleOptions &options, bool *interrupted = nullptr);
    PaymentProcessingAnswer refund(const QString &rrn, int amount);
    PaymentProcessingAnswer cancel(const QString &rrn, int amount);
    // Offers every message pending when it begins, oldest first, reading the queue a page at a
    // time; `each` sees each outcome as it comes. When `stop` (asked before each message) says
    // so, the rest are not offered and stay as they are; `notOffered` then receives how many.
    QVector<ReplayResult> replay(DBQueueBroker *queue,
                                 const std::function<void(const ReplayResult &)> &each,
                                 const std::function<bool()> &stop = nullptr,
                                 int *notOffered = nullptr);

    // 0 (Success) and 6 (SuccessWithMessage) are the statuses a host treats as done.
    static bool isSuccess(const PaymentProcessingAnswer &answer);
    // {"status": 0, "message": "...", "messageKey": "...", "rrn": "...", "paymentMethod": 2}
    static QString answerLine(const PaymentProcessingAnswer &answer);
    static QString replayLine(const ReplayResult &result);

private:
    using Operation =
        PaymentProcessingAnswer (BasicPaymentProcessing::*)(const PaymentProcessingRequest &);

    // A request of `type` about the sale `rrn`, handed to the plug-in's `operation`.
    PaymentProcessingAnswer sendForSale(int type, const QString &rrn, int amount,
                                        Operation operation);
    // Ends the progress display's line once an operation is over.
    void endProgress();
    void note(const QString &line);

    BasicPaymentProcessing *const m_processing;
    ConsoleProgress *const m_progress;
};

} // namespace till
