// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything a chart shows, kept apart from drawing so the monitoring code,
// the headless mode and the tests fill and read charts without a widget.
// CChartCtrl draws one of these; the set-up code speaks to it in the chart
// operations' own names (SetAxisScale, Purge, AddDataPoint, ...).
//
// Colours are 0x00BBGGRR. Axis codes may be or-ed to address both axes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data_series.h"

namespace ortolan {

struct tagChartAxis {
    uint32_t style = 0;
    // printf format for the numbers of point captions and a class axis, strftime
    // format on a time axis; value axes are labelled short whatever it says.
    std::string format;
    double minimum = 0.0;
    double maximum = 100.0;
    double minorStep = 0.0;   // 0: no step set, the drawing picks one
    double majorStep = 0.0;
    std::string text;         // axis caption
};

enum class LegendKind { Series, Points };

class CChartModel {
public:
    static constexpr int kAxisX = 0x10000000;
    static constexpr int kAxisY = 0x20000000;
    static constexpr int kChartClasses = 2;   // one bar per point, X labels from the X format
    static constexpr int kChartTrend = 4;     // lines over a time axis
    static constexpr int kChartShare = 6;     // a pie of the first series' points
    // Style words. kAxisAutoScale is the one bit the drawing reads: the axis
    // takes in every point (a value axis fits them, up or down, to a round
    // range from 0). The others are written by the set-ups, the same on every
    // chart of a kind, and stored; the drawing does not depend on them.
    static constexpr uint32_t kChartStyleBase = 0x1;     // added to every chart's style
    static constexpr uint32_t kAxisAutoScale = 0x100;
    static constexpr uint32_t kXAxisBaseBits = 0x10;     // set on every X axis
    static constexpr uint32_t kXAxisClearedBits = 0x1 | 0x2 | 0x40;   // cleared on every X axis
    static constexpr uint32_t kTrendYAxisBits = 0x200;   // set on a trend's Y axis, beside kAxisAutoScale

    CChartModel();
    virtual ~CChartModel() = default;
    CChartModel(const CChartModel&) = delete;
    CChartModel& operator=(const CChartModel&) = delete;

    void SetChartType(int type) { m_type = type; }
    int GetChartType() const { return m_type; }
    uint32_t GetStyle() const { return m_style; }
    void SetStyle(uint32_t style) { m_style = style; }
    uint32_t GetAxisStyleX() const { return m_x.style; }
    void SetAxisStyleX(uint32_t style) { m_x.style = style; }
    uint32_t GetAxisStyleY() const { return m_y.style; }
    void SetAxisStyleY(uint32_t style) { m_y.style = style; }

    void SetAxisFormatString(int axis, const std::string& format);
    void SetAxisScale(int axis, double minimum, double maximum);
    void SetScaleStep(int axis, double minorStep, double majorStep);
    void SetAxisText(int axis, const std::string& text);
    // The X axis for kAxisX, else the Y axis.
    const tagChartAxis& GetAxis(int axis) const { return axis == kAxisX ? m_x : m_y; }

    void SetLineColor(uint32_t color) { m_lineColor = color; }
    uint32_t GetLineColor() const { return m_lineColor; }
    void SetChartFillColor(uint32_t color) { m_fillColor = color; }
    uint32_t GetChartFillColor() const { return m_fillColor; }
    void SetWindowColor(uint32_t color) { m_windowColor = color; }
    uint32_t GetWindowColor() const { return m_windowColor; }
    void SetFont(int pointSize, const std::string& face, int flags);
    int GetFontSize() const { return m_fontSize; }
    const std::string& GetFontFace() const { return m_fontFace; }

    void SetHeaderText(int position, const std::string& text);
    const std::string& GetHeaderText() const { return m_headerText; }
    int GetHeaderPosition() const { return m_headerPosition; }
    void SetHeaderTextColor(uint32_t color) { m_headerColor = color; }
    uint32_t GetHeaderTextColor() const { return m_headerColor; }
    void SetFooterTextColor(uint32_t color) { m_footerColor = color; }
    uint32_t GetFooterTextColor() const { return m_footerColor; }
    void ShowHeader(bool show = true) { m_headerShown = show; }
    bool IsHeaderShown() const { return m_headerShown; }
    void ShowFooter(bool show = true) { m_footerShown = show; }
    bool IsFooterShown() const { return m_footerShown; }

    void ShowLegend(bool show = true) { m_legendShown = show; }
    bool IsLegendShown() const { return m_legendShown; }
    // 1: right of the plot, 2: top, 3: bottom, 4: left.
    void SetLegendPosition(int position) { m_legendPosition = position; }
    int GetLegendPosition() const { return m_legendPosition; }
    // Stored only: the drawing fits the legend by itself.
    void SetLegendAutoHide(int width, int height);
    // Both show the legend; they choose whether it lists points or series.
    void ShowPointLegend(bool show = true);
    void ShowSeriesLegend(bool show = true);
    LegendKind GetLegendKind() const { return m_legendKind; }

    // The new series' index.
    int AddDataSeries(const std::string& caption, uint32_t color);
    // Copies the point into the series; an unknown series index is ignored.
    void AddDataPoint(const CDataPoint& point, int series);
    // nullptr for an unknown index. Pointers stay valid until Purge.
    CDataSeries* GetDataSeries(int index);
    const CDataSeries* GetDataSeries(int index) const;
    // 0 for an unknown series.
    int GetNumOfDataPoints(int series) const;
    int GetCount() const { return static_cast<int>(m_series.size()); }
    // Empty text for an unknown index.
    std::string GetDataSeriesCaption(int index) const;
    // Drops every series and point; settings stay, and the chart can be refilled.
    void Purge() { m_series.clear(); }

    // Draws the chart as it now is; nothing to draw without a widget.
    virtual void Redraw() {}

private:
    int m_type = kChartTrend;
    uint32_t m_style = 0;
    tagChartAxis m_x;
    tagChartAxis m_y;
    uint32_t m_lineColor = 0x00C000;
    uint32_t m_fillColor = 0;
    uint32_t m_windowColor = 0;
    int m_fontSize = 8;
    std::string m_fontFace;
    std::string m_headerText;
    int m_headerPosition = 3;
    uint32_t m_headerColor = 0xFFFFFF;
    uint32_t m_footerColor = 0;
    bool m_headerShown = true;
    bool m_footerShown = false;
    bool m_legendShown = true;
    int m_legendPosition = 1;
    int m_legendAutoHideWidth = 0;
    int m_legendAutoHideHeight = 0;
    LegendKind m_legendKind = LegendKind::Series;
    std::vector<std::unique_ptr<CDataSeries>> m_series;
};

}  // namespace ortolan
