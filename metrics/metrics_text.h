// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The families a scrape of `ortolan collect --metrics` shows, formed from
// the copied figures alone.
#include <string>

#include "metrics_snapshot.h"

namespace ortolan {

// The whole exposition: health per collector, the memory budget, the build,
// per port and per interface figures, and the row store's counters when the
// snapshot holds them. Counts are as the collectors keep them: not scaled by
// sampling rates.
std::string FormatMetrics(const tagMetricsSnapshot& snapshot);

}  // namespace ortolan
