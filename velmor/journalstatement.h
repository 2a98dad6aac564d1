#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace velmor {

// A statement on the journal's file, finalized on every path out of its scope, so that an early
// return never leaves it holding a read lock on the file. One made on a statement the database
// keeps prepared (JournalDatabase::change) resets it and clears its parameters instead.
class JournalStatement
{
public:
    JournalStatement(sqlite3 *db, const char *sql);
    explicit JournalStatement(sqlite3_stmt *kept);
    ~JournalStatement();
    JournalStatement(const JournalStatement &) = delete;
    JournalStatement &operator=(const JournalStatement &) = delete;

    // False when the statement could not be prepared.
    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt *get() const { return m_statement; }

    bool bind(int index, const QString &text);
    // Text already in UTF-8, bound as it is.
    bool bind(int index, const QByteArray &utf8);
    bool bind(int index, qint64 number);
    int step();
    // The text in `column` of the current row, read as the stored UTF-8; NULL reads as a null
    // string.
    QString text(int column) const;
    qint64 number(int column) const;

private:
    sqlite3_stmt *m_statement = nullptr;
    bool m_kept = false;
};

} // namespace velmor
