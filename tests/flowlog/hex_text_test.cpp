// SPDX-License-Identifier: GPL-3.0-or-later
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

// Both readers: every pair of character values, put in the first and the last
// pair of a 16-character block and in the tail after it, fails unless both are
// hexadecimal digits (either case), and otherwise reads as its value with its
// neighbours intact; and the "%02X" of bytes of every length across blocks
// reads back as those bytes.
TEST(HexText, EveryPairOfCharactersReadsAsItsValueOrFails)
{
    auto digit = [](int c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    const std::string valid = "0123456789abcdefAB";
    for (auto* read : {&ReadHex, &ReadHexByTable}) {
        SCOPED_TRACE(read == &ReadHex ? "ReadHex" : "ReadHexByTable");
        for (size_t at : {0, 7, 8})
            for (int first = 0; first < 256; ++first)
                for (int second = 0; second < 256; ++second) {
                    std::string text = valid;
                    text[2 * at] = char(first);
                    text[2 * at + 1] = char(second);
                    uint8_t out[10] = {};
                    bool ok = read(text.data(), 9, out);
                    bool hex = digit(first) >= 0 && digit(second) >= 0;
                    ASSERT_EQ(ok, hex) << at << " " << first << " " << second;
                    if (!ok) continue;
                    for (size_t i = 0; i < 9; ++i)
                        ASSERT_EQ(out[i], digit(uint8_t(text[2 * i])) << 4 | digit(uint8_t(text[2 * i + 1])))
                            << at << " " << first << " " << second << " " << i;
                    ASSERT_EQ(out[9], 0);
                }
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 40; ++i) bytes.push_back(uint8_t(i * 37 + 11));
        for (size_t count = 0; count <= bytes.size(); ++count) {
            std::vector<uint8_t> back(count + 1, 0xEE);
            ASSERT_TRUE(read(Reference(bytes.data(), count).data(), count, back.data())) << count;
            EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.end() - 1),
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(count)));
            EXPECT_EQ(back.back(), 0xEE) << count;
        }
    }
}

}  // namespace
}  // namespace ortolan
