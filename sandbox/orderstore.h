#pragma once

#include "order.h"

#include <QString>
#include <QVector>

struct sqlite3;

namespace sandbox {

// The sandbox's orders in an SQLite file, so that a sandbox started again on the same file
// knows the orders made before, as a real service would after a restart: each order as one row,
// written whole after every change. Not thread-safe; the order book calls it under its lock.
class OrderStore
{
public:
    OrderStore() = default;
    ~OrderStore();

    OrderStore(const OrderStore &) = delete;
    OrderStore &operator=(const OrderStore &) = delete;

    // Opens the file, made if missing; false with errorString() when it is no usable store.
    bool open(const QString &fileName);
    QString errorString() const { return m_error; }

    // Every order held, in no particular order; false with errorString() when one cannot be
    // read back.
    bool load(QVector<Order> *orders);
    // Writes the order as it stands now, replacing what was held under its id.
    bool save(const Order &order);

private:
    bool fail(const QString &what);

    sqlite3 *m_db = nullptr;
    QString m_fileName;
    QString m_error;
};

} // namespace sandbox
