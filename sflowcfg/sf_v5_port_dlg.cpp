// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_v5_port_dlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_seam.h"
#include "entry_fields.h"

namespace ortolan {

CSfV5PortDlg::CSfV5PortDlg(IDialogSeam& dialogs, const tagSfV5PortEntry& start, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_values(start)
{
    setWindowTitle(QStringLiteral("sFlowポート設定"));
    auto* dataSource = new QLineEdit(QString::fromStdString(start.dataSource), this);
    MakeReadOnly(dataSource);
    dataSource->setObjectName(QStringLiteral("dataSource"));
    m_collector = MakeIntEdit(this, start.collector);
    m_samplingRate = MakeIntEdit(this, start.samplingRate);
    m_headerSize = MakeIntEdit(this, start.headerSize);
    m_counterInterval = MakeIntEdit(this, start.counterInterval);
    m_collector->setObjectName(QStringLiteral("collector"));
    m_samplingRate->setObjectName(QStringLiteral("samplingRate"));
    m_headerSize->setObjectName(QStringLiteral("headerSize"));
    m_counterInterval->setObjectName(QStringLiteral("counterInterval"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("データソース"), dataSource);
    form->addRow(QStringLiteral("コレクタ番号"), m_collector);
    form->addRow(QStringLiteral("サンプルレート"), m_samplingRate);
    form->addRow(QStringLiteral("ヘッダサイズ"), m_headerSize);
    form->addRow(QStringLiteral("カウンタ間隔"), m_counterInterval);

    LayOutEntryDialog(this, form, [this] { OnSet(); }, 267, 92);
}

void CSfV5PortDlg::OnSet()
{
    tagSfV5PortEntry values = m_values;
    if (!ReadIntField(m_dialogs, this, m_collector, values.collector)) return;
    if (!ReadIntField(m_dialogs, this, m_samplingRate, values.samplingRate)) return;
    if (!ReadIntField(m_dialogs, this, m_headerSize, values.headerSize)) return;
    if (!ReadIntField(m_dialogs, this, m_counterInterval, values.counterInterval)) return;
    m_values = values;
    accept();
}

}  // namespace ortolan
