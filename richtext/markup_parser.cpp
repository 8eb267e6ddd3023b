// SPDX-License-Identifier: GPL-3.0-or-later
#include "markup_parser.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <optional>
#include <string_view>

namespace ortolan {

namespace {

struct tagStyle {
    int pointSize;
    uint32_t color;
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "#rrggbb" or "#rgb".
std::optional<uint32_t> ParseColor(std::string_view v)
{
    if (v.empty() || v[0] != '#') return std::nullopt;
    v.remove_prefix(1);
    if (v.size() != 6 && v.size() != 3) return std::nullopt;
    uint32_t value = 0;
    auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), value, 16);
    if (error != std::errc() || end != v.data() + v.size()) return std::nullopt;
    if (v.size() == 6) return value;
    // "#rgb" doubles each digit: #f80 is #ff8800.
    uint32_t rgb = 0;
    for (int shift = 8; shift >= 0; shift -= 4) {
        uint32_t d = (value >> shift) & 0xF;
        rgb = rgb << 8 | d << 4 | d;
    }
    return rgb;
}

// "9pt", "9" or "9.5pt": whole points, held to the allowed range.
std::optional<int> ParseSize(std::string_view v)
{
    size_t i = 0;
    long value = 0;
    while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) {
        value = std::min(value * 10 + (v[i] - '0'), 100000L);
        ++i;
    }
    if (i == 0) return std::nullopt;
    if (i < v.size() && v[i] == '.') {
        ++i;
        while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i]))) ++i;
    }
    std::string unit = Lower(v.substr(i));
    if (!unit.empty() && unit != "pt") return std::nullopt;
    return static_cast<int>(std::clamp(value, static_cast<long>(kMarkupMinPointSize),
                                       static_cast<long>(kMarkupMaxPointSize)));
}

// Applies the attributes of a font tag's body (after the name) to style.
void ApplyFontAttributes(std::string_view body, tagStyle& style)
{
    size_t i = 0;
    while (i < body.size()) {
        while (i < body.size() && IsSpace(body[i])) ++i;
        size_t nameStart = i;
        while (i < body.size() && !IsSpace(body[i]) && body[i] != '=') ++i;
        std::string name = Lower(body.substr(nameStart, i - nameStart));
        while (i < body.size() && IsSpace(body[i])) ++i;
        std::string_view value;
        if (i < body.size() && body[i] == '=') {
            ++i;
            while (i < body.size() && IsSpace(body[i])) ++i;
            if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
                char quote = body[i++];
                size_t end = body.find(quote, i);
                if (end == std::string_view::npos) end = body.size();
                value = body.substr(i, end - i);
                i = end < body.size() ? end + 1 : end;
            } else {
                size_t valueStart = i;
                while (i < body.size() && !IsSpace(body[i])) ++i;
                value = body.substr(valueStart, i - valueStart);
            }
        }
        if (name == "size") {
            if (auto size = ParseSize(value)) style.pointSize = *size;
        } else if (name == "color") {
            if (auto color = ParseColor(value)) style.color = *color;
        }
    }
}

class RunBuilder {
public:
    void AddText(std::string_view text, const tagStyle& style)
    {
        if (text.empty()) return;
        if (m_runs.empty() || m_runs.back().lineBreak || m_runs.back().pointSize != style.pointSize ||
            m_runs.back().color != style.color) {
            m_runs.push_back({std::string(), style.pointSize, style.color, false});
        }
        m_runs.back().text.append(text);
    }
    void AddBreak(const tagStyle& style) { m_runs.push_back({std::string(), style.pointSize, style.color, true}); }
    std::vector<tagTextRun> Take() { return std::move(m_runs); }

private:
    std::vector<tagTextRun> m_runs;
};

// Length of the entity at text[0] == '&' and its text, or 0 when it is none we know.
size_t MatchEntity(std::string_view text, std::string_view& replacement)
{
    static constexpr std::pair<std::string_view, std::string_view> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&nbsp;", " "},
    };
    for (const auto& [name, value] : kEntities) {
        if (text.size() >= name.size() && Lower(text.substr(0, name.size())) == name) {
            replacement = value;
            return name.size();
        }
    }
    return 0;
}

}  // namespace

std::vector<tagTextRun> ParseMarkup(const std::string& markup)
{
    const std::string_view in(markup);
    std::vector<tagStyle> stack{{kMarkupDefaultPointSize, kMarkupDefaultColor}};
    size_t ignoredOpens = 0;   // font tags beyond the depth limit, closed before real ones
    bool noMoreCloses = false; // once no '>' follows, none follows any later '<' either
    RunBuilder runs;
    std::string text;
    auto flush = [&] {
        runs.AddText(text, stack.back());
        text.clear();
    };

    size_t i = 0;
    while (i < in.size()) {
        char c = in[i];
        if (c == '<' && !noMoreCloses && i + 1 < in.size() &&
            (std::isalpha(static_cast<unsigned char>(in[i + 1])) || in[i + 1] == '/')) {
            size_t close = in.find('>', i + 1);
            noMoreCloses = close == std::string_view::npos;
            if (!noMoreCloses) {
                std::string_view body = in.substr(i + 1, close - i - 1);
                bool closing = !body.empty() && body[0] == '/';
                if (closing) body.remove_prefix(1);
                size_t nameEnd = 0;
                while (nameEnd < body.size() && std::isalnum(static_cast<unsigned char>(body[nameEnd]))) ++nameEnd;
                std::string name = Lower(body.substr(0, nameEnd));
                if (name == "br") {
                    flush();
                    runs.AddBreak(stack.back());
                } else if (name == "font" && !closing) {
                    flush();
                    tagStyle style = stack.back();
                    ApplyFontAttributes(body.substr(nameEnd), style);
                    if (stack.size() < kMarkupMaxDepth) stack.push_back(style);
                    else ++ignoredOpens;
                } else if (name == "font" && closing) {
                    flush();
                    if (ignoredOpens > 0) --ignoredOpens;
                    else if (stack.size() > 1) stack.pop_back();
                }
                i = close + 1;
                continue;
            }
        }
        if (c == '&') {
            std::string_view replacement;
            if (size_t n = MatchEntity(in.substr(i), replacement)) {
                text.append(replacement);
                i += n;
                continue;
            }
        }
        // Line ends and tabs in the source are spacing, as in any mark-up;
        // spaces themselves are kept, the status text aligns with them.
        text += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
        ++i;
    }
    flush();
    return runs.Take();
}

}  // namespace ortolan
