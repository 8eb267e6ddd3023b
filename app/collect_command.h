#pragma once
#include <string>
#include <vector>

namespace ortolan {

// `ortolan collect [OPTIONS]`: the monitoring controller without widgets. Its
// options are the settings of kMonitorSettings at their command-line ranges,
// and --log-dir (default: the window's log folder). At every refresh prints the monitor list (tab-separated, header
// first), the status text and the collectors' robustness counters. SIGINT or
// SIGTERM writes the queued datagrams to the log and ends with status 0.
// Status 2: bad options, or neither port could be opened.
int RunCollectCommand(const std::vector<std::string>& args);

}  // namespace ortolan
