// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An agent or exporter as the collectors key it: the address bytes and their
// family, so a datagram finds its port without forming any text. The text the
// lists, files and logs show is formed from it only where it is shown, and
// the two forms map one to one: an IPv4 address is its dotted text, an sFlow
// IPv6 agent its sixteen hex groups; any other sender text (a replayed log
// may carry one) is held by a small number the collector gives it.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "address_text.h"

namespace ortolan {

enum class AgentFamily : uint8_t {
    None,      // no agent: an address cut short, or a text the collector could not keep
    V4,        // four bytes in wire order
    V6Groups,  // sixteen bytes in wire order, shown as sFlow's hex groups
    Text,      // any other text, by the number its collector gave it (first four bytes)
};

struct tagAgentAddress {
    AgentFamily family = AgentFamily::None;
    uint8_t bytes[16] = {};  // unused bytes stay zero, so equal agents compare equal

    static tagAgentAddress V4(const uint8_t* wire);
    static tagAgentAddress V6Groups(const uint8_t* wire);
    static tagAgentAddress TextNumber(uint32_t number);
    // The address whose shown text is exactly `text` (IPv4 dotted, or the
    // sixteen upper-case hex groups); none for any other text.
    static std::optional<tagAgentAddress> Parse(std::string_view text);
    // The shown text of an IPv4 or IPv6 agent; empty for the other families.
    AddressText Text() const;
    uint32_t textNumber() const;
    bool IsLoopbackV4() const { return family == AgentFamily::V4 && bytes[0] == 127; }

    bool operator==(const tagAgentAddress& o) const
    {
        return family == o.family && std::memcmp(bytes, o.bytes, sizeof bytes) == 0;
    }
    template <class H>
    friend H AbslHashValue(H h, const tagAgentAddress& a)
    {
        uint64_t low, high;
        std::memcpy(&low, a.bytes, 8);
        std::memcpy(&high, a.bytes + 8, 8);
        return H::combine(std::move(h), uint8_t(a.family), low, high);
    }
};

// A port's binary key: its agent, the datagram version and the number within
// the agent (sFlow sub-agent, NetFlow v5 engine id, v9 source id, IPFIX
// observation domain).
struct tagPortKey {
    tagAgentAddress agent;
    int32_t version = 0;
    uint32_t number = 0;

    bool operator==(const tagPortKey&) const = default;
    template <class H>
    friend H AbslHashValue(H h, const tagPortKey& k)
    {
        return H::combine(std::move(h), k.agent, k.version, k.number);
    }
};

}  // namespace ortolan
