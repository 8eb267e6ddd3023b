// SPDX-License-Identifier: GPL-3.0-or-later
#include "sort_arrow.h"

#include <QHeaderView>

namespace ortolan {

void ShowSortArrow(QHeaderView* header, int column, bool descending)
{
    if (!header) return;
    // QHeaderView hands an ascending indicator to the style as "sort down",
    // which the styles draw pointing down; the order is given the other way
    // round so the arrow points up over the smallest-first rows.
    header->setSortIndicator(column, descending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace ortolan
