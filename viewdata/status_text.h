// SPDX-License-Identifier: GPL-3.0-or-later
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

// What both collectors and the flow log have lost, refused or not yet written.
struct tagLossFigures {
    uint64_t receiveLost = 0;   // datagrams never decoded: oversize, empty, dropped by the kernel
    uint64_t logWaiting = 0;    // records queued while the log cannot be written
    uint64_t logLost = 0;       // records dropped by the queue bound or given up at a stop
    uint64_t refused = 0;       // ports and entries refused by the limits
};

struct tagStatusInputs {
    bool monitoring = false;
    tagCollectorFigures sflow;
    tagCollectorFigures netflow;
    int64_t now = 0;
    int64_t shownFrom = 0;   // 0: unset
    int64_t shownTo = 0;
    int pendingLookups = 0;
    // While set, a last line in the warning colour gives the loss figures.
    bool warning = false;
    tagLossFigures loss;
    // Seconds the wall clock stepped against the time since boot; while not
    // 0, a line in the warning colour says the log purge waits.
    int64_t clockStep = 0;
    // The smallest receive buffer the kernel granted an open socket, in
    // bytes, when it is below the bytes asked; 0 otherwise.
    int shortReceiveBuffer = 0;
    int askedReceiveBuffer = 0;
};

std::string FormatStatusMarkup(const tagStatusInputs& in);

// "%D日 %H時間%M分%S秒間" of a span in seconds; a negative span counts as 0.
std::string FormatSpan(int64_t seconds);

// The mark-up as plain text: line breaks become "\n", every other tag goes.
std::string StatusPlainText(const std::string& markup);

}  // namespace ortolan
