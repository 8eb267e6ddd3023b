// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sampling rates a user gives exporters that send none, as
// "ADDRESS=N" texts: the command line's --sampling-rate and the settings'
// SamplingRates key hold them alike. ADDRESS is an exporter's (sFlow: an
// agent's) IPv4 or IPv6 address, N a whole number from 1 up.
#include <absl/container/flat_hash_map.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "port_key.h"

namespace ortolan {

struct tagSamplingOverride {
    tagAgentAddress exporter;
    uint32_t rate = 0;
};

// One "ADDRESS=N" text; nothing when it is not one.
std::optional<tagSamplingOverride> ParseSamplingOverride(std::string_view text);

// The rates by exporter; texts that are no "ADDRESS=N" are passed over, and a
// later text for the same exporter wins.
absl::flat_hash_map<tagAgentAddress, uint32_t> SamplingOverrides(const std::vector<std::string>& texts);

}  // namespace ortolan
