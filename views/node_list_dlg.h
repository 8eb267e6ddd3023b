// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "ローカルノード一覧": the nodes with private addresses of every port of both
// collectors, read once when the window opens. Its sort direction is its own,
// kept for the program's life in the state the application hands in.
#include <QDialog>
#include <cstdint>
#include <functional>

class QTableView;

namespace ortolan {

class CListModel;
class CNFlowMon;
class CSFlowMon;
class IDialogSeam;
class IHostNameLookup;
struct tagViewSortState;

class CNodeListDlg : public QDialog {
    Q_OBJECT
public:
    // The clock (seconds since 1970) decides the row images; the wall clock by
    // default. The host column shows the names the lookup gives, none without one.
    CNodeListDlg(CSFlowMon& sflow, CNFlowMon& nflow, tagViewSortState& sortState, IDialogSeam& dialogs,
                 QWidget* parent = nullptr, std::function<int64_t()> clock = {},
                 const IHostNameLookup* hostNames = nullptr);
    ~CNodeListDlg() override;

    // A click on a column header.
    void SortByHeader(int column);
    void ExportCsv();

    CListModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }

private:
    tagViewSortState& m_sortState;
    IDialogSeam& m_dialogs;
    CListModel* m_model = nullptr;
    QTableView* m_view = nullptr;
};

}  // namespace ortolan
