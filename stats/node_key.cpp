// SPDX-License-Identifier: GPL-3.0-or-later
#include "node_key.h"

#include <arpa/inet.h>

#include <charconv>

namespace ortolan {
namespace {

// Where the decimal text of each octet value stands among the texts of all
// 256 values in byte-wise order ("0" < "1" < "10" < "100" < "101" ...). The
// texts are visited in that order directly (a text before its extensions,
// digits ascending; no leading zeros), which stays within every compiler's
// constant-evaluation budget.
struct OctetTextRanks {
    uint8_t rank[256];
    constexpr OctetTextRanks() : rank{}
    {
        int next = 0;
        for (int one = 0; one < 10; ++one) {
            rank[one] = uint8_t(next++);
            if (one == 0) continue;
            for (int two = one * 10; two < one * 10 + 10; ++two) {
                rank[two] = uint8_t(next++);
                for (int three = two * 10; three < two * 10 + 10 && three < 256; ++three)
                    rank[three] = uint8_t(next++);
            }
        }
    }
};
constexpr OctetTextRanks kOctetRanks;

// The dotted texts of two IPv4 addresses compare as their octets' texts do,
// octet by octet: where one octet's text is a proper prefix of the other's,
// the shorter one is followed by '.' or the end, both below every digit, so
// it sorts first, just as it does among the octet texts alone. Comparing the
// octets' ranks is therefore the byte-wise order of the whole texts.
uint32_t Ipv4TextRank(const uint8_t* b)
{
    return uint32_t(kOctetRanks.rank[b[0]]) << 24 | uint32_t(kOctetRanks.rank[b[1]]) << 16 |
           uint32_t(kOctetRanks.rank[b[2]]) << 8 | kOctetRanks.rank[b[3]];
}

}  // namespace

std::optional<CIpAddress> CIpAddress::Parse(std::string_view text)
{
    uint8_t b[16] = {};
    // Dotted quad, as the decoders write it: no leading zeros, no blanks.
    size_t at = 0;
    int part = 0;
    for (; part < 4; ++part) {
        if (part && (at >= text.size() || text[at++] != '.')) break;
        unsigned value = 0;
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + unsigned(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255 || (digits > 1 && text[at - digits] == '0')) break;
        b[part] = uint8_t(value);
    }
    if (part == 4 && at == text.size()) return V4(b);
    if (text.find(':') == std::string_view::npos || text.size() >= 64) return std::nullopt;
    char buf[64];
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = 0;
    if (::inet_pton(AF_INET6, buf, b) != 1) return std::nullopt;
    return V6(b);
}

AddressText CIpAddress::Text() const
{
    if (IsV4()) return Ipv4Text(m_bytes);
    if (IsV6()) return Ipv6Text(m_bytes);
    return {};
}

bool CIpAddress::IsPrivateV4() const
{
    if (!IsV4()) return false;
    return m_bytes[0] == 10 || (m_bytes[0] == 192 && m_bytes[1] == 168) ||
           (m_bytes[0] == 172 && m_bytes[1] >= 16 && m_bytes[1] <= 31);
}

bool CIpAddress::IsLocalV6() const
{
    if (!IsV6()) return false;
    return (m_bytes[0] & 0xFE) == 0xFC || (m_bytes[0] == 0xFE && (m_bytes[1] & 0xC0) == 0x80);
}

std::optional<MacAddress> MacAddress::Parse(std::string_view text)
{
    if (text.size() != 17) return std::nullopt;
    uint64_t value = 0;
    for (size_t i = 0; i < 6; ++i) {
        const char* octet = text.data() + i * 3;
        uint8_t byte = 0;
        auto [end, error] = std::from_chars(octet, octet + 2, byte, 16);
        if (error != std::errc() || end != octet + 2 || (i < 5 && octet[2] != ':')) return std::nullopt;
        value = value << 8 | byte;
    }
    return MacAddress{value};
}

AddressText MacAddress::Text() const
{
    uint8_t b[6];
    for (int i = 0; i < 6; ++i) b[i] = uint8_t(value >> (40 - 8 * i));
    return MacText(b);
}

int CompareText(const CIpAddress& a, const CIpAddress& b)
{
    if (a.IsV4() && b.IsV4()) {
        const uint32_t ra = Ipv4TextRank(a.bytes()), rb = Ipv4TextRank(b.bytes());
        return ra < rb ? -1 : ra > rb;
    }
    int c = a.Text().view().compare(b.Text().view());
    return c < 0 ? -1 : c > 0;
}

std::string TosKey::String() const
{
    // An IPv6 address goes in brackets, as RFC 5952 writes an address with a
    // port, so the ToS value cannot be read as its last group.
    std::string out;
    if (source.IsV6()) out += '[';
    out += source.Text().view();
    if (source.IsV6()) out += ']';
    out += ':';
    out += std::to_string(unsigned(tos));
    return out;
}

}  // namespace ortolan
