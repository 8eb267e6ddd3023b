// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times of chosen local dates for tests of daily files and hourly history.
#include <cstdint>
#include <ctime>

namespace ortolan::testing {

// Seconds since 1970 of the local date and time.
inline int64_t LocalTimeOf(int year, int month, int day, int hour = 12, int minute = 0)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return int64_t(std::mktime(&tm));
}

}  // namespace ortolan::testing
