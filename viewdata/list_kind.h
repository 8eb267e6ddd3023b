// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thirteen kinds of statistics list: their window and chart titles. The
// index is the one of the main window's list-kind drop-down.
#include <optional>
#include <string>

namespace ortolan {

inline constexpr int kListKindCount = 13;
inline constexpr int kListKindSizeClasses = 10;
inline constexpr int kListKindInterfaces = 11;
inline constexpr int kListKindVendors = 12;

struct tagListKindInfo {
    const char* title;       // window title and CSV title
    const char* chartTitle;  // header of the share chart
    const char* menuText;    // text of the main window's drop-down entry
};

bool IsListKind(int kind);
// Kind 0 to 12; an invalid kind gives the first.
const tagListKindInfo& ListKindInfo(int kind);
// "0" to "12" as a kind; nothing for anything else.
std::optional<int> ParseListKind(const std::string& text);

}  // namespace ortolan
