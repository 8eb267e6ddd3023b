// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitoring settings and the one table that describes them. The window's
// form (captions, units, starting values, accepted ranges), the form's check
// and the headless command's options (names, ranges, defaults, help) are all
// built from kMonitorSettings, so a range is written once.
//
// Each setting has two ranges. The form is forgiving: it takes values it
// can make sense of and reads them its own way (a port of 0 meaning the
// protocol's default port, a refresh interval above 120 s running at 120 s).
// The command line accepts only values that take effect as given, so a
// value it takes is the value it runs with.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "memory_budget.h"

namespace ortolan {

// The values the controller works with. The initial values are the form's.
struct tagMonitorSettings {
    uint32_t sflowPort = 0;        // 0 or above 65535: 6343
    uint32_t netflowPort = 0;      // 0 or above 65535: 2100
    uint32_t refreshSeconds = 60;  // the timer is clamped to 5 to 120 s; replay uses it as is
    uint32_t counterPeriod = 120;  // NetFlow ports close an interval after this many seconds
    uint32_t retentionDays = 14;   // 0 keeps every log
    // The tables of both collectors together, in MiB (ortolan collect --memory-limit).
    uint32_t memoryLimitMib = kDefaultMemoryLimitMib;
};

struct tagSettingRange {
    uint32_t minimum;
    uint32_t maximum;
    uint32_t initial;
};

struct tagSettingRow {
    const char* option;     // the command-line name without its "--", e.g. "refresh"
    const char* valueName;  // what the command line's help calls its value, e.g. "SECONDS"
    const char* caption;    // the form's caption, e.g. "画面更新間隔"; nullptr: not on the form
    const char* unit;     // the unit beside the form's field, or ""
    const char* help;     // the command line's description of it
    uint32_t tagMonitorSettings::*field;
    tagSettingRange form;
    tagSettingRange line;
};

inline constexpr uint32_t kAnyUnsigned = 0xFFFFFFFFu;

// In the form's order, top to bottom; the settings the form does not show
// come last.
inline constexpr std::array<tagSettingRow, 6> kMonitorSettings = {{
    {"sflow-port", "PORT", "sFlowポート", "", "UDP port of the sFlow collector",
     &tagMonitorSettings::sflowPort, {0, 65534, tagMonitorSettings{}.sflowPort}, {1, 65535, 6343}},
    {"netflow-port", "PORT", "NetFlowポート", "", "UDP port of the NetFlow collector",
     &tagMonitorSettings::netflowPort, {0, kAnyUnsigned, tagMonitorSettings{}.netflowPort}, {1, 65535, 2100}},
    {"refresh", "SECONDS", "画面更新間隔", "秒", "seconds between two refreshes of the figures",
     &tagMonitorSettings::refreshSeconds, {5, 300, tagMonitorSettings{}.refreshSeconds}, {5, 120, 60}},
    {"counter-period", "SECONDS", "NetFlowカウンタ周期", "秒", "shortest interval of a NetFlow port, in seconds",
     &tagMonitorSettings::counterPeriod, {0, kAnyUnsigned, tagMonitorSettings{}.counterPeriod},
     {0, kAnyUnsigned, tagMonitorSettings{}.counterPeriod}},
    {"retention", "DAYS", "ログ保存日数", "日", "days a flow log is kept; 0 keeps every log",
     &tagMonitorSettings::retentionDays, {0, kAnyUnsigned, tagMonitorSettings{}.retentionDays},
     {0, kAnyUnsigned, tagMonitorSettings{}.retentionDays}},
    // The window runs at the default.
    {"memory-limit", "MIB", nullptr, "",
     "MiB the statistics of both collectors may hold together; beyond it new entries are refused and counted "
     "(refusedEntries), existing ones go on counting",
     &tagMonitorSettings::memoryLimitMib, {kMinMemoryLimitMib, kMaxMemoryLimitMib, kDefaultMemoryLimitMib},
     {kMinMemoryLimitMib, kMaxMemoryLimitMib, kDefaultMemoryLimitMib}},
}};

// How many settings the form shows: the first rows of the table.
constexpr int FormSettingCount()
{
    int count = 0;
    while (count < int(kMonitorSettings.size()) && kMonitorSettings[size_t(count)].caption) ++count;
    return count;
}

// The table's row of a setting.
constexpr const tagSettingRow& SettingOf(uint32_t tagMonitorSettings::*field)
{
    for (const tagSettingRow& setting : kMonitorSettings)
        if (setting.field == field) return setting;
    return kMonitorSettings[0];  // not reached: monitor_settings.cpp checks every field has its row
}

// The settings at the command line's defaults.
tagMonitorSettings CommandLineDefaults();

// The first setting outside the range the form accepts, or nothing.
const tagSettingRow* FirstFormRangeError(const tagMonitorSettings& values);

// The form's message for a number outside a field's range, naming both ends (UTF-8).
std::string FormRangeMessage(uint32_t minimum, uint32_t maximum);

// A form field's text, or a command-line value, as an unsigned 32-bit number
// (blanks around allowed); nothing for anything else.
std::optional<uint32_t> ParseFormNumber(std::string_view text);

}  // namespace ortolan
