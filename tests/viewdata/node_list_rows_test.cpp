// SPDX-License-Identifier: GPL-3.0-or-later
// The local node list's rows: which nodes count as local, their images, and
// the rows gathered from both collectors.
#include <gtest/gtest.h>

#include <algorithm>

#include "fixed_host_names.h"
#include "nflow_mon.h"
#include "node_list_rows.h"
#include "port_fixtures.h"
#include "port_texts.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using testing::AddIp;
using testing::kT0;

TEST(LocalAddress, PrivateRangesOnly)
{
    for (const char* a : {"10.0.0.1", "192.168.1.5", "172.16.0.1", "172.31.255.254", "fd00::1", "fc00::",
                          "fdff:ffff::1", "fe80::1", "febf:ffff::1"})
        EXPECT_TRUE(IsLocalAddress(*CIpAddress::Parse(a))) << a;
    for (const char* a : {"172.15.0.1", "172.32.0.1", "172.160.0.1", "11.0.0.1", "192.169.0.1", "fbff::1",
                          "fe00::1", "fec0::1", "2001:db8::1", "::1", "::ffff:10.0.0.1", "ff02::1"})
        EXPECT_FALSE(IsLocalAddress(*CIpAddress::Parse(a))) << a;
}

TEST(LocalNodeImage, SilentForADayWinsOverNew)
{
    const int64_t now = kT0;
    tagIpEntry node;
    node.firstSeen = now - 10 * 3600;
    node.lastSeen = now;
    EXPECT_EQ(NodeImage(node, now), 2);
    node.lastSeen = now - 30 * 3600;
    EXPECT_EQ(NodeImage(node, now), 1);
    node.firstSeen = now - 40 * 3600;
    node.lastSeen = now - 3600;
    EXPECT_EQ(NodeImage(node, now), 0);
}

class NodeListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        ASSERT_TRUE(names.LoadOuiTable(testing::WriteOuiFile(dir.path(), "00-11-22   (hex)\t\tAcme Networks\n")));
        testing::AddLocalNodes(sflow, nflow);
        hostNames.Set(*sflow.ports.begin()->second, "192.168.1.5", "printer");
    }

    testing::CScratchFolder dir;
    CNameTables names;
    CSFlowMon sflow{names};
    CNFlowMon nflow{names};
    testing::CFixedHostNames hostNames;
};

TEST_F(NodeListTest, RowsFromBothCollectorsLastVisitedFirst)
{
    tagListTable t = BuildLocalNodeRows(sflow, nflow, kT0, &hostNames);
    ASSERT_EQ(t.columns.size(), 12u);
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0].cells[0], "172.16.0.9");
    EXPECT_EQ(t.rows[0].cells[1], "");
    EXPECT_EQ(t.rows[0].cells[3], "12");
    EXPECT_EQ(t.rows[0].cells[11], "NetFlow:192.0.2.1");
    EXPECT_EQ(t.rows[0].image, 1);
    EXPECT_EQ(t.rows[1].cells[0], "192.168.1.5");
    EXPECT_EQ(t.rows[1].cells[1], "00:11:22:33:44:55,00:AA:BB:CC:DD:EE");
    EXPECT_EQ(t.rows[1].cells[2], "printer");
    EXPECT_EQ(t.rows[1].cells[9], "Acme Networks");
    EXPECT_EQ(t.rows[1].cells[10], "http/tcp");
    EXPECT_EQ(t.rows[1].cells[11], "sFlow:10.0.0.254");
    EXPECT_EQ(t.rows[1].image, 0);
    EXPECT_EQ(t.rows[2].cells[0], "10.0.0.1");
    EXPECT_EQ(t.rows[2].image, 2);
}

TEST_F(NodeListTest, EstimatesLoseTheirErrorBound)
{
    CMonPort& s = *sflow.ports.begin()->second;
    s.sampleCount = 1000;
    _tagIf_counters c;
    c.ifIndex = 1;
    c.ifInUcastPkts = 50000;
    c.sampleTime = kT0;
    s.interfaces.AddCounterSample(c);
    AddIp(s, "10.9.9.9", 100, 10);
    tagListTable t = BuildLocalNodeRows(sflow, nflow, kT0);
    auto it = std::find_if(t.rows.begin(), t.rows.end(), [](const auto& r) { return r.cells[0] == "10.9.9.9"; });
    ASSERT_NE(it, t.rows.end());
    EXPECT_EQ(EstimatedPacketsText(s, 100), "5000(±19.6%)");
    EXPECT_EQ(it->cells[3], "5000");
}

}  // namespace
}  // namespace ortolan
