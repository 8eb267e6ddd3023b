// SPDX-License-Identifier: GPL-3.0-or-later
// ortolan                 the monitor window (headless live mode without a display)
// ortolan collect ...     headless live monitoring
// ortolan report ...      statistics of replayed flow logs as JSON or list CSV
// ortolan agent ...       an sFlow agent's configuration over SNMP
#include <string>
#include <vector>

#include "agent_entry.h"
#include "collect_command.h"
#include "report_command.h"
#include "window_entry.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = args.empty() ? std::string() : args.front();
    std::vector<std::string> rest(args.empty() ? args.end() : args.begin() + 1, args.end());
    if (command == "collect") return ortolan::RunCollectCommand(rest);
    if (command == "report") return ortolan::RunReportCommand(rest);
    if (command == "agent") return ortolan::RunAgentEntry(rest);
    return ortolan::RunWindowEntry(argc, argv, args);
}
