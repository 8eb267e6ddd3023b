// SPDX-License-Identifier: GPL-3.0-or-later
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

TEST(ChartFormat, FittedScalesAreRoundFromZeroWithFewTicks)
{
    // Fitted both ways: small values get a small scale, large ones a large one.
    struct tagCase {
        double lo, hi, wantMin, wantMax;
    };
    for (tagCase c : {tagCase{0, 0.4, 0, 0.5}, {0.001, 0.001, 0, 0.001}, {0, 7500, 0, 10000}, {3, 1e15, 0, 1e15},
                      {0, 1.5e15, 0, 2e15}, {-3, 0.7, -5, 1}, {-120, -5, -200, 0}}) {
        SCOPED_TRACE(c.hi);
        tagValueScale s = FitValueScale(0, 100, 20, true, c.lo, c.hi);
        EXPECT_DOUBLE_EQ(s.minimum, c.wantMin);
        EXPECT_DOUBLE_EQ(s.maximum, c.wantMax);
        EXPECT_GE(s.tickCount, 3);
        EXPECT_LE(s.tickCount, 11);
    }
    // No points, points all 0, or no fit asked: the set scale at its step.
    tagValueScale s = FitValueScale(0, 100, 20, true, 1, 0);
    EXPECT_EQ(s.maximum, 100);
    EXPECT_EQ(s.tickCount, 6);
    EXPECT_EQ(FitValueScale(0, 100, 20, true, 0, 0).maximum, 100);
    EXPECT_EQ(FitValueScale(0, 100, 20, false, 0, 5e9).maximum, 100);
    // A step too dense to draw gives five parts, not thousands of ticks.
    EXPECT_EQ(FitValueScale(0, 1e9, 0.5, false, 0, 1).tickCount, 6);
}

TEST(ChartFormat, AxisLabelsGetTheDecimalsTheirStepNeeds)
{
    EXPECT_EQ(AxisLabelFormat("%.0f", 20), "%.0f");
    EXPECT_EQ(AxisLabelFormat("%.0f", 0.2), "%.1f");
    EXPECT_EQ(AxisLabelFormat("%.2f", 0.004), "%.3f");
    EXPECT_EQ(AxisLabelFormat("%.3f", 0.25), "%.3f");
    EXPECT_EQ(AxisLabelFormat("%.1lf%%", 0.05), "%.2lf%%");
    EXPECT_EQ(AxisLabelFormat("%s", 1), "%g");
}

}  // namespace
}  // namespace ortolan
