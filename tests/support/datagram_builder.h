// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds big-endian test datagrams field by field, so vectors read like the
// wire formats they stand for.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>
#include <utility>

namespace ortolan::testing {

class Bytes {
public:
    Bytes& u8(uint8_t v) { m_b.push_back(v); return *this; }
    Bytes& u16(uint16_t v) { return u8(uint8_t(v >> 8)).u8(uint8_t(v)); }
    Bytes& u32(uint32_t v) { return u16(uint16_t(v >> 16)).u16(uint16_t(v)); }
    Bytes& u64(uint64_t v) { return u32(uint32_t(v >> 32)).u32(uint32_t(v)); }
    Bytes& raw(std::initializer_list<uint8_t> v) { m_b.insert(m_b.end(), v); return *this; }
    Bytes& raw(const std::vector<uint8_t>& v) { m_b.insert(m_b.end(), v.begin(), v.end()); return *this; }
    template <size_t N>
    Bytes& raw(const std::array<uint8_t, N>& v) { m_b.insert(m_b.end(), v.begin(), v.end()); return *this; }
    Bytes& zeros(size_t n) { m_b.insert(m_b.end(), n, 0); return *this; }
    // Length-prefixed opaque data padded to four bytes (XDR).
    Bytes& opaque(const std::vector<uint8_t>& v)
    {
        u32(uint32_t(v.size())).raw(v);
        return zeros((4 - v.size() % 4) % 4);
    }
    Bytes& ipv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return raw({a, b, c, d}); }
    size_t size() const { return m_b.size(); }
    const std::vector<uint8_t>& data() const { return m_b; }
    operator const std::vector<uint8_t>&() const { return m_b; }

private:
    std::vector<uint8_t> m_b;
};

// An Ethernet/IPv4 frame header with a TCP, UDP or ICMP start.
struct FrameSpec {
    std::array<uint8_t, 6> dstMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::array<uint8_t, 6> srcMac{0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    int vlan = -1;  // a tag when 0 or above
    uint8_t tos = 0;
    uint8_t protocol = 6;
    uint16_t fragment = 0;  // flags and offset word
    uint8_t src[4] = {192, 168, 0, 2};
    uint8_t dst[4] = {192, 168, 0, 9};
    uint16_t sport = 80;
    uint16_t dport = 3000;
};

inline std::vector<uint8_t> EthernetIpv4Frame(const FrameSpec& f)
{
    Bytes b;
    b.raw(f.dstMac).raw(f.srcMac);
    if (f.vlan >= 0) b.u16(0x8100).u16(uint16_t(f.vlan));
    b.u16(0x0800);
    b.u8(0x45).u8(f.tos).u16(40).u16(1).u16(f.fragment).u8(64).u8(f.protocol).u16(0);
    b.ipv4(f.src[0], f.src[1], f.src[2], f.src[3]).ipv4(f.dst[0], f.dst[1], f.dst[2], f.dst[3]);
    if (f.protocol == 1)
        b.u8(uint8_t(f.sport)).u8(uint8_t(f.dport)).zeros(6);
    else
        b.u16(f.sport).u16(f.dport).zeros(16);
    return b.data();
}

// sFlow v5 pieces.
inline Bytes SflowV5Header(uint32_t sequence, uint32_t samples, uint32_t subAgent = 0,
                           std::initializer_list<uint8_t> agent = {10, 0, 0, 1}, uint32_t uptime = 1000)
{
    Bytes b;
    b.u32(5).u32(1).raw(agent).u32(subAgent).u32(sequence).u32(uptime).u32(samples);
    return b;
}

inline std::vector<uint8_t> RawHeaderRecordV5(const std::vector<uint8_t>& header, uint32_t frameLength,
                                              uint32_t protocol = 1)
{
    Bytes body;
    body.u32(protocol).u32(frameLength).u32(4).opaque(header);
    Bytes rec;
    rec.u32(1).u32(uint32_t(body.size())).raw(body.data());
    return rec.data();
}

inline std::vector<uint8_t> FlowSampleV5(const std::vector<std::vector<uint8_t>>& records,
                                         bool expanded = false, int32_t recordCount = -1,
                                         uint32_t samplingRate = 400)
{
    Bytes body;
    body.u32(1);  // sequence
    if (expanded) body.u32(0).u32(3); else body.u32(3);
    body.u32(samplingRate).u32(1000).u32(0);
    if (expanded) body.u32(0).u32(1).u32(0).u32(2); else body.u32(1).u32(2);
    body.u32(recordCount >= 0 ? uint32_t(recordCount) : uint32_t(records.size()));
    for (const auto& r : records) body.raw(r);
    Bytes s;
    s.u32(expanded ? 3 : 1).u32(uint32_t(body.size())).raw(body.data());
    return s.data();
}

struct IfCounters {
    uint32_t ifIndex = 3;
    uint64_t inOctets = 0;
    uint32_t inUcast = 0, inMulticast = 0, inBroadcast = 0;
    uint64_t outOctets = 0;
};

inline std::vector<uint8_t> GenericCounters(const IfCounters& c)
{
    Bytes b;
    b.u32(c.ifIndex).u32(6).u64(1000000000).u32(1).u32(3).u64(c.inOctets).u32(c.inUcast)
        .u32(c.inMulticast).u32(c.inBroadcast).u32(0).u32(0).u32(0).u64(c.outOctets)
        .u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    return b.data();
}

inline std::vector<uint8_t> CounterSampleV5(const IfCounters& c, bool expanded = false)
{
    auto counters = GenericCounters(c);
    Bytes body;
    body.u32(1);
    if (expanded) body.u32(0).u32(c.ifIndex); else body.u32(c.ifIndex);
    body.u32(1).u32(1).u32(uint32_t(counters.size())).raw(counters);
    Bytes s;
    s.u32(expanded ? 4 : 2).u32(uint32_t(body.size())).raw(body.data());
    return s.data();
}

// NetFlow v5 record.
struct FlowSpec {
    uint8_t src[4] = {10, 0, 0, 1};
    uint8_t dst[4] = {10, 1, 2, 3};
    uint16_t input = 1, output = 2;
    uint32_t packets = 10, octets = 15000;
    uint16_t sport = 80, dport = 3000;
    uint8_t protocol = 6, tos = 0, dstMask = 24;
};

// `sampling`: the header's sampling field, mode in the top two bits.
inline std::vector<uint8_t> NetflowV5(uint32_t sequence, const std::vector<FlowSpec>& flows,
                                      uint8_t engine = 0, int countOverride = -1, uint32_t uptime = 5000,
                                      uint16_t sampling = 0)
{
    Bytes b;
    b.u16(5).u16(uint16_t(countOverride >= 0 ? countOverride : int(flows.size()))).u32(uptime)
        .u32(0).u32(0).u32(sequence).u8(0).u8(engine).u16(sampling);
    for (const auto& f : flows) {
        b.ipv4(f.src[0], f.src[1], f.src[2], f.src[3]).ipv4(f.dst[0], f.dst[1], f.dst[2], f.dst[3])
            .u32(0).u16(f.input).u16(f.output).u32(f.packets).u32(f.octets).u32(0).u32(0)
            .u16(f.sport).u16(f.dport).u8(0).u8(0).u8(f.protocol).u8(f.tos).u16(0).u16(0).u8(0)
            .u8(f.dstMask).u16(0);
    }
    return b.data();
}

inline std::vector<uint8_t> NetflowV1(const std::vector<FlowSpec>& flows, uint32_t uptime = 5000)
{
    Bytes b;
    b.u16(1).u16(uint16_t(flows.size())).u32(uptime).u32(0).u32(0);
    for (const auto& f : flows) {
        b.ipv4(f.src[0], f.src[1], f.src[2], f.src[3]).ipv4(f.dst[0], f.dst[1], f.dst[2], f.dst[3])
            .u32(0).u16(f.input).u16(f.output).u32(f.packets).u32(f.octets).u32(0).u32(0)
            .u16(f.sport).u16(f.dport).u16(0).u8(f.protocol).u8(f.tos).u8(0).zeros(7);
    }
    return b.data();
}

// NetFlow v9 (RFC 3954) and IPFIX (RFC 7011) pieces. A set is its id, its
// length and its body.
inline Bytes FlowSet(uint16_t id, const Bytes& body)
{
    Bytes b;
    b.u16(id).u16(uint16_t(4 + body.size())).raw(body.data());
    return b;
}

inline std::vector<uint8_t> NetflowV9(uint32_t sequence, uint32_t sourceId, const std::vector<Bytes>& sets,
                                      uint32_t uptime = 5000)
{
    Bytes b;
    b.u16(9).u16(uint16_t(sets.size())).u32(uptime).u32(1700000000).u32(sequence).u32(sourceId);
    for (const auto& s : sets) b.raw(s.data());
    return b.data();
}

inline std::vector<uint8_t> Ipfix(uint32_t sequence, uint32_t domain, const std::vector<Bytes>& sets,
                                  uint32_t exportTime = 1700000000)
{
    Bytes body;
    for (const auto& s : sets) body.raw(s.data());
    Bytes b;
    b.u16(10).u16(uint16_t(16 + body.size())).u32(exportTime).u32(sequence).u32(domain).raw(body.data());
    return b.data();
}

// A template record: its id and (element id, length) pairs; v9 and IPFIX alike
// while no enterprise bit is set.
inline Bytes TemplateRecord(uint16_t id, std::initializer_list<std::pair<uint16_t, uint16_t>> fields)
{
    Bytes b;
    b.u16(id).u16(uint16_t(fields.size()));
    for (auto [type, length] : fields) b.u16(type).u16(length);
    return b;
}

// The figures of a v5 record as a template, and a FlowSpec as its data record:
// addresses, interfaces, packets, octets, ports, ICMP type and code (from
// dport for ICMP, as v5 carries them), protocol, ToS, destination mask.
inline Bytes SpecTemplate(uint16_t id)
{
    return TemplateRecord(id, {{8, 4}, {12, 4}, {10, 2}, {14, 2}, {2, 4}, {1, 4}, {7, 2}, {11, 2}, {32, 2},
                               {4, 1}, {5, 1}, {13, 1}});
}

inline Bytes SpecRecord(const FlowSpec& f)
{
    Bytes b;
    b.ipv4(f.src[0], f.src[1], f.src[2], f.src[3]).ipv4(f.dst[0], f.dst[1], f.dst[2], f.dst[3]);
    b.u16(f.input).u16(f.output).u32(f.packets).u32(f.octets).u16(f.sport).u16(f.dport);
    b.u16(f.protocol == 1 ? f.dport : 0).u8(f.protocol).u8(f.tos).u8(f.dstMask);
    return b;
}

inline Bytes SpecRecords(const std::vector<FlowSpec>& flows)
{
    Bytes b;
    for (const auto& f : flows) b.raw(SpecRecord(f).data());
    return b;
}

}  // namespace ortolan::testing
