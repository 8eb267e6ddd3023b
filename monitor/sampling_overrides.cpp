// SPDX-License-Identifier: GPL-3.0-or-later
#include "sampling_overrides.h"

#include <arpa/inet.h>

#include "monitor_settings.h"

namespace ortolan {

std::optional<tagSamplingOverride> ParseSamplingOverride(std::string_view text)
{
    const size_t equals = text.rfind('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view address = text.substr(0, equals);
    const std::optional<uint32_t> rate = ParseFormNumber(text.substr(equals + 1));
    if (!rate || *rate == 0) return std::nullopt;
    tagSamplingOverride o;
    o.rate = *rate;
    if (std::optional<tagAgentAddress> agent = tagAgentAddress::Parse(address)) {
        o.exporter = *agent;
        return o;
    }
    // Any IPv6 text, not only the sixteen groups the lists show.
    const std::string copy(address);
    uint8_t bytes[16];
    if (copy.empty() || inet_pton(AF_INET6, copy.c_str(), bytes) != 1) return std::nullopt;
    o.exporter = tagAgentAddress::V6Groups(bytes);
    return o;
}

absl::flat_hash_map<tagAgentAddress, uint32_t> SamplingOverrides(const std::vector<std::string>& texts)
{
    absl::flat_hash_map<tagAgentAddress, uint32_t> rates;
    for (const std::string& text : texts)
        if (std::optional<tagSamplingOverride> o = ParseSamplingOverride(text)) rates[o->exporter] = o->rate;
    return rates;
}

}  // namespace ortolan
