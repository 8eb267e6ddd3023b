// SPDX-License-Identifier: GPL-3.0-or-later
#include "header_decoder.h"

#include "big_endian_reader.h"

namespace ortolan {
namespace {

constexpr uint16_t kVlan = 0x8100;
constexpr uint16_t kIpv4 = 0x0800;
constexpr uint16_t kIpv6 = 0x86DD;
constexpr uint16_t kPppoeSession = 0x8864;
constexpr uint16_t kPppIpv4 = 0x0021;
constexpr uint16_t kPppIpv6 = 0x0057;
constexpr uint32_t kMinIpv4Frame = 34;  // Ethernet and a bare IPv4 header
constexpr uint32_t kIpv6HeaderLength = 40;

// IPv6 next-header values (RFC 8200) that the walk steps over.
constexpr uint8_t kHopByHop = 0;
constexpr uint8_t kRouting = 43;
constexpr uint8_t kFragment = 44;
constexpr uint8_t kDestinationOptions = 60;
constexpr uint8_t kIcmp6 = 58;

}  // namespace

bool CHeaderDecoder::DecodeSample(CMonPort& port, uint32_t protocol, const uint8_t* bytes, uint32_t length,
                                  uint32_t frameLength)
{
    bool known = true;
    if (protocol == kHeaderEthernet) {
        int ipOffset = DecodeEthernet(port, bytes, length, frameLength);
        if (ipOffset >= 0) DecodeIp(port, bytes, length, uint32_t(ipOffset), frameLength);
    } else if (protocol == kHeaderIpv4) {
        DecodeIpv4(port, bytes, length, 0, frameLength);
    } else if (protocol == kHeaderIpv6) {
        DecodeIpv6(port, bytes, length, 0, frameLength);
    } else {
        known = false;
    }
    // An ARP frame, or an IP header cut short, leaves the MAC step's source
    // unused: it must not mark the next sample's node, of this agent or another.
    m_accounting.ForgetSourceMac();
    return known;
}

int CHeaderDecoder::DecodeEthernet(CMonPort& port, const uint8_t* bytes, uint32_t length,
                                   uint32_t frameLength)
{
    port.CountFrameSize(frameLength);
    if (length < 14) return -1;
    // Checks on bytes the header does not hold fail, and the type stays as read so far.
    auto has = [length](uint32_t offset, uint32_t count) { return offset + count <= length; };
    uint32_t next = 14;
    uint16_t type = LoadBe16(bytes + 12);
    if (type == kVlan && has(next + 2, 2)) {
        type = LoadBe16(bytes + next + 2);
        next += 4;
    }
    if (type <= 1500) {
        if (has(next, 3) && bytes[next] == 0xAA && bytes[next + 1] == 0xAA && bytes[next + 2] == 0x03 &&
            has(next + 3, 5)) {
            // SNAP with an organisation code of its own carries nothing we can name.
            if (bytes[next + 3] || bytes[next + 4] || bytes[next + 5]) return -1;
            type = LoadBe16(bytes + next + 6);
            next += 8;
        } else if (has(next, 3) && bytes[next] == 0x06 && bytes[next + 1] == 0x06 &&
                   (bytes[next + 2] & 1)) {
            type = kIpv4;
            next += 3;
        }
    }
    if (type == kPppoeSession && has(next + 6, 2)) {
        const uint16_t ppp = LoadBe16(bytes + next + 6);
        if (ppp == kPppIpv4 || ppp == kPppIpv6) {
            type = ppp == kPppIpv4 ? kIpv4 : kIpv6;
            next += 8;
        }
    }
    m_accounting.AccountMac(port, MacAddress::FromBytes(bytes), MacAddress::FromBytes(bytes + 6), type, 1,
                            frameLength);
    if (m_row) {
        m_row->destinationMac = MacAddress::FromBytes(bytes).value;
        m_row->sourceMac = MacAddress::FromBytes(bytes + 6).value;
    }
    if (type == kIpv6) {
        // DecodeIpv6 checks that the fixed header is complete.
        if (!has(next, 1) || (bytes[next] >> 4) != 6) return -1;
        return int(next);
    }
    if (length < kMinIpv4Frame) return -1;
    if (type != kIpv4 || !has(next, 1)) return -1;
    uint8_t first = bytes[next];
    if ((first >> 4) != 4 || (first & 15) <= 4) return -1;
    return int(next);
}

void CHeaderDecoder::DecodeIp(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t offset,
                              uint32_t frameLength)
{
    if (offset < length && (bytes[offset] >> 4) == 6)
        DecodeIpv6(port, bytes, length, offset, frameLength);
    else
        DecodeIpv4(port, bytes, length, offset, frameLength);
}

void CHeaderDecoder::DecodeIpv6(CMonPort& port, const uint8_t* bytes, uint32_t length, uint32_t offset,
                                uint32_t frameLength)
{
    if (offset > length || length - offset < kIpv6HeaderLength) return;
    const uint8_t* ip = bytes + offset;
    if ((ip[0] >> 4) != 6) return;
    const uint8_t trafficClass = uint8_t((ip[0] & 15) << 4 | ip[1] >> 4);
    uint8_t protocol = ip[6];
    const CIpAddress source = CIpAddress::V6(ip + 8);
    const CIpAddress destination = CIpAddress::V6(ip + 24);

    // Walk the extension headers. `at` may end beyond the bytes (a header whose
    // length runs past the sample); the transport step then finds nothing.
    uint64_t at = uint64_t(offset) + kIpv6HeaderLength;
    auto has = [&](uint32_t count) { return at <= length && length - at >= count; };
    bool transport = true;
    for (int walked = 0;; ++walked) {
        const bool extension = protocol == kHopByHop || protocol == kRouting || protocol == kFragment ||
                               protocol == kDestinationOptions;
        if (!extension) break;
        // Too long a chain, or one cut by the sample's end, counts under the
        // header where the walk stopped, with no transport.
        if (walked == kMaxExtensionHeaders || !has(protocol == kFragment ? 8 : 2)) {
            transport = false;
            break;
        }
        const uint8_t* h = bytes + at;
        if (protocol == kFragment) {
            protocol = h[0];
            at += 8;
            // Later fragments carry no transport header, nor further headers.
            if ((LoadBe16(h + 2) >> 3) != 0) {
                transport = false;
                break;
            }
        } else {
            protocol = h[0];
            at += (uint32_t(h[1]) + 1) * 8;
        }
    }

    tagIpFlow flow = m_accounting.AccountIp(port, source, destination, protocol, 1, frameLength);
    if (m_row) {
        StoreRowAddress(m_row->source, ip + 8, false);
        StoreRowAddress(m_row->destination, ip + 24, false);
        m_row->protocol = protocol;
        m_row->tos = trafficClass;
    }
    if (trafficClass != 0) m_accounting.AccountTos(port, source, trafficClass, 1, frameLength);
    if (!transport || !has(0)) return;
    AccountTransport(port, flow, protocol, true, bytes + at, length - at, frameLength);
}

void CHeaderDecoder::DecodeIpv4(CMonPort& port, const uint8_t* bytes, uint32_t length,
                                uint32_t offset, uint32_t frameLength)
{
    if (offset > length || length - offset < 20) return;
    const uint8_t* ip = bytes + offset;
    // A raw IPv4 sample comes without the Ethernet layer's checks: a header
    // shorter than its fixed part would put the "ports" inside itself.
    if ((ip[0] >> 4) != 4 || (ip[0] & 15) < 5) return;
    uint32_t headerLength = uint32_t(ip[0] & 15) * 4;
    uint8_t tos = ip[1];
    uint16_t fragmentOffset = LoadBe16(ip + 6) & 0x1FFF;
    uint8_t protocol = ip[9];
    const CIpAddress source = CIpAddress::V4(ip + 12);
    tagIpFlow flow = m_accounting.AccountIp(port, source, CIpAddress::V4(ip + 16), protocol, 1, frameLength);
    if (m_row) {
        StoreRowAddress(m_row->source, ip + 12, true);
        StoreRowAddress(m_row->destination, ip + 16, true);
        m_row->protocol = protocol;
        m_row->tos = tos;
    }
    if (tos != 0) m_accounting.AccountTos(port, source, tos, 1, frameLength);
    // Later fragments carry no transport header.
    if (fragmentOffset != 0) return;
    uint32_t transport = offset + headerLength;
    if (transport > length) return;
    AccountTransport(port, flow, protocol, false, bytes + transport, length - transport, frameLength);
}

void CHeaderDecoder::AccountTransport(CMonPort& port, const tagIpFlow& flow, uint8_t protocol, bool ipv6,
                                      const uint8_t* t, uint32_t available, uint32_t frameLength)
{
    // Each family has its own ICMP: ICMP behind IPv6, or ICMPv6 behind IPv4, is no ICMP message.
    if (protocol == (ipv6 ? kIcmp6 : 1)) {
        if (available < 2) return;
        if (m_row) m_row->icmpType = t[0], m_row->icmpCode = t[1];
        if (ipv6) m_accounting.AccountIcmp6(port, flow, t[0], t[1], 1, frameLength);
        else m_accounting.AccountIcmp(port, flow, t[0], t[1], 1, frameLength);
        return;
    }
    if ((protocol != 6 && protocol != 17) || available < 4) return;
    if (m_row) m_row->sourcePort = LoadBe16(t), m_row->destinationPort = LoadBe16(t + 2);
    if (protocol == 6) m_accounting.AccountTcp(port, flow, LoadBe16(t), LoadBe16(t + 2), 1, frameLength);
    else m_accounting.AccountUdp(port, flow, LoadBe16(t), LoadBe16(t + 2), 1, frameLength);
}

}  // namespace ortolan
