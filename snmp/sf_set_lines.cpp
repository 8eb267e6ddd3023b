// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_set_lines.h"

#include <cstdio>
#include <limits>

#include "agent_address.h"
#include "snmp_text.h"

namespace ortolan {

namespace {

constexpr uint32_t kUnitSeconds[kPeriodUnitCount] = {1, 60, 3600, 86400, 30u * 86400u, kSecondsPerYear};

std::string Line(const char* name, const std::string& index, const std::string& value)
{
    return std::string(name) + "." + index + "=" + value + "\n";
}

std::string Line(const char* name, const std::string& index, int value)
{
    return Line(name, index, std::to_string(value));
}

std::string AddressLine(const char* name, const std::string& index, uint32_t address)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", address);
    return std::string(name) + "." + index + ":x=" + hex + "\n";
}

// Set lines are split at tabs and line breaks, so those (and other control
// bytes) in an owner text would start a line of their own: they become spaces.
std::string OwnerValue(const std::string& owner)
{
    std::string value = owner;
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return value;
}

uint32_t AddressOfCell(const std::string& cell)
{
    return ParseIpv4(TrimSnmpText(cell)).value_or(0);
}

}  // namespace

uint32_t SecondsPerUnit(int unitIndex)
{
    if (unitIndex < 0 || unitIndex >= kPeriodUnitCount) return 0;
    return kUnitSeconds[unitIndex];
}

tagPeriod NormalizePeriod(int seconds)
{
    tagPeriod period{seconds, 0};
    if (seconds <= 0) return period;
    uint32_t total = static_cast<uint32_t>(seconds);
    for (int unit = kPeriodUnitCount - 1; unit > 0; --unit) {
        if (total % kUnitSeconds[unit] == 0) {
            period.value = static_cast<int>(total / kUnitSeconds[unit]);
            period.unitIndex = unit;
            break;
        }
    }
    return period;
}

std::optional<int> PeriodSeconds(int value, int unitIndex)
{
    uint32_t unit = SecondsPerUnit(unitIndex);
    if (unit == 0 || value < 0) return std::nullopt;
    int64_t seconds = int64_t{value} * unit;
    if (seconds > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int>(seconds);
}

int DatagramVersionIndexOf(const std::string& cellText)
{
    std::string text = TrimSnmpText(cellText);
    if (text == "2") return 0;
    if (text == "4") return 1;
    return 2;
}

int DatagramVersionOfIndex(int index)
{
    if (index == 0) return 2;
    if (index == 1) return 4;
    return 5;
}

tagSfV5PortEntry StartValuesOf(const tagSfV5PortRow& row)
{
    tagSfV5PortEntry entry;
    entry.dataSource = row.dataSource;
    entry.collector = LeadingDecimal(row.flowReceiver);
    entry.samplingRate = LeadingDecimal(row.samplingRate);
    entry.headerSize = LeadingDecimal(row.headerSize);
    entry.counterInterval = LeadingDecimal(row.counterInterval);
    return entry;
}

tagSfV4Entry StartValuesOf(const tagSfV4PortRow& row)
{
    tagSfV4Entry entry;
    entry.dataSource = row.dataSource;
    entry.owner = row.owner;
    entry.period = NormalizePeriod(LeadingDecimal(row.timeout));
    entry.samplingRate = LeadingDecimal(row.samplingRate);
    entry.counterInterval = LeadingDecimal(row.counterInterval);
    entry.headerSize = LeadingDecimal(row.headerSize);
    entry.packetSize = LeadingDecimal(row.datagramSize);
    entry.collectorAddress = AddressOfCell(row.collectorAddress);
    entry.collectorPort = LeadingDecimal(row.collectorPort);
    entry.datagramVersionIndex = DatagramVersionIndexOf(row.datagramVersion);
    return entry;
}

tagSfV5RcvrEntry StartValuesOf(const tagSfV5RcvrRow& row)
{
    tagSfV5RcvrEntry entry;
    entry.collectorNumber = row.index;
    entry.owner = row.owner;
    entry.period = NormalizePeriod(LeadingDecimal(row.timeout));
    entry.packetSize = LeadingDecimal(row.datagramSize);
    entry.collectorAddress = AddressOfCell(row.address);
    entry.port = LeadingDecimal(row.port);
    entry.datagramVersionIndex = DatagramVersionIndexOf(row.datagramVersion);
    return entry;
}

std::string BuildV5PortSetLines(const tagSfV5PortEntry& entry, const std::string& index)
{
    return Line("sFlowFsReceiver", index, entry.collector) +
           Line("sFlowFsPacketSamplingRate", index, entry.samplingRate) +
           Line("sFlowFsMaximumHeaderSize", index, entry.headerSize) +
           Line("sFlowCpReceiver", index, entry.collector) +
           Line("sFlowCpInterval", index, entry.counterInterval);
}

std::optional<std::string> BuildV4SetLines(const tagSfV4Entry& entry, const std::string& index)
{
    std::optional<int> timeout = PeriodSeconds(entry.period.value, entry.period.unitIndex);
    if (!timeout) return std::nullopt;
    return Line("sFlowOwner", index, OwnerValue(entry.owner)) +
           Line("sFlowTimeout", index, *timeout) +
           Line("sFlowPacketSamplingRate", index, entry.samplingRate) +
           Line("sFlowCounterSamplingInterval", index, entry.counterInterval) +
           Line("sFlowMaximumHeaderSize", index, entry.headerSize) +
           Line("sFlowMaximumDatagramSize", index, entry.packetSize) +
           Line("sFlowCollectorAddressType", index, 1) +
           AddressLine("sFlowCollectorAddress", index, entry.collectorAddress) +
           Line("sFlowCollectorPort", index, entry.collectorPort) +
           Line("sFlowDatagramVersion", index, DatagramVersionOfIndex(entry.datagramVersionIndex));
}

std::optional<std::string> BuildV5RcvrSetLines(const tagSfV5RcvrEntry& entry, const std::string& index)
{
    std::optional<int> timeout = PeriodSeconds(entry.period.value, entry.period.unitIndex);
    if (!timeout) return std::nullopt;
    return Line("sFlowRcvrOwner", index, OwnerValue(entry.owner)) +
           Line("sFlowRcvrTimeout", index, *timeout) +
           Line("sFlowRcvrMaximumDatagramSize", index, entry.packetSize) +
           Line("sFlowRcvrAddressType", index, 1) +
           AddressLine("sFlowRcvrAddress", index, entry.collectorAddress) +
           Line("sFlowRcvrPort", index, entry.port) +
           Line("sFlowRcvrDatagramVersion", index, DatagramVersionOfIndex(entry.datagramVersionIndex));
}

}  // namespace ortolan
