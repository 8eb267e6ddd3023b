// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor_list_model.h"

namespace ortolan {
namespace {

const std::string kEmpty;

}  // namespace

CMonitorListModel::CMonitorListModel(QObject* parent) : QAbstractTableModel(parent) {}

const std::array<const char*, kMonitorColumnCount>& CMonitorListModel::HeaderTexts()
{
    // The first header ends with a space: the state icon sits in that column.
    static const std::array<const char*, kMonitorColumnCount> headers = {
        "エージェント ", "ポート", "MAC.Addr", "IP.Addr", "MAC.Mtx", "IP.Mtx", "負荷指数",
        "Packet/秒", "MBits/秒", "Act.MAC", "Act.IP", "総パケット", "サンプル数", "出力ファイル",
    };
    return headers;
}

int CMonitorListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CMonitorListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kMonitorColumnCount;
}

QVariant CMonitorListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !Valid(index.row()) || index.column() >= kMonitorColumnCount) return {};
    const tagRow& row = m_rows[size_t(index.row())];
    int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row.texts[size_t(column)]);
    case Qt::DecorationRole:
        if (column == 0 && row.stateIcon >= 0 && row.stateIcon < m_icons.size())
            return m_icons[row.stateIcon];
        return {};
    case Qt::TextAlignmentRole:
        if (column == 0 || column == int(MonitorColumn::OutputFile))
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case kRawValueRole:
        if (column == 0 || column == int(MonitorColumn::OutputFile))
            return QString::fromStdString(row.texts[size_t(column)]);
        return row.raws[size_t(column)];
    default:
        return {};
    }
}

QVariant CMonitorListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kMonitorColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(HeaderTexts()[size_t(section)]);
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void CMonitorListModel::SetStateIcons(QList<QVariant> icons)
{
    m_icons = std::move(icons);
    if (!m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void CMonitorListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfKey.clear();
    endResetModel();
}

int CMonitorListModel::FindRow(std::string_view key) const
{
    auto it = m_rowOfKey.find(std::string(key));
    return it == m_rowOfKey.end() ? -1 : it->second;
}

int CMonitorListModel::AppendRow(const std::string& key)
{
    int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    tagRow r;
    r.texts[0] = key;
    m_rows.push_back(std::move(r));
    m_rowOfKey.emplace(key, row);
    endInsertRows();
    return row;
}

void CMonitorListModel::SetPort(int row, CMonPort* port)
{
    if (Valid(row)) m_rows[size_t(row)].port = port;
}

void CMonitorListModel::SetStateIcon(int row, int icon)
{
    if (Valid(row)) m_rows[size_t(row)].stateIcon = icon;
}

void CMonitorListModel::SetCell(int row, MonitorColumn column, std::string text, double raw)
{
    if (!Valid(row) || column == MonitorColumn::Agent) return;
    tagRow& r = m_rows[size_t(row)];
    r.texts[size_t(column)] = std::move(text);
    r.raws[size_t(column)] = raw;
}

void CMonitorListModel::NotifyChanged()
{
    if (!m_rows.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kMonitorColumnCount - 1));
}

void CMonitorListModel::SetOutputFile(int row, const std::string& path)
{
    if (!Valid(row)) return;
    m_rows[size_t(row)].texts[size_t(MonitorColumn::OutputFile)] = path;
    QModelIndex cell = index(row, int(MonitorColumn::OutputFile));
    emit dataChanged(cell, cell);
}

CMonPort* CMonitorListModel::port(int row) const { return Valid(row) ? m_rows[size_t(row)].port : nullptr; }

const std::string& CMonitorListModel::key(int row) const
{
    return Valid(row) ? m_rows[size_t(row)].texts[0] : kEmpty;
}

int CMonitorListModel::stateIcon(int row) const { return Valid(row) ? m_rows[size_t(row)].stateIcon : -1; }

const std::string& CMonitorListModel::text(int row, MonitorColumn column) const
{
    return Valid(row) ? m_rows[size_t(row)].texts[size_t(column)] : kEmpty;
}

double CMonitorListModel::raw(int row, MonitorColumn column) const
{
    return Valid(row) ? m_rows[size_t(row)].raws[size_t(column)] : 0.0;
}

}  // namespace ortolan
