#pragma once

#include "requestresult.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <paymentprocessingrequest.h>
#include <tr.h>

class RestClient;
class AbstractDocument;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The client of the Velmor merchant service. Every operation is virtual and every call of
// one operation by another goes through the virtual table, so a subclass can replace any
// single step.
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

    QHash<QString, QString> getHeaders() const;
    QUrl getUrl(const QString &path) const;
    static QString getTrId(const QString &code);
    void setCurrentId(const QString &id);
    double getOrderAmount(const QJsonObject &json) const;
    double getTotalRefundedAmount(const QJsonObject &json) const;
    // True only for an info answer that carries the order's amount and whose refunds add up
    // to it exactly.
    bool checkRefundAmount(const QJsonObject &json) const;

    // Places an order id into a path as one segment, whatever characters it holds.
    static QString pathSegment(const QString &id);

protected:
    // The host's current receipt, or null when there is none.
    static QSharedPointer<AbstractDocument> currentDocument();
    // The order in hand as another thread may read it while a sale writes it.
    QString currentOrderId() const;
    static bool isUnanswered(const RequestResult &result);
    // False when the answer names another order than `orderId` in "order"."id": it says
    // nothing about the order asked about.
    bool answersFor(const RequestResult &result, const QString &orderId) const;
    // Turns an answer that says nothing about the order asked about into one without use.
    static void discardAnswer(RequestResult *result);
    // Blocks the completion wait until the next poll is due, the cashier's cancellation has
    // been decided, or, while one is in flight, until it has.
    void sleepUntilNextPoll(std::chrono::steady_clock::time_point nextPoll) const;
    PaymentProcessingRequest storedRequest() const;

    std::atomic_bool orderCanceled{false};
    // Set when the cashier interrupts the order in hand, whatever the service answers.
    std::atomic_bool interruptRequested{false};
    QUrl url;
    int timeout = 60;
    int infoRequestInterval = 10;
    QString credentials;
    QString currentId;
    PaymentProcessingRequest request;
    QSharedPointer<RestClient> restClient;
    Log4Qt::Logger *logger = nullptr;
    // Held around each exchange and the decoding of its answer, so that a cancellation from
    // another thread never comes between a poll and its decoding.
    mutable std::mutex exchangeMutex;
    // Guards currentId and request, which an interruption reads from another thread. Never
    // held while waiting for exchangeMutex.
    mutable std::mutex stateMutex;
    // Wakes the completion wait when the cashier's cancellation starts and when it ends, so
    // that no status poll goes out ahead of the cancellation and the sale ends right after it.
    mutable std::mutex interruptMutex;
    mutable std::condition_variable interruptChanged;
    bool cancelInFlight = false;
};

} // namespace velmor
