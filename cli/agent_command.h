// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `ortolan agent [--mode v1|v2c|v3auth|v3priv] [--community TEXT]
// [--user TEXT --password TEXT] [--port N] [--interfaces] ADDRESS`: reads an
// sFlow agent's configuration from a terminal or a script, by the same walks,
// fallback and parsing as the setup window's "取得", and prints the agent
// information, the collector list and the port list, each as a list CSV
// (title line, header line, rows). With --interfaces it reads the agent's
// IF-MIB instead and prints its interfaces (ifIndex, ifName, ifAlias or
// ifDescr, speed in bit/s) as one list CSV. Failures print the window's
// message on standard error and exit with status 2; so do wrong arguments,
// naming the problem.
//
// The SNMP library must be running (SnmpLibraryStart, which the program does
// at start-up); the command drives the library's poll itself, so it needs no
// running event loop.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sf_agent_reader.h"

namespace ortolan {

class ISnmpClient;

struct tagAgentArgs {
    int mode = 1;  // 1 v1, 2 v2c, 3 v3auth, 4 v3priv
    std::string community = "tundra";
    std::string user;
    std::string password;
    int port = 161;
    std::string address;
    bool interfaces = false;  // the IF-MIB names and speeds instead of the sFlow setup
};

// Parses the words after "agent" into parsed. Nothing when the command is to
// run; otherwise the exit status, after the help (on out, status 0) or the
// problem (on err, status 2) was printed.
std::optional<int> ParseAgentArgs(const std::vector<std::string>& args, tagAgentArgs& parsed, std::ostream& out,
                                  std::ostream& err);

// Reads the agent over the program's SNMP library. Returns the exit status.
int RunAgentCommand(const tagAgentArgs& args);

// The same over a given SNMP client and streams; poll is called between the
// steps (SnmpPollTick for the real library).
int RunAgentCommand(const tagAgentArgs& args, ISnmpClient& snmp, std::ostream& out, std::ostream& err,
                    const tagSfTimings& timings, const std::function<void()>& poll);

// Parses, then runs.
int RunAgentCommand(const std::vector<std::string>& args, ISnmpClient& snmp, std::ostream& out,
                    std::ostream& err, const tagSfTimings& timings, const std::function<void()>& poll);

}  // namespace ortolan
