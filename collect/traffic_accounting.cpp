#include "traffic_accounting.h"

#include "text_builder.h"

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
using Label = TextBuilder<40>;

std::string_view EthernetLabel(uint16_t type, Label& buf)
{
    if (type <= 1500) return "IEEE802.3";
    switch (type) {
    case 0x0800: return "IPv4";
    case 0x0806: return "ARP";
    case 0x86DD: return "IPv6";
    default: break;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    const char digits[4] = {kHex[type >> 12], kHex[(type >> 8) & 15], kHex[(type >> 4) & 15], kHex[type & 15]};
    buf << "0x" << std::string_view(digits, 4);
    return buf.view();
}

std::string_view IcmpText(uint8_t type, uint8_t code, Label& buf)
{
    switch (type) {
    case 0: return "Echo Reply";
    case 3:
        if (code == 0) return "Net Unreachable";
        if (code == 1) return "Host Unreachable";
        if (code == 3) return "Port Unreachable";
        buf << "Destination Unreachable(" << unsigned(code) << ")";
        return buf.view();
    case 4: return "Source Quench";
    case 5: return "Redirect";
    case 8: return "Echo";
    case 11: return "Time Exceeded";
    case 13: return "Timestamp";
    case 14: return "Timestamp Reply";
    default:
        buf << "icmp(" << unsigned(type) << ")";
        return buf.view();
    }
}

}  // namespace

std::string CTrafficAccounting::EthernetTypeLabel(uint16_t type)
{
    Label buf;
    return std::string(EthernetLabel(type, buf));
}

std::string CTrafficAccounting::IcmpLabel(uint8_t type, uint8_t code)
{
    Label buf;
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
    Label buf;
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
    Label buf;
    std::string_view label;
    if (const std::string* name = m_names.ProtocolName(protocol))
        label = *name;
    else
        label = (buf << "IP(" << unsigned(protocol) << ")").view();
    AddTo(port.FindOrAddStat(port.ipProtocols, label), packets, bytes);
    return flow;
}

void CTrafficAccounting::AccountTos(CMonPort& port, std::string_view source, uint8_t tos,
                                    int64_t packets, int64_t bytes)
{
    TextBuilder<64> key;
    key << source << ":" << unsigned(tos);
    if (!key.ok()) return;
    AddTo(port.FindOrAddStat(port.tosTable, key.view()), packets, bytes);
}

void CTrafficAccounting::AccountTcp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.tcpServices, &CNameTables::TcpName, "tcp", "TCP",
                   sourcePort, destinationPort, packets, bytes);
}

void CTrafficAccounting::AccountUdp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.udpServices, &CNameTables::UdpName, "udp", "UDP",
                   sourcePort, destinationPort, packets, bytes);
}

void CTrafficAccounting::AccountService(CMonPort& port, const tagIpFlow& flow,
                                        TextMap<tagProtStat>& table,
                                        const std::string* (CNameTables::*lookup)(uint16_t) const,
                                        const char* protocol, const char* numericPrefix,
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
    TextBuilder<300> buf;
    std::string_view label;
    if (name) {
        label = *name;
        buf << *name << "/" << protocol << (presumed ? "?" : "");
        if (buf.ok()) {
            if (node) port.AddService(node->services, buf.view());
            if (flow.pair) port.AddService(flow.pair->services, buf.view());
        }
    } else {
        label = (buf << numericPrefix << "(" << unsigned(s < d ? s : d) << ")").view();
    }
    AddTo(port.FindOrAddStat(table, label), packets, bytes);
}

void CTrafficAccounting::AccountIcmp(CMonPort& port, const tagIpFlow& flow, uint8_t type,
                                     uint8_t code, int64_t packets, int64_t bytes)
{
    Label buf;
    std::string_view label = IcmpText(type, code, buf);
    if (label.find('(') == std::string_view::npos) {
        TextBuilder<64> service;
        service << label << "/icmp";
        if (flow.source) port.AddService(flow.source->services, service.view());
        if (flow.pair) port.AddService(flow.pair->services, service.view());
    }
    AddTo(port.FindOrAddStat(port.icmpTypes, label), packets, bytes);
}

}  // namespace ortolan
