// SPDX-License-Identifier: GPL-3.0-or-later
// The port detail's data: the hourly table, the packet-type pie and the trend.
#include <gtest/gtest.h>

#include "chart_model.h"
#include "port_fixtures.h"
#include "port_info_rows.h"
#include "port_records.h"

namespace ortolan {
namespace {

using testing::IfSample;
using testing::kT0;

TEST(PortInfoRows, TableFormatsOctetsAndCounters)
{
    tagIfCounter ifc;
    ifc.history.push_back(IfSample(kT0, 1000, 2500000, 999, 7));
    tagListTable t = BuildPortInfoTable(ifc);
    ASSERT_EQ(t.columns.size(), 14u);
    EXPECT_EQ(t.columns[0].header, "取得日時   　");
    EXPECT_EQ(t.columns[13].header, "ifOutErrors");
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0].cells[1], "2.500MB");
    EXPECT_EQ(t.rows[0].cells[2], "7");
    EXPECT_EQ(t.rows[0].cells[8], "999");
    EXPECT_FALSE(t.rows[0].cells[0].empty());
    EXPECT_EQ(OctetsText(4'200'000'000'000ull), "4200.000GB");
}

TEST(PortInfoRows, SamplingRateShowsOneRateARangeOrUnknown)
{
    tagSamplingSeen s;
    EXPECT_EQ(SamplingRateText(s), "不明");
    s.Note(0);
    s.Note(0);
    EXPECT_EQ(SamplingRateText(s), "不明（2件）");
    s.Note(512);
    EXPECT_EQ(SamplingRateText(s), "1/512（レート不明 2件）");
    s.Note(4000);
    s.Note(100);
    EXPECT_EQ(SamplingRateText(s), "1/100〜1/4000（レート不明 2件）");
    tagSamplingSeen one;
    one.Note(2048);
    one.Note(2048);
    EXPECT_EQ(SamplingRateText(one), "1/2048");
}

TEST(PortInfoRows, PieOfNothingShowsThreeZeroSlices)
{
    CChartModel chart;
    BuildPacketTypeChart(chart, _tagIf_counters{}, 300, 200);
    ASSERT_EQ(chart.GetCount(), 1);
    const CDataSeries* s = chart.GetDataSeries(0);
    ASSERT_EQ(s->GetCount(), 3);
    EXPECT_EQ(s->GetAt(0)->caption, "ブロードキャスト (0.00%)");
    EXPECT_EQ(s->GetAt(1)->caption, "マルチキャスト (0.00%)");
    EXPECT_EQ(s->GetAt(2)->caption, "ユニキャスト (0.00%)");
    EXPECT_EQ(chart.GetHeaderText(), "パケット種類別割合");

    _tagIf_counters c;
    c.ifInBroadcastPkts = 1;
    c.ifInMulticastPkts = 1;
    c.ifInUcastPkts = 2;
    BuildPacketTypeChart(chart, c, 300, 200);
    EXPECT_EQ(chart.GetDataSeries(0)->GetAt(2)->caption, "ユニキャスト (50.00%)");
    EXPECT_EQ(chart.GetDataSeries(0)->GetAt(0)->color, 0x00FFFFu);  // (255, 255, 0)
}

TEST(PortInfoRows, TrendOfOneSampleHasNoPointsAndOneHour)
{
    std::deque<_tagIf_counters> history{IfSample(kT0, 1000, 0, 0)};
    CChartModel chart;
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    ASSERT_EQ(chart.GetCount(), 2);
    EXPECT_EQ(chart.GetDataSeriesCaption(0), "送信");
    EXPECT_EQ(chart.GetDataSeriesCaption(1), "受信");
    EXPECT_EQ(chart.GetNumOfDataPoints(0), 0);
    const tagChartAxis& x = chart.GetAxis(CChartModel::kAxisX);
    EXPECT_EQ(x.maximum - x.minimum, 3600);
    EXPECT_EQ(chart.GetHeaderText(), "回線負荷（Mbits/秒）");
}

TEST(PortInfoRows, TrendRatesSkipStalledUptimesAndKeepNegativeOnes)
{
    std::deque<_tagIf_counters> history{
        IfSample(kT0, 1000, 0, 0),
        IfSample(kT0 + 3600, 1001000, 1'000'000'000, 500'000'000),  // 1000 s later
        IfSample(kT0 + 7200, 1001000, 2'000'000'000, 0),            // uptime stalled: skipped
        IfSample(kT0 + 10800, 2001000, 0, 0),                       // counters went back
    };
    CChartModel chart;
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    ASSERT_EQ(chart.GetNumOfDataPoints(0), 2);
    const CDataSeries* sent = chart.GetDataSeries(0);
    const CDataSeries* received = chart.GetDataSeries(1);
    EXPECT_DOUBLE_EQ(received->GetAt(0)->y, 8.0);  // 1e9 octets in 1000 s
    EXPECT_DOUBLE_EQ(sent->GetAt(0)->y, 4.0);
    EXPECT_EQ(received->GetAt(0)->caption, "8.0000");
    EXPECT_DOUBLE_EQ(received->GetAt(1)->y, -16.0);
    EXPECT_EQ(received->GetAt(1)->x, kT0 + 10800);

    BuildTrendChart(chart, history, TrendUnit::PacketsPerSecond, kT0);
    EXPECT_EQ(chart.GetHeaderText(), "毎秒パケット数");
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisY).format, "%.2f");
    EXPECT_EQ(chart.GetDataSeries(1)->GetAt(0)->caption, "0.00");
}

TEST(PortInfoRows, LongHistoriesShowDatesOnTheTimeAxis)
{
    std::deque<_tagIf_counters> history{IfSample(kT0, 0, 0, 0), IfSample(kT0 + 40 * 3600, 1000, 0, 0)};
    CChartModel chart;
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisX).format, "%m/%d %H:%M");
    history.pop_back();
    history.push_back(IfSample(kT0 + 20 * 3600, 1000, 0, 0));
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisX).format, "%H:%M:%S");
}

}  // namespace
}  // namespace ortolan
