#include "agent_entry.h"

#include "agent_command.h"
#include "ortolan_app.h"
#include "snmp_library.h"

namespace ortolan {

int RunAgentEntry(const std::vector<std::string>& args)
{
    COrtolanApp app;
    std::unique_ptr<CSnmpLibrary> snmp = SnmpLibraryStart("ORTOLAN", app.ConfigFolder(), app.MibFolder());
    int status = RunAgentCommand(args);
    SnmpLibraryStop(std::move(snmp));
    return status;
}

}  // namespace ortolan
