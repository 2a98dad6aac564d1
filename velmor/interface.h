#pragma once

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
#include <memory>

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
    // The order and the request in hand. The cashier's cancellation reads them from the
    // host's thread, so the client writes them under a lock of its own (setCurrentId()).
    QString currentId;
    PaymentProcessingRequest request;
    Log4Qt::Logger *logger = nullptr;
    // How long a sale's polls may keep hearing "order_not_found" after its create (and at
    // least SaleWait::UnknownOrderPolls of them) before the sale ends: the create never
    // arrived.
    std::chrono::milliseconds unknownOrderLimit{std::chrono::seconds(30)};

private:
    // The host's current receipt, or null when there is none.
    static QSharedPointer<AbstractDocument> currentDocument();
    // What the queue holds for a cancellation or refund of `orderId` without answer: the
    // request in hand (its time set when the host gave none) and the refund body.
    QJsonObject queuedMessage(const QString &orderId, const QJsonObject &refundBody) const;
    // The order in hand as another thread may read it while a sale writes it.
    QString currentOrderId() const;
    PaymentProcessingRequest storedRequest() const;

    // The threads' shared parts (the transports, the locks, the cancellation gate) and the
    // journal of the operation in hand.
    class Private;
    const std::unique_ptr<Private> d;
};

} // namespace velmor
