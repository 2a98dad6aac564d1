#include "keptstatementuse.h"

#include <sqlite3.h>

namespace queuestore {

KeptStatementUse::~KeptStatementUse()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

} // namespace queuestore
