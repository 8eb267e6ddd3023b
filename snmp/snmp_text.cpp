// SPDX-License-Identifier: GPL-3.0-or-later
#include "snmp_text.h"

#include <cstdint>
#include <limits>

namespace ortolan {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view TrimLeft(std::string_view text)
{
    size_t begin = 0;
    while (begin < text.size() && IsSpace(text[begin])) ++begin;
    return text.substr(begin);
}

std::string_view TrimView(std::string_view text)
{
    text = TrimLeft(text);
    size_t end = text.size();
    while (end > 0 && IsSpace(text[end - 1])) --end;
    return text.substr(0, end);
}

// Reads an optionally signed decimal number at the front; saturates at the
// 32-bit limits so a long digit run cannot overflow.
int ReadDecimal(std::string_view text)
{
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        if (value > kLimit) value = kLimit;
        ++pos;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) value = std::numeric_limits<int32_t>::min();
    return static_cast<int>(value);
}

}  // namespace

std::string TrimSnmpText(std::string_view text)
{
    return std::string(TrimView(text));
}

std::string ShortName(std::string_view text)
{
    std::string_view name = text.substr(0, text.find('='));
    size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) name = name.substr(colon + 1);

    // Drop leading name parts ("iso.org." or "SNMPv2-SMI.") but keep an index
    // (a "." before a digit) and a quoted string index.
    std::string_view lastDropped;
    bool dropped = false;
    for (;;) {
        size_t dot = std::string_view::npos;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] != '.') continue;
            if (i + 1 < name.size() && (IsDigit(name[i + 1]) || name[i + 1] == '"')) continue;
            dot = i;
            break;
        }
        if (dot == std::string_view::npos) break;
        lastDropped = name.substr(0, dot);
        name = name.substr(dot + 1);
        dropped = true;
    }
    if (dropped && name.find('.') == std::string_view::npos) {
        std::string joined(lastDropped);
        joined += '.';
        joined += name;
        return TrimSnmpText(joined);
    }
    return TrimSnmpText(name);
}

std::string MakeResultLine(std::string_view printed, bool valueIsObjectId)
{
    std::string text(printed);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    size_t equals = text.find('=');
    if (equals == std::string::npos) return {};

    std::string shortName = ShortName(text);
    if (!shortName.empty() && IsDigit(shortName[0])) shortName = "mib_2." + shortName;

    std::string value = text.substr(equals + 1);
    if (valueIsObjectId) value = ShortName(value);
    return TrimSnmpText(shortName) + "=" + TrimSnmpText(value);
}

std::string ValueOf(std::string_view line, std::string_view name)
{
    if (name.empty()) return {};
    std::string key(name);
    size_t at = line.find(key + " ");
    if (at == std::string_view::npos) at = line.find(key + "=");
    if (at == std::string_view::npos) return {};

    std::string_view rest = line.substr(at);
    rest = rest.substr(0, rest.find_first_of("\n\t"));
    size_t equals = rest.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view value = TrimLeft(rest.substr(equals + 1));
    size_t colon = value.find(':');
    if (colon != std::string_view::npos) value = TrimLeft(value.substr(colon + 1));

    size_t open = value.find('"');
    if (open == std::string_view::npos) return std::string(TrimView(value));
    // The library writes a quote or backslash inside a string as \" or \\;
    // read them back, so an owner text with a quote is not cut short (and
    // then written back short by the next set).
    std::string text;
    for (size_t i = open + 1; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\')) {
            text += value[++i];
            continue;
        }
        if (c == '"') break;
        text += c;
    }
    return text;
}

int ParseIntText(std::string_view text)
{
    std::string_view t = text.substr(0, text.find(')'));
    size_t colon = t.find(':');
    if (colon != std::string_view::npos) t = t.substr(colon + 1);
    size_t paren = t.find('(');
    if (paren != std::string_view::npos) return ReadDecimal(TrimView(t.substr(paren + 1)));
    return ReadDecimal(TrimLeft(t));
}

int IntValueOf(std::string_view line, std::string_view name)
{
    return ParseIntText(ValueOf(line, name));
}

std::vector<std::string> SplitNames(std::string_view text, std::string_view delimiters)
{
    std::vector<std::string> pieces;
    std::string_view rest = TrimView(text);
    for (;;) {
        size_t at = rest.find_first_of(delimiters);
        if (at == std::string_view::npos) break;
        std::string_view piece = rest.substr(0, at);
        if (!piece.empty()) pieces.emplace_back(piece);
        rest = TrimView(rest.substr(at + 1));
    }
    if (!rest.empty()) pieces.emplace_back(rest);
    return pieces;
}

int LeadingDecimal(std::string_view text)
{
    return ReadDecimal(TrimLeft(text));
}

}  // namespace ortolan
