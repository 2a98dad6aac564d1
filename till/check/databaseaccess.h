#pragma once

#include <result.h>

#include <QString>

namespace till {

// Whether the till's user may write an SQLite database at `path` (the queue, the journal):
// SQLite needs the file and, for its write-ahead log and locks, the directory. A failure is the
// check's text naming the directory or the file at fault.
Result<> databaseWritable(const QString &path);

} // namespace till
