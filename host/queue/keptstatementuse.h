#pragma once

struct sqlite3_stmt;

namespace queuestore {

// One use of a statement that the connection keeps prepared. Resets it on every path out, so
// that an early return never leaves it holding a lock on the file or a value for the next use.
class KeptStatementUse
{
public:
    explicit KeptStatementUse(sqlite3_stmt *statement) : m_statement(statement) {}
    ~KeptStatementUse();
    KeptStatementUse(const KeptStatementUse &) = delete;
    KeptStatementUse &operator=(const KeptStatementUse &) = delete;

    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement;
};

} // namespace queuestore
