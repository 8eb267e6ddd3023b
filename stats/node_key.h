// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The binary keys of the statistics: an IP address of either family, a MAC as
// 48 bits, a pair of either as two keys in a fixed order. Tables hash these;
// their text is formed only where it is shown or written, and every order the
// user sees is the byte-wise order of that text.
#include <absl/hash/hash.h>

#include <compare>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "address_text.h"

namespace ortolan {

// An IPv4 or IPv6 address, its bytes in wire order.
class CIpAddress {
public:
    CIpAddress() = default;
    static CIpAddress V4(const uint8_t* bytes)
    {
        CIpAddress a;
        a.m_family = 4;
        std::memcpy(a.m_bytes, bytes, 4);
        return a;
    }
    static CIpAddress V4Number(uint32_t number)
    {
        const uint8_t b[4] = {uint8_t(number >> 24), uint8_t(number >> 16), uint8_t(number >> 8), uint8_t(number)};
        return V4(b);
    }
    static CIpAddress V6(const uint8_t* bytes)
    {
        CIpAddress a;
        a.m_family = 6;
        std::memcpy(a.m_bytes, bytes, 16);
        return a;
    }
    // A dotted quad ("10.0.0.1") or an IPv6 text; nothing else.
    static std::optional<CIpAddress> Parse(std::string_view text);

    bool IsV4() const { return m_family == 4; }
    bool IsV6() const { return m_family == 6; }
    const uint8_t* bytes() const { return m_bytes; }
    // The IPv4 address as a number (first byte highest); 0 for IPv6.
    uint32_t Number() const
    {
        if (!IsV4()) return 0;
        return uint32_t(m_bytes[0]) << 24 | uint32_t(m_bytes[1]) << 16 | uint32_t(m_bytes[2]) << 8 | m_bytes[3];
    }
    // "%u.%u.%u.%u", or the RFC 5952 text of an IPv6 address.
    AddressText Text() const;
    std::string String() const { return std::string(Text().view()); }
    // 10/8, 172.16/12 and 192.168/16.
    bool IsPrivateV4() const;
    // Unique local fc00::/7 and link-local fe80::/10.
    bool IsLocalV6() const;

    // The first and the last eight bytes, loaded in host order.
    uint64_t Head() const
    {
        uint64_t v;
        std::memcpy(&v, m_bytes, 8);
        return v;
    }
    uint64_t Tail() const
    {
        uint64_t v;
        std::memcpy(&v, m_bytes + 8, 8);
        return v;
    }
    // The address folded into 64 bits for hashing: one value, so the table's
    // hash mixes once. An IPv4 address folds into the low 32 bits without loss.
    uint64_t Fold() const { return IsV4() ? Head() : Head() ^ (Tail() + 1) * 0x9E3779B97F4A7C15ull; }

    bool operator==(const CIpAddress& o) const
    {
        return m_family == o.m_family && Head() == o.Head() && Tail() == o.Tail();
    }
    template <class H>
    friend H AbslHashValue(H h, const CIpAddress& a)
    {
        return H::combine(std::move(h), a.Fold());
    }

private:
    uint8_t m_bytes[16] = {};
    uint8_t m_family = 0;
};

// A MAC address as 48 bits, first byte highest. Its text is fixed-width
// upper-case hex, so the numeric order is also the byte-wise order of the text.
struct MacAddress {
    uint64_t value = 0;

    static MacAddress FromBytes(const uint8_t* b)
    {
        return {uint64_t(b[0]) << 40 | uint64_t(b[1]) << 32 | uint64_t(b[2]) << 24 | uint64_t(b[3]) << 16 |
                uint64_t(b[4]) << 8 | uint64_t(b[5])};
    }
    // "XX:XX:XX:XX:XX:XX" in either case.
    static std::optional<MacAddress> Parse(std::string_view text);
    // "%02X:%02X:%02X:%02X:%02X:%02X".
    AddressText Text() const;
    std::string String() const { return std::string(Text().view()); }

    auto operator<=>(const MacAddress&) const = default;
    uint64_t Fold() const { return value; }
    template <class H>
    friend H AbslHashValue(H h, const MacAddress& m)
    {
        return H::combine(std::move(h), m.value);
    }
};

// Byte-wise order of the two texts, without building strings.
int CompareText(const CIpAddress& a, const CIpAddress& b);
inline int CompareText(const MacAddress& a, const MacAddress& b) { return a.value < b.value ? -1 : a.value > b.value; }

// A pair of nodes, its two keys in a fixed order (the smaller hash-independent
// binary form first), so both directions find the same entry. Which side is
// the user's "A" (the byte-wise smaller text) is kept in the entry.
template <class Key>
struct PairKey {
    Key low;
    Key high;

    bool operator==(const PairKey&) const = default;
    template <class H>
    friend H AbslHashValue(H h, const PairKey& p)
    {
        // Rotated so that the two halves of an IPv4 pair do not overlap.
        const uint64_t high = p.high.Fold();
        return H::combine(std::move(h), p.low.Fold() ^ (high << 32 | high >> 32));
    }
};

// Orders two keys into a PairKey; *swapped tells whether `second` came first.
inline PairKey<MacAddress> MakePair(const MacAddress& first, const MacAddress& second, bool* swapped)
{
    *swapped = second.value < first.value;
    return *swapped ? PairKey<MacAddress>{second, first} : PairKey<MacAddress>{first, second};
}
// The byte-wise order of two addresses' bytes, IPv4 first.
inline bool BinaryBefore(const CIpAddress& a, const CIpAddress& b)
{
    if (a.IsV4() != b.IsV4()) return a.IsV4();
    const uint64_t ah = __builtin_bswap64(a.Head()), bh = __builtin_bswap64(b.Head());
    if (ah != bh) return ah < bh;
    return __builtin_bswap64(a.Tail()) < __builtin_bswap64(b.Tail());
}
inline PairKey<CIpAddress> MakePair(const CIpAddress& first, const CIpAddress& second, bool* swapped)
{
    *swapped = BinaryBefore(second, first);
    return *swapped ? PairKey<CIpAddress>{second, first} : PairKey<CIpAddress>{first, second};
}

// The key of a ToS counter: the sending address and the ToS byte ("addr:tos",
// "[addr]:tos" for IPv6).
struct TosKey {
    CIpAddress source;
    uint8_t tos = 0;

    bool operator==(const TosKey&) const = default;
    template <class H>
    friend H AbslHashValue(H h, const TosKey& k)
    {
        return H::combine(std::move(h), k.source.Fold() ^ uint64_t(k.tos) << 56);
    }
    std::string String() const;
};

}  // namespace ortolan
