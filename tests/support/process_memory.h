// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// This process's memory figures from /proc/self/status, for the flood tests'
// bounds: "VmRSS:" (resident now) or "VmHWM:" (peak resident), in bytes.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace ortolan::testing {

inline uint64_t ProcessMemoryBytes(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::stoull(line.substr(n + 1)) * 1024;
    return 0;
}

}  // namespace ortolan::testing
