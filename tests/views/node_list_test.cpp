// SPDX-License-Identifier: GPL-3.0-or-later
// The local node list window: its own sort flag and its CSV.
#include <gtest/gtest.h>

#include <QTableView>

#include "list_model.h"
#include "nflow_mon.h"
#include "node_list_dlg.h"
#include "scripted_dialog_seam.h"
#include "sflow_mon.h"
#include "view_sort_state.h"
#include "views_app.h"
#include "views_fixtures.h"

namespace ortolan {
namespace {

using testing::kT0;

class NodeListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::TestApp();
        ASSERT_TRUE(names.LoadOuiTable(testing::WriteOuiFile(dir, "00-11-22   (hex)\t\tAcme Networks\n")));
        testing::AddLocalNodes(sflow, nflow);
    }

    QTemporaryDir dir;
    CNameTables names;
    CSFlowMon sflow{names};
    CNFlowMon nflow{names};
    tagViewSortState sortState;
    testing::ScriptedDialogSeam dialogs;
};

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
