// SPDX-License-Identifier: GPL-3.0-or-later
#include "agent_address.h"

#include <cstdio>

#include "snmp_text.h"

namespace ortolan {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string FormatAgentAddress(std::string_view valueText)
{
    size_t colon = valueText.find(':');
    if (colon != std::string_view::npos && valueText.find("Ip") != std::string_view::npos) {
        return TrimSnmpText(valueText.substr(colon + 1));
    }
    std::string text = TrimSnmpText(colon == std::string_view::npos ? valueText : valueText.substr(colon + 1));

    // Up to four hexadecimal numbers separated by white space, read the way
    // "%x %x %x %x" reads them: the first text that is not one ends the list.
    int64_t values[4] = {0, 0, 0, 0};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || HexDigit(text[pos]) < 0) break;
        uint32_t value = 0;
        while (pos < text.size() && HexDigit(text[pos]) >= 0) {
            value = value * 16 + static_cast<uint32_t>(HexDigit(text[pos]));
            ++pos;
        }
        values[i] = static_cast<int32_t>(value);
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", static_cast<int>(values[0]), static_cast<int>(values[1]),
                  static_cast<int>(values[2]), static_cast<int>(values[3]));
    return buf;
}

std::string DataSourceOfIndex(std::string_view index)
{
    size_t first = index.find('.');
    if (first == std::string_view::npos) return {};
    std::string_view rest = index.substr(first + 1);
    size_t last = rest.rfind('.');
    if (last == std::string_view::npos) return {};
    std::string source(rest.substr(0, last));
    constexpr std::string_view kIfIndex = "1.3.6.1.2.1.2.2.1.1";
    // Only the whole ifIndex column: 1.3.6.1.2.1.2.2.1.10 (ifInOctets) starts
    // with the same digits.
    size_t at = source.find(kIfIndex);
    while (at != std::string::npos) {
        size_t end = at + kIfIndex.size();
        bool wholeStart = at == 0 || source[at - 1] == '.';
        bool wholeEnd = end == source.size() || source[end] == '.';
        if (wholeStart && wholeEnd) {
            source.replace(at, kIfIndex.size(), "ifIndex");
            break;
        }
        at = source.find(kIfIndex, at + 1);
    }
    return source;
}

std::string InstanceOfIndex(std::string_view index)
{
    size_t last = index.rfind('.');
    if (last == std::string_view::npos) return {};
    return std::string(index.substr(last + 1));
}

std::string IpToText(uint32_t address)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (address >> 24) & 0xFFu, (address >> 16) & 0xFFu,
                  (address >> 8) & 0xFFu, address & 0xFFu);
    return buf;
}

std::optional<uint32_t> ParseIpv4(std::string_view text)
{
    uint32_t address = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        size_t digits = 0;
        uint32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        address = (address << 8) | value;
    }
    if (pos != text.size()) return std::nullopt;
    return address;
}

}  // namespace ortolan
