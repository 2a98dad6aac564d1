#pragma once

#include <QString>

namespace till {

// What keeps the till's user from writing an SQLite database at `path` (the queue, the journal):
// SQLite needs the file and, for its write-ahead log and locks, the directory. Empty when
// nothing does; otherwise the check's text naming the directory or the file at fault.
QString databaseUnwritable(const QString &path);

} // namespace till
