// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_model.h"

#include <QHeaderView>
#include <QTableView>
#include <numeric>

#include "elided_tip_delegate.h"
#include "small_images.h"

namespace ortolan {

CListModel::CListModel(tagListTable table, QObject* parent, bool images)
    : QAbstractTableModel(parent),
      m_table(std::move(table)),
      m_order(m_table.rows.size()),
      m_images(MakeSmallImages()),
      m_showImages(images)
{
    std::iota(m_order.begin(), m_order.end(), 0);
}

int CListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int CListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_table.columns.size());
}

const tagListRow* CListModel::RowAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_order.size()) return nullptr;
    return &m_table.rows[static_cast<size_t>(m_order[static_cast<size_t>(row)])];
}

QVariant CListModel::data(const QModelIndex& index, int role) const
{
    const tagListRow* row = RowAt(index.row());
    if (!row || index.column() < 0) return {};
    const size_t c = static_cast<size_t>(index.column());
    if (c >= m_table.columns.size()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return c < row->cells.size() ? QString::fromStdString(row->cells[c]) : QString();
    case Qt::TextAlignmentRole:
        // Numbers line up on their last digit, as in the monitor list.
        return m_table.columns[c].sort == SortKind::Number ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                           : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole:
        return c == 0 && m_showImages ? QVariant(SmallImage(m_images, row->image)) : QVariant();
    case kSortRole:
        switch (m_table.columns[c].sort) {
        case SortKind::Number:
        case SortKind::Address: return c < row->numbers.size() ? row->numbers[c] : 0.0;
        case SortKind::AltText: return QString::fromStdString(row->altText);
        case SortKind::Text: return c < row->cells.size() ? QString::fromStdString(row->cells[c]) : QString();
        }
        return {};
    case kItemDataRole:
        return QVariant::fromValue<qlonglong>(row->itemData);
    default:
        return {};
    }
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || static_cast<size_t>(section) >= m_table.columns.size()) return {};
    return QString::fromStdString(m_table.columns[static_cast<size_t>(section)].header);
}

void CListModel::SortByColumn(int column, bool descending)
{
    if (column < 0 || column >= columnCount()) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> before = m_order;
    SortRowOrder(m_table, m_order, column, descending);
    // Persistent indexes (the selection, the current row) follow their rows.
    std::vector<int> positionOf(m_order.size());
    for (size_t i = 0; i < m_order.size(); ++i) positionOf[static_cast<size_t>(m_order[i])] = static_cast<int>(i);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& idx : from) {
        const int stored = before[static_cast<size_t>(idx.row())];
        to << index(positionOf[static_cast<size_t>(stored)], idx.column());
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ConfigureListView(QTableView* view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setSortingEnabled(false);  // sorted by the windows, which own the direction
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setSectionsClickable(true);
    view->horizontalHeader()->setSortIndicatorShown(true);
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->horizontalHeader()->setHighlightSections(false);
    // A column wider than the list (a long host name, a long pair) keeps its
    // caption at its left edge, where the list scrolls to, not in its middle.
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->setItemDelegate(new CElidedTipDelegate(view));
    view->setIconSize(QSize(16, 16));
}

void SetInitialColumnWidths(QTableView* view)
{
    QHeaderView* header = view->horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int c = 0; c < view->model()->columnCount(); ++c)
        header->resizeSection(
            c, metrics.horizontalAdvance(view->model()->headerData(c, Qt::Horizontal).toString()) * 3 / 2);
}

}  // namespace ortolan
