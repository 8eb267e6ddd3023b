// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an agent's SNMP interfaces table (IF-MIB) says of its interfaces: the
// name (ifName), the alias the operator gave (ifAlias, or ifDescr where the
// agent has no ifAlias) and the speed, by ifIndex. Read over SNMP, kept in
// the state folder between runs and shown beside each ifIndex. Every text
// and count here is bounded by the limits below, whoever fills the table.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace ortolan {

// The one place for the bounds of interface names. At most some 30 MB
// whatever the agents or the cache file say: 64 agents of 2048 interfaces,
// each entry two bounded texts and a map node.
inline constexpr size_t kMaxIfNameBytes = 64;     // device names are short; longer ones are cut
inline constexpr size_t kMaxIfAliasBytes = 64;    // IF-MIB's own bound of ifAlias
inline constexpr size_t kMaxIfNameEntries = 2048; // interfaces kept of one agent
inline constexpr size_t kMaxIfNameAgents = 64;    // agents whose names are read and kept

struct tagIfName {
    std::string name;
    std::string alias;
    uint64_t speedBitsPerSecond = 0;  // 0: unknown

    bool operator==(const tagIfName&) const = default;
};

// By ifIndex.
using IfNameTable = std::map<uint32_t, tagIfName>;
// By agent address text, as a port names its agent.
using AgentIfNames = std::map<std::string, IfNameTable>;

// A text cut to at most maxBytes without splitting a UTF-8 sequence, control
// bytes (tabs and line breaks included) made spaces, blanks trimmed at both
// ends: what is stored of a name or alias.
inline std::string BoundedIfText(std::string_view text, size_t maxBytes)
{
    std::string out;
    for (char c : text) {
        if (out.size() >= maxBytes) break;
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    if (text.size() > out.size()) {
        size_t end = out.size();
        while (end > 0 && (static_cast<unsigned char>(out[end - 1]) & 0xC0) == 0x80) --end;
        // end is now just past the lead byte of the last sequence (or of
        // a single byte): that sequence goes when it was cut short.
        if (end > 0 && (static_cast<unsigned char>(out[end - 1]) & 0xC0) == 0xC0) {
            unsigned char lead = static_cast<unsigned char>(out[end - 1]);
            size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (out.size() - (end - 1) < need) out.resize(end - 1);
        }
    }
    size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

}  // namespace ortolan
