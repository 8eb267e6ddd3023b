#pragma once
#include <string>
#include <vector>

namespace ortolan {

// True when a window can be shown: a display is named, or a Qt platform is chosen.
bool HasDisplay();

// The monitor window. Options for unattended runs:
//   --replay FILE      replay the log FILE (offline) as soon as the window shows
//   --snapshot PNG     then save the window as PNG and close it
int RunGui(int argc, char** argv, const std::vector<std::string>& args);

}  // namespace ortolan
