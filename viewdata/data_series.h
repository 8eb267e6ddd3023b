// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One series of a chart: caption, colour and its points in insertion order.
// A cap set with SetMaxNumDataPoints drops the oldest points first.
#include <cstdint>
#include <deque>
#include <string>

#include "data_point.h"

namespace ortolan {

class CDataSeries {
public:
    CDataSeries(std::string caption, uint32_t color);

    const std::string& GetCaption() const { return m_caption; }
    uint32_t GetColor() const { return m_color; }

    int GetCount() const { return static_cast<int>(m_points.size()); }
    // The stored point; nullptr when index is out of range.
    const CDataPoint* GetAt(int index) const;
    // Copies the point in at the end; when a cap is set, the oldest points go
    // until the cap holds again.
    void AddDataPoint(const CDataPoint& point);
    // Out-of-range indexes are ignored; index 0 is the oldest point.
    void RemoveDataPoint(int index);
    // 0 (the default) means no cap. A lower cap trims the series at once.
    void SetMaxNumDataPoints(int count);
    int GetMaxNumDataPoints() const { return m_maxPoints; }

private:
    void Trim();

    std::string m_caption;
    uint32_t m_color;
    std::deque<CDataPoint> m_points;
    int m_maxPoints = 0;
};

}  // namespace ortolan
