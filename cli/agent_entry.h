// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

namespace ortolan {

// `ortolan agent ...`: prepares the SNMP library with the MIB modules beside the
// executable, reads the agent as the setup window's "取得" does, and shuts the
// library down. Returns the exit status.
int RunAgentEntry(const std::vector<std::string>& args);

}  // namespace ortolan
