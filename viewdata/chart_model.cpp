// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_model.h"

namespace ortolan {

CChartModel::CChartModel()
{
    m_x.format = "%H:%M:%S";
    m_y.format = "%.0f";
}

void CChartModel::SetAxisFormatString(int axis, const std::string& format)
{
    if (axis & kAxisX) m_x.format = format;
    if (axis & kAxisY) m_y.format = format;
}

void CChartModel::SetAxisScale(int axis, double minimum, double maximum)
{
    for (tagChartAxis* a : {(axis & kAxisX) ? &m_x : nullptr, (axis & kAxisY) ? &m_y : nullptr}) {
        if (!a) continue;
        a->minimum = minimum;
        a->maximum = maximum;
    }
}

void CChartModel::SetScaleStep(int axis, double minorStep, double majorStep)
{
    for (tagChartAxis* a : {(axis & kAxisX) ? &m_x : nullptr, (axis & kAxisY) ? &m_y : nullptr}) {
        if (!a) continue;
        a->minorStep = minorStep;
        a->majorStep = majorStep;
    }
}

void CChartModel::SetAxisText(int axis, const std::string& text)
{
    if (axis & kAxisX) m_x.text = text;
    if (axis & kAxisY) m_y.text = text;
}

void CChartModel::SetFont(int pointSize, const std::string& face, int)
{
    if (pointSize > 0) m_fontSize = pointSize;
    m_fontFace = face;
}

void CChartModel::SetHeaderText(int position, const std::string& text)
{
    m_headerPosition = position;
    m_headerText = text;
}

void CChartModel::SetLegendAutoHide(int width, int height)
{
    m_legendAutoHideWidth = width;
    m_legendAutoHideHeight = height;
}

void CChartModel::ShowPointLegend(bool show)
{
    m_legendKind = LegendKind::Points;
    m_legendShown = show;
}

void CChartModel::ShowSeriesLegend(bool show)
{
    m_legendKind = LegendKind::Series;
    m_legendShown = show;
}

int CChartModel::AddDataSeries(const std::string& caption, uint32_t color)
{
    m_series.push_back(std::make_unique<CDataSeries>(caption, color));
    return GetCount() - 1;
}

void CChartModel::AddDataPoint(const CDataPoint& point, int series)
{
    if (CDataSeries* s = GetDataSeries(series)) s->AddDataPoint(point);
}

CDataSeries* CChartModel::GetDataSeries(int index)
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_series[static_cast<size_t>(index)].get();
}

const CDataSeries* CChartModel::GetDataSeries(int index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_series[static_cast<size_t>(index)].get();
}

int CChartModel::GetNumOfDataPoints(int series) const
{
    const CDataSeries* s = GetDataSeries(series);
    return s ? s->GetCount() : 0;
}

std::string CChartModel::GetDataSeriesCaption(int index) const
{
    const CDataSeries* s = GetDataSeries(index);
    return s ? s->GetCaption() : std::string();
}

}  // namespace ortolan
