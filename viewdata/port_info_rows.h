// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the port detail window shows of one interface: its hourly samples as a
// table, the split of received packets by type, and the send and receive rates
// between the kept hours.
#include <cstdint>
#include <deque>
#include <string>

#include "list_table.h"

namespace ortolan {

class CChartModel;
struct _tagIf_counters;
struct tagIfCounter;
struct tagSamplingSeen;

// Utilisation: in and out octets against the interface's speed, in %.
enum class TrendUnit { MegabitsPerSecond = 0, PacketsPerSecond = 1, UtilisationPercent = 2 };

// One row per history sample, oldest first. Where a speed is known (a
// sample's ifSpeed, else snmpSpeed in bit/s), two more columns give the in
// and out utilisation since the sample before, empty where none can be had.
tagListTable BuildPortInfoTable(const tagIfCounter& ifc, uint64_t snmpSpeed = 0);

// Whether utilisation can be shown: a sample of the history or SNMP gives a speed.
bool HasInterfaceSpeed(const std::deque<_tagIf_counters>& history, uint64_t snmpSpeed);

// The sampling rate of a port's records: "1/512"; "1/100〜1/4000" when they
// came at several; "不明" when none carried one. Records without a rate are
// added as "（レート不明 N件）", their figures counted once.
std::string SamplingRateText(const tagSamplingSeen& sampling);

// Octets in steps of 1000: "%.0lf", "%.3lfKB", "%.3lfMB", "%.3lfGB".
std::string OctetsText(uint64_t octets);

// The "パケット種類別割合" pie of the current sample; all zero when nothing
// was received. Width and height are the chart's size.
void BuildPacketTypeChart(CChartModel& chart, const _tagIf_counters& current, int width, int height);

// The send and receive trend over the history in the chosen unit; now (seconds
// since 1970) sets the scale shown until the points replace it. snmpSpeed
// (bit/s) stands in for the samples' ifSpeed where that is 0.
void BuildTrendChart(CChartModel& chart, const std::deque<_tagIf_counters>& history, TrendUnit unit,
                     int64_t now, uint64_t snmpSpeed = 0);

}  // namespace ortolan
