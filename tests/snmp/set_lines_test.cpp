// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "sf_set_lines.h"

namespace ortolan {
namespace {

TEST(PeriodConversion, NormalizesToTheLargestWholeUnit)
{
    auto check = [](int seconds, int value, int unit) {
        tagPeriod period = NormalizePeriod(seconds);
        EXPECT_EQ(period.value, value) << seconds;
        EXPECT_EQ(period.unitIndex, unit) << seconds;
    };
    check(0, 0, 0);
    check(90, 90, 0);
    check(120, 2, 1);
    check(7200, 2, 2);
    check(86400, 1, 3);
    check(2592000, 1, 4);
    check(31536000, 1, 5);
    check(2 * 31536000, 2, 5);
    check(5184000, 2, 4);
    check(-60, -60, 0);
}

TEST(PeriodConversion, SecondsOfEveryUnit)
{
    EXPECT_EQ(PeriodSeconds(90, 0), 90);
    EXPECT_EQ(PeriodSeconds(2, 1), 120);
    EXPECT_EQ(PeriodSeconds(2, 2), 7200);
    EXPECT_EQ(PeriodSeconds(1, 3), 86400);
    EXPECT_EQ(PeriodSeconds(1, 4), 2592000);
    EXPECT_EQ(PeriodSeconds(1, 5), 31536000);
    EXPECT_EQ(PeriodSeconds(0, 5), 0);
}

TEST(PeriodConversion, RoundTripsEveryNormalizedValue)
{
    for (int seconds : {0, 1, 59, 60, 3600, 86399, 86400, 2592000, 31536000, 63072000, 2147483647}) {
        tagPeriod period = NormalizePeriod(seconds);
        EXPECT_EQ(PeriodSeconds(period.value, period.unitIndex), seconds);
    }
}

TEST(PeriodConversion, RefusesNegativeAndOversizedPeriods)
{
    EXPECT_FALSE(PeriodSeconds(-1, 0).has_value());
    EXPECT_FALSE(PeriodSeconds(69, 5).has_value());  // 69 years is beyond 2^31 - 1 seconds
    EXPECT_TRUE(PeriodSeconds(68, 5).has_value());
    EXPECT_FALSE(PeriodSeconds(2147483647, 1).has_value());
    EXPECT_FALSE(PeriodSeconds(1, 6).has_value());
    EXPECT_FALSE(PeriodSeconds(1, -1).has_value());
}

TEST(DatagramVersion, MapsCellsAndIndexes)
{
    EXPECT_EQ(DatagramVersionIndexOf("2"), 0);
    EXPECT_EQ(DatagramVersionIndexOf("4"), 1);
    EXPECT_EQ(DatagramVersionIndexOf("5"), 2);
    EXPECT_EQ(DatagramVersionIndexOf(""), 2);
    EXPECT_EQ(DatagramVersionIndexOf("3"), 2);
    EXPECT_EQ(DatagramVersionOfIndex(0), 2);
    EXPECT_EQ(DatagramVersionOfIndex(1), 4);
    EXPECT_EQ(DatagramVersionOfIndex(2), 5);
}

const std::string kIdx = "11.1.3.6.1.2.1.2.2.1.1.5.1";

TEST(SetLines, V5DataSourceUsesOneCollectorForSamplerAndPoller)
{
    tagSfV5PortRow row{"ifIndex.5", "1", "", "", "", "2", "30", kIdx};
    tagSfV5PortEntry entry = StartValuesOf(row);
    EXPECT_EQ(entry.collector, 0);  // from the flow receiver cell; the counter receiver is not read
    EXPECT_EQ(entry.counterInterval, 30);
    entry.collector = 3;
    entry.samplingRate = 512;
    entry.headerSize = 128;
    EXPECT_EQ(BuildV5PortSetLines(entry, kIdx),
              "sFlowFsReceiver." + kIdx + "=3\n"
              "sFlowFsPacketSamplingRate." + kIdx + "=512\n"
              "sFlowFsMaximumHeaderSize." + kIdx + "=128\n"
              "sFlowCpReceiver." + kIdx + "=3\n"
              "sFlowCpInterval." + kIdx + "=30\n");
}

TEST(SetLines, ReceiverLinesByteForByte)
{
    tagSfV5RcvrRow row{"1", "ortolan", "86400", "1400", "192.168.1.10", "6343", "4"};
    tagSfV5RcvrEntry entry = StartValuesOf(row);
    EXPECT_EQ(entry.period.value, 1);
    EXPECT_EQ(entry.period.unitIndex, 3);  // 1 日
    EXPECT_EQ(entry.collectorAddress, 0xC0A8010Au);
    EXPECT_EQ(entry.datagramVersionIndex, 1);
    EXPECT_EQ(BuildV5RcvrSetLines(entry, entry.collectorNumber),
              "sFlowRcvrOwner.1=ortolan\n"
              "sFlowRcvrTimeout.1=86400\n"
              "sFlowRcvrMaximumDatagramSize.1=1400\n"
              "sFlowRcvrAddressType.1=1\n"
              "sFlowRcvrAddress.1:x=C0A8010A\n"
              "sFlowRcvrPort.1=6343\n"
              "sFlowRcvrDatagramVersion.1=4\n");
}

TEST(SetLines, ReceiverWithEmptyOwnerAndEachDatagramVersion)
{
    tagSfV5RcvrEntry entry;
    entry.collectorNumber = "2";
    entry.collectorAddress = 0x0A000001;
    for (int index : {0, 1, 2}) {
        entry.datagramVersionIndex = index;
        std::optional<std::string> lines = BuildV5RcvrSetLines(entry, "2");
        ASSERT_TRUE(lines.has_value());
        EXPECT_NE(lines->find("sFlowRcvrOwner.2=\n"), std::string::npos);
        EXPECT_NE(lines->find("sFlowRcvrAddress.2:x=0A000001\n"), std::string::npos);
        std::string version = "sFlowRcvrDatagramVersion.2=" + std::to_string(DatagramVersionOfIndex(index)) + "\n";
        EXPECT_NE(lines->find(version), std::string::npos) << index;
    }
}

TEST(SetLines, OlderMibRowByteForByte)
{
    const std::string idx = "11.1.3.6.1.2.1.2.2.1.1.3";
    tagSfV4PortRow row{"ifIndex.3", "v4 owner", "7200", "512", "20", "128", "1400", "192.168.1.10", "6343", "2", idx};
    tagSfV4Entry entry = StartValuesOf(row);
    EXPECT_EQ(entry.period.value, 2);
    EXPECT_EQ(entry.period.unitIndex, 2);
    EXPECT_EQ(BuildV4SetLines(entry, idx),
              "sFlowOwner." + idx + "=v4 owner\n"
              "sFlowTimeout." + idx + "=7200\n"
              "sFlowPacketSamplingRate." + idx + "=512\n"
              "sFlowCounterSamplingInterval." + idx + "=20\n"
              "sFlowMaximumHeaderSize." + idx + "=128\n"
              "sFlowMaximumDatagramSize." + idx + "=1400\n"
              "sFlowCollectorAddressType." + idx + "=1\n"
              "sFlowCollectorAddress." + idx + ":x=C0A8010A\n"
              "sFlowCollectorPort." + idx + "=6343\n"
              "sFlowDatagramVersion." + idx + "=2\n");
}

TEST(SetLines, RefusedPeriodSendsNothing)
{
    tagSfV4Entry v4;
    v4.period = {-5, 0};
    EXPECT_FALSE(BuildV4SetLines(v4, "1").has_value());
    tagSfV5RcvrEntry v5;
    v5.period = {100, 5};
    EXPECT_FALSE(BuildV5RcvrSetLines(v5, "1").has_value());
}

TEST(SetLines, LineBreaksInAnOwnerCannotStartANewLine)
{
    tagSfV5RcvrEntry entry;
    entry.owner = "a\nsFlowRcvrPort.1=1\tb";
    std::optional<std::string> lines = BuildV5RcvrSetLines(entry, "1");
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->substr(0, lines->find('\n') + 1), "sFlowRcvrOwner.1=a sFlowRcvrPort.1=1 b\n");
}

TEST(SetLines, EmptyOrOddCellsStartAtZero)
{
    tagSfV5RcvrEntry entry = StartValuesOf(tagSfV5RcvrRow{"9", "", "", "", "not an address", "", ""});
    EXPECT_EQ(entry.period.value, 0);
    EXPECT_EQ(entry.period.unitIndex, 0);
    EXPECT_EQ(entry.packetSize, 0);
    EXPECT_EQ(entry.collectorAddress, 0u);
    EXPECT_EQ(entry.datagramVersionIndex, 2);
}

}  // namespace
}  // namespace ortolan
