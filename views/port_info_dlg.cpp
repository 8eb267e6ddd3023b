// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_info_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <ctime>

#include "auto_size_columns.h"
#include "chart_ctrl.h"
#include "chart_export.h"
#include "dialog_seam.h"
#include "interface_texts.h"
#include "list_csv_export.h"
#include "list_model.h"
#include "port_info_rows.h"
#include "port_records.h"

namespace ortolan {
namespace {

constexpr const char* kCsvTitle = "ポート情報";

void SetUpChart(CChartModel& chart)
{
    chart.SetLineColor(0x00C000);
    chart.SetChartFillColor(0);
    chart.SetWindowColor(0);
    chart.SetStyle(chart.GetStyle() | CChartModel::kChartStyleBase);
    chart.SetFont(8, "System", 0);
}

}  // namespace

CPortInfoDlg::CPortInfoDlg(const tagIfCounter& ifc, IDialogSeam& dialogs, QWidget* parent,
                           std::function<int64_t()> clock, const IfNameTable* ifNames,
                           const std::string& sampling)
    : QDialog(parent), m_ifc(ifc), m_dialogs(dialogs), m_clock(std::move(clock))
{
    if (!m_clock) m_clock = [] { return static_cast<int64_t>(std::time(nullptr)); };
    const uint32_t ifIndex = ifc.current.ifIndex;
    m_snmpSpeed = SnmpSpeedOf(ifIndex, ifNames);
    const std::string named = InterfaceText(ifIndex, ifNames);
    // Without a known name the title stays as it always was.
    setWindowTitle(named == std::to_string(ifIndex)
                       ? QStringLiteral("ポート詳細")
                       : QStringLiteral("ポート詳細 - ifIndex ") + QString::fromStdString(named));
    // Qt gives a side legend at most about two fifths of its chart's width:
    // the pie needs some 450 pixels for "ブロードキャスト (12.34%)" to show whole.
    resize(1000, 660);

    m_view = new QTableView(this);
    ConfigureListView(m_view);
    m_view->horizontalHeader()->setSortIndicatorShown(false);
    m_pie = new CChartCtrl(this);
    m_trend = new CChartCtrl(this);
    m_pie->setMinimumSize(260, 240);
    m_trend->setMinimumSize(380, 240);
    m_unit = new QComboBox(this);
    m_unit->addItem(QStringLiteral("Mbits/秒"));
    m_unit->addItem(QStringLiteral("Packet/秒"));
    if (HasInterfaceSpeed(ifc.history, m_snmpSpeed)) m_unit->addItem(QStringLiteral("使用率(%)"));
    m_unit->setCurrentIndex(0);

    auto* savePie = new QPushButton(QStringLiteral("グラフ保存"), this);
    auto* show = new QPushButton(QStringLiteral("表示"), this);
    auto* saveTrend = new QPushButton(QStringLiteral("グラフ保存"), this);
    auto* csv = new QPushButton(QStringLiteral("CSV保存"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);

    auto* charts = new QGridLayout;
    charts->addWidget(m_pie, 0, 0);
    charts->addWidget(m_trend, 0, 1);
    charts->setColumnStretch(0, 1);
    charts->setColumnStretch(1, 1);
    auto* pieButtons = new QHBoxLayout;
    pieButtons->addWidget(savePie);
    pieButtons->addStretch(1);
    charts->addLayout(pieButtons, 1, 0);
    auto* trendButtons = new QHBoxLayout;
    trendButtons->addWidget(m_unit);
    trendButtons->addWidget(show);
    trendButtons->addStretch(1);
    trendButtons->addWidget(saveTrend);
    charts->addLayout(trendButtons, 1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(csv);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    if (!sampling.empty()) {
        m_sampling = new QLabel(QStringLiteral("サンプリングレート: ") + QString::fromStdString(sampling), this);
        layout->addWidget(m_sampling);
    }
    layout->addWidget(m_view, 1);
    layout->addLayout(charts, 1);
    layout->addLayout(bottom);
    layout->activate();

    m_model = new CListModel(BuildPortInfoTable(ifc, m_snmpSpeed), this, false);
    m_view->setModel(m_model);
    SetInitialColumnWidths(m_view);
    // The local date-and-time texts are wider than their header.
    AutoSizeColumns(m_view);
    SetUpChart(*m_pie);
    SetUpChart(*m_trend);
    BuildPacketTypeChart(*m_pie, ifc.current, m_pie->width(), m_pie->height());
    m_pie->Redraw();
    ShowTrend();

    connect(savePie, &QPushButton::clicked, this, &CPortInfoDlg::SavePieChart);
    connect(show, &QPushButton::clicked, this, &CPortInfoDlg::ShowTrend);
    connect(saveTrend, &QPushButton::clicked, this, &CPortInfoDlg::SaveTrendChart);
    connect(csv, &QPushButton::clicked, this, &CPortInfoDlg::ExportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

CPortInfoDlg::~CPortInfoDlg() = default;

void CPortInfoDlg::ShowTrend()
{
    const int choice = m_unit->currentIndex();
    const TrendUnit unit = choice == 1   ? TrendUnit::PacketsPerSecond
                           : choice == 2 ? TrendUnit::UtilisationPercent
                                         : TrendUnit::MegabitsPerSecond;
    BuildTrendChart(*m_trend, m_ifc.history, unit, m_clock(), m_snmpSpeed);
    m_trend->Redraw();
}

void CPortInfoDlg::SavePieChart() { SaveChartBitmap(m_dialogs, this, *m_pie); }

void CPortInfoDlg::SaveTrendChart() { SaveChartBitmap(m_dialogs, this, *m_trend); }

void CPortInfoDlg::ExportCsv()
{
    const QString title = QString::fromUtf8(kCsvTitle);
    ExportListCsv(m_dialogs, this, title, title + QStringLiteral(".csv"), *m_model);
}

}  // namespace ortolan
