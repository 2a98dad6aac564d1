#include "orderstore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <memory>

namespace sandbox {

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Kopecks and counters travel as JSON numbers: exact well beyond any amount a till sends.
QJsonObject toJson(const Order &order)
{
    QJsonArray items;
    for (const Order::Item &item : order.items)
        items.append(QJsonObject{{QStringLiteral("id"), item.id},
                                 {QStringLiteral("quantity"), item.quantity},
                                 {QStringLiteral("unitKopecks"), double(item.unitKopecks)},
                                 {QStringLiteral("refunded"), item.refunded}});
    QJsonArray refunds;
    for (const Order::Refund &refund : order.refunds)
        refunds.append(QJsonObject{{QStringLiteral("id"), refund.id},
                                   {QStringLiteral("totalKopecks"), double(refund.totalKopecks)},
                                   {QStringLiteral("items"), refund.items},
                                   {QStringLiteral("answer"), refund.answer}});
    return {{QStringLiteral("id"), order.id},
            {QStringLiteral("code"), order.code},
            {QStringLiteral("status"), order.status},
            {QStringLiteral("life"), QJsonArray::fromStringList(order.life)},
            {QStringLiteral("step"), order.step},
            {QStringLiteral("pollsInState"), order.pollsInState},
            {QStringLiteral("amountKopecks"), double(order.amountKopecks)},
            {QStringLiteral("prepaidKopecks"), double(order.prepaidKopecks)},
            {QStringLiteral("rawItems"), order.rawItems},
            {QStringLiteral("items"), items},
            {QStringLiteral("refunds"), refunds}};
}

Order fromJson(const QJsonObject &json)
{
    Order order(json.value(QStringLiteral("id")).toString(),
                json.value(QStringLiteral("code")).toString());
    order.status = json.value(QStringLiteral("status")).toString();
    // The life the order was made with, even if the codes' lives have changed since.
    order.life.clear();
    for (const QJsonValue &state : json.value(QStringLiteral("life")).toArray())
        order.life.append(state.toString());
    order.step = json.value(QStringLiteral("step")).toInt();
    order.pollsInState = json.value(QStringLiteral("pollsInState")).toInt();
    order.amountKopecks = qint64(json.value(QStringLiteral("amountKopecks")).toDouble());
    order.prepaidKopecks = qint64(json.value(QStringLiteral("prepaidKopecks")).toDouble());
    order.rawItems = json.value(QStringLiteral("rawItems")).toArray();
    for (const QJsonValue &value : json.value(QStringLiteral("items")).toArray()) {
        const QJsonObject itemJson = value.toObject();
        Order::Item item;
        item.id = itemJson.value(QStringLiteral("id")).toString();
        item.quantity = itemJson.value(QStringLiteral("quantity")).toDouble();
        item.unitKopecks = qint64(itemJson.value(QStringLiteral("unitKopecks")).toDouble());
        item.refunded = itemJson.value(QStringLiteral("refunded")).toDouble();
        order.items.append(item);
    }
    for (const QJsonValue &value : json.value(QStringLiteral("refunds")).toArray()) {
        const QJsonObject refundJson = value.toObject();
        Order::Refund refund;
        refund.id = refundJson.value(QStringLiteral("id")).toString();
        refund.totalKopecks = qint64(refundJson.value(QStringLiteral("totalKopecks")).toDouble());
        refund.items = refundJson.value(QStringLiteral("items")).toArray();
        refund.answer = refundJson.value(QStringLiteral("answer")).toObject();
        order.refunds.append(refund);
    }
    return order;
}

} // namespace

OrderStore::~OrderStore()
{
    sqlite3_close(m_db);
}

bool OrderStore::fail(const QString &what)
{
    m_error =
        QStringLiteral("%1: %2: %3")
            .arg(m_fileName, what,
                 m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no memory"));
    return false;
}

bool OrderStore::open(const QString &fileName)
{
    m_fileName = fileName;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot be opened"));
    sqlite3_busy_timeout(m_db, 5000);
    // A file that is not a database fails here, at the first read.
    if (sqlite3_exec(m_db,
                     "PRAGMA journal_mode=WAL; CREATE TABLE IF NOT EXISTS sandbox_orders ("
                     "id TEXT PRIMARY KEY NOT NULL, body TEXT NOT NULL)",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("holds no sandbox state"));
    return true;
}

bool OrderStore::load(QVector<Order> *orders)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT body FROM sandbox_orders", -1, &raw, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot be read"));
    const Statement statement(raw, &sqlite3_finalize);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
        const QByteArray body(static_cast<const char *>(sqlite3_column_blob(raw, 0)),
                              sqlite3_column_bytes(raw, 0));
        const QJsonDocument document = QJsonDocument::fromJson(body);
        if (!document.isObject() ||
            document.object().value(QStringLiteral("id")).toString().isEmpty()) {
            m_error = QStringLiteral("%1: an order cannot be read back").arg(m_fileName);
            return false;
        }
        orders->append(fromJson(document.object()));
    }
    return step == SQLITE_DONE || fail(QStringLiteral("cannot be read"));
}

bool OrderStore::save(const Order &order)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(m_db, "INSERT OR REPLACE INTO sandbox_orders (id, body) VALUES (?, ?)",
                           -1, &raw, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot be written"));
    const Statement statement(raw, &sqlite3_finalize);
    const QByteArray id = order.id.toUtf8();
    const QByteArray body = QJsonDocument(toJson(order)).toJson(QJsonDocument::Compact);
    sqlite3_bind_text(raw, 1, id.constData(), id.size(), SQLITE_TRANSIENT);
    sqlite3_bind_text(raw, 2, body.constData(), body.size(), SQLITE_TRANSIENT);
    return sqlite3_step(raw) == SQLITE_DONE || fail(QStringLiteral("cannot be written"));
}

} // namespace sandbox
