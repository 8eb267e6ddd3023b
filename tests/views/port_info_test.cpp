// The port detail: the hourly table, the packet-type pie and the trend.
#include <gtest/gtest.h>

#include <QComboBox>

#include "chart_ctrl.h"
#include "list_model.h"
#include "port_info_dlg.h"
#include "port_info_rows.h"
#include "port_records.h"
#include "scripted_dialog_seam.h"
#include "views_app.h"
#include "views_fixtures.h"

namespace ortolan {
namespace {

using testing::kT0;

_tagIf_counters Sample(int64_t time, uint32_t uptime, uint64_t inOctets, uint64_t outOctets, uint32_t inUcast = 0)
{
    _tagIf_counters c;
    c.ifIndex = 4;
    c.sampleTime = time;
    c.agentUptime = uptime;
    c.ifInOctets = inOctets;
    c.ifOutOctets = outOctets;
    c.ifInUcastPkts = inUcast;
    return c;
}

TEST(PortInfoRows, TableFormatsOctetsAndCounters)
{
    tagIfCounter ifc;
    ifc.history.push_back(Sample(kT0, 1000, 2500000, 999, 7));
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
    std::deque<_tagIf_counters> history{Sample(kT0, 1000, 0, 0)};
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
        Sample(kT0, 1000, 0, 0),
        Sample(kT0 + 3600, 1001000, 1'000'000'000, 500'000'000),  // 1000 s later
        Sample(kT0 + 7200, 1001000, 2'000'000'000, 0),            // uptime stalled: skipped
        Sample(kT0 + 10800, 2001000, 0, 0),                       // counters went back
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
    std::deque<_tagIf_counters> history{Sample(kT0, 0, 0, 0), Sample(kT0 + 40 * 3600, 1000, 0, 0)};
    CChartModel chart;
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisX).format, "%m/%d %H:%M");
    history.pop_back();
    history.push_back(Sample(kT0 + 20 * 3600, 1000, 0, 0));
    BuildTrendChart(chart, history, TrendUnit::MegabitsPerSecond, kT0);
    EXPECT_EQ(chart.GetAxis(CChartModel::kAxisX).format, "%H:%M:%S");
}

TEST(PortInfoDlg, ShowsAndExportsTheInterface)
{
    testing::TestApp();
    tagIfCounter ifc;
    for (int h = 0; h < 5; ++h)
        ifc.history.push_back(Sample(kT0 + h * 3600, uint32_t(h) * 3600000u, uint64_t(h) * 900'000'000ull,
                                     uint64_t(h) * 300'000'000ull, uint32_t(h) * 1000u));
    ifc.current = ifc.history.back();
    ifc.current.ifInBroadcastPkts = 1000;
    testing::ScriptedDialogSeam dialogs;
    CPortInfoDlg dlg(ifc, dialogs, nullptr, [] { return kT0 + 5 * 3600; });
    EXPECT_EQ(dlg.windowTitle(), "ポート詳細");
    EXPECT_EQ(dlg.model()->rowCount(), 5);
    EXPECT_EQ(dlg.trendChart()->GetNumOfDataPoints(0), 4);
    EXPECT_TRUE(testing::Snapshot(dlg, "port_info_mbits"));
    dlg.unitChoice()->setCurrentIndex(1);
    dlg.ShowTrend();
    EXPECT_EQ(dlg.trendChart()->GetHeaderText(), "毎秒パケット数");
    EXPECT_TRUE(testing::Snapshot(dlg, "port_info_packets"));

    QTemporaryDir dir;
    dialogs.saveAnswers.push_back(dir.filePath("info.csv"));
    dlg.ExportCsv();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "ポート情報.csv");
    const std::string csv = testing::ReadFile(dir.filePath("info.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "\"ポート情報\"");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7);
    dlg.SavePieChart();
    dlg.SaveTrendChart();
    ASSERT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(dialogs.saveRequests[2].title, "グラフを画像保存");
}

}  // namespace
}  // namespace ortolan
