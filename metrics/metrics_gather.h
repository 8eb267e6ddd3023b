// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place the metrics read the collectors.
#include <string>

#include "flow_collector.h"
#include "metrics_limits.h"
#include "metrics_snapshot.h"

namespace ortolan {

// Copies every figure a scrape shows out of the two collectors (which must
// not be receiving meanwhile: see the definition), and the row store's
// counters when a source is given. Interfaces beyond limits.maxInterfaceSeries
// are counted in omittedInterfaces, not copied.
tagMetricsSnapshot GatherMetrics(CFlowCollector& sflow, CFlowCollector& netflow, const tagMetricsLimits& limits,
                                 const StoreCountersSource& store, const std::string& buildVersion);

// The version of a port key, the digits after " V" ("sFlow V5:10.0.0.1:0"
// gives "5"); empty when the key has none.
std::string PortKeyVersion(std::string_view key);

}  // namespace ortolan
