// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "agent_address.h"
#include "sf_walk_parser.h"

namespace ortolan {
namespace {

using Cells = std::vector<std::string>;

TEST(FormatAgentAddress, ReadsHexBytesAndIpAddressValues)
{
    EXPECT_EQ(FormatAgentAddress("C0 A8 01 0A"), "192.168.1.10");
    EXPECT_EQ(FormatAgentAddress("Hex-STRING: 0A 00 00 01"), "10.0.0.1");
    EXPECT_EQ(FormatAgentAddress("IpAddress: 172.16.0.9 "), "172.16.0.9");
    EXPECT_EQ(FormatAgentAddress("0A 00"), "10.0.0.0");
    EXPECT_EQ(FormatAgentAddress(""), "0.0.0.0");
    EXPECT_EQ(FormatAgentAddress("zz 01"), "0.0.0.0");
}

TEST(DataSourceOfIndex, NamesTheIfIndexColumn)
{
    EXPECT_EQ(DataSourceOfIndex("11.1.3.6.1.2.1.2.2.1.1.5.1"), "ifIndex.5");
    EXPECT_EQ(DataSourceOfIndex("12.1.3.6.1.2.1.47.1.1.1.1.3.2"), "1.3.6.1.2.1.47.1.1.1.1.3");
    // ifInOctets shares the first digits of the ifIndex column.
    EXPECT_EQ(DataSourceOfIndex("11.1.3.6.1.2.1.2.2.1.10.5.1"), "1.3.6.1.2.1.2.2.1.10.5");
    EXPECT_EQ(DataSourceOfIndex("5"), "");
    EXPECT_EQ(DataSourceOfIndex("5.1"), "");
    EXPECT_EQ(DataSourceOfIndex(""), "");
}

TEST(InstanceOfIndex, IsTheLastPart)
{
    EXPECT_EQ(InstanceOfIndex("11.1.3.6.1.2.1.2.2.1.1.5.1"), "1");
    EXPECT_EQ(InstanceOfIndex("7"), "");
}

TEST(Ipv4Text, RoundTripsAndRefusesOtherText)
{
    EXPECT_EQ(IpToText(0xC0A8010A), "192.168.1.10");
    EXPECT_EQ(ParseIpv4("192.168.1.10"), 0xC0A8010Au);
    EXPECT_EQ(ParseIpv4("0.0.0.0"), 0u);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d", "1..2.3", "1.2.3.4:161"}) {
        EXPECT_FALSE(ParseIpv4(bad).has_value()) << bad;
    }
}

const std::string kIdx5 = "11.1.3.6.1.2.1.2.2.1.1.5.1";
const std::string kIdx7 = "11.1.3.6.1.2.1.2.2.1.1.7.1";

std::vector<std::string> V5Walk()
{
    return {
        "sFlowVersion.0=STRING: 1.3;InMon Corp.;2.78",
        "sFlowAgentAddressType.0=INTEGER: ipv4(1)",
        "sFlowAgentAddress.0=Hex-STRING: C0 A8 01 0B",
        "sFlowRcvrOwner.1=STRING: \"ortolan\"",
        "sFlowRcvrOwner.2=\"\"",
        "sFlowRcvrTimeout.1=INTEGER: 86400",
        "sFlowRcvrTimeout.2=INTEGER: 0",
        "sFlowRcvrMaximumDatagramSize.1=INTEGER: 1400",
        "sFlowRcvrAddressType.1=INTEGER: ipv4(1)",
        "sFlowRcvrAddress.1=Hex-STRING: 0A 00 00 01",
        "sFlowRcvrPort.1=INTEGER: 6343",
        "sFlowRcvrDatagramVersion.1=INTEGER: 5",
        "sFlowFsReceiver." + kIdx5 + "=INTEGER: 1",
        "sFlowFsPacketSamplingRate." + kIdx5 + "=INTEGER: 400",
        "sFlowFsMaximumHeaderSize." + kIdx5 + "=INTEGER: 128",
        "sFlowCpReceiver." + kIdx5 + "=INTEGER: 1",
        "sFlowCpReceiver." + kIdx7 + "=INTEGER: 2",
        "sFlowCpInterval." + kIdx5 + "=INTEGER: 30",
        "sFlowCpInterval." + kIdx7 + "=INTEGER: 20",
        "sysUpTime.0=Timeticks: (1) 0:00:00.01",
        "",
        "noindex=INTEGER: 1",
        "sFlowCpReceiver.3=INTEGER: 9",
    };
}

TEST(ParseV5Results, BuildsReceiverRowsInOrderSeen)
{
    tagSfReadout readout = ParseV5Results(V5Walk());
    EXPECT_EQ(readout.info.mibGeneration, 5);
    EXPECT_EQ(readout.info.versionText, "1.3;InMon Corp.;2.78");
    EXPECT_EQ(readout.info.addressText, "192.168.1.11");
    ASSERT_EQ(readout.receivers.size(), 2u);
    EXPECT_EQ(CellsOf(readout.receivers[0]), (Cells{"1", "ortolan", "86400", "1400", "10.0.0.1", "6343", "5"}));
    // An empty owner is listed like any other; cells not read stay empty.
    EXPECT_EQ(CellsOf(readout.receivers[1]), (Cells{"2", "", "0", "", "", "", ""}));
}

TEST(ParseV5Results, SamplerAndPollerOfOneIndexShareARow)
{
    tagSfReadout readout = ParseV5Results(V5Walk());
    ASSERT_EQ(readout.v5Ports.size(), 2u);
    EXPECT_EQ(CellsOf(readout.v5Ports[0]), (Cells{"ifIndex.5", "1", "1", "400", "128", "1", "30", kIdx5}));
    // A poller without a sampler leaves the sampler's cells empty; the index
    // "3" has no data source and is left out.
    EXPECT_EQ(CellsOf(readout.v5Ports[1]), (Cells{"ifIndex.7", "1", "", "", "", "2", "20", kIdx7}));
    EXPECT_TRUE(readout.v4Ports.empty());
}

TEST(ParseV5Results, MissingAgentAddressShowsZeros)
{
    tagSfReadout readout = ParseV5Results({"sFlowVersion.0=STRING: 1.3;x;y"});
    EXPECT_EQ(readout.info.addressText, "0.0.0.0");
    EXPECT_TRUE(readout.receivers.empty());
}

TEST(ParseV5Results, LaterLinesReplaceEarlierCells)
{
    tagSfReadout readout = ParseV5Results(
        {"sFlowRcvrOwner.1=STRING: \"a\"", "sFlowRcvrOwner.1=STRING: \"b\"", "sFlowRcvrPort.1=INTEGER: 1",
         "sFlowRcvrPort.1=INTEGER: 2"});
    ASSERT_EQ(readout.receivers.size(), 1u);
    EXPECT_EQ(readout.receivers[0].owner, "b");
    EXPECT_EQ(readout.receivers[0].port, "2");
}

const std::string kV4Idx = "11.1.3.6.1.2.1.2.2.1.1.3";

TEST(ParseV4Results, BuildsElevenColumnRows)
{
    std::vector<std::string> walk = {
        "sFlowVersionV4.0=STRING: 1.2;InMon;0.9",
        "sFlowAgentAddressTypeV4.0=INTEGER: ipv4(1)",
        "sFlowAgentAddressV4.0=Hex-STRING: C0 A8 01 0B",
        "sFlowDataSource." + kV4Idx + "=ifIndex.3",
        "sFlowOwner." + kV4Idx + "=STRING: \"v4owner\"",
        "sFlowTimeout." + kV4Idx + "=INTEGER: 7200",
        "sFlowPacketSamplingRate." + kV4Idx + "=INTEGER: 512",
        "sFlowCounterSamplingInterval." + kV4Idx + "=INTEGER: 20",
        "sFlowMaximumHeaderSize." + kV4Idx + "=INTEGER: 128",
        "sFlowMaximumDatagramSize." + kV4Idx + "=INTEGER: 1400",
        "sFlowCollectorAddressType." + kV4Idx + "=INTEGER: ipv4(1)",
        "sFlowCollectorAddress." + kV4Idx + "=Hex-STRING: C0 A8 01 0A",
        "sFlowCollectorPort." + kV4Idx + "=INTEGER: 6343",
        "sFlowDatagramVersion." + kV4Idx + "=INTEGER: 4",
        "sFlowDataSource." + kV4Idx + "=ifIndex.99",
    };
    tagSfReadout readout = ParseV4Results(walk);
    EXPECT_EQ(readout.info.mibGeneration, 4);
    EXPECT_EQ(readout.info.versionText, "1.2;InMon;0.9");
    EXPECT_EQ(readout.info.addressText, "192.168.1.11");
    EXPECT_TRUE(readout.receivers.empty());
    ASSERT_EQ(readout.v4Ports.size(), 1u);
    // The first data source of an index stays.
    EXPECT_EQ(CellsOf(readout.v4Ports[0]), (Cells{"ifIndex.3", "v4owner", "7200", "512", "20", "128", "1400",
                                                  "192.168.1.10", "6343", "4", kV4Idx}));
}

TEST(ParseResults, AnyLinesAreAccepted)
{
    std::vector<std::string> junk = {"=", ".", "a.", "=.=", std::string(5000, 'x') + ".1=" + std::string(5000, '"'),
                                     "sFlowRcvrOwner.=STRING: \"x\"", "sFlowFsReceiver.=INTEGER: 1"};
    tagSfReadout v5 = ParseV5Results(junk);
    tagSfReadout v4 = ParseV4Results(junk);
    EXPECT_EQ(v5.info.mibGeneration, 5);
    EXPECT_EQ(v4.info.mibGeneration, 4);
    EXPECT_TRUE(v5.v5Ports.empty());
}

}  // namespace
}  // namespace ortolan
