// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_pcap.h"

#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace ortolan {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Flow {
    uint32_t client = 0;
    uint32_t server = 0;
    uint8_t protocol = 6;
    uint16_t clientPort = 0;
    uint16_t serverPort = 0;
    uint8_t tos = 0;
    uint32_t packetsLeft = 0;
    bool fromClient = true;
};

class FrameBuilder {
public:
    void Clear() { m_bytes.clear(); }
    void Put8(uint8_t v) { m_bytes.push_back(v); }
    void Put16(uint16_t v)
    {
        m_bytes.push_back(uint8_t(v >> 8));
        m_bytes.push_back(uint8_t(v));
    }
    void Put32(uint32_t v)
    {
        Put16(uint16_t(v >> 16));
        Put16(uint16_t(v));
    }
    void PutMac(uint32_t host)
    {
        Put16(0x0200);
        Put32(host + 1);
    }
    size_t size() const { return m_bytes.size(); }
    uint8_t* data() { return m_bytes.data(); }
    uint8_t& at(size_t i) { return m_bytes[i]; }

private:
    std::vector<uint8_t> m_bytes;
};

uint32_t HostAddress(uint32_t host)
{
    return (10u << 24) | (1u << 16) | ((host / 250) << 8) | (host % 250 + 1);
}

void PutLe32(std::FILE* f, uint32_t v)
{
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

constexpr std::array<uint16_t, 8> kTcpServices = {80, 443, 22, 25, 143, 3389, 8080, 445};
constexpr std::array<uint16_t, 6> kUdpServices = {53, 123, 161, 514, 5060, 1900};
constexpr std::array<uint8_t, 4> kTosValues = {0, 0, 0x28, 0xB8};

}  // namespace

bool CTrafficPcap::Write(const std::string& path, uint32_t firstSecond) const
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    PutLe32(f.get(), 0xa1b2c3d4);
    std::fwrite("\x02\x00\x04\x00", 1, 4, f.get());
    PutLe32(f.get(), 0);
    PutLe32(f.get(), 0);
    PutLe32(f.get(), m_shape.snapLength);
    PutLe32(f.get(), 1);

    std::mt19937 rng(m_shape.seed);
    auto pick = [&rng](uint32_t n) { return uint32_t(rng() % n); };
    auto newFlow = [&]() {
        Flow flow;
        flow.client = m_shape.servers + pick(m_shape.hosts - m_shape.servers);
        // Most traffic goes to servers, some between ordinary hosts.
        flow.server = pick(10) < 8 ? pick(m_shape.servers) : pick(m_shape.hosts);
        uint32_t kind = pick(100);
        flow.protocol = kind < 55 ? 6 : kind < 90 ? 17 : 1;
        flow.clientPort = uint16_t(1024 + pick(64000));
        flow.serverPort = flow.protocol == 6    ? kTcpServices[pick(kTcpServices.size())]
                          : flow.protocol == 17 ? kUdpServices[pick(kUdpServices.size())]
                                                : 0;
        flow.tos = kTosValues[pick(kTosValues.size())];
        flow.packetsLeft = 1 + pick(12);
        return flow;
    };
    std::vector<Flow> active(m_shape.activeFlows);
    for (auto& flow : active) flow = newFlow();

    FrameBuilder b;
    uint64_t micros = 0;
    for (uint32_t n = 0; n < m_shape.frames; ++n) {
        Flow& flow = active[pick(uint32_t(active.size()))];
        uint32_t src = flow.fromClient ? flow.client : flow.server;
        uint32_t dst = flow.fromClient ? flow.server : flow.client;
        uint16_t sport = flow.fromClient ? flow.clientPort : flow.serverPort;
        uint16_t dport = flow.fromClient ? flow.serverPort : flow.clientPort;
        size_t payload = flow.protocol == 6    ? (pick(3) == 0 ? 0 : pick(2) ? 1460 : 40 + pick(900))
                         : flow.protocol == 17 ? 20 + pick(480)
                                               : 56;

        b.Clear();
        b.PutMac(dst);
        b.PutMac(src);
        // The client side decides the tag, so a conversation stays on one VLAN.
        uint32_t vlanOf = flow.client % 3;
        if (vlanOf) {
            b.Put16(0x8100);
            b.Put16(uint16_t(vlanOf * 10));
        }
        b.Put16(0x0800);
        size_t ipStart = b.size();
        size_t transport = flow.protocol == 6 ? 20 : 8;
        size_t ipLength = 20 + transport + payload;
        b.Put8(0x45);
        b.Put8(flow.tos);
        b.Put16(uint16_t(ipLength));
        b.Put16(uint16_t(n));
        b.Put16(0x4000);
        b.Put8(64);
        b.Put8(flow.protocol);
        b.Put16(0);
        b.Put32(HostAddress(src));
        b.Put32(HostAddress(dst));
        uint32_t sum = 0;
        for (size_t i = ipStart; i < ipStart + 20; i += 2) sum += uint32_t(b.at(i) << 8 | b.at(i + 1));
        while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
        b.at(ipStart + 10) = uint8_t(~sum >> 8);
        b.at(ipStart + 11) = uint8_t(~sum);
        if (flow.protocol == 6) {
            b.Put16(sport);
            b.Put16(dport);
            b.Put32(n);
            b.Put32(n);
            b.Put8(0x50);
            b.Put8(0x18);
            b.Put16(65535);
            b.Put32(0);
        } else if (flow.protocol == 17) {
            b.Put16(sport);
            b.Put16(dport);
            b.Put16(uint16_t(8 + payload));
            b.Put16(0);
        } else {
            b.Put8(flow.fromClient ? 8 : 0);
            b.Put8(0);
            b.Put16(0);
            b.Put32(n);
        }
        size_t headerLength = b.size();
        size_t frameLength = headerLength + payload;
        size_t stored = std::min<size_t>(frameLength, m_shape.snapLength);
        while (b.size() < stored) b.Put8(0x5A);

        PutLe32(f.get(), firstSecond + uint32_t(micros / 1000000));
        PutLe32(f.get(), uint32_t(micros % 1000000));
        PutLe32(f.get(), uint32_t(stored));
        PutLe32(f.get(), uint32_t(frameLength));
        std::fwrite(b.data(), 1, stored, f.get());
        micros += m_shape.frameGapMicros;

        flow.fromClient = !flow.fromClient;
        if (--flow.packetsLeft == 0) flow = newFlow();
    }
    return std::fflush(f.get()) == 0 && !std::ferror(f.get());
}

}  // namespace ortolan
