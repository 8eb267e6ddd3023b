// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_entry.h"

#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <optional>

#include "build_info.h"
#include "collect_command.h"
#include "command_line.h"
#include "gui_command.h"

namespace ortolan {

int RunWindowEntry(int argc, char** argv, const std::vector<std::string>& args)
{
    std::optional<std::string> replay;
    std::optional<std::string> snapshot;
    bool version = false;
    std::unique_ptr<CLI::App> parser =
        NewCommandParser("ortolan", "Ortolan " ORTOLAN_VERSION ": a traffic monitor for sFlow and NetFlow exporters. "
                                    "Without options it opens the monitor window; without a display it monitors "
                                    "headless, as 'ortolan collect' does.");
    CLI::Option* replayOption =
        parser->add_option("--replay", replay, "open the window on this flow log, replayed offline")->type_name("FILE");
    parser->add_option("--snapshot", snapshot, "then save the window as a PNG picture and close it")
        ->type_name("PNG")
        ->needs(replayOption);
    parser->add_flag("--version", version, "print the version and exit");
    parser->footer(std::string("Commands (each answers --help):\n"
                               "  collect                 headless live monitoring\n"
                               "  report                  statistics of replayed flow logs, as JSON or list CSV\n"
                               "  agent                   an sFlow agent's configuration, read over SNMP\n\n") +
                   parser->get_footer());
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;
    if (version) {
        std::cout << "ortolan " ORTOLAN_VERSION "\n";
        return kExitSuccess;
    }
    if (replay && !QFileInfo(QString::fromStdString(*replay)).isReadable()) {
        std::fprintf(stderr, "ortolan: cannot read %s\n", replay->c_str());
        return kExitUsage;
    }
    if (!replay && !HasDisplay()) {
        std::fprintf(stderr, "ortolan: no display; monitoring headless (ortolan collect)\n");
        return RunCollectCommand({});
    }
    return RunGui(argc, argv, replay, snapshot);
}

}  // namespace ortolan
