// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>

#include "snmp_text.h"

namespace ortolan {
namespace {

TEST(ShortName, DropsModulePrefixAndTypeLabel)
{
    EXPECT_EQ(ShortName("SFLOW-MIB::sFlowRcvrOwner.1"), "sFlowRcvrOwner.1");
    EXPECT_EQ(ShortName("OID: ifIndex.5"), "ifIndex.5");
    EXPECT_EQ(ShortName("sFlowRcvrOwner.1 = STRING: \"ortolan\""), "sFlowRcvrOwner.1");
}

TEST(ShortName, KeepsNumericIndexesAndQuotedIndexes)
{
    EXPECT_EQ(ShortName("sFlowFsReceiver.11.1.3.6.1.2.1.2.2.1.1.5.1"), "sFlowFsReceiver.11.1.3.6.1.2.1.2.2.1.1.5.1");
    EXPECT_EQ(ShortName("vacmGroupName.3.\"md5user\""), "vacmGroupName.3.\"md5user\"");
    EXPECT_EQ(ShortName(".1.3.6.1.4.1"), ".1.3.6.1.4.1");
}

TEST(ShortName, FullNamePathKeepsItsLastTwoParts)
{
    EXPECT_EQ(ShortName("iso.org.dod.internet"), "dod.internet");
    EXPECT_EQ(ShortName("enterprises.sFlowMIB.sFlowAgent.sFlowVersion.0"), "sFlowVersion.0");
}

TEST(ShortName, ToleratesEmptyAndOddText)
{
    EXPECT_EQ(ShortName(""), "");
    EXPECT_EQ(ShortName("="), "");
    EXPECT_EQ(ShortName("::::"), "");
    EXPECT_EQ(ShortName("abc."), "abc.");
}

TEST(MakeResultLine, JoinsShortNameAndValue)
{
    EXPECT_EQ(MakeResultLine("sFlowRcvrOwner.1 = STRING: \"ortolan\"", false), "sFlowRcvrOwner.1=STRING: \"ortolan\"");
    EXPECT_EQ(MakeResultLine("sFlowRcvrPort.1 = INTEGER: 6343", false), "sFlowRcvrPort.1=INTEGER: 6343");
}

TEST(MakeResultLine, ShortensObjectIdentifierValues)
{
    EXPECT_EQ(MakeResultLine("sFlowDataSource.11.1.3.6.1.2.1.2.2.1.1.3 = OID: IF-MIB::ifIndex.3", true),
              "sFlowDataSource.11.1.3.6.1.2.1.2.2.1.1.3=ifIndex.3");
}

TEST(MakeResultLine, ControlBytesBecomeSpacesAndHighBytesStay)
{
    std::string printed = "sFlowRcvrAddress.1 = Hex-STRING: C0 A8\n01 0A\t";
    EXPECT_EQ(MakeResultLine(printed, false), "sFlowRcvrAddress.1=Hex-STRING: C0 A8 01 0A");
    EXPECT_EQ(MakeResultLine("x.1 = STRING: \xE6\x97\xA5", false), "x.1=STRING: \xE6\x97\xA5");
}

TEST(MakeResultLine, NumericNamesGetAPrefixAndTextWithoutEqualsIsEmpty)
{
    EXPECT_EQ(MakeResultLine("1.3.6.1.4.1.9999.1 = INTEGER: 1", false), "mib_2.1.3.6.1.4.1.9999.1=INTEGER: 1");
    EXPECT_EQ(MakeResultLine("no equals here", false), "");
    EXPECT_EQ(MakeResultLine("", true), "");
}

TEST(ValueOf, DropsTypeLabelAndQuotes)
{
    std::string line = "sFlowRcvrOwner.1=STRING: \"ortolan\"";
    EXPECT_EQ(ValueOf(line, "sFlowRcvrOwner.1"), "ortolan");
    EXPECT_EQ(ValueOf("sFlowRcvrPort.1=INTEGER: 6343", "sFlowRcvrPort.1"), "6343");
    EXPECT_EQ(ValueOf("sFlowVersion.0=STRING: 1.3;InMon Corp.;2.78 ", "sFlowVersion.0"), "1.3;InMon Corp.;2.78");
    EXPECT_EQ(ValueOf("sFlowRcvrOwner.2=\"\"", "sFlowRcvrOwner.2"), "");
    EXPECT_EQ(ValueOf("sFlowRcvrAddressType.1=INTEGER: ipv4(1)", "sFlowRcvrAddressType.1"), "ipv4(1)");
}

TEST(ValueOf, FindsTheNameFollowedBySpaceOrEquals)
{
    EXPECT_EQ(ValueOf("sFlowRcvrPort.1 = INTEGER: 6343", "sFlowRcvrPort.1"), "6343");
    EXPECT_EQ(ValueOf("sFlowRcvrPort.11=INTEGER: 7", "sFlowRcvrPort.1"), "");
    EXPECT_EQ(ValueOf("sFlowRcvrPort.1=INTEGER: 6343", "missing.1"), "");
    EXPECT_EQ(ValueOf("sFlowRcvrPort.1 INTEGER", "sFlowRcvrPort.1"), "");
    EXPECT_EQ(ValueOf("", ""), "");
}

TEST(ValueOf, EscapedQuotesAndBackslashesAreReadBack)
{
    EXPECT_EQ(ValueOf(R"(x.1=STRING: "say \"hi\" twice")", "x.1"), R"(say "hi" twice)");
    EXPECT_EQ(ValueOf(R"(x.1=STRING: "C:\\temp" trailing)", "x.1"), R"(C:\temp)");
    EXPECT_EQ(ValueOf(R"(x.1=STRING: "a" "b")", "x.1"), "a");
    EXPECT_EQ(ValueOf("x.1=STRING: \"unterminated", "x.1"), "unterminated");
    EXPECT_EQ(ValueOf("x.1=STRING: \"ends in \\", "x.1"), "ends in \\");
}

TEST(ParseIntText, ReadsNumbersAndEnumerations)
{
    EXPECT_EQ(ParseIntText("ipv4(1)"), 1);
    EXPECT_EQ(ParseIntText("6343"), 6343);
    EXPECT_EQ(ParseIntText("INTEGER: dns(16)"), 16);
    EXPECT_EQ(ParseIntText("-42"), -42);
    EXPECT_EQ(ParseIntText("  17 seconds"), 17);
}

TEST(ParseIntText, TextWithoutNumberIsZeroAndHugeNumbersAreHeld)
{
    EXPECT_EQ(ParseIntText(""), 0);
    EXPECT_EQ(ParseIntText("abc"), 0);
    EXPECT_EQ(ParseIntText("unknown()"), 0);
    EXPECT_EQ(ParseIntText("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseIntText("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(IntValueOf("sFlowRcvrTimeout.1=INTEGER: 86400", "sFlowRcvrTimeout.1"), 86400);
}

TEST(SplitNames, SplitsAtDelimitersAndLeavesEmptyPiecesOut)
{
    EXPECT_EQ(SplitNames("  sFlowAgent \t sFlowAgentV4\r\n", " \t\r\n"),
              (std::vector<std::string>{"sFlowAgent", "sFlowAgentV4"}));
    EXPECT_EQ(SplitNames("a.1=x y\n\nb.1=2\n", "\t\r\n"), (std::vector<std::string>{"a.1=x y", "b.1=2"}));
    EXPECT_TRUE(SplitNames(" \r\n\t ", " \t\r\n").empty());
    EXPECT_EQ(SplitNames("one", ","), (std::vector<std::string>{"one"}));
}

TEST(LeadingDecimal, ReadsCellsAsEntryDialogsDo)
{
    EXPECT_EQ(LeadingDecimal("128"), 128);
    EXPECT_EQ(LeadingDecimal(""), 0);
    EXPECT_EQ(LeadingDecimal("12abc"), 12);
}

}  // namespace
}  // namespace ortolan
