// SPDX-License-Identifier: GPL-3.0-or-later
#include "start_dlg.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "dialog_seam.h"
#include "log_files.h"
#include "ortolan_app.h"

namespace ortolan {

CStartDlg::CStartDlg(COrtolanApp& app, IDialogSeam& seam, Clock clock, QWidget* parent)
    : QDialog(parent), m_app(app), m_seam(seam), m_clock(std::move(clock))
{
    setWindowTitle(QStringLiteral("モニタ解析設定"));

    m_onlineBox = new QCheckBox(QStringLiteral("オンラインモニタを開始する。"), this);
    m_onlineBox->setChecked(true);

    auto* folderLabel = new QLabel(QStringLiteral("ログ保存フォルダ"), this);
    m_folderField = new QLineEdit(this);
    m_folderField->setReadOnly(true);
    auto* pickButton = new QPushButton(QStringLiteral("<<"), this);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folderField, 1);
    folderRow->addWidget(pickButton);

    auto* logGroup = new QGroupBox(QStringLiteral("ログ"), this);
    m_list = new QListWidget(logGroup);
    m_list->setSelectionMode(QAbstractItemView::MultiSelection);  // each click toggles
    auto* todayButton = new QPushButton(QStringLiteral("今日"), logGroup);
    auto* weekButton = new QPushButton(QStringLiteral("今週"), logGroup);
    auto* allButton = new QPushButton(QStringLiteral("全選択"), logGroup);
    auto* noneButton = new QPushButton(QStringLiteral("全解除"), logGroup);
    auto* deleteButton = new QPushButton(QStringLiteral("削除"), logGroup);
    auto* quickColumn = new QVBoxLayout;
    for (QPushButton* b : {todayButton, weekButton, allButton, noneButton, deleteButton})
        quickColumn->addWidget(b);
    quickColumn->addStretch(1);
    auto* groupLayout = new QHBoxLayout(logGroup);
    groupLayout->addWidget(m_list, 1);
    groupLayout->addLayout(quickColumn);

    auto* runButton = new QPushButton(QStringLiteral("実行"), this);
    auto* cancelButton = new QPushButton(QStringLiteral("取消"), this);
    runButton->setDefault(true);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(runButton);
    buttonRow->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_onlineBox);
    layout->addWidget(folderLabel);
    layout->addLayout(folderRow);
    layout->addWidget(logGroup, 1);
    layout->addLayout(buttonRow);

    connect(todayButton, &QPushButton::clicked, this, &CStartDlg::OnToday);
    connect(weekButton, &QPushButton::clicked, this, &CStartDlg::OnWeek);
    connect(allButton, &QPushButton::clicked, this, &CStartDlg::OnSelectAll);
    connect(noneButton, &QPushButton::clicked, this, &CStartDlg::OnClearAll);
    connect(deleteButton, &QPushButton::clicked, this, &CStartDlg::OnDelete);
    connect(pickButton, &QPushButton::clicked, this, &CStartDlg::OnPickFolder);
    connect(runButton, &QPushButton::clicked, this, &CStartDlg::OnRun);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CStartDlg::TakeSelectionFromList);

    m_folderField->setText(QString::fromStdString(m_app.LogFolder()));
    FillList();
}

void CStartDlg::FillList()
{
    m_selection.Fill(ListLogFiles(m_app.LogFolder()));
    QSignalBlocker block(m_list);
    m_list->clear();
    for (const std::string& name : m_selection.names())
        m_list->addItem(QString::fromStdString(name));
    ShowSelection();
}

void CStartDlg::ShowSelection()
{
    {
        QSignalBlocker block(m_list);
        for (int i = 0; i < m_list->count(); ++i)
            m_list->item(i)->setSelected(m_selection.IsSelected(size_t(i)));
    }
    if (auto scroll = m_selection.scroll()) {
        if (QListWidgetItem* item = m_list->item(int(scroll->index)))
            m_list->scrollToItem(item, scroll->toTop ? QAbstractItemView::PositionAtTop
                                                     : QAbstractItemView::EnsureVisible);
    }
}

void CStartDlg::TakeSelectionFromList()
{
    for (int i = 0; i < m_list->count(); ++i)
        m_selection.SetSelected(size_t(i), m_list->item(i)->isSelected());
}

void CStartDlg::OnToday()
{
    m_selection.SelectToday(m_clock());
    ShowSelection();
}

void CStartDlg::OnWeek()
{
    m_selection.SelectWeek(m_clock());
    ShowSelection();
}

void CStartDlg::OnSelectAll()
{
    m_selection.SelectAll();
    ShowSelection();
}

void CStartDlg::OnClearAll()
{
    m_selection.ClearAll();
    ShowSelection();
}

void CStartDlg::OnDelete()
{
    if (!m_seam.AskYesNo(this, QStringLiteral("選択したログファイルを削除しますか？"))) return;
    // The folder as listed (empty: the current folder), so the file deleted is
    // the file shown, never one at the root of the file system.
    QString folder = m_folderField->text();
    for (const std::string& name : m_selection.SelectedNames())
        QFile::remove(folder + QString::fromStdString(name));
    FillList();
}

void CStartDlg::OnPickFolder()
{
    QString picked = m_seam.PickFolder(this, QStringLiteral("ログ保存フォルダ"), m_folderField->text());
    if (picked.isEmpty()) return;
    QFileInfo info(picked);
    if (!info.exists() || !info.isDir()) return;
    if (!picked.endsWith(QLatin1Char('/'))) picked += QLatin1Char('/');
    m_app.SetLogFolder(picked.toStdString());
    m_folderField->setText(QString::fromStdString(m_app.LogFolder()));
    // The list shows the new folder at once: the names chosen are read from it.
    FillList();
}

void CStartDlg::OnRun()
{
    bool online = m_onlineBox->isChecked();
    switch (m_selection.CheckRun(online, m_folderField->text().toStdString())) {
    case RunCheck::NoFolder:
        m_seam.ShowMessage(this, QStringLiteral("ログ保存フォルダが選択されていません。"));
        return;
    case RunCheck::AskTodayMissing:
        if (!m_seam.AskYesNo(this, QStringLiteral("オンラインモニタ解析を開始する指定ですが、"
                                                  "今日のログが選択されていません。\n"
                                                  "このまま実行しますか？")))
            return;
        break;
    case RunCheck::Proceed:
        break;
    }
    if (!m_selection.CanAccept(online)) {
        m_seam.ShowMessage(this, QStringLiteral("オフライン解析するログが選択されていません。"));
        return;
    }
    m_online = online;
    m_chosen = m_selection.SelectedNames();
    accept();
}

}  // namespace ortolan
