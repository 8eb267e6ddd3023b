// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "counter_sample.h"
#include "local_dates.h"
#include "mon_port.h"
#include "port_texts.h"

namespace ortolan {
namespace {

int64_t LocalTimeAt(int day, int hour, int minute) { return testing::LocalTimeOf(2026, 3, day, hour, minute); }

TEST(Estimates, PacketsScaleByTheInterfaceTotalsWithAnErrorBound)
{
    CMonPort port("10.0.0.1", 0);
    EXPECT_EQ(EstimatedPacketsText(port, 12), "12(ABS)");
    port.sampleCount = 1000;
    port.interfaces.AddCounterSample(testing::CounterSample(1, LocalTimeAt(4, 9, 0), 1, 0, 50000));
    EXPECT_EQ(EstimatedPacketsText(port, 100), "5000(±19.6%)");
}

TEST(Estimates, BytesStepByThousands)
{
    CMonPort port("10.0.0.1", 0);
    EXPECT_EQ(EstimatedBytesText(port, 999), "999B");
    EXPECT_EQ(EstimatedBytesText(port, 1500), "1.500KB");
    EXPECT_EQ(EstimatedBytesText(port, 2500000), "2.500MB");
    EXPECT_EQ(EstimatedBytesText(port, 7000000000), "7.000GB");
    EXPECT_EQ(EstimatedBytesText(port, 3000000000000), "3.000TB");
    port.sampledBytes = 1000;
    port.interfaces.AddCounterSample(testing::CounterSample(1, LocalTimeAt(4, 9, 0), 1, 4000000, 0));
    EXPECT_EQ(EstimatedBytesText(port, 250), "1.000MB");
}

TEST(ServiceList, ConfirmedLabelHidesThePresumedOneWithoutDroppingIt)
{
    CMonPort port("10.0.0.1", 0);
    CLabelList services;
    for (const char* label : {"ftp/tcp?", "ftp/tcp", "domain/udp?"}) port.AddService(services, label);
    EXPECT_EQ(ServiceList(port, services), "domain/udp?,ftp/tcp");
    // The statistics keep the presumed label: a second list and every other
    // reader still see it.
    EXPECT_EQ(ServiceList(port, services), "domain/udp?,ftp/tcp");
    EXPECT_EQ(ServiceTexts(port, services), (std::vector<std::string>{"domain/udp?", "ftp/tcp", "ftp/tcp?"}));
    EXPECT_EQ(services.size(), 3u);
    // The same within the room held in the entry and past it.
    CLabelList two;
    for (const char* label : {"ftp/tcp?", "ftp/tcp"}) port.AddService(two, label);
    EXPECT_EQ(ServiceList(port, two), "ftp/tcp");
    port.AddService(two, "ntp/udp");
    port.AddService(two, "ntp/udp");
    EXPECT_EQ(ServiceList(port, two), "ftp/tcp,ntp/udp");
    CLabelList many;
    for (const char* label : {"ssh/tcp?", "http/tcp?", "ssh/tcp", "http/tcp", "ntp/udp?", "ssh/tcp", "dns/udp"})
        port.AddService(many, label);
    EXPECT_EQ(ServiceList(port, many), "dns/udp,http/tcp,ntp/udp?,ssh/tcp");
    EXPECT_EQ(ServiceTexts(port, many),
              (std::vector<std::string>{"dns/udp", "http/tcp", "http/tcp?", "ntp/udp?", "ssh/tcp", "ssh/tcp?"}));
}

TEST(NodeLists, MacsOfAnIpAndIpsOfAMac)
{
    CMonPort port("10.0.0.1", 0);
    auto* a = port.FindOrAddIp("10.0.0.2", 1);
    auto* b = port.FindOrAddIp("10.0.0.3", 1);
    port.AddMacToIp(*a, "00:00:00:00:00:01");
    port.AddMacToIp(*a, "00:00:00:00:00:02");
    port.AddMacToIp(*b, "00:00:00:00:00:01");
    // Byte-wise order of the texts, however the nodes came in.
    for (const char* address : {"10.0.0.9", "10.0.0.10", "10.0.0.100"})
        port.AddMacToIp(*port.FindOrAddIp(address, 1), "00:00:00:00:00:01");
    EXPECT_EQ(MacListForIp(port, "10.0.0.2"), "00:00:00:00:00:01,00:00:00:00:00:02");
    EXPECT_EQ(MacListForIp(port, "10.9.9.9"), "");
    EXPECT_EQ(IpListForMac(port, "00:00:00:00:00:01"), "10.0.0.10,10.0.0.100,10.0.0.2,10.0.0.3,10.0.0.9");
    EXPECT_EQ(IpListForMac(port, "00:00:00:00:00:02"), "10.0.0.2");
    // A list that outgrows the room held in the entry, then its first block,
    // keeps every MAC once and in order whatever order they came in.
    auto* c = port.FindOrAddIp("10.0.0.4", 1);
    for (const char* mac : {"00:00:00:00:00:09", "00:00:00:00:00:03", "00:00:00:00:00:09", "00:00:00:00:00:07",
                            "00:00:00:00:00:01", "0A:00:00:00:00:00", "00:00:00:00:00:05", "00:00:00:00:00:03"})
        port.AddMacToIp(*c, mac);
    EXPECT_EQ(MacListForIp(port, "10.0.0.4"),
              "00:00:00:00:00:01,00:00:00:00:00:03,00:00:00:00:00:05,00:00:00:00:00:07,00:00:00:00:00:09,"
              "0A:00:00:00:00:00");
    EXPECT_EQ(IpListForMac(port, "00:00:00:00:00:07"), "10.0.0.4");
}

}  // namespace
}  // namespace ortolan
