// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local-time helpers over 64-bit seconds since 1970.
#include <cstdint>
#include <string>

namespace ortolan {

// Hour of the day (0 to 23) in local time.
int LocalHour(int64_t t);
// The local hour of a time, converted again only when the time changes: the
// decoders ask for the hour of the same datagram time many times over.
class CLocalHourCache {
public:
    int Hour(int64_t t)
    {
        if (t != m_time || !m_valid) {
            m_hour = LocalHour(t);
            m_time = t;
            m_valid = true;
        }
        return m_hour;
    }

private:
    int64_t m_time = 0;
    int m_hour = 0;
    bool m_valid = false;
};

// strftime of t in local time; empty text when the time cannot be converted.
std::string FormatLocalTime(const char* format, int64_t t);

}  // namespace ortolan
