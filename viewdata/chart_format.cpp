// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_format.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <vector>

#include "local_time.h"

namespace ortolan {

namespace {

// Index just past the conversion that starts at format[pos] == '%', or 0 when
// it is not a floating-point conversion.
size_t ScanFloatConversion(const std::string& format, size_t pos)
{
    size_t i = pos + 1;
    while (i < format.size() && std::string("-+ 0#").find(format[i]) != std::string::npos) ++i;
    size_t digits = 0;
    while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) && digits < 3) {
        ++i;
        ++digits;
    }
    if (i < format.size() && format[i] == '.') {
        ++i;
        digits = 0;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])) && digits < 3) {
            ++i;
            ++digits;
        }
    }
    if (i < format.size() && format[i] == 'l') ++i;
    if (i < format.size() && std::string("fFeEgG").find(format[i]) != std::string::npos) return i + 1;
    return 0;
}

}  // namespace

bool IsNumberFormat(const std::string& format)
{
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t end = ScanFloatConversion(format, i);
        if (end == 0) return false;
        ++conversions;
        i = end - 1;
    }
    return conversions == 1;
}

std::string FormatNumber(const std::string& format, double v)
{
    const char* f = IsNumberFormat(format) ? format.c_str() : "%g";
    int n = std::snprintf(nullptr, 0, f, v);
    if (n < 0) return {};
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::snprintf(buf.data(), buf.size(), f, v);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string StrftimeToQtFormat(const std::string& format)
{
    std::string out;
    std::string literal;
    auto flushLiteral = [&] {
        if (literal.empty()) return;
        bool needsQuotes = false;
        for (char c : literal) {
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '\'') needsQuotes = true;
        }
        if (!needsQuotes) {
            out += literal;
        } else {
            out += '\'';
            for (char c : literal) out += (c == '\'') ? std::string("''") : std::string(1, c);
            out += '\'';
        }
        literal.clear();
    };
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            literal += c;
            continue;
        }
        char conversion = format[++i];
        const char* qt = nullptr;
        switch (conversion) {
        case 'Y': qt = "yyyy"; break;
        case 'y': qt = "yy"; break;
        case 'm': qt = "MM"; break;
        case 'd': qt = "dd"; break;
        case 'H': qt = "HH"; break;
        case 'M': qt = "mm"; break;
        case 'S': qt = "ss"; break;
        case 'b': qt = "MMM"; break;
        case 'a': qt = "ddd"; break;
        case '%': literal += '%'; break;
        default: break;
        }
        if (qt) {
            flushLiteral();
            out += qt;
        }
    }
    flushLiteral();
    return out;
}

}  // namespace ortolan

namespace ortolan {

tagNiceScale NiceScale(double lo, double hi, int ticks)
{
    if (!(hi > lo)) hi = lo + 1.0;
    if (ticks < 1) ticks = 1;
    double raw = (hi - lo) / ticks;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (step >= raw) break;
    }
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

namespace {

// The least of 1, 2 or 5 times a power of ten that is at least v (v > 0),
// with the number of equal parts that scale is ticked in.
struct tagRoundUp {
    double value;
    int parts;
};

tagRoundUp RoundUp(double v)
{
    double magnitude = std::pow(10.0, std::floor(std::log10(v)));
    // log10 may land a hair below an exact power; the loop then still picks
    // the right multiple, the tolerance only keeps 1000 from becoming 2000.
    for (auto [m, parts] : {std::pair{1.0, 5}, {2.0, 4}, {5.0, 5}, {10.0, 5}}) {
        double value = m * magnitude;
        if (value >= v * (1 - 1e-12)) return {std::isfinite(value) ? value : v, parts};
    }
    return {v, 5};
}

// Values this close to 0 count as 0: their powers of ten are subnormal.
constexpr double kTiny = 1e-300;

}  // namespace

tagValueScale FitValueScale(double setMin, double setMax, double step, bool fit, double dataMin, double dataMax)
{
    double lo = std::isfinite(setMin) ? setMin : 0.0;
    double hi = std::isfinite(setMax) ? setMax : lo + 1.0;
    if (hi < lo) std::swap(lo, hi);
    bool hasPoints = std::isfinite(dataMin) && std::isfinite(dataMax) && dataMin <= dataMax;
    double above = hasPoints ? std::max(dataMax, 0.0) : 0.0;
    double below = hasPoints ? std::max(-dataMin, 0.0) : 0.0;
    if (fit && (above > kTiny || below > kTiny)) {
        tagRoundUp up = above > kTiny ? RoundUp(above) : tagRoundUp{0.0, 0};
        tagRoundUp down = below > kTiny ? RoundUp(below) : tagRoundUp{0.0, 0};
        // One step for both sides: the coarser one, so the count stays small.
        double fitStep = std::max(up.parts ? up.value / up.parts : 0.0, down.parts ? down.value / down.parts : 0.0);
        double top = up.parts ? std::ceil(up.value / fitStep - 1e-9) * fitStep : 0.0;
        double bottom = down.parts ? -std::ceil(down.value / fitStep - 1e-9) * fitStep : 0.0;
        int ticks = int(std::lround((top - bottom) / fitStep)) + 1;
        return {bottom, top, std::clamp(ticks, 2, kMaxValueTicks)};
    }
    if (!(hi > lo)) hi = lo + 1.0;
    double parts = step > 0 ? (hi - lo) / step : 0.0;
    bool even = parts >= 1 && parts < kMaxValueTicks && std::abs(parts - std::round(parts)) < 1e-6;
    return {lo, hi, even ? int(std::lround(parts)) + 1 : 6};
}

std::string AxisValueText(double v)
{
    if (!std::isfinite(v)) return FormatNumber("%g", v);
    // Four significant digits, rounded by printf in decimal: float noise such
    // as 0.30000000000000004 or 9.999999999999999e30 rounds away here.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3e", std::abs(v));
    // buf is "d.ddde+XX": the digits, then the power of ten of the first one.
    std::string digits{buf[0], buf[2], buf[3], buf[4]};
    int exponent = std::atoi(buf + 6);
    if (digits == "0000") return "0";
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = v < 0 ? "-" : "";
    constexpr int kSmallest = -3;      // 0.001
    constexpr char kPrefixes[] = "kMGTPE";
    constexpr int kLargest = 3 * (sizeof kPrefixes - 1) + 2;   // 999E
    if (exponent < kSmallest || exponent > kLargest) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        return out + "e" + std::to_string(exponent);
    }
    if (exponent < 0) return out + "0." + std::string(size_t(-exponent - 1), '0') + digits;
    const int prefix = exponent / 3;   // 0: none, 1: k, ...
    const size_t whole = size_t(exponent - 3 * prefix) + 1;
    if (digits.size() < whole) digits.append(whole - digits.size(), '0');
    out += digits.substr(0, whole);
    if (digits.size() > whole) out += "." + digits.substr(whole);
    if (prefix > 0) out += kPrefixes[prefix - 1];
    return out;
}

std::string TimeAxisFormat(const std::string& format, double lo, double hi)
{
    if (format.find("%d") != std::string::npos || !std::isfinite(lo) || !std::isfinite(hi)) return format;
    const std::string first = FormatLocalTime("%Y%m%d", static_cast<int64_t>(std::floor(std::min(lo, hi))));
    const std::string last = FormatLocalTime("%Y%m%d", static_cast<int64_t>(std::floor(std::max(lo, hi))));
    if (first == last) return format;
    std::string time = format;
    if (size_t seconds = time.find(":%S"); seconds != std::string::npos) time.erase(seconds, 3);
    return "%m/%d " + time;
}

}  // namespace ortolan
