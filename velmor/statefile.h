#pragma once

#include <QString>

namespace velmor {

// The files the plug-in keeps beside the host's queue hold order ids and buyers' amounts: they
// are made readable and writable by the owner and the till users' group only, never by
// everyone, whatever the umask. Where the group "velmor" exists (an installed till), a new file
// is given to it, so that every till user of the group can write it; elsewhere the file keeps the
// group the system gives it.
namespace statefile {

// The group the files are shared with.
inline const char *const Group = "velmor";

// Creates `path` 0660 when it does not exist; an existing file is left as it is. The open
// descriptor (O_RDWR, close-on-exec) is returned when `keepOpen`, else closed; -1 with `error`
// set when the file could not be made (an existing file is no error and gives -1 when not
// kept open).
int createShared(const QString &path, bool keepOpen, QString *error);
// Creates the directory `path` 02770 when absent, so that what is made in it takes its group.
bool createSharedDirectory(const QString &path, QString *error);

} // namespace statefile

} // namespace velmor
