// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_selection.h"

#include <algorithm>

#include "flow_log.h"

namespace ortolan {
namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

}  // namespace

void CLogSelection::Fill(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    m_names = std::move(names);
    m_selected.assign(m_names.size(), false);
    m_scroll.reset();
    if (m_names.empty()) return;
    size_t last = m_names.size() - 1;
    m_selected[last] = true;
    m_scroll = tagListScroll{last > 0 ? last - 1 : 0, true};
}

void CLogSelection::SetSelected(size_t index, bool selected)
{
    if (index < m_selected.size()) m_selected[index] = selected;
}

std::optional<size_t> CLogSelection::Find(std::string_view name) const
{
    for (size_t i = 0; i < m_names.size(); ++i)
        if (StartsWithNoCase(m_names[i], name)) return i;
    return std::nullopt;
}

void CLogSelection::SelectDay(int64_t t)
{
    if (auto index = Find(CFlowLog::FileNameFor(t))) m_selected[*index] = true;
}

void CLogSelection::SelectToday(int64_t now)
{
    m_selected.assign(m_names.size(), false);
    SelectDay(now);
    if (auto index = Find(CFlowLog::FileNameFor(now))) m_scroll = tagListScroll{*index, true};
}

void CLogSelection::SelectWeek(int64_t now)
{
    m_selected.assign(m_names.size(), false);
    // The last seven days, today included, not the calendar week.
    for (int step = 0; step < 7; ++step) SelectDay(now - 518400 + int64_t(step) * 86400);
    if (auto index = Find(CFlowLog::FileNameFor(now))) m_scroll = tagListScroll{*index, false};
}

void CLogSelection::SelectAll()
{
    m_selected.assign(m_names.size(), true);
    ScrollToLast();
}

void CLogSelection::ClearAll()
{
    m_selected.assign(m_names.size(), false);
    ScrollToLast();
}

void CLogSelection::ScrollToLast()
{
    if (!m_names.empty()) m_scroll = tagListScroll{m_names.size() - 1, false};
}

std::vector<std::string> CLogSelection::SelectedNames() const
{
    std::vector<std::string> chosen;
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_selected[i]) chosen.push_back(m_names[i]);
    return chosen;
}

RunCheck CLogSelection::CheckRun(bool online, const std::string& folder) const
{
    if (online && folder.empty()) return RunCheck::NoFolder;
    if (online && !m_names.empty() && !m_selected.back()) return RunCheck::AskTodayMissing;
    return RunCheck::Proceed;
}

}  // namespace ortolan
