// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row per sampled header (sFlow) or flow record (NetFlow v1/v5/v9, IPFIX),
// handed to an outside store as the decoders read it. A collector has no sink
// unless one is set, and then forms no row at all. The sink is called on the
// receiving thread, once per row, and must not block.
#include <cstdint>
#include <string_view>

namespace ortolan {

struct tagFlowRow {
    int64_t time = 0;                 // the datagram's time, seconds since 1970
    uint8_t exporter[16] = {};        // agent or exporter address; IPv4 as ::ffff:a.b.c.d
    std::string_view portKey;         // the port's key as the lists show it; valid during the call
    uint32_t samplingRate = 1;        // what the record itself says, else 1
    uint32_t input = 0;               // ifIndex, 0 when not carried
    uint32_t output = 0;
    uint64_t sourceMac = 0;           // 48 bits; sFlow Ethernet headers only
    uint64_t destinationMac = 0;
    uint8_t source[16] = {};          // IPv4 as ::ffff:a.b.c.d, zero when not carried
    uint8_t destination[16] = {};
    uint8_t protocol = 0;
    uint8_t tos = 0;
    uint8_t icmpType = 0;
    uint8_t icmpCode = 0;
    uint16_t sourcePort = 0;
    uint16_t destinationPort = 0;
    uint64_t packets = 0;
    uint64_t bytes = 0;
};

class IFlowRowSink {
public:
    virtual ~IFlowRowSink() = default;
    virtual void OnFlowRow(const tagFlowRow& row) = 0;
};

// The 16-byte column form of an address of 4 or 16 bytes.
inline void StoreRowAddress(uint8_t out[16], const uint8_t* bytes, bool v4)
{
    if (v4) {
        for (int i = 0; i < 10; ++i) out[i] = 0;
        out[10] = out[11] = 0xFF;
        for (int i = 0; i < 4; ++i) out[12 + i] = bytes[i];
    } else {
        for (int i = 0; i < 16; ++i) out[i] = bytes[i];
    }
}

}  // namespace ortolan
