// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

#include "auto_size_columns.h"
#include "qt_test_app.h"

namespace ortolan {
namespace {

class AutoSizeColumnsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_model.setHorizontalHeaderLabels({QStringLiteral("エージェント "), QStringLiteral("a"), QStringLiteral("IP.Addr")});
        m_view.setModel(&m_model);
    }
    void AddRow(const QString& a, const QString& b, const QString& c)
    {
        m_model.appendRow({new QStandardItem(a), new QStandardItem(b), new QStandardItem(c)});
    }
    int Width(int column) const { return m_view.columnWidth(column); }
    int Advance(const QString& text) const { return m_view.fontMetrics().horizontalAdvance(text); }

    QApplication& m_app = testing::TestApp();   // before any widget member
    QStandardItemModel m_model;
    QTableView m_view;
};

TEST_F(AutoSizeColumnsTest, ColumnsFitTheWiderOfContentsAndHeaderAndTheLastTakesTheRest)
{
    const QString longKey = QStringLiteral("sFlow V5:192.168.100.200:123456");
    AddRow(longKey, QStringLiteral("12345678901234567890"), QStringLiteral("1"));
    m_view.resize(1000, 300);
    AutoSizeColumns(&m_view);

    EXPECT_GE(Width(0), Advance(longKey));                              // contents wider than header
    EXPECT_GE(Width(0), Advance(QStringLiteral("エージェント ")));
    EXPECT_GE(Width(1), Advance(QStringLiteral("12345678901234567890")));
    EXPECT_LT(Width(1), Advance(QStringLiteral("12345678901234567890")) + 40);   // fitted, not stretched
    // The last column takes the free width: the list's width less 32, less the others.
    EXPECT_EQ(Width(0) + Width(1) + Width(2), 1000 - kAutoSizeReserve);
}

TEST_F(AutoSizeColumnsTest, TheLastColumnKeepsItsFitWhenNothingIsLeft)
{
    AddRow(QStringLiteral("x").repeated(80), QStringLiteral("y").repeated(80), QStringLiteral("wide last text"));
    m_view.resize(200, 300);
    AutoSizeColumns(&m_view);
    EXPECT_GE(Width(2), Advance(QStringLiteral("wide last text")));
    EXPECT_LT(Width(2), Advance(QStringLiteral("wide last text")) + 40);
    EXPECT_GT(Width(0) + Width(1) + Width(2), 200);
}

TEST_F(AutoSizeColumnsTest, HeaderWiderThanContentsSetsTheWidthAndNoColumnIsNarrowerThanTen)
{
    m_model.setHorizontalHeaderLabels({QStringLiteral("MACアドレスリスト 　　　　"), QString(), QString()});
    m_view.horizontalHeader()->setMinimumSectionSize(0);
    AddRow(QStringLiteral("1"), QString(), QString());
    m_view.resize(100, 300);
    AutoSizeColumns(&m_view);
    EXPECT_GE(Width(0), Advance(QStringLiteral("MACアドレスリスト 　　　　")));
    EXPECT_GE(Width(1), kAutoSizeMinimum);
    EXPECT_GE(Width(2), kAutoSizeMinimum);
    EXPECT_TRUE(m_view.updatesEnabled());
}

}  // namespace
}  // namespace ortolan
