// SPDX-License-Identifier: GPL-3.0-or-later
#include "hex_string_text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace ortolan {

namespace {

constexpr std::string_view kHexLabel = "Hex-STRING:";
constexpr std::string_view kStringLabel = "STRING: ";

bool InRange(unsigned char c, unsigned char low, unsigned char high)
{
    return c >= low && c <= high;
}

bool IsPrintableAscii(unsigned char c)
{
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        unsigned char c = at(i);
        if (c < 0x80) {
            if (!IsPrintableAscii(c)) return false;
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (InRange(c, 0xC2, 0xDF)) {
            length = 2;
        } else if (c == 0xE0) {
            length = 3;
            low = 0xA0;
        } else if (InRange(c, 0xE1, 0xEC) || InRange(c, 0xEE, 0xEF)) {
            length = 3;
        } else if (c == 0xED) {
            length = 3;
            high = 0x9F;
        } else if (c == 0xF0) {
            length = 4;
            low = 0x90;
        } else if (InRange(c, 0xF1, 0xF3)) {
            length = 4;
        } else if (c == 0xF4) {
            length = 4;
            high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length) return false;
        if (!InRange(at(i + 1), low, high)) return false;
        for (size_t k = 2; k < length; ++k) {
            if (!InRange(at(i + k), 0x80, 0xBF)) return false;
        }
        i += length;
    }
    return true;
}

// Printable ASCII and two-byte characters whose lead byte the predicate
// accepts and whose trail byte lies in [trailLow, trailHigh].
template <class LeadTest>
bool IsValidDoubleByte(std::string_view bytes, LeadTest isLead, unsigned char trailLow,
                       unsigned char trailHigh)
{
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if (!IsPrintableAscii(c)) return false;
            ++i;
            continue;
        }
        if (!isLead(c)) return false;
        if (n - i < 2) return false;
        if (!InRange(static_cast<unsigned char>(bytes[i + 1]), trailLow, trailHigh)) return false;
        i += 2;
    }
    return true;
}

bool IsValidShiftJis(std::string_view bytes)
{
    return IsValidDoubleByte(
        bytes, [](unsigned char c) { return InRange(c, 0x81, 0x9F) || InRange(c, 0xE0, 0xEF); }, 0x40, 0xFC);
}

bool IsValidEucJp(std::string_view bytes)
{
    return IsValidDoubleByte(bytes, [](unsigned char c) { return InRange(c, 0xA1, 0xFE); }, 0xA1, 0xFE);
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* fromEncoding)
{
    iconv_t cd = iconv_open("UTF-8", fromEncoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // Every character of these encodings takes at most two bytes and becomes
    // at most three (four for the rare supplementary ones): twice the input
    // plus a little is always enough.
    std::vector<char> out(bytes.size() * 2 + 16);
    std::vector<char> in(bytes.begin(), bytes.end());
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    bool ok = done != static_cast<size_t>(-1) && inLeft == 0;
    if (ok) ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return std::string(out.data(), out.size() - outLeft);
}

std::string HexStringToText(const IMibLookup& mibs, std::string_view printed, std::string_view value,
                            size_t capacity)
{
    std::string unchanged(printed);
    size_t label = printed.find(kHexLabel);
    if (label == std::string_view::npos) return unchanged;

    // Binary conventions (addresses, engine ids) stay hexadecimal; text
    // objects and objects without a convention are looked at.
    std::string_view name = printed.substr(0, printed.find('.'));
    std::optional<tagMibObjectInfo> object = mibs.Find(name);
    if (object) {
        const std::string& convention = object->textualConvention;
        if (!convention.empty() && convention.find("Display") == std::string::npos) return unchanged;
        for (char c : value) {
            unsigned char b = static_cast<unsigned char>(c);
            if (b == 0xFF || b < 0x20) return unchanged;
        }
    }
    if (capacity < label + value.size() + 1) return unchanged;
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20) return unchanged;
    }

    std::optional<std::string> text;
    if (IsValidUtf8(value)) {
        text = std::string(value);
    } else if (IsValidShiftJis(value)) {
        // CP932 is the Shift_JIS that Japanese Windows systems write.
        text = ConvertToUtf8(value, "CP932");
    } else if (IsValidEucJp(value)) {
        text = ConvertToUtf8(value, "EUC-JP");
    }
    if (!text) return unchanged;

    std::string result(printed.substr(0, label));
    result += kStringLabel;
    result += *text;
    if (result.size() + 1 > capacity) return unchanged;
    return result;
}

}  // namespace ortolan
