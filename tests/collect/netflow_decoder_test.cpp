// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "datagram_builder.h"
#include "local_time.h"
#include "nflow_mon.h"

#include <fstream>
#include <map>
#include <random>

namespace ortolan {
namespace {

using testing::FlowSpec;
using testing::NetflowV1;
using testing::NetflowV5;

bool HasService(const CMonPort& port, const CLabelList& services, const std::string& label)
{
    const uint32_t id = port.labels().Find(label);
    return id != 0 && services.contains(id);
}

class NetflowDecoder : public ::testing::Test {
protected:
    CNFlowMon mon;
    int64_t now = 1'700'000'000;
    void SetUp() override { mon.SetClock([this] { return now; }); }
    void Feed(const std::vector<uint8_t>& d, const char* sender = "192.0.2.1")
    {
        mon.FeedDatagram(d.data(), d.size(), now, sender, 9995);
    }
    const _tagIf_counters& If(const char* key, uint32_t index)
    {
        CMonPort* port = mon.FindPort(key);
        port->interfaces.SyncAll();
        return port->interfaces.at(index).current;
    }
};

TEST_F(NetflowDecoder, FlowAmountsAreAddedUnscaled)
{
    Feed(NetflowV5(1, {FlowSpec{}}));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->FindIp("10.0.0.1")->txPackets, 10);
    EXPECT_EQ(port->FindIp("10.0.0.1")->txBytes, 15000);
    EXPECT_EQ(port->FindIp("10.1.2.3")->rxPackets, 10);
    EXPECT_EQ(port->FindPair("10.0.0.1", "10.1.2.3")->bytesAtoB, 15000);
    EXPECT_EQ(port->FindStat(port->ipProtocols, "IP(6)")->packets, 10);
    EXPECT_EQ(port->FindStat(port->tcpServices, "TCP(80)")->bytes, 15000);
    EXPECT_TRUE(port->macs.empty());
    EXPECT_EQ(port->sampleCount, 0);
    EXPECT_TRUE(port->FindIp("10.0.0.1")->macs.empty());
    EXPECT_EQ(port->lastSequence, 1u);
    EXPECT_EQ(port->lastUptime, 5000u);
    EXPECT_EQ(port->interfaces.counterUptime(), 5000u);
}

// One set of name tables labels both collectors: a table loaded anew renames
// what each of them counts from its next datagram on, though both had already
// formed and cached the old label.
TEST(SharedNameTables, ALoadRenamesWhatBothCollectorsCountNext)
{
    CNameTables names;
    CNFlowMon first(names);
    CNFlowMon second(names);
    auto feed = [](CNFlowMon& mon, uint32_t sequence) {
        auto d = NetflowV5(sequence, {FlowSpec{}});
        mon.FeedDatagram(d.data(), d.size(), 1'700'000'000, "192.0.2.1", 9995);
    };
    feed(first, 1);
    feed(second, 1);
    std::string table = ::testing::TempDir() + "/shared_names_port.txt";
    std::ofstream(table) << "http\t80/tcp\n";
    ASSERT_TRUE(names.LoadPortTable(table));
    feed(first, 2);
    feed(second, 2);
    for (CNFlowMon* mon : {&first, &second}) {
        CMonPort* port = mon->FindPort("NetFlow V5:192.0.2.1:0");
        ASSERT_NE(port, nullptr);
        ASSERT_NE(port->FindStat(port->tcpServices, "TCP(80)"), nullptr);
        ASSERT_NE(port->FindStat(port->tcpServices, "http"), nullptr);
        EXPECT_EQ(port->FindStat(port->tcpServices, "TCP(80)")->bytes, 15000);
        EXPECT_EQ(port->FindStat(port->tcpServices, "http")->bytes, 15000);
    }
}

TEST_F(NetflowDecoder, RepeatedSequenceChangesOnlyTheDatagramCount)
{
    Feed(NetflowV5(9, {FlowSpec{}}));
    Feed(NetflowV5(9, {FlowSpec{}}));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
    EXPECT_EQ(port->datagrams, 1u);
    EXPECT_EQ(port->FindIp("10.0.0.1")->txPackets, 10);
    EXPECT_EQ(mon.datagramCount, 2u);
}

TEST_F(NetflowDecoder, EngineIdNamesThePortAndVersion1IsAlwaysZero)
{
    Feed(NetflowV5(1, {FlowSpec{}}, 3));
    Feed(NetflowV5(2, {FlowSpec{}}, 3));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:3");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->subAgentId, 3);
    EXPECT_EQ(port->datagrams, 2u);
    Feed(NetflowV1({FlowSpec{}}));
    EXPECT_NE(mon.FindPort("NetFlow V1:192.0.2.1:0"), nullptr);
}

TEST_F(NetflowDecoder, InterleavedExportersLandInTheirOwnPorts)
{
    // 300 exporters in turn across two /24s, each with its own flows: every
    // datagram must reach its exporter's port, never the one before it.
    constexpr int kExporters = 300;
    for (uint32_t round = 1; round <= 2; ++round)
        for (int i = 0; i < kExporters; ++i) {
            FlowSpec flow;
            flow.src[2] = uint8_t(i >> 8);
            flow.src[3] = uint8_t(i);
            flow.packets = uint32_t(i + 1);
            const std::string sender = "127.0." + std::to_string(1 + i / 255) + "." + std::to_string(1 + i % 255);
            Feed(NetflowV5(round, {flow}, uint8_t(i % 3)), sender.c_str());
        }
    ASSERT_EQ(mon.ports.size(), size_t(kExporters));
    EXPECT_EQ(mon.agents.size(), size_t(kExporters));
    for (int i = 0; i < kExporters; ++i) {
        const std::string agent = "127.0." + std::to_string(1 + i / 255) + "." + std::to_string(1 + i % 255);
        CMonPort* port = mon.FindPort("NetFlow V5:" + agent + ":" + std::to_string(i % 3));
        ASSERT_NE(port, nullptr) << agent;
        EXPECT_EQ(port->datagrams, 2u);
        EXPECT_EQ(port->ips.size(), 2u) << agent;
        const std::string source = "10.0." + std::to_string(i >> 8) + "." + std::to_string(i & 255);
        ASSERT_NE(port->FindIp(source), nullptr) << agent;
        EXPECT_EQ(port->FindIp(source)->txPackets, 2 * (i + 1));
    }
    // In the byte order of the key texts: ':' sorts after the digits.
    EXPECT_EQ(mon.ports.begin()->first, "NetFlow V5:127.0.1.100:0");
    EXPECT_EQ(std::next(mon.ports.begin())->first, "NetFlow V5:127.0.1.101:1");
}

TEST_F(NetflowDecoder, UnknownVersionIsCountedAndIgnored)
{
    testing::Bytes v7;
    v7.u16(7).u16(0).zeros(16);
    Feed(v7);
    EXPECT_TRUE(mon.ports.empty());
    EXPECT_TRUE(mon.agents.empty());
    EXPECT_EQ(mon.datagramCount, 1u);
}

TEST_F(NetflowDecoder, Version1ClassfulTrafficClasses)
{
    auto flow = [](uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t input) {
        FlowSpec f;
        f.dst[0] = a; f.dst[1] = b; f.dst[2] = c; f.dst[3] = d;
        f.input = input;
        f.packets = 1;
        return f;
    };
    Feed(NetflowV1({flow(10, 255, 255, 255, 1), flow(10, 1, 2, 3, 2), flow(224, 0, 0, 5, 3),
                    flow(255, 255, 255, 255, 4)}));
    const char* key = "NetFlow V1:192.0.2.1:0";
    EXPECT_EQ(If(key, 1).ifInBroadcastPkts, 1u);
    EXPECT_EQ(If(key, 2).ifInUcastPkts, 1u);
    EXPECT_EQ(If(key, 3).ifInMulticastPkts, 1u);
    EXPECT_EQ(If(key, 4).ifInBroadcastPkts, 1u);
    EXPECT_EQ(CNFlowMon::MaskText(CNFlowMon::ClassfulMask(0x0AFFFFFF)), "255.0.0.0");
    EXPECT_EQ(CNFlowMon::MaskText(CNFlowMon::ClassfulMask(0xAC100001)), "255.255.0.0");
    EXPECT_EQ(CNFlowMon::MaskText(CNFlowMon::ClassfulMask(0xC0000201)), "255.255.255.0");
    EXPECT_EQ(CNFlowMon::MaskText(CNFlowMon::ClassfulMask(0xE0000005)), "0.0.0.0");
}

TEST_F(NetflowDecoder, Version5PrefixMaskDecidesBroadcast)
{
    FlowSpec f;
    f.dst[0] = 192; f.dst[1] = 0; f.dst[2] = 2; f.dst[3] = 255;
    f.dstMask = 24;
    f.input = 1;
    Feed(NetflowV5(1, {f}));
    f.dstMask = 16;
    f.input = 2;
    Feed(NetflowV5(2, {f}));
    const char* key = "NetFlow V5:192.0.2.1:0";
    EXPECT_EQ(If(key, 1).ifInBroadcastPkts, 10u);
    EXPECT_EQ(If(key, 2).ifInUcastPkts, 10u);
    EXPECT_EQ(CNFlowMon::PrefixMask(0), 0u);
    EXPECT_EQ(CNFlowMon::PrefixMask(33), 0xFFFFFFFFu);
    EXPECT_EQ(CNFlowMon::MaskText(CNFlowMon::PrefixMask(20)), "255.255.240.0");
}

TEST_F(NetflowDecoder, OutputAllInterfacesAddsTheOutboundSideToEvery)
{
    FlowSpec a;
    a.input = 1;
    a.output = 2;
    FlowSpec b;
    b.input = 3;
    b.output = 65535;
    b.packets = 4;
    b.octets = 400;
    Feed(NetflowV5(1, {a, b}));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
    ASSERT_EQ(port->interfaces.size(), 3u) << "65535 itself gets no interface";
    EXPECT_EQ(If("NetFlow V5:192.0.2.1:0", 1).ifOutUcastPkts, 4u);
    EXPECT_EQ(If("NetFlow V5:192.0.2.1:0", 2).ifOutUcastPkts, 14u);
    EXPECT_EQ(If("NetFlow V5:192.0.2.1:0", 3).ifOutOctets, 400u);
    EXPECT_EQ(If("NetFlow V5:192.0.2.1:0", 3).ifInOctets, 400u);
    EXPECT_EQ(If("NetFlow V5:192.0.2.1:0", 2).sampleTime, now);
}

TEST_F(NetflowDecoder, IcmpTypeAndCodeFromTheDestinationPort)
{
    FlowSpec f;
    f.protocol = 1;
    f.dport = 0x0303;
    FlowSpec g = f;
    g.dport = 0x0302;
    Feed(NetflowV5(1, {f, g}));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
    EXPECT_EQ(port->FindStat(port->icmpTypes, "Port Unreachable")->packets, 10);
    EXPECT_EQ(port->FindStat(port->icmpTypes, "Destination Unreachable(2)")->packets, 10);
    EXPECT_TRUE(HasService(*port, port->FindIp("10.0.0.1")->services, "Port Unreachable/icmp"));
    EXPECT_EQ(port->FindIp("10.0.0.1")->services.size(), 1u);
}

TEST_F(NetflowDecoder, TosZeroLeavesTheTosTable)
{
    FlowSpec f;
    Feed(NetflowV5(1, {f}));
    CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
    EXPECT_TRUE(port->tosTable.empty());
    f.tos = 0x20;
    Feed(NetflowV5(2, {f}));
    EXPECT_EQ(port->tosTable.at(TosKey{*CIpAddress::Parse("10.0.0.1"), 32}).bytes, 15000);
}

TEST_F(NetflowDecoder, HistoryStartsAtTheFirstFlowAndKeepsAWeek)
{
    FlowSpec f;
    f.output = 65535;
    int64_t start = now;
    for (int hour = 0; hour < 200; ++hour) {
        now = start + hour * 3600;
        Feed(NetflowV5(uint32_t(hour + 1), {f}));
    }
    const auto& history = mon.FindPort("NetFlow V5:192.0.2.1:0")->interfaces.at(1).history;
    EXPECT_EQ(history.size(), kHistoryHours);
    EXPECT_EQ(history.back().ifInUcastPkts, 200u * 10);
}

TEST_F(NetflowDecoder, InterfacePacketSumsPassTwoToThe32)
{
    // 90 records of 0xFFFFFFFF packets, in and out (one to every interface).
    FlowSpec f;
    f.packets = 0xFFFFFFFFu;
    f.input = 1;
    f.output = 2;
    FlowSpec all = f;
    all.output = 65535;
    for (uint32_t d = 0; d < 3; ++d) {
        std::vector<FlowSpec> flows(30, d == 2 ? all : f);
        Feed(NetflowV5(d + 1, flows));
    }
    const uint64_t ninety = 90ull * 0xFFFFFFFFu;
    const char* key = "NetFlow V5:192.0.2.1:0";
    EXPECT_EQ(If(key, 1).ifInUcastPkts, ninety);
    EXPECT_EQ(If(key, 2).ifOutUcastPkts, ninety);
    EXPECT_EQ(If(key, 1).ifOutUcastPkts, 30ull * 0xFFFFFFFFu);
    EXPECT_EQ(mon.FindPort(key)->interfaces.InSum(CounterSet::Current, InboundFigure::Packets), double(ninety));
}

TEST_F(NetflowDecoder, InterfaceSamplesCarryTheDatagramTimeInAReplay)
{
    // Replayed a day late: the clock says now, the datagrams were received a day before.
    const int64_t received = now - 86400;
    FlowSpec f;
    FlowSpec all = f;
    all.output = 65535;
    for (int hour = 0; hour < 3; ++hour) {
        std::vector<uint8_t> d = NetflowV5(uint32_t(hour + 1), {f, all});
        mon.FeedDatagram(d.data(), d.size(), received + hour * 3600, "192.0.2.1", 9995);
    }
    const tagIfCounter& ifc = mon.FindPort("NetFlow V5:192.0.2.1:0")->interfaces.at(2);
    EXPECT_EQ(ifc.current.sampleTime, received + 2 * 3600);
    ASSERT_EQ(ifc.history.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(ifc.history[i].sampleTime, received + int64_t(i) * 3600);
}

// The interface rule written plainly: a record to every interface (65535) is
// added to each, with its history step, one by one.
struct tagPlainInterfaces {
    std::map<uint32_t, tagIfCounter> interfaces;

    void Add(uint16_t input, uint16_t output, uint32_t packets, uint32_t bytes, uint32_t uptime,
             int64_t time)
    {
        int32_t hour = LocalHour(time);
        auto step = [&](tagIfCounter& ifc) {
            if (hour != ifc.hourStamp) {
                ifc.history.push_back(ifc.current);
                ifc.hourStamp = hour;
            }
            while (ifc.history.size() > kHistoryHours) ifc.history.pop_front();
        };
        auto side = [&](uint16_t index) -> tagIfCounter& {
            auto [it, created] = interfaces.try_emplace(index);
            if (created) it->second.hourStamp = hour - 1;
            return it->second;
        };
        tagIfCounter& in = side(input);
        in.current.ifIndex = input;
        in.current.ifInUcastPkts += packets;
        in.current.ifInOctets += bytes;
        in.current.sampleTime = time;
        in.current.agentUptime = uptime;
        step(in);
        auto out = [&](tagIfCounter& ifc) {
            ifc.current.ifOutUcastPkts += packets;
            ifc.current.ifOutOctets += bytes;
            ifc.current.sampleTime = time;
            ifc.current.agentUptime = uptime;
            step(ifc);
        };
        if (output != 65535) {
            side(output).current.ifIndex = output;
            out(interfaces.at(output));
        } else {
            for (auto& [index, ifc] : interfaces) out(ifc);
        }
    }
};

void ExpectSameCounters(const _tagIf_counters& a, const _tagIf_counters& b)
{
    EXPECT_EQ(a.ifIndex, b.ifIndex);
    EXPECT_EQ(a.ifInOctets, b.ifInOctets);
    EXPECT_EQ(a.ifInUcastPkts, b.ifInUcastPkts);
    EXPECT_EQ(a.ifOutOctets, b.ifOutOctets);
    EXPECT_EQ(a.ifOutUcastPkts, b.ifOutUcastPkts);
    EXPECT_EQ(a.sampleTime, b.sampleTime);
    EXPECT_EQ(a.agentUptime, b.agentUptime);
}

TEST_F(NetflowDecoder, AllInterfacesRecordsShowAsIfAddedToEachInterface)
{
    // Random flows over a dozen interfaces, a third of them to every interface,
    // over hours that mostly advance, sometimes stay and sometimes go back (a
    // replay of several logs): every interface's figures and history match the
    // plain rule after every datagram, and the interface list is the same.
    tagPlainInterfaces plain;
    std::mt19937 random(13);
    int64_t time = now;
    for (uint32_t d = 1; d <= 400; ++d) {
        uint32_t r = uint32_t(random());
        if (r % 5 == 0) time += 3600;
        else if (r % 4 == 0) time -= 3600 * int64_t(1 + r / 8 % 2);
        else time += 7;
        std::vector<FlowSpec> flows;
        for (int i = 0; i < 3; ++i) {
            FlowSpec f;
            f.input = uint16_t(1 + random() % 12);
            f.output = random() % 3 == 0 ? 65535 : uint16_t(1 + random() % 12);
            f.packets = uint32_t(1 + random() % 100);
            f.octets = f.packets * 100;
            flows.push_back(f);
            plain.Add(f.input, f.output, f.packets, f.octets, 5000 + d, time);
        }
        std::vector<uint8_t> bytes = NetflowV5(d, flows, 0, -1, 5000 + d);
        mon.FeedDatagram(bytes.data(), bytes.size(), time, "192.0.2.1", 9995);
        CMonPort* port = mon.FindPort("NetFlow V5:192.0.2.1:0");
        port->interfaces.SyncAll();
        ASSERT_EQ(port->interfaces.size(), plain.interfaces.size());
        for (const auto& [index, expected] : plain.interfaces) {
            SCOPED_TRACE(::testing::Message() << "datagram " << d << " interface " << index);
            const tagIfCounter& got = port->interfaces.at(index);
            ExpectSameCounters(got.current, expected.current);
            EXPECT_EQ(got.hourStamp, expected.hourStamp);
            ASSERT_EQ(got.history.size(), expected.history.size());
            for (size_t h = 0; h < got.history.size(); ++h) ExpectSameCounters(got.history[h], expected.history[h]);
        }
        if (HasFailure()) return;
    }
}

TEST_F(NetflowDecoder, CountBeyondTheRecordsPresentDecodesTheWholeOnes)
{
    auto d = NetflowV5(1, {FlowSpec{}, FlowSpec{}}, 0, 30);
    d.resize(d.size() - 10);  // the second record is cut
    Feed(d);
    EXPECT_EQ(mon.FindPort("NetFlow V5:192.0.2.1:0")->FindIp("10.0.0.1")->txPackets, 10);
}

}  // namespace
}  // namespace ortolan
