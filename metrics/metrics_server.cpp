// SPDX-License-Identifier: GPL-3.0-or-later
#include "metrics_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "exposition_writer.h"

namespace ortolan {
namespace {

using Clock = std::chrono::steady_clock;

std::optional<uint16_t> ParsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    uint32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + uint32_t(c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return uint16_t(port);
}

bool IsAddress(int family, const std::string& text)
{
    in6_addr buf{};
    return ::inet_pton(family, text.c_str(), &buf) == 1;
}

std::string Answer(std::string_view status, std::string_view type, std::string_view body, bool withBody,
                   std::string_view extra = {})
{
    std::string out = "HTTP/1.1 ";
    out += status;
    out += "\r\nContent-Type: ";
    out += type;
    out += "\r\nContent-Length: " + std::to_string(body.size());
    out += "\r\nConnection: close\r\n";
    out += extra;
    out += "\r\n";
    if (withBody) out += body;
    return out;
}

}  // namespace

std::optional<tagListenAddress> ParseListenAddress(std::string_view text)
{
    tagListenAddress where;
    if (text.empty()) return where;
    std::string_view port = text;
    if (text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return std::nullopt;
        where.address.assign(text.substr(1, close - 1));
        if (!IsAddress(AF_INET6, where.address)) return std::nullopt;
        port = text.substr(close + 2);
    } else if (size_t colon = text.find(':'); colon != std::string_view::npos) {
        // An IPv6 address goes in brackets, so its colons are not taken for the port's.
        where.address.assign(text.substr(0, colon));
        if (!IsAddress(AF_INET, where.address)) return std::nullopt;
        port = text.substr(colon + 1);
    }
    std::optional<uint16_t> number = ParsePort(port);
    if (!number) return std::nullopt;
    where.port = *number;
    return where;
}

struct CMetricsServer::tagConnection {
    int fd = -1;
    Clock::time_point deadline;
    std::string in;
    std::string out;
    size_t sent = 0;
    bool answering = false;
    bool done = false;

    ~tagConnection()
    {
        if (fd >= 0) ::close(fd);
    }
};

CMetricsServer::CMetricsServer(Render render, tagMetricsLimits limits)
    : m_render(std::move(render)), m_limits(limits)
{
}

CMetricsServer::~CMetricsServer() { Stop(); }

bool CMetricsServer::Start(const tagListenAddress& where, std::string* error)
{
    Stop();
    auto fail = [&](const char* what) {
        *error = std::string(what) + ": " + std::strerror(errno);
        if (m_listen >= 0) ::close(m_listen);
        m_listen = -1;
        return false;
    };
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_INET;
    if (auto* a4 = reinterpret_cast<sockaddr_in*>(&address); ::inet_pton(AF_INET, where.address.c_str(), &a4->sin_addr) == 1) {
        a4->sin_family = AF_INET;
        a4->sin_port = htons(where.port);
        length = sizeof *a4;
    } else if (auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
               ::inet_pton(AF_INET6, where.address.c_str(), &a6->sin6_addr) == 1) {
        family = AF_INET6;
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(where.port);
        length = sizeof *a6;
    } else {
        *error = "not a numeric IPv4 or IPv6 address: " + where.address;
        return false;
    }
    m_listen = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listen < 0) return fail("socket");
    int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (family == AF_INET6) ::setsockopt(m_listen, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) != 0) return fail("bind");
    if (::listen(m_listen, int(m_limits.maxConnections)) != 0) return fail("listen");
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    m_boundPort = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                          : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CMetricsServer::Stop()
{
    if (m_thread.joinable()) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &c, 1);
        m_thread.join();
    }
    for (int& fd : {std::ref(m_listen), std::ref(m_wake[0]), std::ref(m_wake[1])}) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void CMetricsServer::Serve()
{
    // Oldest first: when every slot is taken, the oldest makes room.
    std::deque<std::unique_ptr<tagConnection>> connections;
    std::vector<pollfd> polled;

    auto answer = [&](tagConnection& c) {
        std::string_view request(c.in);
        size_t lineEnd = request.find_first_of("\r\n");
        std::string_view line = request.substr(0, lineEnd);
        size_t space = line.find(' ');
        std::string_view method = line.substr(0, space);
        std::string_view target = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
        target = target.substr(0, target.find(' '));
        target = target.substr(0, target.find('?'));
        bool head = method == "HEAD";
        const std::string_view text = "text/plain; charset=utf-8";
        if (c.in.size() > m_limits.maxRequestBytes)
            c.out = Answer("431 Request Header Fields Too Large", text, "request too large\n", true);
        else if (method != "GET" && !head)
            c.out = Answer("405 Method Not Allowed", text, "only GET and HEAD\n", true, "Allow: GET, HEAD\r\n");
        else if (target != "/metrics")
            c.out = Answer("404 Not Found", text, "the metrics are at /metrics\n", !head);
        else if (std::optional<std::string> page = m_render())
            c.out = Answer("200 OK", kExpositionContentType, *page, !head);
        else
            c.out = Answer("503 Service Unavailable", text, "the figures could not be had in time\n", !head);
        std::string().swap(c.in);
        c.answering = true;
    };
    auto read = [&](tagConnection& c) {
        char buf[4096];
        while (c.in.size() <= m_limits.maxRequestBytes) {
            size_t want = std::min(sizeof buf, m_limits.maxRequestBytes + 1 - c.in.size());
            ssize_t n = ::recv(c.fd, buf, want, 0);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                c.done = true;  // gone before the request was whole
                return;
            }
            // Only the new bytes (and three before them) can complete the head.
            size_t from = c.in.size() > 3 ? c.in.size() - 3 : 0;
            c.in.append(buf, size_t(n));
            std::string_view seen = std::string_view(c.in).substr(from);
            if (seen.find("\r\n\r\n") != std::string_view::npos || seen.find("\n\n") != std::string_view::npos) {
                answer(c);
                return;
            }
        }
        if (c.in.size() > m_limits.maxRequestBytes) answer(c);
    };
    auto write = [&](tagConnection& c) {
        while (c.sent < c.out.size()) {
            ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            c.sent += size_t(n);
        }
        c.done = true;
    };

    for (;;) {
        Clock::time_point now = Clock::now();
        int timeout = -1;
        polled.clear();
        polled.push_back({m_wake[0], POLLIN, 0});
        polled.push_back({m_listen, POLLIN, 0});
        for (const auto& c : connections) {
            polled.push_back({c->fd, short(c->answering ? POLLOUT : POLLIN), 0});
            auto left = std::chrono::ceil<std::chrono::milliseconds>(c->deadline - now).count();
            left = std::max<decltype(left)>(left, 0);
            if (timeout < 0 || left < timeout) timeout = int(left);
        }
        if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
        if (polled[0].revents) break;
        now = Clock::now();
        for (size_t i = 0; i < connections.size(); ++i) {
            tagConnection& c = *connections[i];
            short events = polled[i + 2].revents;
            if (!c.answering && (events & (POLLIN | POLLHUP | POLLERR))) read(c);
            if (c.answering && !c.done) write(c);
            if (!c.done && now >= c.deadline) c.done = true;
        }
        std::erase_if(connections, [](const auto& c) { return c->done; });
        if (polled[1].revents & POLLIN) {
            for (;;) {
                int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) break;
                if (connections.size() >= m_limits.maxConnections) connections.pop_front();
                auto c = std::make_unique<tagConnection>();
                c->fd = fd;
                c->deadline = now + m_limits.connectionTimeout;
                connections.push_back(std::move(c));
            }
        }
    }
}

}  // namespace ortolan
