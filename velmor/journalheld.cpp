#include "journalheld.h"

#include "journaldatabase.h"
#include "journalrow.h"
#include "journalstatement.h"

#include <QDateTime>

#include <sqlite3.h>

namespace velmor {

const char *const JournalHeld::Schema = "CREATE TABLE IF NOT EXISTS held ("
                                        " order_id TEXT NOT NULL,"
                                        " refund_id TEXT NOT NULL,"
                                        " reason TEXT NOT NULL,"
                                        " since TEXT NOT NULL,"
                                        " last TEXT NOT NULL,"
                                        " PRIMARY KEY (order_id, refund_id))";

bool JournalHeld::keep(const QString &orderId, const QString &refundId, const QString &reason)
{
    const QString now = JournalRow::nowText();
    return m_db.change("INSERT INTO held (order_id, refund_id, reason, since, last) VALUES"
                       " (?1, ?2, ?3, ?4, ?4) ON CONFLICT (order_id, refund_id) DO UPDATE SET"
                       " reason = excluded.reason, last = excluded.last",
                       [&](JournalStatement &upsert) {
                           return upsert.bind(1, orderId) && upsert.bind(2, refundId) &&
                                  upsert.bind(3, reason) && upsert.bind(4, now);
                       }) == 1;
}

int JournalHeld::forget(const QString &orderId, const QString &refundId)
{
    return m_db.change("DELETE FROM held WHERE order_id = ?1 AND refund_id = ?2",
                       [&](JournalStatement &remove) {
                           return remove.bind(1, orderId) && remove.bind(2, refundId);
                       });
}

bool JournalHeld::count(const QString &reason, int days, qint64 *held)
{
    *held = 0;
    JournalStatement select(m_db.handle(),
                            "SELECT count(*) FROM held WHERE reason = ?1 AND last >= ?2");
    if (!select)
        return true;
    const QString fresh = JournalRow::timeText(QDateTime::currentDateTimeUtc().addDays(-days));
    if (!select.bind(1, reason) || !select.bind(2, fresh) || select.step() != SQLITE_ROW)
        return m_db.fail(QStringLiteral("cannot read journal %1").arg(m_db.path()));
    *held = select.number(0);
    return true;
}

} // namespace velmor
