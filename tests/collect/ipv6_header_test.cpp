// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "datagram_builder.h"
#include "header_decoder.h"
#include "traffic_accounting.h"

namespace ortolan {
namespace {

using testing::Bytes;

// The node was seen with this one MAC and no other.
bool OnlyMac(const tagIpEntry& node, const char* mac)
{
    return node.macs.size() == 1 && node.macs.contains(*MacAddress::Parse(mac));
}

constexpr std::initializer_list<uint8_t> kMacs = {0x33, 0x33, 0, 0, 0, 1, 0x02, 0, 0, 0, 0, 6};
// 2001:db8::2 and 2001:db8::1:0:0:9.
const std::vector<uint8_t> kSource = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
const std::vector<uint8_t> kDestination = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 9};

// An IPv6 header (traffic class, first next header) followed by what comes after it.
std::vector<uint8_t> Ipv6(uint8_t trafficClass, uint8_t next, const std::vector<uint8_t>& rest)
{
    Bytes b;
    b.u32(0x60000000u | uint32_t(trafficClass) << 20 | 0x12345).u16(uint16_t(rest.size())).u8(next).u8(64);
    b.raw(kSource).raw(kDestination).raw(rest);
    return b.data();
}
// An options or routing header of 8 × (units + 1) bytes.
Bytes& Ext(Bytes& b, uint8_t next, uint8_t units = 0) { return b.u8(next).u8(units).zeros(6 + 8 * units); }
Bytes& Fragment(Bytes& b, uint8_t next, uint16_t offsetUnits, bool more)
{
    return b.u8(next).u8(0).u16(uint16_t(offsetUnits << 3 | (more ? 1 : 0))).u32(0xCAFE);
}
Bytes& Ports(Bytes& b, uint16_t s, uint16_t d) { return b.u16(s).u16(d).zeros(16); }
std::vector<uint8_t> Ethernet(const std::vector<uint8_t>& ip)
{
    Bytes b;
    return b.raw(kMacs).u16(0x86DD).raw(ip).data();
}

class Ipv6Header : public ::testing::Test {
protected:
    CNameTables names;
    int64_t time = 1000;
    CTrafficAccounting accounting{names, time};
    CHeaderDecoder decoder{accounting};
    CMonPort port{"10.0.0.1", 0, nullptr, tagLimits{}, accounting.labels()};

    // Decodes a copy of exactly n bytes, so a read past them is a fault the sanitizers see.
    int Decode(const std::vector<uint8_t>& frame, size_t n = SIZE_MAX, uint32_t frameLength = 200)
    {
        std::vector<uint8_t> exact(frame.begin(), frame.begin() + std::min(n, frame.size()));
        const uint8_t* bytes = exact.empty() ? nullptr : exact.data();
        int offset = decoder.DecodeEthernet(port, bytes, uint32_t(exact.size()), frameLength);
        if (offset >= 0) decoder.DecodeIp(port, bytes, uint32_t(exact.size()), uint32_t(offset), frameLength);
        return offset;
    }
    int64_t Packets(const StatTable& table, const std::string& name)
    {
        const tagProtStat* stat = port.FindStat(table, name);
        return stat ? stat->packets : 0;
    }
    bool HasService(const CLabelList& services, const std::string& label)
    {
        const uint32_t id = port.labels().Find(label);
        return id != 0 && services.contains(id);
    }
    int64_t Total(const StatTable& table)
    {
        int64_t n = 0;
        for (const auto& [label, stat] : table) n += stat.packets;
        return n;
    }
};

// A TCP segment behind hop-by-hop, routing and destination options headers, in
// plain Ethernet, behind a VLAN tag and in PPPoE, fills every table IPv4 fills.
TEST_F(Ipv6Header, ExtensionChainLeadsToTheSameTablesAsIpv4)
{
    names.tcpPortNames[443] = "https";
    names.ipProtocolNames[6] = "TCP";
    Bytes chain;
    Ext(chain, 43);
    Ext(chain, 60, 1);
    Ext(chain, 6, 2);
    Ports(chain, 443, 51000);
    const auto ip = Ipv6(0xB8, 0, chain.data());
    Bytes vlan, pppoe;
    vlan.raw(kMacs).u16(0x8100).u16(12).u16(0x86DD).raw(ip);
    pppoe.raw(kMacs).u16(0x8864).raw({0x11, 0, 0, 1, 0, 40, 0x00, 0x57}).raw(ip);
    EXPECT_EQ(Decode(Ethernet(ip)), 14);
    EXPECT_EQ(Decode(vlan.data()), 18);
    EXPECT_EQ(Decode(pppoe.data()), 22);

    EXPECT_EQ(Packets(port.ethernetTypes, "IPv6"), 3);
    EXPECT_EQ(Packets(port.ipProtocols, "TCP"), 3);
    EXPECT_EQ(Packets(port.tcpServices, "https"), 3);
    const tagIpEntry* source = port.FindIp("2001:db8::2");
    const tagIpEntry* destination = port.FindIp("2001:db8::1:0:0:9");
    ASSERT_TRUE(source && destination);
    EXPECT_EQ(source->txPackets, 3);
    EXPECT_EQ(source->txBytes, 600);
    EXPECT_EQ(destination->rxPackets, 3);
    EXPECT_TRUE(OnlyMac(*source, "02:00:00:00:00:06"));
    EXPECT_TRUE(HasService(source->services, "https/tcp"));
    const tagMtxEntry* pair = port.FindPair("2001:db8::1:0:0:9", "2001:db8::2");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->packetsBtoA, 3) << "the source is the larger text";
    // The traffic class is the ToS byte of IPv6, keyed by the source as for IPv4.
    ASSERT_EQ(port.tosTable.size(), 1u);
    EXPECT_EQ(port.tosTable.begin()->first.String(), "[2001:db8::2]:184");
    EXPECT_EQ(port.tosTable.begin()->second.packets, 3);

    // A raw IPv6 header (sFlow header protocol 12) is read from its first byte.
    const auto raw = Ipv6(0, 58, Bytes().u8(128).u8(0).u16(0).data());
    decoder.DecodeIpv6(port, raw.data(), uint32_t(raw.size()), 0, 100);
    EXPECT_EQ(Packets(port.icmpTypes, "ICMPv6 Echo Request"), 1);
}

// ICMPv6 counts in the ICMP table under labels that no ICMP label can equal,
// and a named type marks its source as ICMP's do.
TEST_F(Ipv6Header, Icmpv6LabelsStandApartFromIcmp)
{
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(128, 0), "ICMPv6 Echo Request");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(129, 0), "ICMPv6 Echo Reply");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(135, 0), "ICMPv6 Neighbor Solicitation");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(136, 0), "ICMPv6 Neighbor Advertisement");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(1, 4), "ICMPv6 Port Unreachable");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(1, 5), "ICMPv6 Destination Unreachable(5)");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(2, 0), "ICMPv6 Packet Too Big");
    EXPECT_EQ(CTrafficAccounting::Icmp6Label(200, 0), "icmpv6(200)");
    for (int type = 0; type < 256; ++type)
        for (int code : {0, 1, 2, 3, 4, 5, 9}) {
            const std::string v6 = CTrafficAccounting::Icmp6Label(uint8_t(type), uint8_t(code));
            for (int t4 = 0; t4 < 256; ++t4)
                ASSERT_NE(v6, CTrafficAccounting::IcmpLabel(uint8_t(t4), uint8_t(code)));
        }

    Decode(Ethernet(Ipv6(0, 58, Bytes().u8(129).u8(0).zeros(6).data())));
    Decode(Ethernet(Ipv6(0, 58, Bytes().u8(1).u8(5).zeros(6).data())));
    tagIpFlow flow;  // ICMP's echo reply beside ICMPv6's
    accounting.AccountIcmp(port, flow, 0, 0, 1, 100);
    EXPECT_EQ(Packets(port.icmpTypes, "ICMPv6 Echo Reply"), 1);
    EXPECT_EQ(Packets(port.icmpTypes, "Echo Reply"), 1);
    EXPECT_EQ(Packets(port.icmpTypes, "ICMPv6 Destination Unreachable(5)"), 1);
    EXPECT_EQ(Packets(port.ipProtocols, "IP(58)"), 2) << "no protocol table loaded";
    const tagIpEntry* source = port.FindIp("2001:db8::2");
    ASSERT_TRUE(source);
    ASSERT_EQ(source->services.size(), 1u);
    EXPECT_TRUE(HasService(source->services, "Echo Reply/icmpv6"));
    EXPECT_TRUE(HasService(port.FindPair("2001:db8::1:0:0:9", "2001:db8::2")->services, "Echo Reply/icmpv6"));
}

// A first fragment reaches its transport; a later one counts in the IP tables
// only, under the protocol its fragment header names. A chain of more
// extension headers than the bound counts under the header where the walk stopped.
TEST_F(Ipv6Header, FragmentsAndOverlongChains)
{
    Bytes first, later;
    Fragment(first, 17, 0, true);
    Ports(first, 5353, 5353);
    Ext(later, 44);
    Fragment(later, 17, 185, false);
    Ports(later, 1111, 2222);  // payload bytes that only look like ports
    Decode(Ethernet(Ipv6(0, 44, first.data())));
    Decode(Ethernet(Ipv6(0, 0, later.data())));
    EXPECT_EQ(Packets(port.ipProtocols, "IP(17)"), 2);
    EXPECT_EQ(Total(port.udpServices), 1);
    EXPECT_EQ(Packets(port.udpServices, "UDP(5353)"), 1);

    auto chainOf = [](int headers) {
        Bytes b;
        for (int i = 0; i < headers; ++i) Ext(b, i + 1 < headers ? 60 : 6);
        Ports(b, 80, 40000);
        return Ethernet(Ipv6(0, 60, b.data()));
    };
    Decode(chainOf(CHeaderDecoder::kMaxExtensionHeaders));
    EXPECT_EQ(Packets(port.tcpServices, "TCP(80)"), 1);
    Decode(chainOf(CHeaderDecoder::kMaxExtensionHeaders + 1));
    EXPECT_EQ(Packets(port.tcpServices, "TCP(80)"), 1);
    EXPECT_EQ(Packets(port.ipProtocols, "IP(60)"), 1);
    EXPECT_EQ(Packets(port.ipProtocols, "IP(6)"), 1);
}

// Every prefix of a frame with an extension chain: nothing below the fixed
// header's end reaches the IP tables; a cut inside an extension header counts
// under that header; the transport counts once its ports are in.
TEST_F(Ipv6Header, EveryTruncationStopsAtItsLayer)
{
    Bytes chain;
    Ext(chain, 44, 1);   // 16 bytes at 54
    Fragment(chain, 6, 0, true);  // 8 bytes at 70
    Ports(chain, 22, 50000);      // at 78
    const auto frame = Ethernet(Ipv6(0, 0, chain.data()));
    for (size_t n = 0; n <= frame.size(); ++n) {
        SCOPED_TRACE(n);
        CMonPort cut{"10.0.0.1", 0, nullptr, tagLimits{}, accounting.labels()};
        std::vector<uint8_t> exact(frame.begin(), frame.begin() + n);
        const uint8_t* bytes = exact.empty() ? nullptr : exact.data();
        int offset = decoder.DecodeEthernet(cut, bytes, uint32_t(n), 200);
        if (offset >= 0) decoder.DecodeIp(cut, bytes, uint32_t(n), uint32_t(offset), 200);
        if (n < 54) {
            EXPECT_TRUE(cut.ips.empty());
            continue;
        }
        EXPECT_EQ(cut.ips.size(), 2u);
        // The hop-by-hop header needs its first two bytes to name the next
        // header, the fragment header all eight of its own.
        const char* protocol = n < 56 ? "IP(0)" : n < 78 ? "IP(44)" : "IP(6)";
        const tagProtStat* stat = cut.FindStat(cut.ipProtocols, protocol);
        EXPECT_TRUE(stat && stat->packets == 1) << protocol;
        EXPECT_EQ(cut.tcpServices.size(), n >= 82 ? 1u : 0u);
    }
}

}  // namespace
}  // namespace ortolan
