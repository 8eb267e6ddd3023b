// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interface names read from the agents, kept in the user's state folder
// so the next run shows them before the agents answer again. A text file:
//   ortolan interface names 1
//   AGENT<TAB>IFINDEX<TAB>SPEED<TAB>NAME<TAB>ALIAS
// one line per interface (speed in bit/s, 0 unknown). Read back bounded: at
// most kMaxIfNameCacheBytes are read, lines that do not read so are skipped,
// and the limits of interface_names.h hold; a damaged or missing file gives
// what could be read, or nothing.
#include <string>

#include "interface_names.h"

namespace ortolan {

inline constexpr size_t kMaxIfNameCacheBytes = 8 * 1024 * 1024;
inline constexpr const char* kIfNameCacheFile = "interface-names.txt";

AgentIfNames LoadInterfaceNames(const std::string& path);

// Written aside and renamed over the file, so a reader never meets half of
// it. False when it could not be written.
bool SaveInterfaceNames(const std::string& path, const AgentIfNames& names);

}  // namespace ortolan
