// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart widget: draws its CChartModel with Qt Charts when Redraw is
// called (the monitoring code redraws at most once a second, not per point).
// Type 4 draws each series as a line over a local-time axis, type 6 the first
// series as a pie with one legend entry per point, type 2 one bar per point.
#include <QImage>
#include <QWidget>
#include <vector>

#include "chart_model.h"

QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QCategoryAxis;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
QT_END_NAMESPACE

namespace ortolan {

class CChartCtrl : public QWidget, public CChartModel {
    Q_OBJECT
public:
    explicit CChartCtrl(QWidget* parent = nullptr);
    ~CChartCtrl() override;

    void Redraw() override;
    // Writes the chart, redrawn from its data at its present size, as a
    // Windows bitmap; false when there is nothing to draw or the file cannot
    // be written.
    bool ExportBMPToFile(const QString& path);
    // The chart as drawn, the size of the widget (for the clipboard).
    QImage GrabImage();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ClearChart();
    void ApplyLook();
    void DrawTrend();
    void DrawShare();
    void DrawClasses();
    void ConfigureValueAxis(QCategoryAxis* axis, const tagChartAxis& settings, double dataMin, double dataMax);
    void StyleAxis(QAbstractAxis* axis, const tagChartAxis& settings);

    QChartView* m_view = nullptr;
    QChart* m_chart = nullptr;
    // Kept between redraws of a trend chart.
    std::vector<QLineSeries*> m_lines;
    QDateTimeAxis* m_timeAxis = nullptr;
    QCategoryAxis* m_valueAxis = nullptr;
};

}  // namespace ortolan
