// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QChartView>
#include <QFile>
#include <QCategoryAxis>
#include <QValueAxis>
#include <QImage>
#include <QTemporaryDir>

#include "chart_ctrl.h"
#include "chart_format.h"
#include "chart_export.h"
#include "qt_test_app.h"
#include "scripted_dialog_seam.h"

namespace ortolan {
namespace {

using testing::ScriptedDialogSeam;
using testing::TestApp;

// Any pixel close to the colour (lines and edges are antialiased).
bool HasColor(const QImage& image, QColor want)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
                std::abs(c.blue() - want.blue()) < 40)
                return true;
        }
    }
    return false;
}

// The main window's trend set-up with one yellow series of a rising line.
void FillTrend(CChartCtrl& chart)
{
    chart.SetChartType(CChartModel::kChartTrend);
    chart.SetLineColor(0x00C000);
    chart.SetChartFillColor(0);
    chart.SetWindowColor(0);
    chart.SetHeaderText(3, "毎秒パケット数");
    chart.SetHeaderTextColor(0xFFFFFF);
    chart.SetAxisFormatString(CChartModel::kAxisX, "%H:%M:%S");
    chart.SetAxisFormatString(CChartModel::kAxisY, "%.2f");
    chart.SetAxisStyleY(chart.GetAxisStyleY() | CChartModel::kAxisAutoScale | CChartModel::kTrendYAxisBits);
    chart.SetAxisScale(CChartModel::kAxisX, 1700000000, 1700003600);
    chart.SetScaleStep(CChartModel::kAxisX, 900, 900);
    chart.SetAxisScale(CChartModel::kAxisY, 0, 100);
    chart.SetScaleStep(CChartModel::kAxisY, 0.5, 20);
    chart.ShowSeriesLegend();
    int s = chart.AddDataSeries("sFlow V5:10.0.0.1:0", 0x00FFFF);
    for (int i = 0; i <= 12; ++i) chart.AddDataPoint({1700000000.0 + i * 300, 20.0 + i * 40, 0x00FFFF, ""}, s);
}

class ChartCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_chart.resize(480, 300);
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QApplication& m_app = TestApp();   // before any widget member
    QTemporaryDir m_dir;
    CChartCtrl m_chart;
};

TEST_F(ChartCtrlTest, ExportWritesAWindowsBitmapOfTheDrawnChart)
{
    FillTrend(m_chart);
    const QString path = Path("trend.bmp");
    ASSERT_TRUE(m_chart.ExportBMPToFile(path));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    // 24-bit rows are padded to 4 bytes: 480 * 3 = 1440 bytes per row.
    EXPECT_GE(bytes.size(), 54 + 1440 * 300);
    EXPECT_LT(bytes.size(), 54 + 1440 * 300 + 4096);

    QImage image(path, "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(480, 300));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(0, 0, 0));      // window colour
    EXPECT_TRUE(HasColor(image, QColor(255, 255, 0)));        // the series, 0x00FFFF
    EXPECT_TRUE(HasColor(image, QColor(0, 192, 0)));          // axes in the line colour

    EXPECT_FALSE(m_chart.ExportBMPToFile(Path("no/such/folder/x.bmp")));
    EXPECT_FALSE(m_chart.ExportBMPToFile(QString()));
}

TEST_F(ChartCtrlTest, ShareChartDrawsEachSliceInItsPointColour)
{
    m_chart.SetChartType(CChartModel::kChartShare);
    m_chart.SetHeaderText(3, "パケット種類別割合");
    m_chart.ShowPointLegend();
    int s = m_chart.AddDataSeries("", 0xFF0000);
    m_chart.AddDataPoint({0, 60, 0x0000FF, "red (60.00%)"}, s);
    m_chart.AddDataPoint({1, 40, 0xFF0000, "blue (40.00%)"}, s);
    QImage image = m_chart.GrabImage();
    ASSERT_EQ(image.size(), QSize(480, 300));
    EXPECT_TRUE(HasColor(image, QColor(255, 0, 0)));
    EXPECT_TRUE(HasColor(image, QColor(0, 0, 255)));
}

TEST_F(ChartCtrlTest, SlicesAreEdgedInTheFillColourNotTheThemesWhite)
{
    m_chart.SetChartType(CChartModel::kChartShare);
    m_chart.ShowHeader(false);
    m_chart.ShowLegend(false);
    int s = m_chart.AddDataSeries("", 0xFF0000);
    for (int i = 0; i < 6; ++i) m_chart.AddDataPoint({double(i), 10.0 + i, i % 2 ? 0x0000FFu : 0xFF0000u, ""}, s);
    QImage image = m_chart.GrabImage();
    EXPECT_TRUE(HasColor(image, QColor(255, 0, 0)));
    EXPECT_FALSE(HasColor(image, QColor(255, 255, 255)));
}

TEST_F(ChartCtrlTest, AutoScaleAxisGrowsTheScaleToShowPointsAboveIt)
{
    FillTrend(m_chart);   // Y scale 0 to 100, points from 20 to 500
    m_chart.Purge();
    int s = m_chart.AddDataSeries("load", 0x00FFFF);
    for (int i = 0; i <= 12; ++i) m_chart.AddDataPoint({1700000000.0 + i * 300, 7500.0, 0x00FFFF, ""}, s);
    m_chart.ShowLegend(false);   // its marker carries the series colour too
    m_chart.SetAxisStyleY(0);
    EXPECT_FALSE(HasColor(m_chart.GrabImage(), QColor(255, 255, 0)));   // drawn off the plot
    m_chart.SetAxisStyleY(CChartModel::kAxisAutoScale);
    EXPECT_TRUE(HasColor(m_chart.GrabImage(), QColor(255, 255, 0)));
}

TEST_F(ChartCtrlTest, ValuesJumpingOverFifteenOrdersOfMagnitudeGetARoundScaleWithFewTicks)
{
    FillTrend(m_chart);
    m_chart.Purge();
    int s = m_chart.AddDataSeries("jump", 0x00FFFF);
    QChartView* view = m_chart.findChild<QChartView*>();
    ASSERT_NE(view, nullptr);
    // Each value is drawn on its own (the window draws every refresh), up and
    // down again, as a trend of a busy port and a quiet one would.
    struct tagCase {
        double value;
        double top;
    };
    const tagCase cases[] = {{10, 10},       {10000, 10000}, {30000, 50000}, {1e9, 1e9},     {1e15, 1e15},
                             {7.3e14, 1e15}, {0.4, 0.5},     {0.016, 0.02}, {2.5e-3, 5e-3}, {3, 5}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].value);
        m_chart.Purge();
        s = m_chart.AddDataSeries("jump", 0x00FFFF);
        m_chart.AddDataPoint({1700000000.0, 0.0, 0x00FFFF, ""}, s);
        m_chart.AddDataPoint({1700000300.0, cases[i].value, 0x00FFFF, ""}, s);
        m_chart.GrabImage();
        const QList<QAbstractAxis*> axes = view->chart()->axes(Qt::Vertical);
        ASSERT_EQ(axes.size(), 1);
        auto* axis = qobject_cast<QValueAxis*>(axes[0]);
        ASSERT_NE(axis, nullptr);
        EXPECT_EQ(axis->min(), 0.0);
        EXPECT_DOUBLE_EQ(axis->max(), cases[i].top);
        EXPECT_EQ(axis->tickType(), QValueAxis::TicksFixed);
        EXPECT_GE(axis->tickCount(), 3);
        EXPECT_LE(axis->tickCount(), 11);
        // Short labels at every scale, the top among them ("1P", not 16 digits).
        auto* labelled = qobject_cast<QCategoryAxis*>(axes[0]);
        ASSERT_NE(labelled, nullptr);
        const QStringList labels = labelled->categoriesLabels();
        EXPECT_TRUE(labels.contains(QString::fromStdString(AxisValueText(cases[i].top)))) << labels.join(' ').toStdString();
        for (const QString& label : labels) EXPECT_LE(label.size(), 6) << label.toStdString();
    }
    // Negative rates (a counter that went back) extend the scale below 0.
    m_chart.AddDataPoint({1700000600.0, -40.0, 0x00FFFF, ""}, s);
    m_chart.GrabImage();
    auto* axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).value(0));
    ASSERT_NE(axis, nullptr);
    EXPECT_DOUBLE_EQ(axis->min(), -50.0);
    EXPECT_DOUBLE_EQ(axis->max(), 10.0);
    EXPECT_LE(axis->tickCount(), 11);
}

TEST_F(ChartCtrlTest, ARedrawnTrendShowsOnlyTheSeriesItNowHolds)
{
    FillTrend(m_chart);
    int blue = m_chart.AddDataSeries("blue", 0xFF0000);
    m_chart.AddDataPoint({1700000600.0, 50, 0, ""}, blue);
    m_chart.AddDataPoint({1700001200.0, 60, 0, ""}, blue);
    QImage before = m_chart.GrabImage();
    EXPECT_TRUE(HasColor(before, QColor(255, 255, 0)));
    EXPECT_TRUE(HasColor(before, QColor(0, 0, 255)));

    m_chart.Purge();
    int red = m_chart.AddDataSeries("red", 0x0000FF);
    m_chart.AddDataPoint({1700000600.0, 50, 0, ""}, red);
    m_chart.AddDataPoint({1700001200.0, 60, 0, ""}, red);
    QImage after = m_chart.GrabImage();
    EXPECT_TRUE(HasColor(after, QColor(255, 0, 0)));
    EXPECT_FALSE(HasColor(after, QColor(255, 255, 0)));
    EXPECT_FALSE(HasColor(after, QColor(0, 0, 255)));
}

TEST_F(ChartCtrlTest, ClassChartDrawsOneBarPerPoint)
{
    m_chart.SetChartType(CChartModel::kChartClasses);
    m_chart.SetAxisFormatString(CChartModel::kAxisX, "%.0f");
    int s = m_chart.AddDataSeries("", 0xFF0000);
    m_chart.AddDataPoint({1, 30, 0x00FF00, "64 (30.00%)"}, s);
    m_chart.AddDataPoint({2, 70, 0xFF00FF, "128 (70.00%)"}, s);
    QImage image = m_chart.GrabImage();
    EXPECT_TRUE(HasColor(image, QColor(0, 255, 0)));
    EXPECT_TRUE(HasColor(image, QColor(255, 0, 255)));
}

TEST_F(ChartCtrlTest, SaveChartBitmapAsksWithTheBitmapDialogAndWritesThePickedFile)
{
    FillTrend(m_chart);
    ScriptedDialogSeam dialogs;
    EXPECT_FALSE(SaveChartBitmap(dialogs, nullptr, m_chart));   // cancelled
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, QStringLiteral("グラフを画像保存"));
    EXPECT_EQ(dialogs.saveRequests[0].defaultName, QStringLiteral("無題"));
    EXPECT_EQ(dialogs.saveRequests[0].defaultExtension, QStringLiteral("bmp"));
    EXPECT_EQ(dialogs.saveRequests[0].filter, QStringLiteral("Bitmap Files (*.bmp)|*.bmp||"));

    dialogs.saveAnswers.push_back(Path("picked.bmp"));
    EXPECT_TRUE(SaveChartBitmap(dialogs, nullptr, m_chart));
    EXPECT_EQ(QImage(Path("picked.bmp"), "BMP").size(), QSize(480, 300));
}

TEST_F(ChartCtrlTest, CopyPutsTheWholeChartOnTheClipboardSeam)
{
    FillTrend(m_chart);
    ScriptedDialogSeam dialogs;
    CopyChartImage(dialogs, m_chart);
    ASSERT_EQ(dialogs.copiedImages.size(), 1u);
    EXPECT_EQ(dialogs.copiedImages[0].size(), QSize(480, 300));
    EXPECT_TRUE(HasColor(dialogs.copiedImages[0], QColor(255, 255, 0)));
}

}  // namespace
}  // namespace ortolan
