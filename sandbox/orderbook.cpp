#include "orderbook.h"

#include "order.h"
#include "orderstore.h"
#include "sandbox.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QVector>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace sandbox {

namespace {

using Reply = OrderBook::Reply;

// Quantities arrive as rounded decimals; a returned position counts as fully returned within
// half a thousandth, so that 0.333 + 0.667 returns the whole unit.
constexpr double QuantityTolerance = 0.0005;

Reply invalidRequest(const QString &why)
{
    return OrderBook::errorReply(400, QStringLiteral("invalid_request"),
                                 QStringLiteral("Некорректный запрос: %1").arg(why));
}

Reply orderNotFound()
{
    return OrderBook::errorReply(404, QStringLiteral("order_not_found"),
                                 QStringLiteral("Заказ не найден"));
}

Reply orderAnswer(const Order &order)
{
    return Reply{200, QJsonObject{{QStringLiteral("order"), order.view(false)}}};
}

// Position ids travel as strings; a numeric id is accepted as its decimal text.
bool readId(const QJsonValue &value, QString *id)
{
    if (value.isString()) {
        *id = value.toString();
    } else if (value.isDouble() && value.toDouble() == std::floor(value.toDouble())) {
        *id = QString::number(static_cast<qint64>(value.toDouble()));
    } else {
        return false;
    }
    return !id->isEmpty();
}

bool readNonNegative(const QJsonObject &object, const QString &key, double *number)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()) || value.toDouble() < 0)
        return false;
    *number = value.toDouble();
    return true;
}

// Every endpoint that takes a body wants a JSON object, and refuses anything else alike.
bool parseObject(const QByteArray &body, QJsonObject *object, Reply *refusal)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        *refusal = invalidRequest(QStringLiteral("тело запроса не является объектом JSON"));
        return false;
    }
    *object = document.object();
    return true;
}

// The positions of a create, each under an id of its own; false with the refusal otherwise.
bool readItems(const QJsonArray &itemsJson, QVector<Order::Item> *items, Reply *refusal)
{
    for (const QJsonValue &value : itemsJson) {
        const QJsonObject itemJson = value.toObject();
        Order::Item item;
        double unit = 0;
        if (!readId(itemJson.value(QStringLiteral("id")), &item.id) ||
            !readNonNegative(itemJson, QStringLiteral("quantity"), &item.quantity) ||
            !readNonNegative(itemJson, QStringLiteral("amount"), &unit)) {
            *refusal = invalidRequest(QStringLiteral("неверная позиция заказа"));
            return false;
        }
        // Refunds name positions by id, so two positions under one id could not be told apart.
        for (const Order::Item &other : *items) {
            if (other.id == item.id) {
                *refusal = invalidRequest(
                    QStringLiteral("повторяющийся идентификатор позиции %1").arg(item.id));
                return false;
            }
        }
        item.unitKopecks = Order::toKopecks(unit);
        items->append(item);
    }
    return true;
}

// How much a refund returns of each of the order's positions, in the order's own sequence;
// false with the refusal when a position cannot be read or is not the order's.
bool readReturning(const Order &order, const QJsonArray &itemsJson, QVector<double> *returning,
                   Reply *refusal)
{
    returning->fill(0.0, order.items.size());
    for (const QJsonValue &value : itemsJson) {
        const QJsonObject itemJson = value.toObject();
        QString id;
        double quantity = 0;
        if (!readId(itemJson.value(QStringLiteral("id")), &id) ||
            !readNonNegative(itemJson, QStringLiteral("refundedQuantity"), &quantity)) {
            *refusal = invalidRequest(QStringLiteral("неверная позиция возврата"));
            return false;
        }
        const auto found = std::find_if(order.items.cbegin(), order.items.cend(),
                                        [&id](const Order::Item &item) { return item.id == id; });
        if (found == order.items.cend()) {
            *refusal = invalidRequest(QStringLiteral("позиция %1 не найдена в заказе").arg(id));
            return false;
        }
        (*returning)[int(found - order.items.cbegin())] += quantity;
    }
    return true;
}

Reply exceedingRefundedAmount()
{
    return OrderBook::errorReply(400, QStringLiteral("exceeding_refunded_amount"),
                                 QStringLiteral("Сумма возврата превышает сумму заказа"));
}

qint64 refundedKopecks(const Order &order)
{
    qint64 total = 0;
    for (const Order::Refund &refund : order.refunds)
        total += refund.totalKopecks;
    return total;
}

// How far a refund's positions may add up beyond what is left of the amount through the
// rounding of unit prices alone: half a kopeck per unit returned, over all the order's refunds
// with this one.
qint64 roundingAllowance(const Order &order, const QVector<double> &returning)
{
    double units = 0;
    for (int i = 0; i < order.items.size(); ++i)
        units += order.items.at(i).refunded + returning.at(i);
    return static_cast<qint64>(std::ceil(units / 2.0));
}

} // namespace

class OrderBook::Private
{
public:
    Private(int pollsPerState, const QString &stateFile) : m_pollsPerState(pollsPerState)
    {
        if (stateFile.isEmpty())
            return;
        m_store = std::make_unique<OrderStore>();
        QVector<Order> held;
        if (!m_store->open(stateFile) || !m_store->load(&held)) {
            m_stateError = m_store->errorString();
            m_store.reset();
            return;
        }
        for (const Order &order : held)
            m_orders.emplace(order.id, order);
    }

    Order *find(const QString &id)
    {
        const auto it = m_orders.find(id);
        return it == m_orders.end() ? nullptr : &it->second;
    }

    // After every change of an order, under the lock. A failed write is told, not answered:
    // the order has changed for this run all the same.
    void keep(const Order &order)
    {
        if (m_store && !m_store->save(order))
            qWarning("velmor-sandbox: %s", qPrintable(m_store->errorString()));
    }

    const int m_pollsPerState;
    std::mutex m_mutex;
    std::map<QString, Order> m_orders;
    std::unique_ptr<OrderStore> m_store;
    QString m_stateError;
};

OrderBook::Reply OrderBook::errorReply(int status, const QString &code, const QString &text)
{
    return {status,
            QJsonObject{{QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code},
                                                              {QStringLiteral("text"), text}}}}};
}

OrderBook::OrderBook(int pollsPerState, const QString &stateFile)
    : m_d(std::make_unique<Private>(pollsPerState, stateFile))
{}

QString OrderBook::stateError() const
{
    return m_d->m_stateError;
}

OrderBook::~OrderBook() = default;

OrderBook::Reply OrderBook::create(const QByteArray &body, QString *orderId, bool *lateAnswer)
{
    QJsonObject request;
    Reply refusal;
    if (!parseObject(body, &request, &refusal))
        return refusal;
    const QJsonObject orderJson = request.value(QStringLiteral("order")).toObject();
    const QString id = orderJson.value(QStringLiteral("id")).toString();
    if (id.isEmpty())
        return invalidRequest(QStringLiteral("не указан идентификатор заказа"));
    double amount = 0;
    if (!readNonNegative(orderJson, QStringLiteral("amount"), &amount))
        return invalidRequest(QStringLiteral("не указана сумма заказа"));
    double prepaid = 0;
    if (orderJson.contains(QStringLiteral("prepaidAmount")) &&
        !readNonNegative(orderJson, QStringLiteral("prepaidAmount"), &prepaid))
        return invalidRequest(QStringLiteral("неверная сумма предоплаты"));

    const QJsonValue itemsValue = orderJson.value(QStringLiteral("items"));
    if (!itemsValue.isUndefined() && !itemsValue.isArray())
        return invalidRequest(QStringLiteral("позиции заказа не являются массивом"));
    QVector<Order::Item> items;
    if (!readItems(itemsValue.toArray(), &items, &refusal))
        return refusal;

    const QString code = request.value(QStringLiteral("clientInfo"))
                             .toObject()
                             .value(QStringLiteral("id"))
                             .toString();
    if (code == QLatin1String(Sandbox::CodeError))
        return errorReply(400, QStringLiteral("client_rejected"),
                          QStringLiteral("Клиент не найден"));

    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    if (m_d->m_orders.count(id) != 0)
        return errorReply(409, QStringLiteral("order_exists"),
                          QStringLiteral("Заказ с таким идентификатором уже существует"));
    Order order(id, code);
    order.amountKopecks = Order::toKopecks(amount);
    order.prepaidKopecks = Order::toKopecks(prepaid);
    order.rawItems = itemsValue.toArray();
    order.items = items;
    m_d->m_orders.emplace(id, order);
    m_d->keep(order);

    if (orderId)
        *orderId = id;
    if (lateAnswer)
        *lateAnswer = code == QLatin1String(Sandbox::CodeSlowCreate);
    return orderAnswer(order);
}

OrderBook::Reply OrderBook::createAnswer(const QString &orderId) const
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    const Order *order = m_d->find(orderId);
    return order ? orderAnswer(*order) : orderNotFound();
}

OrderBook::Reply OrderBook::info(const QString &orderId)
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    Order *order = m_d->find(orderId);
    if (!order)
        return orderNotFound();
    Reply reply{200, QJsonObject{{QStringLiteral("order"), order->view(true)},
                                 {QStringLiteral("refund"), order->refundsView(true)}}};
    order->advance(m_d->m_pollsPerState);
    m_d->keep(*order);
    return reply;
}

OrderBook::Reply OrderBook::cancel(const QString &orderId, const QByteArray &body)
{
    QJsonObject request;
    Reply refusal;
    if (!parseObject(body, &request, &refusal))
        return refusal;
    if (!request.value(QStringLiteral("cancellationInitiator")).isString())
        return invalidRequest(QStringLiteral("не указан инициатор отмены"));

    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    Order *order = m_d->find(orderId);
    if (!order)
        return orderNotFound();
    const QString &status = order->status;
    if (status == Order::StatusCreated || status == Order::StatusScoring ||
        status == Order::StatusApproved) {
        order->status = Order::StatusCanceled;
        m_d->keep(*order);
    } else if (status != Order::StatusCanceled) {
        return errorReply(
            400, QStringLiteral("order_cannot_be_cancelled"),
            QStringLiteral("Заказ в статусе \"%1\" не может быть отменён").arg(status));
    }
    return Reply{200, QJsonObject{{QStringLiteral("status"), QStringLiteral("CANCELLED")},
                                  {QStringLiteral("order"),
                                   QJsonObject{{QStringLiteral("id"), order->id},
                                               {QStringLiteral("status"), order->status}}}}};
}

OrderBook::Reply OrderBook::refund(const QString &orderId, const QByteArray &body)
{
    QJsonObject request;
    Reply refusal;
    if (!parseObject(body, &request, &refusal))
        return refusal;
    const QJsonValue refundValue =
        request.value(QStringLiteral("order")).toObject().value(QStringLiteral("refund"));
    if (!refundValue.isObject())
        return invalidRequest(QStringLiteral("не указан возврат"));
    const QJsonObject refundJson = refundValue.toObject();
    if (!refundJson.value(QStringLiteral("id")).isString())
        return invalidRequest(QStringLiteral("не указан идентификатор возврата"));
    if (!refundJson.value(QStringLiteral("initiator")).isString())
        return invalidRequest(QStringLiteral("не указан инициатор возврата"));
    if (!refundJson.value(QStringLiteral("items")).isArray())
        return invalidRequest(QStringLiteral("не указаны позиции возврата"));
    const QString refundId = refundJson.value(QStringLiteral("id")).toString();
    const QJsonArray itemsJson = refundJson.value(QStringLiteral("items")).toArray();

    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    Order *order = m_d->find(orderId);
    if (!order)
        return orderNotFound();

    // The refund id makes a retry safe: the same refund again answers as the first time.
    // An empty id is no key at all, otherwise every refund without one after the first would
    // be swallowed while reported as done.
    if (!refundId.isEmpty()) {
        for (const Order::Refund &done : order->refunds) {
            if (done.id != refundId)
                continue;
            if (done.items != itemsJson)
                return errorReply(409, QStringLiteral("refund_id_conflict"),
                                  QStringLiteral("Возврат с этим идентификатором уже выполнен "
                                                 "с другими позициями"));
            return Reply{200, done.answer};
        }
    }

    // A fully refunded order still gets the quantity check, so that a retry under a new id
    // hears "exceeding_refunded_amount" and can look the refunds up.
    if (order->status != Order::StatusCompleted && order->status != Order::StatusRefunded)
        return errorReply(400, QStringLiteral("order_not_completed"),
                          QStringLiteral("Заказ не оплачен, возврат невозможен"));

    QVector<double> returning;
    if (!readReturning(*order, itemsJson, &returning, &refusal))
        return refusal;
    for (int i = 0; i < order->items.size(); ++i) {
        const Order::Item &item = order->items.at(i);
        if (item.refunded + returning.at(i) > item.quantity + QuantityTolerance)
            return exceedingRefundedAmount();
    }

    // Money as well as quantities: an order's amount may be less than its positions add up to
    // (a sale of part of a receipt), and no refund takes the refunded total beyond it.
    qint64 totalKopecks = 0;
    for (int i = 0; i < order->items.size(); ++i)
        totalKopecks += static_cast<qint64>(
            std::llround(returning.at(i) * static_cast<double>(order->items.at(i).unitKopecks)));
    const qint64 left = order->amountKopecks - refundedKopecks(*order);
    if (totalKopecks > left) {
        if (totalKopecks - left > roundingAllowance(*order, returning))
            return exceedingRefundedAmount();
        // Unit prices are rounded to the kopeck, so a receipt's positions returned in full may
        // add up to a little more than the amount; the refund then returns what is left.
        totalKopecks = left;
    }

    Order::Refund done;
    done.id = refundId;
    done.items = itemsJson;
    done.totalKopecks = totalKopecks;
    bool everythingReturned = !order->items.isEmpty();
    for (int i = 0; i < order->items.size(); ++i) {
        Order::Item &item = order->items[i];
        item.refunded += returning.at(i);
        if (item.refunded < item.quantity - QuantityTolerance)
            everythingReturned = false;
    }
    // Once its whole amount is back, nothing more can be refunded: the order is refunded
    // even with positions left.
    if (everythingReturned || (order->amountKopecks > 0 && totalKopecks == left))
        order->status = Order::StatusRefunded;
    done.answer = QJsonObject{{QStringLiteral("order"), order->view(false)},
                              {QStringLiteral("refund"), done.view()}};
    order->refunds.append(done);
    m_d->keep(*order);
    return Reply{200, done.answer};
}

QJsonObject OrderBook::order(const QString &id) const
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    const Order *order = m_d->find(id);
    if (!order)
        return {};
    QJsonObject view = order->view(true);
    view.insert(QStringLiteral("prepaidAmount"), Order::toRoubles(order->prepaidKopecks));
    view.insert(QStringLiteral("clientCode"), order->code);
    view.insert(QStringLiteral("refund"), order->refundsView(true));
    return view;
}

void OrderBook::setStatus(const QString &id, const QString &status)
{
    std::lock_guard<std::mutex> lock(m_d->m_mutex);
    if (Order *order = m_d->find(id)) {
        order->setStatus(status);
        m_d->keep(*order);
    }
}

} // namespace sandbox
