// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_entry_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_seam.h"
#include "entry_fields.h"

namespace ortolan {

CSFEntryDlg::CSFEntryDlg(IDialogSeam& dialogs, const tagSfV4Entry& start, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_values(start)
{
    setWindowTitle(QStringLiteral("sFlow収集設定"));
    auto* dataSource = new QLineEdit(QString::fromStdString(start.dataSource), this);
    MakeReadOnly(dataSource);
    dataSource->setObjectName(QStringLiteral("dataSource"));
    m_owner = new QLineEdit(QString::fromStdString(start.owner), this);
    m_periodValue = MakeDigitsEdit(this, start.period.value);
    m_periodUnit = MakePeriodUnitList(this, start.period.unitIndex);
    m_samplingRate = MakeIntEdit(this, start.samplingRate);
    m_counterInterval = MakeIntEdit(this, start.counterInterval);
    m_headerSize = MakeIntEdit(this, start.headerSize);
    m_packetSize = MakeIntEdit(this, start.packetSize);
    m_collectorAddress = MakeIpv4Edit(this, start.collectorAddress);
    m_collectorPort = MakeIntEdit(this, start.collectorPort);
    m_datagramVersion = MakeDatagramVersionList(this, start.datagramVersionIndex);

    m_owner->setObjectName(QStringLiteral("owner"));
    m_periodValue->setObjectName(QStringLiteral("periodValue"));
    m_periodUnit->setObjectName(QStringLiteral("periodUnit"));
    m_samplingRate->setObjectName(QStringLiteral("samplingRate"));
    m_counterInterval->setObjectName(QStringLiteral("counterInterval"));
    m_headerSize->setObjectName(QStringLiteral("headerSize"));
    m_packetSize->setObjectName(QStringLiteral("packetSize"));
    m_collectorAddress->setObjectName(QStringLiteral("collectorAddress"));
    m_collectorPort->setObjectName(QStringLiteral("collectorPort"));
    m_datagramVersion->setObjectName(QStringLiteral("datagramVersion"));

    auto* period = new QHBoxLayout;
    period->addWidget(m_periodValue, 1);
    period->addWidget(m_periodUnit);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("データソース"), dataSource);
    form->addRow(QStringLiteral("オナー文字列"), m_owner);
    form->addRow(QStringLiteral("収集期間"), period);
    form->addRow(QStringLiteral("サンプルレート"), m_samplingRate);
    form->addRow(QStringLiteral("カウンタ間隔"), m_counterInterval);
    form->addRow(QStringLiteral("ヘッダサイズ"), m_headerSize);
    form->addRow(QStringLiteral("パケットサイズ"), m_packetSize);
    form->addRow(QStringLiteral("コレクターＩＰ"), m_collectorAddress);
    form->addRow(QStringLiteral("ポート"), m_collectorPort);
    form->addRow(QStringLiteral("sFlow Ver."), m_datagramVersion);

    LayOutEntryDialog(this, form, [this] { OnSet(); }, 267, 159);
}

void CSFEntryDlg::OnSet()
{
    tagSfV4Entry values = m_values;
    values.owner = m_owner->text().toStdString();
    if (!ReadIntField(m_dialogs, this, m_periodValue, values.period.value)) return;
    values.period.unitIndex = m_periodUnit->currentIndex();
    if (!ReadIntField(m_dialogs, this, m_samplingRate, values.samplingRate)) return;
    if (!ReadIntField(m_dialogs, this, m_counterInterval, values.counterInterval)) return;
    if (!ReadIpv4Text(m_collectorAddress->text(), values.collectorAddress)) {
        values.collectorAddress = 0;
    }
    if (!ReadIntField(m_dialogs, this, m_collectorPort, values.collectorPort)) return;
    values.datagramVersionIndex = m_datagramVersion->currentIndex();
    if (!ReadIntField(m_dialogs, this, m_headerSize, values.headerSize)) return;
    if (!ReadIntField(m_dialogs, this, m_packetSize, values.packetSize)) return;
    m_values = values;
    accept();
}

}  // namespace ortolan
