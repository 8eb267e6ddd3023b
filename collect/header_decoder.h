// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Takes a sampled packet header apart layer by layer (Ethernet with one VLAN
// tag, LLC/SNAP, LLC for IP and PPPoE session; IPv4 or IPv6 with its extension
// headers; TCP, UDP, ICMP, ICMPv6) and accounts each complete layer: one packet
// and the sampled frame's length.
// Nothing outside the given header bytes is read; a header that ends inside a
// layer ends the decoding there, with the earlier layers accounted.
#include <cstdint>

#include "flow_row_sink.h"
#include "mon_port.h"
#include "traffic_accounting.h"

namespace ortolan {

class CHeaderDecoder {
public:
    explicit CHeaderDecoder(CTrafficAccounting& accounting) : m_accounting(accounting) {}

    // The most IPv6 extension headers walked before the upper-layer header; a
    // chain longer than this counts under the header type where the walk stopped.
    static constexpr int kMaxExtensionHeaders = 8;
    // The header_protocol numbers of sFlow (versions 2 to 5) that are taken apart.
    static constexpr uint32_t kHeaderEthernet = 1;
    static constexpr uint32_t kHeaderIpv4 = 11;
    static constexpr uint32_t kHeaderIpv6 = 12;

    // One sampled header, from its first layer to its last. The source MAC the
    // Ethernet layer hands to the IP layer belongs to this sample alone and is
    // forgotten when it ends. False for a header protocol not taken apart.
    bool DecodeSample(CMonPort& port, uint32_t protocol, const uint8_t* bytes, uint32_t length,
                      uint32_t frameLength);
    // While set, each layer decoded also fills its fields of the row (MACs,
    // addresses, protocol, ToS, ports, ICMP type and code); null forms none.
    void SetRow(tagFlowRow* row) { m_row = row; }

    // Returns the offset of an IPv4 or IPv6 header within the bytes, or -1 when there is none.
    int DecodeEthernet(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t frameLength);
    // The IP header at an offset DecodeEthernet returned, by its version.
    // DecodeIpv4 and DecodeIpv6 count nothing unless the header's version is
    // theirs (and an IPv4 header length is at least five words).
    void DecodeIp(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t offset, uint32_t frameLength);
    void DecodeIpv4(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t offset,
                    uint32_t frameLength);
    // The fixed header, the extension headers within the bytes, then the
    // transport. A non-first fragment counts in the IP tables only.
    void DecodeIpv6(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t offset,
                    uint32_t frameLength);

private:
    // The transport header of either family, available bytes long.
    void AccountTransport(CMonPort& port, const tagIpFlow& flow, uint8_t protocol, bool ipv6, const uint8_t* t,
                          uint32_t available, uint32_t frameLength);

    CTrafficAccounting& m_accounting;
    tagFlowRow* m_row = nullptr;
};

}  // namespace ortolan
