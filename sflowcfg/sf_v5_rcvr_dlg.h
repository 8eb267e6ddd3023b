// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "sFlowV5コレクタ設定": one receiver of the version 5 MIB.
#include <QDialog>

#include "sf_set_lines.h"

class QComboBox;
class QLineEdit;

namespace ortolan {

class IDialogSeam;

class CSfV5RcvrDlg : public QDialog {
    Q_OBJECT
public:
    CSfV5RcvrDlg(IDialogSeam& dialogs, const tagSfV5RcvrEntry& start, QWidget* parent = nullptr);

    const tagSfV5RcvrEntry& values() const { return m_values; }

public slots:
    void OnSet();

private:
    IDialogSeam& m_dialogs;
    tagSfV5RcvrEntry m_values;
    QLineEdit* m_owner;
    QLineEdit* m_periodValue;
    QComboBox* m_periodUnit;
    QLineEdit* m_packetSize;
    QLineEdit* m_collectorAddress;
    QLineEdit* m_port;
    QComboBox* m_datagramVersion;
};

}  // namespace ortolan
