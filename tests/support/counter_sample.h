// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Interface counter samples for the tests of counters, history and the texts
// formed from them.
#include <cstdint>

#include "port_records.h"

namespace ortolan::testing {

inline _tagIf_counters CounterSample(uint32_t ifIndex, int64_t time, uint32_t uptime, uint64_t inOctets = 0,
                                     uint32_t inUcast = 0, uint64_t outOctets = 0)
{
    _tagIf_counters c;
    c.ifIndex = ifIndex;
    c.sampleTime = time;
    c.agentUptime = uptime;
    c.ifInOctets = inOctets;
    c.ifOutOctets = outOctets;
    c.ifInUcastPkts = inUcast;
    return c;
}

}  // namespace ortolan::testing
