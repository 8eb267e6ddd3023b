// SPDX-License-Identifier: GPL-3.0-or-later
#include "local_time.h"

#include <algorithm>
#include <climits>
#include <ctime>

namespace ortolan {

int32_t LocalHour(int64_t t)
{
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return 0;
    // Whole local hours since 1970, rounded down also before it; a time too
    // far out to hold in 32 bits is pinned, as localtime_r would refuse it.
    int64_t local = t + tm.tm_gmtoff;
    int64_t hour = local / 3600 - (local % 3600 < 0 ? 1 : 0);
    return static_cast<int32_t>(std::clamp<int64_t>(hour, INT32_MIN + 2000, INT32_MAX));
}

std::string FormatLocalTime(const char* format, int64_t t)
{
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return {};
    char buf[128];
    size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

}  // namespace ortolan
