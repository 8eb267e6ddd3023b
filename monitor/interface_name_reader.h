// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seam through which a monitoring session reads an agent's interface
// names: the SNMP implementation (snmp/) reads IF-MIB without ever waiting
// on the caller's thread; tests answer by hand.
#include <functional>

#include "agent_snmp_settings.h"
#include "interface_names.h"

namespace ortolan {

class IInterfaceNameReader {
public:
    // answered: whether the agent answered at all; table: what it said.
    using DoneFn = std::function<void(bool answered, const IfNameTable& table)>;
    virtual ~IInterfaceNameReader() = default;
    // Starts reading one agent; done is called exactly once, later, on the
    // asking thread (never from inside this call). One reading at a time.
    virtual void StartRead(const tagAgentSnmp& agent, DoneFn done) = 0;
};

}  // namespace ortolan
