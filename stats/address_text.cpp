// SPDX-License-Identifier: GPL-3.0-or-later
#include "address_text.h"

namespace ortolan {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void PutDecimal(AddressText& out, uint8_t v)
{
    if (v >= 100) out.text[out.size++] = char('0' + v / 100);
    if (v >= 10) out.text[out.size++] = char('0' + v / 10 % 10);
    out.text[out.size++] = char('0' + v % 10);
}

AddressText HexGroups(const uint8_t* bytes, int count)
{
    AddressText out;
    for (int i = 0; i < count; ++i) {
        if (i) out.text[out.size++] = ':';
        out.text[out.size++] = kHex[bytes[i] >> 4];
        out.text[out.size++] = kHex[bytes[i] & 15];
    }
    return out;
}

void PutHexGroup(AddressText& out, unsigned group)
{
    static constexpr char kLower[] = "0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        unsigned digit = group >> shift & 15;
        if (digit || started || shift == 0) {
            out.text[out.size++] = kLower[digit];
            started = true;
        }
    }
}

}  // namespace

AddressText Ipv6Text(const uint8_t* bytes)
{
    unsigned groups[8];
    for (int i = 0; i < 8; ++i) groups[i] = unsigned(bytes[2 * i]) << 8 | bytes[2 * i + 1];
    AddressText out;
    // IPv4-mapped: the one embedding whose prefix alone says that the last 32
    // bits are an IPv4 address, and the form the RFC shows for it.
    if (!groups[0] && !groups[1] && !groups[2] && !groups[3] && !groups[4] && groups[5] == 0xFFFF) {
        const char prefix[] = "::ffff:";
        for (const char* c = prefix; *c; ++c) out.text[out.size++] = *c;
        AddressText v4 = Ipv4Text(bytes + 12);
        for (uint8_t i = 0; i < v4.size; ++i) out.text[out.size++] = v4.text[i];
        return out;
    }
    int bestStart = -1, bestLength = 1;  // a single zero group is never shortened
    for (int i = 0; i < 8;) {
        if (groups[i]) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && !groups[j]) ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out.text[out.size++] = ':';
            out.text[out.size++] = ':';
            i += bestLength - 1;
            continue;
        }
        if (i && i != bestStart + bestLength) out.text[out.size++] = ':';
        PutHexGroup(out, groups[i]);
    }
    return out;
}

AddressText Ipv4Text(const uint8_t* bytes)
{
    AddressText out;
    for (int i = 0; i < 4; ++i) {
        if (i) out.text[out.size++] = '.';
        PutDecimal(out, bytes[i]);
    }
    return out;
}

AddressText MacText(const uint8_t* bytes) { return HexGroups(bytes, 6); }

AddressText Ipv6GroupsText(const uint8_t* bytes) { return HexGroups(bytes, 16); }

}  // namespace ortolan
