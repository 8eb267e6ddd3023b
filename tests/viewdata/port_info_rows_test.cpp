// SPDX-License-Identifier: GPL-3.0-or-later
// The port detail's data: the hourly table, the packet-type pie and the trend.
#include <gtest/gtest.h>

#include "chart_model.h"
#include "counter_sample.h"
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
    // The sample time in the form of every list's times (the tests run in Tokyo).
    EXPECT_EQ(t.rows[0].cells[0], "11/15 07:13:20");
    EXPECT_EQ(OctetsText(4'200'000'000'000ull), "4200.000GB");
}

// Utilisation between hourly counter samples: octets × 8 / seconds / speed.
// Chosen so each step's figure is plain: an hour at 100 Mbit/s carries
// 4.5e10 octets at 100 %.
TEST(PortInfoRows, UtilisationFollowsTheCountersWithoutSpikesAtRestartsOrResets)
{
    constexpr uint64_t kFullHour = 45'000'000'000;  // octets of one hour at 100 Mbit/s
    constexpr uint64_t kWrap = uint64_t(1) << 32;
    using testing::CounterSample;
    auto sample = [](int hour, uint32_t uptime, uint64_t in, uint64_t out, uint64_t speed) {
        _tagIf_counters c = CounterSample(4, kT0 + hour * 3600, uptime, in, 0, out);
        c.ifSpeed = speed;
        return c;
    };
    constexpr uint32_t kHourMs = 3'600'000;
    tagIfCounter ifc;
    ifc.history = {
        sample(0, 1000, 0, 0, 100'000'000),
        // 25 % in, 10 % out
        sample(1, 1000 + kHourMs, kFullHour / 4, kFullHour / 10, 100'000'000),
        // the agent restarted: uptime and counters start again, the in counter near its 32-bit end
        sample(2, 5000, kWrap - kFullHour / 1000, 1000, 100'000'000),
        // in wrapped once: 0.1 % before the wrap and 0.1 % after it; out 0.1 %
        sample(3, 5000 + kHourMs, kFullHour / 1000, 1000 + kFullHour / 1000, 100'000'000),
        // the sample gives no speed: SNMP's 1 Gbit/s stands in (a full 100 Mbit/s hour is 10 % of it)
        sample(4, 5000 + 2 * kHourMs, kFullHour / 1000 + kFullHour, 1000 + kFullHour / 1000, 0),
        // a counter beyond 32 bits going back is no wrap but a reset
        sample(5, 5000 + 3 * kHourMs, 10, 1000 + kFullHour / 1000, 0),
    };
    tagListTable t = BuildPortInfoTable(ifc, 1'000'000'000);
    ASSERT_EQ(t.columns.size(), 16u);
    EXPECT_EQ(t.columns[14].header, "受信使用率(%)");
    EXPECT_EQ(t.columns[15].header, "送信使用率(%)");
    auto cells = [&t](size_t row) { return std::vector<std::string>{t.rows[row].cells[14], t.rows[row].cells[15]}; };
    EXPECT_EQ(cells(0), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(cells(1), (std::vector<std::string>{"25.00", "10.00"}));
    EXPECT_EQ(cells(2), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(cells(3), (std::vector<std::string>{"0.20", "0.10"}));
    EXPECT_EQ(cells(4), (std::vector<std::string>{"10.00", "0.00"}));
    EXPECT_EQ(cells(5), (std::vector<std::string>{"", "0.00"}));
    EXPECT_DOUBLE_EQ(t.rows[1].numbers[14], 25.0);

    // A wrap that would mean more than the line can carry is a reset too.
    ifc.history = {sample(0, 1000, kWrap - 10, 0, 1000), sample(1, 1000 + kHourMs, kWrap / 2, 0, 1000)};
    EXPECT_EQ(BuildPortInfoTable(ifc).rows[1].cells[14], "");

    // The trend in % has a point for each figure the table has, none at the restart.
    ifc.history = {sample(0, 1000, 0, 0, 100'000'000), sample(1, 1000 + kHourMs, kFullHour / 4, kFullHour / 10, 100'000'000),
                   sample(2, 5000, 1000, 1000, 100'000'000), sample(3, 5000 + kHourMs, 1000 + kFullHour / 2, 1000, 100'000'000)};
    CChartModel chart;
    BuildTrendChart(chart, ifc.history, TrendUnit::UtilisationPercent, kT0);
    ASSERT_EQ(chart.GetCount(), 2);
    EXPECT_EQ(chart.GetHeaderText(), "回線使用率（%）");
    ASSERT_EQ(chart.GetDataSeries(1)->GetCount(), 2);  // received
    EXPECT_DOUBLE_EQ(chart.GetDataSeries(1)->GetAt(0)->y, 25.0);
    EXPECT_DOUBLE_EQ(chart.GetDataSeries(1)->GetAt(1)->y, 50.0);
    EXPECT_DOUBLE_EQ(chart.GetDataSeries(0)->GetAt(0)->y, 10.0);

    // No speed anywhere: the table is the one it always was, the trend has no points.
    for (_tagIf_counters& c : ifc.history) c.ifSpeed = 0;
    EXPECT_EQ(BuildPortInfoTable(ifc).columns.size(), 14u);
    EXPECT_FALSE(HasInterfaceSpeed(ifc.history, 0));
    BuildTrendChart(chart, ifc.history, TrendUnit::UtilisationPercent, kT0);
    EXPECT_EQ(chart.GetDataSeries(1)->GetCount(), 0);
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
