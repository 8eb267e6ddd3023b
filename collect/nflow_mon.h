#pragma once
// The NetFlow collector: decodes NetFlow version 1 and 5 export datagrams and
// adds every flow record's packets and octets to the port of its exporter.
// Other versions (9 included) are received and logged, not decoded.
#include "flow_collector.h"
#include "local_time.h"

namespace ortolan {

class CNFlowMon : public CFlowCollector {
public:
    // Labels with empty tables of its own (tests, tools).
    explicit CNFlowMon(const tagLimits& limits = tagLimits{});
    // Labels with the shared tables, which must outlive the collector.
    explicit CNFlowMon(const CNameTables& names, const tagLimits& limits = tagLimits{});

    void ParseDatagram(const tagDatagram& datagram) override;

    // Unicast, multicast or broadcast from the destination and its mask, added
    // to the input interface's inbound and the output interface's outbound
    // counters; an output of 65535 adds the outbound side to every interface.
    void AccountInterfaces(CMonPort& port, uint32_t destination, uint32_t mask, uint16_t input,
                           uint16_t output, uint32_t packets, uint32_t bytes, uint32_t uptime);

    // Masks as 32-bit values in host order; the text forms are "%u.%u.%u.%u" of them.
    static uint32_t ClassfulMask(uint32_t address);
    static uint32_t PrefixMask(uint32_t prefixLength);
    static std::string MaskText(uint32_t mask);

private:
    void ParseV1(const tagDatagram& datagram);
    void ParseV5(const tagDatagram& datagram);
    void AccountRecord(CMonPort& port, const uint8_t* record, bool v5, uint32_t uptime);

    CLocalHourCache m_hours;
};

}  // namespace ortolan
