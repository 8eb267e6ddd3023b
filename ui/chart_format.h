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

}  // namespace ortolan
