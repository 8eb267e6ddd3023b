// SPDX-License-Identifier: GPL-3.0-or-later
#include "node_list_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <ctime>
#include <mutex>

#include "auto_size_columns.h"
#include "dialog_seam.h"
#include "list_csv_export.h"
#include "list_model.h"
#include "nflow_mon.h"
#include "node_list_rows.h"
#include "sflow_mon.h"
#include "sort_arrow.h"
#include "view_sort_state.h"

namespace ortolan {
namespace {

constexpr const char* kTitle = "ローカルノード一覧";
constexpr const char* kCsvName = "LOCALNODE.csv";

}  // namespace

CNodeListDlg::CNodeListDlg(CSFlowMon& sflow, CNFlowMon& nflow, tagViewSortState& sortState, IDialogSeam& dialogs,
                           QWidget* parent, std::function<int64_t()> clock, const IHostNameLookup* hostNames)
    : QDialog(parent), m_sortState(sortState), m_dialogs(dialogs)
{
    setWindowTitle(QString::fromUtf8(kTitle));
    resize(1000, 520);
    m_view = new QTableView(this);
    ConfigureListView(m_view);
    auto* csv = new QPushButton(QStringLiteral("CSV出力"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(csv);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    layout->activate();

    const int64_t now = clock ? clock() : static_cast<int64_t>(std::time(nullptr));
    tagListTable rows;
    {
        // The rows are copied out under both collectors' locks and shown without them.
        std::scoped_lock tables(sflow.tablesMutex(), nflow.tablesMutex());
        rows = BuildLocalNodeRows(sflow, nflow, now, hostNames);
    }
    m_model = new CListModel(std::move(rows), this);
    m_view->setModel(m_model);
    SetInitialColumnWidths(m_view);
    AutoSizeColumns(m_view);

    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, &CNodeListDlg::SortByHeader);
    connect(csv, &QPushButton::clicked, this, &CNodeListDlg::ExportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

CNodeListDlg::~CNodeListDlg() = default;

void CNodeListDlg::SortByHeader(int column)
{
    m_sortState.nodeSortDescending = !m_sortState.nodeSortDescending;
    m_model->SortByColumn(column, m_sortState.nodeSortDescending);
    ShowSortArrow(m_view->horizontalHeader(), column, m_sortState.nodeSortDescending);
}

void CNodeListDlg::ExportCsv()
{
    ExportListCsv(m_dialogs, this, QString::fromUtf8(kTitle), QString::fromUtf8(kCsvName), *m_model);
}

}  // namespace ortolan
