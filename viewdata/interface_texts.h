// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the windows, CSV files and charts show of an interface beyond its
// counters: its name beside the ifIndex, and its utilisation between two
// counter samples.
#include <cstdint>
#include <optional>
#include <string>

#include "interface_names.h"

namespace ortolan {

struct _tagIf_counters;

// The interface names of an agent by its address text; what the session
// read over SNMP. The views only read them, through this.
class IInterfaceNameLookup {
public:
    virtual ~IInterfaceNameLookup() = default;
    // Null when nothing is known of the agent.
    virtual const IfNameTable* InterfaceNames(const std::string& agent) const = 0;
};

// "ifName (ifAlias)", "ifName" without an alias, the alias alone without a
// name, "" when nothing is known.
std::string InterfaceNameText(const tagIfName& name);

// The ifIndex as shown: "3", or "3 ge-0/0/3 (uplink)" when names knows it.
std::string InterfaceText(uint32_t ifIndex, const IfNameTable* names);

// The speed of names' ifIndex in bit/s; 0 when unknown.
uint64_t SnmpSpeedOf(uint32_t ifIndex, const IfNameTable* names);

// In and out utilisation in % between two counter samples of one
// interface: octet deltas × 8 / elapsed seconds (by the agent's uptime) /
// speed. The speed is the later sample's ifSpeed, else snmpSpeed (bit/s);
// nothing without either. Nothing either across an agent restart (the
// uptime went back or stood still); a counter that went back gives nothing
// for its direction, unless it reads as one wrap of a 32-bit counter within
// the interface's speed.
struct tagUtilisation {
    std::optional<double> inPercent;
    std::optional<double> outPercent;
};
tagUtilisation Utilisation(const _tagIf_counters& earlier, const _tagIf_counters& later, uint64_t snmpSpeed);

}  // namespace ortolan
