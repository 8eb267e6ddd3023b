// SPDX-License-Identifier: GPL-3.0-or-later
#include "local_time.h"

#include <ctime>

namespace ortolan {

int LocalHour(int64_t t)
{
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return 0;
    return tm.tm_hour;
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
