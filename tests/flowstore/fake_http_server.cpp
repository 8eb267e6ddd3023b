// SPDX-License-Identifier: GPL-3.0-or-later
#include "fake_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace ortolan::testing {

CFakeHttpServer::CFakeHttpServer(InsertAnswer answer) : m_answer(answer)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(m_listener, 8) == 0 &&
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CFakeHttpServer::~CFakeHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

void CFakeHttpServer::Serve()
{
    // One connection at a time: the store holds one.
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 100) != 1) continue;
        int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) continue;
        Converse(fd);
        ::close(fd);
    }
}

void CFakeHttpServer::Converse(int fd)
{
    std::string data;
    // Reads until `want` bytes are held; false when the peer closed or the server stops.
    auto fill = [&](size_t want) {
        char buf[65536];
        while (data.size() < want) {
            if (m_stop) return false;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) != 1) continue;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return false;
            data.append(buf, size_t(n));
        }
        return true;
    };
    auto reply = [&](const std::string& status, const std::string& body) {
        std::string text = "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\nConnection: keep-alive\r\n\r\n" + body;
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    };
    for (;;) {
        size_t headEnd;
        while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
            if (!fill(data.size() + 1)) return;
        const std::string head = data.substr(0, headEnd);
        size_t bodyLength = 0;
        if (size_t at = head.find("Content-Length: "); at != std::string::npos)
            bodyLength = std::stoul(head.substr(at + 16));
        const size_t requestEnd = headEnd + 4 + bodyLength;
        const bool insert = head.substr(0, head.find("\r\n")).find("INSERT") != std::string::npos;
        if (insert) ++m_inserts;
        if (insert && m_answer == InsertAnswer::CloseMidway) {
            fill(headEnd + 4 + bodyLength / 2);
            return;
        }
        if (!fill(requestEnd)) return;
        data.erase(0, requestEnd);
        if (insert && m_answer == InsertAnswer::Never) {
            // Holds the connection, answering nothing, until the client gives up.
            while (fill(data.size() + 1)) {
            }
            return;
        }
        bool sent = !insert                                  ? reply("200 OK", "")
                    : m_answer == InsertAnswer::Error500     ? reply("500 Internal Server Error", "Code: 241, fake: memory limit exceeded\n")
                                                             : reply("404 Not Found", "Code: 60, fake: table does not exist\n");
        if (!sent) return;
    }
}

}  // namespace ortolan::testing
