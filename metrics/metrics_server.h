// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server for one page, /metrics, on a thread of its own.
// Every connection is read without blocking and within the bounds of
// tagMetricsLimits: a client that sends nothing, or too much, holds a slot
// until it is timed out or pushed out, and never delays another's scrape.
// Each answer closes its connection.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "metrics_limits.h"

namespace ortolan {

// Where the endpoint listens: a numeric IPv4 or IPv6 address and a TCP port.
struct tagListenAddress {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultMetricsPort;
};

// "[ADDRESS:]PORT" as the command line takes it: "9000", "0.0.0.0:9000",
// "[::1]:9000"; empty text gives the defaults. Null when the text is not one
// (a port outside 1 to 65535, an address that is not numeric).
std::optional<tagListenAddress> ParseListenAddress(std::string_view text);

class CMetricsServer {
public:
    // The page's text, called on the server's thread for each scrape; none
    // when it cannot be had (answered 503).
    using Render = std::function<std::optional<std::string>()>;

    CMetricsServer(Render render, tagMetricsLimits limits = {});
    ~CMetricsServer();
    CMetricsServer(const CMetricsServer&) = delete;
    CMetricsServer& operator=(const CMetricsServer&) = delete;

    // Listens and starts serving; false with the reason in *error when the
    // address cannot be had. Port 0 takes any free port (boundPort says which).
    bool Start(const tagListenAddress& where, std::string* error);
    // Stops serving and closes every connection; returns once the thread has ended.
    void Stop();
    uint16_t boundPort() const { return m_boundPort; }

private:
    struct tagConnection;
    void Serve();

    Render m_render;
    tagMetricsLimits m_limits;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_boundPort = 0;
    std::thread m_thread;
};

}  // namespace ortolan
