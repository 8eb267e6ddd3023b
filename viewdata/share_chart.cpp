// SPDX-License-Identifier: GPL-3.0-or-later
#include "share_chart.h"

#include <cmath>
#include <cstdio>

#include "chart_model.h"
#include "list_kind.h"

namespace ortolan {
namespace {

// 0x00BBGGRR, bright on the chart's black: green, blue, red, white, yellow
// first, as the charts always began, then colours apart from those.
constexpr uint32_t kPalette[] = {0x00FF00, 0xFF0000, 0x0000FF, 0xFFFFFF, 0x00FFFF, 0xFF00FF,
                                 0xFFFF00, 0x0080FF, 0xFF8000, 0x808080, 0x80FF80, 0x8080FF};
constexpr int kPaletteSize = int(sizeof kPalette / sizeof kPalette[0]);

std::string SliceCaption(const std::string& key, double share)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, " (%.2f%%)", share);
    return key + buf;
}

}  // namespace

uint32_t ShareColor(int index)
{
    if (index < 0) index = 0;
    if (index < kPaletteSize) return kPalette[index];
    // Past the palette, hues a golden angle apart in three brightnesses: no
    // two of the 32 slices a chart can hold come out alike.
    const int k = index - kPaletteSize;
    const double hue = std::fmod(173 + k * 137.507764, 360.0) / 60.0;
    const double value = 1.0 - 0.25 * (k % 3);
    const double x = value * (1 - std::abs(std::fmod(hue, 2.0) - 1));
    double rgb[3] = {0, 0, 0};
    const int sector = int(hue) % 6;
    const int major[6] = {0, 1, 1, 2, 2, 0};
    const int minor[6] = {1, 0, 2, 1, 0, 2};
    rgb[major[sector]] = value;
    rgb[minor[sector]] = x;
    auto byte = [](double c) { return uint32_t(std::lround(c * 255)); };
    return byte(rgb[0]) | (byte(rgb[1]) << 8) | (byte(rgb[2]) << 16);
}

size_t TopCapacity(int kind) { return kind == kListKindSizeClasses ? 32 : 5; }

void AddTopEntry(std::vector<tagTopEntry>& topEntries, int kind, const std::string& key, double value,
                 int32_t order)
{
    const bool byOrder = kind == kListKindSizeClasses;
    size_t pos = 0;
    while (pos < topEntries.size()) {
        const tagTopEntry& e = topEntries[pos];
        if (byOrder ? e.order > order : e.value < value) break;
        ++pos;
    }
    // A candidate that would be trimmed at once is never copied in: with
    // 100,000 rows almost every candidate lands here.
    const size_t capacity = TopCapacity(kind);
    if (pos >= capacity) return;
    topEntries.insert(topEntries.begin() + static_cast<std::ptrdiff_t>(pos), tagTopEntry{key, value, order});
    while (topEntries.size() > capacity) topEntries.pop_back();
}

void BuildShareChart(CChartModel& chart, int kind, const std::vector<tagTopEntry>& topEntries, double total,
                     int width, int height)
{
    if (total == 0) return;
    chart.SetLegendAutoHide(width / 2, height - 20);
    chart.Purge();
    chart.SetAxisStyleY(chart.GetAxisStyleY() | CChartModel::kAxisAutoScale);
    if (kind == kListKindSizeClasses) {
        chart.SetChartType(CChartModel::kChartClasses);
        chart.SetAxisFormatString(CChartModel::kAxisX, "%.0f");
    } else {
        chart.SetChartType(CChartModel::kChartShare);
    }
    chart.SetLineColor(0x00C000);
    chart.SetChartFillColor(0);
    chart.SetWindowColor(0);
    chart.SetStyle(chart.GetStyle() | CChartModel::kChartStyleBase);
    chart.SetAxisStyleX((chart.GetAxisStyleX() | CChartModel::kAxisAutoScale | CChartModel::kXAxisBaseBits) &
                        ~CChartModel::kXAxisClearedBits);
    chart.SetAxisFormatString(CChartModel::kAxisY, "%.2f");
    const int series = chart.AddDataSeries("", 0xFF0000);

    double charted = 0;
    int n = 0;
    for (const tagTopEntry& e : topEntries) {
        ++n;
        CDataPoint p;
        p.x = n;
        p.y = e.value * 100 / total;
        p.caption = SliceCaption(e.key, p.y);
        p.color = ShareColor(n - 1);
        chart.AddDataPoint(p, series);
        charted += e.value;
    }
    const double rest = (total - charted) * 100 / total;
    if (rest > 1.0 && kind != kListKindSizeClasses) {
        ++n;
        CDataPoint p;
        p.x = n;
        p.y = rest;
        p.caption = SliceCaption("その他", rest);
        p.color = ShareColor(n - 1);
        chart.AddDataPoint(p, series);
    }
}

void SetUpShareChart(CChartModel& chart, int kind)
{
    chart.SetLineColor(0x00C000);
    chart.SetChartFillColor(0);
    chart.SetWindowColor(0);
    chart.SetStyle(chart.GetStyle() | CChartModel::kChartStyleBase);
    chart.SetFont(8, "System", 0);
    chart.SetHeaderText(3, ListKindInfo(kind).chartTitle);
    chart.SetHeaderTextColor(0xFFFFFF);
    chart.SetFooterTextColor(0);
    chart.ShowHeader(true);
    chart.ShowFooter(false);
    chart.ShowPointLegend(true);
    chart.SetLegendPosition(4);
}

std::string FormatCount(double x)
{
    char buf[64];
    if (x < 1000) {
        std::snprintf(buf, sizeof buf, "%.0lf", x);
        return buf;
    }
    x /= 1000;
    if (x < 1000) {
        std::snprintf(buf, sizeof buf, "%.3lfKB", x);
        return buf;
    }
    x /= 1000;
    if (x < 1000) {
        std::snprintf(buf, sizeof buf, "%.3lfMB", x);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.3lfGB", x / 1000);
    return buf;
}

}  // namespace ortolan
