// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A list as the detail windows show it and the headless report writes it:
// column headers, and per row the display texts together with the raw values
// the rows sort by. Keeping the raw values beside the texts lets a sort of
// 100,000 rows compare numbers instead of parsing shown text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

enum class SortKind {
    Text,     // the cell's text, byte-wise
    Number,   // the row's number of that column
    AltText,  // the row's altText, byte-wise (a stored text that differs from the cell)
    Address,  // the cell as an IP address: IPv4 by number, then IPv6 by its bytes
};

struct tagListColumn {
    std::string header;
    SortKind sort = SortKind::Text;
};

struct tagListRow {
    std::vector<std::string> cells;
    std::vector<double> numbers;  // one per column; read only for Number columns
    std::string altText;
    int image = 0;
    int64_t itemData = 0;  // the ifIndex of an interface row, the row number of a vendor row
};

struct tagListTable {
    std::vector<tagListColumn> columns;
    std::vector<tagListRow> rows;

    std::vector<std::string> Headers() const;
    // Display texts of every row, in the given order of row indexes (all rows
    // in stored order when the order is empty).
    std::vector<std::vector<std::string>> Cells(const std::vector<int>& order = {}) const;
};

// Row indexes ordered by a column: larger values first when descending. Equal
// values keep the order they had in `order`.
void SortRowOrder(const tagListTable& table, std::vector<int>& order, int column, bool descending);

// An IPv4 text "a.b.c.d" as a number in network order (a most significant), so
// 10.0.0.9 sorts before 10.0.0.10; 0 for a text that is no address.
uint32_t Ipv4Number(std::string_view text);

}  // namespace ortolan
