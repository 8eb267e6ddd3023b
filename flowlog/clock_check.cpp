// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock_check.h"

namespace ortolan {
namespace {

bool Near(int64_t a, int64_t b) { return a - b <= kClockStepToleranceSeconds && b - a <= kClockStepToleranceSeconds; }

}  // namespace

int64_t CClockCheck::Check(int64_t wall, int64_t monotonic)
{
    int64_t offset = wall - monotonic;
    if (!m_anchored || Near(offset, m_offset)) {
        // Following the offset check by check lets a slow slew through.
        m_anchored = true;
        m_offset = offset;
        m_step = 0;
        return 0;
    }
    if (m_step == 0 || !Near(offset, m_newOffset)) {
        m_newOffset = offset;
        m_newSince = monotonic;
    } else if (monotonic - m_newSince >= kSteppedClockTrustSeconds) {
        m_offset = offset;
        m_step = 0;
        return 0;
    }
    m_step = offset - m_offset;
    return m_step;
}

}  // namespace ortolan
