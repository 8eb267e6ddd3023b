// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Column sizing of every list: each column as wide as the wider of its
// contents and its header (at least 10 pixels); the last column also takes
// whatever is left of the list's width less 32 pixels.
#include <vector>

class QTableView;

namespace ortolan {

inline constexpr int kAutoSizeReserve = 32;
inline constexpr int kAutoSizeMinimum = 10;

void AutoSizeColumns(QTableView* view);

// Widens each column whose contents or header no longer fit and leaves every
// other width as it is, so a list refreshed with growing values stays
// readable without undoing widths already given. Columns set in `keep` (the
// user dragged their width) are left alone. True when a column grew.
bool WidenColumnsToFit(QTableView* view, const std::vector<bool>& keep = {});

}  // namespace ortolan
