#pragma once

#include <QString>

namespace velmor {

class JournalDatabase;

// The journal's table of queued messages that a replay keeps for a reason only people can mend
// (Journal::Hold), one row a message: the sale's reversal of an order (an empty refund id) or
// that refund. It stands beside the entries without a schema version of its own, so that a
// plug-in that does not know it leaves it alone.
class JournalHeld
{
public:
    // Made when missing, each time a writer opens the file.
    static const char *const Schema;

    explicit JournalHeld(JournalDatabase &db) : m_db(db) {}

    // A replay kept the message for `reason` now; true when it is written down.
    bool keep(const QString &orderId, const QString &refundId, const QString &reason);
    // The message was finished; -1 on failure.
    int forget(const QString &orderId, const QString &refundId);
    // How many messages a replay kept for `reason` within the last `days` days. A journal no
    // writer has opened since holds came in has no table for them: 0. False, with the
    // database's error set, when the table is there and cannot be read.
    bool count(const QString &reason, int days, qint64 *held);

private:
    JournalDatabase &m_db;
};

} // namespace velmor
