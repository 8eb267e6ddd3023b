// SPDX-License-Identifier: GPL-3.0-or-later
#include "ortolan_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <mutex>

#include "about_dlg.h"
#include "auto_size_columns.h"
#include "chart_ctrl.h"
#include "dialog_seam.h"
#include "elided_tip_delegate.h"
#include "export_actions.h"
#include "list_dlg.h"
#include "list_kind.h"
#include "node_list_dlg.h"
#include "ortolan_app.h"
#include "rich_text_panel.h"
#include "state_pictures.h"

namespace ortolan {
namespace {

// List kinds whose tables a NetFlow port fills (it has no packet headers).
bool NetflowHasKind(int kind)
{
    switch (kind) {
    case 1: case 3: case 5: case 6: case 7: case 8: case 9: case 11: return true;
    default: return false;
    }
}

QPushButton* Button(const char* text, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

COrtolanDlg::COrtolanDlg(IDialogSeam& dialogs, tagMainWindowHooks hooks, IHostResolver* resolver,
                         QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_hooks(std::move(hooks))
{
    if (!resolver) {
        m_ownResolver = std::make_unique<CQtHostResolver>();
        resolver = m_ownResolver.get();
    }
    m_controller = std::make_unique<CMonitorController>(*this, *resolver);

    setWindowTitle(QStringLiteral("Ortolan"));
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(MakeIdlePicture(size));
    setWindowIcon(icon);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);

    auto* top = new QHBoxLayout;
    top->addWidget(BuildSettings());
    top->addWidget(BuildState(), 1);
    auto* buttons = new QVBoxLayout;
    m_start = new QPushButton(QString::fromUtf8("開始"), this);
    m_start->setDefault(true);
    m_quit = Button("終了", this);
    m_start->setMinimumWidth(96);
    m_quit->setMinimumWidth(96);
    buttons->addWidget(m_start);
    buttons->addWidget(m_quit);
    buttons->addStretch(1);
    top->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    auto* menuBar = new QMenuBar(this);
    QMenu* help = menuBar->addMenu(QString::fromUtf8("ヘルプ(&H)"));
    help->addSeparator();
    help->addAction(QString::fromUtf8("バージョン情報 Ortolan(&A)..."), this, &COrtolanDlg::ShowAbout);
    layout->setMenuBar(menuBar);
    layout->addLayout(top);
    // A grown window gives its height to the list of ports; the charts keep
    // the height they open with.
    layout->addWidget(BuildMonitor(), 1);
    layout->addWidget(BuildCharts(), 0);

    connect(m_start, &QPushButton::clicked, this, [this] {
        bool starting = !m_controller->monitoring();
        m_controller->StartStop();
        // A replay fills the cells long after the first rows sized the
        // columns; size them again to what the replay left.
        if (starting && m_controller->list().rowCount() > 0) RowsAppeared();
    });
    connect(m_quit, &QPushButton::clicked, this, &QDialog::accept);

    TrendCharts models{};
    for (int i = 0; i < kTrendChartCount; ++i) models[size_t(i)] = m_charts[size_t(i)];
    m_controller->SetCharts(models);
    m_controller->ResetCharts();
    m_controller->UpdateStatus();
    UpdateButtons();
    resize(1000, 800);
}

COrtolanDlg::~COrtolanDlg()
{
    // Closing the window while monitoring still writes what is queued for the
    // log; the controller then closes the sockets and goes before the charts.
    if (m_controller->monitoring()) m_controller->Stop();
    m_list->setModel(nullptr);
    m_controller.reset();
}

void COrtolanDlg::done(int result)
{
    // Every way out (終了, the title bar's close, the window manager) comes
    // here; while monitoring none of them ends it without the user's word.
    if (m_controller->monitoring()) {
        if (!m_dialogs.AskYesNo(this, QString::fromUtf8("モニタしています。\nモニタを停止して終了しますか？")))
            return;
        m_controller->Stop();
    }
    QDialog::done(result);
}

void COrtolanDlg::keyPressEvent(QKeyEvent* event)
{
    // A dialog rejects itself on Escape; the main window is no passing
    // dialog, and one stray key must not end monitoring.
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    // Enter in a field would press the default button: while monitoring that
    // is 停止, and ログ保存日数 stays editable then. A focused button takes
    // its own Enter before it comes here.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && m_controller->monitoring()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QWidget* COrtolanDlg::BuildSettings()
{
    auto* group = new QGroupBox(QString::fromUtf8("基本設定"), this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < kFormFieldCount; ++i) {
        const tagSettingRow& field = kMonitorSettings[size_t(i)];
        auto* edit = new QLineEdit(QString::number(field.form.initial), group);
        edit->setMaxLength(10);
        edit->setFixedWidth(72);
        edit->setAlignment(Qt::AlignRight);
        grid->addWidget(new QLabel(QString::fromUtf8(field.caption), group), i, 0);
        grid->addWidget(edit, i, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(field.unit), group), i, 2);
        m_fields[size_t(i)] = edit;
    }
    m_sflowSetup = Button("sFlow設定", group);
    grid->addWidget(m_sflowSetup, 5, 0, 1, 3);
    connect(m_sflowSetup, &QPushButton::clicked, this, &COrtolanDlg::ShowSflowSetup);
    return group;
}

QWidget* COrtolanDlg::BuildState()
{
    auto* group = new QGroupBox(QString::fromUtf8("状態"), this);
    auto* row = new QHBoxLayout(group);
    m_indicator = new CStateIndicator(group);
    m_status = new CRichTextPanel(group);
    m_status->setMinimumWidth(360);
    row->addWidget(m_indicator, 0, Qt::AlignTop);
    row->addWidget(m_status, 1);
    return group;
}

QWidget* COrtolanDlg::BuildMonitor()
{
    auto* group = new QGroupBox(QString::fromUtf8("モニタ"), this);
    auto* column = new QVBoxLayout(group);
    m_list = new QTableView(group);
    CMonitorListModel& model = m_controller->list();
    QList<QVariant> icons;
    for (const QIcon& icon : MakeStateIcons()) icons.append(QVariant(icon));
    model.SetStateIcons(std::move(icons));
    m_list->setModel(&model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setShowGrid(true);
    m_list->setIconSize(QSize(16, 16));
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setItemDelegate(new CElidedTipDelegate(m_list));
    // Each header starts half as wide again as its text.
    QFontMetrics metrics = m_list->horizontalHeader()->fontMetrics();
    for (int c = 0; c < kMonitorColumnCount; ++c)
        m_list->setColumnWidth(c, metrics.horizontalAdvance(
                                      QString::fromUtf8(CMonitorListModel::HeaderTexts()[size_t(c)])) * 3 / 2);
    column->addWidget(m_list, 1);
    m_userSizedColumns.assign(kMonitorColumnCount, false);
    connect(m_list->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int c, int, int) {
        if (!m_sizingColumns && c >= 0 && size_t(c) < m_userSizedColumns.size()) m_userSizedColumns[size_t(c)] = true;
    });
    // Every refresh writes the cells; a value that outgrew its column (a load
    // index from 2 to 2,600) widens it rather than showing as "2627.3…".
    connect(&model, &QAbstractItemModel::dataChanged, this, [this] {
        m_sizingColumns = true;
        WidenColumnsToFit(m_list, m_userSizedColumns);
        m_sizingColumns = false;
    });

    auto* row = new QHBoxLayout;
    m_listKind = new QComboBox(group);
    for (int kind = 0; kind < kListKindCount; ++kind)
        m_listKind->addItem(QString::fromUtf8(ListKindInfo(kind).menuText));
    m_listKind->setCurrentIndex(0);
    m_info = Button("情報表示", group);
    // The lists' packets and bytes, and NetFlow's rates, scaled by the
    // sampling rates, or as sent.
    m_scaled = new QCheckBox(QStringLiteral("サンプリング補正"), group);
    m_scaled->setChecked(m_hooks.readScaled && m_hooks.readScaled());
    connect(m_scaled, &QCheckBox::toggled, this, [this](bool on) {
        if (m_hooks.saveScaled) m_hooks.saveScaled(on);
        m_controller->SetScaledFigures(on);
    });
    m_controller->SetScaledFigures(m_scaled->isChecked());
    m_capture = Button("ファイル出力", group);
    m_chartImage = Button("グラフ出力", group);
    m_chartCsv = Button("グラフCSV出力", group);
    m_chartCopy = Button("グラフCOPY", group);
    m_localNodes = Button("ローカルノード", group);
    row->addWidget(m_listKind);
    row->addWidget(m_info);
    row->addWidget(m_scaled);
    row->addStretch(1);
    for (QPushButton* b : {m_capture, m_chartImage, m_chartCsv, m_chartCopy, m_localNodes}) row->addWidget(b);
    column->addLayout(row);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &COrtolanDlg::UpdateButtons);
    connect(m_list, &QTableView::clicked, this, &COrtolanDlg::UpdateButtons);
    connect(m_listKind, &QComboBox::currentIndexChanged, this, &COrtolanDlg::UpdateButtons);
    connect(m_info, &QPushButton::clicked, this, &COrtolanDlg::ShowInformation);
    connect(m_capture, &QPushButton::clicked, this, &COrtolanDlg::ToggleCaptureFile);
    connect(m_chartImage, &QPushButton::clicked, this, &COrtolanDlg::ExportChart);
    connect(m_chartCsv, &QPushButton::clicked, this, &COrtolanDlg::ExportChartCsv);
    connect(m_chartCopy, &QPushButton::clicked, this, &COrtolanDlg::CopyChart);
    connect(m_localNodes, &QPushButton::clicked, this, &COrtolanDlg::ShowLocalNodes);
    return group;
}

QWidget* COrtolanDlg::BuildCharts()
{
    auto* group = new QGroupBox(QString::fromUtf8("トラフィック"), this);
    auto* column = new QVBoxLayout(group);
    m_tabs = new QTabWidget(group);
    for (int i = 0; i < kTrendChartCount; ++i) {
        auto* page = new QWidget(m_tabs);
        auto* inner = new QVBoxLayout(page);
        inner->setContentsMargins(10, 10, 10, 10);
        m_charts[size_t(i)] = new CChartCtrl(page);
        m_charts[size_t(i)]->setMinimumHeight(240);
        inner->addWidget(m_charts[size_t(i)]);
        m_tabs->addTab(page, QString::fromUtf8(TrendChartText(TrendChart(i)).tabCaption));
    }
    m_tabs->setCurrentIndex(0);
    column->addWidget(m_tabs);
    return group;
}

QString COrtolanDlg::RangeMessage(uint32_t minimum, uint32_t maximum)
{
    return QString::fromStdString(FormRangeMessage(minimum, maximum));
}

std::optional<tagMonitorSettings> COrtolanDlg::ReadForm(bool quiet)
{
    auto refuse = [&](int field) -> std::optional<tagMonitorSettings> {
        if (!quiet) {
            const tagSettingRange& range = kMonitorSettings[size_t(field)].form;
            m_dialogs.ShowMessage(this, RangeMessage(range.minimum, range.maximum));
            m_fields[size_t(field)]->setFocus();
            m_fields[size_t(field)]->selectAll();
        }
        return std::nullopt;
    };
    tagMonitorSettings s;
    for (int i = 0; i < kFormFieldCount; ++i) {
        std::optional<uint32_t> v = ParseFormNumber(m_fields[size_t(i)]->text().toStdString());
        if (!v) return refuse(i);
        s.*kMonitorSettings[size_t(i)].field = *v;
    }
    if (const tagSettingRow* error = FirstFormRangeError(s)) return refuse(int(error - kMonitorSettings.data()));
    return s;
}

std::optional<tagStartChoice> COrtolanDlg::ChooseStart()
{
    if (m_hooks.chooseStart) return m_hooks.chooseStart(this);
    return tagStartChoice{};
}

std::string COrtolanDlg::LogFolder() { return m_hooks.logFolder ? m_hooks.logFolder() : std::string(); }

std::vector<std::string> COrtolanDlg::SamplingRates()
{
    return m_hooks.samplingRates ? m_hooks.samplingRates() : std::vector<std::string>{};
}

void COrtolanDlg::MonitoringChanged(bool monitoring)
{
    for (FormField f : {FormField::SflowPort, FormField::NetflowPort, FormField::Refresh, FormField::CounterPeriod})
        m_fields[size_t(f)]->setEnabled(!monitoring);
    m_start->setText(QString::fromUtf8(monitoring ? "停止" : "開始"));
    UpdateButtons();
    m_indicator->SetAnimated(monitoring);
}

void COrtolanDlg::StatusChanged(const std::string& markup) { m_status->SetMarkup(QString::fromStdString(markup)); }

bool COrtolanDlg::ReplayProgress(const std::string& file, size_t index, size_t count, uint64_t done,
                                 uint64_t total)
{
    if (!m_replayClock)
        m_replayClock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    if (m_replayStartMs < 0) {
        m_replayStartMs = m_replayClock();
        m_lastProgressMs = 0;
    }
    const int64_t now = m_replayClock() - m_replayStartMs;
    // A block of log decodes in a few milliseconds; the window is served
    // about twenty times a second, not after every block.
    if (m_progress && now - m_lastProgressMs < 50) return !m_progress->wasCanceled();
    m_lastProgressMs = now;
    if (!m_progress && now >= m_progressDelayMs) {
        m_progress = std::make_unique<QProgressDialog>(this);
        m_progress->setWindowTitle(QStringLiteral("Ortolan"));
        m_progress->setCancelButtonText(QString::fromUtf8("キャンセル"));
        m_progress->setRange(0, 1000);
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumWidth(420);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->show();
    }
    if (m_progress) {
        m_progress->setLabelText(QString::fromUtf8("フローログを再生しています: %1 (%2/%3)")
                                     .arg(QString::fromStdString(file))
                                     .arg(index + 1)
                                     .arg(count));
        double share = total > 0 ? double(done) / double(total) : 1.0;
        m_progress->setValue(int((double(index) + share) / double(std::max<size_t>(count, 1)) * 1000));
    }
    // Paints and look-up answers go on; until the modal progress dialog is
    // up, clicks and keys wait, so nobody starts a second replay inside this one.
    QCoreApplication::processEvents(m_progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !(m_progress && m_progress->wasCanceled());
}

void COrtolanDlg::ReplayFinished()
{
    m_progress.reset();
    m_replayStartMs = -1;
}

void COrtolanDlg::RowsAppeared()
{
    // A new list is sized afresh, the user's widths included.
    m_sizingColumns = true;
    m_list->setUpdatesEnabled(false);
    AutoSizeColumns(m_list);
    m_list->setUpdatesEnabled(true);
    m_userSizedColumns.assign(m_userSizedColumns.size(), false);
    m_sizingColumns = false;
}

std::vector<int> COrtolanDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int COrtolanDlg::listKind() const { return std::max(0, m_listKind->currentIndex()); }

CMonPort* COrtolanDlg::SelectedPort() const
{
    std::vector<int> rows = SelectedRows();
    return rows.size() == 1 ? m_controller->list().port(rows[0]) : nullptr;
}

void COrtolanDlg::UpdateButtons()
{
    std::vector<int> rows = SelectedRows();
    bool one = rows.size() == 1;
    m_info->setEnabled(one);
    m_capture->setEnabled(one);
    m_chartCsv->setEnabled(one);
    m_capture->setText(QString::fromUtf8("ファイル出力"));
    if (!one) return;
    const CMonitorListModel& list = m_controller->list();
    if (list.key(rows[0]).find("NetFlow") != std::string::npos) {
        m_capture->setEnabled(false);
        m_info->setEnabled(NetflowHasKind(listKind()));
    }
    m_capture->setText(CaptureButtonText(m_controller->sflow(), list.port(rows[0])));
}

void COrtolanDlg::ShowInformation()
{
    if (!ReadForm(false)) return;
    CMonPort* port = SelectedPort();
    if (!port || !m_info->isEnabled()) return;
    // Host names are looked up for the nodes this list shows, while it shows them.
    m_controller->SetShownPorts({port});
    std::mutex* tables = nullptr;
    {
        std::scoped_lock both(m_controller->sflow().tablesMutex(), m_controller->netflow().tablesMutex());
        m_controller->ResolveNamesOf(*port);
        if (CFlowCollector* owner = m_controller->CollectorOf(*port)) tables = &owner->tablesMutex();
    }
    // The list copies its rows under the port's collector's lock, then shows them without it.
    CListDlg dlg(*port, listKind(), m_controller->names().oui, m_sortState, m_dialogs, this,
                 &m_controller->portHostNames(), tables, &m_controller->interfaceNames(), m_scaled->isChecked());
    dlg.exec();
    m_controller->SetShownPorts({});
}

void COrtolanDlg::ToggleCaptureFile()
{
    std::vector<int> rows = SelectedRows();
    CMonPort* port = SelectedPort();
    if (port && m_capture->isEnabled()) {
        switch (ToggleCapture(m_dialogs, this, m_controller->sflow(), *port)) {
        case CaptureToggle::Closed:
        case CaptureToggle::Opened:
            m_controller->list().SetOutputFile(rows[0], CapturePath(m_controller->sflow(), *port).toStdString());
            break;
        default:
            break;
        }
    }
    UpdateButtons();
}

void COrtolanDlg::ExportChart() { ExportChartImage(m_dialogs, this, *m_charts[size_t(m_tabs->currentIndex())]); }

void COrtolanDlg::ExportChartCsv()
{
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    int tab = m_tabs->currentIndex();
    ExportTrendCsv(m_dialogs, this, *m_charts[size_t(tab)], tab, rows[0]);
}

void COrtolanDlg::CopyChart() { CopyChartToClipboard(m_dialogs, *m_charts[size_t(m_tabs->currentIndex())]); }

void COrtolanDlg::ShowLocalNodes()
{
    if (m_hooks.showLocalNodes) {
        m_hooks.showLocalNodes(*this);
        return;
    }
    std::vector<CMonPort*> shown;
    {
        std::scoped_lock both(m_controller->sflow().tablesMutex(), m_controller->netflow().tablesMutex());
        for (CFlowCollector* c : {static_cast<CFlowCollector*>(&m_controller->sflow()),
                                  static_cast<CFlowCollector*>(&m_controller->netflow())})
            for (auto& [key, port] : c->ports) {
                shown.push_back(port.get());
                m_controller->ResolveNamesOf(*port);
            }
    }
    m_controller->SetShownPorts(std::move(shown));
    CNodeListDlg dlg(m_controller->sflow(), m_controller->netflow(), m_sortState, m_dialogs, this, {},
                     &m_controller->portHostNames());
    dlg.exec();
    m_controller->SetShownPorts({});
}

void COrtolanDlg::ShowSflowSetup()
{
    std::vector<int> rows = SelectedRows();
    std::string agent;
    if (!rows.empty())
        if (CMonPort* port = m_controller->list().port(rows[0])) agent = port->agent;
    if (m_hooks.showSflowSetup) m_hooks.showSflowSetup(*this, agent);
}

void COrtolanDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

}  // namespace ortolan
