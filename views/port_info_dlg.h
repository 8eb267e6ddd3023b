// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "ポート詳細": the hourly counters of one interface as a table, the received
// packets by type as a pie, and the send and receive rates as a trend in
// megabits or packets per second, or as utilisation where a speed is known.
// It reads the interface once when it opens. With the agent's interface
// names it titles itself with the interface's name.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "interface_names.h"

class QComboBox;
class QLabel;
class QTableView;

namespace ortolan {

class CChartCtrl;
class CListModel;
class IDialogSeam;
struct tagIfCounter;

class CPortInfoDlg : public QDialog {
    Q_OBJECT
public:
    // The clock gives "now" for the trend's first scale; the wall clock by
    // default. ifNames: the agent's interface names and speeds, or null. The
    // sampling text (SamplingRateText of the interface's port) is shown above
    // the table when given.
    CPortInfoDlg(const tagIfCounter& ifc, IDialogSeam& dialogs, QWidget* parent = nullptr,
                 std::function<int64_t()> clock = {}, const IfNameTable* ifNames = nullptr,
                 const std::string& sampling = {});
    ~CPortInfoDlg() override;

    // "表示": draws the trend in the unit chosen in the drop-down.
    void ShowTrend();
    void SavePieChart();
    void SaveTrendChart();
    void ExportCsv();

    CListModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }
    CChartCtrl* pieChart() const { return m_pie; }
    CChartCtrl* trendChart() const { return m_trend; }
    QComboBox* unitChoice() const { return m_unit; }
    QLabel* samplingLabel() const { return m_sampling; }

private:
    const tagIfCounter& m_ifc;
    IDialogSeam& m_dialogs;
    std::function<int64_t()> m_clock;
    uint64_t m_snmpSpeed = 0;  // bit/s; 0 unknown
    CListModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    CChartCtrl* m_pie = nullptr;
    CChartCtrl* m_trend = nullptr;
    QComboBox* m_unit = nullptr;
    QLabel* m_sampling = nullptr;
};

}  // namespace ortolan
