// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The five trend charts of the main window, by tab: their captions, their
// set-up, and the colour each of the first eight monitored ports draws in.
// Works on plain chart models, so the headless mode and tests use the same code.
#include <array>
#include <cstdint>
#include <string>

#include "chart_model.h"

namespace ortolan {

enum class TrendChart { LoadIndex = 0, PacketRate = 1, Bandwidth = 2, ActiveIp = 3, ActiveMac = 4 };
inline constexpr int kTrendChartCount = 5;
// Only the first rows of the monitor list get a series in each chart.
inline constexpr int kSeriesRows = 8;
// Points kept per series: one day of one-minute intervals.
inline constexpr int kMaxTrendPoints = 1440;

struct tagTrendChartText {
    const char* tabCaption;
    const char* header;
    const char* yAxisText;
    const char* yFormat;
};

const tagTrendChartText& TrendChartText(TrendChart chart);

using TrendCharts = std::array<CChartModel*, kTrendChartCount>;

inline CChartModel& ChartOf(const TrendCharts& charts, TrendChart chart)
{
    return *charts[static_cast<int>(chart)];
}

// 0x00BBGGRR colour of the series of list row `row` (0 to 7).
uint32_t SeriesColor(int row);

// Start of the X scale a fresh chart shows: the start of the current hour, or
// of the hour before when now is exactly on the hour.
int64_t FreshScaleStart(int64_t now);

// Sets every chart up afresh (all series dropped) and redraws it.
void ResetTrendCharts(const TrendCharts& charts, int64_t now);

}  // namespace ortolan
