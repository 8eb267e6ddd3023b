#pragma once
// The status panel's text: what is being monitored, how fast datagrams arrive,
// since when, and how many name look-ups are outstanding, in the mark-up the
// status panel renders (font elements with size and colour, line breaks).
#include <cstdint>
#include <string>

namespace ortolan {

struct tagCollectorFigures {
    uint64_t agents = 0;
    uint64_t interfaces = 0;
    uint64_t datagrams = 0;
};

struct tagStatusInputs {
    bool monitoring = false;
    tagCollectorFigures sflow;
    tagCollectorFigures netflow;
    int64_t now = 0;
    int64_t shownFrom = 0;   // 0: unset
    int64_t shownTo = 0;
    int pendingLookups = 0;
};

std::string FormatStatusMarkup(const tagStatusInputs& in);

// "%D日 %H時間%M分%S秒間" of a span in seconds; a negative span counts as 0.
std::string FormatSpan(int64_t seconds);

// The mark-up as plain text: line breaks become "\n", every other tag goes.
std::string StatusPlainText(const std::string& markup);

}  // namespace ortolan
