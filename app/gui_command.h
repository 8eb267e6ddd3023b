// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <optional>
#include <string>

namespace ortolan {

// True when a window can be shown: a display is named, or a Qt platform is chosen.
bool HasDisplay();

// The monitor window under an application object of its own: the splash,
// the start dialog and the main window, with the SNMP library running for the
// sFlow setup window. With replay the window replays that log at once
// (offline) and, with snapshot, saves its picture as PNG and closes: the
// unattended run. Returns the exit status.
int RunGui(int argc, char** argv, const std::optional<std::string>& replay,
           const std::optional<std::string>& snapshot);

}  // namespace ortolan
