// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The log folder's listing: the files named like "FL*.log" (the letters in any
// case, as the desktop's wildcard matches them), and the date their name holds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

// True for "FL<anything>.log", case-insensitive.
bool IsLogFileName(std::string_view name);

// The bare names of the regular files of the folder (empty: the current folder)
// that are log files, in ascending byte order, which for "FLYYYY-MM-DD.log" is
// chronological. An unreadable folder gives an empty list.
std::vector<std::string> ListLogFiles(const std::string& folder);
// The same of a folder already open (its descriptor stays open and is not moved).
std::vector<std::string> ListLogFiles(int folderFd);

// The end of the day a log's name gives ("FL2009-03-14.log": 14 March 2009,
// 23:59:59 local time), or nothing when the name does not hold three numbers.
std::optional<int64_t> LogFileDayEnd(std::string_view name);

}  // namespace ortolan
