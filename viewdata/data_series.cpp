// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_series.h"

#include <utility>

namespace ortolan {

CDataSeries::CDataSeries(std::string caption, uint32_t color)
    : m_caption(std::move(caption)), m_color(color)
{
}

const CDataPoint* CDataSeries::GetAt(int index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return &m_points[static_cast<size_t>(index)];
}

void CDataSeries::AddDataPoint(const CDataPoint& point)
{
    m_points.push_back(point);
    Trim();
}

void CDataSeries::RemoveDataPoint(int index)
{
    if (index < 0 || index >= GetCount()) return;
    m_points.erase(m_points.begin() + index);
}

void CDataSeries::SetMaxNumDataPoints(int count)
{
    m_maxPoints = count > 0 ? count : 0;
    Trim();
}

void CDataSeries::Trim()
{
    if (m_maxPoints <= 0) return;
    while (m_points.size() > static_cast<size_t>(m_maxPoints)) m_points.pop_front();
}

}  // namespace ortolan
