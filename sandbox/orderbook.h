#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

namespace sandbox {

// The sandbox's orders and the rules they follow, apart from any transport: the life the
// scanned code chooses, moved on by info polls; cancellation; refunds by position, counted in
// kopecks, with refund ids as idempotency keys; and the checks a create must pass. Each
// endpoint's operation takes the request body as it arrived and answers as the service does,
// with an HTTP status and a JSON body. Every method may be called from any thread.
class OrderBook
{
public:
    struct Reply
    {
        int status = 200;
        QJsonObject body;
    };

    // {"error": {"code": ..., "text": ...}}, the way every failure answers.
    static Reply errorReply(int status, const QString &code, const QString &text);

    // An order moves to its next state after `pollsPerState` info polls (at least one). With a
    // `stateFile` the orders are kept in it (OrderStore) and those it holds are known at once;
    // stateError() tells when it cannot be used.
    explicit OrderBook(int pollsPerState = 1, const QString &stateFile = QString());
    ~OrderBook();

    OrderBook(const OrderBook &) = delete;
    OrderBook &operator=(const OrderBook &) = delete;

    // create_offline. When the order is made, `orderId` receives its id and `lateAnswer`
    // whether its scanned code asks for the answer to be held back (CodeSlowCreate).
    Reply create(const QByteArray &body, QString *orderId = nullptr, bool *lateAnswer = nullptr);
    // What a create of this order answers as it stands now.
    Reply createAnswer(const QString &orderId) const;
    // {id}/info: answers with the current state, then counts the poll.
    Reply info(const QString &orderId);
    Reply cancel(const QString &orderId, const QByteArray &body);
    Reply refund(const QString &orderId, const QByteArray &body);

    // An order as held: {"id", "status", "amount", "items", "prepaidAmount", "clientCode",
    // "refund": [...]}. Empty when unknown.
    QJsonObject order(const QString &id) const;
    // Puts an order into a state directly; a state on its own path resumes its life there.
    void setStatus(const QString &id, const QString &status);

    // Why the state file cannot be used; empty when it can, or when there is none.
    QString stateError() const;

private:
    class Private;
    std::unique_ptr<Private> m_d;
};

} // namespace sandbox
