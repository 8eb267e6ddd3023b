// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sFlow configuration read from an agent, kept as the texts the setup
// window shows: numbers as decimal text, addresses dotted, indexes verbatim
// (the set requests write them back unchanged). A cell the walk did not
// deliver is empty.
#include <string>
#include <vector>

namespace ortolan {

// The window's read-only fields.
struct tagSfAgentInfo {
    std::string versionText;  // sFlowVersion or sFlowVersionV4 as received
    std::string addressText;  // the agent's own address, dotted
    int mibGeneration = 0;    // 0 nothing read, 4 older MIB, 5 version 5 MIB
};

// One version 5 receiver (collector list row).
struct tagSfV5RcvrRow {
    std::string index;  // the collector number
    std::string owner;
    std::string timeout;
    std::string datagramSize;
    std::string address;
    std::string port;
    std::string datagramVersion;
};

// One version 5 data source: its flow sampler and counter poller together.
struct tagSfV5PortRow {
    std::string dataSource;  // e.g. ifIndex.5
    std::string instance;
    std::string flowReceiver;  // empty without a flow sampler
    std::string samplingRate;
    std::string headerSize;
    std::string counterReceiver;  // empty without a counter poller
    std::string counterInterval;
    std::string index;  // e.g. 11.1.3.6.1.2.1.2.2.1.1.5.1
};

// One row of the older MIB's table: a data source with its own collector.
struct tagSfV4PortRow {
    std::string dataSource;
    std::string owner;
    std::string timeout;
    std::string samplingRate;
    std::string counterInterval;
    std::string headerSize;
    std::string datagramSize;
    std::string collectorAddress;
    std::string collectorPort;
    std::string datagramVersion;
    std::string index;
};

// Everything one walk produced. Only the port rows of mibGeneration are used.
struct tagSfReadout {
    tagSfAgentInfo info;
    std::vector<tagSfV5RcvrRow> receivers;
    std::vector<tagSfV5PortRow> v5Ports;
    std::vector<tagSfV4PortRow> v4Ports;
};

// Column headers of the two lists (the port list's depend on the generation).
const std::vector<std::string>& CollectorColumnHeaders();
const std::vector<std::string>& V5PortColumnHeaders();
const std::vector<std::string>& V4PortColumnHeaders();

// The cells of a row in column order.
std::vector<std::string> CellsOf(const tagSfV5RcvrRow& row);
std::vector<std::string> CellsOf(const tagSfV5PortRow& row);
std::vector<std::string> CellsOf(const tagSfV4PortRow& row);

// "Ver.%d" of a generation above 0, else empty.
std::string MibVersionText(int mibGeneration);

}  // namespace ortolan
