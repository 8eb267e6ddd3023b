// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's export actions through the scripted dialog seam.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "chart_ctrl.h"
#include "export_actions.h"
#include "mon_port.h"
#include "port_fixtures.h"
#include "scripted_dialog_seam.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using testing::ScriptedDialogSeam;

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

std::string ReadFile(const QString& path) { return testing::ReadFile(path.toStdString()); }

TEST(CaptureExport, OpensAndClosesTwice)
{
    QTemporaryDir dir;
    CSFlowMon sflow;
    const CMonPort& port = *sflow.AddPort("10.0.0.1", 0);
    ScriptedDialogSeam dialogs;
    for (int round = 0; round < 2; ++round) {
        const QString path = dir.filePath(QStringLiteral("dump%1.pcap").arg(round));
        dialogs.saveAnswers.push_back(path);
        EXPECT_EQ(ToggleCapture(dialogs, nullptr, sflow, port), CaptureToggle::Opened);
        EXPECT_EQ(CapturePath(sflow, port), path);
        EXPECT_EQ(CaptureButtonText(sflow, &port), "出力停止");
        const uint8_t frame[14] = {};
        sflow.AppendCapture(port, frame, sizeof frame, 60);
        EXPECT_EQ(ToggleCapture(dialogs, nullptr, sflow, port), CaptureToggle::Closed);
        EXPECT_TRUE(CapturePath(sflow, port).isEmpty());
        EXPECT_EQ(CaptureButtonText(sflow, &port), "ファイル出力");
        const std::string bytes = ReadFile(path);
        ASSERT_EQ(bytes.size(), 24u + 16u + 14u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("\xd4\xc3\xb2\xa1", 4));
    }
    ASSERT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "dump.pcap");
    EXPECT_EQ(dialogs.saveRequests[0].defaultExtension, "pcap");
    EXPECT_EQ(dialogs.saveRequests[0].filter, "PCAP File (*.pcap)|*.pcap||");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(CaptureExport, UnwritablePathIsReportedAndCancelIsNot)
{
    QTemporaryDir dir;
    CSFlowMon sflow;
    const CMonPort& port = *sflow.AddPort("10.0.0.1", 0);
    ScriptedDialogSeam dialogs;
    dialogs.saveAnswers.push_back(dir.filePath("missing/dump.pcap"));
    EXPECT_EQ(ToggleCapture(dialogs, nullptr, sflow, port), CaptureToggle::Failed);
    EXPECT_EQ(dialogs.messages, QStringList{"ファイル出力できません。"});
    EXPECT_EQ(sflow.Capture(port), nullptr);
    EXPECT_EQ(ToggleCapture(dialogs, nullptr, sflow, port), CaptureToggle::Cancelled);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(CaptureButtonText(sflow, nullptr), "ファイル出力");
}

class TrendCsvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 8; ++i) chart.AddDataSeries("sFlow V5:10.0.0." + std::to_string(i + 1) + ":0", 0);
        CDataPoint p;
        p.x = double(testing::kT0);
        p.y = 12.5;
        chart.AddDataPoint(p, 0);
    }
    CChartModel chart;
    ScriptedDialogSeam dialogs;
};

TEST_F(TrendCsvTest, WritesTitleCaptionsAndPoints)
{
    QTemporaryDir dir;
    dialogs.saveAnswers.push_back(dir.filePath("trend.csv"));
    EXPECT_TRUE(ExportTrendCsv(dialogs, nullptr, chart, 1, 0));
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, "グラフをCSV保存");
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "ORTOLANEXPORT.CSV");
    EXPECT_EQ(ReadFile(dir.filePath("trend.csv")),
              "\"毎秒パケット数-(sFlow V5:10.0.0.1:0)\"\n"
              "\"モニタ日時\",\"毎秒パケット数(PPS)\"\n"
              "\"2023/11/15 07:13:20\",\"12.500000\"\n");
    EXPECT_EQ(TrendCsvTitle(0), "回線負荷指数(HALVARDオリジナル)");
    EXPECT_EQ(TrendCsvColumn(0), "回線負荷指数(PPS×MBPS×Act.NODE)");
    EXPECT_EQ(TrendCsvTitle(4), "アクティブMACノード数");
    EXPECT_EQ(TrendCsvColumn(3), "アクティブIP");
}

TEST_F(TrendCsvTest, NinthRowWritesNothingAndAsksNothing)
{
    EXPECT_FALSE(ExportTrendCsv(dialogs, nullptr, chart, 0, 8));
    EXPECT_TRUE(dialogs.saveRequests.empty());
    CChartModel empty;
    EXPECT_FALSE(ExportTrendCsv(dialogs, nullptr, empty, 0, 0));
    EXPECT_TRUE(dialogs.saveRequests.empty());
    // A cancelled dialog writes nothing either.
    EXPECT_FALSE(ExportTrendCsv(dialogs, nullptr, chart, 2, 7));
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
}

TEST(ChartExport, BitmapAndClipboardOfTheChart)
{
    EnsureApp();
    CChartCtrl chart;
    chart.resize(400, 300);
    const int s = chart.AddDataSeries("sFlow V5:10.0.0.1:0", 0x00FF00);
    CDataPoint p;
    p.x = double(testing::kT0);
    p.y = 3;
    chart.AddDataPoint(p, s);
    chart.Redraw();
    QTemporaryDir dir;
    ScriptedDialogSeam dialogs;
    dialogs.saveAnswers.push_back(dir.filePath("chart.bmp"));
    EXPECT_TRUE(ExportChartImage(dialogs, nullptr, chart));
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, "無題");
    EXPECT_EQ(dialogs.saveRequests[0].filter, "Bitmap Files (*.bmp)|*.bmp||");
    EXPECT_EQ(ReadFile(dir.filePath("chart.bmp")).substr(0, 2), "BM");
    CopyChartToClipboard(dialogs, chart);
    ASSERT_EQ(dialogs.copiedImages.size(), 1u);
    EXPECT_FALSE(dialogs.copiedImages[0].isNull());
}

}  // namespace
}  // namespace ortolan
