// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "sFlowポート設定": the flow sampler and counter poller of one version 5
// data source; one collector number serves both.
#include <QDialog>

#include "sf_set_lines.h"

class QLineEdit;

namespace ortolan {

class IDialogSeam;

class CSfV5PortDlg : public QDialog {
    Q_OBJECT
public:
    CSfV5PortDlg(IDialogSeam& dialogs, const tagSfV5PortEntry& start, QWidget* parent = nullptr);

    const tagSfV5PortEntry& values() const { return m_values; }

public slots:
    void OnSet();

private:
    IDialogSeam& m_dialogs;
    tagSfV5PortEntry m_values;
    QLineEdit* m_collector;
    QLineEdit* m_samplingRate;
    QLineEdit* m_headerSize;
    QLineEdit* m_counterInterval;
};

}  // namespace ortolan
