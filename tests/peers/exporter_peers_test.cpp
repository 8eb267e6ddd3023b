// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics from real exporters agree with an independent decoding of the
// same datagrams by tshark.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "nflow_mon.h"
#include "peer_harness.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using namespace testing;

bool InCi() { return std::getenv("CI") != nullptr; }

// Skips where a tool is genuinely missing; in CI a missing tool is a failure.
#define REQUIRE_TOOLS(...)                                                              \
    for (const char* tool : {__VA_ARGS__})                                              \
        if (!HaveTool(tool)) {                                                          \
            if (InCi()) FAIL() << tool << " is missing; scripts/install-deps.sh --test installs it"; \
            GTEST_SKIP() << tool << " is not installed";                                \
        }

// Several hosts talking TCP, UDP and ICMP, with a VLAN-tagged frame and a ToS mark.
std::vector<TestFrame> Traffic()
{
    std::vector<TestFrame> frames;
    const uint8_t server[4] = {192, 168, 1, 100};
    const uint8_t dns[4] = {192, 168, 1, 53};
    const uint8_t gateway[4] = {192, 168, 1, 1};
    for (uint8_t h = 2; h <= 7; ++h) {
        const uint8_t host[4] = {192, 168, 1, h};
        for (int i = 0; i < 3; ++i) {
            frames.push_back(MakeFrame(host, server, 6, uint16_t(40000 + h), 80, 20 + 100 * i));
            frames.push_back(MakeFrame(server, host, 6, 80, uint16_t(40000 + h), 900 + 40 * i));
        }
        frames.push_back(MakeFrame(host, dns, 17, uint16_t(5000 + h), 53, 40, -1, h == 3 ? 0xB8 : 0));
        frames.push_back(MakeFrame(dns, host, 17, 53, uint16_t(5000 + h), 120));
        frames.push_back(MakeFrame(host, gateway, 1, 0, 0, 56));
    }
    const uint8_t a[4] = {10, 20, 0, 7};
    const uint8_t b[4] = {10, 20, 0, 8};
    frames.push_back(MakeFrame(a, b, 6, 1234, 22, 300, 42));
    return frames;
}

struct Totals {
    std::map<std::string, std::pair<int64_t, int64_t>> byProtocol;  // packets, bytes
    std::set<std::string> nodes;
    std::set<std::string> pairs;
};

std::string PairKey(const std::string& a, const std::string& b)
{
    return a < b ? a + "<->" + b : b + "<->" + a;
}

Totals FromTshark(const std::vector<std::vector<std::string>>& lines)
{
    Totals t;
    for (const auto& f : lines) {
        if (f.size() < 5 || f[0].empty()) continue;
        auto prot = SplitText(f[0], ','), pk = SplitText(f[1], ','), oc = SplitText(f[2], ',');
        auto src = SplitText(f[3], ','), dst = SplitText(f[4], ',');
        for (size_t i = 0; i < prot.size(); ++i) {
            auto& [packets, bytes] = t.byProtocol["IP(" + prot[i] + ")"];
            packets += std::stoll(pk.at(i));
            bytes += std::stoll(oc.at(i));
            t.nodes.insert(src.at(i));
            t.nodes.insert(dst.at(i));
            t.pairs.insert(PairKey(src.at(i), dst.at(i)));
        }
    }
    return t;
}

Totals FromCollector(const CFlowCollector& mon)
{
    Totals t;
    for (const auto& [key, port] : mon.ports) {
        for (const auto& [label, stat] : port->ipProtocols) {
            const std::string& name = port->LabelText(label);
            t.byProtocol[name].first += stat.packets;
            t.byProtocol[name].second += stat.bytes;
        }
        for (const auto& [ip, node] : port->ips) t.nodes.insert(ip.String());
        for (const auto& [pair, entry] : port->ipMatrix) t.pairs.insert(CMonPort::PairText(pair, entry));
    }
    return t;
}

class ExporterPeers : public ::testing::Test {
protected:
    std::string dir = MakeTempDir();
    std::string pcap = dir + "/traffic.pcap";
    std::vector<TestFrame> frames = Traffic();
    void SetUp() override { WritePcap(pcap, frames, 1700000000); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // pmacctd's sFlow probe over the capture, sampling 1 in 1. Its probe plugin
    // now and then loses the last samples on a busy machine, when pmacctd's core
    // reaches the capture's end first; an export that comes back short of the
    // capture's frames is caught again, at most three times in all.
    std::vector<std::vector<uint8_t>> CatchSfprobe(int samplingRate = 1)
    {
        std::vector<std::vector<uint8_t>> datagrams;
        for (int attempt = 0; attempt < 3; ++attempt) {
            // The receiver port is only known inside CatchExport: it is put into the file there.
            const std::string conf = dir + "/pmacctd.conf";
            {
                std::ofstream out(conf);
                out << "daemonize: false\npcap_savefile: " << pcap << "\nplugins: sfprobe\n"
                    << "sfprobe_receiver: 127.0.0.1:@PORT@\nsfprobe_agentip: 10.9.9.9\n"
                    << "sfprobe_agentsubid: 3\nsampling_rate: " << samplingRate << "\n";
            }
            datagrams = CatchExport("sh -c 'sed -i s/@PORT@/{PORT}/ " + conf + " && pmacctd -f " + conf + "'", 25);
            // Sampled, how many frames are taken is left to chance.
            if (samplingRate != 1) break;
            size_t samples = 0;
            for (const auto& f : TsharkFields(datagrams, 6343, "sflow", {"sflow_245.header.frame_length"}, dir))
                for (const auto& length : SplitText(f.empty() ? std::string() : f[0], ','))
                    samples += !length.empty();
            if (samples == frames.size()) break;
        }
        return datagrams;
    }

    // softflowd's export of the capture, decoded by us and by tshark; frames
    // holds the capture's frames. With ipv6 tshark reads the IPv6 address fields.
    void CheckSoftflowd(const char* version, bool ipv6 = false)
    {
        SCOPED_TRACE(std::string("softflowd -v ") + version);
        CheckExport(CatchExport("softflowd -d -c none -p " + dir + "/sf.pid -r " + pcap +
                                    " -n 127.0.0.1:{PORT} -v " + version, 20),
                    version, ipv6);
    }

    // The same through pmacctd's NetFlow/IPFIX probe.
    void CheckNfprobe(const char* version)
    {
        SCOPED_TRACE(std::string("pmacctd nfprobe version ") + version);
        CheckExport(CatchNfprobe(version), version, false);
    }
    std::vector<std::vector<uint8_t>> CatchNfprobe(const char* version, int samplingRate = 0)
    {
        const std::string conf = dir + "/nfprobe.conf";
        {
            std::ofstream out(conf);
            out << "daemonize: false\npcap_savefile: " << pcap << "\nplugins: nfprobe\n"
                << "nfprobe_receiver: 127.0.0.1:@PORT@\nnfprobe_version: " << version << "\n";
            if (samplingRate) out << "sampling_rate: " << samplingRate << "\n";
        }
        return CatchExport("sh -c 'sed -i s/@PORT@/{PORT}/ " + conf + " && pmacctd -f " + conf + "'", 25);
    }

    // A NetFlow export's figures scaled by its rates: ours against the sum of
    // packets and octets x rate over tshark's decoding, per protocol. The rate
    // of a datagram is what tshark reads in its header (v5) or in the sampler
    // options it or an earlier datagram carried (v9, IPFIX: the exporter puts
    // its options data before its flow data), or the user's rate where none.
    void CheckScaledNetflow(const std::vector<std::vector<uint8_t>>& datagrams, uint32_t userRate)
    {
        ASSERT_FALSE(datagrams.empty()) << "the exporter sent nothing";
        CNFlowMon mon;
        if (userRate) mon.SetSamplingOverrides({{*tagAgentAddress::Parse("127.0.0.1"), userRate}});
        for (const auto& d : datagrams) mon.FeedDatagram(d.data(), d.size(), 1700000000, "127.0.0.1", 1);
        const auto lines = TsharkFields(datagrams, 2100, "cflow",
            {"cflow.protocol", "cflow.packets", "cflow.octets", "cflow.samplerate", "cflow.sampler_random_interval"},
            dir);
        std::map<std::string, std::pair<int64_t, int64_t>> theirs;
        int64_t rate = 0, rated = 0;
        for (const auto& f : lines) {
            if (f.size() < 5 || f[0].empty()) {
                if (f.size() >= 5 && !f[4].empty()) rate = std::stoll(SplitText(f[4], ',').back());
                continue;
            }
            if (!f[3].empty()) rate = std::stoll(f[3]);
            if (!f[4].empty()) rate = std::stoll(SplitText(f[4], ',').back());
            const int64_t factor = rate ? rate : userRate ? userRate : 1;
            rated += rate != 0;
            auto prot = SplitText(f[0], ','), pk = SplitText(f[1], ','), oc = SplitText(f[2], ',');
            for (size_t i = 0; i < prot.size(); ++i) {
                auto& [packets, bytes] = theirs["IP(" + prot[i] + ")"];
                packets += std::stoll(pk.at(i)) * factor;
                bytes += std::stoll(oc.at(i)) * factor;
            }
        }
        // The exporter really said a rate, unless the user's stands in.
        EXPECT_EQ(rated != 0, userRate == 0);
        std::map<std::string, std::pair<int64_t, int64_t>> ours;
        int64_t totalPackets = 0, totalBytes = 0;
        ASSERT_EQ(mon.ports.size(), 1u);
        const CMonPort& port = *mon.ports.begin()->second;
        for (const auto& [label, stat] : port.ipProtocols) {
            const tagScaled scaled = port.scaled.Of(stat.packets, stat.bytes);
            ours[port.LabelText(label)] = {scaled.packets, scaled.bytes};
            totalPackets += scaled.packets;
            totalBytes += scaled.bytes;
        }
        EXPECT_EQ(ours, theirs);
        EXPECT_EQ(port.scaled.totalPackets(), totalPackets);
        EXPECT_EQ(port.scaled.totalBytes(), totalBytes);
        EXPECT_EQ(port.sampling.unscaledRecords, 0u);
        EXPECT_FALSE(port.scaled.inexact());
    }

    void CheckExport(const std::vector<std::vector<uint8_t>>& datagrams, const char* version, bool ipv6)
    {
        ASSERT_FALSE(datagrams.empty()) << "the exporter sent nothing";
        CNFlowMon mon;
        for (const auto& d : datagrams) mon.FeedDatagram(d.data(), d.size(), 1700000000, "127.0.0.1", 1);
        Totals ours = FromCollector(mon);
        Totals theirs = FromTshark(TsharkFields(datagrams, 2100, "cflow",
            {"cflow.protocol", "cflow.packets", "cflow.octets", ipv6 ? "cflow.srcaddrv6" : "cflow.srcaddr",
             ipv6 ? "cflow.dstaddrv6" : "cflow.dstaddr"}, dir));
        EXPECT_EQ(ours.byProtocol, theirs.byProtocol);
        EXPECT_EQ(ours.nodes, theirs.nodes);
        EXPECT_EQ(ours.pairs, theirs.pairs);
        int64_t packets = 0;
        for (auto& [name, pb] : ours.byProtocol) packets += pb.first;
        EXPECT_EQ(packets, int64_t(frames.size())) << "every frame of the capture is in some flow";
        ASSERT_EQ(mon.ports.size(), 1u);
        EXPECT_EQ(mon.ports.begin()->first.rfind(std::string("NetFlow V") + version + ":127.0.0.1:", 0), 0u)
            << mon.ports.begin()->first;
        EXPECT_EQ(mon.unknownTemplateSets, 0u);
        if (!ipv6) return;
        EXPECT_NE(ours.nodes.count("2001:db8::80"), 0u);
        // ICMPv6 echoes are counted under their own labels.
        const CMonPort& port = *mon.ports.begin()->second;
        bool echo = false;
        for (const auto& [label, stat] : port.icmpTypes) echo |= port.LabelText(label) == "ICMPv6 Echo Request";
        EXPECT_TRUE(echo);
    }
};

TEST_F(ExporterPeers, SoftflowdNetflowV5AgreesWithTshark)
{
    REQUIRE_TOOLS("softflowd", "tshark");
    CheckSoftflowd("5");
}

TEST_F(ExporterPeers, SoftflowdNetflowV9AgreesWithTshark)
{
    REQUIRE_TOOLS("softflowd", "tshark");
    CheckSoftflowd("9");
}

TEST_F(ExporterPeers, SoftflowdIpfixAgreesWithTshark)
{
    REQUIRE_TOOLS("softflowd", "tshark");
    CheckSoftflowd("10");
}

TEST_F(ExporterPeers, SoftflowdNetflowV1AgreesWithTshark)
{
    REQUIRE_TOOLS("softflowd", "tshark");
    CheckSoftflowd("1");
}

TEST_F(ExporterPeers, PmacctdNfprobeV9AndIpfixAgreeWithTshark)
{
    REQUIRE_TOOLS("pmacctd", "tshark");
    CheckNfprobe("9");
    CheckNfprobe("10");
}

TEST_F(ExporterPeers, PmacctdSflowV5AgreesWithTshark)
{
    REQUIRE_TOOLS("pmacctd", "tshark");
    auto datagrams = CatchSfprobe();
    ASSERT_FALSE(datagrams.empty()) << "pmacctd sent nothing";
    CSFlowMon mon;
    for (const auto& d : datagrams) mon.FeedDatagram(d.data(), d.size(), 1700000000, "127.0.0.1", 1);

    auto lines = TsharkFields(datagrams, 6343, "sflow",
                              {"sflow_245.header.frame_length", "ip.src", "ip.dst"}, dir);
    int64_t samples = 0, sampledBytes = 0;
    std::set<std::string> nodes;
    for (const auto& f : lines) {
        ASSERT_GE(f.size(), 3u);
        for (const auto& len : SplitText(f[0], ','))
            if (!len.empty()) {
                ++samples;
                sampledBytes += std::stoll(len);
            }
        for (int col : {1, 2})
            for (const auto& ip : SplitText(f[col], ','))
                if (!ip.empty() && ip != "127.0.0.1") nodes.insert(ip);
    }
    ASSERT_EQ(mon.ports.size(), 1u);
    const CMonPort& port = *mon.ports.begin()->second;
    EXPECT_EQ(mon.ports.begin()->first, "sFlow V5:10.9.9.9:3");
    EXPECT_EQ(port.sampleCount, samples);
    EXPECT_EQ(port.sampledBytes, sampledBytes);
    EXPECT_EQ(samples, int64_t(frames.size())) << "sampling 1 in 1 samples every frame";
    std::set<std::string> ours;
    for (const auto& [ip, node] : port.ips) ours.insert(ip.String());
    EXPECT_EQ(ours, nodes);
    ASSERT_NE(port.FindStat(port.ethernetTypes, "IPv4"), nullptr);
    EXPECT_EQ(port.FindStat(port.ethernetTypes, "IPv4")->packets, samples) << "the VLAN frame counts as IPv4";
    EXPECT_EQ(port.tosTable.count(TosKey{*CIpAddress::Parse("192.168.1.3"), 184}), 1u);
}

// Exporters that sample: pmacctd's NetFlow probe 1 in 10 (v5 in the header,
// v9 and IPFIX in sampler options) and its sFlow probe 1 in 10 (in every flow
// sample); softflowd's v5 says no rate, and the user's stands in.
TEST_F(ExporterPeers, ScaledFiguresFollowTheRatesTsharkReads)
{
    REQUIRE_TOOLS("pmacctd", "softflowd", "tshark");
    for (const char* version : {"5", "9", "10"}) {
        SCOPED_TRACE(std::string("pmacctd nfprobe version ") + version);
        CheckScaledNetflow(CatchNfprobe(version, 10), 0);
    }
    {
        // Its v5 header says 0; its v9 options say 1, a rate of their own.
        SCOPED_TRACE("softflowd -v 5 with the user's rate");
        CheckScaledNetflow(CatchExport("softflowd -d -c none -p " + dir + "/sf.pid -r " + pcap +
                                           " -n 127.0.0.1:{PORT} -v 5", 20),
                           100);
    }
    auto datagrams = CatchSfprobe(10);
    ASSERT_FALSE(datagrams.empty()) << "pmacctd sent nothing";
    CSFlowMon mon;
    for (const auto& d : datagrams) mon.FeedDatagram(d.data(), d.size(), 1700000000, "127.0.0.1", 1);
    int64_t packets = 0, bytes = 0;
    for (const auto& f : TsharkFields(datagrams, 6343, "sflow",
                                      {"sflow.flow_sample.sampling_rate", "sflow_245.header.frame_length"}, dir)) {
        ASSERT_GE(f.size(), 2u);
        if (f[0].empty()) continue;
        // One raw header per flow sample.
        const auto rates = SplitText(f[0], ','), lengths = SplitText(f[1], ',');
        ASSERT_EQ(rates.size(), lengths.size());
        for (size_t i = 0; i < rates.size(); ++i) {
            EXPECT_GT(std::stoll(rates[i]), 1);
            packets += std::stoll(rates[i]);
            bytes += std::stoll(rates[i]) * std::stoll(lengths[i]);
        }
    }
    ASSERT_EQ(mon.ports.size(), 1u);
    const CMonPort& port = *mon.ports.begin()->second;
    EXPECT_GT(packets, 0);
    EXPECT_EQ(port.scaled.totalPackets(), packets);
    EXPECT_EQ(port.scaled.totalBytes(), bytes);
    int64_t sizePackets = 0;
    for (const tagSizeClass& c : port.sizeClasses) sizePackets += port.scaled.Of(c.packets, c.bytes).packets;
    EXPECT_EQ(sizePackets, packets);
}

// IPv6 hosts (unique local, link-local and global) with TCP, UDP and ICMPv6,
// extension headers, a fragmented datagram, a VLAN tag and a traffic class.
std::vector<TestFrame> Ipv6Traffic()
{
    auto address = [](std::initializer_list<uint8_t> prefix, uint8_t last) {
        std::array<uint8_t, 16> a{};
        std::copy(prefix.begin(), prefix.end(), a.begin());
        a[15] = last;
        return a;
    };
    const auto server = address({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x80);
    const auto dns = address({0xfd, 0x00, 0, 1}, 0x53);
    std::vector<TestFrame> frames;
    for (uint8_t h = 2; h <= 6; ++h) {
        const auto host = address({0xfd, 0x00, 0, 1}, h);
        const auto link = address({0xfe, 0x80}, h);
        for (int i = 0; i < 3; ++i) {
            std::vector<uint8_t> ext;
            if (i == 1) ext = {0};       // hop-by-hop
            if (i == 2) ext = {60};      // destination options
            frames.push_back(MakeFrame6(host.data(), server.data(), 6, uint16_t(40000 + h), 443, 20 + 100 * i, -1, 0, ext));
            frames.push_back(MakeFrame6(server.data(), host.data(), 6, 443, uint16_t(40000 + h), 900 + 40 * i));
        }
        frames.push_back(MakeFrame6(host.data(), dns.data(), 17, uint16_t(5000 + h), 53, 40, -1, h == 3 ? 0xB8 : 0));
        frames.push_back(MakeFrame6(dns.data(), host.data(), 17, 53, uint16_t(5000 + h), 120));
        frames.push_back(MakeFrame6(host.data(), server.data(), 58, 128, 0, 56));
        frames.push_back(MakeFrame6(server.data(), host.data(), 58, 129, 0, 56, 12));
        frames.push_back(MakeFrame6(link.data(), dns.data(), 58, 135, 0, 24, -1, 0, {0}));
    }
    // One UDP datagram in two fragments, the second with no transport header.
    const auto a = address({0xfd, 0x00, 0, 2}, 7), b = address({0xfd, 0x00, 0, 2}, 8);
    frames.push_back(MakeFrame6(a.data(), b.data(), 17, 4000, 4001, 200, -1, 0, {44}, 0));
    frames.push_back(MakeFrame6(a.data(), b.data(), 17, 4000, 4001, 100, -1, 0, {44}, 26));
    frames.push_back(MakeFrame6(a.data(), b.data(), 6, 1234, 22, 300, 42, 0, {0, 43}));
    return frames;
}

// pmacctd's sFlow probe samples IPv6 frames; tshark takes the datagrams apart,
// and then, as frames of their own, the sampled headers it found in them.
// softflowd exports the IPv6 capture as NetFlow v9 and IPFIX (v5 cannot carry
// IPv6); tshark's IPv6 address fields stand beside its IPv4 ones.
TEST_F(ExporterPeers, SoftflowdV9AndIpfixIpv6AgreeWithTshark)
{
    REQUIRE_TOOLS("softflowd", "tshark");
    frames = Ipv6Traffic();
    WritePcap(pcap, frames, 1700000000);
    CheckSoftflowd("9", true);
    CheckSoftflowd("10", true);
}

TEST_F(ExporterPeers, PmacctdSflowV5Ipv6AgreesWithTshark)
{
    REQUIRE_TOOLS("pmacctd", "tshark");
    frames = Ipv6Traffic();
    WritePcap(pcap, frames, 1700000000);
    auto datagrams = CatchSfprobe();
    ASSERT_FALSE(datagrams.empty()) << "pmacctd sent nothing";
    std::vector<TestFrame> headers;
    std::vector<int64_t> lengths;
    for (const auto& f : TsharkFields(datagrams, 6343, "sflow",
                                      {"sflow_245.header", "sflow_245.header.frame_length"}, dir)) {
        ASSERT_EQ(f.size(), 2u);
        auto hex = SplitText(f[0], ','), len = SplitText(f[1], ',');
        ASSERT_EQ(hex.size(), len.size());
        for (size_t i = 0; i < hex.size(); ++i) {
            std::string digits;
            for (char c : hex[i])
                if (c != ':') digits += c;
            TestFrame h;
            for (size_t k = 0; k + 1 < digits.size(); k += 2)
                h.bytes.push_back(uint8_t(std::stoul(digits.substr(k, 2), nullptr, 16)));
            headers.push_back(std::move(h));
            lengths.push_back(std::stoll(len[i]));
        }
    }
    CSFlowMon mon;
    for (const auto& d : datagrams) mon.FeedDatagram(d.data(), d.size(), 1700000000, "127.0.0.1", 1);
    ASSERT_EQ(headers.size(), frames.size()) << "sampling 1 in 1 samples every frame";
    const std::string headerPcap = dir + "/headers.pcap";
    WritePcap(headerPcap, headers, 1700000000);
    auto lines = TsharkPcapFields(headerPcap, "-o ipv6.defragment:FALSE",
                                  {"ipv6.src", "ipv6.dst", "ipv6.nxt", "ipv6.hopopts.nxt", "ipv6.routing.nxt",
                                   "ipv6.fraghdr.nxt", "ipv6.dstopts.nxt", "tcp.srcport", "udp.srcport",
                                   "icmpv6.type"});
    ASSERT_EQ(lines.size(), headers.size());
    Totals theirs;
    int64_t tcp = 0, udp = 0, icmp6 = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        auto f = lines[i];
        f.resize(10);
        // The upper layer follows the last extension header of the chain.
        std::string protocol = f[2];
        for (int k = 3; k <= 6; ++k)
            for (const auto& next : SplitText(f[size_t(k)], ','))
                if (!next.empty() && next != "0" && next != "43" && next != "44" && next != "60") protocol = next;
        auto& [packets, bytes] = theirs.byProtocol["IP(" + protocol + ")"];
        ++packets;
        bytes += lengths[i];
        theirs.nodes.insert(f[0]);
        theirs.nodes.insert(f[1]);
        theirs.pairs.insert(PairKey(f[0], f[1]));
        tcp += !f[7].empty();
        udp += !f[8].empty();
        icmp6 += !f[9].empty();
    }
    Totals ours = FromCollector(mon);
    EXPECT_EQ(ours.byProtocol, theirs.byProtocol);
    EXPECT_EQ(ours.nodes, theirs.nodes);
    EXPECT_EQ(ours.pairs, theirs.pairs);

    ASSERT_EQ(mon.ports.size(), 1u);
    const CMonPort& port = *mon.ports.begin()->second;
    auto total = [](const StatTable& table) {
        int64_t n = 0;
        for (const auto& [label, stat] : table) n += stat.packets;
        return n;
    };
    EXPECT_EQ(total(port.tcpServices), tcp);
    EXPECT_EQ(total(port.udpServices), udp) << "the later fragment counts in the IP tables only";
    EXPECT_EQ(total(port.icmpTypes), icmp6);
    ASSERT_NE(port.FindStat(port.icmpTypes, "ICMPv6 Neighbor Solicitation"), nullptr);
    EXPECT_EQ(port.FindStat(port.icmpTypes, "ICMPv6 Neighbor Solicitation")->packets, 5);
    ASSERT_NE(port.FindStat(port.ethernetTypes, "IPv6"), nullptr);
    EXPECT_EQ(port.FindStat(port.ethernetTypes, "IPv6")->packets, int64_t(frames.size())) << "VLAN frames too";
    EXPECT_EQ(port.tosTable.count(TosKey{*CIpAddress::Parse("fd00:1::3"), 184}), 1u);
}

}  // namespace
}  // namespace ortolan
