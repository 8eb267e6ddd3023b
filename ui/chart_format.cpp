#include "chart_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

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

}  // namespace ortolan
