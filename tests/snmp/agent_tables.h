// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Agent tables for fake_sflow_agent: a version 5 agent and an agent of the
// older MIB, with the values the real-agent tests expect back.
#include <string>

namespace ortolan::testing {

inline const std::string kV5 = ".1.3.6.1.4.1.14706.1.1";
inline const std::string kV4 = ".1.3.6.1.4.1.4300.1.1";
inline const std::string kIfIndex5 = "11.1.3.6.1.2.1.2.2.1.1.5.1";
inline const std::string kIfIndex7 = "11.1.3.6.1.2.1.2.2.1.1.7.1";
inline const std::string kV4IfIndex3 = "11.1.3.6.1.2.1.2.2.1.1.3";

// Receiver 1 is fully set up; receiver 2 is unclaimed, with an address whose
// bytes happen to be printable (65.66.67.68). ifIndex.5 has a sampler and a
// poller, ifIndex.7 a poller only.
inline std::string V5AgentTable()
{
    const std::string r = kV5 + ".4.1.";
    const std::string fs = kV5 + ".5.1.";
    const std::string cp = kV5 + ".6.1.";
    return "obj " + kV5 + ".1.0 string ro 1.3;Ortolan test agent;1.0\n"
           "obj " + kV5 + ".2.0 integer ro 1\n"
           "obj " + kV5 + ".3.0 octet ro C0 A8 01 0B\n"
           "obj " + r + "2.1 string rw ortolan\n"
           "obj " + r + "3.1 integer rw 86400\n"
           "obj " + r + "4.1 integer rw 1400\n"
           "obj " + r + "5.1 integer rw 1\n"
           "obj " + r + "6.1 octet rw 0A 00 00 01\n"
           "obj " + r + "7.1 integer rw 6343\n"
           "obj " + r + "8.1 integer rw 5\n"
           "range " + r + "8.1 2 5\n"
           "obj " + r + "2.2 string rw \n"
           "obj " + r + "3.2 integer rw 0\n"
           "obj " + r + "4.2 integer rw 1400\n"
           "obj " + r + "5.2 integer rw 1\n"
           "obj " + r + "6.2 octet rw 41 42 43 44\n"
           "obj " + r + "7.2 integer rw 6343\n"
           "obj " + r + "8.2 integer rw 5\n"
           "obj " + fs + "3." + kIfIndex5 + " integer rw 1\n"
           "obj " + fs + "4." + kIfIndex5 + " integer rw 400\n"
           "obj " + fs + "5." + kIfIndex5 + " integer rw 128\n"
           "obj " + cp + "3." + kIfIndex5 + " integer rw 1\n"
           "obj " + cp + "4." + kIfIndex5 + " integer rw 30\n"
           "obj " + cp + "3." + kIfIndex7 + " integer rw 1\n"
           "obj " + cp + "4." + kIfIndex7 + " integer rw 20\n";
}

inline std::string V4AgentTable()
{
    const std::string c = kV4 + ".4.1.";
    const std::string i = "." + kV4IfIndex3;
    return "obj " + kV4 + ".1.0 string ro 1.2;Ortolan old agent;0.9\n"
           "obj " + kV4 + ".2.0 integer ro 1\n"
           "obj " + kV4 + ".3.0 octet ro C0 A8 01 0C\n"
           "obj " + c + "1" + i + " objectid ro .1.3.6.1.2.1.2.2.1.1.3\n"
           "obj " + c + "2" + i + " string rw v4owner\n"
           "obj " + c + "3" + i + " integer rw 7200\n"
           "obj " + c + "4" + i + " integer rw 512\n"
           "obj " + c + "5" + i + " integer rw 20\n"
           "obj " + c + "6" + i + " integer rw 128\n"
           "obj " + c + "7" + i + " integer rw 1400\n"
           "obj " + c + "8" + i + " integer rw 1\n"
           "obj " + c + "9" + i + " octet rw C0 A8 01 0A\n"
           "obj " + c + "10" + i + " integer rw 6343\n"
           "obj " + c + "11" + i + " integer rw 4\n";
}

}  // namespace ortolan::testing
