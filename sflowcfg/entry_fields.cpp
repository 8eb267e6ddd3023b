// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry_fields.h"

#include <QPalette>

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <QFontMetrics>
#include <QIntValidator>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

#include "agent_address.h"
#include "dialog_seam.h"
#include "sf_messages.h"

namespace ortolan {

void MakeReadOnly(QLineEdit* field)
{
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
}

QLineEdit* MakeIntEdit(QWidget* parent, int value)
{
    auto* edit = new QLineEdit(QString::number(value), parent);
    return edit;
}

QLineEdit* MakeDigitsEdit(QWidget* parent, int value)
{
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QLineEdit* MakeIpv4Edit(QWidget* parent, uint32_t address)
{
    auto* edit = new QLineEdit(QString::fromStdString(IpToText(address)), parent);
    // Each part 0 to 255 or still empty, at most four parts: whatever the
    // user can type reads as an address.
    const QString part = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?");
    QRegularExpression pattern(QStringLiteral("^%1(\\.%1){0,3}$").arg(part));
    edit->setValidator(new QRegularExpressionValidator(pattern, edit));
    return edit;
}

QComboBox* MakePeriodUnitList(QWidget* parent, int unitIndex)
{
    auto* list = new QComboBox(parent);
    list->addItems({QStringLiteral("秒"), QStringLiteral("分"), QStringLiteral("時間"), QStringLiteral("日"),
                    QStringLiteral("月"), QStringLiteral("年")});
    list->setCurrentIndex(unitIndex >= 0 && unitIndex < list->count() ? unitIndex : 0);
    return list;
}

QComboBox* MakeDatagramVersionList(QWidget* parent, int versionIndex)
{
    auto* list = new QComboBox(parent);
    list->addItems({QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("5")});
    list->setCurrentIndex(versionIndex >= 0 && versionIndex < list->count() ? versionIndex : 2);
    return list;
}

bool ReadIntField(IDialogSeam& dialogs, QWidget* dialog, QLineEdit* field, int& value)
{
    bool ok = false;
    int number = field->text().trimmed().toInt(&ok);
    if (!ok) {
        dialogs.ShowMessage(dialog, QString::fromUtf8(kMsgEnterInteger));
        field->setFocus();
        field->selectAll();
        return false;
    }
    value = number;
    return true;
}

bool ReadIpv4Text(const QString& text, uint32_t& address)
{
    QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() > 4) return false;
    uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t part = 0;
        if (i < parts.size() && !parts[i].isEmpty()) {
            bool ok = false;
            part = parts[i].toUInt(&ok);
            if (!ok || part > 255) return false;
        }
        result = (result << 8) | part;
    }
    address = result;
    return true;
}

void SizeInDialogUnits(QWidget* widget, int width, int height)
{
    QFontMetrics metrics(widget->font());
    int unitX = std::max(1, metrics.averageCharWidth());
    int unitY = std::max(1, metrics.height());
    widget->resize(width * unitX / 4, height * unitY / 8);
}

void LayOutEntryDialog(QDialog* dialog, QFormLayout* form, std::function<void()> onSet, int width,
                       int height)
{
    auto* set = new QPushButton(QStringLiteral("設定"), dialog);
    auto* cancel = new QPushButton(QStringLiteral("取消"), dialog);
    set->setObjectName(QStringLiteral("set"));
    set->setDefault(true);
    QObject::connect(set, &QPushButton::clicked, dialog, std::move(onSet));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(set);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(dialog);
    layout->addLayout(form, 1);
    layout->addLayout(buttons);
    SizeInDialogUnits(dialog, width, height);
}

}  // namespace ortolan
