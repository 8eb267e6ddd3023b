// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor_settings.h"

namespace ortolan {

static_assert(SettingOf(&tagMonitorSettings::sflowPort).field == &tagMonitorSettings::sflowPort);
static_assert(SettingOf(&tagMonitorSettings::netflowPort).field == &tagMonitorSettings::netflowPort);
static_assert(SettingOf(&tagMonitorSettings::refreshSeconds).field == &tagMonitorSettings::refreshSeconds);
static_assert(SettingOf(&tagMonitorSettings::counterPeriod).field == &tagMonitorSettings::counterPeriod);
static_assert(SettingOf(&tagMonitorSettings::retentionDays).field == &tagMonitorSettings::retentionDays);
static_assert(SettingOf(&tagMonitorSettings::memoryLimitMib).field == &tagMonitorSettings::memoryLimitMib);
// The form's rows come first, and no row after them is on the form.
static_assert([] {
    for (size_t i = size_t(FormSettingCount()); i < kMonitorSettings.size(); ++i)
        if (kMonitorSettings[i].caption) return false;
    return true;
}());

tagMonitorSettings CommandLineDefaults()
{
    tagMonitorSettings settings;
    for (const tagSettingRow& setting : kMonitorSettings) settings.*setting.field = setting.line.initial;
    return settings;
}

const tagSettingRow* FirstFormRangeError(const tagMonitorSettings& values)
{
    for (const tagSettingRow& setting : kMonitorSettings) {
        uint32_t v = values.*setting.field;
        if (v < setting.form.minimum || v > setting.form.maximum) return &setting;
    }
    return nullptr;
}

std::string FormRangeMessage(uint32_t minimum, uint32_t maximum)
{
    return std::to_string(minimum) + " から " + std::to_string(maximum) + " までの整数を入力してください。";
}

std::optional<uint32_t> ParseFormNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return uint32_t(value);
}

}  // namespace ortolan
