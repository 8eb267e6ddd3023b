// SPDX-License-Identifier: GPL-3.0-or-later
// The top-five share chart above every list.
#include <gtest/gtest.h>

#include <set>

#include "chart_model.h"
#include "list_kind.h"
#include "share_chart.h"

namespace ortolan {
namespace {

constexpr int kProtocols = 5;

std::vector<tagTopEntry> TopOf(const std::vector<double>& values, int kind = kProtocols)
{
    std::vector<tagTopEntry> top;
    int i = 0;
    for (double v : values) AddTopEntry(top, kind, "p" + std::to_string(i++), v, 0);
    return top;
}

double Sum(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v) s += x;
    return s;
}

TEST(ShareChart, FiveLargestSlicesAndTheRestAsOthers)
{
    const std::vector<double> values{3, 50, 8, 20, 4, 10, 5};
    CChartModel chart;
    BuildShareChart(chart, kProtocols, TopOf(values), Sum(values), 600, 200);
    EXPECT_EQ(chart.GetChartType(), CChartModel::kChartShare);
    ASSERT_EQ(chart.GetCount(), 1);
    const CDataSeries* s = chart.GetDataSeries(0);
    ASSERT_EQ(s->GetCount(), 6);
    const char* captions[6] = {"p1 (50.00%)", "p3 (20.00%)", "p5 (10.00%)", "p2 (8.00%)", "p6 (5.00%)",
                               "その他 (7.00%)"};
    // The slices keep the colours they always had; "その他" gets one of its own.
    const uint32_t colors[5] = {0x00FF00, 0xFF0000, 0x0000FF, 0xFFFFFF, 0x00FFFF};
    std::set<uint32_t> seen;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(s->GetAt(i)->caption, captions[i]);
        EXPECT_EQ(s->GetAt(i)->x, i + 1);
        if (i < 5) {
            EXPECT_EQ(s->GetAt(i)->color, colors[i]);
        }
        EXPECT_TRUE(seen.insert(s->GetAt(i)->color).second) << "slice " << i << " repeats a colour";
    }
    EXPECT_DOUBLE_EQ(s->GetAt(5)->y, 7.0);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisY).format, "%.2f");
}

TEST(ShareChart, RestOfOnePercentOrLessIsNotDrawn)
{
    const std::vector<double> values{600, 200, 100, 50, 45, 5};
    CChartModel chart;
    BuildShareChart(chart, kProtocols, TopOf(values), Sum(values), 600, 200);
    ASSERT_EQ(chart.GetCount(), 1);
    EXPECT_EQ(chart.GetDataSeries(0)->GetCount(), 5);
}

TEST(ShareChart, EqualValuesKeepTheOrderTheyCameIn)
{
    std::vector<tagTopEntry> top;
    AddTopEntry(top, kProtocols, "first", 10, 0);
    AddTopEntry(top, kProtocols, "second", 10, 0);
    AddTopEntry(top, kProtocols, "big", 20, 0);
    for (int i = 0; i < 5; ++i) AddTopEntry(top, kProtocols, "late", 10, 0);
    ASSERT_EQ(top.size(), 5u);
    EXPECT_EQ(top[0].key, "big");
    EXPECT_EQ(top[1].key, "first");
    EXPECT_EQ(top[2].key, "second");
    EXPECT_EQ(top[4].key, "late");
}

TEST(ShareChart, SizeClassesChartEveryClassInOrderWithoutOthers)
{
    std::vector<tagTopEntry> top;
    const double packets[7] = {5, 0, 9, 1, 0, 2, 3};
    for (int i = 6; i >= 0; --i) AddTopEntry(top, kListKindSizeClasses, "c" + std::to_string(i), packets[i], i);
    ASSERT_EQ(top.size(), 7u);
    CChartModel chart;
    BuildShareChart(chart, kListKindSizeClasses, top, 20, 600, 200);
    EXPECT_EQ(chart.GetChartType(), CChartModel::kChartClasses);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisX).format, "%.0f");
    const CDataSeries* s = chart.GetDataSeries(0);
    ASSERT_EQ(s->GetCount(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(s->GetAt(i)->caption.substr(0, 2), "c" + std::to_string(i));
    EXPECT_EQ(s->GetAt(2)->caption, "c2 (45.00%)");

    // Every bar its own colour, up to as many classes as the chart holds.
    for (size_t count : {size_t(7), TopCapacity(kListKindSizeClasses)}) {
        SCOPED_TRACE(count);
        top.clear();
        for (size_t i = 0; i < count; ++i)
            AddTopEntry(top, kListKindSizeClasses, "c" + std::to_string(i), 1, int32_t(i));
        BuildShareChart(chart, kListKindSizeClasses, top, double(count), 600, 200);
        s = chart.GetDataSeries(0);
        ASSERT_EQ(size_t(s->GetCount()), count);
        std::set<uint32_t> colors;
        for (int i = 0; i < s->GetCount(); ++i) colors.insert(s->GetAt(i)->color);
        EXPECT_EQ(colors.size(), count);
        // None as dark as the chart's black background.
        EXPECT_EQ(colors.count(0u), 0u);
    }
}

TEST(ShareChart, ZeroTotalLeavesTheChartEmpty)
{
    CChartModel chart;
    SetUpShareChart(chart, 1);
    BuildShareChart(chart, 1, {}, 0, 600, 200);
    EXPECT_EQ(chart.GetCount(), 0);
    EXPECT_EQ(chart.GetHeaderText(), "送信数トップ５ IPノード");
    EXPECT_EQ(chart.GetLegendPosition(), 4);
    EXPECT_EQ(chart.GetLegendKind(), LegendKind::Points);
}

TEST(ShareChart, CountsStepByThousand)
{
    EXPECT_EQ(FormatCount(999), "999");
    EXPECT_EQ(FormatCount(1234567), "1.235MB");
    EXPECT_EQ(FormatCount(1500), "1.500KB");
    EXPECT_EQ(FormatCount(2e12), "2000.000GB");
}

}  // namespace
}  // namespace ortolan
