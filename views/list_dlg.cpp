// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "auto_size_columns.h"
#include "chart_ctrl.h"
#include "chart_export.h"
#include "dialog_seam.h"
#include "list_csv_export.h"
#include "list_kind.h"
#include "list_model.h"
#include "list_rows.h"
#include "mon_port.h"
#include "interface_texts.h"
#include "port_info_dlg.h"
#include "port_info_rows.h"
#include "sort_arrow.h"
#include "view_sort_state.h"

namespace ortolan {
namespace {

// The rows open sorted by this column, except the packet-size classes.
constexpr int kOpeningSortColumn = 2;

}  // namespace

CListDlg::CListDlg(CMonPort& port, int listKind, const COuiTable& oui, tagViewSortState& sortState,
                   IDialogSeam& dialogs, QWidget* parent, const IHostNameLookup* hostNames, std::mutex* tables,
                   const IInterfaceNameLookup* ifNames, bool scaled)
    : QDialog(parent), m_port(port), m_tables(tables), m_listKind(listKind), m_sortState(sortState), m_dialogs(dialogs)
{
    const tagListKindInfo& info = ListKindInfo(listKind);
    setWindowTitle(QString::fromUtf8(info.title));
    resize(820, 600);

    m_chart = new CChartCtrl(this);
    m_chart->setMinimumHeight(200);
    m_view = new QTableView(this);
    ConfigureListView(m_view);

    m_details = new QPushButton(QStringLiteral("詳細情報"), this);
    auto* save = new QPushButton(QStringLiteral("グラフ保存"), this);
    auto* copy = new QPushButton(QStringLiteral("グラフCOPY"), this);
    auto* csv = new QPushButton(QStringLiteral("CSV出力"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_details);
    buttons->addStretch(1);
    for (QPushButton* b : {save, copy, csv, close}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chart, 2);
    layout->addWidget(m_view, 3);
    layout->addLayout(buttons);
    // The chart's size decides its legend; lay out before charting.
    layout->activate();

    SetUpShareChart(*m_chart, listKind);
    // The rows are texts and values of their own: the receive thread waits
    // only while they are copied out, not while they are sorted and shown.
    tagBuiltList built;
    const IfNameTable* agentIfNames = ifNames ? ifNames->InterfaceNames(port.agent) : nullptr;
    {
        std::unique_lock<std::mutex> lock = LockTables();
        built = BuildListRows(listKind, port, oui, hostNames, agentIfNames, scaled);
        if (listKind == kListKindInterfaces) m_samplingText = SamplingRateText(port.sampling);
    }
    m_topEntries = std::move(built.topEntries);
    m_model = new CListModel(std::move(built.table), this);
    m_view->setModel(m_model);
    SetInitialColumnWidths(m_view);
    BuildShareChart(*m_chart, listKind, m_topEntries, built.total, m_chart->width(), m_chart->height());
    m_chart->Redraw();

    m_details->setVisible(listKind == kListKindInterfaces);
    m_details->setEnabled(false);
    if (listKind != kListKindSizeClasses) {
        m_model->SortByColumn(kOpeningSortColumn, m_sortState.sortDescending);
        ShowSortArrow(m_view->horizontalHeader(), kOpeningSortColumn, m_sortState.sortDescending);
    }
    AutoSizeColumns(m_view);

    m_openDetail = [this, agentIfNames](const tagIfCounter& ifc) {
        CPortInfoDlg dlg(ifc, m_dialogs, this, {}, agentIfNames, m_samplingText);
        dlg.exec();
    };
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this, &CListDlg::SortByHeader);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateDetailsButton(); });
    connect(m_details, &QPushButton::clicked, this, &CListDlg::OpenDetails);
    connect(save, &QPushButton::clicked, this, &CListDlg::SaveChart);
    connect(copy, &QPushButton::clicked, this, &CListDlg::CopyChart);
    connect(csv, &QPushButton::clicked, this, &CListDlg::ExportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

CListDlg::~CListDlg() = default;

void CListDlg::SetDetailOpener(std::function<void(const tagIfCounter&)> opener) { m_openDetail = std::move(opener); }

void CListDlg::SortByHeader(int column)
{
    m_sortState.sortDescending = !m_sortState.sortDescending;
    m_model->SortByColumn(column, m_sortState.sortDescending);
    ShowSortArrow(m_view->horizontalHeader(), column, m_sortState.sortDescending);
}

std::unique_lock<std::mutex> CListDlg::LockTables() const
{
    return m_tables ? std::unique_lock<std::mutex>(*m_tables) : std::unique_lock<std::mutex>();
}

std::optional<tagIfCounter> CListDlg::SelectedInterface() const
{
    if (m_listKind != kListKindInterfaces) return std::nullopt;
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    int first = rows.front().row();
    for (const QModelIndex& r : rows) first = std::min(first, r.row());
    const tagListRow* row = m_model->RowAt(first);
    if (!row) return std::nullopt;
    std::unique_lock<std::mutex> lock = LockTables();
    auto it = m_port.interfaces.find(static_cast<uint32_t>(row->itemData));
    if (it == m_port.interfaces.end()) return std::nullopt;
    return it->second;
}

void CListDlg::UpdateDetailsButton()
{
    m_details->setEnabled(false);
    std::optional<tagIfCounter> ifc = SelectedInterface();
    if (ifc && ifc->history.size() > 1) m_details->setEnabled(true);
}

void CListDlg::OpenDetails()
{
    if (m_view->selectionModel()->selectedRows().size() != 1) return;
    std::optional<tagIfCounter> ifc = SelectedInterface();
    if (ifc && m_openDetail) m_openDetail(*ifc);
}

void CListDlg::SaveChart() { SaveChartBitmap(m_dialogs, this, *m_chart); }

void CListDlg::CopyChart() { CopyChartImage(m_dialogs, *m_chart); }

void CListDlg::ExportCsv()
{
    const QString title = windowTitle();
    ExportListCsv(m_dialogs, this, title, title + QStringLiteral(".csv"), *m_model);
}

}  // namespace ortolan
