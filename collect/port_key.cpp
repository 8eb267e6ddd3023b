// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_key.h"

namespace ortolan {
namespace {

// Dotted decimal exactly as Ipv4Text writes it: four parts of 0 to 255,
// no leading zeros, nothing else.
bool ParseV4(std::string_view text, uint8_t* out)
{
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        size_t start = at;
        unsigned value = 0;
        while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + unsigned(text[at++] - '0');
        size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
        out[part] = uint8_t(value);
    }
    return at == text.size();
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // Ipv6GroupsText writes upper case only
}

// Sixteen "%02X" groups joined by ":", as Ipv6GroupsText writes them.
bool ParseV6Groups(std::string_view text, uint8_t* out)
{
    if (text.size() != 16 * 3 - 1) return false;
    for (int i = 0; i < 16; ++i) {
        const size_t at = size_t(i) * 3;
        if (i > 0 && text[at - 1] != ':') return false;
        int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return false;
        out[i] = uint8_t(high << 4 | low);
    }
    return true;
}

}  // namespace

tagAgentAddress tagAgentAddress::V4(const uint8_t* wire)
{
    tagAgentAddress a;
    a.family = AgentFamily::V4;
    std::memcpy(a.bytes, wire, 4);
    return a;
}

tagAgentAddress tagAgentAddress::V6Groups(const uint8_t* wire)
{
    tagAgentAddress a;
    a.family = AgentFamily::V6Groups;
    std::memcpy(a.bytes, wire, 16);
    return a;
}

tagAgentAddress tagAgentAddress::TextNumber(uint32_t number)
{
    tagAgentAddress a;
    a.family = AgentFamily::Text;
    std::memcpy(a.bytes, &number, sizeof number);
    return a;
}

std::optional<tagAgentAddress> tagAgentAddress::Parse(std::string_view text)
{
    tagAgentAddress a;
    if (ParseV4(text, a.bytes)) {
        a.family = AgentFamily::V4;
        return a;
    }
    std::memset(a.bytes, 0, sizeof a.bytes);
    if (ParseV6Groups(text, a.bytes)) {
        a.family = AgentFamily::V6Groups;
        return a;
    }
    return std::nullopt;
}

AddressText tagAgentAddress::Text() const
{
    if (family == AgentFamily::V4) return Ipv4Text(bytes);
    if (family == AgentFamily::V6Groups) return Ipv6GroupsText(bytes);
    return {};
}

uint32_t tagAgentAddress::textNumber() const
{
    uint32_t number;
    std::memcpy(&number, bytes, sizeof number);
    return number;
}

}  // namespace ortolan
