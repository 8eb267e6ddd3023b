// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include "rich_text_panel.h"

namespace ortolan {
namespace {

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "richtext_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) app = new QApplication(argc, argv);
    return *app;
}

// Clearly of the colour (text edges are antialiased against black).
bool Near(QColor c, QColor want)
{
    return std::abs(c.red() - want.red()) < 60 && std::abs(c.green() - want.green()) < 60 &&
           std::abs(c.blue() - want.blue()) < 60;
}

int CountColor(const QImage& image, QColor want)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += Near(image.pixelColor(x, y), want);
    return count;
}

int RowsWithColor(const QImage& image, QColor want)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        bool hit = false;
        for (int x = 0; x < image.width() && !hit; ++x) hit = Near(image.pixelColor(x, y), want);
        rows += hit;
    }
    return rows;
}

int FirstRowWithColor(const QImage& image, QColor want)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Near(image.pixelColor(x, y), want)) return y;
    return -1;
}

TEST(RichTextPanel, DrawsEachLineInItsColourOnBlack)
{
    TestApp();
    CRichTextPanel panel;
    panel.resize(520, 90);
    panel.SetMarkup(QStringLiteral(
        "<font size=9pt color=#00ff00>sFlow:   2ノード(5ポート)  1234パケット</font><br>"
        "<font size=9pt color=#ffff00>受信速度: 150.000パケット/秒</font>"
        "<br><font  size=9pt color=#ffffff>11/15 07:13から0日 01時間02分03秒間モニタしています。</font>"));
    EXPECT_EQ(panel.PlainText(), QStringLiteral("sFlow:   2ノード(5ポート)  1234パケット\n"
                                                "受信速度: 150.000パケット/秒\n"
                                                "11/15 07:13から0日 01時間02分03秒間モニタしています。"));
    QImage image = panel.grab().toImage();
    ASSERT_EQ(image.size(), QSize(520, 90));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(519, 89), QColor(Qt::black));
    EXPECT_GT(CountColor(image, QColor(0, 255, 0)), 20);
    EXPECT_GT(CountColor(image, QColor(255, 255, 0)), 20);
    EXPECT_GT(CountColor(image, QColor(255, 255, 255)), 20);
    EXPECT_EQ(CountColor(image, QColor(255, 0, 0)), 0);
    // Green text sits above yellow, yellow above white: three lines, not one.
    EXPECT_LT(FirstRowWithColor(image, QColor(0, 255, 0)), FirstRowWithColor(image, QColor(255, 255, 0)));
    EXPECT_LT(FirstRowWithColor(image, QColor(255, 255, 0)), FirstRowWithColor(image, QColor(255, 255, 255)));
    EXPECT_GT(RowsWithColor(image, QColor(0, 255, 0)), 4);
}

TEST(RichTextPanel, NewMarkupReplacesTheOldAndLargerSizesDrawTaller)
{
    TestApp();
    CRichTextPanel panel;
    panel.resize(300, 80);
    panel.SetMarkup(QStringLiteral("<font size=9pt color=#ff0000>モニタしていません。</font>"));
    QImage small = panel.grab().toImage();
    EXPECT_GT(CountColor(small, QColor(255, 0, 0)), 20);
    EXPECT_EQ(panel.PlainText(), QStringLiteral("モニタしていません。"));

    panel.SetMarkup(QStringLiteral("<font size=18pt color=#ff0000>モニタしていません。</font>"));
    QImage large = panel.grab().toImage();
    EXPECT_GT(RowsWithColor(large, QColor(255, 0, 0)), RowsWithColor(small, QColor(255, 0, 0)));
    EXPECT_GT(panel.sizeHint().height(), 18);

    panel.SetMarkup(QString());
    EXPECT_EQ(CountColor(panel.grab().toImage(), QColor(255, 0, 0)), 0);
}

}  // namespace
}  // namespace ortolan
