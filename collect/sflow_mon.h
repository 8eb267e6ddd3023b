// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sFlow collector: decodes sFlow version 2, 4 and 5 datagrams (RFC 3176,
// sFlow v5) into the statistics of one port per agent and sub-agent.
#include <absl/container/flat_hash_map.h>

#include <memory>
#include <string>

#include "address_text.h"
#include "capture_file.h"
#include "flow_collector.h"
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

    // --- Capture files of the sampled headers, one per port at most. Every
    // raw header sampled on the port is appended, stamped with the time it
    // was decoded. A port's file is closed when the port is dropped or
    // replaced.
    // Fails when the port's file is open already or cannot be created.
    bool OpenCapture(const CMonPort& port, const std::string& path);
    void CloseCapture(const CMonPort& port);
    // The port's capture file, or null; a file whose write failed is kept, closed.
    const CCaptureFile* Capture(const CMonPort& port) const;
    // Appends one sampled header to the port's open file; nothing without one.
    void AppendCapture(const CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t frameLength);

private:
    void ResetDecoder() override;
    void DropPort(const CMonPort& port) override;
    // Each returns false when the sample is malformed, which ends the datagram.
    bool ParseFlowSampleV5(BigEndianReader& r, CMonPort& port, bool expanded);
    bool ParseFlowSampleV2(BigEndianReader& r, CMonPort& port);
    bool ParseCounterSampleV5(BigEndianReader& r, CMonPort& port, bool expanded, uint32_t uptime);
    bool ParseCounterSampleV2(BigEndianReader& r, CMonPort& port, uint32_t uptime);
    bool ParseRawHeader(BigEndianReader& r, CMonPort& port);
    bool ParseGenericCounters(BigEndianReader& r, CMonPort& port, uint32_t uptime);
    // The agent address (none for an unknown type or a cut address).
    static tagAgentAddress ReadAgentAddress(BigEndianReader& r);

    CHeaderDecoder m_headers;
    // The flow sample being read: what its headers' rows carry.
    struct tagSampleFields {
        uint32_t samplingRate = 0;
        uint32_t input = 0;
        uint32_t output = 0;
    } m_sample;
    absl::flat_hash_map<const CMonPort*, std::unique_ptr<CCaptureFile>> m_captures;
};

}  // namespace ortolan
