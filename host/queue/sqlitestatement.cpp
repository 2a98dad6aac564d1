#include "sqlitestatement.h"

#include <sqlite3.h>

namespace queuestore {

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

bool bindUtf8(sqlite3_stmt *statement, int index, const QByteArray &utf8)
{
    // A null array's constData() is "", so it is stored as '' and the NOT NULL columns accept it.
    return sqlite3_bind_text(statement, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

bool bindText(sqlite3_stmt *statement, int index, const QString &value)
{
    return bindUtf8(statement, index, value.toUtf8());
}

QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

} // namespace queuestore
