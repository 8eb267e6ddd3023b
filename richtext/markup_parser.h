// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status panel's mark-up: "<font size=9pt color=#00ff00>", "</font>" and
// "<br>" around plain text. Attributes come in any order, quoted or not, with
// any spacing; tag names are case-blind. Other tags are dropped; a '<' that
// does not open a tag (not followed by a letter or '/', or never closed) is
// text. The entities &lt; &gt; &amp; &quot; &#39; and &nbsp; are decoded.
// Input is any bytes; the parser never reads outside them.
#include <cstdint>
#include <string>
#include <vector>

namespace ortolan {

inline constexpr int kMarkupDefaultPointSize = 9;
inline constexpr uint32_t kMarkupDefaultColor = 0xFFFFFF;   // 0xRRGGBB
inline constexpr int kMarkupMinPointSize = 1;
inline constexpr int kMarkupMaxPointSize = 72;
// Deeper nesting keeps the innermost style it reached; it only guards memory.
inline constexpr size_t kMarkupMaxDepth = 256;

struct tagTextRun {
    std::string text;         // UTF-8 as given; empty for a line break
    int pointSize = kMarkupDefaultPointSize;
    uint32_t color = kMarkupDefaultColor;   // 0xRRGGBB
    bool lineBreak = false;

    bool operator==(const tagTextRun&) const = default;
};

// Runs in reading order; neighbouring text of one style is one run.
std::vector<tagTextRun> ParseMarkup(const std::string& markup);

}  // namespace ortolan
