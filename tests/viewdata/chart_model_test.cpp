// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "chart_model.h"

namespace ortolan {
namespace {

std::vector<double> Xs(const CDataSeries& s)
{
    std::vector<double> xs;
    for (int i = 0; i < s.GetCount(); ++i) xs.push_back(s.GetAt(i)->x);
    return xs;
}

TEST(ChartSeries, AddingCopiesThePointSoOnePointCanBeRefilledAndAddedAgain)
{
    CChartModel chart;
    int s = chart.AddDataSeries("sFlow V5:10.0.0.1:0", 0x00FFFF);
    CDataPoint p;
    p.x = 100;
    p.y = 1.5;
    p.color = 0x00FFFF;
    p.caption = "1.50";
    chart.AddDataPoint(p, s);
    p.x = 200;
    p.y = 2.5;
    p.caption = "2.50";
    chart.AddDataPoint(p, s);

    ASSERT_EQ(chart.GetNumOfDataPoints(s), 2);
    const CDataSeries* series = chart.GetDataSeries(s);
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->GetAt(0)->x, 100);
    EXPECT_EQ(series->GetAt(0)->y, 1.5);
    EXPECT_EQ(series->GetAt(0)->caption, "1.50");
    EXPECT_EQ(series->GetAt(1)->x, 200);
    EXPECT_EQ(series->GetAt(1)->caption, "2.50");
    EXPECT_EQ(series->GetAt(1)->color, 0x00FFFFu);
}

TEST(ChartSeries, CapDropsTheOldestPointsAndKeepsInsertionOrder)
{
    CChartModel chart;
    int s = chart.AddDataSeries("a", 0);
    chart.GetDataSeries(s)->SetMaxNumDataPoints(3);
    // Out of time order on purpose: the series keeps the order of adding, not of X.
    for (double x : {5.0, 1.0, 4.0, 2.0, 3.0}) chart.AddDataPoint({x, x, 0, ""}, s);
    EXPECT_EQ(Xs(*chart.GetDataSeries(s)), (std::vector<double>{4.0, 2.0, 3.0}));

    chart.GetDataSeries(s)->SetMaxNumDataPoints(2);
    EXPECT_EQ(Xs(*chart.GetDataSeries(s)), (std::vector<double>{2.0, 3.0}));
    chart.GetDataSeries(s)->SetMaxNumDataPoints(0);   // no cap any more
    for (int i = 0; i < 5; ++i) chart.AddDataPoint({10.0 + i, 0, 0, ""}, s);
    EXPECT_EQ(chart.GetNumOfDataPoints(s), 7);
}

TEST(ChartSeries, RemovingIndexZeroDropsTheOldestAndBadIndexesAreIgnored)
{
    CDataSeries series("a", 0);
    for (double x : {1.0, 2.0, 3.0}) series.AddDataPoint({x, 0, 0, ""});
    series.RemoveDataPoint(0);
    EXPECT_EQ(Xs(series), (std::vector<double>{2.0, 3.0}));
    series.RemoveDataPoint(2);
    series.RemoveDataPoint(-1);
    EXPECT_EQ(Xs(series), (std::vector<double>{2.0, 3.0}));
    EXPECT_EQ(series.GetAt(2), nullptr);
    EXPECT_EQ(series.GetAt(-1), nullptr);
    series.RemoveDataPoint(1);
    series.RemoveDataPoint(0);
    EXPECT_EQ(series.GetCount(), 0);
    series.RemoveDataPoint(0);
    EXPECT_EQ(series.GetCount(), 0);
}

TEST(ChartModel, PurgeDropsSeriesButKeepsSettingsAndTheChartRefills)
{
    CChartModel chart;
    chart.SetChartType(CChartModel::kChartShare);
    chart.SetHeaderText(3, "パケット種類別割合");
    chart.SetAxisFormatString(CChartModel::kAxisY, "%.0f");
    chart.AddDataSeries("one", 0xFF0000);
    chart.AddDataSeries("two", 0x00FF00);
    chart.AddDataPoint({1, 50, 0x00FFFF, "x (50.00%)"}, 1);

    chart.Purge();
    EXPECT_EQ(chart.GetCount(), 0);
    EXPECT_EQ(chart.GetDataSeries(0), nullptr);
    EXPECT_EQ(chart.GetNumOfDataPoints(1), 0);
    EXPECT_EQ(chart.GetHeaderText(), "パケット種類別割合");
    EXPECT_EQ(chart.GetChartType(), CChartModel::kChartShare);

    EXPECT_EQ(chart.AddDataSeries("", 0xFF0000), 0);
    chart.AddDataPoint({1, 70, 0x00FFFF, "y"}, 0);
    EXPECT_EQ(chart.GetNumOfDataPoints(0), 1);
    EXPECT_EQ(chart.GetDataSeries(0)->GetAt(0)->y, 70);
}

TEST(ChartModel, UnknownSeriesIndexesAreHarmless)
{
    CChartModel chart;
    chart.AddDataPoint({1, 1, 0, ""}, 0);
    chart.AddDataPoint({1, 1, 0, ""}, -1);
    EXPECT_EQ(chart.GetCount(), 0);
    EXPECT_EQ(chart.GetNumOfDataPoints(8), 0);
    EXPECT_EQ(chart.GetDataSeriesCaption(8), "");
    chart.AddDataSeries("sFlow V5:10.0.0.1:0", 0);
    EXPECT_EQ(chart.GetDataSeriesCaption(0), "sFlow V5:10.0.0.1:0");
    EXPECT_EQ(chart.GetDataSeriesCaption(1), "");
}

}  // namespace
}  // namespace ortolan
