// SPDX-License-Identifier: GPL-3.0-or-later
#include "about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "state_pictures.h"

namespace ortolan {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("バージョン情報 Ortolan"));
    auto* icon = new QLabel(this);
    icon->setPixmap(MakeIdlePicture(48));
    auto* text = new QLabel(QString::fromUtf8(kVersionText), this);
    QFont font = text->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    text->setFont(font);
    auto* close = new QPushButton(QString::fromUtf8("閉じる"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    row->addWidget(close, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setContentsMargins(16, 16, 16, 16);
    setMinimumWidth(340);
}

}  // namespace ortolan
