#pragma once

#include "journalstatement.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

struct sqlite3;

// The entries whose outcome is not known, which the schema's partial index holds: a query uses
// that index only when it states its condition as it is written here. SQLite checks the
// condition on every insert and update; a list of more than two values would cost each change
// a temporary table built for it (two for an update), which made marking a sale answered take
// about a quarter of a millisecond.
#define VELMOR_UNSETTLED "state NOT IN ('answered', 'finished')"

namespace velmor {

// The journal's SQLite file: opening it (read-write: made 0660, checked, WAL with synchronous
// FULL, the schema made in one transaction; read-only: checked, nothing written), setting a
// damaged one aside, and the single-statement changes and reads. Not thread-safe; one per
// Journal. Every failure leaves errorString() set.
class JournalDatabase
{
public:
    JournalDatabase() = default;
    ~JournalDatabase();

    JournalDatabase(const JournalDatabase &) = delete;
    JournalDatabase &operator=(const JournalDatabase &) = delete;

    // Opens the file at `path` for reading and writing; false with errorString() set, and
    // `damaged` set when the file is there but no journal of ours.
    bool openReadWrite(const QString &path, bool *damaged);
    // Opens an existing journal at `path` without writing to it or its directory.
    bool openReadOnly(const QString &path);
    // Renames the damaged file at path() (with its write-ahead log) to
    // `<file>.damaged-<time>`, logs it, and names it in setAsidePath().
    bool setAside();
    void close();

    bool isOpen() const { return m_db != nullptr; }
    // False with errorString() set when the file is not open.
    bool ensureOpen();
    sqlite3 *handle() const { return m_db; }
    const QString &path() const { return m_path; }
    const QString &setAsidePath() const { return m_setAsidePath; }
    void clearSetAside() { m_setAsidePath.clear(); }

    // Whether the entries carry the note column (Journal::Entry::note); a file of the first
    // schema opened read-only has none.
    bool hasNote() const { return m_hasNote; }

    const QString &errorString() const { return m_error; }
    void setError(const QString &error) { m_error = error; }
    // Sets errorString() to `what` with SQLite's message; returns false.
    bool fail(const QString &what);

    // Runs `sql` (no rows); false with errorString() set.
    bool exec(const char *sql);
    // Runs a change with `bind` filling its parameters, as one transaction, on disk when it
    // returns; the number of rows changed, -1 on failure (a read-only file among them). `sql`
    // is prepared once and kept for the connection's life: a sale makes two changes, and
    // preparing them took about a third of the journal's work.
    int change(const char *sql, const std::function<bool(JournalStatement &)> &bind);

private:
    // Takes sqlite3_open_v2's result `rc`: on failure the error named and the handle closed;
    // else the connection's settings made.
    bool opened(int rc);
    // Whether the open file is a sound journal, an empty database to make one of, or damaged;
    // false when it could not be told (an I/O failure, a lock), with errorString() set.
    enum class Shape { Journal, Empty, Damaged };
    bool inspect(Shape *shape);
    // Asks `isDone` whether the file already has a change of its schema and, when it does not,
    // makes it with `change` in one transaction under the write lock, asking again first.
    bool changeOnce(const std::function<bool(bool *)> &isDone, const std::function<bool()> &change);
    // Finds the note column, adding it when `add` (a writable file).
    bool findNoteColumn(bool add);
    // Makes the partial index of a file written by an earlier release (its condition listed
    // the three unsettled states) the one VELMOR_UNSETTLED states; the entries stay as they are.
    bool updateUnsettledIndex();

    QString m_path;
    bool m_readOnly = false;
    sqlite3 *m_db = nullptr;
    QString m_error;
    QString m_setAsidePath;
    bool m_hasNote = false;
    // The changes' prepared statements by their text, finalized by close().
    QHash<QByteArray, sqlite3_stmt *> m_kept;
};

} // namespace velmor
