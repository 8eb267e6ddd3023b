// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

namespace ortolan {

// `ortolan collect [OPTIONS]`: the monitoring controller without widgets. Its
// options are the settings of kMonitorSettings at their command-line ranges,
// and --log-dir (default: the window's log folder). At every refresh prints
// the monitor list (tab-separated, header first), the status text and per
// collector one line of robustness counters ("NAME	name value	...").
// Printing stops when standard output is closed; collecting goes on. SIGINT,
// SIGTERM or SIGHUP writes the queued datagrams to the log and ends with status
// 0, or with status 1 (after saying how many) when some could not be written.
// With --metrics [ADDRESS:]PORT it also serves Prometheus metrics at /metrics.
// Status 2: bad options, or a port (either collector's, the metrics') could
// not be opened.
int RunCollectCommand(const std::vector<std::string>& args);

}  // namespace ortolan
