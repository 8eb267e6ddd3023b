// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include "list_csv_export.h"
#include "qt_test_app.h"
#include "scripted_dialog_seam.h"

namespace ortolan {
namespace {

using testing::ScriptedDialogSeam;

std::string ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

class ExportListCsvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::TestApp();
        ASSERT_TRUE(m_dir.isValid());
        m_model.setHorizontalHeaderLabels({QStringLiteral("IPアドレス   　"), QStringLiteral("ホスト名")});
    }
    void AddRow(const QString& a, const QString& b)
    {
        m_model.appendRow({new QStandardItem(a), new QStandardItem(b)});
    }

    QTemporaryDir m_dir;
    QStandardItemModel m_model;
    ScriptedDialogSeam m_dialogs;
};

TEST_F(ExportListCsvTest, AnEmptyListAsksNothing)
{
    EXPECT_FALSE(ExportListCsv(m_dialogs, nullptr, "IPアドレス一覧", "IPアドレス一覧.csv", m_model));
    EXPECT_TRUE(m_dialogs.saveRequests.empty());
}

TEST_F(ExportListCsvTest, WritesTitleHeadersAndRowsAsShown)
{
    AddRow("10.0.0.9", "nine");
    AddRow("10.0.0.10", "ten \"quoted\"");
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&m_model);
    sorted.sort(1, Qt::DescendingOrder);   // "ten ..." before "nine": the order on screen

    const QString path = m_dir.filePath("list.csv");
    m_dialogs.saveAnswers.push_back(path);
    EXPECT_TRUE(ExportListCsv(m_dialogs, nullptr, "IPアドレス一覧", "IPアドレス一覧.csv", sorted));

    ASSERT_EQ(m_dialogs.saveRequests.size(), 1u);
    const tagSaveFileRequest& request = m_dialogs.saveRequests[0];
    EXPECT_EQ(request.defaultName, QStringLiteral("IPアドレス一覧.csv"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("csv"));
    EXPECT_EQ(request.filter, QStringLiteral("CSV File (*.csv)|*.csv||"));
    EXPECT_EQ(ReadFile(path),
              "\"IPアドレス一覧\"\n"
              "\"IPアドレス   　\",\"ホスト名\"\n"
              "\"10.0.0.10\",\"ten \"\"quoted\"\"\"\n"
              "\"10.0.0.9\",\"nine\"\n");
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(ExportListCsvTest, AnExistingFileIsReplaced)
{
    AddRow("a", "b");
    const QString path = m_dir.filePath("old.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(std::string(5000, 'x').c_str());
    }
    m_dialogs.saveAnswers.push_back(path);
    EXPECT_TRUE(ExportListCsv(m_dialogs, nullptr, "t", "t.csv", m_model));
    EXPECT_EQ(ReadFile(path), "\"t\"\n\"IPアドレス   　\",\"ホスト名\"\n\"a\",\"b\"\n");
}

TEST_F(ExportListCsvTest, CancelOrAnUnwritablePathWritesNothingAndSaysNothing)
{
    AddRow("a", "b");
    EXPECT_FALSE(ExportListCsv(m_dialogs, nullptr, "t", "t.csv", m_model));   // cancelled
    m_dialogs.saveAnswers.push_back(m_dir.filePath("missing/folder/t.csv"));
    EXPECT_FALSE(ExportListCsv(m_dialogs, nullptr, "t", "t.csv", m_model));
    EXPECT_EQ(m_dialogs.saveRequests.size(), 2u);
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(m_dir.filePath("missing/folder/t.csv")));
}

}  // namespace
}  // namespace ortolan
