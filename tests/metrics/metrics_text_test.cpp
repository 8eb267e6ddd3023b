// SPDX-License-Identifier: GPL-3.0-or-later
// What a scrape shows of collectors fed known datagrams: exact lines for a
// port and an interface, the families' shape, the bound on interface series,
// the row store's families only when a source is given, and escaped labels.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "datagram_builder.h"
#include "exposition_writer.h"
#include "metrics_gather.h"
#include "metrics_text.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

class MetricsText : public ::testing::Test {
protected:
    CMemoryBudget budget{MiB(64)};
    CSFlowMon sflow;
    CNFlowMon netflow;
    int64_t now = 1700000000;

    void SetUp() override
    {
        for (CFlowCollector* c : {static_cast<CFlowCollector*>(&sflow), static_cast<CFlowCollector*>(&netflow)}) {
            c->SetClock([this] { return now; });
            c->ShareMemoryBudget(budget);
        }
    }
    // An sFlow datagram of agent 10.0.0.1 with one sampled frame and the
    // counters of the interfaces given.
    void FeedSflow(uint32_t sequence, const std::vector<IfCounters>& interfaces)
    {
        Bytes b = SflowV5Header(sequence, uint32_t(1 + interfaces.size()));
        b.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(FrameSpec{}), 1514)}));
        for (const IfCounters& c : interfaces) b.raw(CounterSampleV5(c));
        sflow.FeedDatagram(b.data().data(), b.size(), now, "192.0.2.50", 6343);
    }
    void FeedNetflow(const std::vector<uint8_t>& d)
    {
        netflow.FeedDatagram(d.data(), d.size(), now, "192.0.2.60", 2055);
    }
    std::string Scrape(const tagMetricsLimits& limits = {}, const StoreCountersSource& store = {})
    {
        return FormatMetrics(GatherMetrics(sflow, netflow, limits, store, "4.1.0"));
    }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST_F(MetricsText, ShowsExactFiguresOfAPortAndAnInterface)
{
    IfCounters ifc;
    ifc.ifIndex = 3;
    ifc.inOctets = 123456789012;
    ifc.inUcast = 1000, ifc.inMulticast = 20, ifc.inBroadcast = 3;
    ifc.outOctets = 987654;
    FeedSflow(1, {ifc});
    FeedSflow(2, {});
    FeedSflow(2, {});  // a repeat: rejected, not counted for the port
    FlowSpec flow;     // 10 packets, 15,000 octets, interfaces 1 in and 2 out
    FeedNetflow(NetflowV5(7, {flow, flow, flow}));
    FeedNetflow({0, 42, 0, 0});  // an unknown version

    const std::string text = Scrape();
    const std::string sflowPort = R"(port="sFlow V5:10.0.0.1:0",exporter="10.0.0.1",kind="sflow",version="5")";
    const std::string netflowPort =
        R"(port="NetFlow V5:192.0.2.60:0",exporter="192.0.2.60",kind="netflow",version="5")";
    for (const std::string& line : std::vector<std::string>{
             "ortolan_port_datagrams_total{" + sflowPort + "} 2",
             "ortolan_port_records_total{" + sflowPort + "} 2",
             "ortolan_port_sampled_packets_total{" + sflowPort + "} 2",
             "ortolan_port_sampled_bytes_total{" + sflowPort + "} 3028",
             "ortolan_interface_in_octets_total{" + sflowPort + ",ifindex=\"3\"} 123456789012",
             "ortolan_interface_in_packets_total{" + sflowPort + ",ifindex=\"3\"} 1023",
             "ortolan_interface_out_octets_total{" + sflowPort + ",ifindex=\"3\"} 987654",
             "ortolan_interface_out_packets_total{" + sflowPort + ",ifindex=\"3\"} 0",
             "ortolan_interface_speed_bits_per_second{" + sflowPort + ",ifindex=\"3\"} 1000000000",
             "ortolan_port_datagrams_total{" + netflowPort + "} 1",
             "ortolan_port_records_total{" + netflowPort + "} 3",
             "ortolan_port_sampled_packets_total{" + netflowPort + "} 30",
             "ortolan_port_sampled_bytes_total{" + netflowPort + "} 45000",
             "ortolan_interface_in_octets_total{" + netflowPort + ",ifindex=\"1\"} 45000",
             "ortolan_interface_out_packets_total{" + netflowPort + ",ifindex=\"2\"} 30",
             R"(ortolan_datagrams_total{kind="sflow"} 3)",
             R"(ortolan_datagrams_total{kind="netflow"} 2)",
             R"(ortolan_rejected_datagrams_total{kind="sflow"} 1)",
             R"(ortolan_rejected_datagrams_total{kind="netflow"} 1)",
             R"(ortolan_ports{kind="sflow"} 1)",
             R"(ortolan_log_records_queued{kind="sflow"} 0)",
             "ortolan_memory_limit_bytes 67108864",
             "ortolan_memory_used_bytes " + std::to_string(budget.used()),
             R"(ortolan_build_info{version="4.1.0"} 1)",
             "ortolan_metrics_omitted_interfaces 0",
         })
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    EXPECT_GT(budget.used(), 0u);
    // NetFlow interfaces have no speed: none is shown rather than a 0.
    EXPECT_EQ(text.find("speed_bits_per_second{" + netflowPort), std::string::npos) << text;
    EXPECT_EQ(text.find("clickhouse"), std::string::npos) << "no store, no store families";

    // Every family once, HELP then TYPE, its samples right after; counters end in _total.
    std::set<std::string> families;
    std::string family;
    std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("# HELP ", 0) == 0) {
            family = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_TRUE(families.insert(family).second) << family << " twice";
            ASSERT_LT(i + 1, lines.size());
            const std::string& type = lines[i + 1];
            EXPECT_TRUE(type == "# TYPE " + family + " counter" || type == "# TYPE " + family + " gauge") << type;
            bool counter = type.ends_with(" counter");
            EXPECT_EQ(counter, family.ends_with("_total")) << family;
            ++i;
            continue;
        }
        std::string name = line.substr(0, line.find_first_of("{ "));
        EXPECT_EQ(name, family) << line;
    }
    EXPECT_EQ(families.size(), 26u);
}

TEST_F(MetricsText, BoundsInterfaceSeriesAndShowsTheStoreOnlyWithASource)
{
    std::vector<IfCounters> interfaces(3);
    for (uint32_t i = 0; i < 3; ++i) interfaces[i].ifIndex = 10 + i;
    FeedSflow(1, interfaces);
    FlowSpec flow;
    FeedNetflow(NetflowV5(1, {flow}));  // two more interfaces

    tagMetricsLimits limits;
    limits.maxInterfaceSeries = 2;
    tagStoreCounters store{5, 6, 7, 8, 9, 4};
    const std::string text = Scrape(limits, [&] { return store; });
    size_t series = 0;
    for (const std::string& line : Lines(text))
        if (line.rfind("ortolan_interface_in_octets_total{", 0) == 0) ++series;
    EXPECT_EQ(series, 2u);
    EXPECT_TRUE(HasLine(text, "ortolan_metrics_omitted_interfaces 3")) << text;
    // The first ports in key order keep theirs, lowest ifIndex first.
    EXPECT_NE(text.find("ifindex=\"10\""), std::string::npos);
    EXPECT_NE(text.find("ifindex=\"11\""), std::string::npos);
    EXPECT_EQ(text.find("ifindex=\"12\""), std::string::npos);

    for (const char* line : {"ortolan_clickhouse_rows_total 5", "ortolan_clickhouse_rows_sent_total 6",
                             "ortolan_clickhouse_rows_dropped_total 7", "ortolan_clickhouse_failed_inserts_total 8",
                             "ortolan_clickhouse_refused_inserts_total 9", "ortolan_clickhouse_rows_queued 4"})
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
}

TEST(ExpositionWriter, EscapesLabelValuesAndHelp)
{
    std::string out;
    CExpositionWriter w(out);
    w.Family("x_total", MetricType::Counter, "a \\ b\nc \"d\"");
    w.Sample({{"a", "q\"b\\s\nn"}, {"b", ""}}, 18446744073709551615ull);
    w.Sample({}, 0);
    EXPECT_EQ(out,
              "# HELP x_total a \\\\ b\\nc \"d\"\n"
              "# TYPE x_total counter\n"
              "x_total{a=\"q\\\"b\\\\s\\nn\",b=\"\"} 18446744073709551615\n"
              "x_total 0\n");
}

}  // namespace
}  // namespace ortolan
