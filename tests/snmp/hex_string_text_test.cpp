// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <map>

#include "hex_string_text.h"

namespace ortolan {
namespace {

class CTableMibs : public IMibLookup {
public:
    std::map<std::string, tagMibObjectInfo, std::less<>> objects;
    std::optional<tagMibObjectInfo> Find(std::string_view name) const override
    {
        auto it = objects.find(name);
        if (it == objects.end()) return std::nullopt;
        return it->second;
    }
};

constexpr size_t kCapacity = 2048;
// 日本 in three encodings.
const std::string kUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
const std::string kShiftJis = "\x93\xFA\x96\x7B";
const std::string kEucJp = "\xC6\xFC\xCB\xDC";

class HexStringToTextTest : public ::testing::Test {
protected:
    HexStringToTextTest()
    {
        mibs.objects["sFlowRcvrOwner"] = {MibSyntax::OctetString, ""};
        mibs.objects["sFlowRcvrAddress"] = {MibSyntax::OctetString, "InetAddress"};
        mibs.objects["ifDescr"] = {MibSyntax::OctetString, "DisplayString"};
    }
    std::string Convert(const std::string& name, const std::string& bytes, size_t capacity = kCapacity)
    {
        std::string printed = name + ".1 = Hex-STRING:";
        for (unsigned char b : bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            printed += hex;
        }
        return HexStringToText(mibs, printed, bytes, capacity);
    }
    CTableMibs mibs;
};

TEST_F(HexStringToTextTest, Utf8OwnerBecomesTextWithoutQuotes)
{
    EXPECT_EQ(Convert("sFlowRcvrOwner", kUtf8), "sFlowRcvrOwner.1 = STRING: " + kUtf8);
    EXPECT_EQ(Convert("ifDescr", "caf\xC3\xA9"), "ifDescr.1 = STRING: caf\xC3\xA9");
}

TEST_F(HexStringToTextTest, ShiftJisAndEucJpAreConvertedToUtf8)
{
    EXPECT_EQ(Convert("sFlowRcvrOwner", kShiftJis), "sFlowRcvrOwner.1 = STRING: " + kUtf8);
    EXPECT_EQ(Convert("sFlowRcvrOwner", kEucJp), "sFlowRcvrOwner.1 = STRING: " + kUtf8);
    EXPECT_EQ(Convert("unknownObject", "ab" + kShiftJis), "unknownObject.1 = STRING: ab" + kUtf8);
}

TEST_F(HexStringToTextTest, BinaryConventionsStayHexadecimal)
{
    std::string printed = "sFlowRcvrAddress.1 = Hex-STRING: E6 97 A5 E6";
    EXPECT_EQ(HexStringToText(mibs, printed, "\xE6\x97\xA5\xE6", kCapacity), printed);
}

TEST_F(HexStringToTextTest, ControlBytesNulAndFFKeepTheHex)
{
    std::string withNul = Convert("unknownObject", std::string("ab\0cd", 5));
    EXPECT_NE(withNul.find("Hex-STRING:"), std::string::npos);
    EXPECT_NE(Convert("sFlowRcvrOwner", kUtf8 + "\x01").find("Hex-STRING:"), std::string::npos);
    EXPECT_NE(Convert("sFlowRcvrOwner", "\xFF\xFF").find("Hex-STRING:"), std::string::npos);
}

TEST_F(HexStringToTextTest, BytesOfNoKnownEncodingStay)
{
    EXPECT_NE(Convert("sFlowRcvrOwner", "\x80\x81\xFE").find("Hex-STRING:"), std::string::npos);
    EXPECT_NE(Convert("sFlowRcvrOwner", "\x7F").find("Hex-STRING:"), std::string::npos);
}

TEST_F(HexStringToTextTest, ResultMustFitTheCapacity)
{
    std::string printed = "sFlowRcvrOwner.1 = Hex-STRING: 93 FA 96 7B";
    // The value's bytes must fit after the name: 19 + 4 + 1.
    EXPECT_EQ(HexStringToText(mibs, printed, kShiftJis, 23), printed);
    // "sFlowRcvrOwner.1 = STRING: " and six bytes of UTF-8 need 33 + 1.
    EXPECT_EQ(HexStringToText(mibs, printed, kShiftJis, 33), printed);
    EXPECT_EQ(HexStringToText(mibs, printed, kShiftJis, 34), "sFlowRcvrOwner.1 = STRING: " + kUtf8);
}

TEST_F(HexStringToTextTest, OtherPrintedTextIsLeftAlone)
{
    EXPECT_EQ(HexStringToText(mibs, "x.1 = STRING: \"abc\"", "abc", kCapacity), "x.1 = STRING: \"abc\"");
    EXPECT_EQ(HexStringToText(mibs, "", "", kCapacity), "");
}

TEST(EncodingChecks, Utf8FollowsRfc3629)
{
    EXPECT_TRUE(IsValidUtf8(kUtf8));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE6\x97"));          // cut short
    EXPECT_FALSE(IsValidUtf8("a\x7F"));
}

TEST(EncodingChecks, ShiftJisAndEucJpPairs)
{
    EXPECT_TRUE(IsValidShiftJis(kShiftJis));
    EXPECT_FALSE(IsValidShiftJis("\xB1"));  // half-width katakana is not taken
    EXPECT_FALSE(IsValidShiftJis("\x93"));
    EXPECT_TRUE(IsValidEucJp(kEucJp));
    EXPECT_FALSE(IsValidEucJp("\xC6\x41"));
    EXPECT_FALSE(ConvertToUtf8("\x93", "CP932").has_value());
}

}  // namespace
}  // namespace ortolan
