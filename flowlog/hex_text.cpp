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

}  // namespace ortolan
