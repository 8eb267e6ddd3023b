#include "hex_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace ortolan {
namespace {

std::string Reference(const uint8_t* bytes, size_t count)
{
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

// Both encoders against "%02X": every byte value at every position of a
// 16-byte block, then every length up to three blocks from every alignment,
// with nothing written past the end.
TEST(HexText, EveryByteInEveryPositionAndEveryTailIsTwoUpperCaseDigits)
{
    std::vector<uint8_t> bytes;
    // Block s holds s + 17 p at position p: over the 256 blocks each position
    // takes every value.
    for (int s = 0; s < 256; ++s)
        for (int p = 0; p < 16; ++p) bytes.push_back(uint8_t(s + 17 * p));
    for (auto* encode : {&PutHexUpper, &PutHexUpperByTable}) {
        SCOPED_TRACE(encode == &PutHexUpper ? "PutHexUpper" : "PutHexUpperByTable");
        std::string out(2 * bytes.size() + 1, '#');
        char* end = encode(out.data(), bytes.data(), bytes.size());
        ASSERT_EQ(end, out.data() + 2 * bytes.size());
        EXPECT_EQ(out.back(), '#');
        out.pop_back();
        EXPECT_EQ(out, Reference(bytes.data(), bytes.size()));
        for (size_t offset = 0; offset < 16; ++offset)
            for (size_t count = 0; count <= 48; ++count) {
                const uint8_t* from = bytes.data() + 16 * (offset * 7) + offset;
                std::string text(2 * count + 16, '#');
                end = encode(text.data(), from, count);
                ASSERT_EQ(end, text.data() + 2 * count) << offset << " " << count;
                ASSERT_EQ(text, Reference(from, count) + std::string(16, '#')) << offset << " " << count;
            }
    }
}

}  // namespace
}  // namespace ortolan
