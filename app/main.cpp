// ortolan                 the monitor window
// ortolan collect ...     headless live monitoring
#include <cstdio>
#include <string>
#include <vector>

#include "collect_command.h"
#include "report_command.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = args.empty() ? std::string() : args.front();
    std::vector<std::string> rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    if (command == "collect") return ortolan::RunCollectCommand(rest);
    if (command == "report") return ortolan::RunReportCommand(rest);
    if (command.empty()) return ortolan::RunCollectCommand({});
    std::fprintf(stderr, "usage: ortolan [collect [options]]\n");
    return 2;
}
