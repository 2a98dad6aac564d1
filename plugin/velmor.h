#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <basicpaymentprocessing.h>

#include <functional>
#include <memory>

class JournalKeeper;

namespace velmor {
class Interface;
class Journal;
struct RequestResult;
} // namespace velmor

class Config;

namespace Log4Qt {
class Logger;
}

// The processing object the host drives: it forwards each operation to the service client
// and turns the client's results into the host's answers.
class Velmor : public QObject, public BasicPaymentProcessing
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "Velmor" FILE "velmor.json")
    Q_INTERFACES(BasicPaymentProcessing)

public:
    Velmor();
    ~Velmor() override;

    void init() override;
    PaymentProcessingAnswer payment(const PaymentProcessingRequest &request) override;
    PaymentProcessingAnswer cancel(const PaymentProcessingRequest &request) override;
    bool interruptPayment() override;
    bool sendEnqueuedMessage(const QMap<QString, QVariant> &message) override;
    QMap<EPaymentProcessingInfo::MessageType, tr::Tr> getMessageInfo() const override;
    // One status request for an order nobody has made: success when the service is reachable
    // and accepts the credentials, otherwise a failure that says which of those it is not.
    PaymentProcessingAnswer testConnection() override;
    // The order's state at the service, as orderstatusanswer.h describes the answer.
    PaymentProcessingAnswer getPaymentByQRCodeStatus(const QString &orderId) override;
    bool isCheckTotalsEnable() const override { return true; }
    // The reconciliation of the current day, as reconciliation.h describes it. `terminal` (the
    // host's terminal or shift number) is only echoed in the answer's terminal number: one
    // configuration is one merchant account, and the journal holds the operations of every
    // till of this machine, so the day is reconciled whole.
    PaymentProcessingAnswer checkTotals(int terminal) override;
    // The day's operations from the journal, no request sent (shiftreport.h): the totals by
    // kind, and the full report a line per operation as well.
    PaymentProcessingAnswer printReport() override;
    PaymentProcessingAnswer printShortReport() override;
    // The last slip again, marked as a copy, at the width it was printed at. `terminal` is
    // only echoed, as for checkTotals.
    PaymentProcessingAnswer printCopy(int terminal) override;

protected:
    // For tests that stand a prepared client in.
    explicit Velmor(const QSharedPointer<velmor::Interface> &client);

    QSharedPointer<velmor::Interface> interface;
    Log4Qt::Logger *logger = nullptr;

private:
    void setUp();
    static bool holdsAnyClientKey(const Config &config);
    // The answer of a sale or refund while the journal cannot be used: nothing is sent.
    PaymentProcessingAnswer journalRefusal() const;
    // Marks the sale or refund in hand answered with `answer` in the journal, noting the
    // operation (a Slip::Operation) and the slip it printed (empty: none).
    void journalAnswer(const PaymentProcessingAnswer &answer, int operation,
                       const QJsonObject &slip);
    // What `read` makes of the journal, or the refusal when the configuration or the journal
    // cannot be used.
    PaymentProcessingAnswer
    fromJournal(const std::function<PaymentProcessingAnswer(velmor::Journal &)> &read) const;
    // The decision on one queued message, which sendEnqueuedMessage notes in the journal.
    bool replayMessage(const QString &orderId, const QMap<QString, QVariant> &message);
    // The replay of a paid order's queued refund or cancellation, once the service has shown
    // the order completed or partly refunded in `orderInfo`.
    bool finishRefund(const QString &orderId, const QMap<QString, QVariant> &message,
                      const velmor::RequestResult &orderInfo);
    // The replay of a message whose order the service says it does not know.
    bool finishUnknownOrder(const QString &orderId, const QMap<QString, QVariant> &message);
    // The answer of every operation while the configuration file is unusable: nothing is sent.
    PaymentProcessingAnswer configurationRefusal() const;
    // Adds the slip the host prints for an operation that went through (or waits in the
    // queue)
    // to `answer`; returns what the journal keeps to print it again (empty when none).
    static QJsonObject addSlip(PaymentProcessingAnswer *answer,
                               const PaymentProcessingRequest &request, int operation,
                               const QString &orderId);

    // Set by init when the configuration file is there but gives no configuration.
    QString unusableConfigFile;
    // The journal of sales and refunds, held for the object's life: it holds this process's
    // lock, which tells other processes that its open entries are not a dead till's.
    std::unique_ptr<JournalKeeper> journalKeeper;
};
