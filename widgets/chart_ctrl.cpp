// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_ctrl.h"

#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart_format.h"

namespace ortolan {

namespace {

QColor FromColorRef(uint32_t c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QString Utf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Finite data range of one coordinate over every series; empty when no point counts.
struct tagRange {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    bool Empty() const { return lo > hi; }
    void Add(double v)
    {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
};

// Qt's axes take tick counts; very dense steps are drawn with fewer ticks
// rather than a solid block of labels.
constexpr int kMaxTicks = kMaxValueTicks - 1;
constexpr int kDefaultTicks = 5;

}  // namespace

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent)
{
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundRoundness(0);
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setGeometry(rect());
    Redraw();
}

CChartCtrl::~CChartCtrl() = default;

void CChartCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
}

void CChartCtrl::ClearChart()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis* axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    m_lines.clear();
    m_timeAxis = nullptr;
    m_valueAxis = nullptr;
}

void CChartCtrl::Redraw()
{
    ApplyLook();
    // Trends are redrawn every refresh with up to 1440 points per series, so
    // their series and axes are kept and refilled; rebuilding them costs Qt
    // a fresh layout of every graphics item each time.
    const bool trend = GetChartType() != kChartShare && GetChartType() != kChartClasses;
    if (!trend || !m_timeAxis) ClearChart();
    if (trend) DrawTrend();
    else if (GetChartType() == kChartShare) DrawShare();
    else DrawClasses();
    // The legend lists what the drawing just made, so its font and colour
    // go on after the series are in.
    QLegend* legend = m_chart->legend();
    legend->setVisible(IsLegendShown() && GetCount() > 0);
    QFont small = font();
    small.setPointSize(GetFontSize());
    legend->setFont(small);
    legend->setLabelColor(FromColorRef(GetHeaderTextColor()));
    switch (GetLegendPosition()) {
    case 2: legend->setAlignment(Qt::AlignTop); break;
    case 3: legend->setAlignment(Qt::AlignBottom); break;
    case 4: legend->setAlignment(Qt::AlignLeft); break;
    default: legend->setAlignment(Qt::AlignRight); break;
    }
    update();
}

void CChartCtrl::ApplyLook()
{
    QColor window = FromColorRef(GetWindowColor());
    m_chart->setBackgroundBrush(window);
    m_chart->setBackgroundPen(Qt::NoPen);
    m_chart->setPlotAreaBackgroundBrush(FromColorRef(GetChartFillColor()));
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_view->setBackgroundBrush(window);

    QFont title = font();
    title.setPointSize(GetFontSize() + 2);
    title.setBold(true);
    m_chart->setTitleFont(title);
    m_chart->setTitleBrush(FromColorRef(GetHeaderTextColor()));
    m_chart->setTitle(IsHeaderShown() ? Utf8(GetHeaderText()) : QString());
}

void CChartCtrl::StyleAxis(QAbstractAxis* axis, const tagChartAxis& settings)
{
    QColor line = FromColorRef(GetLineColor());
    QColor grid = line;
    grid.setAlpha(70);
    QFont small = font();
    small.setPointSize(GetFontSize());
    axis->setLabelsFont(small);
    axis->setLabelsColor(line);
    axis->setLinePenColor(line);
    axis->setGridLineColor(grid);
    axis->setGridLineVisible(true);
    axis->setTitleText(Utf8(settings.text));
    axis->setTitleBrush(line);
    axis->setTitleFont(small);
}

void CChartCtrl::ConfigureValueAxis(QCategoryAxis* axis, const tagChartAxis& settings, double dataMin, double dataMax)
{
    StyleAxis(axis, settings);
    const tagValueScale scale =
        FitValueScale(settings.minimum, settings.maximum, std::max(settings.minorStep, settings.majorStep),
                      (settings.style & kAxisAutoScale) != 0, dataMin, dataMax);
    // Qt lays the ticks out as each setter runs. Ticks at a fixed count,
    // set before the range, keep every layout small: a new range under an
    // old interval of the dynamic kind would lay out (range / interval) ticks.
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(scale.tickCount);
    axis->setRange(scale.minimum, scale.maximum);
    // A printf label of a large value runs to dozens of digits; each tick is
    // labelled on its value, short and with an SI prefix, instead.
    const double step = (scale.maximum - scale.minimum) / (scale.tickCount - 1);
    QStringList labels;
    QList<double> values;
    for (int i = 0; i < scale.tickCount; ++i) {
        // The top is exact, not the sum of steps with its rounding.
        const double value = i == scale.tickCount - 1 ? scale.maximum : scale.minimum + step * i;
        QString label = Utf8(AxisValueText(std::abs(value) < step * 1e-9 ? 0.0 : value));
        // The axis keys its ticks by label; a tick whose label repeats an
        // earlier one (a set scale finer than four digits) stays unlabelled.
        if (labels.contains(label)) continue;
        labels.append(label);
        values.append(value);
    }
    if (axis->categoriesLabels() == labels && axis->startValue() == scale.minimum) return;
    for (const QString& old : axis->categoriesLabels()) axis->remove(old);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(scale.minimum);
    for (qsizetype i = 0; i < labels.size(); ++i) axis->append(labels[i], values[i]);
}

void CChartCtrl::DrawTrend()
{
    const tagChartAxis& xs = GetAxis(kAxisX);
    const tagChartAxis& ys = GetAxis(kAxisY);
    if (!m_timeAxis) {
        m_timeAxis = new QDateTimeAxis;
        m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
        m_valueAxis = new QCategoryAxis;
        m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    }
    while (m_lines.size() > static_cast<size_t>(GetCount())) {
        m_chart->removeSeries(m_lines.back());
        delete m_lines.back();
        m_lines.pop_back();
    }
    while (m_lines.size() < static_cast<size_t>(GetCount())) {
        auto* line = new QLineSeries;
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        m_lines.push_back(line);
    }

    tagRange xr;
    tagRange yr;
    for (int s = 0; s < GetCount(); ++s) {
        const CDataSeries* series = GetDataSeries(s);
        QLineSeries* line = m_lines[static_cast<size_t>(s)];
        const QString name = Utf8(series->GetCaption());
        if (line->name() != name) line->setName(name);
        QPen pen(FromColorRef(series->GetColor()));
        pen.setWidthF(1.5);
        if (line->pen() != pen) line->setPen(pen);
        QList<QPointF> points;
        points.reserve(series->GetCount());
        for (int i = 0; i < series->GetCount(); ++i) {
            const CDataPoint* p = series->GetAt(i);
            if (!std::isfinite(p->x) || !std::isfinite(p->y)) continue;
            points.append(QPointF(p->x * 1000.0, p->y));
            xr.Add(p->x);
            yr.Add(p->y);
        }
        // A lone point has no line to show it, so short series show their points.
        line->setPointsVisible(points.size() < 3);
        line->replace(points);
    }

    StyleAxis(m_timeAxis, xs);
    double lo = std::isfinite(xs.minimum) ? xs.minimum : 0.0;
    double hi = std::isfinite(xs.maximum) ? xs.maximum : lo + 1.0;
    if (hi < lo) std::swap(lo, hi);
    if ((xs.style & kAxisAutoScale) && !xr.Empty()) {
        lo = std::min(lo, xr.lo);
        hi = std::max(hi, xr.hi);
    }
    if (!(hi > lo)) hi = lo + 1.0;
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo * 1000.0)),
                         QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi * 1000.0)));
    double step = std::max(xs.minorStep, xs.majorStep);
    int ticks = kDefaultTicks;
    if (step > 0 && (hi - lo) / step <= kMaxTicks) ticks = static_cast<int>(std::lround((hi - lo) / step)) + 1;
    m_timeAxis->setTickCount(std::max(2, ticks));
    m_timeAxis->setFormat(Utf8(StrftimeToQtFormat(TimeAxisFormat(xs.format, lo, hi))));
    ConfigureValueAxis(m_valueAxis, ys, yr.lo, yr.hi);
}

void CChartCtrl::DrawShare()
{
    const CDataSeries* series = GetDataSeries(0);
    if (!series) return;
    auto* pie = new QPieSeries;
    pie->setPieSize(0.85);
    for (int i = 0; i < series->GetCount(); ++i) {
        const CDataPoint* p = series->GetAt(i);
        // A pie has no room for negative or broken shares; they take no slice
        // but keep their legend entry.
        double value = std::isfinite(p->y) && p->y > 0 ? p->y : 0.0;
        pie->append(Utf8(p->caption), value);
    }
    // Adding a pie to a chart dresses its slices in the theme's colours, and
    // slices appended afterwards are dressed at the next layout; so all slices
    // go in first and get their own colours once the pie is in the chart.
    m_chart->addSeries(pie);
    QPen edge(FromColorRef(GetChartFillColor()));
    edge.setWidthF(1.0);
    const QList<QPieSlice*> slices = pie->slices();
    for (qsizetype i = 0; i < slices.size(); ++i) {
        slices[i]->setBrush(FromColorRef(series->GetAt(static_cast<int>(i))->color));
        slices[i]->setPen(edge);
    }
}

void CChartCtrl::DrawClasses()
{
    const tagChartAxis& xs = GetAxis(kAxisX);
    const tagChartAxis& ys = GetAxis(kAxisY);
    const CDataSeries* series = GetDataSeries(0);
    auto* categories = new QBarCategoryAxis;
    StyleAxis(categories, xs);
    tagRange yr;
    yr.Add(0.0);
    auto* bars = new QStackedBarSeries;
    bars->setBarWidth(0.6);
    // One bar set per point, holding its value in its own column only: that
    // gives each bar its own colour and each point its own legend entry.
    int n = series ? series->GetCount() : 0;
    for (int i = 0; i < n; ++i) categories->append(Utf8(FormatNumber(xs.format, series->GetAt(i)->x)));
    for (int i = 0; i < n; ++i) {
        const CDataPoint* p = series->GetAt(i);
        auto* set = new QBarSet(Utf8(p->caption));
        set->setColor(FromColorRef(p->color));
        set->setBorderColor(FromColorRef(p->color));
        double value = std::isfinite(p->y) ? p->y : 0.0;
        QList<qreal> values(n, 0.0);
        values[i] = value;
        set->append(values);
        bars->append(set);
        yr.Add(value);
    }
    m_chart->addSeries(bars);
    m_chart->addAxis(categories, Qt::AlignBottom);
    auto* valueAxis = new QCategoryAxis;
    ConfigureValueAxis(valueAxis, ys, yr.lo, yr.hi);
    m_chart->addAxis(valueAxis, Qt::AlignLeft);
    bars->attachAxis(categories);
    bars->attachAxis(valueAxis);
}

QImage CChartCtrl::GrabImage()
{
    Redraw();
    m_view->setGeometry(rect());
    // Qt lays charts out from the event loop; a picture taken right after a
    // change must not show the layout from before it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (QGraphicsLayout* layout = m_chart->layout()) layout->activate();
    if (width() <= 0 || height() <= 0) return {};
    return grab().toImage();
}

bool CChartCtrl::ExportBMPToFile(const QString& path)
{
    QImage image = GrabImage();
    if (image.isNull() || path.isEmpty()) return false;
    return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

}  // namespace ortolan
