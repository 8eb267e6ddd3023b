// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The share chart above every statistics list: the five largest rows (all
// seven classes for the packet-size kind) as slices of the table's total, with
// an "その他" slice for the rest when it is above one per cent.
#include <cstdint>
#include <string>
#include <vector>

namespace ortolan {

class CChartModel;

struct tagTopEntry {
    std::string key;    // the slice's name
    double value = 0;   // the charted amount
    int32_t order = 0;  // packet-size kind only: the class index
};

// 0x00BBGGRR colour of slice or bar `index` (from 0): every index up to the
// largest chart's count has its own.
uint32_t ShareColor(int index);

// Five slices, 32 for the packet-size kind.
size_t TopCapacity(int kind);

// Inserts the candidate before the first entry with a smaller value (packet-size
// kind: a larger order) and trims the list to the kind's capacity. Of equal
// values the earlier candidate stays in front.
void AddTopEntry(std::vector<tagTopEntry>& topEntries, int kind, const std::string& key, double value,
                 int32_t order);

// Fills the chart with the slices of topEntries as shares of total; a total of
// 0 leaves the chart untouched. Width and height are the chart's size.
void BuildShareChart(CChartModel& chart, int kind, const std::vector<tagTopEntry>& topEntries, double total,
                     int width, int height);

// The chart's look and header for a kind, applied once when the list opens.
void SetUpShareChart(CChartModel& chart, int kind);

// Counts shown in steps of 1000: "%.0lf", "%.3lfKB", "%.3lfMB", "%.3lfGB".
std::string FormatCount(double x);

}  // namespace ortolan
