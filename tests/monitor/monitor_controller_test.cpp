// SPDX-License-Identifier: GPL-3.0-or-later
// The monitoring controller through its public surface: replayed logs and
// live datagrams on loopback sockets turn into list rows, chart points and
// the status text, with the clock fixed.
#include <gtest/gtest.h>

#include <chrono>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>

#include "datagram_builder.h"
#include "flow_log.h"
#include "monitor_test_support.h"
#include "port_host_names.h"
#include "status_lines.h"
#include "status_text.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

constexpr int64_t k1005 = 1796605500;   // 2026-12-07 10:05:00 in Tokyo
constexpr int64_t k1040 = 1796607600;   // 10:40:00

CIpAddress Ip(const char* text)
{
    return CIpAddress::Parse(text).value_or(CIpAddress());
}

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "monitor_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// One sFlow v5 datagram of agent 10.0.0.<agent>: interface counters at the
// given uptime, and one sampled TCP packet from each of the given sources.
std::vector<uint8_t> SflowDatagram(uint32_t sequence, uint32_t uptime, const IfCounters& counters,
                                   const std::vector<uint8_t>& sourceHosts, uint8_t agent = 1)
{
    std::vector<std::vector<uint8_t>> samples;
    for (uint8_t host : sourceHosts) {
        FrameSpec frame;
        frame.src[3] = host;
        frame.srcMac[5] = host;
        samples.push_back(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(frame), 60)}));
    }
    samples.push_back(CounterSampleV5(counters));
    Bytes b = SflowV5Header(sequence, uint32_t(samples.size()), 0, {10, 0, 0, agent}, uptime);
    for (const auto& s : samples) b.raw(s);
    return b.data();
}

std::vector<uint8_t> Hosts(int count, int first = 1)
{
    std::vector<uint8_t> hosts;
    for (int i = 0; i < count; ++i) hosts.push_back(uint8_t(first + i));
    return hosts;
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        host.folder = QDir(dir.path()).absolutePath().toStdString() + "/";
        controller.SetClock([this] { return now; });
        controller.ResetCharts();
    }

    void Feed(const std::vector<uint8_t>& bytes, int64_t t, bool netflow = false)
    {
        CFlowCollector& c = netflow ? static_cast<CFlowCollector&>(controller.netflow())
                                    : static_cast<CFlowCollector&>(controller.sflow());
        c.FeedDatagram(bytes.data(), bytes.size(), t, "10.0.0.1", 6343);
    }

    void CloseInterval(int64_t t)
    {
        controller.SetIntervalTime(t);
        controller.UpdateTrends();
    }

    int Points(TrendChart chart, int series) { return controller.chart(chart).GetNumOfDataPoints(series); }

    QTemporaryDir dir;
    int64_t now = k1040;
    FakeHost host;
    FakeResolver resolver;
    CMonitorController controller{host, resolver};
};

TEST_F(ControllerTest, ReplayedLogFillsRowsPointsAndAxis)
{
    {
        std::ofstream log(QDir(dir.path()).filePath("FL2026-12-07.log").toStdString());
        IfCounters c;
        log << "S\t" << k1005 << "\t10.0.0.1\t6343\t" << Hex(SflowDatagram(1, 1000, c, Hosts(2))) << "\n";
        c.inUcast = 600;
        c.inOctets = 60000;
        log << "S\t" << k1005 + 61 << "\t10.0.0.1\t6343\t" << Hex(SflowDatagram(2, 62000, c, Hosts(2))) << "\n";
        log << "N\t" << k1005 + 70 << "\t10.0.0.9\t2055\t" << Hex(NetflowV5(1, {FlowSpec{}}, 0, -1, 1000))
            << "\n";
        c.inUcast = 4000;
        c.inOctets = 900000;
        log << "S\t" << k1040 << "\t10.0.0.1\t6343\t" << Hex(SflowDatagram(3, 2101000, c, Hosts(3))) << "\n";
    }
    host.choice = tagStartChoice{false, {"FL2026-12-07.log"}};
    ASSERT_TRUE(controller.Start());

    EXPECT_FALSE(controller.monitoring());
    EXPECT_EQ(controller.shownFrom(), k1005);
    EXPECT_EQ(controller.shownTo(), k1040);
    CMonitorListModel& list = controller.list();
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.key(0), "sFlow V5:10.0.0.1:0");
    EXPECT_EQ(list.key(1), "NetFlow V5:10.0.0.9:0");
    EXPECT_EQ(list.text(0, MonitorColumn::Ports), "1");
    EXPECT_EQ(list.text(0, MonitorColumn::Ips), "4");   // three sources and the one destination
    // The counters' base renewed on the way (more than ten minutes of uptime).
    EXPECT_EQ(list.text(0, MonitorColumn::TotalPackets), "4000(0)");
    EXPECT_EQ(list.text(0, MonitorColumn::Samples), "7");
    EXPECT_EQ(host.rowsAppeared, 1);

    // Two closes with figures: at 10:06:01 and at 10:40:00.
    for (int chart = 0; chart < kTrendChartCount; ++chart) {
        ASSERT_EQ(controller.charts()[size_t(chart)]->GetCount(), 2);
        EXPECT_EQ(controller.charts()[size_t(chart)]->GetDataSeriesCaption(0), "sFlow V5:10.0.0.1:0");
        EXPECT_EQ(controller.charts()[size_t(chart)]->GetNumOfDataPoints(0), 2);
    }
    const CDataSeries* packets = controller.chart(TrendChart::PacketRate).GetDataSeries(0);
    EXPECT_EQ(packets->GetColor(), SeriesColor(0));
    EXPECT_EQ(packets->GetAt(0)->x, double(k1005 + 61));
    // Nothing closed before the first counters: the rate runs from uptime 0.
    EXPECT_DOUBLE_EQ(packets->GetAt(0)->y, 600 * 1000.0 / 62000);
    EXPECT_EQ(packets->GetAt(1)->x, double(k1040));
    EXPECT_DOUBLE_EQ(packets->GetAt(1)->y, 3400 * 1000.0 / (2101000 - 62000));

    // 10:05 to 10:40: the hour 10:00 to 11:00 in four steps.
    const tagChartAxis& x = controller.chart(TrendChart::LoadIndex).GetAxis(CChartModel::kAxisX);
    EXPECT_EQ(x.minimum, double(k1005 - 300));
    EXPECT_EQ(x.maximum, double(k1005 - 300 + 3600));
    EXPECT_EQ(x.majorStep, 900);
    EXPECT_EQ(x.format, "%H:%M:%S");
    EXPECT_NE(controller.chart(TrendChart::Bandwidth).GetAxisStyleY() & 0x100, 0u);

    EXPECT_NE(host.status.find(OfflineLine("12/07 10:05", "12/07 10:40")), std::string::npos);
}

TEST_F(ControllerTest, LoadIndexAndFirstCounterSample)
{
    IfCounters c;
    Feed(SflowDatagram(1, 1000, c, Hosts(10)), k1005);
    CloseInterval(k1005);
    // One datagram: counts and totals, no rates and no point.
    ASSERT_EQ(controller.list().rowCount(), 1);
    EXPECT_EQ(controller.list().text(0, MonitorColumn::Ips), "10");   // the destination is one of them
    EXPECT_EQ(controller.list().text(0, MonitorColumn::TotalPackets), "0(0)");
    EXPECT_EQ(controller.list().text(0, MonitorColumn::LoadIndex), "");
    EXPECT_EQ(Points(TrendChart::LoadIndex, 0), 0);

    // 300 packets/s and 2.5 Mbit/s over 10 seconds with ten active sources.
    c.inUcast = 3000;
    c.inOctets = 3125000;
    Feed(SflowDatagram(2, 11000, c, Hosts(10)), k1005 + 10);
    CloseInterval(k1005 + 10);
    CMonitorListModel& list = controller.list();
    EXPECT_EQ(list.text(0, MonitorColumn::LoadIndex), "7500.0000");
    EXPECT_EQ(list.text(0, MonitorColumn::PacketRate), "300.0000");
    EXPECT_EQ(list.text(0, MonitorColumn::Bandwidth), "2.50000");
    EXPECT_EQ(list.text(0, MonitorColumn::ActiveIps), "10");
    EXPECT_EQ(list.text(0, MonitorColumn::ActiveMacs), "10");
    const CDataPoint* load = controller.chart(TrendChart::LoadIndex).GetDataSeries(0)->GetAt(0);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load->y, 7500);
    EXPECT_EQ(load->caption, "7500.00");
    EXPECT_EQ(load->x, double(k1005 + 10));
    EXPECT_EQ(controller.chart(TrendChart::Bandwidth).GetDataSeries(0)->GetAt(0)->caption, "2.5000");

    // No new counter sample (E = 0): figures stay, no point, no snapshot.
    Feed(SflowDatagram(3, 11000, IfCounters{}, Hosts(1)), k1005 + 20);
    CloseInterval(k1005 + 20);
    EXPECT_EQ(list.text(0, MonitorColumn::LoadIndex), "7500.0000");
    EXPECT_EQ(Points(TrendChart::LoadIndex, 0), 1);
}

TEST_F(ControllerTest, NetflowPortWaitsForTheCounterPeriod)
{
    host.form.counterPeriod = 120;
    host.choice = tagStartChoice{false, {}};
    controller.Start();   // only to take the form; nothing to replay
    Feed(NetflowV5(1, {FlowSpec{}}, 0, -1, 11999), k1005, true);
    CloseInterval(k1005);
    ASSERT_EQ(controller.list().rowCount(), 1);
    EXPECT_EQ(controller.list().text(0, MonitorColumn::Macs), "0");
    EXPECT_EQ(controller.list().text(0, MonitorColumn::TotalPackets), "");

    Feed(NetflowV5(2, {FlowSpec{}}, 0, -1, 12000), k1005 + 1, true);
    CloseInterval(k1005 + 1);
    EXPECT_NE(controller.list().text(0, MonitorColumn::TotalPackets), "");
    EXPECT_NE(controller.list().text(0, MonitorColumn::LoadIndex), "");
    ASSERT_EQ(Points(TrendChart::LoadIndex, 0), 1);
    const CDataPoint* p = controller.chart(TrendChart::LoadIndex).GetDataSeries(0)->GetAt(0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.3f", p->y);
    EXPECT_EQ(p->caption, expected);
}

// NetFlow's totals and rates are sums of its records: with the sampling
// correction on they scale by the records' rate (1 in 100 here).
TEST_F(ControllerTest, SamplingCorrectionScalesNetflowTotalsAndRates)
{
    host.form.counterPeriod = 120;
    host.choice = tagStartChoice{false, {}};
    controller.Start();
    const FlowSpec flow;
    for (uint32_t round = 1; round <= 3; ++round) {
        if (round == 3) controller.SetScaledFigures(true);
        Feed(NetflowV5(round, {flow}, 0, -1, 12000 * round, 100), k1005 + round, true);
        CloseInterval(k1005 + round);
        if (round == 2) {
            EXPECT_EQ(controller.list().raw(0, MonitorColumn::TotalPackets), 2.0 * flow.packets);
            EXPECT_DOUBLE_EQ(controller.list().raw(0, MonitorColumn::PacketRate), flow.packets / 12.0);
        }
    }
    EXPECT_EQ(controller.list().raw(0, MonitorColumn::TotalPackets), 300.0 * flow.packets);
    EXPECT_DOUBLE_EQ(controller.list().raw(0, MonitorColumn::PacketRate), 100 * (flow.packets / 12.0));
    EXPECT_DOUBLE_EQ(controller.list().raw(0, MonitorColumn::Bandwidth), 100 * (flow.octets * 8 / 12.0 / 1e6));
}

TEST_F(ControllerTest, BothCollectorsChargeOneMemoryLimitFromTheSettings)
{
    EXPECT_EQ(tagMonitorSettings{}.memoryLimitMib, 2048u) << "the window's default";
    host.form.memoryLimitMib = 64;
    host.choice = tagStartChoice{false, {}};
    controller.Start();
    EXPECT_EQ(controller.memoryBudget().limit(), MiB(64));
    Feed(NetflowV5(1, {FlowSpec{}}), k1005, true);
    Bytes b = SflowV5Header(1, 1);
    b.raw(CounterSampleV5(IfCounters{}));
    Feed(b.data(), k1005, false);
    EXPECT_GT(controller.sflow().budget().used(), 0u);
    EXPECT_GT(controller.netflow().budget().used(), 0u);
    EXPECT_EQ(controller.memoryBudget().used(),
              controller.sflow().budget().used() + controller.netflow().budget().used());
    // A new start gives back what the tables held.
    controller.Start();
    EXPECT_EQ(controller.memoryBudget().used(), 0u);
}

TEST_F(ControllerTest, EachPortHasExactlyOneRowUnderItsOwnKey)
{
    // An agent sending v4 and v5 is two ports; an exporter sending v5 then
    // v1 is two ports; junk of any version is no port. The collectors'
    // current version is that of the last datagram, junk included.
    Bytes v4;
    v4.u32(4).u32(1).raw({10, 0, 0, 1}).u32(7).u32(1000).u32(0);
    auto junk = [](uint32_t version) {
        Bytes b;
        b.u32(version).u32(1).raw({10, 0, 0, 77}).u32(0).u32(1).u32(1000).u32(0);
        return b.data();
    };
    for (int round = 0; round < 3; ++round) {
        Feed(v4.data(), k1005 + round);
        Feed(SflowDatagram(uint32_t(round + 1), 1000 + uint32_t(round), IfCounters{}, Hosts(1)), k1005 + round);
        Feed(junk(0xE8912345u + uint32_t(round)), k1005 + round);
        Feed(NetflowV5(uint32_t(round + 1), {FlowSpec{}}), k1005 + round, true);
        Feed(NetflowV1({FlowSpec{}}), k1005 + round, true);
        Feed(junk(0x00070000u + uint32_t(round)), k1005 + round, true);
        CloseInterval(k1005 + round);
    }
    const std::vector<std::string> want = {"sFlow V4:10.0.0.1:0", "sFlow V5:10.0.0.1:0", "NetFlow V1:10.0.0.1:0",
                                           "NetFlow V5:10.0.0.1:0"};
    const CMonitorListModel& list = controller.list();
    ASSERT_EQ(list.rowCount(), int(want.size()));
    for (int row = 0; row < list.rowCount(); ++row) {
        EXPECT_EQ(list.key(row), want[size_t(row)]);
        CFlowCollector& c = row < 2 ? static_cast<CFlowCollector&>(controller.sflow())
                                    : static_cast<CFlowCollector&>(controller.netflow());
        auto it = c.ports.find(list.key(row));
        ASSERT_NE(it, c.ports.end());
        EXPECT_EQ(list.port(row), it->second.get());
    }
    // The v5 agent's one sampled packet each round: its own figures, not the v4 port's.
    EXPECT_EQ(list.text(1, MonitorColumn::Macs), "2");
    EXPECT_EQ(list.text(0, MonitorColumn::Macs), "0");
    EXPECT_EQ(controller.chart(TrendChart::LoadIndex).GetCount(), 4);
    EXPECT_EQ(controller.chart(TrendChart::LoadIndex).GetDataSeriesCaption(3), "NetFlow V5:10.0.0.1:0");
}

TEST_F(ControllerTest, AShortReplayEndsWithOneCloseAndTheStatusFollowsTheLookups)
{
    // Twenty seconds of one agent: less than the 60 s refresh interval.
    {
        std::ofstream log(QDir(dir.path()).filePath("FL2026-12-07.log").toStdString());
        IfCounters c;
        log << "S\t" << k1005 << "\t10.0.0.1\t6343\t" << Hex(SflowDatagram(1, 1000, c, Hosts(3))) << "\n";
        c.inUcast = 200;
        log << "S\t" << k1005 + 20 << "\t10.0.0.1\t6343\t" << Hex(SflowDatagram(2, 21000, c, Hosts(3))) << "\n";
    }
    host.choice = tagStartChoice{false, {"FL2026-12-07.log"}};
    ASSERT_TRUE(controller.Start());
    ASSERT_EQ(controller.list().rowCount(), 1);
    // 200 packets over 21 s of uptime.
    EXPECT_EQ(controller.list().text(0, MonitorColumn::PacketRate), "9.5238");
    EXPECT_EQ(Points(TrendChart::PacketRate, 0), 1);
    EXPECT_EQ(controller.intervalTime(), k1005 + 20);
    EXPECT_EQ(host.replaysFinished, 1);

    // No list shows the nodes yet, so no name was asked; once one does, four
    // addresses are asked and the status counts down as the answers come.
    EXPECT_TRUE(resolver.asked.empty());
    CMonPort* port = controller.sflow().ports.begin()->second.get();
    controller.SetShownPorts({port});
    controller.ResolveNamesOf(*port);
    controller.UpdateStatus();
    ASSERT_EQ(resolver.asked.size(), 4u);
    EXPECT_NE(host.status.find(LookupsLine(4)), std::string::npos) << host.status;
    resolver.asked[0].reply(tagHostReply{0, "a.example", {resolver.asked[0].address}});
    EXPECT_NE(host.status.find(LookupsLine(3)), std::string::npos) << host.status;
    for (size_t i = 1; i < resolver.asked.size(); ++i) resolver.asked[i].reply(tagHostReply{1, "", {}});
    EXPECT_EQ(host.status.find("DNS"), std::string::npos) << host.status;
    EXPECT_NE(host.status.find("オフライン情報を表示しています。"), std::string::npos);
}

TEST_F(ControllerTest, ReplayReportsItsProgressAndCanBeCancelled)
{
    {
        std::ofstream first(QDir(dir.path()).filePath("FL2026-12-06.log").toStdString());
        std::ofstream second(QDir(dir.path()).filePath("FL2026-12-07.log").toStdString());
        // About 600 KB in the first file: three blocks of reading.
        for (uint32_t i = 0; i < 2000; ++i)
            first << "S\t" << k1005 - 86400 + i << "\t10.0.0.1\t6343\t"
                  << Hex(SflowDatagram(i + 1, 1000 + i * 1000, IfCounters{}, Hosts(1))) << "\n";
        second << "S\t" << k1005 << "\t10.0.0.2\t6343\t"
               << Hex(SflowDatagram(1, 1000, IfCounters{}, Hosts(1), 2)) << "\n";
    }
    host.choice = tagStartChoice{false, {"FL2026-12-06.log", "FL2026-12-07.log"}};
    ASSERT_TRUE(controller.Start());
    ASSERT_GE(host.progress.size(), 4u);
    const auto& last = host.progress.back();
    EXPECT_EQ(last.file, "FL2026-12-07.log");
    EXPECT_EQ(last.index, 1u);
    EXPECT_EQ(last.count, 2u);
    EXPECT_EQ(last.done, last.total);
    for (size_t i = 1; i < host.progress.size(); ++i) {
        if (host.progress[i].index == host.progress[i - 1].index) {
            EXPECT_GE(host.progress[i].done, host.progress[i - 1].done);
        }
    }
    EXPECT_EQ(controller.list().rowCount(), 2);

    // Cancelled in the middle of the first file: the second is not read,
    // what was read stays shown.
    host.progress.clear();
    host.cancelAtCall = 1;
    ASSERT_TRUE(controller.Start());
    EXPECT_EQ(host.progress.size(), 2u);
    EXPECT_EQ(host.replaysFinished, 2);
    ASSERT_EQ(controller.list().rowCount(), 1);
    EXPECT_EQ(controller.list().key(0), "sFlow V5:10.0.0.1:0");
    EXPECT_GT(controller.sflow().datagramCount, 0u);
    EXPECT_LT(controller.sflow().datagramCount, 2000u);
}

TEST_F(ControllerTest, NinthPortIsListedWithoutSeries)
{
    for (uint8_t agent = 1; agent <= 9; ++agent)
        Feed(SflowDatagram(1, 1000, IfCounters{}, Hosts(1), agent), k1005);
    CloseInterval(k1005);
    EXPECT_EQ(controller.list().rowCount(), 9);
    for (CChartModel* chart : controller.charts()) {
        EXPECT_EQ(chart->GetCount(), 8);
        EXPECT_EQ(chart->GetDataSeries(7)->GetColor(), SeriesColor(7));
        EXPECT_EQ(chart->GetDataSeries(7)->GetMaxNumDataPoints(), kMaxTrendPoints);
    }
    EXPECT_EQ(controller.list().key(8), "sFlow V5:10.0.0.9:0");
}

TEST_F(ControllerTest, TenThousandAgentsFillTheListUpToThePortLimit)
{
    for (uint32_t i = 0; i < 10000; ++i) {
        Bytes b = SflowV5Header(1, 0, 0, {10, uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)}, 1000);
        Feed(b.data(), k1005);
    }
    CloseInterval(k1005);
    size_t ports = controller.sflow().ports.size();
    EXPECT_EQ(size_t(controller.list().rowCount()), ports);
    EXPECT_EQ(ports + controller.sflow().refusedPorts, 10000u);
    EXPECT_EQ(controller.chart(TrendChart::ActiveIp).GetCount(), kSeriesRows);
}

// Counts the redraws the controller asks of a chart.
class CountingChart : public CChartModel {
public:
    int redraws = 0;
    void Redraw() override { ++redraws; }
};

TEST_F(ControllerTest, LongReplayRedrawsOncePerSecondAndDatesALongAxis)
{
    std::array<CountingChart, kTrendChartCount> counting;
    TrendCharts models{};
    for (int i = 0; i < kTrendChartCount; ++i) models[size_t(i)] = &counting[size_t(i)];
    controller.SetCharts(models);
    {
        // Two days, a datagram each two minutes: 1500 interval closes, more than a series keeps.
        std::ofstream log(QDir(dir.path()).filePath("FL2026-12-05.log").toStdString());
        IfCounters c;
        for (uint32_t step = 0; step < 1500; ++step) {
            c.inUcast = step * 100;
            log << "S\t" << k1005 - 2 * 86400 + step * 121 << "\t10.0.0.1\t6343\t"
                << Hex(SflowDatagram(step + 1, 1000 + step * 121000, c, Hosts(1))) << "\n";
        }
    }
    host.choice = tagStartChoice{false, {"FL2026-12-05.log"}};
    ASSERT_TRUE(controller.Start());
    // The clock stands still: one redraw at the reset, one during the replay,
    // one when the replay is done.
    for (const CountingChart& chart : counting) EXPECT_EQ(chart.redraws, 3);
    const CDataSeries* series = counting[size_t(TrendChart::Bandwidth)].GetDataSeries(0);
    ASSERT_NE(series, nullptr);
    EXPECT_EQ(series->GetCount(), kMaxTrendPoints);
    const tagChartAxis& x = counting[size_t(TrendChart::ActiveMac)].GetAxis(CChartModel::kAxisX);
    EXPECT_EQ(x.format, "%m/%d %H:%M");
    EXPECT_EQ(int64_t(x.minimum) % 3600, 0);
    EXPECT_LE(x.minimum, series->GetAt(0)->x);
}

TEST_F(ControllerTest, LookupsAreCappedAndAnswersFillTheCache)
{
    // Twelve sources, the destination among them: twelve unresolved addresses.
    Feed(SflowDatagram(1, 1000, IfCounters{}, Hosts(12)), k1005);
    CloseInterval(k1005);
    // No list shows the nodes: nobody asks for their names.
    EXPECT_TRUE(resolver.asked.empty());
    CMonPort* shown = controller.sflow().ports.begin()->second.get();
    controller.SetShownPorts({shown});
    CloseInterval(k1005 + 5);
    ASSERT_EQ(resolver.asked.size(), 11u);
    EXPECT_EQ(controller.pendingLookups(), 11);
    EXPECT_EQ(controller.hostNameCache().size(), 11u);
    controller.UpdateStatus();
    EXPECT_NE(host.status.find(LookupsLine(11)),
              std::string::npos);

    const CIpAddress first = resolver.asked[0].address;
    resolver.asked[0].reply({0, "gw.example", {first, Ip("127.0.0.1"), Ip("0.1.2.3")}});
    resolver.asked[1].reply({1, "", {}});
    EXPECT_EQ(controller.pendingLookups(), 9);
    EXPECT_EQ(controller.ResolveHostName(first), "gw.example");
    EXPECT_EQ(controller.hostNameCache().count(Ip("127.0.0.1")), 0u);
    EXPECT_EQ(controller.hostNameCache().count(Ip("0.1.2.3")), 0u);
    // A failed answer stays cached empty: that address is never asked again.
    EXPECT_EQ(controller.ResolveHostName(resolver.asked[1].address), "");
    EXPECT_EQ(resolver.asked.size(), 11u);

    // The next interval asks the address that was left over and names the node.
    std::optional<CIpAddress> last;
    for (const auto& [address, node] : controller.sflow().ports.begin()->second->ips)
        if (!controller.hostNameCache().count(address)) last = address;
    ASSERT_TRUE(last.has_value());
    Feed(SflowDatagram(2, 2000, IfCounters{}, Hosts(1)), k1005 + 60);
    CloseInterval(k1005 + 60);
    ASSERT_EQ(resolver.asked.size(), 12u);
    EXPECT_EQ(resolver.asked[11].address, *last);
    const CMonPort& port = *controller.sflow().ports.begin()->second;
    EXPECT_EQ(controller.portHostNames().HostName(port, first), "gw.example");

    controller.hostNameCache()[Ip("10.9.9.9")] = "name\tmore";
    EXPECT_EQ(controller.ResolveHostName(Ip("10.9.9.9")), "name");
    controller.hostNameCache()[Ip("0.0.0.0")] = "";
    EXPECT_EQ(controller.ResolveHostName(Ip("0.0.0.0")), "");
    EXPECT_EQ(controller.hostNameCache().count(Ip("0.0.0.0")), 0u);
    // An IPv6 address is asked and answered by its bytes, however its text is written.
    size_t before = resolver.asked.size();
    EXPECT_EQ(controller.ResolveHostName(Ip("2001:db8::10")), "");
    ASSERT_EQ(resolver.asked.size(), before + 1);
    EXPECT_EQ(resolver.asked.back().address.String(), "2001:db8::10");
    resolver.asked.back().reply({0, "v6.example", {Ip("2001:0db8:0:0::0010")}});
    EXPECT_EQ(controller.ResolveHostName(Ip("2001:db8:0::10")), "v6.example");

    // A full cache makes room by forgetting its oldest entries.
    controller.SetHostNameLimit(4);
    for (int i = 1; i <= 6; ++i) {
        const CIpAddress address = Ip(("10.8.0." + std::to_string(i)).c_str());
        controller.ResolveHostName(address);
        resolver.asked.back().reply({0, "h" + std::to_string(i), {address}});
    }
    EXPECT_EQ(controller.hostNameCache().size(), 4u);
    EXPECT_EQ(controller.hostNameCache().count(Ip("10.8.0.2")), 0u);
    EXPECT_EQ(controller.ResolveHostName(Ip("10.8.0.6")), "h6");

    // The cache is charged to the memory limit: a spent limit asks nothing
    // more, counts the refusal, and dropping entries gives their bytes back.
    controller.SetHostNameLimit(100);
    CMemoryBudget& memory = controller.memoryBudget();
    uint64_t used = memory.used();
    memory.SetLimit(used);
    size_t asked = resolver.asked.size();
    EXPECT_EQ(controller.ResolveHostName(Ip("10.7.0.1")), "");
    EXPECT_EQ(resolver.asked.size(), asked);
    EXPECT_EQ(controller.hostNameCache().count(Ip("10.7.0.1")), 0u);
    controller.UpdateStatus();
    EXPECT_NE(host.status.find("拒否1件"), std::string::npos);
    controller.SetHostNameLimit(1);
    controller.ResolveHostName(Ip("10.7.0.2"));
    EXPECT_LT(memory.used(), used);
}

TEST_F(ControllerTest, RefreshTimerIsClampedOneShotAndRearmed)
{
    EXPECT_EQ(CMonitorController::RefreshPeriodMs(5), 5000);
    EXPECT_EQ(CMonitorController::RefreshPeriodMs(60), 60000);
    EXPECT_EQ(CMonitorController::RefreshPeriodMs(300), 120000);

    host.form.sflowPort = FreeUdpPort();
    host.form.netflowPort = FreeUdpPort();
    host.form.refreshSeconds = 300;
    ASSERT_TRUE(controller.Start());
    ASSERT_TRUE(controller.monitoring());
    EXPECT_TRUE(controller.refreshTimer().isSingleShot());
    EXPECT_EQ(controller.refreshTimer().interval(), 120000);
    EXPECT_TRUE(controller.refreshTimer().isActive());
    EXPECT_EQ(controller.logTimer().interval(), 1000);
    EXPECT_TRUE(controller.logTimer().isActive());
    // The tick also purges the logs that outlived the retention.
    QString old = QDir(dir.path()).filePath("FL2026-11-01.log");
    QString today = QDir(dir.path()).filePath("FL2026-12-07.log");
    for (const QString& path : {old, today}) std::ofstream(path.toStdString()) << "\n";
    controller.RefreshTick();
    EXPECT_TRUE(controller.refreshTimer().isActive());
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(today));
    controller.Stop();
    EXPECT_FALSE(controller.refreshTimer().isActive());
    EXPECT_FALSE(controller.logTimer().isActive());
    EXPECT_EQ(host.monitoringChanges, (std::vector<bool>{true, false}));
}

// The host's clock steps 60 days ahead for one refresh and back: the purge
// waits while the wall clock disagrees with the time since boot, says so, and
// deletes no log inside the retention, today's and this run's least of all.
TEST_F(ControllerTest, ClockStepHoldsThePurgeAndIsShown)
{
    int64_t sinceBoot = 5000;
    controller.SetMonotonicClock([&sinceBoot] { return sinceBoot; });
    host.form.sflowPort = FreeUdpPort();
    host.form.netflowPort = FreeUdpPort();
    host.form.retentionDays = 14;
    ASSERT_TRUE(controller.Start());
    QString old = QDir(dir.path()).filePath("FL2026-11-01.log");
    QString recent = QDir(dir.path()).filePath("FL2026-12-01.log");
    QString today = QDir(dir.path()).filePath("FL2026-12-07.log");
    for (const QString& path : {old, recent}) std::ofstream(path.toStdString()) << "\n";
    SendTo(uint16_t(host.form.sflowPort), SflowDatagram(1, 1000, IfCounters{}, Hosts(1)));
    // The receive thread counts a burst once it is decoded and queued for the log.
    ASSERT_TRUE(controller.sflowReceiver().WaitForReceived(1, std::chrono::seconds(10)));
    ASSERT_TRUE(controller.logWriter().Flush());
    ASSERT_TRUE(QFile::exists(today));

    controller.RefreshTick();
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(host.clockSteps.empty());

    const int64_t step = 60 * 86400;
    now += step + 60;
    sinceBoot += 60;
    controller.RefreshTick();
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(today));
    EXPECT_EQ(host.clockSteps, (std::vector<int64_t>{step}));
    EXPECT_NE(host.status.find(ClockStepLine(step)), std::string::npos) << host.status;

    now -= step - 60;
    sinceBoot += 60;
    controller.RefreshTick();
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(today));
    EXPECT_EQ(host.clockSteps, (std::vector<int64_t>{step, 0}));
    EXPECT_EQ(host.status.find("時計"), std::string::npos) << host.status;

    // A day later by both clocks, the purge runs again and keeps what the
    // retention keeps.
    std::ofstream(old.toStdString()) << "\n";
    now += 86400;
    sinceBoot += 86400;
    controller.RefreshTick();
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(recent));
    controller.Stop();
}

TEST_F(ControllerTest, LiveDatagramsOnLoopbackReachListAndLog)
{
    host.form.sflowPort = FreeUdpPort();
    host.form.netflowPort = FreeUdpPort();
    host.form.refreshSeconds = 5;
    ASSERT_TRUE(controller.Start());
    EXPECT_EQ(controller.shownFrom(), now);
    EXPECT_EQ(controller.refreshTimer().interval(), 5000);
    IfCounters c;
    SendTo(uint16_t(host.form.sflowPort), SflowDatagram(1, 1000, c, Hosts(2)));
    SendTo(uint16_t(host.form.netflowPort), NetflowV5(1, {FlowSpec{}}, 3));
    // Received on the collectors' own threads, without the event loop.
    ASSERT_TRUE(controller.sflowReceiver().WaitForReceived(1, std::chrono::seconds(10)));
    ASSERT_TRUE(controller.netflowReceiver().WaitForReceived(1, std::chrono::seconds(10)));
    controller.RefreshTick();
    ASSERT_EQ(controller.list().rowCount(), 2);
    EXPECT_EQ(controller.list().key(0), "sFlow V5:10.0.0.1:0");
    EXPECT_EQ(controller.list().key(1), "NetFlow V5:127.0.0.1:3");
    EXPECT_EQ(controller.list().stateIcon(0), 0);
    EXPECT_NE(host.status.find(SflowLine(1, 1, 1)), std::string::npos);
    EXPECT_NE(host.status.find(MonitoringLine("12/07 10:40", "0日 00時間00分00秒間")), std::string::npos);

    // Stopping writes what is still queued, NetFlow first, and shows the
    // period up to the stop as offline data.
    now += 90;
    controller.Stop();
    EXPECT_NE(host.status.find(OfflineLine("12/07 10:40", "12/07 10:41")), std::string::npos)
        << host.status;
    std::ifstream log(QDir(dir.path()).filePath("FL2026-12-07.log").toStdString());
    std::string first, second, third;
    std::getline(log, first);
    std::getline(log, second);
    EXPECT_EQ(first.substr(0, 2), "N\t");
    EXPECT_EQ(second.substr(0, 2), "S\t");
    EXPECT_FALSE(std::getline(log, third));
}

TEST_F(ControllerTest, RefusedFormOrCancelledDialogStartsNothing)
{
    host.refuseForm = true;
    EXPECT_FALSE(controller.Start());
    EXPECT_EQ(host.dialogsShown, 0);
    host.refuseForm = false;
    host.choice.reset();
    EXPECT_FALSE(controller.Start());
    EXPECT_EQ(host.dialogsShown, 1);
    EXPECT_FALSE(controller.monitoring());
    EXPECT_TRUE(host.monitoringChanges.empty());
}

TEST_F(ControllerTest, PortsThatCannotOpenAreNamedAndLeaveTheControllerIdle)
{
    // Hold both ports so neither collector can bind them.
    auto hold = [](uint16_t port) {
        int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return s;
    };
    host.form.sflowPort = FreeUdpPort();
    host.form.netflowPort = FreeUdpPort();
    int a = hold(uint16_t(host.form.sflowPort));
    int b = hold(uint16_t(host.form.netflowPort));
    EXPECT_TRUE(controller.Start());
    EXPECT_FALSE(controller.monitoring());
    EXPECT_EQ(host.failedSockets.size(), 2u);
    EXPECT_EQ(host.failedSockets[0], "sFlow:" + std::to_string(host.form.sflowPort));
    EXPECT_NE(host.status.find(kNotMonitoringLine), std::string::npos);
    ::close(a);
    ::close(b);
}

TEST(PortHostNames, KeptOnlyForThePortsNodesAndChargedToTheLimit)
{
    CMemoryBudget budget;
    CPortHostNames names{budget};
    CMonPort port{"10.0.0.1", 0, nullptr, tagLimits{}, std::make_shared<CLabelTable>()};
    const CIpAddress held = *CIpAddress::Parse("192.0.2.1");
    const CIpAddress other = *CIpAddress::Parse("192.0.2.2");
    port.FindOrAddIp(held, 1000);

    // A look-up answer names addresses the port never held: they are not kept,
    // so a port keeps no more names than it has IP nodes.
    names.Note(port, other, "stranger.example");
    EXPECT_FALSE(names.Contains(port, other));
    EXPECT_EQ(budget.used(), 0u);

    names.Note(port, held, "gw.example");
    EXPECT_EQ(names.HostName(port, held), "gw.example");
    const uint64_t charged = budget.used();
    EXPECT_GT(charged, std::string("gw.example").size());
    EXPECT_EQ(names.memoryUsed(), charged);
    names.Note(port, held, "later.example");  // the first name stays, charged once
    EXPECT_EQ(names.HostName(port, held), "gw.example");
    EXPECT_EQ(budget.used(), charged);

    // A spent limit leaves the name out and counts the refusal.
    const CIpAddress third = *CIpAddress::Parse("192.0.2.3");
    port.FindOrAddIp(third, 1000);
    budget.SetLimit(charged);
    names.Note(port, third, std::string(200, 'n'));
    EXPECT_FALSE(names.Contains(port, third));
    EXPECT_EQ(names.refused(), 1u);

    names.Clear();
    EXPECT_EQ(budget.used(), 0u);
    EXPECT_FALSE(names.Contains(port, held));
}

}  // namespace
}  // namespace ortolan
