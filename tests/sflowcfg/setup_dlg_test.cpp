// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>

#include "entry_dialogs.h"
#include "fake_snmp_client.h"
#include "scripted_dialog_seam.h"
#include "sf_entry_dlg.h"
#include "sf_messages.h"
#include "sf_setup_dlg.h"
#include "sf_v5_port_dlg.h"
#include "sf_v5_rcvr_dlg.h"
#include "text_table_model.h"

namespace ortolan {
namespace {

using testing::CFakeSnmpClient;
using testing::ScriptedDialogSeam;

// Entry dialogs that change the start values as the test says, or cancel.
class CScriptedEntries : public IEntryDialogs {
public:
    std::deque<bool> answers;  // empty: confirm
    std::function<void(tagSfV5PortEntry&)> editV5Port = [](tagSfV5PortEntry&) {};
    std::function<void(tagSfV4Entry&)> editV4 = [](tagSfV4Entry&) {};
    std::function<void(tagSfV5RcvrEntry&)> editReceiver = [](tagSfV5RcvrEntry&) {};
    std::vector<std::string> shown;

    bool EditV5Port(QWidget*, tagSfV5PortEntry& entry) override { return Answer("v5port", entry, editV5Port); }
    bool EditV4Row(QWidget*, tagSfV4Entry& entry) override { return Answer("v4", entry, editV4); }
    bool EditV5Receiver(QWidget*, tagSfV5RcvrEntry& entry) override { return Answer("receiver", entry, editReceiver); }

private:
    template <typename T>
    bool Answer(const char* which, T& entry, const std::function<void(T&)>& edit)
    {
        shown.push_back(which);
        bool confirm = answers.empty() ? true : answers.front();
        if (!answers.empty()) answers.pop_front();
        if (confirm) edit(entry);
        return confirm;
    }
};

const std::string kIdx5 = "11.1.3.6.1.2.1.2.2.1.1.5.1";
const std::string kIdx7 = "11.1.3.6.1.2.1.2.2.1.1.7.1";
const std::vector<std::string> kV5Lines = {
    "sFlowVersion.0=STRING: 1.3;test;1",
    "sFlowAgentAddress.0=Hex-STRING: C0 A8 01 0B",
    "sFlowRcvrOwner.1=STRING: \"ortolan\"",
    "sFlowRcvrTimeout.1=INTEGER: 86400",
    "sFlowRcvrMaximumDatagramSize.1=INTEGER: 1400",
    "sFlowRcvrAddress.1=Hex-STRING: 0A 00 00 01",
    "sFlowRcvrPort.1=INTEGER: 6343",
    "sFlowRcvrDatagramVersion.1=INTEGER: 5",
    "sFlowRcvrOwner.2=\"\"",
    "sFlowFsReceiver." + kIdx5 + "=INTEGER: 1",
    "sFlowFsPacketSamplingRate." + kIdx5 + "=INTEGER: 400",
    "sFlowFsMaximumHeaderSize." + kIdx5 + "=INTEGER: 128",
    "sFlowCpReceiver." + kIdx5 + "=INTEGER: 1",
    "sFlowCpInterval." + kIdx5 + "=INTEGER: 30",
    "sFlowCpReceiver." + kIdx7 + "=INTEGER: 1",
};
const std::string kV4Idx = "11.1.3.6.1.2.1.2.2.1.1.3";
const std::vector<std::string> kV4Lines = {
    "sFlowVersionV4.0=STRING: 1.2",
    "sFlowDataSource." + kV4Idx + "=ifIndex.3",
    "sFlowOwner." + kV4Idx + "=STRING: \"v4\"",
    "sFlowTimeout." + kV4Idx + "=INTEGER: 7200",
    "sFlowCollectorAddress." + kV4Idx + "=Hex-STRING: C0 A8 01 0A",
    "sFlowDatagramVersion." + kV4Idx + "=INTEGER: 4",
};

class SetupDlgTest : public ::testing::Test {
protected:
    SetupDlgTest()
        : settings(dir.path() + QStringLiteral("/settings.ini"), QSettings::IniFormat)
    {
        auto client = std::make_unique<CFakeSnmpClient>();
        auto scripted = std::make_unique<CScriptedEntries>();
        snmp = client.get();
        entries = scripted.get();
        dialog = std::make_unique<CSFSetupDlg>(seam, settings, std::move(client), std::move(scripted));
    }

    // Presses "取得" and lets the poll timer run the procedure to its end.
    void Get()
    {
        dialog->OnGetAgent();
        for (int i = 0; i < 10 && dialog->busyState() != BusyState::Idle; ++i) dialog->OnSnmpTimer();
    }

    void Select(QTableView* list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int row : rows) {
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    QTemporaryDir dir;
    QSettings settings;
    ScriptedDialogSeam seam;
    CFakeSnmpClient* snmp = nullptr;
    CScriptedEntries* entries = nullptr;
    std::unique_ptr<CSFSetupDlg> dialog;
};

TEST_F(SetupDlgTest, OpensWithDefaultsAndDisabledLists)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("sFlow設定"));
    EXPECT_EQ(dialog->addressEdit()->text(), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(dialog->modeList()->currentIndex(), 0);
    EXPECT_EQ(dialog->modeList()->itemText(3), QStringLiteral("V3暗号化"));
    EXPECT_EQ(dialog->communityEdit()->text(), QStringLiteral("tundra"));
    EXPECT_FALSE(dialog->portList()->isEnabled());
    EXPECT_FALSE(dialog->collectorList()->isEnabled());
    EXPECT_TRUE(dialog->mibVersionEdit()->text().isEmpty());
    EXPECT_TRUE(dialog->getButton()->isEnabled());
    EXPECT_EQ(dialog->collectorModel().headers(), CollectorColumnHeaders());
    EXPECT_EQ(dialog->portModel().columnCount(), 0);
}

TEST_F(SetupDlgTest, PasswordFollowsTheSnmpMode)
{
    for (int mode : {0, 1, 2, 3}) {
        dialog->modeList()->setCurrentIndex(mode);
        EXPECT_EQ(dialog->passwordEdit()->isEnabled(), mode >= 2) << mode;
    }
}

TEST_F(SetupDlgTest, GetStoresTheAddressAndShowsBothLists)
{
    dialog->SetAgentAddress(0xC0A80102);
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    EXPECT_EQ(settings.value("Setting/SF_IP").toString(), QStringLiteral("192.168.1.2"));
    ASSERT_EQ(snmp->requests.size(), 1u);
    EXPECT_EQ(snmp->requests[0].peer, "192.168.1.2");
    EXPECT_EQ(snmp->requests[0].mode, 1);
    EXPECT_EQ(snmp->requests[0].communityOrUser, "tundra");
    EXPECT_TRUE(dialog->portList()->isEnabled());
    EXPECT_TRUE(dialog->collectorList()->isEnabled());
    EXPECT_EQ(dialog->mibVersionEdit()->text(), QStringLiteral("Ver.5"));
    EXPECT_EQ(dialog->versionEdit()->text(), QStringLiteral("1.3;test;1"));
    EXPECT_EQ(dialog->agentAddressEdit()->text(), QStringLiteral("192.168.1.11"));
    EXPECT_EQ(dialog->portModel().headers(), V5PortColumnHeaders());
    EXPECT_EQ(dialog->portModel().rowCount(), 2);
    EXPECT_EQ(dialog->collectorModel().rowCount(), 2);
    EXPECT_EQ(dialog->collectorModel().data(dialog->collectorModel().index(0, 4)).toString(),
              QStringLiteral("10.0.0.1"));
    EXPECT_FALSE(dialog->setupPollTimer().isActive());
}

TEST_F(SetupDlgTest, NextOpeningStartsFromTheStoredAddress)
{
    settings.setValue("Setting/SF_IP", "10.1.2.3");
    CSFSetupDlg second(seam, settings, std::make_unique<CFakeSnmpClient>(), std::make_unique<CScriptedEntries>());
    EXPECT_EQ(second.addressEdit()->text(), QStringLiteral("10.1.2.3"));
    second.SetAgentAddress(0x0A000009);
    EXPECT_EQ(second.addressEdit()->text(), QStringLiteral("10.0.0.9"));
}

TEST_F(SetupDlgTest, OlderMibAgentEnablesOnlyThePortList)
{
    snmp->outcomes.push_back({true, 2, {}});
    snmp->outcomes.push_back({true, 0, kV4Lines});
    Get();
    EXPECT_TRUE(dialog->portList()->isEnabled());
    EXPECT_FALSE(dialog->collectorList()->isEnabled());
    EXPECT_EQ(dialog->mibVersionEdit()->text(), QStringLiteral("Ver.4"));
    EXPECT_EQ(dialog->portModel().columnCount(), 11);
    EXPECT_EQ(dialog->portModel().headers(), V4PortColumnHeaders());
    EXPECT_TRUE(seam.messages.isEmpty());
}

TEST_F(SetupDlgTest, SetButtonsNeedExactlyOneRowAndAnIdleWindow)
{
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    EXPECT_FALSE(dialog->portSetButton()->isEnabled());
    Select(dialog->portList(), {0});
    EXPECT_TRUE(dialog->portSetButton()->isEnabled());
    Select(dialog->portList(), {0, 1});
    EXPECT_FALSE(dialog->portSetButton()->isEnabled());
    Select(dialog->collectorList(), {1});
    EXPECT_TRUE(dialog->collectorSetButton()->isEnabled());

    snmp->holdPending = true;
    dialog->OnGetAgent();
    EXPECT_TRUE(dialog->setupPollTimer().isActive());
    EXPECT_FALSE(dialog->getButton()->isEnabled());
    EXPECT_FALSE(dialog->collectorSetButton()->isEnabled());
    Select(dialog->portList(), {0});
    EXPECT_FALSE(dialog->portSetButton()->isEnabled());
}

TEST_F(SetupDlgTest, WaitCursorWhileARequestRunsAndReadOnlyFieldsAreSkipped)
{
    snmp->holdPending = true;
    snmp->outcomes.push_back({true, 0, kV5Lines});
    dialog->OnGetAgent();
    dialog->OnSnmpTimer();
    EXPECT_NE(dialog->busyState(), BusyState::Idle);
    EXPECT_EQ(dialog->cursor().shape(), Qt::WaitCursor);
    snmp->Complete();
    for (int i = 0; i < 10 && dialog->busyState() != BusyState::Idle; ++i) dialog->OnSnmpTimer();
    ASSERT_EQ(dialog->busyState(), BusyState::Idle);
    EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);

    for (QLineEdit* field : {dialog->versionEdit(), dialog->agentAddressEdit(), dialog->mibVersionEdit()}) {
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_FALSE(field->focusPolicy() & Qt::TabFocus);
        EXPECT_EQ(field->palette().color(QPalette::Base), field->palette().color(QPalette::Window));
    }
    EXPECT_TRUE(dialog->addressEdit()->focusPolicy() & Qt::TabFocus);
}

TEST_F(SetupDlgTest, FailedReadLeavesRowsButDisablesLists)
{
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    Select(dialog->portList(), {0});
    snmp->outcomes.push_back({true, -1, {}});
    snmp->outcomes.push_back({true, -1, {}});
    Get();
    EXPECT_EQ(seam.messages, QStringList{QString::fromUtf8(kMsgNoSflowInfo)});
    EXPECT_EQ(dialog->portModel().rowCount(), 2);
    EXPECT_FALSE(dialog->portList()->isEnabled());
    EXPECT_FALSE(dialog->portSetButton()->isEnabled());
    EXPECT_TRUE(dialog->mibVersionEdit()->text().isEmpty());
}

TEST_F(SetupDlgTest, RequestThatCannotBeSentIsReported)
{
    snmp->outcomes.push_back({false, 6, {}});
    Get();
    EXPECT_EQ(seam.messages, QStringList{QString::fromUtf8(kMsgRequestNotSent)});
    EXPECT_EQ(dialog->busyState(), BusyState::Idle);
    EXPECT_FALSE(settings.contains("Setting/SF_IP"));
}

TEST_F(SetupDlgTest, PortRowIsSentAndReRead)
{
    dialog->SetAgentAddress(0xC0A80102);
    dialog->modeList()->setCurrentIndex(3);
    dialog->communityEdit()->setText("desuser");
    dialog->passwordEdit()->setText("despassword");
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    Select(dialog->portList(), {0});
    entries->editV5Port = [](tagSfV5PortEntry& e) {
        EXPECT_EQ(e.dataSource, "ifIndex.5");
        EXPECT_EQ(e.samplingRate, 400);
        e.collector = 2;
        e.samplingRate = 1000;
    };
    snmp->outcomes.push_back({true, 0, {}});
    snmp->outcomes.push_back({true, 0, kV5Lines});
    dialog->OnSetPort();
    EXPECT_EQ(dialog->busyState(), BusyState::AfterSet);
    EXPECT_TRUE(dialog->setupPollTimer().isActive());
    for (int i = 0; i < 10 && dialog->busyState() != BusyState::Idle; ++i) dialog->OnSnmpTimer();
    ASSERT_EQ(snmp->requests.size(), 3u);
    const auto& set = snmp->requests[1];
    EXPECT_FALSE(set.isWalk);
    EXPECT_EQ(set.mode, 4);
    EXPECT_EQ(set.communityOrUser, "desuser");
    EXPECT_EQ(set.password, "despassword");
    EXPECT_EQ(set.rootOrLines, "sFlowFsReceiver." + kIdx5 + "=2\nsFlowFsPacketSamplingRate." + kIdx5 +
                                   "=1000\nsFlowFsMaximumHeaderSize." + kIdx5 + "=128\nsFlowCpReceiver." + kIdx5 +
                                   "=2\nsFlowCpInterval." + kIdx5 + "=30\n");
    EXPECT_EQ(snmp->requests[2].rootOrLines, "sFlowAgent");
    EXPECT_EQ(dialog->portModel().rowCount(), 2);
    EXPECT_TRUE(seam.messages.isEmpty());
}

TEST_F(SetupDlgTest, CancelledEntryDialogSendsNothing)
{
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    Select(dialog->collectorList(), {0});
    entries->answers.push_back(false);
    dialog->OnSetReceiver();
    EXPECT_EQ(entries->shown, std::vector<std::string>{"receiver"});
    EXPECT_EQ(snmp->requests.size(), 1u);
    EXPECT_EQ(dialog->busyState(), BusyState::Idle);
}

TEST_F(SetupDlgTest, ReceiverWithBadPeriodIsRefused)
{
    snmp->outcomes.push_back({true, 0, kV5Lines});
    Get();
    Select(dialog->collectorList(), {0});
    entries->editReceiver = [](tagSfV5RcvrEntry& e) {
        EXPECT_EQ(e.period.value, 1);
        EXPECT_EQ(e.period.unitIndex, 3);
        e.period = {100, 5};
    };
    dialog->OnSetReceiver();
    EXPECT_EQ(seam.messages, QStringList{QString::fromUtf8(kMsgBadPeriod)});
    EXPECT_EQ(snmp->requests.size(), 1u);
}

TEST_F(SetupDlgTest, OlderMibRowUsesTheEntryDialogAndRefusedSetIsReported)
{
    snmp->outcomes.push_back({true, 2, {}});
    snmp->outcomes.push_back({true, 0, kV4Lines});
    Get();
    Select(dialog->portList(), {0});
    snmp->outcomes.push_back({true, 4, {}});
    dialog->OnSetPort();
    EXPECT_EQ(entries->shown, std::vector<std::string>{"v4"});
    ASSERT_EQ(snmp->requests.size(), 3u);
    EXPECT_EQ(snmp->requests[2].rootOrLines.rfind("sFlowOwner." + kV4Idx + "=v4\nsFlowTimeout." + kV4Idx +
                                                  "=7200\n", 0),
              0u);
    dialog->OnSnmpTimer();
    EXPECT_EQ(seam.messages, QStringList{QString::fromUtf8(kMsgSetFailed)});
    EXPECT_EQ(dialog->portModel().rowCount(), 1);
    EXPECT_TRUE(dialog->getButton()->isEnabled());
}

// The entry dialogs themselves.

TEST(EntryDialogs, PortDialogChecksItsNumbers)
{
    ScriptedDialogSeam seam;
    CSfV5PortDlg dialog(seam, tagSfV5PortEntry{"ifIndex.5", 1, 400, 128, 30});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("sFlowポート設定"));
    auto* rate = dialog.findChild<QLineEdit*>("samplingRate");
    ASSERT_NE(rate, nullptr);
    rate->setText("12x");
    dialog.OnSet();
    EXPECT_EQ(seam.messages, QStringList{QString::fromUtf8(kMsgEnterInteger)});
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    rate->setText("2048");
    dialog.findChild<QLineEdit*>("collector")->setText("-1");
    dialog.OnSet();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.values().samplingRate, 2048);
    EXPECT_EQ(dialog.values().collector, -1);
    EXPECT_EQ(dialog.values().dataSource, "ifIndex.5");
}

TEST(EntryDialogs, ReceiverDialogReturnsPeriodAddressAndVersion)
{
    ScriptedDialogSeam seam;
    tagSfV5RcvrEntry start;
    start.collectorNumber = "1";
    start.owner = "ortolan";
    start.period = {1, 3};
    start.collectorAddress = 0xC0A8010A;
    CSfV5RcvrDlg dialog(seam, start);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("collectorAddress")->text(), QStringLiteral("192.168.1.10"));
    EXPECT_EQ(dialog.findChild<QComboBox*>("periodUnit")->currentText(), QStringLiteral("日"));
    dialog.findChild<QLineEdit*>("owner")->setText(QStringLiteral("日本"));
    dialog.findChild<QLineEdit*>("periodValue")->setText("2");
    dialog.findChild<QComboBox*>("periodUnit")->setCurrentIndex(5);
    dialog.findChild<QLineEdit*>("collectorAddress")->setText("10.0.0.");
    dialog.findChild<QComboBox*>("datagramVersion")->setCurrentIndex(0);
    dialog.OnSet();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.values().owner, "日本");
    EXPECT_EQ(dialog.values().period.value, 2);
    EXPECT_EQ(dialog.values().period.unitIndex, 5);
    EXPECT_EQ(dialog.values().collectorAddress, 0x0A000000u);
    EXPECT_EQ(dialog.values().datagramVersionIndex, 0);
    EXPECT_TRUE(seam.messages.isEmpty());
}

TEST(EntryDialogs, OlderMibDialogRefusesAPeriodThatIsNotANumber)
{
    ScriptedDialogSeam seam;
    tagSfV4Entry start;
    start.dataSource = "ifIndex.3";
    start.period = {-60, 0};
    CSFEntryDlg dialog(seam, start);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("sFlow収集設定"));
    auto* period = dialog.findChild<QLineEdit*>("periodValue");
    period->setText("");
    dialog.OnSet();
    EXPECT_EQ(seam.messages.size(), 1);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    period->setText("3");
    dialog.findChild<QLineEdit*>("collectorPort")->setText("6343");
    dialog.OnSet();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.values().period.value, 3);
    EXPECT_EQ(dialog.values().collectorPort, 6343);
}

}  // namespace
}  // namespace ortolan
