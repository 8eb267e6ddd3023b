#include <gtest/gtest.h>

#include "chart_format.h"

namespace ortolan {
namespace {

TEST(ChartFormat, TimeFormatsBecomeQtFormats)
{
    EXPECT_EQ(StrftimeToQtFormat("%H:%M:%S"), "HH:mm:ss");
    EXPECT_EQ(StrftimeToQtFormat("%m/%d %H:%M"), "MM/dd HH:mm");
    EXPECT_EQ(StrftimeToQtFormat("%Y/%m/%d"), "yyyy/MM/dd");
    // Letters outside conversions would be read as Qt fields, so they are quoted.
    EXPECT_EQ(StrftimeToQtFormat("at %H h"), "'at 'HH' h'");
    EXPECT_EQ(StrftimeToQtFormat("%H時%M分"), "HH時mm分");
    EXPECT_EQ(StrftimeToQtFormat("100%% %q"), "100% ");
    EXPECT_EQ(StrftimeToQtFormat("%"), "%");
}

TEST(ChartFormat, OnlyOneFloatingConversionIsAcceptedAsANumberFormat)
{
    for (const char* ok : {"%.0f", "%.2f", "%.3f", "%.4f", "%lf", "%8.3lf", "%g", "%.1f%%", "x=%e"})
        EXPECT_TRUE(IsNumberFormat(ok)) << ok;
    for (const char* bad : {"", "%s", "%n", "%d", "%.2f %.2f", "%", "%.2", "abc", "%*.2f", "%1234f"})
        EXPECT_FALSE(IsNumberFormat(bad)) << bad;
    EXPECT_EQ(FormatNumber("%.0f", 3.0), "3");
    EXPECT_EQ(FormatNumber("%.2f%%", 12.345), "12.35%");
    EXPECT_EQ(FormatNumber("%s", 2.5), "2.5");
}

TEST(ChartFormat, NiceScaleCoversTheRangeWithRoundSteps)
{
    tagNiceScale s = NiceScale(0, 7500, 5);
    EXPECT_LE(s.minimum, 0);
    EXPECT_GE(s.maximum, 7500);
    EXPECT_EQ(s.step, 2000);
    s = NiceScale(-3, 0.7, 5);
    EXPECT_LE(s.minimum, -3);
    EXPECT_GE(s.maximum, 0.7);
    EXPECT_EQ(s.step, 1);
    s = NiceScale(5, 5, 5);   // an empty range still gives a drawable scale
    EXPECT_LT(s.minimum, s.maximum);
    EXPECT_GT(s.step, 0);
}

}  // namespace
}  // namespace ortolan
