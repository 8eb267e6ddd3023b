// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The NetFlow collector: decodes NetFlow version 1, 5 and 9 and IPFIX export
// datagrams and adds every flow record's packets and octets to the port of its
// exporter. Other versions are received and logged, not decoded.
#include <optional>

#include "flow_collector.h"
#include "local_time.h"
#include "nflow_template_decoder.h"
#include "template_cache.h"

namespace ortolan {

// One flow record's figures as the accounting takes them, from whatever
// version carried it. A field the record did not carry is absent and adds
// nothing: no made-up value stands in for it.
struct tagFlowFigures {
    std::optional<CIpAddress> source;       // both addresses, of one family, or neither
    std::optional<CIpAddress> destination;
    std::optional<uint32_t> mask;           // IPv4 destination mask, host order
    std::optional<uint32_t> input;          // ifIndex
    std::optional<uint32_t> output;
    uint64_t packets = 0;
    uint64_t bytes = 0;
    std::optional<uint8_t> protocol;
    std::optional<uint8_t> tos;
    std::optional<uint16_t> sourcePort;
    std::optional<uint16_t> destinationPort;
    std::optional<uint16_t> icmp;           // type << 8 | code
    std::optional<uint32_t> samplingRate;   // as the record, its header or its exporter's options say
};

class CNFlowMon : public CFlowCollector, private IFlowRecordSink {
public:
    // Labels with empty tables of its own (tests, tools).
    explicit CNFlowMon(const tagLimits& limits = tagLimits{});
    // Labels with the shared tables, which must outlive the collector.
    explicit CNFlowMon(const CNameTables& names, const tagLimits& limits = tagLimits{});

    void ParseDatagram(const tagDatagram& datagram) override;

    // One flow record into the port's tables: interfaces, nodes and pair,
    // protocol, ToS, and the TCP, UDP or ICMP layer.
    void AccountFlow(CMonPort& port, const tagFlowFigures& flow, uint32_t uptime);
    // Unicast, multicast or broadcast from the destination and its mask, added
    // to the input interface's inbound and the output interface's outbound
    // counters; an output of 65535 adds the outbound side to every interface.
    void AccountInterfaces(CMonPort& port, const tagFlowFigures& flow, uint32_t uptime);

    // Masks as 32-bit values in host order; the text forms are "%u.%u.%u.%u" of them.
    static uint32_t ClassfulMask(uint32_t address);
    static uint32_t PrefixMask(uint32_t prefixLength);
    static std::string MaskText(uint32_t mask);
    // The figures of a v9 or IPFIX data record.
    static tagFlowFigures FiguresOf(const tagFlowRecord& record);

    // The NetFlow v9 and IPFIX templates held, of every exporter.
    const CTemplateCache& templates() const { return m_templates; }
    // Flow records accounted since the last reset, of every version.
    uint64_t flowRecords() const { return m_flowRecords; }

protected:
    void ResetDecoder() override;

private:
    void ParseV1(const uint8_t* bytes, size_t length, const tagAgentAddress& agent);
    void ParseV5(const uint8_t* bytes, size_t length, const tagAgentAddress& agent);
    void ParseV9(const uint8_t* bytes, size_t length, const tagAgentAddress& agent);
    void ParseIpfix(const uint8_t* bytes, size_t length, const tagAgentAddress& agent);
    // Decodes the sets after a v9 or IPFIX header into the port.
    void DecodeSets(FlowExport format, const uint8_t* sets, size_t length, tagTemplateSource& source,
                    CMonPort& port, uint32_t uptime);
    void AccountRecord(CMonPort& port, const uint8_t* record, bool v5, uint32_t uptime);
    void OnFlowRecord(const tagFlowRecord& record) override;
    void OnOptionsRecord(const tagFlowRecord& record) override;
    // The rate of a v9 or IPFIX data record: its own, else its sampler's, else
    // its source's as options taught; 0 when none is known.
    uint32_t RecordRate(const tagFlowRecord& record);
    void EmitRow(const tagFlowFigures& flow);

    CLocalHourCache m_hours;
    CTemplateCache m_templates;
    CNFlowTemplateDecoder m_templateDecoder;
    // Where the records of the sets being decoded go.
    CMonPort* m_recordPort = nullptr;
    tagTemplateSource* m_recordSource = nullptr;
    // The sampler a data record named last and its rate: records of one
    // exporter come in runs of one sampler.
    const tagTemplateSource* m_lastSamplerSource = nullptr;
    uint64_t m_lastSampler = 0;
    uint32_t m_lastSamplerRate = 0;
    uint32_t m_recordUptime = 0;
    uint64_t m_flowRecords = 0;
    uint32_t m_v5SamplingInterval = 0;  // of the v5 header being decoded; 0 when none
};

}  // namespace ortolan
