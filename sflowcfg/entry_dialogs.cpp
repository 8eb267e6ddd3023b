// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry_dialogs.h"

#include "sf_entry_dlg.h"
#include "sf_v5_port_dlg.h"
#include "sf_v5_rcvr_dlg.h"

namespace ortolan {

bool CQtEntryDialogs::EditV5Port(QWidget* parent, tagSfV5PortEntry& entry)
{
    CSfV5PortDlg dialog(m_dialogs, entry, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.values();
    return true;
}

bool CQtEntryDialogs::EditV4Row(QWidget* parent, tagSfV4Entry& entry)
{
    CSFEntryDlg dialog(m_dialogs, entry, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.values();
    return true;
}

bool CQtEntryDialogs::EditV5Receiver(QWidget* parent, tagSfV5RcvrEntry& entry)
{
    CSfV5RcvrDlg dialog(m_dialogs, entry, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.values();
    return true;
}

}  // namespace ortolan
