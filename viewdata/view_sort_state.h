// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sort directions that outlive the windows: the application owns one of these
// and hands it to every list window. Both start descending.
namespace ortolan {

struct tagViewSortState {
    bool sortDescending = true;      // every statistics list, all kinds
    bool nodeSortDescending = true;  // the local node list alone
};

}  // namespace ortolan
