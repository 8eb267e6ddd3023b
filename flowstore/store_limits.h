// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every bound of the ClickHouse flow store, in one place.
#include <chrono>
#include <cstdint>

namespace ortolan {

struct tagStoreLimits {
    // A batch is sent once it holds this many rows, or once its first row is this old.
    uint32_t batchRows = 50000;
    std::chrono::milliseconds batchAge{5000};
    // The queue's bound: an eighth of the memory limit, at most this many bytes
    // (about 600,000 rows); it is charged to the memory limit when the store starts.
    uint64_t maxQueueBytes = 64ull << 20;
    uint32_t queueShareOfLimit = 8;
    // Retries after a failed insert wait from the shortest to the longest pause,
    // doubling; after a refusal always the longest.
    std::chrono::milliseconds retryFirst{20};
    std::chrono::milliseconds retryLongest{30000};
    // One request, from the connection's start to the answer's end.
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds requestTimeout{30000};
    // A kept-alive connection idle this long is not reused: servers close idle
    // ones after a few seconds (3 in Debian's configuration).
    std::chrono::seconds maxIdleConnection{2};
    // A stop sends what it can for this long, then ends the request in flight
    // (within the second libcurl takes to look) and gives up the rest: a stop
    // is over within 5 s.
    std::chrono::milliseconds stopBound{4000};
    // How often old partitions are looked for, besides at the start.
    std::chrono::hours retentionCheck{24};
    // The most bytes of a server's error text kept to be shown.
    uint32_t maxErrorText = 512;
    // The most bytes of a query's answer read (the table's partitions).
    uint32_t maxAnswerText = 1u << 16;
};

}  // namespace ortolan
