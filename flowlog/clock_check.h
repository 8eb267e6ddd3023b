// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the wall clock still runs with the monotonic clock (time since boot,
// suspends included). A step of the wall clock (an NTP correction, a bad clock
// at boot set right) must not make the log purge think days have passed that
// have not: the purge asks this first. Times in whole seconds.
#include <cstdint>

namespace ortolan {

// How far the two clocks may drift apart between two checks before the wall
// clock counts as stepped; a slewing NTP moves it by far less.
inline constexpr int64_t kClockStepToleranceSeconds = 10;
// A stepped wall clock that then runs steadily for this long is taken as the
// right one (a correction of a bad clock), and the purge resumes.
inline constexpr int64_t kSteppedClockTrustSeconds = 86400;

class CClockCheck {
public:
    // The wall clock's step against the last agreeing check, in seconds: 0
    // when both clocks advanced alike (within the tolerance), and at the first
    // check, which has nothing to compare with.
    int64_t Check(int64_t wall, int64_t monotonic);
    // The step the last check found; 0 when it agreed.
    int64_t step() const { return m_step; }

private:
    bool m_anchored = false;
    int64_t m_offset = 0;  // wall - monotonic at the last agreeing check
    // A new offset the wall clock keeps since m_newSince (monotonic).
    int64_t m_newOffset = 0;
    int64_t m_newSince = 0;
    int64_t m_step = 0;
};

}  // namespace ortolan
