// SPDX-License-Identifier: GPL-3.0-or-later
#include "agent_entry.h"

#include <iostream>

#include "agent_command.h"
#include "ortolan_app.h"
#include "snmp_library.h"

namespace ortolan {

int RunAgentEntry(const std::vector<std::string>& args)
{
    // The SNMP library starts only for a command that will run: a usage
    // error leaves its files alone.
    tagAgentArgs parsed;
    if (std::optional<int> status = ParseAgentArgs(args, parsed, std::cout, std::cerr)) return *status;
    COrtolanApp app;
    std::unique_ptr<CSnmpLibrary> snmp = SnmpLibraryStart("ORTOLAN", app.ConfigFolder(), app.MibFolder(), app.SnmpStateFolder());
    int status = RunAgentCommand(parsed);
    SnmpLibraryStop(std::move(snmp));
    return status;
}

}  // namespace ortolan
