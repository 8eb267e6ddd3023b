// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "chart_format.h"
#include "local_time.h"

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

TEST(ChartFormat, AxisValuesReadShortAtEveryScale)
{
    // Every power of ten from 10^-3 to 10^18, and one and a half times each.
    const char* powers[] = {"0.001", "0.01", "0.1", "1",    "10",   "100",  "1k",   "10k",
                            "100k",  "1M",   "10M", "100M", "1G",   "10G",  "100G", "1T",
                            "10T",   "100T", "1P",  "10P",  "100P", "1E"};
    const char* halves[] = {"0.0015", "0.015", "0.15", "1.5",  "15",   "150",  "1.5k", "15k",
                            "150k",   "1.5M",  "15M",  "150M", "1.5G", "15G",  "150G", "1.5T",
                            "15T",    "150T",  "1.5P", "15P",  "150P", "1.5E"};
    for (int e = -3; e <= 18; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(AxisValueText(std::pow(10.0, e)), powers[e + 3]);
        EXPECT_EQ(AxisValueText(1.5 * std::pow(10.0, e)), halves[e + 3]);
        EXPECT_EQ(AxisValueText(-std::pow(10.0, e)), std::string("-") + powers[e + 3]);
    }
    // Four significant digits at most; float noise rounds away.
    EXPECT_EQ(AxisValueText(0), "0");
    EXPECT_EQ(AxisValueText(999), "999");
    EXPECT_EQ(AxisValueText(999.5), "999.5");
    EXPECT_EQ(AxisValueText(999999), "1M");
    EXPECT_EQ(AxisValueText(1234567), "1.235M");
    EXPECT_EQ(AxisValueText(12345678), "12.35M");
    EXPECT_EQ(AxisValueText(250000), "250k");
    EXPECT_EQ(AxisValueText(0.25), "0.25");
    EXPECT_EQ(AxisValueText(0.1 + 0.2), "0.3");
    EXPECT_EQ(AxisValueText(3 * 0.2e6), "600k");
    EXPECT_EQ(AxisValueText(9999999999999998791471136483328.0), "1e31");
    // Past the prefixes and below 0.001, an exponent.
    EXPECT_EQ(AxisValueText(2.5e21), "2.5e21");
    EXPECT_EQ(AxisValueText(2e-4), "2e-4");
    EXPECT_EQ(AxisValueText(-2e-4), "-2e-4");
}

TEST(ChartFormat, TimeAxesShowTheDateWhenTheyCrossADay)
{
    // 23:00 on one local day and 01:00 on the next, in whatever zone the test runs.
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 8;
    tm.tm_hour = 23;
    tm.tm_isdst = -1;
    const double evening = double(std::mktime(&tm));
    tm.tm_mday = 9;
    tm.tm_hour = 1;
    tm.tm_isdst = -1;
    const double night = double(std::mktime(&tm));
    tm.tm_mday = 8;
    tm.tm_hour = 14;
    tm.tm_isdst = -1;
    const double afternoon = double(std::mktime(&tm));

    // Within one day the set format stays.
    EXPECT_EQ(TimeAxisFormat("%H:%M:%S", afternoon, evening), "%H:%M:%S");
    const std::string across = TimeAxisFormat("%H:%M:%S", evening, night);
    EXPECT_EQ(FormatLocalTime(across.c_str(), int64_t(evening)), "12/08 23:00");
    EXPECT_EQ(FormatLocalTime(across.c_str(), int64_t(night)), "12/09 01:00");
    EXPECT_EQ(StrftimeToQtFormat(across), "MM/dd HH:mm");
    // A format that already shows the day is left as it is.
    EXPECT_EQ(TimeAxisFormat("%m/%d %H:%M", afternoon, night), "%m/%d %H:%M");
}

}  // namespace
}  // namespace ortolan
