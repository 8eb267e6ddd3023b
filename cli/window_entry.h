// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

namespace ortolan {

// `ortolan [OPTIONS]`: the monitor window, or the headless live mode when
// there is no display. Also --help (which lists the commands) and --version.
// Options for unattended runs:
//   --replay FILE      replay the log FILE (offline) as soon as the window shows
//   --snapshot PNG     then save the window as PNG and close it
// args are the words after the program's name; returns the exit status.
int RunWindowEntry(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace ortolan
