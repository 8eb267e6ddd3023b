// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_walk_parser.h"

#include <map>
#include <set>

#include "agent_address.h"
#include "snmp_text.h"

namespace ortolan {

namespace {

using CellMap = std::map<std::string, std::string>;

std::string Cell(const CellMap& cells, const std::string& index)
{
    auto it = cells.find(index);
    return it == cells.end() ? std::string() : it->second;
}

// One result line split into what the matching tables need.
struct tagParsedLine {
    std::string name;   // short name with index, e.g. sFlowRcvrOwner.1
    std::string value;  // ValueOf the line
    std::string index;  // text after the first "."
    const std::string* line = nullptr;

    int Number() const { return IntValueOf(*line, name); }
    std::string NumberText() const { return std::to_string(Number()); }
};

bool SplitLine(const std::string& line, tagParsedLine& parsed)
{
    if (line.empty()) return false;
    parsed.name = ShortName(line);
    size_t dot = parsed.name.find('.');
    if (parsed.name.empty() || dot == std::string::npos) return false;
    parsed.value = ValueOf(line, parsed.name);
    parsed.index = parsed.name.substr(dot + 1);
    parsed.line = &line;
    return true;
}

bool Has(const std::string& name, const char* part)
{
    return name.find(part) != std::string::npos;
}

}  // namespace

tagSfReadout ParseV5Results(const std::vector<std::string>& results)
{
    tagSfReadout readout;
    readout.info.mibGeneration = 5;

    std::string agentAddress;
    std::vector<std::string> receiverOrder;
    CellMap owner, timeout, datagramSize, addressType, address, port, datagramVersion;
    std::vector<std::string> portOrder;
    std::set<std::string> portSeen;
    CellMap flowReceiver, samplingRate, headerSize, counterReceiver, counterInterval;

    auto notePort = [&](const std::string& index) {
        if (portSeen.insert(index).second) portOrder.push_back(index);
    };

    for (const std::string& line : results) {
        tagParsedLine p;
        if (!SplitLine(line, p)) continue;
        const std::string& n = p.name;
        // Matching is by substring, so longer names come before the names
        // they contain (sFlowRcvrAddressType before sFlowRcvrAddress.).
        if (Has(n, "sFlowVersion")) {
            readout.info.versionText = p.value;
        } else if (Has(n, "sFlowAgentAddress.")) {
            agentAddress = p.value;
        } else if (Has(n, "sFlowAgentAddressType")) {
            // read, not shown: only IPv4 is displayed
        } else if (Has(n, "sFlowRcvrOwner")) {
            if (owner.find(p.index) == owner.end()) receiverOrder.push_back(p.index);
            owner[p.index] = p.value;
        } else if (Has(n, "sFlowRcvrTimeout")) {
            timeout[p.index] = p.NumberText();
        } else if (Has(n, "sFlowRcvrMaximumDatagramSize")) {
            datagramSize[p.index] = p.NumberText();
        } else if (Has(n, "sFlowRcvrAddressType")) {
            addressType[p.index] = p.NumberText();
        } else if (Has(n, "sFlowRcvrAddress.")) {
            address[p.index] = p.value;
        } else if (Has(n, "sFlowRcvrPort")) {
            port[p.index] = p.NumberText();
        } else if (Has(n, "sFlowRcvrDatagramVersion")) {
            datagramVersion[p.index] = p.NumberText();
        } else if (Has(n, "sFlowFsReceiver.")) {
            notePort(p.index);
            flowReceiver[p.index] = p.NumberText();
        } else if (Has(n, "sFlowFsPacketSamplingRate.")) {
            samplingRate[p.index] = p.NumberText();
        } else if (Has(n, "sFlowFsMaximumHeaderSize.")) {
            headerSize[p.index] = p.NumberText();
        } else if (Has(n, "sFlowCpReceiver.")) {
            notePort(p.index);
            counterReceiver[p.index] = p.NumberText();
        } else if (Has(n, "sFlowCpInterval.")) {
            counterInterval[p.index] = p.NumberText();
        }
    }

    readout.info.addressText = FormatAgentAddress(agentAddress);
    for (const std::string& index : receiverOrder) {
        tagSfV5RcvrRow row;
        row.index = index;
        row.owner = Cell(owner, index);
        row.timeout = Cell(timeout, index);
        row.datagramSize = Cell(datagramSize, index);
        auto a = address.find(index);
        if (a != address.end()) row.address = FormatAgentAddress(a->second);
        row.port = Cell(port, index);
        row.datagramVersion = Cell(datagramVersion, index);
        readout.receivers.push_back(std::move(row));
    }
    for (const std::string& index : portOrder) {
        tagSfV5PortRow row;
        row.dataSource = DataSourceOfIndex(index);
        if (row.dataSource.empty()) continue;
        row.instance = InstanceOfIndex(index);
        row.flowReceiver = Cell(flowReceiver, index);
        row.samplingRate = Cell(samplingRate, index);
        row.headerSize = Cell(headerSize, index);
        row.counterReceiver = Cell(counterReceiver, index);
        row.counterInterval = Cell(counterInterval, index);
        row.index = index;
        readout.v5Ports.push_back(std::move(row));
    }
    return readout;
}

tagSfReadout ParseV4Results(const std::vector<std::string>& results)
{
    tagSfReadout readout;
    readout.info.mibGeneration = 4;

    std::string agentAddress;
    std::vector<std::string> rowOrder;
    CellMap dataSource, owner, timeout, samplingRate, counterInterval, headerSize, datagramSize;
    CellMap addressType, address, port, datagramVersion;

    for (const std::string& line : results) {
        tagParsedLine p;
        if (!SplitLine(line, p)) continue;
        const std::string& n = p.name;
        if (Has(n, "sFlowVersionV4")) {
            readout.info.versionText = p.value;
        } else if (Has(n, "sFlowAgentAddressV4")) {
            agentAddress = p.value;
        } else if (Has(n, "sFlowAgentAddressTypeV4")) {
            // read, not shown
        } else if (Has(n, "sFlowDataSource")) {
            // The first value of an index stays.
            if (dataSource.emplace(p.index, p.value).second) rowOrder.push_back(p.index);
        } else if (Has(n, "sFlowOwner")) {
            owner[p.index] = p.value;
        } else if (Has(n, "sFlowTimeout")) {
            timeout[p.index] = p.NumberText();
        } else if (Has(n, "sFlowPacketSamplingRate")) {
            samplingRate[p.index] = p.NumberText();
        } else if (Has(n, "sFlowCounterSamplingInterval")) {
            counterInterval[p.index] = p.NumberText();
        } else if (Has(n, "sFlowMaximumHeaderSize")) {
            headerSize[p.index] = p.NumberText();
        } else if (Has(n, "sFlowMaximumDatagramSize")) {
            datagramSize[p.index] = p.NumberText();
        } else if (Has(n, "sFlowCollectorAddressType.")) {
            addressType[p.index] = p.NumberText();
        } else if (Has(n, "sFlowCollectorAddress.")) {
            std::string value = p.value;
            size_t colon = value.find(':');
            if (colon != std::string::npos) value = value.substr(colon + 1);
            address[p.index] = TrimSnmpText(value);
        } else if (Has(n, "sFlowCollectorPort")) {
            port[p.index] = p.NumberText();
        } else if (Has(n, "sFlowDatagramVersion")) {
            datagramVersion[p.index] = p.NumberText();
        }
    }

    readout.info.addressText = FormatAgentAddress(agentAddress);
    for (const std::string& index : rowOrder) {
        tagSfV4PortRow row;
        row.dataSource = Cell(dataSource, index);
        row.owner = Cell(owner, index);
        row.timeout = Cell(timeout, index);
        row.samplingRate = Cell(samplingRate, index);
        row.counterInterval = Cell(counterInterval, index);
        row.headerSize = Cell(headerSize, index);
        row.datagramSize = Cell(datagramSize, index);
        auto a = address.find(index);
        if (a != address.end()) row.collectorAddress = FormatAgentAddress(a->second);
        row.collectorPort = Cell(port, index);
        row.datagramVersion = Cell(datagramVersion, index);
        row.index = index;
        readout.v4Ports.push_back(std::move(row));
    }
    return readout;
}

}  // namespace ortolan
