// SPDX-License-Identifier: GPL-3.0-or-later
// The endpoint's HTTP server against real clients on loopback: the page at
// /metrics and nothing else, the listening address as the command line
// gives it, and clients that send nothing or far too much.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "http_client.h"
#include "metrics_server.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

class MetricsServer : public ::testing::Test {
protected:
    std::atomic<int> renders{0};
    tagMetricsLimits limits;

    std::unique_ptr<CMetricsServer> Serve(std::optional<std::string> page = "x_total 1\n")
    {
        auto server = std::make_unique<CMetricsServer>(
            [this, page] {
                ++renders;
                return page;
            },
            limits);
        std::string error;
        EXPECT_TRUE(server->Start({"127.0.0.1", 0}, &error)) << error;
        return server;
    }
};

TEST_F(MetricsServer, ServesThePageAtMetricsOnly)
{
    auto server = Serve();
    tagHttpAnswer ok = HttpGet(server->boundPort(), "/metrics?x=1");
    EXPECT_EQ(ok.status, 200);
    EXPECT_NE(ok.head.find("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"), std::string::npos)
        << ok.head;
    EXPECT_NE(ok.head.find("\r\nContent-Length: 10\r\n"), std::string::npos) << ok.head;
    EXPECT_EQ(ok.body, "x_total 1\n");

    EXPECT_EQ(HttpGet(server->boundPort(), "/").status, 404);
    EXPECT_EQ(HttpGet(server->boundPort(), "/metricsx").status, 404);
    EXPECT_EQ(HttpExchange(server->boundPort(), "POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n").status, 405);
    tagHttpAnswer head = HttpExchange(server->boundPort(), "HEAD /metrics HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(renders, 2) << "only the two requests for the page form it";

    auto failing = Serve(std::nullopt);
    EXPECT_EQ(HttpGet(failing->boundPort(), "/metrics").status, 503);
}

TEST_F(MetricsServer, SilentAndFloodingClientsDoNotStopTheNextScrape)
{
    limits.maxConnections = 2;
    // No client here is timed out: only the bounds may end its connection.
    limits.connectionTimeout = std::chrono::minutes(10);
    auto server = Serve();
    const uint16_t port = server->boundPort();

    int silent = ConnectLoopback(port);
    ASSERT_GE(silent, 0);
    // A megabyte of header: answered after the bound, unread beyond it.
    int flood = ConnectLoopback(port);
    ASSERT_GE(flood, 0);
    std::string header = "GET /metrics HTTP/1.1\r\nX-Fill: " + std::string(1 << 20, 'a');
    ::send(flood, header.data(), header.size(), MSG_NOSIGNAL);
    errno = 0;
    tagHttpAnswer refused = ParseHttpAnswer(ReadToEnd(flood));
    // The server ends the connection itself, never waiting for the rest; its
    // answer may be lost to the reset of the bytes left unread, but is never a page.
    EXPECT_TRUE(errno == 0 || errno == ECONNRESET) << std::strerror(errno);
    EXPECT_TRUE(refused.status == 431 || refused.status == 0) << refused.status;
    ::close(flood);

    // Two more silent clients fill the slots; the scrape after them pushes
    // the oldest out rather than wait behind them.
    int second = ConnectLoopback(port);
    int third = ConnectLoopback(port);
    ASSERT_GE(second, 0);
    ASSERT_GE(third, 0);
    tagHttpAnswer scrape = HttpGet(port, "/metrics");
    EXPECT_EQ(scrape.status, 200);
    EXPECT_EQ(scrape.body, "x_total 1\n");
    EXPECT_EQ(renders, 1);
    // The first silent client was closed to make room.
    char c;
    EXPECT_EQ(::recv(silent, &c, 1, 0), 0);
    for (int fd : {silent, second, third}) ::close(fd);

    // After all of it the server still answers.
    EXPECT_EQ(HttpGet(port, "/metrics").status, 200);
}

TEST(MetricsAddress, TakesPortOrAddressAndPort)
{
    auto at = [](const char* text) {
        std::optional<tagListenAddress> a = ParseListenAddress(text);
        return a ? a->address + " " + std::to_string(a->port) : std::string("none");
    };
    EXPECT_EQ(at(""), "127.0.0.1 " + std::to_string(kDefaultMetricsPort));
    EXPECT_EQ(at("9000"), "127.0.0.1 9000");
    EXPECT_EQ(at("0.0.0.0:65535"), "0.0.0.0 65535");
    EXPECT_EQ(at("[::1]:1"), "::1 1");
    for (const char* bad : {"0", "65536", "9000x", "::1:9000", "[::1]", "[::1]9000", "[127.0.0.1]:9000",
                            "localhost:9000", "1.2.3:9000", ":9000", "127.0.0.1:"})
        EXPECT_EQ(at(bad), "none") << bad;
}

TEST(MetricsAddress, ServesOnIpv6Loopback)
{
    CMetricsServer server([] { return std::optional<std::string>("y 2\n"); });
    std::string error;
    if (!server.Start({"::1", 0}, &error)) GTEST_SKIP() << "no IPv6 loopback: " << error;
    int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    timeval guard{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(server.boundPort());
    a.sin6_addr = in6addr_loopback;
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    tagHttpAnswer answer = ParseHttpAnswer(ReadToEnd(fd));
    ::close(fd);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "y 2\n");
}

}  // namespace
}  // namespace ortolan
