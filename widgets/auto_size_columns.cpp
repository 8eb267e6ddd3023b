// SPDX-License-Identifier: GPL-3.0-or-later
#include "auto_size_columns.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>

namespace ortolan {

void AutoSizeColumns(QTableView* view)
{
    if (!view || !view->model()) return;
    QHeaderView* header = view->horizontalHeader();
    const int columns = view->model()->columnCount();
    if (columns <= 0) return;
    // Sizing column by column would repaint the list once per column.
    const bool updates = view->updatesEnabled();
    view->setUpdatesEnabled(false);
    // QTableView hides its override; through the base it is public and still its own.
    const QAbstractItemView* items = view;
    int freeWidth = view->width() - kAutoSizeReserve;
    for (int c = 0; c < columns; ++c) {
        // Qt reads at most the header's resize precision of rows (1000 by
        // default), so a huge list is sized from a sample, not every row.
        int width = std::max({items->sizeHintForColumn(c), header->sectionSizeHint(c), kAutoSizeMinimum});
        if (c == columns - 1) width = std::max(width, freeWidth);
        header->resizeSection(c, width);
        freeWidth -= width;
    }
    view->setUpdatesEnabled(updates);
}

bool WidenColumnsToFit(QTableView* view, const std::vector<bool>& keep)
{
    if (!view || !view->model()) return false;
    QHeaderView* header = view->horizontalHeader();
    const QAbstractItemView* items = view;
    bool grew = false;
    for (int c = 0; c < view->model()->columnCount(); ++c) {
        if (size_t(c) < keep.size() && keep[size_t(c)]) continue;
        const int width = std::max({items->sizeHintForColumn(c), header->sectionSizeHint(c), kAutoSizeMinimum});
        if (width <= header->sectionSize(c)) continue;
        header->resizeSection(c, width);
        grew = true;
    }
    return grew;
}

}  // namespace ortolan
