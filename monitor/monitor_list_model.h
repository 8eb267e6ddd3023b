// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor list: one row per monitored port, in the order the ports were
// first met, with the fourteen columns of the main window. The controller
// writes display texts and raw values; the model only hands them out
// (display text, a state icon in front of the key, and the raw value under
// kRawValueRole for sorting and tests). Rows go only when the list is cleared.
#include <QAbstractTableModel>
#include <QList>
#include <QVariant>
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ortolan {

class CMonPort;

enum class MonitorColumn {
    Agent = 0, Ports, Macs, Ips, MacPairs, IpPairs, LoadIndex, PacketRate, Bandwidth,
    ActiveMacs, ActiveIps, TotalPackets, Samples, OutputFile,
};
inline constexpr int kMonitorColumnCount = 14;

class CMonitorListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRawValueRole = Qt::UserRole + 1;

    explicit CMonitorListModel(QObject* parent = nullptr);

    // The exact header texts, in column order.
    static const std::array<const char*, kMonitorColumnCount>& HeaderTexts();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Icons 0, 1 and 2 of the state column; without them no icon is shown.
    // The window hands in its QIcons as variants, so this model, which the
    // headless mode fills too, needs no GUI library.
    void SetStateIcons(QList<QVariant> icons);

    void Clear();
    // Row of the port key, or -1.
    int FindRow(std::string_view key) const;
    // Appends a row with the key in the first column; returns its index.
    int AppendRow(const std::string& key);

    // The setters below change the stored row only; call NotifyChanged once
    // after a batch so a tick costs one repaint, not one per cell.
    void SetPort(int row, CMonPort* port);
    void SetStateIcon(int row, int icon);
    void SetCell(int row, MonitorColumn column, std::string text, double raw);
    void NotifyChanged();
    // Writes the output-file column and repaints it at once (capture button).
    void SetOutputFile(int row, const std::string& path);

    CMonPort* port(int row) const;
    const std::string& key(int row) const;
    int stateIcon(int row) const;
    const std::string& text(int row, MonitorColumn column) const;
    double raw(int row, MonitorColumn column) const;

private:
    struct tagRow {
        CMonPort* port = nullptr;
        int stateIcon = 0;
        std::array<std::string, kMonitorColumnCount> texts;
        std::array<double, kMonitorColumnCount> raws{};
    };
    bool Valid(int row) const { return row >= 0 && row < int(m_rows.size()); }

    std::vector<tagRow> m_rows;
    std::unordered_map<std::string, int> m_rowOfKey;
    QList<QVariant> m_icons;
};

}  // namespace ortolan
