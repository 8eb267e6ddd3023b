// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A list of text rows under fixed column headers, for the setup window's two
// lists. The rows are shown in the order given (the lists are not sorted).
#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace ortolan {

class CTextTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CTextTableModel(QObject* parent = nullptr);

    // New columns; all rows are removed.
    void SetColumns(const std::vector<std::string>& headers);
    // Replaces the rows; cells beyond the columns are not shown.
    void SetRows(std::vector<std::vector<std::string>> rows);

    const std::vector<std::string>& headers() const { return m_headers; }
    const std::vector<std::vector<std::string>>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<std::string> m_headers;
    std::vector<std::vector<std::string>> m_rows;
};

}  // namespace ortolan
