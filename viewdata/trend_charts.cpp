// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_charts.h"

namespace ortolan {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

constexpr tagTrendChartText kTexts[kTrendChartCount] = {
    {"回線負荷指数", "回線負荷指数", "PPS×MBPS×Act.Node", "%.3f"},
    {"毎秒パケット数", "毎秒パケット数", "Packets/秒", "%.2f"},
    {"回線帯域", "回線負荷（Mbits/秒）", "Mbits/秒", "%.3f"},
    {"アクティブIP", "アクティブIP", "ノード", "%.0f"},
    {"アクティブMAC", "アクティブMAC", "ノード", "%.0f"},
};

constexpr uint32_t kSeriesColors[kSeriesRows] = {
    Rgb(255, 255, 0), Rgb(0, 0, 255),     Rgb(255, 0, 0),     Rgb(0, 255, 0),
    Rgb(255, 0, 255), Rgb(0, 255, 255),   Rgb(255, 255, 255), Rgb(128, 128, 128),
};

}  // namespace

const tagTrendChartText& TrendChartText(TrendChart chart) { return kTexts[static_cast<int>(chart)]; }

uint32_t SeriesColor(int row) { return row >= 0 && row < kSeriesRows ? kSeriesColors[row] : 0; }

int64_t FreshScaleStart(int64_t now)
{
    int64_t start = now - now % 3600;
    return start == now ? start - 3600 : start;
}

void ResetTrendCharts(const TrendCharts& charts, int64_t now)
{
    for (int i = 0; i < kTrendChartCount; ++i) {
        CChartModel& chart = *charts[i];
        const tagTrendChartText& text = kTexts[i];
        chart.SetChartType(CChartModel::kChartTrend);
        chart.SetLineColor(Rgb(0, 192, 0));
        chart.SetChartFillColor(0);
        chart.SetWindowColor(0);
        chart.SetStyle(chart.GetStyle() | CChartModel::kChartStyleBase);
        chart.SetFont(8, "System", 0);
        chart.SetAxisStyleX((chart.GetAxisStyleX() | CChartModel::kAxisAutoScale | CChartModel::kXAxisBaseBits) &
                            ~CChartModel::kXAxisClearedBits);
        chart.SetAxisStyleY(chart.GetAxisStyleY() | CChartModel::kAxisAutoScale | CChartModel::kTrendYAxisBits);
        chart.SetAxisFormatString(CChartModel::kAxisX, "%H:%M:%S");
        chart.SetAxisFormatString(CChartModel::kAxisY, text.yFormat);
        chart.Purge();
        chart.SetHeaderText(3, text.header);
        chart.SetAxisScale(CChartModel::kAxisX, double(FreshScaleStart(now)), double(now));
        chart.SetAxisText(CChartModel::kAxisY, text.yAxisText);
        chart.SetHeaderTextColor(Rgb(255, 255, 255));
        chart.SetFooterTextColor(0);
        chart.ShowHeader(true);
        chart.ShowFooter(false);
        chart.ShowLegend(true);
        chart.ShowSeriesLegend(true);
        chart.SetLegendPosition(1);
        chart.SetLegendAutoHide(50, 80);
        chart.SetAxisScale(CChartModel::kAxisY, 0, 100);
        chart.SetScaleStep(CChartModel::kAxisY, 0.5, 20);
        chart.Redraw();
    }
}

}  // namespace ortolan
