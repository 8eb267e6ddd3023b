// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "datagram_builder.h"
#include "header_decoder.h"
#include "traffic_accounting.h"

namespace ortolan {
namespace {

using testing::Bytes;
using testing::EthernetIpv4Frame;
using testing::FrameSpec;

// The node was seen with this one MAC and no other.
bool OnlyMac(const tagIpEntry& node, const char* mac)
{
    return node.macs.size() == 1 && node.macs.contains(*MacAddress::Parse(mac));
}

// The header decoder and accounting rules, driven through one port as the sFlow decoder does.
class HeaderAccounting : public ::testing::Test {
protected:
    CNameTables names;
    int64_t time = 1000;
    CTrafficAccounting accounting{names, time};
    CHeaderDecoder decoder{accounting};
    CMonPort port{"10.0.0.1", 0, nullptr, tagLimits{}, accounting.labels()};

    int Decode(const std::vector<uint8_t>& frame, uint32_t frameLength = 100)
    {
        int offset = decoder.DecodeEthernet(port, frame.data(), uint32_t(frame.size()), frameLength);
        if (offset >= 0) decoder.DecodeIp(port, frame.data(), uint32_t(frame.size()), uint32_t(offset), frameLength);
        return offset;
    }
    int64_t Packets(const StatTable& table, const std::string& name)
    {
        const tagProtStat* stat = port.FindStat(table, name);
        return stat ? stat->packets : 0;
    }
    int64_t TosPackets(const char* source, uint8_t tos)
    {
        auto it = port.tosTable.find(TosKey{*CIpAddress::Parse(source), tos});
        return it == port.tosTable.end() ? 0 : it->second.packets;
    }
    const tagIpEntry& Ip(const char* address)
    {
        const tagIpEntry* e = port.FindIp(address);
        if (!e) throw std::out_of_range(address);
        return *e;
    }
    bool HasService(const CLabelList& services, const std::string& label)
    {
        const uint32_t id = port.labels().Find(label);
        return id != 0 && services.contains(id);
    }
    // An IP step without a MAC step before it, as a raw IP header is accounted.
    const tagIpEntry& AccountBareIp(const char* source)
    {
        accounting.AccountIp(port, *CIpAddress::Parse(source), *CIpAddress::Parse("192.0.2.99"), 6, 1, 60);
        return Ip(source);
    }
};

TEST_F(HeaderAccounting, ShortHeaderCountsOnlyItsSizeClass)
{
    std::vector<uint8_t> frame(10, 0xFF);
    EXPECT_EQ(Decode(frame, 300), -1);
    EXPECT_EQ(port.sizeClasses[3].packets, 1);
    EXPECT_TRUE(port.macs.empty());
    EXPECT_TRUE(port.ethernetTypes.empty());
}

TEST_F(HeaderAccounting, MacLayerFillsNodesPairAndType)
{
    FrameSpec f;
    Decode(EthernetIpv4Frame(f), 1514);
    ASSERT_EQ(port.macs.size(), 2u);
    const auto& src = *port.FindMac("00:AA:BB:CC:DD:EE");
    const auto& dst = *port.FindMac("00:11:22:33:44:55");
    EXPECT_EQ(src.txPackets, 1);
    EXPECT_EQ(src.txBytes, 1514);
    EXPECT_EQ(dst.rxPackets, 1);
    EXPECT_EQ(src.firstSeen, 1000);
    const auto& pair = *port.FindPair("00:11:22:33:44:55", "00:AA:BB:CC:DD:EE");
    EXPECT_EQ(pair.packetsBtoA, 1) << "the source is the larger text";
    EXPECT_EQ(Packets(port.ethernetTypes, "IPv4"), 1);
    EXPECT_TRUE(OnlyMac(Ip("192.168.0.2"), "00:AA:BB:CC:DD:EE"));
    EXPECT_TRUE(AccountBareIp("192.0.2.50").macs.empty()) << "the IP step took the source MAC";
}

TEST_F(HeaderAccounting, VlanTaggedFrameCountsAsIpv4)
{
    FrameSpec f;
    f.vlan = 12;
    EXPECT_EQ(Decode(EthernetIpv4Frame(f)), 18);
    EXPECT_EQ(Packets(port.ethernetTypes, "IPv4"), 1);
    EXPECT_EQ(port.ips.size(), 2u);
}

TEST_F(HeaderAccounting, LlcSnapAndLlcAndPppoeVariants)
{
    auto ip = EthernetIpv4Frame({});
    std::vector<uint8_t> payload(ip.begin() + 14, ip.end());
    Bytes snapCisco;
    snapCisco.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(100).raw({0xAA, 0xAA, 0x03, 0, 0, 0x0C}).u16(0x2000).zeros(30);
    EXPECT_EQ(Decode(snapCisco), -1);
    EXPECT_TRUE(port.macs.empty()) << "SNAP with a foreign organisation code: size class only";
    EXPECT_EQ(port.sizeClasses[2].packets, 0);
    EXPECT_EQ(port.sizeClasses[1].packets, 1);

    Bytes snapIp;
    snapIp.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(100).raw({0xAA, 0xAA, 0x03, 0, 0, 0}).u16(0x0800).raw(payload);
    EXPECT_EQ(Decode(snapIp), 22);
    Bytes llcIp;
    llcIp.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(100).raw({0x06, 0x06, 0x03}).raw(payload);
    EXPECT_EQ(Decode(llcIp), 17);
    Bytes pppoeIp;
    pppoeIp.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(0x8864).raw({0x11, 0, 0, 1, 0, 40, 0x00, 0x21}).raw(payload);
    EXPECT_EQ(Decode(pppoeIp), 22);
    Bytes pppoeOther;
    pppoeOther.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(0x8864).raw({0x11, 0, 0, 1, 0, 40, 0xC0, 0x21}).zeros(30);
    EXPECT_EQ(Decode(pppoeOther), -1);
    Bytes plain8023;
    plain8023.raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).u16(46).raw({0x42, 0x42, 0x03}).zeros(40);
    EXPECT_EQ(Decode(plain8023), -1);
    EXPECT_EQ(Packets(port.ethernetTypes, "IPv4"), 3);
    EXPECT_EQ(Packets(port.ethernetTypes, "0x8864"), 1);
    EXPECT_EQ(Packets(port.ethernetTypes, "IEEE802.3"), 1);
}

TEST_F(HeaderAccounting, EthernetTypeAndIcmpLabels)
{
    EXPECT_EQ(CTrafficAccounting::EthernetTypeLabel(1500), "IEEE802.3");
    EXPECT_EQ(CTrafficAccounting::EthernetTypeLabel(0x0806), "ARP");
    EXPECT_EQ(CTrafficAccounting::EthernetTypeLabel(0x86DD), "IPv6");
    EXPECT_EQ(CTrafficAccounting::EthernetTypeLabel(0x88CC), "0x88CC");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(0, 9), "Echo Reply");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(3, 0), "Net Unreachable");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(3, 1), "Host Unreachable");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(3, 3), "Port Unreachable");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(3, 2), "Destination Unreachable(2)");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(4, 0), "Source Quench");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(5, 0), "Redirect");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(8, 0), "Echo");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(11, 0), "Time Exceeded");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(13, 0), "Timestamp");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(14, 0), "Timestamp Reply");
    EXPECT_EQ(CTrafficAccounting::IcmpLabel(42, 0), "icmp(42)");
}

TEST_F(HeaderAccounting, ServiceDirectionRules)
{
    names.tcpPortNames[80] = "http";
    FrameSpec f;  // 192.168.0.2:80 -> 192.168.0.9:3000
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.tcpServices, "http"), 1);
    EXPECT_TRUE(HasService(Ip("192.168.0.2").services, "http/tcp"));
    std::swap(f.src, f.dst);
    std::swap(f.sport, f.dport);
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.tcpServices, "http"), 2);
    const tagIpEntry& server = Ip("192.168.0.2");
    EXPECT_TRUE(HasService(server.services, "http/tcp?"));
    EXPECT_TRUE(HasService(server.services, "http/tcp")) << "the lists hide the presumed label, not the accounting";
    EXPECT_TRUE(HasService(port.FindPair("192.168.0.2", "192.168.0.9")->services, "http/tcp"));
    EXPECT_TRUE(Ip("192.168.0.9").services.empty());
}

TEST_F(HeaderAccounting, EqualPortsGiveTheDestinationTheName)
{
    names.udpPortNames[53] = "domain";
    FrameSpec f;
    f.protocol = 17;
    f.sport = f.dport = 53;
    Decode(EthernetIpv4Frame(f));
    EXPECT_TRUE(HasService(Ip("192.168.0.9").services, "domain/udp?"));
    EXPECT_TRUE(Ip("192.168.0.2").services.empty());
}

TEST_F(HeaderAccounting, UnnamedPortsCountUnderTheLowerOne)
{
    FrameSpec f;
    f.protocol = 17;
    f.sport = 50000;
    f.dport = 40000;
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.udpServices, "UDP(40000)"), 1);
    f.protocol = 6;
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.tcpServices, "TCP(40000)"), 1);
    EXPECT_TRUE(Ip("192.168.0.2").services.empty());
    f.protocol = 47;
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.ipProtocols, "IP(47)"), 1);
}

TEST_F(HeaderAccounting, IcmpNamedTypesMarkTheSource)
{
    FrameSpec f;
    f.protocol = 1;
    f.sport = 3;  // type
    f.dport = 2;  // code
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(Packets(port.icmpTypes, "Destination Unreachable(2)"), 1);
    EXPECT_TRUE(Ip("192.168.0.2").services.empty());
    f.sport = 8;
    f.dport = 0;
    Decode(EthernetIpv4Frame(f));
    EXPECT_TRUE(HasService(Ip("192.168.0.2").services, "Echo/icmp"));
}

TEST_F(HeaderAccounting, LaterFragmentsStopAtTheIpLayer)
{
    FrameSpec f;
    f.protocol = 17;
    f.fragment = 0x00B9;
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(port.ips.size(), 2u);
    EXPECT_TRUE(port.udpServices.empty());
}

TEST_F(HeaderAccounting, TypeOfServiceKeyedBySource)
{
    FrameSpec f;
    Decode(EthernetIpv4Frame(f));
    EXPECT_TRUE(port.tosTable.empty());
    f.tos = 184;
    Decode(EthernetIpv4Frame(f));
    EXPECT_EQ(TosPackets("192.168.0.2", 184), 1);
}

TEST_F(HeaderAccounting, SourceMacEndsWithItsSample)
{
    // An ARP frame, and an Ethernet frame whose IPv4 header is cut short, hand
    // their source MAC to no IP step: the next sample's node must not get it.
    Bytes arp;
    arp.raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0, 0, 1}).u16(0x0806).zeros(28);
    EXPECT_TRUE(decoder.DecodeSample(port, CHeaderDecoder::kHeaderEthernet, arp.data().data(),
                                     uint32_t(arp.size()), 100));
    FrameSpec f;
    f.src[3] = 50;
    const auto frame = EthernetIpv4Frame(f);
    const std::vector<uint8_t> rawIp(frame.begin() + 14, frame.end());
    decoder.DecodeSample(port, CHeaderDecoder::kHeaderIpv4, rawIp.data(), uint32_t(rawIp.size()), 100);
    EXPECT_TRUE(Ip("192.168.0.50").macs.empty()) << "the ARP frame's MAC leaked into a raw IPv4 sample";
    EXPECT_EQ(Packets(port.ethernetTypes, "ARP"), 1);

    decoder.DecodeSample(port, CHeaderDecoder::kHeaderEthernet, frame.data(), 30, 100);
    EXPECT_TRUE(AccountBareIp("192.0.2.60").macs.empty()) << "a cut IPv4 frame's MAC leaked";
    // Within one sample the MAC still reaches the IP node.
    decoder.DecodeSample(port, CHeaderDecoder::kHeaderEthernet, frame.data(), uint32_t(frame.size()), 100);
    EXPECT_TRUE(OnlyMac(Ip("192.168.0.50"), "00:aa:bb:cc:dd:ee"));
}

TEST_F(HeaderAccounting, TransportCutShortStopsBeforeIt)
{
    auto frame = EthernetIpv4Frame({});
    frame.resize(36);  // the IPv4 header and two bytes of TCP
    Decode(frame);
    EXPECT_EQ(port.ips.size(), 2u);
    EXPECT_TRUE(port.tcpServices.empty());
}

}  // namespace
}  // namespace ortolan
