#include "nflow_mon.h"

#include <cstdio>

#include "address_text.h"
#include "big_endian_reader.h"
#include "local_time.h"

namespace ortolan {
namespace {

constexpr size_t kV1HeaderSize = 16;
constexpr size_t kV5HeaderSize = 24;
constexpr size_t kRecordSize = 48;
constexpr uint16_t kAllInterfaces = 65535;

enum class TrafficClass { Unicast, Multicast, Broadcast };

TrafficClass ClassOf(uint32_t destination, uint32_t mask)
{
    if ((destination | mask) == 0xFFFFFFFFu) return TrafficClass::Broadcast;
    return (destination >> 24) < 224 ? TrafficClass::Unicast : TrafficClass::Multicast;
}

}  // namespace

CNFlowMon::CNFlowMon(const tagLimits& limits) : CFlowCollector(2100, "NetFlow", limits, nullptr) {}

CNFlowMon::CNFlowMon(const CNameTables& names, const tagLimits& limits)
    : CFlowCollector(2100, "NetFlow", limits, &names)
{
}

uint32_t CNFlowMon::ClassfulMask(uint32_t address)
{
    uint32_t first = address >> 24;
    if (first < 128) return 0xFF000000u;
    if (first < 192) return 0xFFFF0000u;
    if (first >= 224) return 0;
    return 0xFFFFFF00u;
}

uint32_t CNFlowMon::PrefixMask(uint32_t prefixLength)
{
    if (prefixLength >= 32) return 0xFFFFFFFFu;
    if (prefixLength == 0) return 0;
    return ~uint32_t(0) << (32 - prefixLength);
}

std::string CNFlowMon::MaskText(uint32_t mask)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", mask >> 24, (mask >> 16) & 255, (mask >> 8) & 255,
                  mask & 255);
    return buf;
}

void CNFlowMon::ParseDatagram(const tagDatagram& datagram)
{
    if (datagram.length < 2) {
        version = 0;
        ++rejectedDatagrams;
        return;
    }
    version = LoadBe16(datagram.bytes);
    if (version == 1)
        ParseV1(datagram);
    else if (version == 5)
        ParseV5(datagram);
    else
        ++rejectedDatagrams;
}

void CNFlowMon::ParseV1(const tagDatagram& datagram)
{
    const uint8_t* bytes = datagram.bytes;
    size_t length = datagram.length;
    if (length < kV1HeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    uint32_t count = LoadBe16(bytes + 2);
    uint32_t uptime = LoadBe32(bytes + 4);
    // Version 1 carries no sequence number: a repeat is decoded again.
    CMonPort* port = AcceptDatagram(datagram.sender, 0, uptime, std::nullopt);
    if (!port) return;
    // A count that claims more records than arrived: the whole records present are decoded.
    for (uint32_t i = 0; i < count && kV1HeaderSize + (i + 1) * kRecordSize <= length; ++i)
        AccountRecord(*port, bytes + kV1HeaderSize + i * kRecordSize, false, uptime);
}

void CNFlowMon::ParseV5(const tagDatagram& datagram)
{
    const uint8_t* bytes = datagram.bytes;
    size_t length = datagram.length;
    if (length < kV5HeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    uint32_t count = LoadBe16(bytes + 2);
    uint32_t uptime = LoadBe32(bytes + 4);
    uint32_t sequence = LoadBe32(bytes + 16);
    int32_t engine = bytes[21];
    CMonPort* port = AcceptDatagram(datagram.sender, engine, uptime, sequence);
    if (!port) return;
    for (uint32_t i = 0; i < count && kV5HeaderSize + (i + 1) * kRecordSize <= length; ++i)
        AccountRecord(*port, bytes + kV5HeaderSize + i * kRecordSize, true, uptime);
}

void CNFlowMon::AccountRecord(CMonPort& port, const uint8_t* rec, bool v5, uint32_t uptime)
{
    uint32_t destination = LoadBe32(rec + 4);
    uint16_t input = LoadBe16(rec + 12);
    uint16_t output = LoadBe16(rec + 14);
    uint32_t packets = LoadBe32(rec + 16);
    uint32_t bytes = LoadBe32(rec + 20);
    uint16_t sourcePort = LoadBe16(rec + 32);
    uint16_t destinationPort = LoadBe16(rec + 34);
    uint8_t protocol = rec[38];
    uint8_t tos = rec[39];
    uint32_t mask = v5 ? PrefixMask(rec[45]) : ClassfulMask(destination);

    AccountInterfaces(port, destination, mask, input, output, packets, bytes, uptime);
    const CIpAddress source = CIpAddress::V4(rec);
    tagIpFlow flow = m_accounting.AccountIp(port, source, CIpAddress::V4(rec + 4),
                                            protocol, packets, bytes);
    if (tos != 0) m_accounting.AccountTos(port, source, tos, packets, bytes);
    switch (protocol) {
    case 1:
        m_accounting.AccountIcmp(port, flow, uint8_t(destinationPort >> 8),
                                 uint8_t(destinationPort & 255), packets, bytes);
        break;
    case 6:
        m_accounting.AccountTcp(port, flow, sourcePort, destinationPort, packets, bytes);
        break;
    case 17:
        m_accounting.AccountUdp(port, flow, sourcePort, destinationPort, packets, bytes);
        break;
    default:
        break;
    }
}

void CNFlowMon::AccountInterfaces(CMonPort& port, uint32_t destination, uint32_t mask,
                                  uint16_t input, uint16_t output, uint32_t packets, uint32_t bytes,
                                  uint32_t uptime)
{
    TrafficClass traffic = ClassOf(destination, mask);
    // The datagram's own time, as sFlow does: a replayed log keeps its hours.
    int64_t now = datagramTime;
    int hour = m_hours.Hour(datagramTime);
    auto side = [&](uint16_t ifIndex) -> tagIfCounter* {
        bool created = false;
        tagIfCounter* ifc = port.FindOrAddInterface(ifIndex, &created);
        // A new interface starts one hour behind, so its first flow enters the history.
        if (ifc && created) ifc->hourStamp = hour - 1;
        return ifc;
    };
    if (tagIfCounter* in = side(input)) {
        _tagIf_counters& c = in->current;
        c.ifIndex = input;
        if (traffic == TrafficClass::Unicast) c.ifInUcastPkts += packets;
        else if (traffic == TrafficClass::Multicast) c.ifInMulticastPkts += packets;
        else c.ifInBroadcastPkts += packets;
        c.ifInOctets += bytes;
        c.sampleTime = now;
        c.agentUptime = uptime;
        port.StepHistory(*in, hour);
    }
    tagOutboundSums add;
    add.octets = bytes;
    if (traffic == TrafficClass::Unicast) add.unicast = packets;
    else if (traffic == TrafficClass::Multicast) add.multicast = packets;
    else add.broadcast = packets;
    if (output == kAllInterfaces) {
        port.AddOutboundToAll(add, now, uptime, hour);
    } else if (tagIfCounter* out = side(output)) {
        _tagIf_counters& c = out->current;
        c.ifIndex = output;
        c.ifOutOctets += add.octets;
        c.ifOutUcastPkts += add.unicast;
        c.ifOutMulticastPkts += add.multicast;
        c.ifOutBroadcastPkts += add.broadcast;
        c.sampleTime = now;
        c.agentUptime = uptime;
        port.StepHistory(*out, hour);
    }
    port.counterUptime = uptime;
}

}  // namespace ortolan
