// SPDX-License-Identifier: GPL-3.0-or-later
// NetFlow v9 and IPFIX: templates learnt per exporter and source, data read by
// them into the same accounting as v5 records, and the template edge cases
// (unknown, withdrawn, redefined, options, variable-length and enterprise
// fields, bounds) as hex vectors.
#include <gtest/gtest.h>

#include <regex>

#include "datagram_builder.h"
#include "nflow_mon.h"
#include "test_datagrams.h"

namespace ortolan {
namespace {

using namespace testing;

class FlowTemplates : public ::testing::Test {
protected:
    CNFlowMon mon;
    int64_t now = 1'700'000'000;
    void SetUp() override { mon.SetClock([this] { return now; }); }
    void Feed(CNFlowMon& m, const std::vector<uint8_t>& d) { m.FeedDatagram(d.data(), d.size(), now, "192.0.2.1", 9995); }
    void Feed(const std::vector<uint8_t>& d) { Feed(mon, d); }
    CMonPort& Port(const char* key)
    {
        CMonPort* port = mon.FindPort(key);
        EXPECT_NE(port, nullptr) << key;
        static CMonPort none("", 0);
        return port ? *port : none;
    }
    int64_t TxPackets(CMonPort& port, const char* ip)
    {
        const tagIpEntry* node = port.FindIp(ip);
        return node ? node->txPackets : -1;
    }
};

// What a collector counted, its port keys made alike, so that the tables of
// one traffic sent in different versions can be compared.
std::string Tables(const CFlowCollector& c)
{
    std::string digest = testdata::Digest(c);
    return std::regex_replace(digest, std::regex("NetFlow V[0-9]+:[0-9.]+:[0-9]+"), "PORT");
}

std::vector<FlowSpec> MixedFlows()
{
    FlowSpec tcp;
    FlowSpec udp;
    udp.protocol = 17;
    udp.sport = 5353;
    udp.dport = 53;
    udp.tos = 0xB8;
    udp.input = 3;
    FlowSpec icmp;
    icmp.protocol = 1;
    icmp.dport = 0x0303;
    icmp.packets = 2;
    icmp.octets = 112;
    FlowSpec broadcast;
    broadcast.dst[0] = 192; broadcast.dst[1] = 0; broadcast.dst[2] = 2; broadcast.dst[3] = 255;
    broadcast.protocol = 17;
    broadcast.output = 65535;
    return {tcp, udp, icmp, broadcast};
}

TEST_F(FlowTemplates, V9AndIpfixRecordsCountAsTheSameV5Flows)
{
    const auto flows = MixedFlows();
    CNFlowMon v5, v9, ipfix;
    for (CNFlowMon* m : {&v5, &v9, &ipfix}) m->SetClock([this] { return now; });
    Feed(v5, NetflowV5(1, flows));
    Feed(v9, NetflowV9(1, 0x80000001u, {FlowSet(0, SpecTemplate(256)), FlowSet(256, SpecRecords(flows))}));
    Feed(ipfix, Ipfix(1, 7, {FlowSet(2, SpecTemplate(300)), FlowSet(300, SpecRecords(flows))}));

    const std::string expected = Tables(v5);
    ASSERT_NE(expected.find("Port Unreachable"), std::string::npos);
    EXPECT_EQ(Tables(v9), expected);
    EXPECT_EQ(Tables(ipfix), expected);
    // Source id and observation domain name the ports, as unsigned numbers.
    EXPECT_NE(v9.FindPort("NetFlow V9:192.0.2.1:2147483649"), nullptr);
    EXPECT_NE(ipfix.FindPort("NetFlow V10:192.0.2.1:7"), nullptr);
    // Interfaces by the v5 rules: the broadcast by its mask, 65535 to every interface.
    CMonPort* port = v9.FindPort("NetFlow V9:192.0.2.1:2147483649");
    ASSERT_NE(port, nullptr);
    port->interfaces.SyncAll();
    EXPECT_EQ(port->interfaces.at(1).current.ifInBroadcastPkts, 10u);
    EXPECT_EQ(port->interfaces.at(3).current.ifOutBroadcastPkts, 10u);
    EXPECT_EQ(port->lastUptime, 5000u);
    EXPECT_EQ(ipfix.ports.begin()->second->lastUptime, 1'700'000'000u * 1000u) << "export time in ms";
    EXPECT_EQ(v9.unknownTemplateSets + ipfix.unknownTemplateSets, 0u);
}

TEST_F(FlowTemplates, DataBeforeItsTemplateIsSkippedAndCounted)
{
    FlowSpec f;
    Feed(NetflowV9(1, 0, {FlowSet(256, SpecRecords({f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 1u);
    EXPECT_TRUE(Port("NetFlow V9:192.0.2.1:0").ips.empty());
    EXPECT_EQ(Port("NetFlow V9:192.0.2.1:0").datagrams, 1u);
    // Data, template, data in one datagram: only the data after the template counts.
    Feed(NetflowV9(2, 0, {FlowSet(257, SpecRecords({f})), FlowSet(0, SpecTemplate(257)),
                          FlowSet(257, SpecRecords({f, f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 2u);
    EXPECT_EQ(TxPackets(Port("NetFlow V9:192.0.2.1:0"), "10.0.0.1"), 20);
    // Templates belong to their source id: another one has not learnt it.
    Feed(NetflowV9(3, 1, {FlowSet(257, SpecRecords({f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 3u);
    Feed(NetflowV9(4, 0, {FlowSet(257, SpecRecords({f}))}));
    EXPECT_EQ(TxPackets(Port("NetFlow V9:192.0.2.1:0"), "10.0.0.1"), 30);
}

TEST_F(FlowTemplates, SetsAreReadInsideTheirOwnLength)
{
    FlowSpec f;
    Bytes records = SpecRecords({f, f});
    // The set's length ends half-way through the second record: that record
    // is padding to the decoder, and the next set starts where the length says.
    Bytes cut;
    cut.u16(256).u16(uint16_t(4 + 36 + 20)).raw(std::vector<uint8_t>(records.data().begin(),
                                                                      records.data().begin() + 56));
    Feed(NetflowV9(1, 0, {FlowSet(0, SpecTemplate(256)), cut, FlowSet(256, SpecRecords({f}))}));
    EXPECT_EQ(TxPackets(Port("NetFlow V9:192.0.2.1:0"), "10.0.0.1"), 20);
    // A set claiming more than the datagram holds ends the datagram.
    Bytes overlong;
    overlong.u16(256).u16(400).raw(SpecRecords({f}).data());
    Feed(NetflowV9(2, 0, {overlong}));
    EXPECT_EQ(TxPackets(Port("NetFlow V9:192.0.2.1:0"), "10.0.0.1"), 20);
}

TEST_F(FlowTemplates, IpfixWithdrawalForgetsTemplates)
{
    FlowSpec f;
    Feed(Ipfix(0, 1, {FlowSet(2, SpecTemplate(256)), FlowSet(2, SpecTemplate(257)), FlowSet(3, [] {
                          Bytes b;
                          b.u16(258).u16(2).u16(1).u16(149).u16(4).u16(34).u16(4);
                          return b;
                      }())}));
    EXPECT_EQ(mon.templates().templateCount(), 3u);
    // Withdraw 256 alone: its data is unknown from then on, 257's is read.
    Bytes withdraw;
    withdraw.u16(256).u16(0);
    Feed(Ipfix(0, 1, {FlowSet(2, withdraw), FlowSet(256, SpecRecords({f})), FlowSet(257, SpecRecords({f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 1u);
    EXPECT_EQ(TxPackets(Port("NetFlow V10:192.0.2.1:1"), "10.0.0.1"), 10);
    // Template id 2 in a template set withdraws every data template, not the options one.
    Bytes all;
    all.u16(2).u16(0);
    Feed(Ipfix(1, 1, {FlowSet(2, all), FlowSet(257, SpecRecords({f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 2u);
    EXPECT_EQ(mon.templates().templateCount(), 1u);
    EXPECT_EQ(TxPackets(Port("NetFlow V10:192.0.2.1:1"), "10.0.0.1"), 10);
}

TEST_F(FlowTemplates, OptionsDataIsReadPastAndNotCounted)
{
    FlowSpec f;
    // v9 options template 300: scope System (1, 4 bytes), option sampling
    // interval (34, 4 bytes); two options records, padded to four bytes.
    Bytes v9Options;
    v9Options.u16(300).u16(4).u16(4).u16(1).u16(4).u16(34).u16(4);
    Bytes v9OptionsData;
    v9OptionsData.u32(0).u32(100).u32(0).u32(100);
    Feed(NetflowV9(1, 0, {FlowSet(1, v9Options), FlowSet(0, SpecTemplate(256)), FlowSet(300, v9OptionsData),
                          FlowSet(256, SpecRecords({f}))}));
    // IPFIX options template 301: one scope field (observation domain, 149),
    // then a variable-length field, with one record of each length form.
    Bytes ipfixOptions;
    ipfixOptions.u16(301).u16(2).u16(1).u16(149).u16(4).u16(341).u16(65535);
    Bytes ipfixOptionsData;
    ipfixOptionsData.u32(1).u8(2).raw({'o', 'k'}).u32(1).u8(255).u16(3).raw({'y', 'e', 's'});
    Feed(Ipfix(0, 1, {FlowSet(3, ipfixOptions), FlowSet(2, SpecTemplate(256)), FlowSet(301, ipfixOptionsData),
                      FlowSet(256, SpecRecords({f}))}));
    EXPECT_EQ(mon.unknownTemplateSets, 0u);
    for (const char* key : {"NetFlow V9:192.0.2.1:0", "NetFlow V10:192.0.2.1:1"}) {
        CMonPort& port = Port(key);
        EXPECT_EQ(port.ips.size(), 2u) << key;
        EXPECT_EQ(TxPackets(port, "10.0.0.1"), 10) << key;
        EXPECT_EQ(port.FindStat(port.ipProtocols, "IP(6)")->packets, 10) << key;
    }
}

TEST_F(FlowTemplates, VariableLengthAndEnterpriseFieldsAreSkippedByTheirLength)
{
    // An enterprise field (bit 15, PEN 29305, 4 bytes), a variable-length
    // application name (96), then addresses, packets and octets.
    Bytes layout;
    layout.u16(400).u16(6).u16(0x8000 | 12).u16(4).u32(29305).u16(96).u16(65535);
    layout.u16(8).u16(4).u16(12).u16(4).u16(2).u16(8).u16(1).u16(8);
    Bytes data;
    // Short form: one length byte.
    data.u32(0xDEADBEEF).u8(3).raw({'w', 'e', 'b'}).ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u64(5).u64(500);
    // Escaped form: 255, then a two-byte length of 300.
    data.u32(0xDEADBEEF).u8(255).u16(300).zeros(300).ipv4(10, 0, 0, 3).ipv4(10, 0, 0, 4).u64(7).u64(700);
    // A record whose variable length runs past the set is not read.
    data.u32(0).u8(200).zeros(30);
    Feed(Ipfix(1, 0, {FlowSet(2, layout), FlowSet(400, data)}));
    CMonPort& port = Port("NetFlow V10:192.0.2.1:0");
    EXPECT_EQ(port.ips.size(), 4u);
    EXPECT_EQ(TxPackets(port, "10.0.0.1"), 5);
    EXPECT_EQ(port.FindIp("10.0.0.4")->rxBytes, 700);
    EXPECT_TRUE(port.interfaces.empty()) << "no interface fields, no interface counters";
    EXPECT_TRUE(port.ipProtocols.empty()) << "no protocol field, no protocol counter";
}

TEST_F(FlowTemplates, RedefinedTemplateReadsLaterDataByTheNewLayout)
{
    Feed(NetflowV9(1, 0, {FlowSet(0, TemplateRecord(256, {{8, 4}, {12, 4}, {2, 4}, {4, 1}}))}));
    Bytes a;
    a.ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u32(3).u8(6);
    Feed(NetflowV9(2, 0, {FlowSet(256, a)}));
    // Same id, another layout: destination first, 8-byte packets, no protocol.
    Feed(NetflowV9(3, 0, {FlowSet(0, TemplateRecord(256, {{12, 4}, {8, 4}, {2, 8}}))}));
    Bytes b;
    b.ipv4(10, 0, 0, 9).ipv4(10, 0, 0, 1).u64(4);
    Feed(NetflowV9(4, 0, {FlowSet(256, b)}));
    CMonPort& port = Port("NetFlow V9:192.0.2.1:0");
    EXPECT_EQ(TxPackets(port, "10.0.0.1"), 7);
    EXPECT_EQ(port.FindIp("10.0.0.9")->rxPackets, 4);
    EXPECT_EQ(port.FindStat(port.ipProtocols, "IP(6)")->packets, 3);
    EXPECT_EQ(mon.templates().templateCount(), 1u);
    // A redefinition that cannot be kept (no bytes per record) drops the old
    // layout too: the next data is unknown, not read by the layout left behind.
    Feed(NetflowV9(5, 0, {FlowSet(0, TemplateRecord(256, {{8, 0}}))}));
    Feed(NetflowV9(6, 0, {FlowSet(256, b)}));
    EXPECT_EQ(mon.unknownTemplateSets, 1u);
    EXPECT_EQ(mon.templates().templateCount(), 0u);
}

TEST_F(FlowTemplates, IcmpTypeAndCodeFallBackToTheDestinationPort)
{
    // pmacct's nfprobe and many routers send no ICMP element: type and code
    // travel in the destination port, as in v5. The element wins where it is.
    Bytes layout = TemplateRecord(256, {{8, 4}, {12, 4}, {2, 4}, {1, 4}, {7, 2}, {11, 2}, {4, 1}});
    Bytes data;
    data.ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u32(2).u32(112).u16(0).u16(0x0303).u8(1);
    Feed(NetflowV9(1, 0, {FlowSet(0, layout), FlowSet(256, data)}));
    Bytes withElement = TemplateRecord(257, {{8, 4}, {12, 4}, {2, 4}, {1, 4}, {11, 2}, {32, 2}, {4, 1}});
    Bytes echo;
    echo.ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u32(1).u32(84).u16(0x0303).u16(0x0800).u8(1);
    Feed(NetflowV9(2, 0, {FlowSet(0, withElement), FlowSet(257, echo)}));
    CMonPort& port = Port("NetFlow V9:192.0.2.1:0");
    ASSERT_EQ(port.icmpTypes.size(), 2u) << Tables(mon);
    const std::string tables = Tables(mon);
    EXPECT_NE(tables.find("Port Unreachable"), std::string::npos) << tables;
    EXPECT_NE(tables.find("Echo"), std::string::npos) << "the element wins over the port";
}

TEST_F(FlowTemplates, TemplatesNoExporterSendsAreRefused)
{
    // v9 has no variable length: a field of 65535 bytes refuses the template,
    // and drops the layout held under its id.
    Feed(NetflowV9(1, 0, {FlowSet(0, SpecTemplate(256))}));
    Feed(NetflowV9(2, 0, {FlowSet(0, TemplateRecord(256, {{8, 4}, {12, 4}, {96, 65535}}))}));
    Bytes v9data;
    v9data.ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u8(3).raw({'w', 'e', 'b'});
    Feed(NetflowV9(3, 0, {FlowSet(256, v9data)}));
    EXPECT_EQ(mon.templates().templateCount(), 0u);
    EXPECT_EQ(mon.unknownTemplateSets, 1u);
    EXPECT_EQ(mon.flowRecords(), 0u);

    // More fields than record bytes: 255 empty fields and one of a byte would
    // make 7,000 records of 256 fields out of one datagram. Refused, so the
    // fields read stay bounded by the datagram's bytes.
    Bytes dense;
    dense.u16(300).u16(256);
    for (int i = 0; i < 255; ++i) dense.u16(uint16_t(100 + i)).u16(0);
    dense.u16(4).u16(1);
    Bytes ones;
    ones.zeros(7000);
    Feed(Ipfix(1, 0, {FlowSet(2, dense), FlowSet(300, ones)}));
    EXPECT_EQ(mon.flowRecords(), 0u);
    EXPECT_EQ(mon.unknownTemplateSets, 2u);
    // As many bytes as fields is what every exporter's layout has at least.
    Bytes sparse;
    sparse.u16(301).u16(256);
    for (int i = 0; i < 255; ++i) sparse.u16(uint16_t(100 + i)).u16(i == 0 ? 255 : 0);
    sparse.u16(4).u16(1);
    Feed(Ipfix(2, 0, {FlowSet(2, sparse), FlowSet(301, ones)}));
    EXPECT_EQ(mon.flowRecords(), 7000u / 256u);
}

TEST(FlowTemplateBounds, TemplatesAreBoundedAndChargedToTheBudget)
{
    tagLimits limits;
    limits.maxTemplatesPerExporter = 2;
    limits.maxFieldsPerTemplate = 12;
    CNFlowMon mon(limits);
    auto feed = [&](const std::vector<uint8_t>& d) { mon.FeedDatagram(d.data(), d.size(), 1, "192.0.2.1", 1); };
    feed(NetflowV9(1, 0, {FlowSet(0, SpecTemplate(256))}));
    uint64_t afterOne = mon.budget().used();
    feed(NetflowV9(2, 0, {FlowSet(0, SpecTemplate(257)), FlowSet(0, SpecTemplate(258))}));
    EXPECT_EQ(mon.templates().templateCount(), 2u);
    EXPECT_EQ(mon.budget().refused(), 1u);
    EXPECT_GT(mon.budget().used(), afterOne);
    // Thirteen fields: over the bound, refused.
    feed(NetflowV9(3, 1, {FlowSet(0, TemplateRecord(256, {{1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4},
                                                          {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}, {1, 4}}))}));
    EXPECT_EQ(mon.budget().refused(), 2u);
    // A record longer than any datagram: never kept.
    feed(NetflowV9(4, 1, {FlowSet(0, TemplateRecord(300, {{1, 9000}}))}));
    EXPECT_EQ(mon.templates().templateCount(), 2u);
    mon.Reset();
    EXPECT_EQ(mon.templates().templateCount(), 0u);
    EXPECT_EQ(mon.budget().used(), 0u);

    // A budget with room for the port but not the template: refused, and its data is unknown.
    CMemoryBudget budget(MiB(16));
    CNFlowMon small;
    small.ShareMemoryBudget(budget);
    auto empty = NetflowV9(1, 0, {});
    small.FeedDatagram(empty.data(), empty.size(), 1, "192.0.2.1", 1);
    budget.SetLimit(budget.used() + 16);
    auto d = NetflowV9(2, 0, {FlowSet(0, SpecTemplate(256)), FlowSet(256, SpecRecords({FlowSpec{}}))});
    small.FeedDatagram(d.data(), d.size(), 1, "192.0.2.1", 1);
    EXPECT_EQ(small.templates().templateCount(), 0u);
    EXPECT_EQ(small.unknownTemplateSets, 1u);
    EXPECT_EQ(small.budget().refused(), 1u);

    // A refused IPFIX port is counted once per datagram.
    tagLimits onePort;
    onePort.maxPorts = 1;
    CNFlowMon full(onePort);
    for (uint32_t domain : {1u, 2u}) {
        auto message = Ipfix(1, domain, {FlowSet(2, SpecTemplate(256))});
        full.FeedDatagram(message.data(), message.size(), 1, "192.0.2.1", 1);
    }
    EXPECT_EQ(full.ports.size(), 1u);
    EXPECT_EQ(full.refusedPorts, 1u);
}

TEST_F(FlowTemplates, RepeatTestFollowsWhatEachSequenceCounts)
{
    FlowSpec f;
    // v9 numbers export packets: the same number twice is the same packet.
    auto v9 = NetflowV9(7, 0, {FlowSet(0, SpecTemplate(256)), FlowSet(256, SpecRecords({f}))});
    Feed(v9);
    Feed(v9);
    EXPECT_EQ(Port("NetFlow V9:192.0.2.1:0").datagrams, 1u);
    EXPECT_EQ(TxPackets(Port("NetFlow V9:192.0.2.1:0"), "10.0.0.1"), 10);
    // IPFIX numbers data records: templates alone and the data after them
    // carry the same number, and both count; the data sent again does not.
    Feed(Ipfix(40, 0, {FlowSet(2, SpecTemplate(256))}));
    auto data = Ipfix(40, 0, {FlowSet(256, SpecRecords({f, f}))});
    Feed(data);
    Feed(data);
    Feed(Ipfix(42, 0, {FlowSet(256, SpecRecords({f}))}));
    CMonPort& port = Port("NetFlow V10:192.0.2.1:0");
    EXPECT_EQ(port.datagrams, 3u);
    EXPECT_EQ(TxPackets(port, "10.0.0.1"), 30);
    EXPECT_EQ(mon.rejectedDatagrams, 2u);
}

TEST_F(FlowTemplates, Ipv6AddressesAndAbsentFieldsAddNothingMadeUp)
{
    // IPv4 and IPv6 addresses in one template, the unused family sent as zeros.
    Bytes layout = TemplateRecord(256, {{8, 4}, {12, 4}, {27, 16}, {28, 16}, {1, 4}, {4, 1}, {10, 2}});
    const uint8_t a[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const uint8_t b[16] = {0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xfb};
    Bytes data;
    data.zeros(8).raw(std::vector<uint8_t>(a, a + 16)).raw(std::vector<uint8_t>(b, b + 16)).u32(1200).u8(17).u16(4);
    data.ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).zeros(32).u32(800).u8(6).u16(4);
    Feed(NetflowV9(1, 0, {FlowSet(0, layout), FlowSet(256, data)}));
    CMonPort& port = Port("NetFlow V9:192.0.2.1:0");
    ASSERT_NE(port.FindIp("2001:db8::1"), nullptr);
    EXPECT_EQ(port.FindIp("2001:db8::1")->txBytes, 1200);
    EXPECT_EQ(port.FindIp("ff02::fb")->rxBytes, 1200);
    EXPECT_EQ(port.FindIp("10.0.0.2")->rxBytes, 800);
    EXPECT_EQ(port.FindIp("::"), nullptr) << "the zero family is not a node";
    // No packet field: packets stay 0; no ports: no service counters; no output: no outbound side.
    EXPECT_EQ(port.FindIp("10.0.0.1")->txPackets, 0);
    EXPECT_TRUE(port.udpServices.empty());
    EXPECT_TRUE(port.tcpServices.empty());
    port.interfaces.SyncAll();
    ASSERT_EQ(port.interfaces.size(), 1u);
    EXPECT_EQ(port.interfaces.at(4).current.ifInMulticastPkts, 0u);
    EXPECT_EQ(port.interfaces.at(4).current.ifInOctets, 2000u);
    EXPECT_EQ(port.interfaces.at(4).current.ifOutOctets, 0u);
}

}  // namespace
}  // namespace ortolan
