// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The figures one scrape shows, copied out of the collectors in one pass
// (GatherMetrics) so that the text is formed while nothing is held.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store_counters.h"

namespace ortolan {

// The row store's counters, when the command runs one.
using StoreCountersSource = std::function<tagStoreCounters()>;

// The labels every series of one monitored port carries.
struct tagPortSeriesLabels {
    std::string key;       // the port key, "sFlow V5:10.0.0.1:0"
    std::string exporter;  // the agent or exporter address
    std::string kind;      // "sflow" or "netflow"
    std::string version;   // the protocol version of the key, "5", "9", "10"
};

struct tagPortFigures {
    tagPortSeriesLabels labels;
    uint64_t datagrams = 0;
    uint64_t records = 0;  // sFlow packet samples, NetFlow flow records
    uint64_t packets = 0;  // as sampled or as the records say: not scaled
    uint64_t bytes = 0;
};

struct tagInterfaceFigures {
    size_t port = 0;  // index into tagMetricsSnapshot::ports
    uint32_t ifIndex = 0;
    uint64_t inOctets = 0;
    uint64_t outOctets = 0;
    uint64_t inPackets = 0;   // unicast, multicast and broadcast
    uint64_t outPackets = 0;
    uint64_t speed = 0;       // bits per second; 0 when not known
};

// One collector's health, with the label kind.
struct tagCollectorHealth {
    std::string kind;
    uint64_t datagrams = 0;
    uint64_t rejectedDatagrams = 0;
    uint64_t oversizeDatagrams = 0;
    uint64_t emptyDatagrams = 0;
    uint64_t kernelDrops = 0;
    uint64_t unknownTemplateSets = 0;
    uint64_t refusedPorts = 0;
    uint64_t refusedEntries = 0;
    uint64_t logRecordsQueued = 0;
    uint64_t logRecordsDropped = 0;
    uint64_t logRecordsUnwritten = 0;
    uint64_t ports = 0;
    uint64_t memoryUsed = 0;  // what this collector's tables charged
};

struct tagMetricsSnapshot {
    std::string buildVersion;
    std::vector<tagCollectorHealth> collectors;
    std::vector<tagPortFigures> ports;
    std::vector<tagInterfaceFigures> interfaces;
    uint64_t omittedInterfaces = 0;  // beyond the interface series bound
    uint64_t memoryUsed = 0;         // the shared memory budget, all of its owners
    uint64_t memoryLimit = 0;
    std::optional<tagStoreCounters> store;
};

}  // namespace ortolan
