#pragma once
// UDP sockets on 127.0.0.1 for tests: traffic never leaves this machine.
#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ortolan::testing {

// A socket bound to a free port of 127.0.0.1 (written to *port); -1 on failure.
inline int BindLoopbackUdp(uint16_t* port)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

// A UDP port of 127.0.0.1 that was free a moment ago.
inline uint16_t FreeUdpPort()
{
    uint16_t port = 0;
    int fd = BindLoopbackUdp(&port);
    if (fd >= 0) ::close(fd);
    return port;
}

}  // namespace ortolan::testing
