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
// Sixteen "%02X" groups joined by ":" (the sFlow agent form of an IPv6 address).
AddressText Ipv6GroupsText(const uint8_t* bytes);

}  // namespace ortolan
