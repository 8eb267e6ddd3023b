#pragma once
// `ortolan agent [--mode v1|v2c|v3auth|v3priv] [--community TEXT]
// [--user TEXT --password TEXT] [--port N] ADDRESS`: reads an sFlow agent's
// configuration from a terminal or a script, by the same walks, fallback and
// parsing as the setup window's "取得", and prints the agent information, the
// collector list and the port list, each as a list CSV (title line, header
// line, rows). Failures print the window's message on standard error and
// exit with status 2; so do wrong arguments, after the usage text.
//
// The SNMP library must be running (SnmpLibraryStart, which the program does
// at start-up); the command drives the library's poll itself, so it needs no
// running event loop.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "sf_agent_reader.h"

namespace ortolan {

class ISnmpClient;

// The arguments after the word "agent". Returns the exit status.
int RunAgentCommand(const std::vector<std::string>& args);

// The same over a given SNMP client and streams; poll is called between the
// steps (SnmpPollTick for the real library).
int RunAgentCommand(const std::vector<std::string>& args, ISnmpClient& snmp, std::ostream& out,
                    std::ostream& err, const tagSfTimings& timings, const std::function<void()>& poll);

}  // namespace ortolan
