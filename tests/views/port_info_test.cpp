// SPDX-License-Identifier: GPL-3.0-or-later
// The port detail window: what it shows, its unit choice and its exports.
#include <gtest/gtest.h>

#include <QLabel>

#include <QComboBox>

#include "chart_ctrl.h"
#include "list_model.h"
#include "port_info_dlg.h"
#include "scripted_dialog_seam.h"
#include "views_app.h"
#include "views_fixtures.h"

namespace ortolan {
namespace {

using testing::IfSample;
using testing::kT0;

TEST(PortInfoDlg, ShowsAndExportsTheInterface)
{
    testing::TestApp();
    tagIfCounter ifc;
    for (int h = 0; h < 5; ++h)
        ifc.history.push_back(IfSample(kT0 + h * 3600, uint32_t(h) * 3600000u, uint64_t(h) * 900'000'000ull,
                                     uint64_t(h) * 300'000'000ull, uint32_t(h) * 1000u));
    ifc.current = ifc.history.back();
    ifc.current.ifInBroadcastPkts = 1000;
    testing::ScriptedDialogSeam dialogs;
    CPortInfoDlg dlg(ifc, dialogs, nullptr, [] { return kT0 + 5 * 3600; }, nullptr, "1/512（レート不明 3件）");
    EXPECT_EQ(dlg.windowTitle(), "ポート詳細");
    ASSERT_NE(dlg.samplingLabel(), nullptr);
    EXPECT_EQ(dlg.samplingLabel()->text(), "サンプリングレート: 1/512（レート不明 3件）");
    CPortInfoDlg plain(ifc, dialogs, nullptr, [] { return kT0; });
    EXPECT_EQ(plain.samplingLabel(), nullptr);
    EXPECT_EQ(dlg.model()->rowCount(), 5);
    // Without a speed there is no utilisation to offer.
    EXPECT_EQ(dlg.unitChoice()->count(), 2);
    EXPECT_EQ(dlg.model()->columnCount(), 14);
    EXPECT_EQ(dlg.trendChart()->GetNumOfDataPoints(0), 4);
    EXPECT_TRUE(testing::Snapshot(dlg, "port_info_mbits"));
    dlg.unitChoice()->setCurrentIndex(1);
    dlg.ShowTrend();
    EXPECT_EQ(dlg.trendChart()->GetHeaderText(), "毎秒パケット数");
    EXPECT_TRUE(testing::Snapshot(dlg, "port_info_packets"));

    QTemporaryDir dir;
    dialogs.saveAnswers.push_back(dir.filePath("info.csv"));
    dlg.ExportCsv();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "ポート情報.csv");
    const std::string csv = testing::ReadFile(dir.filePath("info.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "\"ポート情報\"");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7);
    dlg.SavePieChart();
    dlg.SaveTrendChart();
    ASSERT_EQ(dialogs.saveRequests.size(), 3u);
    EXPECT_EQ(dialogs.saveRequests[2].title, "グラフを画像保存");
}

TEST(PortInfoDlg, NamesAndUtilisationFromTheAgentsInterfaceTable)
{
    testing::TestApp();
    tagIfCounter ifc;
    for (int h = 0; h < 5; ++h)
        ifc.history.push_back(IfSample(kT0 + h * 3600, uint32_t(h) * 3600000u, uint64_t(h) * 45'000'000'000ull,
                                     uint64_t(h) * 4'500'000'000ull));
    ifc.current = ifc.history.back();
    const IfNameTable names{{ifc.current.ifIndex, {"ge-0/0/4", "uplink", 1'000'000'000}}};
    testing::ScriptedDialogSeam dialogs;
    CPortInfoDlg dlg(ifc, dialogs, nullptr, [] { return kT0 + 5 * 3600; }, &names);
    EXPECT_EQ(dlg.windowTitle(), "ポート詳細 - ifIndex 4 ge-0/0/4 (uplink)");
    ASSERT_EQ(dlg.model()->columnCount(), 16);
    // An hour of 4.5e10 octets is 10 % of 1 Gbit/s; out carries a tenth of it.
    EXPECT_EQ(dlg.model()->data(dlg.model()->index(1, 14)).toString(), "10.00");
    EXPECT_EQ(dlg.model()->data(dlg.model()->index(1, 15)).toString(), "1.00");
    ASSERT_EQ(dlg.unitChoice()->count(), 3);
    dlg.unitChoice()->setCurrentIndex(2);
    dlg.ShowTrend();
    EXPECT_EQ(dlg.trendChart()->GetHeaderText(), "回線使用率（%）");
    EXPECT_EQ(dlg.trendChart()->GetNumOfDataPoints(1), 4);
    EXPECT_TRUE(testing::Snapshot(dlg, "port_info_utilisation"));
}

}  // namespace
}  // namespace ortolan
