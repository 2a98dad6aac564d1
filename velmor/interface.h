#pragma once

#include "cancellationgate.h"
#include "journal.h"
#include "reachability.h"
#include "requestresult.h"

#include <paymentprocessingrequest.h>
#include <tr.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class RestClient;
class AbstractDocument;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The client of the Velmor merchant service. Its operations are virtual, and each call of one
// by another goes through the virtual table, so a subclass can replace any single step. The
// helpers declared after them (headers, URL, error keys, the current id, the refund sums) are
// plain members.
class Interface : public QObject
{
    Q_OBJECT

public:
    Interface();
    ~Interface() override;

    // Reads the configuration keys and hands the connection settings to the transport.
    virtual void init();
    // A sale: creates the order from the current receipt and waits for its outcome.
    virtual RequestResult createOffline(const PaymentProcessingRequest &request);
    virtual RequestResult info(const QString &orderId) const;
    // Cancels the order in hand; without an answer, and unless replaying, queues it.
    virtual RequestResult cancel(bool fromQueue);
    virtual RequestResult refund(const PaymentProcessingRequest &request);
    // One refund exchange; an empty payload is built from the current receipt.
    virtual RequestResult refund(const QString &orderId, const QJsonObject &payload);
    virtual QString createId() const;
    virtual RequestResult sendPostRequest(const QString &path, const QJsonObject &body) const;
    virtual RequestResult sendGetRequest(const QString &path) const;
    virtual RequestResult getRequestResult() const;
    virtual RequestResult waitForComplete(const QString &orderId) const;
    virtual double getOrderAmount() const;
    virtual double getOrderPrepaidAmount() const;
    virtual QJsonArray getItems() const;
    virtual QJsonObject getRefundPayload() const;
    virtual QJsonArray getRefundItems(bool useBquant) const;
    virtual OrderStatus getOrderStatus(const QString &status) const;
    // Returns whether the message was stored.
    virtual bool sendMessageToQueue(const QString &orderId) const;
    virtual void changeProgress(const tr::Tr &message, int percent) const;
    // One status request for an order nobody has made, with the configured address,
    // credentials, TLS and timeout: whether the service can be reached and lets us in.
    // Nothing is created, cancelled or queued.
    virtual Reachability testConnection() const;

    QHash<QString, QString> getHeaders() const;
    QUrl getUrl(const QString &path) const;
    static QString getTrId(const QString &code);
    void setCurrentId(const QString &id);
    double getOrderAmount(const QJsonObject &json) const;
    double getTotalRefundedAmount(const QJsonObject &json) const;
    // True only for an info answer that carries the order's amount, above nothing, and whose
    // refunds add up to it exactly.
    bool checkRefundAmount(const QJsonObject &json) const;
    // Seconds after its sale that an order the service does not know may still turn up.
    int getUnknownOrderTimeout() const;

    // The journal a sale or a refund is written into before its request leaves (none: nothing
    // is written, as for a client that is not the plug-in's).
    void setJournal(const QSharedPointer<Journal> &journal);
    // Marks the sale or refund in hand as answered with `outcome`, before the host gets its
    // answer, with the processing object's `note` (see Journal::markAnswered); nothing when it
    // wrote no entry.
    void journalAnswer(Journal::Outcome outcome, int status, const QString &rrn,
                       const QJsonObject &note = QJsonObject());

protected:
    std::atomic_bool orderCanceled{false};
    QUrl url;
    int timeout = 60;
    int infoRequestInterval = 10;
    int unknownOrderTimeout = 3600;
    QString credentials;
    QString currentId;
    PaymentProcessingRequest request;
    QSharedPointer<RestClient> restClient;
    Log4Qt::Logger *logger = nullptr;
    // How long a sale's polls may keep hearing "order_not_found" after its create (and at
    // least UnknownOrderPolls of them) before the sale ends: the create never arrived.
    std::chrono::milliseconds unknownOrderLimit{std::chrono::seconds(30)};
    static constexpr int UnknownOrderPolls = 3;

private:
    class SpareTransport;

    // The host's current receipt, or null when there is none.
    static QSharedPointer<AbstractDocument> currentDocument();
    // The settings init() read, handed to a transport.
    void configureTransport(RestClient &transport) const;
    // The transport the calling thread's exchange goes through: the client's own, or the one
    // a cancellation took because a poll holds the client's own.
    RestClient *exchangeTransport() const;
    // The cashier's cancellation, once it knows which transport it goes through.
    RequestResult cancelSale(const QString &orderId);
    // The service kept saying it holds no such order: the sale fails, and a cancellation is
    // sent (or queued) in case the create turns up later.
    RequestResult endUnknownOrder(const QString &orderId, const RequestResult &lastPoll) const;
    // What the queue holds for a cancellation or refund of `orderId` without answer: the
    // request in hand (its time set when the host gave none) and the refund body.
    QJsonObject queuedMessage(const QString &orderId, const QJsonObject &refundBody) const;
    // The order in hand as another thread may read it while a sale writes it.
    QString currentOrderId() const;
    PaymentProcessingRequest storedRequest() const;

    QString m_certificatePath;
    QString m_certificatePassword;

    // Held around each exchange and the decoding of its answer, so that a cancellation from
    // another thread never comes between a poll and its decoding.
    mutable std::mutex m_exchangeMutex;
    // A cancellation's own transport, taken while a poll holds the client's, and the thread
    // whose exchanges go through it (none when there is no such thread). One at a time.
    std::mutex m_spareMutex;
    QSharedPointer<RestClient> m_spare;
    std::atomic<std::thread::id> m_spareThread{};
    // Guards currentId and request, which an interruption reads from another thread. Never
    // held while waiting for m_exchangeMutex.
    mutable std::mutex m_stateMutex;
    // Holds the sale's polls back while the cashier's cancellation is in flight.
    mutable CancellationGate m_cancellation;
    // The journal, and the entry of the sale or refund in hand (0: none). Written by the
    // thread that runs the operation only.
    QSharedPointer<Journal> m_journal;
    qint64 m_journalEntry = 0;
};

} // namespace velmor
