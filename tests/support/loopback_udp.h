// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UDP sockets on 127.0.0.1 for tests: traffic never leaves this machine.
#include <arpa/inet.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace ortolan::testing {

// One datagram to a port of 127.0.0.1, from a socket of its own.
inline void SendTo(uint16_t port, const std::vector<uint8_t>& bytes)
{
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::close(s);
}

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

// Bytes waiting in the receive queues of the IPv4 UDP sockets bound to the
// port, as the kernel reports them in /proc/net/udp; -1 when none is bound.
inline long UdpReceiveQueue(uint16_t port)
{
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the header
    long queued = -1;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        if (local.size() < 4 || std::stoul(local.substr(local.size() - 4), nullptr, 16) != port) continue;
        const size_t colon = queues.find(':');
        if (colon == std::string::npos) continue;
        queued = std::max(queued, 0L) + long(std::stoul(queues.substr(colon + 1), nullptr, 16));
    }
    return queued;
}

// Waits until another process has read everything sent to its socket on the
// port: what a test sent before has reached the program, however busy the
// machine. The bound is a hang guard only.
inline bool WaitUntilRead(uint16_t port, std::chrono::seconds bound = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (UdpReceiveQueue(port) == 0) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace ortolan::testing
