// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts the lists and the report form from one port's statistics: the
// addresses a node was seen with, its services, and the estimates of real
// traffic that scale a sampled count by the interface counters. None of them
// changes the statistics.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

class CIpAddress;
class CLabelList;
class CMonPort;
class MacAddress;
struct tagIpEntry;

// The IP addresses seen with a MAC, joined with commas in the byte-wise order
// of their texts; empty for a text that is no MAC.
std::string IpListForMac(const CMonPort& port, const MacAddress& mac);
std::string IpListForMac(const CMonPort& port, std::string_view mac);
// The MACs an IP address was seen with, in the order they came, joined with
// commas; empty for an unknown node or a text that is no address.
std::string MacListForIp(const CMonPort& port, const CIpAddress& ip);
std::string MacListForIp(const CMonPort& port, std::string_view ip);
std::string MacList(const tagIpEntry& node);

// Service label texts in byte-wise order.
std::vector<std::string> ServiceTexts(const CMonPort& port, const CLabelList& services);
// The service texts joined with commas in byte-wise order, leaving out each
// presumed label ("x/tcp?") whose confirmed label ("x/tcp") is in the set too.
std::string ServiceList(const CMonPort& port, const CLabelList& services);

// What the estimates scale by: the port's inbound interface totals and its
// sampled counts. A list forms it once and hands it to every cell, since
// summing the interfaces walks all of them.
struct tagPortEstimate {
    explicit tagPortEstimate(const CMonPort& port);
    double inOctets = 0;
    double inPackets = 0;
    int64_t sampledBytes = 0;
    int64_t sampleCount = 0;
};

// A sampled byte count scaled to the interfaces' inbound octets ("1.500KB");
// the count itself when the port has no such figures.
std::string EstimatedBytesText(const tagPortEstimate& port, int64_t bytes);
std::string EstimatedBytesText(const CMonPort& port, int64_t bytes);
// A sampled packet count scaled to the interfaces' inbound packets, with its
// 95 % error bound ("5000(±19.6%)"); else the count itself ("12(ABS)").
std::string EstimatedPacketsText(const tagPortEstimate& port, int64_t packets);
std::string EstimatedPacketsText(const CMonPort& port, int64_t packets);

}  // namespace ortolan
