// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mon_port.h"

namespace ortolan {
namespace {

std::string JoinedWithCommas(const std::vector<std::string>& texts)
{
    std::string out;
    for (const std::string& text : texts) {
        if (!out.empty()) out += ',';
        out += text;
    }
    return out;
}

// A presumed label is one with a '?'; it is covered when the label without
// its first '?' is in the set as well.
bool IsCoveredPresumption(const CLabelTable& labels, const CLabelList& services, uint32_t label)
{
    const std::string& text = labels.Text(label);
    auto q = text.find('?');
    if (q == std::string::npos) return false;
    std::string confirmed = text;
    confirmed.erase(q, 1);
    uint32_t c = labels.Find(confirmed);
    return c != 0 && services.contains(c);
}

}  // namespace

std::string IpListForMac(const CMonPort& port, const MacAddress& mac)
{
    // In the byte-wise order of the addresses, as the lists sort them: the
    // order of the map would change whenever unrelated nodes are added.
    std::vector<std::string> found;
    for (const auto& [address, node] : port.ips)
        if (node.macs.contains(mac)) found.push_back(address.String());
    std::sort(found.begin(), found.end());
    return JoinedWithCommas(found);
}

std::string IpListForMac(const CMonPort& port, std::string_view mac)
{
    auto key = MacAddress::Parse(mac);
    return key ? IpListForMac(port, *key) : std::string();
}

std::string MacList(const tagIpEntry& node)
{
    std::string out;
    for (const MacAddress& mac : node.macs) {
        if (!out.empty()) out += ',';
        out += mac.Text().view();
    }
    return out;
}

std::string MacListForIp(const CMonPort& port, const CIpAddress& ip)
{
    auto it = port.ips.find(ip);
    return it == port.ips.end() ? std::string() : MacList(it->second);
}

std::string MacListForIp(const CMonPort& port, std::string_view ip)
{
    auto key = CIpAddress::Parse(ip);
    return key ? MacListForIp(port, *key) : std::string();
}

std::vector<std::string> ServiceTexts(const CMonPort& port, const CLabelList& services)
{
    std::vector<std::string> out;
    out.reserve(services.size());
    for (uint32_t s : services) out.push_back(port.LabelText(s));
    std::sort(out.begin(), out.end());
    return out;
}

std::string ServiceList(const CMonPort& port, const CLabelList& services)
{
    std::vector<std::string> shown;
    shown.reserve(services.size());
    for (uint32_t label : services)
        if (!IsCoveredPresumption(port.labels(), services, label)) shown.push_back(port.LabelText(label));
    std::sort(shown.begin(), shown.end());
    return JoinedWithCommas(shown);
}

tagPortEstimate::tagPortEstimate(const CMonPort& port)
    : inOctets(port.interfaces.InSum(CounterSet::Current, InboundFigure::Octets)),
      inPackets(port.interfaces.InSum(CounterSet::Current, InboundFigure::Packets)),
      sampledBytes(port.sampledBytes),
      sampleCount(port.sampleCount)
{
}

std::string EstimatedBytesText(const CMonPort& port, int64_t bytes)
{
    return EstimatedBytesText(tagPortEstimate(port), bytes);
}

std::string EstimatedPacketsText(const CMonPort& port, int64_t packets)
{
    return EstimatedPacketsText(tagPortEstimate(port), packets);
}

std::string EstimatedBytesText(const tagPortEstimate& port, int64_t bytes)
{
    double total = port.inOctets;
    double value = double(bytes);
    if (total != 0 && port.sampledBytes != 0 && bytes != 0)
        value = total * (double(bytes) / double(port.sampledBytes));
    char buf[64];
    if (value < 1000) {
        std::snprintf(buf, sizeof buf, "%.0lfB", value);
        return buf;
    }
    static constexpr const char* kUnits[] = {"%.3lfKB", "%.3lfMB", "%.3lfGB"};
    for (const char* unit : kUnits) {
        value /= 1000;
        if (value < 1000) {
            std::snprintf(buf, sizeof buf, unit, value);
            return buf;
        }
    }
    std::snprintf(buf, sizeof buf, "%.3lfTB", value / 1000);
    return buf;
}

std::string EstimatedPacketsText(const tagPortEstimate& port, int64_t packets)
{
    double total = port.inPackets;
    char buf[96];
    if (total != 0 && port.sampleCount != 0 && packets != 0) {
        double estimate = total * (double(packets) / double(port.sampleCount));
        double error = 196.0 * std::sqrt(1.0 / double(packets));
        std::snprintf(buf, sizeof buf, "%.0lf(±%.1lf%%)", estimate, error);
    } else {
        std::snprintf(buf, sizeof buf, "%lld(ABS)", static_cast<long long>(packets));
    }
    return buf;
}

}  // namespace ortolan
