// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `ortolan report [--refresh SECONDS] LOGFILE...`: replays flow logs into fresh
// collectors, with the name tables loaded as at start-up, and prints their
// statistics as one JSON document on standard output. Scripts and acceptance
// checks read it, so its shape stays stable: object keys in byte order, every
// count a JSON integer. With --list KIND (0 to 12, or local) it prints that
// statistics list instead, for the port --port names or for every port one
// after another, as the list window's CSV button writes it. Where agents are
// set up for SNMP (the settings store's [SnmpAgents]) and the window has read
// their interface names, each interface of theirs also gets "ifName",
// "ifAlias" and "ifHighSpeed" (bit/s, from SNMP) members, and the interface
// list's ifIndex cells the names, as the window shows them.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

class CNFlowMon;
class CSFlowMon;
class IInterfaceNameLookup;

// Receives the report's text piece by piece.
using JsonSink = std::function<void(std::string_view)>;
// The statistics of both collectors in the report's form, one JSON document
// and a line break, handed to the sink as it is written.
// ifNames: the agents' interface names, or null.
void WriteStatisticsJson(const CSFlowMon& sflow, const CNFlowMon& netflow, const JsonSink& sink,
                         const IInterfaceNameLookup* ifNames = nullptr);

// Returns the exit status: 0, or 2 for bad arguments or a log that cannot be
// read (then nothing is printed on standard output).
int RunReportCommand(const std::vector<std::string>& args);

}  // namespace ortolan
