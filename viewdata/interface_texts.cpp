// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface_texts.h"

#include "port_records.h"

namespace ortolan {

namespace {

constexpr uint64_t kWrap32 = uint64_t(1) << 32;
// A delta that a wrap explains must stay within the line's speed; a little
// over allows for the agent's timing of the two samples.
constexpr double kMostPlausiblePercent = 105.0;

std::optional<double> Percent(uint64_t earlier, uint64_t later, double seconds, double speed)
{
    if (later >= earlier) return double(later - earlier) * 8 / seconds / speed * 100;
    // Both within 32 bits: perhaps one wrap of a 32-bit counter. Anything
    // else that went back is a reset, and shows nothing.
    if (earlier >= kWrap32 || later >= kWrap32) return std::nullopt;
    const double percent = double(kWrap32 - earlier + later) * 8 / seconds / speed * 100;
    if (percent > kMostPlausiblePercent) return std::nullopt;
    return percent;
}

}  // namespace

std::string InterfaceNameText(const tagIfName& name)
{
    if (name.name.empty()) return name.alias;
    if (name.alias.empty()) return name.name;
    return name.name + " (" + name.alias + ")";
}

std::string InterfaceText(uint32_t ifIndex, const IfNameTable* names)
{
    std::string text = std::to_string(ifIndex);
    if (!names) return text;
    auto found = names->find(ifIndex);
    if (found == names->end()) return text;
    std::string name = InterfaceNameText(found->second);
    return name.empty() ? text : text + " " + name;
}

uint64_t SnmpSpeedOf(uint32_t ifIndex, const IfNameTable* names)
{
    if (!names) return 0;
    auto found = names->find(ifIndex);
    return found == names->end() ? 0 : found->second.speedBitsPerSecond;
}

tagUtilisation Utilisation(const _tagIf_counters& earlier, const _tagIf_counters& later, uint64_t snmpSpeed)
{
    tagUtilisation result;
    const uint64_t speed = later.ifSpeed ? later.ifSpeed : snmpSpeed;
    // An uptime that went back is a restart: the counters started again.
    if (speed == 0 || later.agentUptime <= earlier.agentUptime) return result;
    const double seconds = double(later.agentUptime - earlier.agentUptime) / 1000;
    result.inPercent = Percent(earlier.ifInOctets, later.ifInOctets, seconds, double(speed));
    result.outPercent = Percent(earlier.ifOutOctets, later.ifOutOctets, seconds, double(speed));
    return result;
}

}  // namespace ortolan
