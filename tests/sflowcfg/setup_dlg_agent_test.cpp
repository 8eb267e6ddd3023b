// SPDX-License-Identifier: GPL-3.0-or-later
// The setup window reading and changing a real snmpd agent on a loopback
// port, in every SNMP mode.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include "agent_tables.h"
#include "entry_dialogs.h"
#include "scripted_dialog_seam.h"
#include "sf_setup_dlg.h"
#include "snmp_api.h"
#include "snmpd_agent.h"
#include "text_table_model.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

constexpr int kWaitMs = 20000;

class RealAgentWindowTest : public ::testing::TestWithParam<tagModeCase> {
protected:
    CSnmpdAgent agent;
};

// Confirms a receiver with a new owner; any other entry is cancelled.
class CConfirmReceiver : public IEntryDialogs {
public:
    bool EditV5Port(QWidget*, tagSfV5PortEntry&) override { return false; }
    bool EditV4Row(QWidget*, tagSfV4Entry&) override { return false; }
    bool EditV5Receiver(QWidget*, tagSfV5RcvrEntry& entry) override
    {
        entry.owner = "changed";
        return true;
    }
};

TEST_P(RealAgentWindowTest, WindowReadsAndChangesTheAgent)
{
    START_AGENT(agent, V5AgentTable());
    QTemporaryDir dir;
    QSettings settings(dir.path() + "/s.ini", QSettings::IniFormat);
    ScriptedDialogSeam seam;
    CSFSetupDlg dialog(seam, settings, std::make_unique<CSnmpApi>(), std::make_unique<CConfirmReceiver>());
    dialog.SetAgentAddress(0x7F000001);
    dialog.SetAgentPort(static_cast<uint16_t>(std::stoi(agent.peer().substr(10))));
    dialog.modeList()->setCurrentIndex(GetParam().mode - 1);
    dialog.communityEdit()->setText(GetParam().user);
    dialog.passwordEdit()->setText(GetParam().password);
    dialog.OnGetAgent();
    ASSERT_TRUE(PollUntil([&] { return dialog.busyState() == BusyState::Idle; }, kWaitMs));
    ASSERT_EQ(dialog.collectorModel().rowCount(), 2);
    EXPECT_EQ(dialog.portModel().rowCount(), 2);
    EXPECT_EQ(settings.value("Setting/SF_IP").toString(), QStringLiteral("127.0.0.1"));

    dialog.collectorList()->selectionModel()->select(dialog.collectorModel().index(0, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dialog.OnSetReceiver();
    ASSERT_TRUE(PollUntil([&] { return dialog.busyState() == BusyState::Idle; }, kWaitMs));
    EXPECT_TRUE(seam.messages.isEmpty()) << seam.messages.join("|").toStdString();
    EXPECT_EQ(dialog.collectorModel().data(dialog.collectorModel().index(0, 1)).toString(), QStringLiteral("changed"));
}

INSTANTIATE_TEST_SUITE_P(Modes, RealAgentWindowTest, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<tagModeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ortolan
