// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text keys of the statistics, formatted into caller buffers so the
// per-sample path builds no temporary strings.
#include <cstdint>
#include <string_view>

namespace ortolan {

struct AddressText {
    char text[48];
    uint8_t size = 0;
    std::string_view view() const { return {text, size}; }
};

// "%u.%u.%u.%u" of four bytes in wire order.
AddressText Ipv4Text(const uint8_t* bytes);
// "%02X:%02X:%02X:%02X:%02X:%02X".
AddressText MacText(const uint8_t* bytes);
// An IPv6 address of sixteen bytes in wire order, in the RFC 5952 form: lower-case
// hex groups without leading zeros, the longest run of two or more zero groups
// (the first of equal runs) as "::", and an IPv4-mapped address (::ffff:0:0/96)
// with its last 32 bits dotted ("::ffff:192.0.2.1").
AddressText Ipv6Text(const uint8_t* bytes);
// Sixteen "%02X" groups joined by ":" (the sFlow agent form of an IPv6 address).
AddressText Ipv6GroupsText(const uint8_t* bytes);

}  // namespace ortolan
