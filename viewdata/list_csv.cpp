// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_csv.h"

namespace ortolan {

namespace {

// Longest prefix of at most max bytes that does not end inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t max)
{
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void AppendLine(std::string& out, const std::vector<std::string>& fields, size_t columns)
{
    for (size_t c = 0; c < columns; ++c) {
        if (c > 0) out += ',';
        out += QuoteCsvField(c < fields.size() ? fields[c] : std::string());
    }
    out += '\n';
}

}  // namespace

std::string QuoteCsvField(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string FormatListCsv(const std::string& title, const std::vector<std::string>& headers,
                          const std::vector<std::vector<std::string>>& rows)
{
    std::string out = QuoteCsvField(title) + "\n";
    std::vector<std::string> cut;
    cut.reserve(headers.size());
    for (const std::string& h : headers) cut.push_back(CutUtf8(h, kMaxCsvHeaderBytes));
    AppendLine(out, cut, headers.size());
    for (const auto& row : rows) AppendLine(out, row, headers.size());
    return out;
}

}  // namespace ortolan
