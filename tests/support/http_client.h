// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A plain HTTP/1.1 client for tests, on loopback only: one request per
// connection, read to the end. Every read is bounded by a receive timeout
// as a hang guard, never as a measure of time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace ortolan::testing {

// A TCP port of 127.0.0.1 that was free a moment ago.
inline uint16_t FreeTcpPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// A connected socket to 127.0.0.1:port with a 20 s receive guard; -1 on failure.
inline int ConnectLoopback(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval guard{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &guard, sizeof guard);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Everything the peer sends until it closes (or resets) the connection.
inline std::string ReadToEnd(int fd)
{
    std::string all;
    char buf[65536];
    for (;;) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        all.append(buf, size_t(n));
    }
    return all;
}

struct tagHttpAnswer {
    int status = 0;   // 0 when no answer came
    std::string head;  // status line and headers
    std::string body;
};

inline tagHttpAnswer ParseHttpAnswer(const std::string& all)
{
    tagHttpAnswer answer;
    size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return answer;
    answer.status = std::stoi(all.substr(9, 3));
    answer.head = all.substr(0, end + 2);
    answer.body = all.substr(end + 4);
    return answer;
}

// Sends the request text as it is and reads the answer.
inline tagHttpAnswer HttpExchange(uint16_t port, const std::string& request)
{
    int fd = ConnectLoopback(port);
    if (fd < 0) return {};
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    tagHttpAnswer answer = ParseHttpAnswer(ReadToEnd(fd));
    ::close(fd);
    return answer;
}

inline tagHttpAnswer HttpGet(uint16_t port, const std::string& target)
{
    return HttpExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

}  // namespace ortolan::testing
