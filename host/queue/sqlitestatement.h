#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3_stmt;

namespace queuestore {

// A statement prepared for one use, finalized on every path out of its scope, so that an early
// return cannot leave it holding a read lock on the file.
class SqliteStatement
{
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    sqlite3_stmt **out() { return &m_statement; }
    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

// Binds UTF-8 text to the parameter at `index`; a null array is stored as ''.
bool bindUtf8(sqlite3_stmt *statement, int index, const QByteArray &utf8);
bool bindText(sqlite3_stmt *statement, int index, const QString &value);
// The text in `column` of the current row; a NULL reads as a null string.
QString columnText(sqlite3_stmt *statement, int column);

} // namespace queuestore
