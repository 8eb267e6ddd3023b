#include "traffic_accounting.h"

#include <cstdio>

namespace ortolan {
namespace {

void AddTo(tagProtStat* stat, int64_t packets, int64_t bytes)
{
    if (!stat) return;
    stat->packets += packets;
    stat->bytes += bytes;
}

void AddToPair(tagMtxEntry* pair, bool sourceIsA, int64_t packets, int64_t bytes, int64_t now)
{
    if (!pair) return;
    if (sourceIsA) {
        pair->packetsAtoB += packets;
        pair->bytesAtoB += bytes;
    } else {
        pair->packetsBtoA += packets;
        pair->bytesBtoA += bytes;
    }
    pair->lastSeen = now;
}

// Writes the label into buf and returns it; numeric fallback when there is no name.
std::string_view EthernetLabel(uint16_t type, char (&buf)[16])
{
    if (type <= 1500) return "IEEE802.3";
    switch (type) {
    case 0x0800: return "IPv4";
    case 0x0806: return "ARP";
    case 0x86DD: return "IPv6";
    default: break;
    }
    int n = std::snprintf(buf, sizeof buf, "0x%04X", type);
    return {buf, size_t(n)};
}

std::string_view IcmpText(uint8_t type, uint8_t code, char (&buf)[40])
{
    switch (type) {
    case 0: return "Echo Reply";
    case 3:
        if (code == 0) return "Net Unreachable";
        if (code == 1) return "Host Unreachable";
        if (code == 3) return "Port Unreachable";
        return {buf, size_t(std::snprintf(buf, sizeof buf, "Destination Unreachable(%u)", code))};
    case 4: return "Source Quench";
    case 5: return "Redirect";
    case 8: return "Echo";
    case 11: return "Time Exceeded";
    case 13: return "Timestamp";
    case 14: return "Timestamp Reply";
    default: return {buf, size_t(std::snprintf(buf, sizeof buf, "icmp(%u)", type))};
    }
}

}  // namespace

std::string CTrafficAccounting::EthernetTypeLabel(uint16_t type)
{
    char buf[16];
    return std::string(EthernetLabel(type, buf));
}

std::string CTrafficAccounting::IcmpLabel(uint8_t type, uint8_t code)
{
    char buf[40];
    return std::string(IcmpText(type, code, buf));
}

void CTrafficAccounting::AccountMac(CMonPort& port, std::string_view destination,
                                    std::string_view source, uint16_t type, int64_t packets,
                                    int64_t bytes)
{
    int64_t now = m_time;
    bool sourceIsA = true;
    tagMtxEntry* pair = port.FindOrAddPair(port.macMatrix, source, destination, now, &sourceIsA);
    AddToPair(pair, sourceIsA, packets, bytes, now);
    lastSourceMac.assign(source);
    if (tagMacEntry* src = port.FindOrAddMac(source, now)) {
        src->txPackets += packets;
        src->txBytes += bytes;
        src->lastSeen = now;
    }
    if (tagMacEntry* dst = port.FindOrAddMac(destination, now)) {
        dst->rxPackets += packets;
        dst->rxBytes += bytes;
        dst->lastSeen = now;
    }
    char buf[16];
    AddTo(port.FindOrAddStat(port.ethernetTypes, EthernetLabel(type, buf)), packets, bytes);
}

tagIpFlow CTrafficAccounting::AccountIp(CMonPort& port, std::string_view source,
                                        std::string_view destination, uint8_t protocol,
                                        int64_t packets, int64_t bytes)
{
    int64_t now = m_time;
    tagIpFlow flow;
    bool sourceIsA = true;
    flow.pair = port.FindOrAddPair(port.ipMatrix, source, destination, now, &sourceIsA);
    AddToPair(flow.pair, sourceIsA, packets, bytes, now);
    flow.source = port.FindOrAddIp(source, now);
    if (flow.source) {
        flow.source->txPackets += packets;
        flow.source->txBytes += bytes;
        flow.source->lastSeen = now;
        if (!lastSourceMac.empty()) port.AddMacToIp(*flow.source, lastSourceMac);
    }
    lastSourceMac.clear();
    flow.destination = port.FindOrAddIp(destination, now);
    if (flow.destination) {
        flow.destination->rxPackets += packets;
        flow.destination->rxBytes += bytes;
        flow.destination->lastSeen = now;
    }
    char buf[16];
    std::string_view label;
    if (const std::string* name = m_names.ProtocolName(protocol))
        label = *name;
    else
        label = {buf, size_t(std::snprintf(buf, sizeof buf, "IP(%d)", protocol))};
    AddTo(port.FindOrAddStat(port.ipProtocols, label), packets, bytes);
    return flow;
}

void CTrafficAccounting::AccountTos(CMonPort& port, std::string_view source, uint8_t tos,
                                    int64_t packets, int64_t bytes)
{
    char key[64];
    int n = std::snprintf(key, sizeof key, "%.*s:%u", int(source.size()), source.data(), tos);
    if (n < 0 || size_t(n) >= sizeof key) return;
    AddTo(port.FindOrAddStat(port.tosTable, std::string_view(key, size_t(n))), packets, bytes);
}

void CTrafficAccounting::AccountTcp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.tcpServices, &CNameTables::TcpName, "tcp", "TCP(%u)",
                   sourcePort, destinationPort, packets, bytes);
}

void CTrafficAccounting::AccountUdp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.udpServices, &CNameTables::UdpName, "udp", "UDP(%u)",
                   sourcePort, destinationPort, packets, bytes);
}

void CTrafficAccounting::AccountService(CMonPort& port, const tagIpFlow& flow,
                                        TextMap<tagProtStat>& table,
                                        const std::string* (CNameTables::*lookup)(uint16_t) const,
                                        const char* protocol, const char* numericFormat,
                                        uint16_t s, uint16_t d, int64_t packets, int64_t bytes)
{
    // The lower port is tried first. A name on the source port means the source
    // answered from a known service; a name on the destination port means the
    // destination was addressed on one, so it is only presumed a server ("?").
    const std::string* sourceName = (m_names.*lookup)(s);
    const std::string* destinationName = (m_names.*lookup)(d);
    const std::string* name = nullptr;
    tagIpEntry* node = nullptr;
    bool presumed = false;
    if (s < d) {
        if (sourceName) {
            name = sourceName;
            node = flow.source;
        } else if (destinationName) {
            name = destinationName;
            node = flow.destination;
            presumed = true;
        }
    } else {
        if (destinationName) {
            name = destinationName;
            node = flow.destination;
            presumed = true;
        } else if (sourceName) {
            name = sourceName;
            node = flow.source;
        }
    }
    char buf[300];
    std::string_view label;
    if (name) {
        label = *name;
        int n = std::snprintf(buf, sizeof buf, "%s/%s%s", name->c_str(), protocol, presumed ? "?" : "");
        if (n > 0 && size_t(n) < sizeof buf) {
            std::string_view service(buf, size_t(n));
            if (node) node->services.insert(service);
            if (flow.pair) flow.pair->services.insert(service);
        }
    } else {
        label = {buf, size_t(std::snprintf(buf, sizeof buf, numericFormat, unsigned(s < d ? s : d)))};
    }
    AddTo(port.FindOrAddStat(table, label), packets, bytes);
}

void CTrafficAccounting::AccountIcmp(CMonPort& port, const tagIpFlow& flow, uint8_t type,
                                     uint8_t code, int64_t packets, int64_t bytes)
{
    char buf[40];
    std::string_view label = IcmpText(type, code, buf);
    if (label.find('(') == std::string_view::npos) {
        char service[64];
        int n = std::snprintf(service, sizeof service, "%.*s/icmp", int(label.size()), label.data());
        std::string_view text(service, size_t(n));
        if (flow.source) flow.source->services.insert(text);
        if (flow.pair) flow.pair->services.insert(text);
    }
    AddTo(port.FindOrAddStat(port.icmpTypes, label), packets, bytes);
}

}  // namespace ortolan
