#pragma once
#include <string>
#include <vector>

namespace ortolan {

// `ortolan collect [--sflow-port N] [--netflow-port N] [--refresh SECONDS] ...`:
// the headless live mode. Returns the process exit status.
int RunCollectCommand(const std::vector<std::string>& args);

}  // namespace ortolan
