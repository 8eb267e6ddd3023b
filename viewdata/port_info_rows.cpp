// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_info_rows.h"

#include <cstdio>
#include <ctime>

#include "chart_model.h"
#include "interface_texts.h"
#include "local_time.h"
#include "port_records.h"

namespace ortolan {
namespace {

std::string U64(uint64_t v) { return std::to_string(v); }

// Colours as (red, green, blue) become 0x00BBGGRR.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// Start of the local-time hour of t (zones with half-hour offsets included).
int64_t FloorHour(int64_t t)
{
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return t - ((t % 3600) + 3600) % 3600;
    return t - (tm.tm_min * 60 + tm.tm_sec);
}

// Start of the hour of t; one hour earlier when t is exactly on the hour.
int64_t HourStartBefore(int64_t t)
{
    int64_t start = FloorHour(t);
    return start == t ? start - 3600 : start;
}

double PacketsOut(const _tagIf_counters& c)
{
    return double(c.ifOutUcastPkts) + c.ifOutMulticastPkts + c.ifOutBroadcastPkts;
}

double PacketsIn(const _tagIf_counters& c)
{
    return double(c.ifInUcastPkts) + c.ifInMulticastPkts + c.ifInBroadcastPkts;
}

std::string Format(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

}  // namespace

std::string SamplingRateText(const tagSamplingSeen& sampling)
{
    std::string text;
    if (sampling.ratedRecords == 0)
        text = "不明";
    else if (!sampling.Mixed())
        text = "1/" + std::to_string(sampling.rate);
    else
        text = "1/" + std::to_string(sampling.lowest) + "〜1/" + std::to_string(sampling.highest);
    if (sampling.unscaledRecords != 0 && sampling.ratedRecords != 0)
        text += "（レート不明 " + std::to_string(sampling.unscaledRecords) + "件）";
    else if (sampling.unscaledRecords != 0)
        text += "（" + std::to_string(sampling.unscaledRecords) + "件）";
    return text;
}

std::string OctetsText(uint64_t octets)
{
    double v = double(octets);
    if (v < 1000) return Format("%.0lf", v);
    v /= 1000;
    if (v < 1000) return Format("%.3lfKB", v);
    v /= 1000;
    if (v < 1000) return Format("%.3lfMB", v);
    return Format("%.3lfGB", v / 1000);
}

bool HasInterfaceSpeed(const std::deque<_tagIf_counters>& history, uint64_t snmpSpeed)
{
    if (snmpSpeed) return true;
    for (const _tagIf_counters& c : history)
        if (c.ifSpeed) return true;
    return false;
}

tagListTable BuildPortInfoTable(const tagIfCounter& ifc, uint64_t snmpSpeed)
{
    tagListTable table;
    for (const char* h : {"取得日時   　", "ifInOctets", "ifInUcastPkts", "ifInMulticastPkts", "ifInBroadcastPkts",
                          "ifInDiscards", "ifInErrors", "ifInUnknownProtos", "ifOutOctets", "ifOutUcastPkts",
                          "ifOutMulticastPkts", "ifOutBroadcastPkts", "ifOutDiscards", "ifOutErrors"})
        table.columns.push_back({h, SortKind::Number});
    const bool utilisation = HasInterfaceSpeed(ifc.history, snmpSpeed);
    if (utilisation)
        for (const char* h : {"受信使用率(%)", "送信使用率(%)"}) table.columns.push_back({h, SortKind::Number});
    table.rows.reserve(ifc.history.size());
    const _tagIf_counters* before = nullptr;
    for (const _tagIf_counters& c : ifc.history) {
        tagListRow& row = table.rows.emplace_back();
        auto put = [&row](std::string text, double number) {
            row.cells.push_back(std::move(text));
            row.numbers.push_back(number);
        };
        // The same form as the times of every other list.
        put(FormatLocalTime("%m/%d %H:%M:%S", c.sampleTime), double(c.sampleTime));
        put(OctetsText(c.ifInOctets), double(c.ifInOctets));
        for (uint64_t v : {c.ifInUcastPkts, c.ifInMulticastPkts, c.ifInBroadcastPkts, uint64_t(c.ifInDiscards),
                           uint64_t(c.ifInErrors), uint64_t(c.ifInUnknownProtos)})
            put(U64(v), double(v));
        put(OctetsText(c.ifOutOctets), double(c.ifOutOctets));
        for (uint64_t v : {c.ifOutUcastPkts, c.ifOutMulticastPkts, c.ifOutBroadcastPkts, uint64_t(c.ifOutDiscards),
                           uint64_t(c.ifOutErrors)})
            put(U64(v), double(v));
        if (utilisation) {
            tagUtilisation u = before ? Utilisation(*before, c, snmpSpeed) : tagUtilisation{};
            for (const std::optional<double>& percent : {u.inPercent, u.outPercent})
                put(percent ? Format("%.2f", *percent) : std::string(), percent ? *percent : -1);
        }
        before = &c;
    }
    return table;
}

void BuildPacketTypeChart(CChartModel& chart, const _tagIf_counters& current, int width, int height)
{
    chart.SetChartType(CChartModel::kChartShare);
    // The legend limits are stored as 8-bit values; the drawing fits the legend by itself.
    chart.SetLegendAutoHide((width / 2) & 0xFF, (height - 20) & 0xFF);
    chart.Purge();
    chart.SetAxisStyleY(chart.GetAxisStyleY() | CChartModel::kAxisAutoScale);
    chart.SetAxisStyleX((chart.GetAxisStyleX() | CChartModel::kXAxisBaseBits) &
                        ~(CChartModel::kXAxisClearedBits | CChartModel::kAxisAutoScale));
    chart.SetAxisFormatString(CChartModel::kAxisY, "%.0f");
    const int series = chart.AddDataSeries("", Rgb(0, 0, 255));
    const double total = PacketsIn(current);
    struct Slice {
        const char* format;
        double packets;
        uint32_t color;
    };
    const Slice slices[3] = {
        {"ブロードキャスト (%.2f%%)", double(current.ifInBroadcastPkts), Rgb(255, 255, 0)},
        {"マルチキャスト (%.2f%%)", double(current.ifInMulticastPkts), Rgb(0, 0, 255)},
        {"ユニキャスト (%.2f%%)", double(current.ifInUcastPkts), Rgb(255, 255, 255)},
    };
    for (int i = 0; i < 3; ++i) {
        CDataPoint p;
        p.x = i;
        p.y = total == 0 ? 0 : 100 * slices[i].packets / total;
        p.caption = Format(slices[i].format, p.y);
        p.color = slices[i].color;
        chart.AddDataPoint(p, series);
    }
    chart.SetHeaderText(3, "パケット種類別割合");
    chart.SetHeaderTextColor(Rgb(255, 255, 255));
    chart.SetFooterTextColor(0);
    chart.ShowHeader(true);
    chart.ShowFooter(false);
    chart.ShowLegend(true);
    chart.SetLegendPosition(1);
    chart.ShowPointLegend(true);
}

void BuildTrendChart(CChartModel& chart, const std::deque<_tagIf_counters>& history, TrendUnit unit, int64_t now,
                     uint64_t snmpSpeed)
{
    const bool bits = unit == TrendUnit::MegabitsPerSecond;
    const bool percent = unit == TrendUnit::UtilisationPercent;
    chart.SetChartType(CChartModel::kChartTrend);
    chart.SetLineColor(Rgb(0, 192, 0));
    chart.SetChartFillColor(0);
    chart.SetWindowColor(0);
    chart.SetStyle(chart.GetStyle() | CChartModel::kChartStyleBase);
    chart.SetAxisStyleX((chart.GetAxisStyleX() | CChartModel::kAxisAutoScale | CChartModel::kXAxisBaseBits) &
                        ~CChartModel::kXAxisClearedBits);
    chart.SetAxisStyleY(chart.GetAxisStyleY() | CChartModel::kAxisAutoScale | CChartModel::kTrendYAxisBits);
    chart.SetAxisFormatString(CChartModel::kAxisX, "%H:%M:%S");
    chart.Purge();
    chart.SetHeaderTextColor(Rgb(255, 255, 255));
    chart.SetFooterTextColor(0);
    chart.ShowHeader(true);
    chart.ShowFooter(false);
    chart.ShowSeriesLegend(true);
    chart.SetLegendPosition(1);
    chart.SetLegendAutoHide(50, 80);
    if (percent) {
        chart.SetAxisFormatString(CChartModel::kAxisY, "%.2f");
        chart.SetHeaderText(3, "回線使用率（%）");
        chart.SetAxisText(CChartModel::kAxisY, "%");
        chart.SetAxisScale(CChartModel::kAxisX, double(HourStartBefore(now)), double(now));
    } else if (bits) {
        chart.SetAxisFormatString(CChartModel::kAxisY, "%.4f");
        chart.SetHeaderText(3, "回線負荷（Mbits/秒）");
        chart.SetAxisText(CChartModel::kAxisY, "Mbits/秒");
        chart.SetAxisScale(CChartModel::kAxisX, double(HourStartBefore(now)), double(now));
    } else {
        chart.SetAxisFormatString(CChartModel::kAxisY, "%.2f");
        chart.SetHeaderText(3, "毎秒パケット数");
        chart.SetAxisText(CChartModel::kAxisY, "Packet/秒");
        chart.SetAxisScale(CChartModel::kAxisX, double(now - 3600), double(now));
    }
    const int sent = chart.AddDataSeries("送信", Rgb(255, 255, 255));
    const int received = chart.AddDataSeries("受信", Rgb(255, 255, 0));

    const char* captionFormat = bits ? "%.4f" : "%.2f";
    const _tagIf_counters* previous = nullptr;
    for (const _tagIf_counters& c : history) {
        if (previous && percent) {
            // Restarts, resets and unknown speeds leave gaps, not spikes.
            const tagUtilisation u = Utilisation(*previous, c, snmpSpeed);
            CDataPoint p;
            p.x = double(c.sampleTime);
            if (u.outPercent) {
                p.y = *u.outPercent;
                p.caption = Format(captionFormat, p.y);
                p.color = Rgb(255, 255, 0);
                chart.AddDataPoint(p, sent);
            }
            if (u.inPercent) {
                p.y = *u.inPercent;
                p.caption = Format(captionFormat, p.y);
                p.color = Rgb(255, 255, 255);
                chart.AddDataPoint(p, received);
            }
        } else if (previous) {
            const double dt = double(c.agentUptime) - double(previous->agentUptime);
            if (dt > 0) {
                double tx, rx;
                if (bits) {
                    // Counters that went back (an agent restart) give negative
                    // rates; they are drawn as they are.
                    tx = (double(c.ifOutOctets) - double(previous->ifOutOctets)) / dt * 8 / 1000;
                    rx = (double(c.ifInOctets) - double(previous->ifInOctets)) / dt * 8 / 1000;
                } else {
                    tx = (PacketsOut(c) - PacketsOut(*previous)) / dt * 1000;
                    rx = (PacketsIn(c) - PacketsIn(*previous)) / dt * 1000;
                }
                CDataPoint p;
                p.x = double(c.sampleTime);
                p.y = tx;
                p.caption = Format(captionFormat, tx);
                p.color = Rgb(255, 255, 0);
                chart.AddDataPoint(p, sent);
                p.y = rx;
                p.caption = Format(captionFormat, rx);
                p.color = Rgb(255, 255, 255);
                chart.AddDataPoint(p, received);
            }
        }
        previous = &c;
    }
    if (!history.empty()) {
        const int64_t first = FloorHour(history.front().sampleTime);
        int64_t last = FloorHour(history.back().sampleTime);
        if (last == first) last = first + 3600;
        if (last - first > 129600) chart.SetAxisFormatString(CChartModel::kAxisX, "%m/%d %H:%M");
        chart.SetAxisScale(CChartModel::kAxisX, double(first), double(last));
    }
}

}  // namespace ortolan
