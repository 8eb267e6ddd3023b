// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names the lists show beside IP addresses. They are looked up and kept
// by whoever runs the session; the rows only read them, through this.
#include <string>

namespace ortolan {

class CIpAddress;
class CMonPort;

class IHostNameLookup {
public:
    virtual ~IHostNameLookup() = default;
    // The name shown for an address seen on the port; empty when none is known.
    virtual std::string HostName(const CMonPort& port, const CIpAddress& address) const = 0;
};

}  // namespace ortolan
