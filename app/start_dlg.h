// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "モニタ解析設定": shown at each start of monitoring. Chooses online
// monitoring, the logged days to replay first, and the log folder; deletes
// chosen logs. Every message, question and picker goes through the dialog seam.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "log_selection.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ortolan {

class COrtolanApp;
class IDialogSeam;

class CStartDlg : public QDialog {
    Q_OBJECT
public:
    using Clock = std::function<int64_t()>;

    // The clock gives "today" for "今日" and "今週" (seconds since 1970).
    CStartDlg(COrtolanApp& app, IDialogSeam& seam, Clock clock, QWidget* parent = nullptr);

    // What the caller receives once the dialog is accepted.
    bool online() const { return m_online; }
    const std::vector<std::string>& chosenLogs() const { return m_chosen; }

    const CLogSelection& selection() const { return m_selection; }
    QListWidget* logList() const { return m_list; }
    QCheckBox* onlineBox() const { return m_onlineBox; }
    QLineEdit* folderField() const { return m_folderField; }

private:
    void FillList();
    void ShowSelection();
    void TakeSelectionFromList();
    void OnToday();
    void OnWeek();
    void OnSelectAll();
    void OnClearAll();
    void OnDelete();
    void OnPickFolder();
    void OnRun();

    COrtolanApp& m_app;
    IDialogSeam& m_seam;
    Clock m_clock;
    CLogSelection m_selection;
    bool m_online = true;
    std::vector<std::string> m_chosen;

    QCheckBox* m_onlineBox = nullptr;
    QLineEdit* m_folderField = nullptr;
    QListWidget* m_list = nullptr;
};

}  // namespace ortolan
