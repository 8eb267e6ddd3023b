// SPDX-License-Identifier: GPL-3.0-or-later
// The lists of the headless report: the bytes the window's CSV button writes.
#include <gtest/gtest.h>

#include "list_report.h"
#include "nflow_mon.h"
#include "sflow_mon.h"
#include "port_fixtures.h"

namespace ortolan {
namespace {

using testing::AddIp;
using testing::AddStat;
using testing::kT0;

class ListReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CMonPort& a = *sflow.AddPort("10.0.0.1", 0);
        AddStat(a, a.ipProtocols, "UDP", 1, 100);
        AddStat(a, a.ipProtocols, "TCP", 2, 900);
        CMonPort& b = *nflow.AddPort("192.0.2.1", 0);
        AddStat(b, b.ipProtocols, "ICMP", 1, 64);
        AddIp(b, "10.1.1.1", 3, 300);
        keyA = sflow.ports.begin()->first;
        keyB = nflow.ports.begin()->first;
    }

    CSFlowMon sflow;
    CNFlowMon nflow;
    std::string keyA, keyB;
};

TEST_F(ListReportTest, OnePortSortedAsTheWindowOpens)
{
    tagListReport r = FormatListReport("5", keyA, sflow, nflow, kT0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.text,
              "\"IPプロトコル一覧\"\n"
              "\"IPプロトコル   　\",\"パケット      \",\"バイト        \"\n"
              "\"TCP\",\"2(ABS)\",\"900B\"\n"
              "\"UDP\",\"1(ABS)\",\"100B\"\n");
}

TEST_F(ListReportTest, EveryPortOneAfterAnotherAndEmptyListsWriteNothing)
{
    tagListReport r = FormatListReport("5", std::nullopt, sflow, nflow, kT0);
    ASSERT_TRUE(r.ok);
    // Two complete lists: the sFlow port's, then the NetFlow port's.
    const std::string title = "\"IPプロトコル一覧\"\n";
    const size_t second = r.text.find(title, 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(r.text.find(title), 0u);
    EXPECT_LT(r.text.find("\"TCP\""), second);
    EXPECT_GT(r.text.find("\"ICMP\""), second);
    EXPECT_EQ(r.text.find(title, second + 1), std::string::npos);
    tagListReport macs = FormatListReport("0", keyB, sflow, nflow, kT0);
    ASSERT_TRUE(macs.ok);
    EXPECT_EQ(macs.text, "");
}

TEST_F(ListReportTest, LocalNodesOfBothCollectors)
{
    tagListReport r = FormatListReport("local", std::nullopt, sflow, nflow, kT0);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text.substr(0, r.text.find('\n')), "\"ローカルノード一覧\"");
    EXPECT_NE(r.text.find("\"NetFlow:192.0.2.1\"\n"), std::string::npos);
}

TEST_F(ListReportTest, UnknownKindOrPortIsAnError)
{
    EXPECT_FALSE(IsListReportKind("13"));
    EXPECT_TRUE(IsListReportKind("local"));
    tagListReport bad = FormatListReport("13", std::nullopt, sflow, nflow, kT0);
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.error.find("13"), std::string::npos);
    tagListReport noPort = FormatListReport("1", std::string("sFlow V5:10.9.9.9:0"), sflow, nflow, kT0);
    EXPECT_FALSE(noPort.ok);
    EXPECT_NE(noPort.error.find("sFlow V5:10.9.9.9:0"), std::string::npos);
    EXPECT_FALSE(FormatListReport("local", keyA, sflow, nflow, kT0).ok);
}

}  // namespace
}  // namespace ortolan
