#pragma once

#include "queuedmessage.h"
#include "result.h"
#include "sqlitestatement.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <initializer_list>

struct sqlite3;
struct sqlite3_stmt;

namespace queuestore {

// The queue's one connection to its SQLite file: opening it (read-write with WAL and the
// schema, or read-only without writing anything), the statements it keeps prepared, the reads
// and the single-statement changes. Not thread-safe: DBQueueBroker calls it under its mutex.
// Every operation that fails says why in its result.
class QueueConnection
{
public:
    QueueConnection(const QString &path, bool readOnly);
    ~QueueConnection();

    QueueConnection(const QueueConnection &) = delete;
    QueueConnection &operator=(const QueueConnection &) = delete;

    // Opens the file unless open; a failed attempt is tried again on the next call.
    Result<> ensureOpen();
    bool isOpen() const { return m_db != nullptr; }
    // Absolute, fixed at construction.
    const QString &path() const { return m_path; }
    // The failure of `what`, with SQLite's message when the connection is open.
    ResultError failure(const QString &what) const;

    // Reads the messages selected by `where` (a clause after the select of every column, with
    // ?1, ?2, ... bound to `numbers`) and hands out each row as it is read until `each` returns
    // false; fails when the queue could not be read.
    Result<> readRows(const char *where, std::initializer_list<qint64> numbers,
                      const std::function<bool(const QueuedMessage &)> &each);
    // The same for any select: hands `row` the statement on each row.
    Result<> readStatement(const QByteArray &sql, std::initializer_list<qint64> numbers,
                           const std::function<bool(sqlite3_stmt *)> &row);
    // The first column of the one row of `sql`.
    Result<qint64> readNumber(const char *sql, std::initializer_list<qint64> numbers);

    // Whether the open database is no longer the file that path() names: renamed aside or
    // removed, with or without a fresh file at the path.
    bool hasMoved();
    // Stores one message on the open connection; its id.
    Result<qint64> insert(const QString &type, const QByteArray &json, const QString &extra,
                          const QString &added);
    // Leaves the open database for the file the path names now (made afresh when there is
    // none), its ids continuing above those of the file left, so that an id read from that one
    // never names another message here. The file left is closed without a checkpoint: its
    // write-ahead log still has the path's name and may be the new file's log by now.
    Result<> reopenAtPath();
    // Counts an attempt at `at` on the message `id`; false when no message has that id.
    Result<bool> recordAttempt(qint64 id, const QString &at);
    // Removes the message `id`; false when no message has that id.
    Result<bool> remove(qint64 id);

private:
    // The statements every queue operation runs, prepared once per connection: preparing costs
    // more than a small row's insert itself.
    enum class Kept { Insert, Update, Delete, Count };

    // Makes an absent database file with the queue's permissions; an existing one is kept.
    void createPrivately();
    Result<> openReadOnly();
    // Opens `name` with `flags` and sets the connection up.
    Result<> openConnection(const QByteArray &name, int flags);
    // Whether the messages table exists; a read-only connection cannot create it.
    Result<bool> probeTable();
    void close();
    Result<> exec(const char *sql);
    // The connection's prepared statement, made on first use; `what` failed when it cannot be
    // prepared.
    Result<sqlite3_stmt *> kept(Kept which, const QString &what);
    // Prepares `sql` into `statement` and binds `numbers`.
    Result<> prepareWith(SqliteStatement *statement, const char *sql,
                         std::initializer_list<qint64> numbers);

    const QString m_path;
    const bool m_readOnly;
    // Read-only only: an empty database without the table lists nothing.
    bool m_hasTable = true;
    // Opened fully serialised, so that a stray use from another thread cannot corrupt it.
    sqlite3 *m_db = nullptr;
    // Belong to `m_db`: finalized before it closes, prepared again on the next connection.
    std::array<sqlite3_stmt *, static_cast<size_t>(Kept::Count)> m_statements{};
};

} // namespace queuestore
