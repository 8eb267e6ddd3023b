// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic_accounting.h"

#include "text_builder.h"

namespace ortolan {
namespace {

// Every count goes through the port's scaled figures, which keep their own
// sums once the port's records came at several sampling rates.
void AddTo(CMonPort& port, tagProtStat* stat, int64_t packets, int64_t bytes)
{
    if (!stat) return;
    port.scaled.Add(stat->packets, stat->bytes, packets, bytes);
}

void AddToPair(CMonPort& port, tagMtxEntry* pair, bool sourceIsA, int64_t packets, int64_t bytes, int64_t now)
{
    if (!pair) return;
    if (sourceIsA)
        port.scaled.Add(pair->packetsAtoB, pair->bytesAtoB, packets, bytes);
    else
        port.scaled.Add(pair->packetsBtoA, pair->bytesBtoA, packets, bytes);
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

// The RFC 4443 and RFC 4861 name of an ICMPv6 type (and code), empty when unnamed.
std::string_view Icmp6Name(uint8_t type, uint8_t code)
{
    switch (type) {
    case 1:
        switch (code) {
        case 0: return "No Route";
        case 1: return "Administratively Prohibited";
        case 3: return "Address Unreachable";
        case 4: return "Port Unreachable";
        default: return {};
        }
    case 2: return "Packet Too Big";
    case 3: return "Time Exceeded";
    case 4: return "Parameter Problem";
    case 128: return "Echo Request";
    case 129: return "Echo Reply";
    case 130: return "Multicast Listener Query";
    case 131: return "Multicast Listener Report";
    case 132: return "Multicast Listener Done";
    case 133: return "Router Solicitation";
    case 134: return "Router Advertisement";
    case 135: return "Neighbor Solicitation";
    case 136: return "Neighbor Advertisement";
    case 137: return "Redirect";
    case 143: return "Multicast Listener Report v2";
    default: return {};
    }
}

std::string_view Icmp6Text(uint8_t type, uint8_t code, Label& buf)
{
    std::string_view name = Icmp6Name(type, code);
    if (!name.empty())
        buf << "ICMPv6 " << name;
    else if (type == 1)
        buf << "ICMPv6 Destination Unreachable(" << unsigned(code) << ")";
    else
        buf << "icmpv6(" << unsigned(type) << ")";
    return buf.view();
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

std::string CTrafficAccounting::Icmp6Label(uint8_t type, uint8_t code)
{
    Label buf;
    return std::string(Icmp6Text(type, code, buf));
}

CTrafficAccounting::CTrafficAccounting(const CNameTables& names, const int64_t& datagramTime)
    : m_names(names), m_time(datagramTime), m_labels(std::make_shared<CLabelTable>())
{
}

void CTrafficAccounting::ClearLabelCache()
{
    m_ethernet.clear();
    m_protocols.clear();
    m_tcp.clear();
    m_udp.clear();
    m_tcpNamed.clear();
    m_udpNamed.clear();
    m_icmp.clear();
    m_icmp6.clear();
}

void CTrafficAccounting::AccountMac(CMonPort& port, const MacAddress& destination, const MacAddress& source,
                                    uint16_t type, int64_t packets, int64_t bytes)
{
    int64_t now = m_time;
    const CMonPort::tagMacFlowEntries entries = port.FindOrAddMacFlow(source, destination, now);
    AddToPair(port, entries.pair, entries.sourceIsA, packets, bytes, now);
    m_sourceMac = source;
    m_haveSourceMac = true;
    if (tagMacEntry* src = entries.source) {
        port.scaled.Add(src->txPackets, src->txBytes, packets, bytes);
        src->lastSeen = now;
    }
    if (tagMacEntry* dst = entries.destination) {
        port.scaled.Add(dst->rxPackets, dst->rxBytes, packets, bytes);
        dst->lastSeen = now;
    }
    if (m_ethernet.empty()) m_ethernet.assign(65536, 0);
    uint32_t& label = m_ethernet[type];
    if (label == 0) {
        Label buf;
        label = m_labels->Intern(EthernetLabel(type, buf));
    }
    AddTo(port, port.FindOrAddStat(port.ethernetTypes, label), packets, bytes);
}

tagIpFlow CTrafficAccounting::AccountIpNodes(CMonPort& port, const CIpAddress& source,
                                             const CIpAddress& destination, int64_t packets, int64_t bytes)
{
    int64_t now = m_time;
    tagIpFlow flow;
    const CMonPort::tagFlowEntries entries =
        port.FindOrAddIpFlow(source, destination, now, m_haveSourceMac ? &m_sourceMac : nullptr);
    flow.pair = entries.pair;
    AddToPair(port, flow.pair, entries.sourceIsA, packets, bytes, now);
    flow.source = entries.source;
    if (flow.source) {
        port.scaled.Add(flow.source->txPackets, flow.source->txBytes, packets, bytes);
        flow.source->lastSeen = now;
    }
    m_haveSourceMac = false;
    flow.destination = entries.destination;
    if (flow.destination) {
        port.scaled.Add(flow.destination->rxPackets, flow.destination->rxBytes, packets, bytes);
        flow.destination->lastSeen = now;
    }
    return flow;
}

tagIpFlow CTrafficAccounting::AccountIp(CMonPort& port, const CIpAddress& source, const CIpAddress& destination,
                                        uint8_t protocol, int64_t packets, int64_t bytes)
{
    tagIpFlow flow = AccountIpNodes(port, source, destination, packets, bytes);
    if (m_protocols.empty()) m_protocols.assign(256, 0);
    uint32_t& label = m_protocols[protocol];
    if (label == 0) {
        if (const std::string* name = m_names.ProtocolName(protocol)) {
            label = m_labels->Intern(*name);
        } else {
            Label buf;
            label = m_labels->Intern((buf << "IP(" << unsigned(protocol) << ")").view());
        }
    }
    AddTo(port, port.FindOrAddStat(port.ipProtocols, label), packets, bytes);
    return flow;
}

void CTrafficAccounting::AccountTos(CMonPort& port, const CIpAddress& source, uint8_t tos, int64_t packets,
                                    int64_t bytes)
{
    AddTo(port, port.FindOrAddTos(TosKey{source, tos}), packets, bytes);
}

void CTrafficAccounting::AccountTcp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.tcpServices, true, sourcePort, destinationPort, packets, bytes);
}

void CTrafficAccounting::AccountUdp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                                    uint16_t destinationPort, int64_t packets, int64_t bytes)
{
    AccountService(port, flow, port.udpServices, false, sourcePort, destinationPort, packets, bytes);
}

const CTrafficAccounting::tagPortLabels& CTrafficAccounting::FormPortLabels(std::vector<tagPortLabels>& cache,
                                                                          uint16_t number, bool tcp)
{
    if (cache.empty()) cache.resize(65536);
    tagPortLabels& labels = cache[number];
    if (labels.stat != 0) return labels;
    const std::string* name = tcp ? m_names.TcpName(number) : m_names.UdpName(number);
    const char* protocol = tcp ? "tcp" : "udp";
    if (name) {
        labels.stat = m_labels->Intern(*name);
        TextBuilder<300> service;
        service << *name << "/" << protocol;
        if (service.ok()) labels.service = m_labels->Intern(service.view());
        TextBuilder<300> presumed;
        presumed << *name << "/" << protocol << "?";
        if (presumed.ok()) labels.presumed = m_labels->Intern(presumed.view());
    } else {
        Label buf;
        labels.stat = m_labels->Intern((buf << (tcp ? "TCP" : "UDP") << "(" << unsigned(number) << ")").view());
    }
    return labels;
}

void CTrafficAccounting::FillNamed(bool tcp)
{
    std::vector<uint64_t>& bits = tcp ? m_tcpNamed : m_udpNamed;
    bits.assign(65536 / 64, 0);
    for (const auto& [port, name] : tcp ? m_names.tcpPortNames : m_names.udpPortNames)
        bits[port >> 6] |= uint64_t(1) << (port & 63);
}

void CTrafficAccounting::AccountService(CMonPort& port, const tagIpFlow& flow, StatTable& table, bool tcp,
                                        uint16_t s, uint16_t d, int64_t packets, int64_t bytes)
{
    std::vector<tagPortLabels>& cache = tcp ? m_tcp : m_udp;
    // The lower port is tried first. A name on the source port means the source
    // answered from a known service; a name on the destination port means the
    // destination was addressed on one, so it is only presumed a server ("?").
    const bool sourceNamed = IsNamed(s, tcp);
    const bool destinationNamed = IsNamed(d, tcp);
    int named = -1;  // 0: the source's name, 1: the destination's (presumed)
    if (s < d) {
        if (sourceNamed)
            named = 0;
        else if (destinationNamed)
            named = 1;
    } else {
        if (destinationNamed)
            named = 1;
        else if (sourceNamed)
            named = 0;
    }
    uint32_t stat;
    if (named >= 0) {
        const tagPortLabels& labels = PortLabels(cache, named == 0 ? s : d, tcp);
        stat = labels.stat;
        uint32_t service = named == 0 ? labels.service : labels.presumed;
        if (service != 0) {
            tagIpEntry* node = named == 0 ? flow.source : flow.destination;
            if (node) port.AddService(node->services, service);
            if (flow.pair) port.AddService(flow.pair->services, service);
        }
    } else {
        stat = PortLabels(cache, s < d ? s : d, tcp).stat;
    }
    AddTo(port, port.FindOrAddStat(table, stat), packets, bytes);
}

void CTrafficAccounting::AccountIcmp(CMonPort& port, const tagIpFlow& flow, uint8_t type, uint8_t code,
                                     int64_t packets, int64_t bytes)
{
    AccountIcmpLabels(port, flow, false, type, code, packets, bytes);
}

void CTrafficAccounting::AccountIcmp6(CMonPort& port, const tagIpFlow& flow, uint8_t type, uint8_t code,
                                      int64_t packets, int64_t bytes)
{
    AccountIcmpLabels(port, flow, true, type, code, packets, bytes);
}

void CTrafficAccounting::AccountIcmpLabels(CMonPort& port, const tagIpFlow& flow, bool v6, uint8_t type,
                                           uint8_t code, int64_t packets, int64_t bytes)
{
    std::vector<tagIcmpLabels>& cache = v6 ? m_icmp6 : m_icmp;
    if (cache.empty()) cache.resize(65536);
    tagIcmpLabels& labels = cache[size_t(type) << 8 | code];
    if (labels.stat == 0) {
        Label buf;
        std::string_view label = v6 ? Icmp6Text(type, code, buf) : IcmpText(type, code, buf);
        labels.stat = m_labels->Intern(label);
        if (label.find('(') == std::string_view::npos) {
            TextBuilder<64> service;
            if (v6)
                service << Icmp6Name(type, code) << "/icmpv6";
            else
                service << label << "/icmp";
            labels.service = m_labels->Intern(service.view());
        }
    }
    if (labels.service != 0) {
        if (flow.source) port.AddService(flow.source->services, labels.service);
        if (flow.pair) port.AddService(flow.pair->services, labels.service);
    }
    AddTo(port, port.FindOrAddStat(port.icmpTypes, labels.stat), packets, bytes);
}

}  // namespace ortolan
