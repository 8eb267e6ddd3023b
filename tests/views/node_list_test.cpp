// The local node list: which nodes count as local, their images, the rows
// gathered from both collectors, and the window's own sort flag.
#include <gtest/gtest.h>

#include <QTableView>

#include "list_model.h"
#include "nflow_mon.h"
#include "node_list_dlg.h"
#include "node_list_rows.h"
#include "scripted_dialog_seam.h"
#include "sflow_mon.h"
#include "view_sort_state.h"
#include "views_app.h"
#include "views_fixtures.h"

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
        testing::TestApp();
        ASSERT_TRUE(names.LoadOuiTable(testing::WriteOuiFile(dir, "00-11-22   (hex)\t\tAcme Networks\n")));
        CMonPort& s = *sflow.AddPort("10.0.0.254", 0);
        tagIpEntry& a = AddIp(s, "192.168.1.5", 7, 7000, kT0 - 40 * 3600, kT0 - 3600);
        s.AddMacToIp(a, "00:AA:BB:CC:DD:EE");
        s.AddMacToIp(a, "00:11:22:33:44:55");
        s.AddService(a.services, "http/tcp");
        s.hostNames[*CIpAddress::Parse("192.168.1.5")] = "printer";
        AddIp(s, "10.0.0.1", 2, 120, kT0 - 3600, kT0);
        AddIp(s, "10.0.0.2", 0, 0);           // only ever received
        AddIp(s, "8.8.8.8", 5, 500);          // not local
        CMonPort& n = *nflow.AddPort("192.0.2.1", 0);
        AddIp(n, "172.16.0.9", 12, 1200, kT0 - 40 * 3600, kT0 - 30 * 3600);
    }

    QTemporaryDir dir;
    CNameTables names;
    CSFlowMon sflow{names};
    CNFlowMon nflow{names};
    tagViewSortState sortState;
    testing::ScriptedDialogSeam dialogs;
};

TEST_F(NodeListTest, RowsFromBothCollectorsLastVisitedFirst)
{
    tagListTable t = BuildLocalNodeRows(sflow, nflow, kT0);
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
    s.AddCounterSample(c);
    AddIp(s, "10.9.9.9", 100, 10);
    tagListTable t = BuildLocalNodeRows(sflow, nflow, kT0);
    auto it = std::find_if(t.rows.begin(), t.rows.end(), [](const auto& r) { return r.cells[0] == "10.9.9.9"; });
    ASSERT_NE(it, t.rows.end());
    EXPECT_EQ(s.EstimatedPacketsText(100), "5000(±19.6%)");
    EXPECT_EQ(it->cells[3], "5000");
}

TEST_F(NodeListTest, WindowSortsWithItsOwnFlagAndWritesLocalNodeCsv)
{
    CNodeListDlg dlg(sflow, nflow, sortState, dialogs, nullptr, [] { return kT0; });
    EXPECT_EQ(dlg.windowTitle(), "ローカルノード一覧");
    ASSERT_EQ(dlg.model()->rowCount(), 3);
    EXPECT_EQ(dlg.model()->index(0, 0).data().toString(), "172.16.0.9");
    dlg.SortByHeader(0);
    EXPECT_FALSE(sortState.nodeSortDescending);
    EXPECT_TRUE(sortState.sortDescending);  // the statistics lists keep theirs
    EXPECT_EQ(dlg.model()->index(0, 0).data().toString(), "10.0.0.1");
    dlg.SortByHeader(11);  // by agent text, descending: 192.0.2.1 before 10.0.0.254
    EXPECT_EQ(dlg.model()->index(0, 0).data().toString(), "172.16.0.9");
    EXPECT_TRUE(testing::Snapshot(dlg, "local_nodes"));

    QTemporaryDir out;
    dialogs.saveAnswers.push_back(out.filePath("nodes.csv"));
    dlg.ExportCsv();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "LOCALNODE.csv");
    const std::string csv = testing::ReadFile(out.filePath("nodes.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n', csv.find('\n') + 1) + 1),
              "\"ローカルノード一覧\"\n\"IPアドレス\",\"MACアドレス　\",\"ホスト名\",\"送信パケット   \",\"送信バイト     \","
              "\"受信パケット　 \",\"受信バイト     \",\"初回検出日時\",\"最終検出日時\",\"NICメーカー \",\"サーバ機能\","
              "\"エージェント\"\n");
    EXPECT_NE(csv.find("\"172.16.0.9\",\"\",\"\",\"12\",\"1.200KB\",\"0\",\"0B\",\"11/13 15:13:20\",\"11/14 01:13:20\","
                       "\"\",\"\",\"NetFlow:192.0.2.1\"\n"),
              std::string::npos)
        << csv;
}

TEST_F(NodeListTest, NoLocalNodesMeansNoCsv)
{
    CSFlowMon emptyS;
    CNFlowMon emptyN;
    CNodeListDlg dlg(emptyS, emptyN, sortState, dialogs);
    EXPECT_EQ(dlg.model()->rowCount(), 0);
    dlg.ExportCsv();
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

}  // namespace
}  // namespace ortolan
