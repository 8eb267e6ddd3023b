// SPDX-License-Identifier: GPL-3.0-or-later
#include "sflow_mon.h"

#include <chrono>
#include <cstring>

#include "address_text.h"
#include "big_endian_reader.h"

namespace ortolan {
namespace {

constexpr uint32_t kFlowSample = 1;
constexpr uint32_t kCounterSample = 2;
constexpr uint32_t kExpandedFlowSample = 3;
constexpr uint32_t kExpandedCounterSample = 4;
constexpr uint32_t kRawPacketHeader = 1;
constexpr uint32_t kGenericCounters = 1;
constexpr int32_t kMaxFlowRecords = 1000;
constexpr size_t kGenericCountersSize = 88;

// The agent address: IPv4 as dotted text, IPv6 as sixteen hex groups; any other
// type, or an address cut short, gives empty text.
AddressText ReadAddress(BigEndianReader& r)
{
    AddressText text;
    uint32_t type = r.Read32();
    if (type == 1 && r.remaining() >= 4) {
        text = Ipv4Text(r.cursor());
        r.Skip(4);
    } else if (type == 2 && r.remaining() >= 16) {
        text = Ipv6GroupsText(r.cursor());
        r.Skip(16);
    }
    return text;
}

// A length-prefixed string or opaque run, padded to four bytes; false when it
// runs past the end.
bool SkipString(BigEndianReader& r)
{
    if (r.remaining() < 4) return false;
    return r.SkipPadded(r.Read32());
}

bool SkipWords(BigEndianReader& r, uint32_t words)
{
    if (words > r.remaining() / 4) return false;
    return r.Skip(size_t(words) * 4);
}

// Version 2/4 extended data items; their values are not used.
bool SkipExtendedItem(BigEndianReader& r)
{
    if (r.remaining() < 4) return false;
    switch (r.Read32()) {
    case 1:  // switch
        return SkipWords(r, 4);
    case 2:  // router: a next hop of an unknown address type is empty and takes no bytes
        ReadAddress(r);
        return SkipWords(r, 2);
    case 3: {  // gateway
        if (!SkipWords(r, 3) || r.remaining() < 4) return false;
        uint32_t segments = r.Read32();
        for (uint32_t i = 0; i < segments; ++i) {
            if (r.remaining() < 8) return false;
            r.Read32();
            if (!SkipWords(r, r.Read32())) return false;
        }
        if (r.remaining() < 4) return false;
        if (!SkipWords(r, r.Read32())) return false;
        return SkipWords(r, 1);
    }
    case 4:  // user
        return SkipString(r) && SkipString(r);
    case 5:  // URL
        return SkipWords(r, 1) && SkipString(r);
    default:
        return false;
    }
}

}  // namespace

CSFlowMon::CSFlowMon(const tagLimits& limits)
    : CFlowCollector(6343, "sFlow", limits, nullptr), m_headers(m_accounting)
{
}

CSFlowMon::CSFlowMon(const CNameTables& names, const tagLimits& limits)
    : CFlowCollector(6343, "sFlow", limits, &names), m_headers(m_accounting)
{
}

bool CSFlowMon::OpenCapture(const CMonPort& port, const std::string& path)
{
    std::unique_ptr<CCaptureFile>& file = m_captures[&port];
    if (!file) file = std::make_unique<CCaptureFile>();
    if (file->Open(path)) return true;
    if (!file->IsOpen()) m_captures.erase(&port);
    return false;
}

void CSFlowMon::CloseCapture(const CMonPort& port) { m_captures.erase(&port); }

const CCaptureFile* CSFlowMon::Capture(const CMonPort& port) const
{
    auto it = m_captures.find(&port);
    return it == m_captures.end() ? nullptr : it->second.get();
}

void CSFlowMon::ResetDecoder() { m_captures.clear(); }

void CSFlowMon::DropPort(const CMonPort& port) { m_captures.erase(&port); }

void CSFlowMon::AppendCapture(const CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t frameLength)
{
    auto it = m_captures.find(&port);
    if (it == m_captures.end() || !it->second->IsOpen()) return;
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    it->second->Append(bytes, length, frameLength, uint32_t(ms / 1000), uint32_t(ms % 1000) * 1000u);
}

void CSFlowMon::ParseDatagram(const tagDatagram& datagram)
{
    BigEndianReader r(datagram.bytes, datagram.length);
    version = int32_t(r.Read32());
    if (version != 2 && version != 4 && version != 5) {
        ++rejectedDatagrams;
        return;
    }
    // An agent that gives no address, or a loopback one, is known by its sender.
    tagAgentAddress agent = ReadAgentAddress(r);
    if (agent.family == AgentFamily::None || agent.IsLoopbackV4()) agent = AgentOf(datagram.sender);
    int32_t subAgent = version == 5 ? int32_t(r.Read32()) : 0;
    uint32_t sequence = r.Read32();
    uint32_t uptime = r.Read32();
    uint32_t samples = r.Read32();

    CMonPort* port = AcceptDatagram(agent, subAgent, uptime, sequence);
    if (!port) return;

    for (uint32_t handled = 0; handled < samples && r.remaining() > 0; ++handled) {
        bool ok = true;
        if (version == 5) {
            uint32_t format = r.Read32();
            uint32_t length = r.Read32();
            if (length < 1 || length > r.remaining()) break;
            // Each sample is decoded inside its own length, so it cannot read into the next.
            BigEndianReader sample = r.Sub(length);
            if (format == kFlowSample || format == kExpandedFlowSample)
                ok = ParseFlowSampleV5(sample, *port, format == kExpandedFlowSample);
            else if (format == kCounterSample || format == kExpandedCounterSample)
                ok = ParseCounterSampleV5(sample, *port, format == kExpandedCounterSample, uptime);
        } else {
            uint32_t type = r.Read32();
            if (type == kFlowSample)
                ok = ParseFlowSampleV2(r, *port);
            else if (type == kCounterSample)
                ok = ParseCounterSampleV2(r, *port, uptime);
            else
                ok = false;
        }
        if (!ok) break;
    }
}

tagAgentAddress CSFlowMon::ReadAgentAddress(BigEndianReader& r)
{
    // As ReadAddress, but kept as bytes: the port is found by them, and the
    // text is formed only when a port is added.
    const uint32_t type = r.Read32();
    const size_t length = type == 1 ? 4 : type == 2 ? 16 : 0;
    if (length == 0 || r.remaining() < length) return {};
    tagAgentAddress agent = type == 1 ? tagAgentAddress::V4(r.cursor()) : tagAgentAddress::V6Groups(r.cursor());
    r.Skip(length);
    return agent;
}

bool CSFlowMon::ParseFlowSampleV5(BigEndianReader& r, CMonPort& port, bool expanded)
{
    // Sequence and source id (expanded: its type and index), sampling rate,
    // pool, drops, input and output (expanded: format and value each; compact:
    // the format in the top two bits).
    if (r.remaining() < (expanded ? 40u : 28u)) return false;
    r.Skip(expanded ? 12 : 8);
    m_sample.samplingRate = r.Read32();
    r.Skip(8);
    if (expanded) {
        r.Skip(4);
        m_sample.input = r.Read32();
        r.Skip(4);
        m_sample.output = r.Read32();
    } else {
        m_sample.input = r.Read32() & 0x3FFFFFFFu;
        m_sample.output = r.Read32() & 0x3FFFFFFFu;
    }
    int32_t records = int32_t(r.Read32());
    if (records <= 0 || records > kMaxFlowRecords) return false;
    for (int32_t i = 0; i < records; ++i) {
        if (r.remaining() == 0) return false;
        uint32_t format = r.Read32();
        uint32_t length = r.Read32();
        BigEndianReader record = r.Sub(length);
        if (format == kRawPacketHeader && !ParseRawHeader(record, port)) return false;
    }
    return true;
}

bool CSFlowMon::ParseFlowSampleV2(BigEndianReader& r, CMonPort& port)
{
    // Sequence, source id, sampling rate, pool, drops, input, output.
    if (r.remaining() < 32) return false;
    r.Skip(8);
    m_sample.samplingRate = r.Read32();
    r.Skip(8);
    m_sample.input = r.Read32();
    m_sample.output = r.Read32();
    if (r.Read32() != 1) return false;  // packet information must be a header
    if (!ParseRawHeader(r, port)) return false;
    if (r.remaining() < 4) return false;
    uint32_t items = r.Read32();
    for (uint32_t i = 0; i < items; ++i)
        if (!SkipExtendedItem(r)) return false;
    return true;
}

bool CSFlowMon::ParseRawHeader(BigEndianReader& r, CMonPort& port)
{
    // A header whose own fields are cut short counts nothing.
    if (r.remaining() < (version == 5 ? 16u : 12u)) return false;
    uint32_t protocol = r.Read32();
    uint32_t frameLength = r.Read32();
    if (version == 5) r.Read32();  // bytes stripped
    uint32_t headerLength = r.Read32();

    port.sampleCount += 1;
    SaturatingAdd(port.sampledBytes, frameLength);
    // A sample of rate 0 says none: the user's rate for the agent stands in.
    const uint32_t rate = m_sample.samplingRate ? m_sample.samplingRate : m_overrideRate;
    port.NoteSamplingRate(rate, 1, frameLength);
    uint32_t available = headerLength <= r.remaining() ? headerLength : uint32_t(r.remaining());
    const uint8_t* bytes = r.cursor();
    if (!m_captures.empty()) AppendCapture(port, bytes, available, frameLength);

    if (m_rowSink) {
        // Every sampled header is a row, one the decoder cannot take apart too.
        tagFlowRow row = m_rowBase;
        row.samplingRate = rate ? rate : 1;
        row.input = m_sample.input;
        row.output = m_sample.output;
        row.packets = 1;
        row.bytes = frameLength;
        m_headers.SetRow(&row);
        bool known = m_headers.DecodeSample(port, protocol, bytes, available, frameLength);
        m_headers.SetRow(nullptr);
        m_rowSink->OnFlowRow(row);
        if (!known) return false;
    } else if (!m_headers.DecodeSample(port, protocol, bytes, available, frameLength)) {
        return false;
    }
    return r.SkipPadded(headerLength);
}

bool CSFlowMon::ParseCounterSampleV5(BigEndianReader& r, CMonPort& port, bool expanded,
                                     uint32_t uptime)
{
    if (!SkipWords(r, expanded ? 3 : 2) || r.remaining() < 4) return false;
    uint32_t records = r.Read32();
    // Every record takes at least its 8-byte head, so the loop ends with the bytes.
    for (uint32_t i = 0; i < records; ++i) {
        if (r.remaining() == 0) return false;
        uint32_t format = r.Read32();
        uint32_t length = r.Read32();
        BigEndianReader record = r.Sub(length);
        if (format == kGenericCounters && !ParseGenericCounters(record, port, uptime)) return false;
    }
    return true;
}

bool CSFlowMon::ParseCounterSampleV2(BigEndianReader& r, CMonPort& port, uint32_t uptime)
{
    if (!SkipWords(r, 3) || r.remaining() < 4) return false;
    switch (r.Read32()) {
    case 1: return ParseGenericCounters(r, port, uptime);
    case 2: return ParseGenericCounters(r, port, uptime) && r.Skip(52);
    case 3: return r.Skip(160);
    case 4: return r.Skip(88);
    case 5: return r.Skip(168);
    case 6: return r.Skip(88);
    case 7: return r.Skip(28);
    default: return false;
    }
}

bool CSFlowMon::ParseGenericCounters(BigEndianReader& r, CMonPort& port, uint32_t uptime)
{
    if (r.remaining() < kGenericCountersSize) return false;
    _tagIf_counters c;
    c.ifIndex = r.Read32();
    c.ifType = r.Read32();
    c.ifSpeed = r.Read64();
    c.ifDirection = r.Read32();
    c.ifStatus = r.Read32();
    c.ifInOctets = r.Read64();
    c.ifInUcastPkts = r.Read32();
    c.ifInMulticastPkts = r.Read32();
    c.ifInBroadcastPkts = r.Read32();
    c.ifInDiscards = r.Read32();
    c.ifInErrors = r.Read32();
    c.ifInUnknownProtos = r.Read32();
    c.ifOutOctets = r.Read64();
    c.ifOutUcastPkts = r.Read32();
    c.ifOutMulticastPkts = r.Read32();
    c.ifOutBroadcastPkts = r.Read32();
    c.ifOutDiscards = r.Read32();
    c.ifOutErrors = r.Read32();
    c.ifPromiscuousMode = r.Read32();
    c.agentUptime = uptime;
    c.sampleTime = datagramTime;
    port.interfaces.AddCounterSample(c);
    return true;
}

}  // namespace ortolan
