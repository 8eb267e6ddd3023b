#include "chart_ctrl.h"

#include <QBarCategoryAxis>
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
constexpr int kMaxTicks = 25;
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

void CChartCtrl::Redraw()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis* axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    ApplyLook();
    switch (GetChartType()) {
    case kChartShare: DrawShare(); break;
    case kChartClasses: DrawClasses(); break;
    default: DrawTrend(); break;
    }
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
    case 3: legend->setAlignment(Qt::AlignLeft); break;
    case 4: legend->setAlignment(Qt::AlignBottom); break;
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

QValueAxis* CChartCtrl::MakeValueAxis(const tagChartAxis& settings, double dataMin, double dataMax)
{
    auto* axis = new QValueAxis;
    StyleAxis(axis, settings);
    double lo = std::isfinite(settings.minimum) ? settings.minimum : 0.0;
    double hi = std::isfinite(settings.maximum) ? settings.maximum : lo + 1.0;
    if (hi < lo) std::swap(lo, hi);
    bool extended = false;
    if ((settings.style & kAxisAutoScale) && dataMin <= dataMax && (dataMin < lo || dataMax > hi)) {
        tagNiceScale nice = NiceScale(std::min(lo, dataMin), std::max(hi, dataMax), kDefaultTicks);
        lo = nice.minimum;
        hi = nice.maximum;
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(lo);
        axis->setTickInterval(nice.step);
        extended = true;
    }
    if (!(hi > lo)) hi = lo + 1.0;
    axis->setRange(lo, hi);
    if (!extended) {
        double step = std::max(settings.minorStep, settings.majorStep);
        if (step > 0 && (hi - lo) / step <= kMaxTicks) {
            axis->setTickType(QValueAxis::TicksDynamic);
            axis->setTickAnchor(lo);
            axis->setTickInterval(step);
        } else {
            axis->setTickCount(kDefaultTicks + 1);
        }
    }
    axis->setLabelFormat(IsNumberFormat(settings.format) ? Utf8(settings.format) : QStringLiteral("%g"));
    return axis;
}

void CChartCtrl::DrawTrend()
{
    const tagChartAxis& xs = GetAxis(kAxisX);
    const tagChartAxis& ys = GetAxis(kAxisY);
    tagRange xr;
    tagRange yr;
    std::vector<QLineSeries*> lines;
    for (int s = 0; s < GetCount(); ++s) {
        const CDataSeries* series = GetDataSeries(s);
        auto* line = new QLineSeries;
        line->setName(Utf8(series->GetCaption()));
        QPen pen(FromColorRef(series->GetColor()));
        pen.setWidthF(1.5);
        line->setPen(pen);
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
        m_chart->addSeries(line);
        lines.push_back(line);
    }

    auto* timeAxis = new QDateTimeAxis;
    StyleAxis(timeAxis, xs);
    double lo = std::isfinite(xs.minimum) ? xs.minimum : 0.0;
    double hi = std::isfinite(xs.maximum) ? xs.maximum : lo + 1.0;
    if (hi < lo) std::swap(lo, hi);
    if ((xs.style & kAxisAutoScale) && !xr.Empty()) {
        lo = std::min(lo, xr.lo);
        hi = std::max(hi, xr.hi);
    }
    if (!(hi > lo)) hi = lo + 1.0;
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo * 1000.0)),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi * 1000.0)));
    double step = std::max(xs.minorStep, xs.majorStep);
    int ticks = kDefaultTicks;
    if (step > 0 && (hi - lo) / step <= kMaxTicks) ticks = static_cast<int>(std::lround((hi - lo) / step)) + 1;
    timeAxis->setTickCount(std::max(2, ticks));
    timeAxis->setFormat(Utf8(StrftimeToQtFormat(xs.format)));
    m_chart->addAxis(timeAxis, Qt::AlignBottom);

    QValueAxis* valueAxis = MakeValueAxis(ys, yr.lo, yr.hi);
    m_chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QLineSeries* line : lines) {
        line->attachAxis(timeAxis);
        line->attachAxis(valueAxis);
    }
}

void CChartCtrl::DrawShare()
{
    const CDataSeries* series = GetDataSeries(0);
    if (!series) return;
    auto* pie = new QPieSeries;
    pie->setPieSize(0.85);
    QPen edge(FromColorRef(GetChartFillColor()));
    edge.setWidthF(1.0);
    for (int i = 0; i < series->GetCount(); ++i) {
        const CDataPoint* p = series->GetAt(i);
        // A pie has no room for negative or broken shares; they take no slice
        // but keep their legend entry.
        double value = std::isfinite(p->y) && p->y > 0 ? p->y : 0.0;
        QPieSlice* slice = pie->append(Utf8(p->caption), value);
        slice->setBrush(FromColorRef(p->color));
        slice->setPen(edge);
    }
    m_chart->addSeries(pie);
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
    QValueAxis* valueAxis = MakeValueAxis(ys, yr.lo, yr.hi);
    m_chart->addAxis(valueAxis, Qt::AlignLeft);
    bars->attachAxis(categories);
    bars->attachAxis(valueAxis);
}

QImage CChartCtrl::GrabImage()
{
    Redraw();
    m_view->setGeometry(rect());
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
