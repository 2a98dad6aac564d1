#pragma once

#include <functional>

namespace httplib {
struct Request;
}

namespace sandbox {

// httplib hands a handler no socket, yet a fault that drops or holds a connection needs one,
// and so does a stop that must not wait for idle kept connections. These find the sockets of
// this process among its open descriptors.
namespace socketscan {

// The socket of the connection `req` came on, or -1 when there is none to be found.
int findConnectionSocket(const httplib::Request &req);

// Closes both directions of a connection at once; false, doing nothing, for an fd of -1.
bool dropConnection(int fd);

// Returns when the client has closed connection `fd` or when `pause(ms)`, asked every few
// milliseconds, returns false. With an fd of -1 only the pause ends it.
void holdUntilGone(int fd, const std::function<bool(int)> &pause);

// Ends the reading side of every connection the service accepted on `port`. A worker idling
// between keep-alive requests wakes up to an end of stream and closes its connection at once,
// while one still writing an answer finishes it. To be called after the listening socket is
// closed, so that no new connection can come in behind the scan. A client of this same process
// connected to the service has the port as its peer's, not as its own, and is left alone.
void shutdownAcceptedReads(int port);

} // namespace socketscan

} // namespace sandbox
