// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_setup_dlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>

#include "agent_address.h"
#include "dialog_seam.h"
#include "entry_dialogs.h"
#include "entry_fields.h"
#include "sf_messages.h"
#include "snmp_api.h"
#include "text_table_model.h"

namespace ortolan {

namespace {

constexpr int kFirstReadPollMs = 200;
constexpr int kSetPollMs = 100;
constexpr int kNextPollMs = 100;
const char* const kAgentAddressKey = "Setting/SF_IP";

}  // namespace

CSFSetupDlg::CSFSetupDlg(IDialogSeam& dialogs, QSettings& settings, QWidget* parent)
    : CSFSetupDlg(dialogs, settings, std::make_unique<CSnmpApi>(), std::make_unique<CQtEntryDialogs>(dialogs),
                  parent)
{
}

CSFSetupDlg::CSFSetupDlg(IDialogSeam& dialogs, QSettings& settings, std::unique_ptr<ISnmpClient> snmp,
                         std::unique_ptr<IEntryDialogs> entries, QWidget* parent)
    : QDialog(parent),
      m_dialogs(dialogs),
      m_settings(settings),
      m_snmp(std::move(snmp)),
      m_entries(std::move(entries)),
      m_reader(*m_snmp)
{
    setWindowTitle(QStringLiteral("sFlow設定"));
    setModal(true);
    m_setupPollTimer.setObjectName(QStringLiteral("SetupPollTimer"));
    m_setupPollTimer.setSingleShot(true);
    connect(&m_setupPollTimer, &QTimer::timeout, this, &CSFSetupDlg::OnSnmpTimer);

    QString stored = m_settings.value(QString::fromLatin1(kAgentAddressKey), QStringLiteral("0.0.0.0")).toString();
    m_agentAddress = ParseIpv4(stored.trimmed().toStdString()).value_or(0);

    BuildLayout();
    // Opening: list styles and the collector columns, then the enabling.
    m_collectorModel->SetColumns(CollectorColumnHeaders());
    SetColumnWidths(m_collectorList, CollectorColumnHeaders());
    UpdateControls();
}

CSFSetupDlg::~CSFSetupDlg()
{
    m_setupPollTimer.stop();
}

void CSFSetupDlg::BuildLayout()
{
    m_addressEdit = MakeIpv4Edit(this, m_agentAddress);
    m_modeList = new QComboBox(this);
    m_modeList->addItems({QStringLiteral("V1"), QStringLiteral("V2C"), QStringLiteral("V3認証"),
                          QStringLiteral("V3暗号化")});
    m_modeList->setCurrentIndex(m_snmpModeIndex);
    m_communityEdit = new QLineEdit(m_communityOrUser, this);
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    m_closeButton->setDefault(true);
    m_getButton = new QPushButton(QStringLiteral("取得"), this);

    auto* snmpGrid = new QGridLayout;
    snmpGrid->addWidget(new QLabel(QStringLiteral("IPアドレス"), this), 0, 0);
    snmpGrid->addWidget(m_addressEdit, 0, 1);
    snmpGrid->addWidget(new QLabel(QStringLiteral("SNMPモード"), this), 1, 0);
    snmpGrid->addWidget(m_modeList, 1, 1);
    snmpGrid->addWidget(new QLabel(QStringLiteral("Community\n/User"), this), 2, 0);
    snmpGrid->addWidget(m_communityEdit, 2, 1);
    snmpGrid->addWidget(new QLabel(QStringLiteral("パスワード"), this), 3, 0);
    snmpGrid->addWidget(m_passwordEdit, 3, 1);
    auto* snmpButtons = new QVBoxLayout;
    snmpButtons->addWidget(m_closeButton);
    snmpButtons->addWidget(m_getButton);
    snmpButtons->addStretch(1);
    auto* snmpRow = new QHBoxLayout;
    snmpRow->addLayout(snmpGrid, 1);
    snmpRow->addLayout(snmpButtons);
    auto* snmpGroup = new QGroupBox(QStringLiteral("SNMP設定"), this);
    snmpGroup->setLayout(snmpRow);

    m_versionEdit = new QLineEdit(this);
    m_agentAddressEdit = new QLineEdit(this);
    m_mibVersionEdit = new QLineEdit(this);
    for (QLineEdit* field : {m_versionEdit, m_agentAddressEdit, m_mibVersionEdit}) MakeReadOnly(field);
    auto* infoGrid = new QGridLayout;
    infoGrid->addWidget(new QLabel(QStringLiteral("バージョン"), this), 0, 0);
    infoGrid->addWidget(m_versionEdit, 0, 1, 1, 3);
    infoGrid->addWidget(new QLabel(QStringLiteral("アドレス"), this), 1, 0);
    infoGrid->addWidget(m_agentAddressEdit, 1, 1);
    infoGrid->addWidget(new QLabel(QStringLiteral("MIBバージョン"), this), 1, 2);
    infoGrid->addWidget(m_mibVersionEdit, 1, 3);
    auto* infoGroup = new QGroupBox(QStringLiteral("sFlowエージェント情報"), this);
    infoGroup->setLayout(infoGrid);

    auto makeList = [this](CTextTableModel*& model) {
        auto* list = new QTableView(this);
        model = new CTextTableModel(list);
        list->setModel(model);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setShowGrid(true);
        list->verticalHeader()->hide();
        list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
        list->horizontalHeader()->setHighlightSections(false);
        connect(list, &QTableView::clicked, this, &CSFSetupDlg::UpdateControls);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CSFSetupDlg::UpdateControls);
        return list;
    };
    m_collectorList = makeList(m_collectorModel);
    m_portList = makeList(m_portModel);
    m_collectorSetButton = new QPushButton(QStringLiteral("設定"), this);
    m_portSetButton = new QPushButton(QStringLiteral("設定"), this);

    auto listGroup = [this](const QString& title, QTableView* list, QPushButton* button) {
        auto* row = new QHBoxLayout;
        row->addWidget(list, 1);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(button);
        buttons->addStretch(1);
        row->addLayout(buttons);
        auto* group = new QGroupBox(title, this);
        group->setLayout(row);
        return group;
    };

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(snmpGroup);
    layout->addWidget(infoGroup);
    layout->addWidget(listGroup(QStringLiteral("sFlowコレクタ設定"), m_collectorList, m_collectorSetButton), 1);
    layout->addWidget(listGroup(QStringLiteral("sFlowポート設定"), m_portList, m_portSetButton), 1);
    SizeInDialogUnits(this, 416, 385);

    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_getButton, &QPushButton::clicked, this, &CSFSetupDlg::OnGetAgent);
    connect(m_portSetButton, &QPushButton::clicked, this, &CSFSetupDlg::OnSetPort);
    connect(m_collectorSetButton, &QPushButton::clicked, this, &CSFSetupDlg::OnSetReceiver);
    connect(m_modeList, qOverload<int>(&QComboBox::currentIndexChanged), this, &CSFSetupDlg::UpdateControls);
}

void CSFSetupDlg::SetAgentAddress(uint32_t address)
{
    m_agentAddress = address;
    m_addressEdit->setText(QString::fromStdString(IpToText(address)));
}

void CSFSetupDlg::SetTimings(const tagSfTimings& timings)
{
    m_reader.SetTimings(timings);
}

void CSFSetupDlg::SetColumnWidths(QTableView* list, const std::vector<std::string>& headers)
{
    QFontMetrics metrics(list->horizontalHeader()->font());
    for (size_t i = 0; i < headers.size(); ++i) {
        int width = metrics.horizontalAdvance(QString::fromStdString(headers[i])) * 3 / 2;
        list->setColumnWidth(static_cast<int>(i), width);
    }
}

void CSFSetupDlg::SetV5PortColumns()
{
    m_portModel->SetColumns(V5PortColumnHeaders());
    SetColumnWidths(m_portList, V5PortColumnHeaders());
}

void CSFSetupDlg::SetV4PortColumns()
{
    m_portModel->SetColumns(V4PortColumnHeaders());
    SetColumnWidths(m_portList, V4PortColumnHeaders());
}

void CSFSetupDlg::TakeControlValues()
{
    uint32_t address = 0;
    if (ReadIpv4Text(m_addressEdit->text(), address)) m_agentAddress = address;
    m_snmpModeIndex = m_modeList->currentIndex();
    m_communityOrUser = m_communityEdit->text();
    m_password = m_passwordEdit->text();
}

int CSFSetupDlg::SelectedRow(QTableView* list)
{
    QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front().row() : -1;
}

void CSFSetupDlg::UpdateControls()
{
    TakeControlValues();
    bool idle = m_reader.busyState() == BusyState::Idle;
    int generation = m_reader.mibGeneration();
    // A request may wait on a silent agent for half a minute.
    if (idle)
        unsetCursor();
    else
        setCursor(Qt::WaitCursor);
    m_getButton->setEnabled(idle);
    // The set buttons also need their list enabled: after a failed read the
    // old rows stay on screen but no longer match the agent's generation.
    m_portSetButton->setEnabled(idle && SelectedRow(m_portList) >= 0 && generation > 3);
    m_passwordEdit->setEnabled(m_snmpModeIndex == 2 || m_snmpModeIndex == 3);
    m_portList->setEnabled(generation > 3);
    m_collectorList->setEnabled(generation > 4);
    m_collectorSetButton->setEnabled(idle && SelectedRow(m_collectorList) >= 0 && generation > 4);
    m_mibVersionEdit->setText(QString::fromStdString(MibVersionText(generation)));
}

tagSnmpAccess CSFSetupDlg::Access() const
{
    tagSnmpAccess access;
    access.mode = m_snmpModeIndex + 1;
    access.peerAddress = IpToText(m_agentAddress);
    if (m_agentPort != kSnmpPort) access.peerAddress += ":" + std::to_string(m_agentPort);
    access.communityOrUser = m_communityOrUser.toStdString();
    access.password = m_password.toStdString();
    return access;
}

void CSFSetupDlg::OnGetAgent()
{
    if (m_reader.busyState() != BusyState::Idle) return;
    TakeControlValues();
    tagSfStepOutcome outcome;
    if (!m_reader.StartRead(Access(), outcome)) {
        Show(outcome);
        UpdateControls();
        return;
    }
    m_setupPollTimer.start(kFirstReadPollMs);
    m_settings.setValue(QString::fromLatin1(kAgentAddressKey), QString::fromStdString(IpToText(m_agentAddress)));
    UpdateControls();
}

void CSFSetupDlg::OnSetPort()
{
    if (m_reader.busyState() != BusyState::Idle) return;
    int row = SelectedRow(m_portList);
    if (row < 0) return;
    TakeControlValues();
    const tagSfReadout& readout = m_reader.readout();
    // The rows on screen are those of the generation last parsed.
    if (m_reader.portColumnsGeneration() > 4) {
        if (static_cast<size_t>(row) >= readout.v5Ports.size()) return;
        const tagSfV5PortRow portRow = readout.v5Ports[static_cast<size_t>(row)];
        tagSfV5PortEntry entry = StartValuesOf(portRow);
        if (!m_entries->EditV5Port(this, entry)) return;
        Send(BuildV5PortSetLines(entry, portRow.index));
    } else if (m_reader.portColumnsGeneration() == 4) {
        if (static_cast<size_t>(row) >= readout.v4Ports.size()) return;
        const tagSfV4PortRow portRow = readout.v4Ports[static_cast<size_t>(row)];
        tagSfV4Entry entry = StartValuesOf(portRow);
        if (!m_entries->EditV4Row(this, entry)) return;
        std::optional<std::string> lines = BuildV4SetLines(entry, portRow.index);
        if (!lines) {
            m_dialogs.ShowMessage(this, QString::fromUtf8(kMsgBadPeriod));
            return;
        }
        Send(*lines);
    }
}

void CSFSetupDlg::OnSetReceiver()
{
    if (m_reader.busyState() != BusyState::Idle) return;
    int row = SelectedRow(m_collectorList);
    if (row < 0) return;
    TakeControlValues();
    const tagSfReadout& readout = m_reader.readout();
    if (static_cast<size_t>(row) >= readout.receivers.size()) return;
    const tagSfV5RcvrRow receiver = readout.receivers[static_cast<size_t>(row)];
    tagSfV5RcvrEntry entry = StartValuesOf(receiver);
    if (!m_entries->EditV5Receiver(this, entry)) return;
    std::optional<std::string> lines = BuildV5RcvrSetLines(entry, entry.collectorNumber);
    if (!lines) {
        m_dialogs.ShowMessage(this, QString::fromUtf8(kMsgBadPeriod));
        return;
    }
    Send(*lines);
}

void CSFSetupDlg::Send(const std::string& lines)
{
    tagSfStepOutcome outcome;
    if (!m_reader.StartSet(Access(), lines, outcome)) {
        Show(outcome);
        UpdateControls();
        return;
    }
    m_setupPollTimer.start(kSetPollMs);
    UpdateControls();
}

void CSFSetupDlg::OnSnmpTimer()
{
    m_setupPollTimer.stop();
    Show(m_reader.Poll());
    if (m_reader.busyState() != BusyState::Idle) {
        m_setupPollTimer.start(kNextPollMs);
    } else {
        UpdateControls();
    }
}

void CSFSetupDlg::Show(const tagSfStepOutcome& outcome)
{
    if (outcome.listsChanged) FillLists();
    if (!outcome.message.empty()) m_dialogs.ShowMessage(this, QString::fromStdString(outcome.message));
}

void CSFSetupDlg::FillLists()
{
    const tagSfReadout& readout = m_reader.readout();
    std::vector<std::vector<std::string>> portRows;
    std::vector<std::vector<std::string>> collectorRows;
    int generation = m_reader.portColumnsGeneration();
    if (generation > 4) {
        if (m_portModel->headers() != V5PortColumnHeaders()) SetV5PortColumns();
        for (const tagSfV5PortRow& row : readout.v5Ports) portRows.push_back(CellsOf(row));
        for (const tagSfV5RcvrRow& row : readout.receivers) collectorRows.push_back(CellsOf(row));
    } else if (generation == 4) {
        if (m_portModel->headers() != V4PortColumnHeaders()) SetV4PortColumns();
        for (const tagSfV4PortRow& row : readout.v4Ports) portRows.push_back(CellsOf(row));
    }
    m_portModel->SetRows(std::move(portRows));
    m_collectorModel->SetRows(std::move(collectorRows));
    m_versionEdit->setText(QString::fromStdString(readout.info.versionText));
    m_agentAddressEdit->setText(QString::fromStdString(readout.info.addressText));
}

}  // namespace ortolan
