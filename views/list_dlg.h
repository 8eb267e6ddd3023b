// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics list of one port: one of the thirteen tables as a sortable
// list under a share chart of its largest rows, read once when the window
// opens. A header click flips the program-wide direction and sorts by that
// column's stored values.
#include <QDialog>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "share_chart.h"

class QPushButton;
class QTableView;

namespace ortolan {

class CChartCtrl;
class CListModel;
class CMonPort;
class COuiTable;
class IDialogSeam;
class IHostNameLookup;
class IInterfaceNameLookup;
struct tagIfCounter;
struct tagViewSortState;

class CListDlg : public QDialog {
    Q_OBJECT
public:
    // Scaled: the packet and byte columns, the chart and the CSV hold the
    // figures scaled by the sampling rates (BuildListRows).
    // The port, the names and the sort state must outlive the window. The IP
    // list shows the host names the lookup gives, none without one. tables:
    // the lock of the port's collector while a receive thread fills it; the
    // window copies what it shows under it and never holds it otherwise.
    // ifNames: the interface names the interface list and its detail show.
    CListDlg(CMonPort& port, int listKind, const COuiTable& oui, tagViewSortState& sortState,
             IDialogSeam& dialogs, QWidget* parent = nullptr, const IHostNameLookup* hostNames = nullptr,
             std::mutex* tables = nullptr, const IInterfaceNameLookup* ifNames = nullptr, bool scaled = false);
    ~CListDlg() override;

    // What "詳細情報" does with the chosen interface; by default the port
    // detail window, modally.
    void SetDetailOpener(std::function<void(const tagIfCounter&)> opener);

    // A click on a column header.
    void SortByHeader(int column);
    void OpenDetails();
    void SaveChart();
    void CopyChart();
    void ExportCsv();

    int listKind() const { return m_listKind; }
    CListModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }
    CChartCtrl* chart() const { return m_chart; }
    QPushButton* detailsButton() const { return m_details; }
    const std::vector<tagTopEntry>& topEntries() const { return m_topEntries; }

private:
    void UpdateDetailsButton();
    // A copy of the chosen interface's counters, taken under the tables' lock.
    std::optional<tagIfCounter> SelectedInterface() const;
    // Holds the tables' lock when there is one.
    std::unique_lock<std::mutex> LockTables() const;

    CMonPort& m_port;
    // The port's sampling rates as the interface detail shows them, read with the rows.
    std::string m_samplingText;
    std::mutex* m_tables;
    int m_listKind;
    tagViewSortState& m_sortState;
    IDialogSeam& m_dialogs;
    std::vector<tagTopEntry> m_topEntries;
    CListModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    CChartCtrl* m_chart = nullptr;
    QPushButton* m_details = nullptr;
    std::function<void(const tagIfCounter&)> m_openDetail;
};

}  // namespace ortolan
