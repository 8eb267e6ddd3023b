// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sort arrow of a list's header, pointing the way the rows run: up (the
// smallest first) when ascending, down (the largest first) when descending.
class QHeaderView;

namespace ortolan {

void ShowSortArrow(QHeaderView* header, int column, bool descending);

}  // namespace ortolan
