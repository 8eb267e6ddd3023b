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

}  // namespace

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
