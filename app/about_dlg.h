// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box: program icon, name and version, and a close button.
#include <QDialog>

namespace ortolan {

inline constexpr const char* kVersionText = "Ortolan Ver. 4.1.0";

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace ortolan
