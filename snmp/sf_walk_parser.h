// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the result lines of a walk of "sFlowAgent" (version 5 MIB) or
// "sFlowAgentV4" (the older RFC 3176 MIB) into the rows the setup window
// shows. Lines whose names match no object of the generation are ignored;
// any lines are accepted.
#include <string>
#include <vector>

#include "sf_agent_rows.h"

namespace ortolan {

// Receivers, and data sources with their sampler and poller; generation 5.
tagSfReadout ParseV5Results(const std::vector<std::string>& results);

// Data sources with their collectors; generation 4, no receivers.
tagSfReadout ParseV4Results(const std::vector<std::string>& results);

}  // namespace ortolan
