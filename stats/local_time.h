#pragma once
// Local-time helpers over 64-bit seconds since 1970.
#include <cstdint>
#include <string>

namespace ortolan {

// Hour of the day (0 to 23) in local time.
int LocalHour(int64_t t);
// strftime of t in local time; empty text when the time cannot be converted.
std::string FormatLocalTime(const char* format, int64_t t);

}  // namespace ortolan
