// SPDX-License-Identifier: GPL-3.0-or-later
#include "start_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <ctime>

#include "ortolan_app.h"
#include "scripted_dialog_seam.h"
#include "local_dates.h"

namespace ortolan {
namespace {

const QString kNoFolder = QStringLiteral("ログ保存フォルダが選択されていません。");
const QString kTodayMissing = QStringLiteral(
    "オンラインモニタ解析を開始する指定ですが、今日のログが選択されていません。\nこのまま実行しますか？");
const QString kNothingChosen = QStringLiteral("オフライン解析するログが選択されていません。");
const QString kDeleteQuestion = QStringLiteral("選択したログファイルを削除しますか？");

int64_t Noon(int year, int month, int day) { return testing::LocalTimeOf(year, month, day); }

class StartDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QApplication(argc, argv);
        m_app = std::make_unique<COrtolanApp>(m_settings.filePath("settings.ini"));
        m_app->ReadSettings();
        m_app->SetLogFolder(m_logs.path().toStdString());
    }

    void MakeLogs(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            QFile f(m_logs.filePath(QString::fromLatin1(name)));
            f.open(QIODevice::WriteOnly);
            f.write("S\t1\t10.0.0.1\t6343\t00000005\n");
        }
    }
    std::unique_ptr<CStartDlg> Open(int64_t now)
    {
        return std::make_unique<CStartDlg>(*m_app, m_seam, [now] { return now; });
    }
    static void Click(CStartDlg& dlg, const char* caption)
    {
        for (QPushButton* b : dlg.findChildren<QPushButton*>())
            if (b->text() == QString::fromUtf8(caption)) return b->click();
        FAIL() << "no button " << caption;
    }
    static QStringList Selected(CStartDlg& dlg)
    {
        QStringList names;
        for (int i = 0; i < dlg.logList()->count(); ++i)
            if (dlg.logList()->item(i)->isSelected()) names << dlg.logList()->item(i)->text();
        return names;
    }

    QTemporaryDir m_settings;
    QTemporaryDir m_logs;
    std::unique_ptr<COrtolanApp> m_app;
    testing::ScriptedDialogSeam m_seam;
};

TEST_F(StartDlgTest, OpensOnlineWithTheNewestLogAndAcceptsIt)
{
    MakeLogs({"FL2009-03-01.log", "FL2009-03-02.log", "FL2009-03-03.log", "notes.txt"});
    auto dlg = Open(Noon(2009, 3, 3));
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("モニタ解析設定"));
    EXPECT_TRUE(dlg->onlineBox()->isChecked());
    EXPECT_EQ(dlg->onlineBox()->text(), QStringLiteral("オンラインモニタを開始する。"));
    EXPECT_TRUE(dlg->folderField()->isReadOnly());
    EXPECT_EQ(dlg->folderField()->text().toStdString(), m_app->LogFolder());
    EXPECT_EQ(dlg->logList()->count(), 3);
    EXPECT_EQ(Selected(*dlg), QStringList{"FL2009-03-03.log"});
    for (const char* caption : {"今日", "今週", "全選択", "全解除", "削除", "<<", "実行", "取消"}) {
        bool found = false;
        for (QPushButton* b : dlg->findChildren<QPushButton*>()) found |= b->text() == QString::fromUtf8(caption);
        EXPECT_TRUE(found) << caption;
    }

    Click(*dlg, "実行");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(dlg->online());
    EXPECT_EQ(dlg->chosenLogs(), (std::vector<std::string>{"FL2009-03-03.log"}));
    EXPECT_TRUE(m_seam.messages.isEmpty());
    EXPECT_TRUE(m_seam.questions.isEmpty());
}

TEST_F(StartDlgTest, QuickSelectionsAndClicksToggle)
{
    // 2009-03-11 was a Wednesday: this week runs from Thursday 5 March.
    MakeLogs({"FL2009-03-01.log", "FL2009-03-04.log", "FL2009-03-05.log", "FL2009-03-10.log",
              "FL2009-03-11.log"});
    auto dlg = Open(Noon(2009, 3, 11));
    Click(*dlg, "全選択");
    EXPECT_EQ(Selected(*dlg).size(), 5);
    Click(*dlg, "全解除");
    EXPECT_TRUE(Selected(*dlg).isEmpty());
    Click(*dlg, "今週");
    EXPECT_EQ(Selected(*dlg), (QStringList{"FL2009-03-05.log", "FL2009-03-10.log", "FL2009-03-11.log"}));
    Click(*dlg, "今日");
    EXPECT_EQ(Selected(*dlg), QStringList{"FL2009-03-11.log"});

    // The user's own clicks reach the result.
    dlg->logList()->item(0)->setSelected(true);
    dlg->onlineBox()->setChecked(false);
    Click(*dlg, "実行");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->online());
    EXPECT_EQ(dlg->chosenLogs(), (std::vector<std::string>{"FL2009-03-01.log", "FL2009-03-11.log"}));
}

TEST_F(StartDlgTest, RunShowsItsThreeMessagesAndStays)
{
    MakeLogs({"FL2009-03-01.log", "FL2009-03-02.log"});
    auto dlg = Open(Noon(2009, 3, 3));

    // No log of today: the newest is yesterday's; cleared, online asks.
    Click(*dlg, "全解除");
    m_seam.yesNoAnswers = {false};
    Click(*dlg, "実行");
    EXPECT_EQ(m_seam.questions, QStringList{kTodayMissing});
    EXPECT_NE(dlg->result(), QDialog::Accepted);

    // Offline with nothing chosen.
    dlg->onlineBox()->setChecked(false);
    Click(*dlg, "実行");
    EXPECT_EQ(m_seam.messages, QStringList{kNothingChosen});
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->onlineBox()->isChecked()) << "the user's choices stay";

    // Going on after the question: online, nothing to replay.
    dlg->onlineBox()->setChecked(true);
    m_seam.yesNoAnswers = {true};
    Click(*dlg, "実行");
    EXPECT_EQ(m_seam.questions.size(), 2);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(dlg->chosenLogs().empty());
}

TEST_F(StartDlgTest, OnlineWithoutFolderIsRefused)
{
    QTemporaryDir settings;
    // No saved folder, and no home folder for a default one.
    COrtolanApp app(settings.filePath("s.ini"), CUserFolders([](const char*) -> const char* { return nullptr; }));
    app.ReadSettings();
    ASSERT_EQ(app.LogFolder(), "");
    CStartDlg dlg(app, m_seam, [] { return Noon(2009, 3, 3); });
    EXPECT_EQ(dlg.logList()->count(), 0);
    Click(dlg, "実行");
    EXPECT_EQ(m_seam.messages, QStringList{kNoFolder});
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    Click(dlg, "取消");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(StartDlgTest, DeleteAsksThenDeletesTheSelectedLogs)
{
    MakeLogs({"FL2009-03-01.log", "FL2009-03-02.log", "FL2009-03-03.log"});
    auto dlg = Open(Noon(2009, 3, 3));
    dlg->logList()->item(0)->setSelected(true);

    m_seam.yesNoAnswers = {false};
    Click(*dlg, "削除");
    EXPECT_EQ(m_seam.questions, QStringList{kDeleteQuestion});
    EXPECT_EQ(dlg->logList()->count(), 3);

    m_seam.yesNoAnswers = {true};
    Click(*dlg, "削除");
    EXPECT_FALSE(QFile::exists(m_logs.filePath("FL2009-03-01.log")));
    EXPECT_FALSE(QFile::exists(m_logs.filePath("FL2009-03-03.log")));
    EXPECT_TRUE(QFile::exists(m_logs.filePath("FL2009-03-02.log")));
    ASSERT_EQ(dlg->logList()->count(), 1);
    EXPECT_EQ(Selected(*dlg), QStringList{"FL2009-03-02.log"}) << "refilled, newest selected";
}

TEST_F(StartDlgTest, FolderPickerChangesAndSavesTheLogFolder)
{
    MakeLogs({"FL2009-03-01.log"});
    QTemporaryDir other;
    QFile(other.filePath("FL2009-02-27.log")).open(QIODevice::WriteOnly);
    QFile(other.filePath("FL2009-02-28.log")).open(QIODevice::WriteOnly);
    auto dlg = Open(Noon(2009, 3, 3));
    std::string before = m_app->LogFolder();

    m_seam.folderAnswers = {other.filePath("does-not-exist"), QString()};
    Click(*dlg, "<<");
    Click(*dlg, "<<");
    EXPECT_EQ(m_seam.folderTitles, (QStringList{"ログ保存フォルダ", "ログ保存フォルダ"}));
    EXPECT_EQ(m_app->LogFolder(), before);

    m_seam.folderAnswers = {other.path()};
    Click(*dlg, "<<");
    std::string chosen = other.path().toStdString() + "/";
    EXPECT_EQ(m_app->LogFolder(), chosen);
    EXPECT_EQ(dlg->folderField()->text().toStdString(), chosen);
    EXPECT_EQ(Selected(*dlg), QStringList{"FL2009-02-28.log"}) << "the list shows the new folder";

    COrtolanApp reread(m_settings.filePath("settings.ini"));
    reread.ReadSettings();
    EXPECT_EQ(reread.LogFolder(), chosen) << "saved at once";
}

}  // namespace
}  // namespace ortolan
