#include "journalstatement.h"

#include <QByteArray>

#include <sqlite3.h>

namespace velmor {

JournalStatement::JournalStatement(sqlite3 *db, const char *sql)
{
    sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
}

JournalStatement::JournalStatement(sqlite3_stmt *kept) : m_statement(kept), m_kept(true) {}

JournalStatement::~JournalStatement()
{
    if (!m_kept) {
        sqlite3_finalize(m_statement);
        return;
    }
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

bool JournalStatement::bind(int index, const QString &text)
{
    return bind(index, text.toUtf8());
}

bool JournalStatement::bind(int index, const QByteArray &utf8)
{
    return sqlite3_bind_text(m_statement, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

bool JournalStatement::bind(int index, qint64 number)
{
    return sqlite3_bind_int64(m_statement, index, number) == SQLITE_OK;
}

int JournalStatement::step()
{
    return sqlite3_step(m_statement);
}

QString JournalStatement::text(int column) const
{
    const auto *value = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    return value ? QString::fromUtf8(value, sqlite3_column_bytes(m_statement, column)) : QString();
}

qint64 JournalStatement::number(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

} // namespace velmor
