// SPDX-License-Identifier: GPL-3.0-or-later
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "node_key.h"

namespace ortolan {
namespace {

std::string Text6(const char* parsed)
{
    uint8_t b[16];
    EXPECT_EQ(::inet_pton(AF_INET6, parsed, b), 1) << parsed;
    return std::string(Ipv6Text(b).view());
}

// The forms RFC 5952 asks for, each from a text that breaks it.
TEST(AddressText, Ipv6TextTakesTheRfc5952Form)
{
    EXPECT_EQ(Text6("2001:0DB8:0000:0000:0000:0000:0000:0001"), "2001:db8::1");  // lower case, no leading zeros
    EXPECT_EQ(Text6("2001:db8:0:0:1:0:0:1"), "2001:db8::1:0:0:1");              // first of equal runs
    EXPECT_EQ(Text6("2001:db8:0:1:0:0:0:1"), "2001:db8:0:1::1");                // longest run, not the first
    EXPECT_EQ(Text6("2001:db8:0:1:1:1:1:1"), "2001:db8:0:1:1:1:1:1");           // one zero group stays
    EXPECT_EQ(Text6("::"), "::");
    EXPECT_EQ(Text6("::1"), "::1");
    EXPECT_EQ(Text6("fe80:0:0:0:0:0:0:0"), "fe80::");
    EXPECT_EQ(Text6("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"), "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff");
    // Only the IPv4-mapped prefix is shown dotted; the deprecated ::/96 form is not.
    EXPECT_EQ(Text6("::ffff:c000:201"), "::ffff:192.0.2.1");
    EXPECT_EQ(Text6("::c000:201"), "::c000:201");
    EXPECT_EQ(Text6("::2:3"), "::2:3");
    EXPECT_EQ(Text6("0:0:0:0:0:ffff:0:1"), "::ffff:0.0.0.1");
    EXPECT_EQ(Text6("1:0:0:0:0:ffff:c000:201"), "1::ffff:c000:201");
}

// Outside the embedded-IPv4 prefixes glibc's inet_ntop gives the same form; every
// text reads back to its bytes, and the address key forms the same text.
TEST(AddressText, Ipv6TextAgreesWithInetNtopAndReadsBack)
{
    std::mt19937 rng(5952);
    for (int i = 0; i < 20000; ++i) {
        uint8_t b[16];
        for (int g = 0; g < 8; ++g) {
            // Zero groups are common, so that runs of every length and place occur.
            unsigned v = rng() % 3 ? 0 : rng() % 4 ? rng() & 0xFFFF : rng() & 0xF;
            b[2 * g] = uint8_t(v >> 8);
            b[2 * g + 1] = uint8_t(v);
        }
        const std::string text(Ipv6Text(b).view());
        uint8_t back[16];
        ASSERT_EQ(::inet_pton(AF_INET6, text.c_str(), back), 1) << text;
        ASSERT_EQ(std::memcmp(back, b, 16), 0) << text;
        ASSERT_EQ(CIpAddress::V6(b).String(), text);
        bool embedded = true;
        for (int k = 0; k < 10; ++k) embedded = embedded && b[k] == 0;
        if (embedded) continue;
        char glibc[INET6_ADDRSTRLEN];
        ASSERT_NE(::inet_ntop(AF_INET6, b, glibc, sizeof glibc), nullptr);
        ASSERT_EQ(text, glibc);
    }
}

}  // namespace
}  // namespace ortolan
