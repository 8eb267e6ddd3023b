// SPDX-License-Identifier: GPL-3.0-or-later
// Every prefix of every valid vector, and deterministic random mutations of
// them, are decoded; under the sanitizer build any read outside the received
// bytes fails the run. The invariants checked here hold for any input.
#include <gtest/gtest.h>

#include <random>

#include "datagram_builder.h"
#include "header_decoder.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using namespace testing;

std::vector<std::vector<uint8_t>> SflowVectors()
{
    FrameSpec vlan;
    vlan.vlan = 7;
    FrameSpec icmp;
    icmp.protocol = 1;
    Bytes v5 = SflowV5Header(1, 4);
    v5.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame({}), 1514)}));
    v5.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(vlan), 80)}, true));
    v5.raw(CounterSampleV5({}));
    v5.raw(CounterSampleV5({}, true));
    Bytes v4;
    v4.u32(4).u32(1).ipv4(10, 0, 0, 2).u32(1).u32(1000).u32(2);
    v4.u32(1).u32(1).u32(3).u32(400).u32(1000).u32(0).u32(1).u32(2).u32(1);
    v4.u32(1).u32(1000).opaque(EthernetIpv4Frame(icmp));
    v4.u32(2).u32(3).u32(1).u32(2).u32(3).u32(1).u32(2).u32(1).u32(65000).u32(0).u32(1);
    v4.u32(4).opaque({'u'}).opaque({'v', 'w'});
    v4.u32(2).u32(1).u32(3).u32(20).u32(2).raw(GenericCounters({})).zeros(52);
    return {v5.data(), v4.data()};
}

std::vector<std::vector<uint8_t>> NetflowVectors()
{
    FlowSpec udp;
    udp.protocol = 17;
    udp.tos = 4;
    FlowSpec icmp;
    icmp.protocol = 1;
    // v9: options template and template, then options data and flow data.
    Bytes options;
    options.u16(300).u16(4).u16(4).u16(1).u16(4).u16(34).u16(4);
    Bytes optionsData;
    optionsData.u32(0).u32(100);
    auto v9 = NetflowV9(1, 3, {FlowSet(1, options), FlowSet(0, SpecTemplate(256)), FlowSet(300, optionsData),
                               FlowSet(256, SpecRecords({FlowSpec{}, udp, icmp}))});
    // IPFIX: an enterprise field and a variable-length field before the figures.
    Bytes layout;
    layout.u16(400).u16(5).u16(0x8001).u16(4).u32(9).u16(96).u16(65535).u16(8).u16(4).u16(12).u16(4).u16(2).u16(4);
    Bytes data;
    data.u32(1).u8(2).raw({'a', 'b'}).ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 2).u32(3);
    data.u32(1).u8(255).u16(4).raw({'a', 'b', 'c', 'd'}).ipv4(10, 0, 0, 1).ipv4(10, 0, 0, 3).u32(4);
    auto ipfix = Ipfix(5, 1, {FlowSet(2, layout), FlowSet(400, data)});
    return {NetflowV5(1, {FlowSpec{}, udp, icmp}, 2), NetflowV1({FlowSpec{}, udp}), v9, ipfix};
}

template <class Mon>
void DecodeAll(Mon& mon, const std::vector<uint8_t>& d)
{
    mon.FeedDatagram(d.data(), d.size(), 1'700'000'000, "192.0.2.9", 1);
}

TEST(MalformedInput, EveryPrefixDecodesWithinItsBytes)
{
    for (const auto& v : SflowVectors()) {
        CSFlowMon full;
        DecodeAll(full, v);
        int64_t fullSamples = full.ports.begin()->second->sampleCount;
        ASSERT_GT(fullSamples, 0);
        for (size_t n = 0; n <= v.size(); ++n) {
            CSFlowMon mon;
            std::vector<uint8_t> prefix(v.begin(), v.begin() + long(n));
            DecodeAll(mon, prefix);
            EXPECT_LE(mon.ports.size(), 1u);
            for (auto& [key, port] : mon.ports) EXPECT_LE(port->sampleCount, fullSamples) << n;
            EXPECT_EQ(mon.datagramCount, 1u);
        }
    }
    for (const auto& v : NetflowVectors()) {
        CNFlowMon full;
        DecodeAll(full, v);
        int64_t fullPackets = full.ports.begin()->second->FindIp("10.0.0.1")->txPackets;
        for (size_t n = 0; n <= v.size(); ++n) {
            CNFlowMon mon;
            std::vector<uint8_t> prefix(v.begin(), v.begin() + long(n));
            DecodeAll(mon, prefix);
            EXPECT_LE(mon.ports.size(), 1u);
            for (auto& [key, port] : mon.ports)
                for (auto& [ip, node] : port->ips) EXPECT_LE(node.txPackets, fullPackets) << n;
        }
    }
}

TEST(MalformedInput, RandomMutationsNeverEscapeTheDatagram)
{
    std::mt19937 rng(20261207);
    CSFlowMon sflow;
    CNFlowMon netflow;
    auto mutate = [&](std::vector<uint8_t> d) {
        int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits && !d.empty(); ++e) {
            size_t at = rng() % d.size();
            switch (rng() % 4) {
            case 0: d[at] = uint8_t(rng()); break;
            case 1: d[at] ^= uint8_t(1u << (rng() % 8)); break;
            case 2:  // a huge length or count where a word starts
                for (size_t i = at & ~size_t(3); i < d.size() && i < (at & ~size_t(3)) + 4; ++i) d[i] = 0xFF;
                break;
            case 3: d.resize(at); break;
            }
        }
        return d;
    };
    const int rounds = 3000;
    for (int i = 0; i < rounds; ++i) {
        for (const auto& v : SflowVectors()) DecodeAll(sflow, mutate(v));
        for (const auto& v : NetflowVectors()) DecodeAll(netflow, mutate(v));
    }
    EXPECT_EQ(sflow.datagramCount, uint64_t(rounds) * 2);
    EXPECT_EQ(netflow.datagramCount, uint64_t(rounds) * NetflowVectors().size());
    EXPECT_LE(netflow.budget().used(), netflow.budget().limit());
    EXPECT_LE(sflow.ports.size(), sflow.datagramCount);
}

TEST(MalformedInput, EthernetFramePrefixesAndMutations)
{
    CNameTables names;
    int64_t time = 0;
    CTrafficAccounting accounting(names, time);
    CHeaderDecoder decoder(accounting);
    CMonPort port("10.0.0.1", 0);
    FrameSpec vlan;
    vlan.vlan = 1;
    std::mt19937 rng(7);
    for (const auto& frame : {EthernetIpv4Frame({}), EthernetIpv4Frame(vlan)}) {
        for (size_t n = 0; n <= frame.size(); ++n) {
            int offset = decoder.DecodeEthernet(port, frame.data(), uint32_t(n), 100);
            EXPECT_LT(offset, int(n));
            if (offset >= 0) decoder.DecodeIp(port, frame.data(), uint32_t(n), uint32_t(offset), 100);
        }
        for (int i = 0; i < 2000; ++i) {
            auto f = frame;
            f[rng() % f.size()] = uint8_t(rng());
            uint32_t n = uint32_t(rng() % (f.size() + 1));
            int offset = decoder.DecodeEthernet(port, f.data(), n, 100);
            if (offset >= 0) decoder.DecodeIp(port, f.data(), n, uint32_t(offset), 100);
        }
    }
    int64_t classified = 0;
    for (const auto& c : port.sizeClasses) classified += c.packets;
    EXPECT_EQ(classified, int64_t(2 * 2000 + EthernetIpv4Frame({}).size() + EthernetIpv4Frame(vlan).size() + 2));
}

}  // namespace
}  // namespace ortolan
