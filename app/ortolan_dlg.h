// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window "Ortolan": the settings form, the state of monitoring, the
// list of monitored ports and the five trend charts, and the buttons that
// open every other view. The logic lives in CMonitorController; this class
// shows it and reads the form.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor_controller.h"
#include "view_sort_state.h"

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

class QProgressDialog;

namespace ortolan {

class CChartCtrl;
class CRichTextPanel;
class CStateIndicator;
class IDialogSeam;

class COrtolanDlg;

// What the window cannot do by itself: the start dialog and the log folder
// belong to the application; the setup and local-node windows to their own
// folders. An unset hook falls back as noted.
struct tagMainWindowHooks {
    // The start dialog; unset: online monitoring with no replay.
    std::function<std::optional<tagStartChoice>(QWidget*)> chooseStart;
    // The log folder; unset: the current folder.
    std::function<std::string()> logFolder;
    // The settings' sampling rates for exporters that send none; unset: none.
    std::function<std::vector<std::string>()> samplingRates;
    // "サンプリング補正" as the settings keep it, and its saving; unset: off, not kept.
    std::function<bool()> readScaled;
    std::function<void(bool)> saveScaled;
    // "ローカルノード" (unset: the local node list) and "sFlow設定" (the agent
    // address of the selected port, or empty text; unset: does nothing).
    std::function<void(COrtolanDlg&)> showLocalNodes;
    std::function<void(COrtolanDlg&, const std::string& agent)> showSflowSetup;
};

// Field order of the form: the order of kMonitorSettings.
enum class FormField { SflowPort = 0, NetflowPort, Refresh, CounterPeriod, Retention };
inline constexpr int kFormFieldCount = FormSettingCount();

class COrtolanDlg : public QDialog, public IMonitorHost {
    Q_OBJECT
public:
    // The dialog seam must outlive the window; without a resolver the window
    // uses the platform's reverse look-ups.
    COrtolanDlg(IDialogSeam& dialogs, tagMainWindowHooks hooks = {}, IHostResolver* resolver = nullptr,
                QWidget* parent = nullptr);
    ~COrtolanDlg() override;

    CMonitorController& controller() { return *m_controller; }
    IDialogSeam& dialogs() { return m_dialogs; }
    tagViewSortState& sortState() { return m_sortState; }

    // The standard range message of a refused field.
    static QString RangeMessage(uint32_t minimum, uint32_t maximum);

    // --- IMonitorHost
    std::optional<tagMonitorSettings> ReadForm(bool quiet) override;
    std::optional<tagStartChoice> ChooseStart() override;
    std::string LogFolder() override;
    std::vector<std::string> SamplingRates() override;
    void MonitoringChanged(bool monitoring) override;
    void StatusChanged(const std::string& markup) override;
    void RowsAppeared() override;
    // A replay that runs longer than the delay shows a progress dialog (file
    // name, share done, a cancel button); the window stays painted meanwhile.
    bool ReplayProgress(const std::string& file, size_t index, size_t count, uint64_t done,
                        uint64_t total) override;
    void ReplayFinished() override;
    void SetReplayProgressDelay(int milliseconds) { m_progressDelayMs = milliseconds; }
    // The milliseconds clock the progress dialog's delay and pace are read
    // from (monotonic by default); tests step it per call, so what the dialog
    // shows does not depend on how fast the machine replays.
    void SetReplayClock(std::function<int64_t()> clock) { m_replayClock = std::move(clock); }

    // --- Buttons and the list.
    void UpdateButtons();
    void ShowInformation();
    void ToggleCaptureFile();
    void ExportChart();
    void ExportChartCsv();
    void CopyChart();
    void ShowLocalNodes();
    void ShowSflowSetup();
    void ShowAbout();
    // Rows of the list that are selected, in ascending order.
    std::vector<int> SelectedRows() const;
    int listKind() const;

    // Ending the window while monitoring asks first (through the dialog seam);
    // declined, the window stays open and monitoring goes on.
    void done(int result) override;

    // Controls, for the application, the views and tests.
    QLineEdit* field(int index) const { return m_fields[size_t(index)]; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* infoButton() const { return m_info; }
    QCheckBox* scaledBox() const { return m_scaled; }
    QPushButton* captureButton() const { return m_capture; }
    QPushButton* chartCsvButton() const { return m_chartCsv; }
    QComboBox* listKindBox() const { return m_listKind; }
    QTableView* listView() const { return m_list; }
    QTabWidget* tabs() const { return m_tabs; }
    CChartCtrl* chart(int tab) const { return m_charts[size_t(tab)]; }
    CStateIndicator* stateIndicator() const { return m_indicator; }
    CRichTextPanel* statusPanel() const { return m_status; }

protected:
    // Escape never closes the window, and Enter while monitoring never presses
    // the default button, which then reads 停止.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* BuildSettings();
    QWidget* BuildState();
    QWidget* BuildMonitor();
    QWidget* BuildCharts();
    CMonPort* SelectedPort() const;

    IDialogSeam& m_dialogs;
    tagMainWindowHooks m_hooks;
    std::unique_ptr<IHostResolver> m_ownResolver;
    std::unique_ptr<CMonitorController> m_controller;
    tagViewSortState m_sortState;

    std::array<QLineEdit*, kFormFieldCount> m_fields{};
    QPushButton* m_sflowSetup = nullptr;
    CStateIndicator* m_indicator = nullptr;
    CRichTextPanel* m_status = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_quit = nullptr;
    QTableView* m_list = nullptr;
    // Columns whose width the user dragged: a refresh no longer widens them.
    std::vector<bool> m_userSizedColumns;
    // Set while the program sizes the columns itself, so those resizes are
    // not taken for the user's.
    bool m_sizingColumns = false;
    QComboBox* m_listKind = nullptr;
    QPushButton* m_info = nullptr;
    QCheckBox* m_scaled = nullptr;
    QPushButton* m_capture = nullptr;
    QPushButton* m_chartImage = nullptr;
    QPushButton* m_chartCsv = nullptr;
    QPushButton* m_chartCopy = nullptr;
    QPushButton* m_localNodes = nullptr;
    QTabWidget* m_tabs = nullptr;
    std::array<CChartCtrl*, kTrendChartCount> m_charts{};

    std::unique_ptr<QProgressDialog> m_progress;
    std::function<int64_t()> m_replayClock;
    // When the replay began by m_replayClock; negative while none runs.
    int64_t m_replayStartMs = -1;
    int64_t m_lastProgressMs = 0;
    int m_progressDelayMs = 300;
};


}  // namespace ortolan
