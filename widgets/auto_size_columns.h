// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Column sizing of every list: each column as wide as the wider of its
// contents and its header (at least 10 pixels); the last column also takes
// whatever is left of the list's width less 32 pixels.
class QTableView;

namespace ortolan {

inline constexpr int kAutoSizeReserve = 32;
inline constexpr int kAutoSizeMinimum = 10;

void AutoSizeColumns(QTableView* view);

}  // namespace ortolan
