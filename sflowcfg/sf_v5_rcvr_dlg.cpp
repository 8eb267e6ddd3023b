// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_v5_rcvr_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_seam.h"
#include "entry_fields.h"

namespace ortolan {

CSfV5RcvrDlg::CSfV5RcvrDlg(IDialogSeam& dialogs, const tagSfV5RcvrEntry& start, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_values(start)
{
    setWindowTitle(QStringLiteral("sFlowV5コレクタ設定"));
    auto* number = new QLineEdit(QString::fromStdString(start.collectorNumber), this);
    MakeReadOnly(number);
    number->setObjectName(QStringLiteral("collectorNumber"));
    m_owner = new QLineEdit(QString::fromStdString(start.owner), this);
    m_periodValue = MakeDigitsEdit(this, start.period.value);
    m_periodUnit = MakePeriodUnitList(this, start.period.unitIndex);
    m_packetSize = MakeIntEdit(this, start.packetSize);
    m_collectorAddress = MakeIpv4Edit(this, start.collectorAddress);
    m_port = MakeIntEdit(this, start.port);
    m_datagramVersion = MakeDatagramVersionList(this, start.datagramVersionIndex);

    m_owner->setObjectName(QStringLiteral("owner"));
    m_periodValue->setObjectName(QStringLiteral("periodValue"));
    m_periodUnit->setObjectName(QStringLiteral("periodUnit"));
    m_packetSize->setObjectName(QStringLiteral("packetSize"));
    m_collectorAddress->setObjectName(QStringLiteral("collectorAddress"));
    m_port->setObjectName(QStringLiteral("port"));
    m_datagramVersion->setObjectName(QStringLiteral("datagramVersion"));

    auto* period = new QHBoxLayout;
    period->addWidget(m_periodValue, 1);
    period->addWidget(m_periodUnit);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("コレクタ番号"), number);
    form->addRow(QStringLiteral("オナー文字列"), m_owner);
    form->addRow(QStringLiteral("収集期間"), period);
    form->addRow(QStringLiteral("パケットサイズ"), m_packetSize);
    form->addRow(QStringLiteral("コレクターＩＰ"), m_collectorAddress);
    form->addRow(QStringLiteral("ポート"), m_port);
    form->addRow(QStringLiteral("sFlow Ver."), m_datagramVersion);

    LayOutEntryDialog(this, form, [this] { OnSet(); }, 267, 114);
}

void CSfV5RcvrDlg::OnSet()
{
    tagSfV5RcvrEntry values = m_values;
    values.owner = m_owner->text().toStdString();
    if (!ReadIntField(m_dialogs, this, m_periodValue, values.period.value)) return;
    values.period.unitIndex = m_periodUnit->currentIndex();
    if (!ReadIntField(m_dialogs, this, m_packetSize, values.packetSize)) return;
    if (!ReadIpv4Text(m_collectorAddress->text(), values.collectorAddress)) {
        values.collectorAddress = 0;
    }
    if (!ReadIntField(m_dialogs, this, m_port, values.port)) return;
    values.datagramVersionIndex = m_datagramVersion->currentIndex();
    m_values = values;
    accept();
}

}  // namespace ortolan
