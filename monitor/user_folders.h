// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program writes for the user who runs it, after the XDG base
// directory rules: the folder of the program's installation is read-only to
// users, so nothing written goes beside the executable.
//   state  $XDG_STATE_HOME/ortolan, else ~/.local/state/ortolan
//          (the SNMP library's persistent files)
//   logs   $XDG_DATA_HOME/ortolan/logs, else ~/.local/share/ortolan/logs
//          (the flow log when no log folder was chosen)
// A variable that is unset, empty or not an absolute path is ignored, as
// the rules say. Without a home folder either, the folder is empty.
#include <functional>
#include <string>

namespace ortolan {

class CUserFolders {
public:
    // Reads a variable of the environment; nullptr when unset.
    using Environment = std::function<const char*(const char*)>;

    // The process's environment unless told otherwise (tests).
    explicit CUserFolders(Environment environment = {});

    // Both end with "/", or are empty.
    std::string StateFolder() const;
    std::string DefaultLogFolder() const;

    // Makes the folder and its parents; false when it cannot be made or is
    // not a folder.
    static bool Make(const std::string& folder);

private:
    std::string Base(const char* variable, const char* fallbackUnderHome) const;

    Environment m_environment;
};

}  // namespace ortolan
