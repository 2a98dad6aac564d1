#include "socketscan.h"

#include <httplib.h>

#include <cstdlib>
#include <memory>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

namespace sandbox {

namespace {

// How often a held connection is looked at.
constexpr int HoldCheckMs = 20;

int sockaddrPort(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return -1;
}

// Calls `visit(fd, localPort, peerPort)` for every connected socket of this process; a true
// answer ends the scan.
template<typename Visit> void forEachConnectedSocket(Visit visit)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir("/proc/self/fd"), closedir);
    if (!dir)
        return;
    while (dirent *entry = readdir(dir.get())) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir.get()))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (getsockname(int(fd), reinterpret_cast<sockaddr *>(&local), &localLength) != 0 ||
            getpeername(int(fd), reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0)
            continue;
        if (visit(int(fd), sockaddrPort(local), sockaddrPort(peer)))
            break;
    }
}

bool peerHasGone(int fd)
{
    pollfd entry{fd, POLLRDHUP, 0};
    if (poll(&entry, 1, 0) < 0)
        return true;
    return (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace

namespace socketscan {

// The connection is the one socket of this process whose ends carry the request's ports.
int findConnectionSocket(const httplib::Request &req)
{
    if (req.ssl)
        return SSL_get_fd(req.ssl);
    int found = -1;
    forEachConnectedSocket([&](int fd, int localPort, int peerPort) {
        if (localPort != req.local_port || peerPort != req.remote_port)
            return false;
        found = fd;
        return true;
    });
    return found;
}

bool dropConnection(int fd)
{
    if (fd < 0)
        return false;
    ::shutdown(fd, SHUT_RDWR);
    return true;
}

void holdUntilGone(int fd, const std::function<bool(int)> &pause)
{
    while (pause(HoldCheckMs)) {
        if (fd >= 0 && peerHasGone(fd))
            break;
    }
}

void shutdownAcceptedReads(int port)
{
    forEachConnectedSocket([port](int fd, int localPort, int) {
        if (localPort == port)
            ::shutdown(fd, SHUT_RD);
        return false;
    });
}

} // namespace socketscan

} // namespace sandbox
