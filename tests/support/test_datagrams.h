// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Datagrams for the flow-log tests, built field by field after the public
// formats (sFlow v5, the NetFlow v5 export format, NetFlow v9, IPFIX), a loopback exporter that
// sends them to a collector's real socket, and a digest of what a collector
// counted, so two runs can be compared.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "flow_collector.h"

namespace ortolan::testdata {

class Bytes {
public:
    std::vector<uint8_t> v;
    Bytes& u8(uint32_t x) { v.push_back(uint8_t(x)); return *this; }
    Bytes& u16(uint32_t x) { return u8(x >> 8).u8(x); }
    Bytes& u32(uint32_t x) { return u16(x >> 16).u16(x); }
    Bytes& u64(uint64_t x) { return u32(uint32_t(x >> 32)).u32(uint32_t(x)); }
    Bytes& raw(const std::vector<uint8_t>& b) { v.insert(v.end(), b.begin(), b.end()); return *this; }
};

// An Ethernet frame head carrying IPv4 and TCP from 10.0.0.<host> to 10.0.1.<host+1>.
inline std::vector<uint8_t> TcpFrameHead(uint8_t host, uint16_t dstPort)
{
    Bytes b;
    b.raw({0x00, 0x11, 0x22, 0x33, 0x44, uint8_t(host + 1)}).raw({0x00, 0x0C, 0x29, 0x00, 0x00, host});
    b.u16(0x0800);
    b.u8(0x45).u8(0x10).u16(1500 - 14).u16(1).u16(0).u8(64).u8(6).u16(0);
    b.raw({10, 0, 0, host}).raw({10, 0, 1, uint8_t(host + 1)});
    b.u16(40000 + host).u16(dstPort).u32(1).u32(0).u8(0x50).u8(0x18).u16(1024).u16(0).u16(0);
    return b.v;
}

// sFlow v5 from agent 192.0.2.<agent>: one flow sample with a raw Ethernet
// header and one generic interface counter sample of ifIndex 3.
inline std::vector<uint8_t> SFlowV5(uint8_t agent, uint32_t sequence, uint32_t uptime, uint8_t host,
                                    uint64_t inOctets)
{
    std::vector<uint8_t> head = TcpFrameHead(host, host % 2 ? 80 : 443);
    Bytes record;
    record.u32(1).u32(uint32_t(1500)).u32(4).u32(uint32_t(head.size())).raw(head);
    while (record.v.size() % 4) record.u8(0);
    Bytes flow;
    flow.u32(sequence).u32(3).u32(256).u32(sequence * 256).u32(0).u32(3).u32(4).u32(1);
    flow.u32(1).u32(uint32_t(record.v.size())).raw(record.v);
    Bytes counters;
    counters.u32(sequence).u32(3).u32(1).u32(1).u32(88);
    counters.u32(3).u32(6).u64(1000000000).u32(1).u32(3).u64(inOctets).u32(uint32_t(inOctets / 500));
    counters.u32(7).u32(2).u32(0).u32(0).u32(0).u64(inOctets / 2).u32(11).u32(1).u32(1).u32(0).u32(0).u32(0);
    Bytes d;
    d.u32(5).u32(1).raw({192, 0, 2, agent}).u32(0).u32(sequence).u32(uptime).u32(2);
    d.u32(1).u32(uint32_t(flow.v.size())).raw(flow.v);
    d.u32(2).u32(uint32_t(counters.v.size())).raw(counters.v);
    return d.v;
}

// NetFlow v5 with the given number of TCP flow records.
inline std::vector<uint8_t> NetFlowV5(uint32_t sequence, uint8_t engine, uint32_t uptime, int records)
{
    Bytes d;
    d.u16(5).u16(uint32_t(records)).u32(uptime).u32(1700000000).u32(0).u32(sequence);
    d.u8(0).u8(engine).u16(0);
    for (int i = 0; i < records; ++i) {
        d.raw({172, 16, 0, uint8_t(1 + i)}).raw({172, 16, 1, uint8_t(2 + i)}).u32(0);
        d.u16(1).u16(2).u32(10 + i).u32(4000 + 100 * i).u32(uptime - 1000).u32(uptime);
        d.u16(1024 + i).u16(i % 2 ? 22 : 80).u8(0).u8(0x18).u8(6).u8(0).u16(0).u16(0);
        d.u8(24).u8(24).u16(0);
    }
    return d.v;
}

// NetFlow v9 (version 9) or IPFIX (10) with the given number of TCP flow
// records under template 260. The template comes only when asked for, so a
// replay must have learnt it from an earlier datagram of the log.
inline std::vector<uint8_t> TemplatedFlows(int version, uint32_t sequence, uint32_t uptime, int records,
                                           bool withTemplate)
{
    Bytes sets;
    if (withTemplate) {
        const uint16_t fields[][2] = {{8, 4}, {12, 4}, {10, 2}, {14, 2}, {2, 4}, {1, 4}, {7, 2}, {11, 2}, {4, 1}};
        sets.u16(version == 9 ? 0 : 2).u16(4 + 4 + 4 * 9).u16(260).u16(9);
        for (const auto& f : fields) sets.u16(f[0]).u16(f[1]);
    }
    sets.u16(260).u16(4 + 25 * uint32_t(records));
    for (int i = 0; i < records; ++i) {
        sets.raw({172, 16, 0, uint8_t(1 + i)}).raw({172, 16, 1, uint8_t(2 + i)}).u16(1).u16(2);
        sets.u32(10 + i).u32(4000 + 100 * i).u16(1024 + i).u16(i % 2 ? 22 : 80).u8(6);
    }
    Bytes d;
    if (version == 9)
        d.u16(9).u16(withTemplate ? 2 : 1).u32(uptime).u32(1700000000).u32(sequence).u32(4);
    else
        d.u16(10).u16(16 + uint32_t(sets.v.size())).u32(1700000000 + uptime / 1000).u32(sequence).u32(4);
    d.raw(sets.v);
    return d.v;
}

// Sends datagrams from a loopback socket to a collector opened on a free
// loopback port, and pumps its readiness callback until they have arrived.
class LoopbackExporter {
public:
    LoopbackExporter() { m_fd = ::socket(AF_INET, SOCK_DGRAM, 0); }
    ~LoopbackExporter() { if (m_fd >= 0) ::close(m_fd); }

    // Opens the collector on a port the system reports free; false when none opens.
    static bool OpenOnFreePort(CFlowCollector& collector)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof a;
            ::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
            uint16_t port = ntohs(a.sin_port);
            ::close(probe);
            if (port != 0 && collector.Open(port)) return true;
        }
        return false;
    }

    // Sends each datagram and reads it back through OnReceive, one at a time,
    // so every datagram is stamped by the collector's clock in order.
    bool Deliver(CFlowCollector& collector, const std::vector<std::vector<uint8_t>>& datagrams)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(collector.boundPort());
        for (const auto& d : datagrams) {
            uint64_t before = collector.datagramCount;
            if (::sendto(m_fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
                ssize_t(d.size()))
                return false;
            for (int tries = 0; tries < 2000 && collector.datagramCount == before; ++tries) {
                collector.OnReceive(0);
                if (collector.datagramCount == before) ::usleep(500);
            }
            if (collector.datagramCount != before + 1) return false;
        }
        return true;
    }

private:
    int m_fd = -1;
};

// Everything a collector counted, as sorted text lines.
inline std::string Digest(const CFlowCollector& c)
{
    std::vector<std::string> lines;
    std::ostringstream head;
    head << "count " << c.datagramCount << " agents";
    for (const auto& a : c.agents) head << ' ' << a;
    lines.push_back(head.str());
    for (const auto& [key, p] : c.ports) {
        auto add = [&](const std::string& s) { lines.push_back(key + " " + s); };
        std::ostringstream o;
        o << "port " << p->datagrams << ' ' << p->lastSequence << ' ' << p->sampleCount << ' '
          << p->sampledBytes;
        add(o.str());
        for (const auto& [k, m] : p->macs) {
            std::ostringstream s;
            s << "mac " << k.String() << ' ' << m.txPackets << ' ' << m.txBytes << ' ' << m.rxPackets << ' '
              << m.rxBytes << ' ' << m.firstSeen << ' ' << m.lastSeen;
            add(s.str());
        }
        for (const auto& [k, n] : p->ips) {
            std::ostringstream s;
            s << "ip " << k.String() << ' ' << n.txPackets << ' ' << n.txBytes << ' ' << n.rxPackets << ' '
              << n.rxBytes << ' ' << n.firstSeen << ' ' << n.lastSeen;
            std::vector<std::string> services;
            for (uint32_t label : n.services) services.push_back(p->LabelText(label));
            std::sort(services.begin(), services.end());
            for (const std::string& service : services) s << ' ' << service;
            add(s.str());
        }
        auto addPair = [&](const std::string& text, const tagMtxEntry& m) {
            std::ostringstream s;
            s << "pair " << text << ' ' << m.packetsAtoB << ' ' << m.bytesAtoB << ' ' << m.packetsBtoA
              << ' ' << m.bytesBtoA;
            add(s.str());
        };
        for (const auto& [k, m] : p->macMatrix) addPair(CMonPort::PairText(k, m), m);
        for (const auto& [k, m] : p->ipMatrix) addPair(CMonPort::PairText(k, m), m);
        auto addStat = [&](const std::string& k, const tagProtStat& st) {
            add("stat " + k + ' ' + std::to_string(st.packets) + ' ' + std::to_string(st.bytes));
        };
        for (const auto* table : {&p->ethernetTypes, &p->ipProtocols, &p->tcpServices, &p->udpServices,
                                  &p->icmpTypes})
            for (const auto& [label, st] : *table) addStat(p->LabelText(label), st);
        for (const auto& [k, st] : p->tosTable) addStat(k.String(), st);
        for (const auto& [index, ifc] : p->interfaces) {
            std::ostringstream s;
            s << "if " << index << ' ' << ifc.current.ifInOctets << ' ' << ifc.current.ifOutOctets << ' '
              << ifc.current.sampleTime << ' ' << ifc.history.size();
            add(s.str());
        }
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

}  // namespace ortolan::testdata
