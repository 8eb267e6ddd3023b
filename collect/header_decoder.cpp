#include "header_decoder.h"

#include "big_endian_reader.h"

namespace ortolan {
namespace {

constexpr uint16_t kVlan = 0x8100;
constexpr uint16_t kIpv4 = 0x0800;
constexpr uint16_t kPppoeSession = 0x8864;
constexpr uint32_t kMinIpv4Frame = 34;  // Ethernet and a bare IPv4 header

}  // namespace

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
    if (type == kPppoeSession && has(next + 6, 2) && bytes[next + 6] == 0x00 && bytes[next + 7] == 0x21) {
        type = kIpv4;
        next += 8;
    }
    m_accounting.AccountMac(port, MacAddress::FromBytes(bytes), MacAddress::FromBytes(bytes + 6), type, 1,
                            frameLength);
    if (length < kMinIpv4Frame) return -1;
    if (type != kIpv4 || !has(next, 1)) return -1;
    uint8_t first = bytes[next];
    if ((first >> 4) != 4 || (first & 15) <= 4) return -1;
    return int(next);
}

void CHeaderDecoder::DecodeIpv4(CMonPort& port, const uint8_t* bytes, uint32_t length,
                                uint32_t offset, uint32_t frameLength)
{
    if (offset > length || length - offset < 20) return;
    const uint8_t* ip = bytes + offset;
    uint32_t headerLength = uint32_t(ip[0] & 15) * 4;
    uint8_t tos = ip[1];
    uint16_t fragmentOffset = LoadBe16(ip + 6) & 0x1FFF;
    uint8_t protocol = ip[9];
    const CIpAddress source = CIpAddress::V4(ip + 12);
    tagIpFlow flow = m_accounting.AccountIp(port, source, CIpAddress::V4(ip + 16), protocol, 1, frameLength);
    if (tos != 0) m_accounting.AccountTos(port, source, tos, 1, frameLength);
    // Later fragments carry no transport header.
    if (fragmentOffset != 0) return;
    uint32_t transport = offset + headerLength;
    auto has = [&](uint32_t count) { return transport <= length && length - transport >= count; };
    const uint8_t* t = bytes + transport;
    switch (protocol) {
    case 1:
        if (has(2)) m_accounting.AccountIcmp(port, flow, t[0], t[1], 1, frameLength);
        break;
    case 6:
        if (has(4)) m_accounting.AccountTcp(port, flow, LoadBe16(t), LoadBe16(t + 2), 1, frameLength);
        break;
    case 17:
        if (has(4)) m_accounting.AccountUdp(port, flow, LoadBe16(t), LoadBe16(t + 2), 1, frameLength);
        break;
    default:
        break;
    }
}

}  // namespace ortolan
