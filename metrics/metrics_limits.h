// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every bound of the metrics endpoint in one place. A scrape is answered from
// figures copied out of the collectors, so what a client or a sender can make
// the endpoint hold or write is bounded here.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace ortolan {

// The endpoint's TCP port when none is given: outside the 9100-9999 range the
// Prometheus exporters share (all of it taken), away from the flow ports
// (2055, 2100, 4739, 6343, 9995, 9996) and the collectors' web ports (8080),
// and below the kernel's ephemeral ports.
inline constexpr uint16_t kDefaultMetricsPort = 8643;

struct tagMetricsLimits {
    // Interface series per scrape, over every port of both collectors (ports
    // in key order, interfaces in ifIndex order); the rest are left out and
    // counted in ortolan_metrics_omitted_interfaces. Ports are bounded by the
    // port limit of each collector already.
    size_t maxInterfaceSeries = 16384;
    // Bytes read of one request (request line and headers). More is answered
    // 431 and the connection closed, unread.
    size_t maxRequestBytes = 8192;
    // Connections held at once; one more pushes the oldest out, so idle
    // clients can neither block a scrape nor grow memory.
    size_t maxConnections = 16;
    // A connection that has not sent its whole request, or not taken its
    // whole answer, within this time is closed.
    std::chrono::milliseconds connectionTimeout{10000};
    // How long a scrape waits for the figures before it is answered 503.
    std::chrono::milliseconds gatherTimeout{5000};
};

}  // namespace ortolan
