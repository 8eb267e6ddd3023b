// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How each sFlow agent or NetFlow exporter is asked for its interface names
// over SNMP. None by default: without an entry nothing is polled.
//
// Kept in the settings store's section [SnmpAgents], one key per agent, the
// agent's IPv4 address as the monitor list shows it, its value the words
//   v1|v2c COMMUNITY [PORT]
//   v3auth|v3priv USER PASSWORD [PORT]
// separated by blanks (so a community or pass phrase holds none), e.g.
//   [SnmpAgents]
//   192.168.1.11=v2c public
//   10.0.0.1=v3priv monitor secretphrase 1161
// Entries that do not read so are left out; at most kMaxIfNameAgents (64) are kept.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSettings;

namespace ortolan {

struct tagAgentSnmp {
    std::string agent;            // dotted IPv4, the key of the entry
    int mode = 2;                 // 1 v1, 2 v2c, 3 v3auth, 4 v3priv (as the SNMP layer counts them)
    std::string communityOrUser;
    std::string password;
    int port = 161;
};

inline constexpr const char* kSnmpAgentsGroup = "SnmpAgents";

// One entry; nothing when the key is no IPv4 address or the value does not read.
std::optional<tagAgentSnmp> ParseAgentSnmp(std::string_view agent, std::string_view value);

// Every entry of [SnmpAgents] that reads, in the order of their addresses.
std::vector<tagAgentSnmp> ReadAgentSnmpSettings(QSettings& settings);

}  // namespace ortolan
