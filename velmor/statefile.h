#pragma once

#include <QString>

namespace velmor {

// The files the plug-in keeps in the state directory hold order ids and amounts: they
// are made readable and writable by the owner and the till users' group only, never by
// everyone, whatever the umask. Where the group "velmor" exists (an installed till), a new file
// is given to it, so that every till user of the group can write it; elsewhere the file keeps the
// group the system gives it.
namespace statefile {

// The group the files are shared with.
inline const char *const Group = "velmor";

// Creates `path` 0660 when it does not exist; an existing file is left as it is, and is no
// error. False with `error` set when the file could not be made.
bool createShared(const QString &path, QString *error);

} // namespace statefile

} // namespace velmor
