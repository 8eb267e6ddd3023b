// ortolan                 the monitor window (headless live mode without a display)
// ortolan collect ...     headless live monitoring
// ortolan report ...      statistics of replayed flow logs as JSON or list CSV
// ortolan agent ...       an sFlow agent's configuration over SNMP
#include <cstdio>
#include <string>
#include <vector>

#include "agent_entry.h"
#include "collect_command.h"
#include "gui_command.h"
#include "report_command.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "collect")
        return ortolan::RunCollectCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty() && args.front() == "report") return ortolan::RunReportCommand({args.begin() + 1, args.end()});
    if (!args.empty() && args.front() == "agent") return ortolan::RunAgentEntry({args.begin() + 1, args.end()});
    if (!args.empty() && args.front().rfind("--", 0) != 0) {
        std::fprintf(stderr, "usage: ortolan [--replay FILE [--snapshot PNG]] | ortolan collect [options] | ortolan report ... | ortolan agent ...\n");
        return 2;
    }
    if (args.empty() && !ortolan::HasDisplay()) {
        std::fprintf(stderr, "ortolan: no display; monitoring headless (ortolan collect)\n");
        return ortolan::RunCollectCommand({});
    }
    return ortolan::RunGui(argc, argv, args);
}
