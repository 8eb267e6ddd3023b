// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local-time helpers over 64-bit seconds since 1970.
#include <cstdint>
#include <string>

namespace ortolan {

// The local hour a time falls in, counted from 1970: the hour of the day
// alone would make a gap of whole days look like no new hour at all.
int32_t LocalHour(int64_t t);
// The local hour of a time, converted again only when the time changes: the
// decoders ask for the hour of the same datagram time many times over.
class CLocalHourCache {
public:
    int32_t Hour(int64_t t)
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
    int32_t m_hour = 0;
    bool m_valid = false;
};

// strftime of t in local time; empty text when the time cannot be converted.
std::string FormatLocalTime(const char* format, int64_t t);

}  // namespace ortolan
