// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Addresses and table indexes of the sFlow MIBs as the setup window shows
// them. Plain C++; any input text is accepted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ortolan {

// An address value text as dotted IPv4: "C0 A8 01 0A" (the hexadecimal bytes
// of an InetAddress) gives 192.168.1.10, "IpAddress: 10.0.0.1" gives
// 10.0.0.1; missing bytes count as 0, so "" gives 0.0.0.0.
std::string FormatAgentAddress(std::string_view valueText);

// The data source of a flow sampler or counter poller index (OID length,
// OID, instance): 11.1.3.6.1.2.1.2.2.1.1.5.1 gives ifIndex.5. Empty when the
// index has no OID part.
std::string DataSourceOfIndex(std::string_view index);

// The instance of such an index: the part after its last "."; empty without one.
std::string InstanceOfIndex(std::string_view index);

// "%u.%u.%u.%u" of an address in host order (192.168.1.10 is 0xC0A8010A).
std::string IpToText(uint32_t address);

// A dotted IPv4 text (four decimal parts 0 to 255, nothing else) in host
// order; nothing for any other text.
std::optional<uint32_t> ParseIpv4(std::string_view text);

}  // namespace ortolan
