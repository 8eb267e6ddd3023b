// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A list table as a Qt model: display texts, the row's small image, and under
// kSortRole the raw value the column sorts by. Sorting reorders an index over
// the rows, so 100,000 rows sort in a moment and selections follow their rows.
#include <QAbstractTableModel>
#include <vector>

#include "list_table.h"
#include "small_images.h"

class QTableView;

namespace ortolan {

class CListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kSortRole = Qt::UserRole;
    static constexpr int kItemDataRole = Qt::UserRole + 1;

    // Without images the rows show no picture in front (the port detail table).
    explicit CListModel(tagListTable table, QObject* parent = nullptr, bool images = true);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Orders the rows by a column's raw values; equal values keep their order.
    void SortByColumn(int column, bool descending);
    // The stored row shown at a position; nullptr outside the list.
    const tagListRow* RowAt(int row) const;
    const tagListTable& table() const { return m_table; }
    // Stored row indexes in the order shown.
    const std::vector<int>& order() const { return m_order; }

private:
    tagListTable m_table;
    std::vector<int> m_order;
    SmallImages m_images;
    bool m_showImages;
};

// The look every detail list shares: whole-row selection, grid lines, no
// editing, sorting left to the window, clickable headers.
void ConfigureListView(QTableView* view);
// Every column starts 1.5 times as wide as its header text.
void SetInitialColumnWidths(QTableView* view);

}  // namespace ortolan
