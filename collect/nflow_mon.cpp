// SPDX-License-Identifier: GPL-3.0-or-later
#include "nflow_mon.h"

#include <climits>
#include <cstdio>

#include "address_text.h"
#include "big_endian_reader.h"
#include "local_time.h"

namespace ortolan {
namespace {

constexpr size_t kV1HeaderSize = 16;
constexpr size_t kV5HeaderSize = 24;
constexpr size_t kV9HeaderSize = 20;
constexpr size_t kIpfixHeaderSize = 16;
constexpr size_t kRecordSize = 48;
constexpr uint16_t kAllInterfaces = 65535;

enum class TrafficClass { Unicast, Multicast, Broadcast };

TrafficClass ClassOf(uint32_t destination, uint32_t mask)
{
    if ((destination | mask) == 0xFFFFFFFFu) return TrafficClass::Broadcast;
    return (destination >> 24) < 224 ? TrafficClass::Unicast : TrafficClass::Multicast;
}

// IPv6 has no broadcast; ff00::/8 is multicast.
TrafficClass ClassOf(const CIpAddress& destination, std::optional<uint32_t> mask)
{
    if (destination.IsV4()) return ClassOf(destination.Number(), mask.value_or(0));
    return destination.bytes()[0] == 0xFF ? TrafficClass::Multicast : TrafficClass::Unicast;
}

bool IsZero(const uint8_t* bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (bytes[i]) return false;
    return true;
}

}  // namespace

CNFlowMon::CNFlowMon(const tagLimits& limits)
    : CFlowCollector(2100, "NetFlow", limits, nullptr), m_templates(m_memory, m_limits), m_templateDecoder(m_templates)
{
}

CNFlowMon::CNFlowMon(const CNameTables& names, const tagLimits& limits)
    : CFlowCollector(2100, "NetFlow", limits, &names), m_templates(m_memory, m_limits), m_templateDecoder(m_templates)
{
}

void CNFlowMon::ResetDecoder()
{
    m_lastSamplerSource = nullptr;
    m_templates.Clear();
    m_flowRecords = 0;
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
    const uint8_t* bytes = datagram.bytes;
    size_t length = datagram.length;
    version = LoadBe16(bytes);
    if (version != 1 && version != 5 && version != 9 && version != 10) {
        ++rejectedDatagrams;
        return;
    }
    // The exporter is its sender: its address is read from the text once here,
    // and ports and templates are found by the bytes.
    const tagAgentAddress agent = AgentOf(datagram.sender);
    if (version == 1)
        ParseV1(bytes, length, agent);
    else if (version == 5)
        ParseV5(bytes, length, agent);
    else if (version == 9)
        ParseV9(bytes, length, agent);
    else
        ParseIpfix(bytes, length, agent);
}

void CNFlowMon::ParseV1(const uint8_t* bytes, size_t length, const tagAgentAddress& agent)
{
    if (length < kV1HeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    uint32_t count = LoadBe16(bytes + 2);
    uint32_t uptime = LoadBe32(bytes + 4);
    // Version 1 carries no sequence number: a repeat is decoded again.
    CMonPort* port = AcceptDatagram(agent, 0, uptime, std::nullopt);
    if (!port) return;
    // A count that claims more records than arrived: the whole records present are decoded.
    for (uint32_t i = 0; i < count && kV1HeaderSize + (i + 1) * kRecordSize <= length; ++i)
        AccountRecord(*port, bytes + kV1HeaderSize + i * kRecordSize, false, uptime);
}

void CNFlowMon::ParseV5(const uint8_t* bytes, size_t length, const tagAgentAddress& agent)
{
    if (length < kV5HeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    uint32_t count = LoadBe16(bytes + 2);
    uint32_t uptime = LoadBe32(bytes + 4);
    uint32_t sequence = LoadBe32(bytes + 16);
    int32_t engine = bytes[21];
    // The low 14 bits; the top two name the sampling mode.
    m_v5SamplingInterval = LoadBe16(bytes + 22) & 0x3FFFu;
    CMonPort* port = AcceptDatagram(agent, engine, uptime, sequence);
    if (!port) return;
    for (uint32_t i = 0; i < count && kV5HeaderSize + (i + 1) * kRecordSize <= length; ++i)
        AccountRecord(*port, bytes + kV5HeaderSize + i * kRecordSize, true, uptime);
}

void CNFlowMon::ParseV9(const uint8_t* bytes, size_t length, const tagAgentAddress& agent)
{
    // RFC 3954 header: version, count, sysUptime, unix_secs, package sequence,
    // source id. The count (template and data records together) is not
    // needed: the sets are walked by their lengths to the datagram's end.
    if (length < kV9HeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    uint32_t uptime = LoadBe32(bytes + 4);
    uint32_t sequence = LoadBe32(bytes + 12);
    uint32_t sourceId = LoadBe32(bytes + 16);
    // v9 numbers export packets, templates-only ones included, as v5 numbers
    // flows: an equal number is the same datagram again.
    CMonPort* port = AcceptDatagram(agent, int32_t(sourceId), uptime, sequence);
    if (!port) return;
    // An exporter the memory budget has no room for: nothing can be decoded.
    if (tagTemplateSource* source = m_templates.Source(agent, sourceId, 9))
        DecodeSets(FlowExport::V9, bytes + kV9HeaderSize, length - kV9HeaderSize, *source, *port, uptime);
}

void CNFlowMon::ParseIpfix(const uint8_t* bytes, size_t length, const tagAgentAddress& agent)
{
    // RFC 7011 header: version, message length, export time, sequence number,
    // observation domain. The message ends at its own length when the
    // datagram holds more, and at the datagram's end when it holds less.
    if (length < kIpfixHeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    size_t messageLength = LoadBe16(bytes + 2);
    if (messageLength < kIpfixHeaderSize) {
        ++rejectedDatagrams;
        return;
    }
    if (messageLength < length) length = messageLength;
    uint32_t exportTime = LoadBe32(bytes + 4);
    uint32_t sequence = LoadBe32(bytes + 8);
    uint32_t domain = LoadBe32(bytes + 12);
    // IPFIX has no uptime: the export time in milliseconds keeps the
    // exporter's clock for the interface rates, wrapping as an uptime does.
    uint32_t uptime = exportTime * 1000u;
    // IPFIX numbers data records, not messages: a message of templates only
    // carries the same number as the data that follows it. An equal number is
    // a repeat only after a message that carried data.
    // The port is only looked up here: AcceptDatagram adds it, and counts it
    // once if it is refused.
    CMonPort* known = FindPort(agent, int32_t(domain));
    tagTemplateSource* source = known ? m_templates.Source(agent, domain, 10) : nullptr;
    bool repeatable = source && source->lastCarriedData;
    CMonPort* port = AcceptDatagram(agent, int32_t(domain), uptime,
                                    repeatable ? std::optional<uint32_t>(sequence) : std::nullopt);
    if (!port) return;
    port->lastSequence = sequence;
    if (!known) source = m_templates.Source(agent, domain, 10);
    if (source)
        DecodeSets(FlowExport::Ipfix, bytes + kIpfixHeaderSize, length - kIpfixHeaderSize, *source, *port,
                   uptime);
}

void CNFlowMon::DecodeSets(FlowExport format, const uint8_t* sets, size_t length, tagTemplateSource& source,
                           CMonPort& port, uint32_t uptime)
{
    m_recordPort = &port;
    m_recordSource = &source;
    m_recordUptime = uptime;
    tagSetTally tally = m_templateDecoder.DecodeSets(format, sets, length, source, *this);
    m_recordPort = nullptr;
    m_recordSource = nullptr;
    source.lastCarriedData = tally.dataSets > 0;
    unknownTemplateSets += tally.unknownSets;
}

void CNFlowMon::OnFlowRecord(const tagFlowRecord& record)
{
    if (!m_recordPort) return;
    tagFlowFigures figures = FiguresOf(record);
    if (!figures.samplingRate)
        if (uint32_t rate = RecordRate(record)) figures.samplingRate = rate;
    AccountFlow(*m_recordPort, figures, m_recordUptime);
}

uint32_t CNFlowMon::RecordRate(const tagFlowRecord& record)
{
    if (!m_recordSource) return 0;
    const tagTemplateSource& source = *m_recordSource;
    if (record.Has(FlowField::SamplerId) && !source.samplerRates.empty()) {
        const uint64_t sampler = record.value[size_t(FlowField::SamplerId)];
        // An options record may have changed the rate since: only a rate
        // found in this run of records is taken again without a look-up.
        if (m_lastSamplerSource != &source || m_lastSampler != sampler) {
            m_lastSamplerSource = &source;
            m_lastSampler = sampler;
            m_lastSamplerRate = CTemplateCache::SamplerRate(source, sampler);
        }
        if (m_lastSamplerRate) return m_lastSamplerRate;
    }
    return source.sourceRate;
}

void CNFlowMon::OnOptionsRecord(const tagFlowRecord& r)
{
    if (!m_recordSource) return;
    using F = FlowField;
    uint32_t rate = 0;
    if (r.Has(F::SamplingInterval)) {
        rate = uint32_t(r.value[size_t(F::SamplingInterval)]);
    } else if (r.Has(F::PacketInterval) && r.Has(F::PacketSpace)) {
        // Count-based selection: `interval` packets taken, then `space` passed
        // over, so one packet in (interval + space) / interval stands for the rest.
        const uint64_t interval = r.value[size_t(F::PacketInterval)];
        const uint64_t space = r.value[size_t(F::PacketSpace)];
        if (interval != 0) {
            const uint64_t ratio = (interval + space + interval / 2) / interval;
            rate = ratio > UINT32_MAX ? UINT32_MAX : uint32_t(ratio);
        }
    }
    if (rate == 0) return;
    const uint64_t sampler = r.value[size_t(F::SamplerId)];
    m_templates.LearnRate(*m_recordSource, r.Has(F::SamplerId) ? &sampler : nullptr, rate);
    m_lastSamplerSource = nullptr;
}

tagFlowFigures CNFlowMon::FiguresOf(const tagFlowRecord& r)
{
    using F = FlowField;
    tagFlowFigures f;
    auto value = [&](F field) { return r.value[size_t(field)]; };
    auto bytes = [&](F field) { return r.bytes[size_t(field)]; };
    // Templates that hold both families send zeros in the one a flow does not use.
    bool v4 = r.Has(F::SourceV4) && r.Has(F::DestinationV4);
    bool v6 = r.Has(F::SourceV6) && r.Has(F::DestinationV6);
    if (v4 && v6 && IsZero(bytes(F::SourceV4), 4) && IsZero(bytes(F::DestinationV4), 4)) v4 = false;
    if (v4) {
        f.source = CIpAddress::V4(bytes(F::SourceV4));
        f.destination = CIpAddress::V4(bytes(F::DestinationV4));
        if (r.Has(F::DestinationMask)) f.mask = PrefixMask(uint32_t(value(F::DestinationMask)));
    } else if (v6) {
        f.source = CIpAddress::V6(bytes(F::SourceV6));
        f.destination = CIpAddress::V6(bytes(F::DestinationV6));
    }
    if (r.Has(F::Input)) f.input = uint32_t(value(F::Input));
    if (r.Has(F::Output)) f.output = uint32_t(value(F::Output));
    // Delta counts are what the flow added since its last export; totals stand
    // in only where a template has no delta.
    if (r.Has(F::Packets)) f.packets = value(F::Packets);
    else if (r.Has(F::PacketsTotal)) f.packets = value(F::PacketsTotal);
    if (r.Has(F::Octets)) f.bytes = value(F::Octets);
    else if (r.Has(F::OctetsTotal)) f.bytes = value(F::OctetsTotal);
    if (r.Has(F::Protocol)) f.protocol = uint8_t(value(F::Protocol));
    if (r.Has(F::Tos)) f.tos = uint8_t(value(F::Tos));
    if (r.Has(F::SourcePort)) f.sourcePort = uint16_t(value(F::SourcePort));
    if (r.Has(F::DestinationPort)) f.destinationPort = uint16_t(value(F::DestinationPort));
    // Type and code from the family's own element, else from the other one:
    // some exporters send element 32 for ICMPv6 flows too.
    F icmp = v6 && !v4 ? F::IcmpV6 : F::IcmpV4;
    F other = icmp == F::IcmpV6 ? F::IcmpV4 : F::IcmpV6;
    if (r.Has(icmp)) f.icmp = uint16_t(value(icmp));
    else if (r.Has(other)) f.icmp = uint16_t(value(other));
    // Exporters without either element (pmacct's nfprobe, many routers) put
    // type and code in the destination port, as v1 and v5 records do.
    else if (r.Has(F::DestinationPort)) f.icmp = uint16_t(value(F::DestinationPort));
    if (r.Has(F::SamplingInterval) && value(F::SamplingInterval) != 0)
        f.samplingRate = uint32_t(value(F::SamplingInterval));
    return f;
}

void CNFlowMon::AccountRecord(CMonPort& port, const uint8_t* rec, bool v5, uint32_t uptime)
{
    tagFlowFigures f;
    f.source = CIpAddress::V4(rec);
    f.destination = CIpAddress::V4(rec + 4);
    f.input = LoadBe16(rec + 12);
    f.output = LoadBe16(rec + 14);
    f.packets = LoadBe32(rec + 16);
    f.bytes = LoadBe32(rec + 20);
    f.sourcePort = LoadBe16(rec + 32);
    f.destinationPort = LoadBe16(rec + 34);
    // v1 and v5 carry ICMP type and code in the destination port.
    f.icmp = f.destinationPort;
    f.protocol = rec[38];
    f.tos = rec[39];
    f.mask = v5 ? PrefixMask(rec[45]) : ClassfulMask(LoadBe32(rec + 4));
    if (v5 && m_v5SamplingInterval) f.samplingRate = m_v5SamplingInterval;
    AccountFlow(port, f, uptime);
}

void CNFlowMon::AccountFlow(CMonPort& port, const tagFlowFigures& f, uint32_t uptime)
{
    // Counts reach the tables as signed 64-bit sums: a wire count past 2^63
    // would turn them negative, so it is held at the largest they take.
    auto amount = [](uint64_t n) { return n > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(n); };
    const int64_t packets = amount(f.packets), bytes = amount(f.bytes);
    ++m_flowRecords;
    // Held at the largest value rather than wrapped: a counter that went back
    // would pass for a restart.
    auto add = [](uint64_t& sum, uint64_t n) { sum = n > UINT64_MAX - sum ? UINT64_MAX : sum + n; };
    ++port.flowRecords;
    add(port.flowPackets, f.packets);
    // A record that says no rate takes the user's for its exporter, if any.
    // A rate of 0 says as little as none, as it does for sFlow.
    const uint32_t own = f.samplingRate.value_or(0);
    const uint32_t rate = own ? own : m_overrideRate;
    port.NoteSamplingRate(rate, f.packets, f.bytes);
    add(port.flowOctets, f.bytes);
    if (m_rowSink) EmitRow(f);
    AccountInterfaces(port, f, uptime);
    if (!f.source || !f.destination) return;
    tagIpFlow flow = f.protocol ? m_accounting.AccountIp(port, *f.source, *f.destination, *f.protocol, packets, bytes)
                                : m_accounting.AccountIpNodes(port, *f.source, *f.destination, packets, bytes);
    if (f.tos && *f.tos != 0) m_accounting.AccountTos(port, *f.source, *f.tos, packets, bytes);
    if (!f.protocol) return;
    switch (*f.protocol) {
    case 1:
        if (f.icmp) m_accounting.AccountIcmp(port, flow, uint8_t(*f.icmp >> 8), uint8_t(*f.icmp & 255), packets, bytes);
        break;
    case 58:
        if (f.icmp) m_accounting.AccountIcmp6(port, flow, uint8_t(*f.icmp >> 8), uint8_t(*f.icmp & 255), packets, bytes);
        break;
    case 6:
        if (f.sourcePort && f.destinationPort)
            m_accounting.AccountTcp(port, flow, *f.sourcePort, *f.destinationPort, packets, bytes);
        break;
    case 17:
        if (f.sourcePort && f.destinationPort)
            m_accounting.AccountUdp(port, flow, *f.sourcePort, *f.destinationPort, packets, bytes);
        break;
    default:
        break;
    }
}

void CNFlowMon::EmitRow(const tagFlowFigures& f)
{
    tagFlowRow row = m_rowBase;
    // Unknown to the record: the user's rate for the exporter, else 1, so that
    // bytes times the rate stays a lower bound.
    const uint32_t own = f.samplingRate.value_or(0);
    row.samplingRate = own ? own : m_overrideRate ? m_overrideRate : 1;
    row.input = f.input.value_or(0);
    row.output = f.output.value_or(0);
    if (f.source && f.destination) {
        StoreRowAddress(row.source, f.source->bytes(), f.source->IsV4());
        StoreRowAddress(row.destination, f.destination->bytes(), f.destination->IsV4());
    }
    row.protocol = f.protocol.value_or(0);
    row.tos = f.tos.value_or(0);
    const uint8_t protocol = row.protocol;
    if ((protocol == 1 || protocol == 58) && f.icmp) {
        row.icmpType = uint8_t(*f.icmp >> 8);
        row.icmpCode = uint8_t(*f.icmp & 255);
    } else {
        row.sourcePort = f.sourcePort.value_or(0);
        row.destinationPort = f.destinationPort.value_or(0);
    }
    row.packets = f.packets;
    row.bytes = f.bytes;
    m_rowSink->OnFlowRow(row);
}

void CNFlowMon::AccountInterfaces(CMonPort& port, const tagFlowFigures& f, uint32_t uptime)
{
    // The traffic class needs the destination: without it no side is counted.
    if (!f.destination || (!f.input && !f.output)) return;
    TrafficClass traffic = ClassOf(*f.destination, f.mask);
    // The datagram's own time, as sFlow does: a replayed log keeps its hours.
    int64_t now = datagramTime;
    int32_t hour = m_hours.Hour(datagramTime);
    auto side = [&](uint32_t ifIndex) -> tagIfCounter* {
        bool created = false;
        tagIfCounter* ifc = port.interfaces.FindOrAdd(ifIndex, &created);
        // A new interface starts one hour behind, so its first flow enters the history.
        if (ifc && created) ifc->hourStamp = hour - 1;
        return ifc;
    };
    if (tagIfCounter* in = f.input ? side(*f.input) : nullptr) {
        _tagIf_counters& c = in->current;
        c.ifIndex = *f.input;
        if (traffic == TrafficClass::Unicast) c.ifInUcastPkts += f.packets;
        else if (traffic == TrafficClass::Multicast) c.ifInMulticastPkts += f.packets;
        else c.ifInBroadcastPkts += f.packets;
        c.ifInOctets += f.bytes;
        c.sampleTime = now;
        c.agentUptime = uptime;
        port.interfaces.StepHistory(*in, hour);
    }
    if (f.output) {
        tagOutboundSums add;
        add.octets = f.bytes;
        if (traffic == TrafficClass::Unicast) add.unicast = f.packets;
        else if (traffic == TrafficClass::Multicast) add.multicast = f.packets;
        else add.broadcast = f.packets;
        if (*f.output == kAllInterfaces) {
            port.interfaces.AddOutboundToAll(add, now, uptime, hour);
        } else if (tagIfCounter* out = side(*f.output)) {
            _tagIf_counters& c = out->current;
            c.ifIndex = *f.output;
            c.ifOutOctets += add.octets;
            c.ifOutUcastPkts += add.unicast;
            c.ifOutMulticastPkts += add.multicast;
            c.ifOutBroadcastPkts += add.broadcast;
            c.sampleTime = now;
            c.agentUptime = uptime;
            port.interfaces.StepHistory(*out, hour);
        }
    }
    port.interfaces.SetCounterUptime(uptime);
}

}  // namespace ortolan
