// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the entry dialogs start from and the set lines they send: one set
// request per edited row, in the SNMP layer's line syntax (name.index=value,
// name.index:x=hex for an address), each line ending in "\n". Plain C++.
#include <cstdint>
#include <optional>
#include <string>

#include "sf_agent_rows.h"

namespace ortolan {

// Period units of the entry dialogs: 秒, 分, 時間, 日, 月 (30 days), 年.
inline constexpr int kPeriodUnitCount = 6;
// One 年 is a calendar year of 365 days.
inline constexpr uint32_t kSecondsPerYear = 365u * 86400u;
// Seconds of one unit; 0 for an index outside the list.
uint32_t SecondsPerUnit(int unitIndex);

struct tagPeriod {
    int value = 0;
    int unitIndex = 0;
};

// The largest unit that divides the seconds exactly: 7200 shows as 2 時間,
// 90 as 90 秒, 31536000 as 1 年, 0 as 0 秒. Negative values stay in seconds.
tagPeriod NormalizePeriod(int seconds);

// value × the unit's seconds; nothing when the result is negative or beyond
// 2147483647, or the unit is unknown ("期間の設定が正しくありません。").
std::optional<int> PeriodSeconds(int value, int unitIndex);

// Datagram version list "2", "4", "5": the index of a cell text (2 → 0,
// 4 → 1, anything else → 2) and the version of an index.
int DatagramVersionIndexOf(const std::string& cellText);
int DatagramVersionOfIndex(int index);

// Starting values and results of CSfV5PortDlg.
struct tagSfV5PortEntry {
    std::string dataSource;  // read-only
    int collector = 0;       // serves the flow sampler and the counter poller
    int samplingRate = 0;
    int headerSize = 0;
    int counterInterval = 0;
};

// Starting values and results of CSFEntryDlg (a row of the older MIB).
struct tagSfV4Entry {
    std::string dataSource;  // read-only
    std::string owner;
    tagPeriod period;
    int samplingRate = 0;
    int counterInterval = 0;
    uint32_t collectorAddress = 0;  // host order
    int collectorPort = 0;
    int datagramVersionIndex = 2;
    int headerSize = 0;
    int packetSize = 0;
};

// Starting values and results of CSfV5RcvrDlg.
struct tagSfV5RcvrEntry {
    std::string collectorNumber;  // read-only
    std::string owner;
    tagPeriod period;
    int packetSize = 0;
    uint32_t collectorAddress = 0;  // host order
    int port = 0;
    int datagramVersionIndex = 2;
};

tagSfV5PortEntry StartValuesOf(const tagSfV5PortRow& row);
tagSfV4Entry StartValuesOf(const tagSfV4PortRow& row);
tagSfV5RcvrEntry StartValuesOf(const tagSfV5RcvrRow& row);

// The set lines of an edited row. The older row and the receiver are refused
// (nothing) when their period is.
std::string BuildV5PortSetLines(const tagSfV5PortEntry& entry, const std::string& index);
std::optional<std::string> BuildV4SetLines(const tagSfV4Entry& entry, const std::string& index);
std::optional<std::string> BuildV5RcvrSetLines(const tagSfV5RcvrEntry& entry, const std::string& index);

}  // namespace ortolan
