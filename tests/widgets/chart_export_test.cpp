// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "chart_export.h"
#include "chart_model.h"
#include "qt_test_app.h"
#include "scripted_dialog_seam.h"

namespace ortolan {
namespace {

using testing::ScriptedDialogSeam;

// The tests run with TZ=Asia/Tokyo: 1700000000 is 2023-11-14 22:13:20 UTC.
constexpr double kT0 = 1700000000.0;

TEST(ChartCsv, TitleCaptionLineAndOnePointLinePerPointInLocalTime)
{
    CDataSeries series("sFlow V5:10.0.0.1:0", 0x00FFFF);
    series.AddDataPoint({kT0, 300.0, 0, "300.00"});
    series.AddDataPoint({kT0 + 65, 7500.0, 0, ""});
    series.AddDataPoint({kT0 + 130, -0.1234567, 0, ""});
    EXPECT_EQ(FormatChartCsv("毎秒パケット数", series.GetCaption(), "毎秒パケット数(PPS)", series),
              "\"毎秒パケット数-(sFlow V5:10.0.0.1:0)\"\n"
              "\"モニタ日時\",\"毎秒パケット数(PPS)\"\n"
              "\"2023/11/15 07:13:20\",\"300.000000\"\n"
              "\"2023/11/15 07:14:25\",\"7500.000000\"\n"
              "\"2023/11/15 07:15:30\",\"-0.123457\"\n");
}

TEST(ChartCsv, UnusableValuesGiveEmptyOrPlainFieldsNotGarbage)
{
    CDataSeries series("k\"q", 0);
    series.AddDataPoint({-5.0, 1.0, 0, ""});
    series.AddDataPoint({1e30, 1e300, 0, ""});
    std::string csv = FormatChartCsv("t", series.GetCaption(), "c", series);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "\"t-(k\"\"q)\"");
    EXPECT_NE(csv.find("\"\",\"1.000000\"\n"), std::string::npos);
    // "%lf" of a huge value is long but whole (std::to_string formats with "%f").
    EXPECT_NE(csv.find("\"\",\"" + std::to_string(1e300) + "\"\n"), std::string::npos);
}

class ExportChartCsvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::TestApp();
        ASSERT_TRUE(m_dir.isValid());
        for (int row = 0; row < 8; ++row) m_chart.AddDataSeries("port " + std::to_string(row), 0);
        m_chart.AddDataPoint({kT0, 2.5, 0, ""}, 1);
    }

    QTemporaryDir m_dir;
    CChartModel m_chart;
    ScriptedDialogSeam m_dialogs;
};

TEST_F(ExportChartCsvTest, TheNinthRowHasNoSeriesAndAsksNothing)
{
    EXPECT_FALSE(ExportChartCsv(m_dialogs, nullptr, m_chart, 8, "回線帯域", "回線帯域(MBPS)"));
    EXPECT_FALSE(ExportChartCsv(m_dialogs, nullptr, m_chart, -1, "回線帯域", "回線帯域(MBPS)"));
    EXPECT_TRUE(m_dialogs.saveRequests.empty());
}

TEST_F(ExportChartCsvTest, WritesThePickedFileWithTheChartCsvDialog)
{
    const QString path = m_dir.filePath("ORTOLANEXPORT.CSV");
    m_dialogs.saveAnswers.push_back(path);
    EXPECT_TRUE(ExportChartCsv(m_dialogs, nullptr, m_chart, 1, "回線帯域", "回線帯域(MBPS)"));
    ASSERT_EQ(m_dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(m_dialogs.saveRequests[0].title, QStringLiteral("グラフをCSV保存"));
    EXPECT_EQ(m_dialogs.saveRequests[0].defaultName, QStringLiteral("ORTOLANEXPORT.CSV"));
    EXPECT_EQ(m_dialogs.saveRequests[0].defaultExtension, QStringLiteral("csv"));
    EXPECT_EQ(m_dialogs.saveRequests[0].filter, QStringLiteral("CSV Files (*.csv)|*.csv||"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(),
              "\"回線帯域-(port 1)\"\n\"モニタ日時\",\"回線帯域(MBPS)\"\n\"2023/11/15 07:13:20\",\"2.500000\"\n");
}

}  // namespace
}  // namespace ortolan
