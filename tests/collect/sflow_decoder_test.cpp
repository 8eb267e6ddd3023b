// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "datagram_builder.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using testing::Bytes;
using testing::CounterSampleV5;
using testing::EthernetIpv4Frame;
using testing::FlowSampleV5;
using testing::FrameSpec;
using testing::IfCounters;
using testing::RawHeaderRecordV5;
using testing::SflowV5Header;

class SflowDecoder : public ::testing::Test {
protected:
    CSFlowMon mon;
    int64_t now = 1'700'000'000;
    void SetUp() override { mon.SetClock([this] { return now; }); }
    void Feed(const std::vector<uint8_t>& d, const char* sender = "192.0.2.50")
    {
        mon.FeedDatagram(d.data(), d.size(), now, sender, 6343);
    }
    CMonPort* Port(const std::string& key) { return mon.FindPort(key); }
};

std::vector<uint8_t> OneFlowDatagram(uint32_t sequence, uint32_t subAgent = 0)
{
    Bytes d = SflowV5Header(sequence, 1, subAgent);
    d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 1514)}));
    return d.data();
}

TEST_F(SflowDecoder, FlowSampleFillsThePortOfTheAgent)
{
    Feed(OneFlowDatagram(1));
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->datagrams, 1u);
    EXPECT_EQ(port->sampleCount, 1);
    EXPECT_EQ(port->sampledBytes, 1514);
    EXPECT_EQ(port->lastSequence, 1u);
    EXPECT_EQ(port->lastUptime, 1000u);
    EXPECT_EQ(port->lastReceived, now);
    EXPECT_EQ(port->macs.size(), 2u);
    EXPECT_EQ(port->ips.size(), 2u);
    EXPECT_EQ(port->sizeClasses[6].packets, 1);
    EXPECT_EQ(mon.agents.count("10.0.0.1"), 1u);
    EXPECT_EQ(mon.datagramCount, 1u);
}

TEST_F(SflowDecoder, RepeatedSequenceIsDropped)
{
    Feed(OneFlowDatagram(7));
    Feed(OneFlowDatagram(7));
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    EXPECT_EQ(port->datagrams, 1u);
    EXPECT_EQ(port->sampleCount, 1);
    EXPECT_EQ(mon.datagramCount, 2u);
    EXPECT_EQ(mon.rejectedDatagrams, 1u);
    Feed(OneFlowDatagram(8));
    EXPECT_EQ(port->sampleCount, 2);
}

TEST_F(SflowDecoder, UnsupportedVersionsChangeNothing)
{
    for (uint32_t version : {3u, 6u}) {
        Bytes d;
        d.u32(version).u32(1).ipv4(10, 0, 0, 1).u32(1).u32(1).u32(0);
        Feed(d);
    }
    EXPECT_TRUE(mon.ports.empty());
    EXPECT_TRUE(mon.agents.empty());
}

TEST_F(SflowDecoder, LoopbackOrUnknownAgentAddressTakesTheSender)
{
    Feed(SflowV5Header(1, 0, 0, {127, 0, 0, 1}).data());
    Bytes odd;
    odd.u32(5).u32(9).u32(0).u32(2).u32(1000).u32(0);  // address type 9
    Feed(odd);
    EXPECT_NE(Port("sFlow V5:192.0.2.50:0"), nullptr);
    EXPECT_EQ(mon.ports.size(), 1u);
    EXPECT_EQ(mon.agents.count("192.0.2.50"), 1u);
}

TEST_F(SflowDecoder, IPv6AgentIsSixteenHexGroups)
{
    Bytes d;
    d.u32(5).u32(2).raw({0x20, 0x01, 0x0d, 0xb8}).zeros(11).u8(1).u32(0).u32(1).u32(1).u32(0);
    Feed(d);
    EXPECT_NE(Port("sFlow V5:20:01:0D:B8:00:00:00:00:00:00:00:00:00:00:00:01:0"), nullptr);
}

TEST_F(SflowDecoder, SubAgentsAndVersionsGetPortsOfTheirOwn)
{
    Feed(OneFlowDatagram(1, 0));
    Feed(OneFlowDatagram(1, 1));
    Bytes v4;
    v4.u32(4).u32(1).ipv4(10, 0, 0, 1).u32(1).u32(1000).u32(0);
    Feed(v4);
    EXPECT_NE(Port("sFlow V5:10.0.0.1:0"), nullptr);
    EXPECT_NE(Port("sFlow V5:10.0.0.1:1"), nullptr);
    EXPECT_NE(Port("sFlow V4:10.0.0.1:0"), nullptr);
    EXPECT_EQ(mon.agents.size(), 1u);
}

TEST_F(SflowDecoder, InterleavedAgentsLandInTheirOwnPorts)
{
    // Many agents in turn, as a real network sends them: no datagram follows
    // one of its own agent, so each is found by its key alone.
    constexpr int kAgents = 40;
    constexpr uint32_t kRounds = 3;
    for (uint32_t round = 1; round <= kRounds; ++round)
        for (int i = 0; i < kAgents; ++i) {
            Bytes d = SflowV5Header(round * 100 + uint32_t(i), 1, uint32_t(i % 2), {10, 0, 0, uint8_t(i)});
            d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 100 + uint32_t(i))}));
            Feed(d.data());
        }
    ASSERT_EQ(mon.ports.size(), size_t(kAgents));
    EXPECT_EQ(mon.agents.size(), size_t(kAgents));
    for (int i = 0; i < kAgents; ++i) {
        const std::string agent = "10.0.0." + std::to_string(i);
        CMonPort* port = Port("sFlow V5:" + agent + ":" + std::to_string(i % 2));
        ASSERT_NE(port, nullptr) << agent;
        EXPECT_EQ(port, mon.FindPort(agent, i % 2));
        EXPECT_EQ(port->agent, agent);
        EXPECT_EQ(port->datagrams, kRounds);
        EXPECT_EQ(port->lastSequence, kRounds * 100 + uint32_t(i));
        EXPECT_EQ(port->sampledBytes, int64_t(kRounds) * (100 + i));
    }
    // Lists and reports walk the ports in the byte order of their key texts,
    // not of their addresses.
    EXPECT_EQ(mon.ports.begin()->first, "sFlow V5:10.0.0.0:0");
    EXPECT_EQ(std::next(mon.ports.begin())->first, "sFlow V5:10.0.0.10:0");
    EXPECT_EQ(std::next(mon.ports.begin(), 2)->first, "sFlow V5:10.0.0.11:1");
    EXPECT_EQ(*mon.agents.begin(), "10.0.0.0");
}

TEST_F(SflowDecoder, AnAgentIsOnePortWhetherNamedByBytesOrBySender)
{
    // An IPv6 agent, and a loopback agent whose sender text spells the same
    // sixteen groups: one key text, so one port.
    Bytes v6;
    v6.u32(5).u32(2).raw({0x20, 0x01, 0x0d, 0xb8}).zeros(11).u8(1).u32(0).u32(1).u32(1).u32(0);
    Feed(v6);
    Feed(SflowV5Header(2, 0, 0, {127, 0, 0, 1}).data(), "20:01:0D:B8:00:00:00:00:00:00:00:00:00:00:00:01");
    // An IPv4 sender and the same agent in the datagram, likewise.
    Feed(SflowV5Header(1, 0).data(), "10.0.0.1");
    Feed(SflowV5Header(2, 0, 0, {127, 0, 0, 1}).data(), "10.0.0.1");
    // Texts that are no address in the agent's own form each keep a port of
    // their own, and are found again in turn.
    for (uint32_t sequence = 1; sequence <= 2; ++sequence)
        for (const char* sender : {"exporter-a", "exporter-b", "", "010.0.0.1", "20:01:0d:b8"})
            Feed(SflowV5Header(sequence, 0, 0, {127, 0, 0, 1}).data(), sender);
    CMonPort* v6Port = Port("sFlow V5:20:01:0D:B8:00:00:00:00:00:00:00:00:00:00:00:01:0");
    ASSERT_NE(v6Port, nullptr);
    EXPECT_EQ(v6Port->datagrams, 2u);
    EXPECT_EQ(Port("sFlow V5:10.0.0.1:0")->datagrams, 2u);
    for (const char* key : {"sFlow V5:exporter-a:0", "sFlow V5:exporter-b:0", "sFlow V5::0", "sFlow V5:010.0.0.1:0",
                            "sFlow V5:20:01:0d:b8:0"}) {
        ASSERT_NE(Port(key), nullptr) << key;
        EXPECT_EQ(Port(key)->datagrams, 2u) << key;
    }
    EXPECT_EQ(mon.ports.size(), 7u);
    EXPECT_EQ(mon.agents.size(), 7u);
    EXPECT_EQ(mon.FindPort("exporter-c", 0), nullptr);
    // Texts so long that their keys are cut alike share one port, in turn.
    const std::string longA(200, 'a'), longB = std::string(199, 'a') + "b";
    for (uint32_t sequence = 1; sequence <= 2; ++sequence)
        for (const std::string& sender : {longA, longB})
            Feed(SflowV5Header(sequence * 2 + (sender == longB), 0, 0, {127, 0, 0, 1}).data(), sender.c_str());
    EXPECT_EQ(mon.ports.size(), 8u);
    EXPECT_EQ(mon.FindPort(longA, 0), mon.FindPort(longB, 0));
    ASSERT_NE(mon.FindPort(longA, 0), nullptr);
    EXPECT_EQ(mon.FindPort(longA, 0)->datagrams, 4u);
}

TEST_F(SflowDecoder, EnterpriseSamplesAreSkippedByTheirLength)
{
    Bytes d = SflowV5Header(1, 2);
    d.u32((4300u << 12) | 1).u32(12).u32(1).u32(2).u32(3);
    d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 100)}));
    Feed(d);
    EXPECT_EQ(Port("sFlow V5:10.0.0.1:0")->sampleCount, 1);
}

TEST_F(SflowDecoder, ExpandedFormsDecodeLikeCompactOnes)
{
    Bytes d = SflowV5Header(1, 2);
    d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 100)}, true));
    IfCounters c;
    c.ifIndex = 70000;  // expanded form carries full 32-bit indexes
    c.inOctets = 5000;
    d.raw(CounterSampleV5(c, true));
    Feed(d);
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    EXPECT_EQ(port->sampleCount, 1);
    ASSERT_EQ(port->interfaces.count(70000), 1u);
    EXPECT_EQ(port->interfaces.at(70000).current.ifInOctets, 5000u);
}

TEST_F(SflowDecoder, FlowRecordCountsOutsideOneToThousandEndTheDatagram)
{
    for (int32_t count : {0, 1001}) {
        CSFlowMon m;
        Bytes d = SflowV5Header(1, 2);
        d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 100)}, false, count));
        d.raw(CounterSampleV5({}));
        m.FeedDatagram(d.data().data(), d.size(), now, "192.0.2.50", 6343);
        CMonPort* port = m.FindPort("sFlow V5:10.0.0.1:0");
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(port->sampleCount, 0) << count;
        EXPECT_TRUE(port->interfaces.empty()) << "the next sample is not reached";
        EXPECT_EQ(port->datagrams, 1u) << "the datagram itself was accepted";
    }
}

TEST_F(SflowDecoder, OtherFlowRecordsAreSkipped)
{
    Bytes extSwitch;
    extSwitch.u32(1001).u32(16).u32(10).u32(0).u32(20).u32(0);
    Feed(Bytes(SflowV5Header(1, 1))
             .raw(FlowSampleV5({extSwitch.data(), RawHeaderRecordV5(EthernetIpv4Frame({}), 60)}))
             .data());
    EXPECT_EQ(Port("sFlow V5:10.0.0.1:0")->sampleCount, 1);
}

TEST_F(SflowDecoder, Ipv4HeaderProtocolSkipsTheEthernetLayer)
{
    auto frame = EthernetIpv4Frame({});
    std::vector<uint8_t> ip(frame.begin() + 14, frame.end());
    Feed(Bytes(SflowV5Header(1, 1)).raw(FlowSampleV5({RawHeaderRecordV5(ip, 600, 11)})).data());
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    EXPECT_EQ(port->ips.size(), 2u);
    EXPECT_TRUE(port->ethernetTypes.empty());
    EXPECT_TRUE(port->macs.empty());
    for (const auto& c : port->sizeClasses) EXPECT_EQ(c.packets, 0);
}

TEST_F(SflowDecoder, RawIpv4HeaderOfAnotherVersionOrTooShortCountsNoIpLayer)
{
    auto frame = EthernetIpv4Frame({});
    std::vector<uint8_t> ip(frame.begin() + 14, frame.end());
    ip[0] = 0x44;  // four words: the "ports" would be read from the addresses
    std::vector<uint8_t> v6 = ip;
    v6[0] = 0x65;  // a version-6 nibble in an IPv4 sample
    Bytes d = SflowV5Header(1, 2);
    d.raw(FlowSampleV5({RawHeaderRecordV5(ip, 600, 11)}));
    d.raw(FlowSampleV5({RawHeaderRecordV5(v6, 600, 11)}));
    Feed(d);
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->sampleCount, 2);
    EXPECT_TRUE(port->ips.empty());
    EXPECT_TRUE(port->ipProtocols.empty());
    EXPECT_TRUE(port->tcpServices.empty());
}

TEST_F(SflowDecoder, ArpSourceMacDoesNotMarkTheNextAgentsRawIpNode)
{
    Bytes arp;
    arp.raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0, 0, 1}).u16(0x0806).zeros(28);
    Feed(Bytes(SflowV5Header(1, 1)).raw(FlowSampleV5({RawHeaderRecordV5(arp.data(), 64)})).data());
    auto frame = EthernetIpv4Frame({});
    std::vector<uint8_t> ip(frame.begin() + 14, frame.end());
    Feed(Bytes(SflowV5Header(1, 1, 0, {10, 0, 0, 2})).raw(FlowSampleV5({RawHeaderRecordV5(ip, 600, 11)})).data());
    CMonPort* port = Port("sFlow V5:10.0.0.2:0");
    ASSERT_NE(port, nullptr);
    const tagIpEntry* node = port->FindIp("192.168.0.2");
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->macs.empty()) << "the other agent's ARP source MAC leaked into this node";
}

TEST_F(SflowDecoder, SpoofedFrameLengthsSaturateTheByteSums)
{
    // Frame lengths of 0xFFFFFFFF bring the sums to the top of their range in
    // minutes; from there they stay, rather than overflow.
    Feed(Bytes(SflowV5Header(1, 1)).raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 60)})).data());
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    port->sampledBytes = INT64_MAX - 10;
    port->sizeClasses.back().bytes = INT64_MAX - 10;
    Bytes d = SflowV5Header(2, 2);
    for (int i = 0; i < 2; ++i) d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 0xFFFFFFFF)}));
    Feed(d);
    EXPECT_EQ(port->sampleCount, 3);
    EXPECT_EQ(port->sampledBytes, INT64_MAX);
    EXPECT_EQ(port->sizeClasses.back().packets, 2);
    EXPECT_EQ(port->sizeClasses.back().bytes, INT64_MAX);
}

TEST_F(SflowDecoder, UnknownHeaderProtocolCountsTheSampleThenEnds)
{
    Bytes d = SflowV5Header(1, 2);
    d.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 700, 2)}));
    d.raw(CounterSampleV5({}));
    Feed(d);
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    EXPECT_EQ(port->sampleCount, 1);
    EXPECT_EQ(port->sampledBytes, 700);
    EXPECT_TRUE(port->ips.empty());
    EXPECT_TRUE(port->interfaces.empty());
}

TEST_F(SflowDecoder, CounterSampleUpdatesTheInterface)
{
    IfCounters c;
    c.inOctets = 123456789012ull;
    c.inUcast = 100;
    c.inMulticast = 20;
    c.inBroadcast = 3;
    Feed(Bytes(SflowV5Header(1, 1, 0, {10, 0, 0, 1}, 777)).raw(CounterSampleV5(c)).data());
    CMonPort* port = Port("sFlow V5:10.0.0.1:0");
    ASSERT_EQ(port->interfaces.size(), 1u);
    const auto& cur = port->interfaces.at(3).current;
    EXPECT_EQ(cur.ifInOctets, 123456789012ull);
    EXPECT_EQ(cur.ifSpeed, 1000000000u);
    EXPECT_EQ(cur.agentUptime, 777u);
    EXPECT_EQ(cur.sampleTime, now);
    EXPECT_EQ(port->interfaces.counterUptime(), 777u);
    EXPECT_DOUBLE_EQ(port->interfaces.InSum(CounterSet::Current, InboundFigure::Packets), 123);
    EXPECT_EQ(mon.CountInterfaces(), 1u);
}

// Version 2/4: one packet header per flow sample, typed samples, extended items without lengths.
Bytes V4Header(uint32_t sequence, uint32_t samples)
{
    Bytes d;
    d.u32(4).u32(1).ipv4(10, 0, 0, 1).u32(sequence).u32(1000).u32(samples);
    return d;
}

Bytes V4FlowSample(const std::vector<uint8_t>& header, uint32_t frameLength)
{
    Bytes s;
    s.u32(1).u32(1).u32(3).u32(400).u32(1000).u32(0).u32(1).u32(2).u32(1);
    s.u32(1).u32(frameLength).opaque(header);
    // switch, router, gateway (one segment of two AS numbers, one community), user, URL
    s.u32(5);
    s.u32(1).u32(10).u32(0).u32(20).u32(0);
    s.u32(2).u32(1).ipv4(10, 0, 0, 254).u32(24).u32(24);
    s.u32(3).u32(1).u32(2).u32(3).u32(1).u32(2).u32(2).u32(65000).u32(65001).u32(1).u32(7).u32(100);
    s.u32(4).opaque({'a', 'l', 'i'}).opaque({'b', 'o', 'b', '!', '!'});
    s.u32(5).u32(1).opaque({'/', 'x'});
    return s;
}

TEST_F(SflowDecoder, Version4FlowSampleWithEveryExtendedItem)
{
    Bytes d = V4Header(1, 2);
    d.raw(V4FlowSample(EthernetIpv4Frame({}), 1000).data());
    d.raw(V4FlowSample(EthernetIpv4Frame({}), 64).data());
    Feed(d);
    CMonPort* port = Port("sFlow V4:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->sampleCount, 2) << "the second sample is reached past all extended items";
    EXPECT_EQ(port->sampledBytes, 1064);
}

TEST_F(SflowDecoder, Version4CounterTypes)
{
    // type 3 token ring moves past 160 bytes and updates nothing; type 2 Ethernet reads generic + 52.
    Bytes d = V4Header(1, 3);
    d.u32(2).u32(1).u32(3).u32(20).u32(3).zeros(160);
    IfCounters c;
    c.ifIndex = 5;
    d.u32(2).u32(1).u32(5).u32(20).u32(2).raw(testing::GenericCounters(c)).zeros(52);
    c.ifIndex = 6;
    d.u32(2).u32(1).u32(6).u32(20).u32(1).raw(testing::GenericCounters(c));
    Feed(d);
    CMonPort* port = Port("sFlow V4:10.0.0.1:0");
    EXPECT_EQ(port->interfaces.size(), 2u);
    EXPECT_EQ(port->interfaces.count(5), 1u);
    EXPECT_EQ(port->interfaces.count(6), 1u);
}

TEST_F(SflowDecoder, Version4CounterTypesSkipTheirSizes)
{
    const std::pair<uint32_t, size_t> types[] = {{4, 88}, {5, 168}, {6, 88}, {7, 28}};
    for (auto [type, size] : types) {
        CSFlowMon m;
        Bytes d = V4Header(1, 2);
        d.u32(2).u32(1).u32(3).u32(20).u32(type).zeros(size);
        d.u32(2).u32(1).u32(9).u32(20).u32(1).raw(testing::GenericCounters({9}));
        m.FeedDatagram(d.data().data(), d.size(), now, "192.0.2.50", 6343);
        EXPECT_EQ(m.FindPort("sFlow V4:10.0.0.1:0")->interfaces.count(9), 1u) << type;
    }
}

// Bytes from whitespace-separated hex words.
std::vector<uint8_t> FromHex(const char* hex)
{
    std::vector<uint8_t> out;
    int high = -1;
    for (const char* p = hex; *p; ++p) {
        int v = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10 : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(uint8_t(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

TEST_F(SflowDecoder, Version4RouterItemWithUnknownNextHopTypeGoesOn)
{
    // A version 4 datagram: a flow sample whose extended router item has a
    // next hop of address type 3, then a counter sample of ifIndex 7.
    Feed(FromHex(
        "00000004 00000001 0a000001 00000001 000003e8 00000002"
        // flow sample: seq, source, rate, pool, drops, in, out, header info
        "00000001 00000001 00000003 00000100 00001000 00000000 00000001 00000002 00000001"
        // header protocol 11 (IPv4), frame 64, header 20 bytes
        "0000000b 00000040 00000014 45000040 00010000 40060000 c0a80002 c0a80009"
        // one extended item: router, next-hop type 3 (no address), masks 24 and 16
        "00000001 00000002 00000003 00000018 00000010"
        // counter sample: seq, source, interval, generic counters
        "00000002 00000001 00000007 00000014 00000001"
        "00000007 00000006 00000000 05f5e100 00000001 00000003 00000000 00001000"
        "00000021 00000002 00000001 00000000 00000000 00000000 00000000 00002000"
        "00000011 00000000 00000000 00000000 00000000 00000000"));
    CMonPort* port = Port("sFlow V4:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->sampleCount, 1);
    ASSERT_EQ(port->interfaces.count(7), 1u) << "the sample after the router item is decoded";
    const _tagIf_counters& c = port->interfaces.at(7).current;
    EXPECT_EQ(c.ifInOctets, 0x1000u);
    EXPECT_EQ(c.ifInUcastPkts, 0x21u);
    EXPECT_EQ(c.ifOutOctets, 0x2000u);
    EXPECT_EQ(c.ifOutUcastPkts, 0x11u);
}

TEST_F(SflowDecoder, Version2UnknownSampleTypeStops)
{
    Bytes d;
    d.u32(2).u32(1).ipv4(10, 0, 0, 1).u32(1).u32(1000).u32(2);
    d.u32(9).u32(1).u32(2);
    d.raw(V4FlowSample(EthernetIpv4Frame({}), 100).data());
    Feed(d);
    CMonPort* port = Port("sFlow V2:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->sampleCount, 0);
}

}  // namespace
}  // namespace ortolan
