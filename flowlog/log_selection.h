// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the start dialog does with its list of logs, apart from any widget: the
// listed names, which are selected, where the list should scroll, the quick
// selections ("今日", "今週", "全選択", "全解除") and the checks of "実行".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

// Outcome of the checks that "実行" makes before the result list is taken.
enum class RunCheck {
    Proceed,         // go on to the result list
    NoFolder,        // online monitoring without a log folder
    AskTodayMissing  // online monitoring while the newest log is not selected
};

// Where the list should scroll after an operation.
struct tagListScroll {
    size_t index = 0;
    bool toTop = false;  // true: this entry at the top; false: just make it visible
};

class CLogSelection {
public:
    // Lists the names (kept in ascending order), selects the newest and
    // scrolls so that the entry before it is at the top.
    void Fill(std::vector<std::string> names);

    const std::vector<std::string>& names() const { return m_names; }
    size_t size() const { return m_names.size(); }
    bool IsSelected(size_t index) const { return index < m_selected.size() && m_selected[index]; }
    void SetSelected(size_t index, bool selected);
    std::optional<tagListScroll> scroll() const { return m_scroll; }

    // "今日": only today's log, scrolled to the top.
    void SelectToday(int64_t now);
    // "今週": the logs of the seven days ending today; scrolled to today's log.
    void SelectWeek(int64_t now);
    // "全選択" and "全解除": every entry or none, scrolled to the last.
    void SelectAll();
    void ClearAll();

    // The first entry that begins with the name, ignoring case.
    std::optional<size_t> Find(std::string_view name) const;
    // The selected names in list order.
    std::vector<std::string> SelectedNames() const;

    // Checks 2 and 3 of "実行", in that order.
    RunCheck CheckRun(bool online, const std::string& folder) const;
    // Check 5: online, or at least one log to replay.
    bool CanAccept(bool online) const { return online || !SelectedNames().empty(); }

private:
    void SelectDay(int64_t t);
    void ScrollToLast();

    std::vector<std::string> m_names;
    std::vector<bool> m_selected;
    std::optional<tagListScroll> m_scroll;
};

}  // namespace ortolan
