// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics list window: opening order, the program-wide sort flag, the
// details button and the CSV it writes.
#include <gtest/gtest.h>

#include <algorithm>

#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "chart_ctrl.h"
#include "list_dlg.h"
#include "list_model.h"
#include "scripted_dialog_seam.h"
#include "view_sort_state.h"
#include "views_app.h"
#include "views_fixtures.h"

namespace ortolan {
namespace {

using testing::AddStat;
using testing::ReadFile;
using testing::ScriptedDialogSeam;

// +1 when the header's sort arrow points up, -1 when down, 0 when none shows:
// the arrow is what the header draws with its indicator and not without it.
int ArrowDirection(QHeaderView* header, int section)
{
    const QImage with = header->grab().toImage();
    header->setSortIndicatorShown(false);
    const QImage without = header->grab().toImage();
    header->setSortIndicatorShown(true);
    const int right = header->sectionViewportPosition(section) + header->sectionSize(section);
    int topWidth = 0;
    int bottomWidth = 0;
    for (int y = 0; y < std::min(with.height(), without.height()); ++y) {
        int width = 0;
        for (int x = std::max(0, right - 24); x < std::min(right, with.width()); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) ++width;
        if (width == 0) continue;
        if (topWidth == 0) topWidth = width;
        bottomWidth = width;
    }
    if (topWidth == bottomWidth) return 0;
    return topWidth < bottomWidth ? 1 : -1;
}

class ListDlgTest : public ::testing::Test {
protected:
    void SetUp() override { testing::TestApp(); }

    std::vector<std::string> Names(const CListDlg& dlg)
    {
        std::vector<std::string> out;
        for (int r = 0; r < dlg.model()->rowCount(); ++r)
            out.push_back(dlg.model()->index(r, 0).data().toString().toStdString());
        return out;
    }

    CMonPort port{"10.0.0.254", 0};
    COuiTable oui;
    tagViewSortState sortState;
    ScriptedDialogSeam dialogs;
};

TEST_F(ListDlgTest, SortFlagIsSharedByEveryListWindow)
{
    AddStat(port, port.ipProtocols, "TCP", 5, 500);
    AddStat(port, port.ipProtocols, "UDP", 9, 100);
    AddStat(port, port.ipProtocols, "ICMP", 1, 300);
    {
        CListDlg dlg(port, 5, oui, sortState, dialogs);
        EXPECT_EQ(dlg.windowTitle(), "IPプロトコル一覧");
        // Opens by column 2 (bytes), largest first.
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"TCP", "ICMP", "UDP"}));
        dlg.view()->horizontalHeader()->sectionClicked(1);
        EXPECT_FALSE(sortState.sortDescending);
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"ICMP", "TCP", "UDP"}));
        // The arrow points up over the smallest-first rows, down over the largest-first.
        EXPECT_EQ(ArrowDirection(dlg.view()->horizontalHeader(), 1), 1);
        dlg.SortByHeader(1);
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"UDP", "TCP", "ICMP"}));
        EXPECT_EQ(ArrowDirection(dlg.view()->horizontalHeader(), 1), -1);
        // Counts line up on their right edge, names on their left.
        QAbstractItemModel* model = dlg.view()->model();
        EXPECT_TRUE(model->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
        EXPECT_TRUE(model->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
        EXPECT_TRUE(model->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
        dlg.SortByHeader(0);
        EXPECT_EQ(Names(dlg), (std::vector<std::string>{"ICMP", "TCP", "UDP"}));
    }
    // The last click left the lists ascending: a later window of any kind opens so.
    CListDlg later(port, 5, oui, sortState, dialogs);
    EXPECT_EQ(Names(later), (std::vector<std::string>{"UDP", "ICMP", "TCP"}));
    EXPECT_TRUE(testing::Snapshot(later, "list_kind5"));
}

TEST_F(ListDlgTest, SizeClassesOpenUnsortedInClassOrder)
{
    port.CountFrameSize(1514);
    port.CountFrameSize(1514);
    port.CountFrameSize(60);
    CListDlg dlg(port, 10, oui, sortState, dialogs);
    EXPECT_EQ(Names(dlg).front(), "63以下");
    EXPECT_EQ(Names(dlg).back(), "1514以上");
    EXPECT_EQ(dlg.chart()->GetChartType(), CChartModel::kChartClasses);
    EXPECT_TRUE(testing::Snapshot(dlg, "list_kind10"));
}

TEST_F(ListDlgTest, EmptyTableShowsHeaderOnlyAndExportsNothing)
{
    CListDlg dlg(port, 1, oui, sortState, dialogs);
    EXPECT_EQ(dlg.model()->rowCount(), 0);
    EXPECT_EQ(dlg.chart()->GetCount(), 0);
    EXPECT_EQ(dlg.chart()->GetHeaderText(), "送信数トップ５ IPノード");
    dlg.ExportCsv();
    EXPECT_TRUE(dialogs.saveRequests.empty());
}

TEST_F(ListDlgTest, CsvHoldsTitleHeadersAndRowsAsShown)
{
    AddStat(port, port.ethernetTypes, "IPv4", 3, 2000);
    AddStat(port, port.ethernetTypes, "ARP", 1, 60);
    QTemporaryDir dir;
    const QString path = dir.filePath("eth.csv");
    dialogs.saveAnswers.push_back(path);
    CListDlg dlg(port, 4, oui, sortState, dialogs);
    dlg.ExportCsv();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "Eth.プロトコル一覧.csv");
    EXPECT_EQ(dialogs.saveRequests[0].filter, "CSV File (*.csv)|*.csv||");
    EXPECT_EQ(ReadFile(path),
              "\"Eth.プロトコル一覧\"\n"
              "\"Eth.プロトコル   　\",\"パケット      \",\"バイト        \"\n"
              "\"IPv4\",\"3(ABS)\",\"2.000KB\"\n"
              "\"ARP\",\"1(ABS)\",\"60B\"\n");

    // Scaled (every record of the port at 1 in 100), the CSV writes what the
    // list then shows: the counts times the rate.
    port.NoteSamplingRate(100, 0, 0);
    const QString scaledPath = dir.filePath("scaled.csv");
    dialogs.saveAnswers.push_back(scaledPath);
    CListDlg scaled(port, 4, oui, sortState, dialogs, nullptr, nullptr, nullptr, nullptr, true);
    scaled.ExportCsv();
    EXPECT_EQ(ReadFile(scaledPath),
              "\"Eth.プロトコル一覧\"\n"
              "\"Eth.プロトコル   　\",\"パケット      \",\"バイト        \"\n"
              "\"IPv4\",\"300\",\"200000\"\n"
              "\"ARP\",\"100\",\"6000\"\n");
}

TEST_F(ListDlgTest, DetailsNeedAnInterfaceWithHistory)
{
    _tagIf_counters c;
    c.ifIndex = 1;
    c.sampleTime = testing::kT0;
    port.interfaces.AddCounterSample(c);
    c.ifIndex = 2;
    port.interfaces.AddCounterSample(c);
    c.sampleTime += 3600;
    c.ifInUcastPkts = 50;
    c.ifInOctets = 5000;
    port.interfaces.AddCounterSample(c);  // interface 2 now has two hours
    {
        CListDlg other(port, 4, oui, sortState, dialogs);
        EXPECT_TRUE(other.detailsButton()->isHidden());
    }
    CListDlg dlg(port, 11, oui, sortState, dialogs);
    std::vector<uint32_t> opened;
    dlg.SetDetailOpener([&](const tagIfCounter& ifc) { opened.push_back(ifc.current.ifIndex); });
    EXPECT_FALSE(dlg.detailsButton()->isHidden());
    EXPECT_FALSE(dlg.detailsButton()->isEnabled());
    ASSERT_EQ(Names(dlg), (std::vector<std::string>{"2", "1"}));  // by octets, descending
    dlg.view()->selectRow(1);
    EXPECT_FALSE(dlg.detailsButton()->isEnabled());
    dlg.view()->selectRow(0);
    EXPECT_TRUE(dlg.detailsButton()->isEnabled());
    dlg.detailsButton()->click();
    EXPECT_EQ(opened, std::vector<uint32_t>{2});
    // The selection follows its row through a sort.
    dlg.SortByHeader(0);
    EXPECT_EQ(dlg.view()->selectionModel()->selectedRows().front().row(), 1);
    EXPECT_TRUE(dlg.detailsButton()->isEnabled());
}

TEST_F(ListDlgTest, ChartButtonsAskWithTheChartTexts)
{
    AddStat(port, port.udpServices, "domain", 3, 300);
    CListDlg dlg(port, 9, oui, sortState, dialogs);
    dlg.resize(800, 600);
    EXPECT_TRUE(testing::Snapshot(dlg, "list_kind9"));
    QTemporaryDir dir;
    dialogs.saveAnswers.push_back(dir.filePath("chart.bmp"));
    dlg.SaveChart();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "グラフを画像保存");
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "無題");
    EXPECT_TRUE(QFile::exists(dir.filePath("chart.bmp")));
    dlg.CopyChart();
    EXPECT_EQ(dialogs.copiedImages.size(), 1u);
}

}  // namespace
}  // namespace ortolan
