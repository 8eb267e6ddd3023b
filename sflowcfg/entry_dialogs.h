// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the setup window asks for the new values of one row: each call shows
// its entry dialog modally, starting from the values given, and returns true
// with the confirmed values, or false when it was cancelled. The Qt
// implementation shows the real dialogs; tests script the answers.
#include "sf_set_lines.h"

class QWidget;

namespace ortolan {

class IDialogSeam;

class IEntryDialogs {
public:
    virtual ~IEntryDialogs() = default;
    virtual bool EditV5Port(QWidget* parent, tagSfV5PortEntry& entry) = 0;
    virtual bool EditV4Row(QWidget* parent, tagSfV4Entry& entry) = 0;
    virtual bool EditV5Receiver(QWidget* parent, tagSfV5RcvrEntry& entry) = 0;
};

// CSfV5PortDlg, CSFEntryDlg and CSfV5RcvrDlg, their number checks reported
// through the dialog seam.
class CQtEntryDialogs : public IEntryDialogs {
public:
    explicit CQtEntryDialogs(IDialogSeam& dialogs) : m_dialogs(dialogs) {}
    bool EditV5Port(QWidget* parent, tagSfV5PortEntry& entry) override;
    bool EditV4Row(QWidget* parent, tagSfV4Entry& entry) override;
    bool EditV5Receiver(QWidget* parent, tagSfV5RcvrEntry& entry) override;

private:
    IDialogSeam& m_dialogs;
};

}  // namespace ortolan
