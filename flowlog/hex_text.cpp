// SPDX-License-Identifier: GPL-3.0-or-later
#include "hex_text.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ortolan {
namespace {

// The two upper-case hexadecimal digits of every byte value, "00" to "FF".
struct HexPairs {
    char text[512];
    constexpr HexPairs() : text{}
    {
        constexpr char digits[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            text[2 * i] = digits[i >> 4];
            text[2 * i + 1] = digits[i & 15];
        }
    }
};
constexpr HexPairs kHexPairs;

// The byte of every pair of characters, indexed by first | second << 8 (one
// 16-bit load on the machines we run on); 0x100 for a pair that is not two
// hexadecimal digits. The pairs of real logs fill 22 rows of the table.
struct HexPairValues {
    uint16_t value[65536];
    constexpr HexPairValues() : value{}
    {
        int digit[256] = {};
        for (int& d : digit) d = -1;
        for (int i = 0; i < 10; ++i) digit['0' + i] = i;
        for (int i = 0; i < 6; ++i) digit['A' + i] = digit['a' + i] = 10 + i;
        for (int first = 0; first < 256; ++first)
            for (int second = 0; second < 256; ++second)
                value[first | second << 8] = digit[first] < 0 || digit[second] < 0
                                                 ? uint16_t(0x100)
                                                 : uint16_t(digit[first] << 4 | digit[second]);
    }
};
constexpr HexPairValues kHexPairValues;

}  // namespace

char* PutHexUpperByTable(char* out, const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(out, kHexPairs.text + 2 * bytes[i], 2);
        out += 2;
    }
    return out;
}

#if defined(__SSE2__)

namespace {

// Sixteen nibbles (0..15 each) as their digits: '0' + n, and 7 more for
// n > 9 to reach 'A'..'F'.
inline __m128i NibbleDigits(__m128i nibbles)
{
    const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
}

}  // namespace

char* PutHexUpper(char* out, const uint8_t* bytes, size_t count)
{
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // The shift is per 16-bit lane; the mask drops what crossed from the
        // neighbouring byte.
        const __m128i high = _mm_and_si128(_mm_srli_epi16(block, 4), lowNibble);
        const __m128i low = _mm_and_si128(block, lowNibble);
        // High digit first: interleaving gives each byte's two digits in order.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), NibbleDigits(_mm_unpacklo_epi8(high, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), NibbleDigits(_mm_unpackhi_epi8(high, low)));
        out += 32;
    }
    return PutHexUpperByTable(out, bytes + i, count - i);
}

#else

char* PutHexUpper(char* out, const uint8_t* bytes, size_t count)
{
    return PutHexUpperByTable(out, bytes, count);
}

#endif

bool ReadHexByTable(const char* text, size_t count, uint8_t* out)
{
    uint16_t invalid = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto* pair = reinterpret_cast<const uint8_t*>(text + 2 * i);
        uint16_t value = kHexPairValues.value[pair[0] | pair[1] << 8];
        invalid |= value;
        out[i] = uint8_t(value);
    }
    return !(invalid & 0x100);
}

bool ReadHex(const char* text, size_t count, uint8_t* out)
{
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen digits at a time: a digit's value is c - '0' when that is 0-9,
    // else (c | 0x20) - 'a' + 10 when that is 10-15; anything else marks the
    // text bad. The first digit of a pair is the low byte of its 16-bit lane.
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i five = _mm_set1_epi8(5);
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    __m128i good = _mm_set1_epi8(-1);
    for (; i + 8 <= count; i += 8) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 2 * i));
        __m128i digit = _mm_sub_epi8(c, _mm_set1_epi8('0'));
        __m128i letter = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
        __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, nine), digit);
        __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, five), letter);
        good = _mm_and_si128(good, _mm_or_si128(isDigit, isLetter));
        __m128i value = _mm_or_si128(_mm_and_si128(isDigit, digit),
                                     _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
        __m128i pairs = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(value, lowBytes), 4), _mm_srli_epi16(value, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(pairs, pairs));
    }
    if (_mm_movemask_epi8(good) != 0xFFFF) return false;
#endif
    return ReadHexByTable(text + 2 * i, count - i, out + i);
}

}  // namespace ortolan
