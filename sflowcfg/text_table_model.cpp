// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_table_model.h"

namespace ortolan {

CTextTableModel::CTextTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void CTextTableModel::SetColumns(const std::vector<std::string>& headers)
{
    beginResetModel();
    m_headers = headers;
    m_rows.clear();
    endResetModel();
}

void CTextTableModel::SetRows(std::vector<std::vector<std::string>> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CTextTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTextTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CTextTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    size_t row = static_cast<size_t>(index.row());
    size_t column = static_cast<size_t>(index.column());
    if (row >= m_rows.size() || column >= m_rows[row].size()) return QString();
    return QString::fromStdString(m_rows[row][column]);
}

QVariant CTextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (section < 0 || static_cast<size_t>(section) >= m_headers.size()) return {};
    return QString::fromStdString(m_headers[static_cast<size_t>(section)]);
}

}  // namespace ortolan
