#pragma once

#include <QByteArray>

// Line-wise talk over the pipes between the bench and its child processes (the services'
// process and the launcher): whole writes and one line at a time, riding out EINTR.
namespace pipeio {

// Reads one line without its newline; false at the end of the stream.
bool readLine(int fd, QByteArray *line);
// False when `data` could not be written whole.
bool writeAll(int fd, const QByteArray &data);

} // namespace pipeio
