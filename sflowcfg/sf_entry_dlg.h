// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "sFlow収集設定": one row of the older sFlow MIB (a data source with its own
// collector). Number fields are checked when "設定" is pressed.
#include <QDialog>

#include "sf_set_lines.h"

class QComboBox;
class QLineEdit;

namespace ortolan {

class IDialogSeam;

class CSFEntryDlg : public QDialog {
    Q_OBJECT
public:
    CSFEntryDlg(IDialogSeam& dialogs, const tagSfV4Entry& start, QWidget* parent = nullptr);

    // The confirmed values (the start values until "設定" succeeded).
    const tagSfV4Entry& values() const { return m_values; }

public slots:
    void OnSet();

private:
    IDialogSeam& m_dialogs;
    tagSfV4Entry m_values;
    QLineEdit* m_owner;
    QLineEdit* m_periodValue;
    QComboBox* m_periodUnit;
    QLineEdit* m_samplingRate;
    QLineEdit* m_counterInterval;
    QLineEdit* m_headerSize;
    QLineEdit* m_packetSize;
    QLineEdit* m_collectorAddress;
    QLineEdit* m_collectorPort;
    QComboBox* m_datagramVersion;
};

}  // namespace ortolan
