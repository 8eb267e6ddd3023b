// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "sFlow設定": reads an sFlow agent's receivers and data sources over SNMP
// and changes one row at a time. The window follows the running request on
// its poll timer (SetupPollTimer); the reading and writing procedure itself
// is CSfAgentReader's. Message boxes go through the dialog seam, entry
// dialogs through IEntryDialogs, and the last agent address is kept in the
// settings as "Setting/SF_IP".
#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "sf_agent_reader.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSettings;
class QTableView;

namespace ortolan {

class CTextTableModel;
class IDialogSeam;
class IEntryDialogs;

class CSFSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr uint16_t kSnmpPort = 161;

    // The window as the program opens it: its own CSnmpApi and the Qt entry
    // dialogs. The agent address starts as "Setting/SF_IP" ("0.0.0.0").
    CSFSetupDlg(IDialogSeam& dialogs, QSettings& settings, QWidget* parent = nullptr);
    // With the SNMP client and entry dialogs handed in (tests).
    CSFSetupDlg(IDialogSeam& dialogs, QSettings& settings, std::unique_ptr<ISnmpClient> snmp,
                std::unique_ptr<IEntryDialogs> entries, QWidget* parent = nullptr);
    ~CSFSetupDlg() override;

    // The address of the row selected in the monitor list, before showing.
    void SetAgentAddress(uint32_t address);
    // The agent's UDP port (161 unless a test agent listens elsewhere).
    void SetAgentPort(uint16_t port) { m_agentPort = port; }
    void SetTimings(const tagSfTimings& timings);

    // Port list columns of a generation; all rows and columns are replaced.
    void SetV5PortColumns();
    void SetV4PortColumns();

    BusyState busyState() const { return m_reader.busyState(); }
    int mibGeneration() const { return m_reader.mibGeneration(); }
    uint32_t agentAddress() const { return m_agentAddress; }
    const CTextTableModel& portModel() const { return *m_portModel; }
    const CTextTableModel& collectorModel() const { return *m_collectorModel; }

    // Controls, for tests that press and read them.
    QLineEdit* addressEdit() const { return m_addressEdit; }
    QComboBox* modeList() const { return m_modeList; }
    QLineEdit* communityEdit() const { return m_communityEdit; }
    QLineEdit* passwordEdit() const { return m_passwordEdit; }
    QLineEdit* versionEdit() const { return m_versionEdit; }
    QLineEdit* agentAddressEdit() const { return m_agentAddressEdit; }
    QLineEdit* mibVersionEdit() const { return m_mibVersionEdit; }
    QPushButton* getButton() const { return m_getButton; }
    QPushButton* portSetButton() const { return m_portSetButton; }
    QPushButton* collectorSetButton() const { return m_collectorSetButton; }
    QTableView* portList() const { return m_portList; }
    QTableView* collectorList() const { return m_collectorList; }
    const QTimer& setupPollTimer() const { return m_setupPollTimer; }

public slots:
    void OnGetAgent();
    void OnSetPort();
    void OnSetReceiver();
    void OnSnmpTimer();
    void UpdateControls();

private:
    void BuildLayout();
    void TakeControlValues();
    tagSnmpAccess Access() const;
    void Send(const std::string& lines);
    void Show(const tagSfStepOutcome& outcome);
    void FillLists();
    void SetColumnWidths(QTableView* list, const std::vector<std::string>& headers);
    static int SelectedRow(QTableView* list);

    IDialogSeam& m_dialogs;
    QSettings& m_settings;
    std::unique_ptr<ISnmpClient> m_snmp;
    std::unique_ptr<IEntryDialogs> m_entries;
    CSfAgentReader m_reader;
    QTimer m_setupPollTimer;

    uint32_t m_agentAddress = 0;
    uint16_t m_agentPort = kSnmpPort;
    int m_snmpModeIndex = 0;
    QString m_communityOrUser = QStringLiteral("tundra");
    QString m_password;

    QLineEdit* m_addressEdit = nullptr;
    QComboBox* m_modeList = nullptr;
    QLineEdit* m_communityEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_getButton = nullptr;
    QLineEdit* m_versionEdit = nullptr;
    QLineEdit* m_agentAddressEdit = nullptr;
    QLineEdit* m_mibVersionEdit = nullptr;
    QTableView* m_collectorList = nullptr;
    QPushButton* m_collectorSetButton = nullptr;
    QTableView* m_portList = nullptr;
    QPushButton* m_portSetButton = nullptr;
    CTextTableModel* m_collectorModel = nullptr;
    CTextTableModel* m_portModel = nullptr;
};

}  // namespace ortolan
