// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The list CSV every list window writes: a quoted title line, a quoted header
// line and one line per row, every field in double quotes, lines ending in
// "\n", text in UTF-8. A double quote inside a field is doubled (RFC 4180),
// so host names or owner strings that hold one cannot break the file; a
// field without quotes is written as it is.
#include <string>
#include <vector>

namespace ortolan {

// Header texts longer than this many bytes are cut (at a character boundary).
inline constexpr size_t kMaxCsvHeaderBytes = 1023;

// The field in double quotes, inner quotes doubled.
std::string QuoteCsvField(const std::string& text);

// One cell per header column: short rows get empty cells, extra cells are dropped.
std::string FormatListCsv(const std::string& title, const std::vector<std::string>& headers,
                          const std::vector<std::vector<std::string>>& rows);

}  // namespace ortolan
