// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text formats of chart axes and points: the printf number formats and
// strftime time formats the program passes, checked and converted before
// they reach a formatter.
#include <string>

namespace ortolan {

// True for one floating-point conversion ("%.2f", "%8.3lf", "%g") with plain
// text around it; anything else ("%s", "%n", two conversions) is refused so a
// format can never read an argument it was not given.
bool IsNumberFormat(const std::string& format);
// printf of v with the format; a refused format falls back to "%g".
std::string FormatNumber(const std::string& format, double v);
// A strftime format turned into Qt's date-time format ("%m/%d %H:%M" gives
// "MM/dd HH:mm"); other text is quoted, unknown conversions are dropped.
std::string StrftimeToQtFormat(const std::string& format);

}  // namespace ortolan

namespace ortolan {

// A scale with round numbers (1, 2 or 5 times a power of ten) that covers
// lo to hi in about `ticks` steps.
struct tagNiceScale {
    double minimum;
    double maximum;
    double step;
};
tagNiceScale NiceScale(double lo, double hi, int ticks);

// The scale a value axis is drawn with. The tick count stays small whatever
// the values, so the drawing never lays out more than kMaxValueTicks ticks.
struct tagValueScale {
    double minimum;
    double maximum;
    int tickCount;   // ticks including both ends, 2 to kMaxValueTicks
};
constexpr int kMaxValueTicks = 26;
// With fit set and finite points given (dataMin <= dataMax), the scale runs
// from 0 to the least round value (1, 2 or 5 times a power of ten) that holds
// every point, and below 0 likewise for negative points; points that are all
// 0 keep the set scale. Otherwise the set scale, ticked at the set step when
// that gives few enough ticks, else in five parts.
tagValueScale FitValueScale(double setMin, double setMax, double step, bool fit, double dataMin,
                            double dataMax);
// The label of a value axis at v: at most four significant digits, and from
// 1000 up an SI prefix (k, M, G, T, P, E), so a label stays about six
// characters whatever the scale: "0", "0.25", "999", "1.5k", "1M", "12.35G".
// Values below 1 down to 0.001 are decimals ("0.001"); smaller ones, and
// 1000E and above, take an exponent ("2e-4", "1e31").
std::string AxisValueText(double v);

// The strftime format a time axis from lo to hi (seconds since 1970) is
// labelled with: the set one, or, when the span crosses a local day and the
// set format shows no day, the date in front ("%m/%d %H:%M", as the window's
// other times) without the seconds.
std::string TimeAxisFormat(const std::string& format, double lo, double hi);

}  // namespace ortolan
