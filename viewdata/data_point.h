// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One chart point. Adding a point to a series copies it, so a caller may fill
// one CDataPoint, add it, change its fields and add it again.
#include <cstdint>
#include <string>

namespace ortolan {

struct CDataPoint {
    double x = 0.0;           // trends: seconds since 1970; shares and classes: 1, 2, 3 ...
    double y = 0.0;
    uint32_t color = 0;       // 0x00BBGGRR
    std::string caption;      // UTF-8; shares and classes show it in the point legend
};

}  // namespace ortolan
