#pragma once
// The sFlow collector: decodes sFlow version 2, 4 and 5 datagrams (RFC 3176,
// sFlow v5) into the statistics of one port per agent and sub-agent.
#include "flow_collector.h"
#include "header_decoder.h"

namespace ortolan {

class BigEndianReader;

class CSFlowMon : public CFlowCollector {
public:
    explicit CSFlowMon(const tagLimits& limits = tagLimits{});

    void ParseDatagram(const tagDatagram& datagram) override;

    bool LoadOuiTable(const std::string& path) { return m_oui.LoadOuiTable(path); }
    const COuiTable& oui() const { return m_oui; }
    const TextMap<std::string>& ouiNames() const { return m_oui.ouiNames; }

    CHeaderDecoder& headerDecoder() { return m_headers; }

private:
    // Each returns false when the sample is malformed, which ends the datagram.
    bool ParseFlowSampleV5(BigEndianReader& r, CMonPort& port, bool expanded);
    bool ParseFlowSampleV2(BigEndianReader& r, CMonPort& port);
    bool ParseCounterSampleV5(BigEndianReader& r, CMonPort& port, bool expanded, uint32_t uptime);
    bool ParseCounterSampleV2(BigEndianReader& r, CMonPort& port, uint32_t uptime);
    bool ParseRawHeader(BigEndianReader& r, CMonPort& port);
    bool ParseGenericCounters(BigEndianReader& r, CMonPort& port, uint32_t uptime);

    COuiTable m_oui;
    CHeaderDecoder m_headers;
};

}  // namespace ortolan
