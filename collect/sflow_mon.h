#pragma once
// The sFlow collector: decodes sFlow version 2, 4 and 5 datagrams (RFC 3176,
// sFlow v5) into the statistics of one port per agent and sub-agent.
#include "flow_collector.h"
#include "address_text.h"
#include "header_decoder.h"

namespace ortolan {

class BigEndianReader;

class CSFlowMon : public CFlowCollector {
public:
    // Labels with empty tables of its own (tests, tools).
    explicit CSFlowMon(const tagLimits& limits = tagLimits{});
    // Labels with the shared tables, which must outlive the collector.
    explicit CSFlowMon(const CNameTables& names, const tagLimits& limits = tagLimits{});

    void ParseDatagram(const tagDatagram& datagram) override;

    CHeaderDecoder& headerDecoder() { return m_headers; }

private:
    // Each returns false when the sample is malformed, which ends the datagram.
    bool ParseFlowSampleV5(BigEndianReader& r, CMonPort& port, bool expanded);
    bool ParseFlowSampleV2(BigEndianReader& r, CMonPort& port);
    bool ParseCounterSampleV5(BigEndianReader& r, CMonPort& port, bool expanded, uint32_t uptime);
    bool ParseCounterSampleV2(BigEndianReader& r, CMonPort& port, uint32_t uptime);
    bool ParseRawHeader(BigEndianReader& r, CMonPort& port);
    bool ParseGenericCounters(BigEndianReader& r, CMonPort& port, uint32_t uptime);
    // The agent address's text (empty for an unknown type or a cut address).
    std::string_view ReadAgentAddress(BigEndianReader& r);

    CHeaderDecoder m_headers;
    // The last agent address read, and its text.
    uint32_t m_agentType = 0;
    uint8_t m_agentBytes[16] = {};
    AddressText m_agentText;
};

}  // namespace ortolan
