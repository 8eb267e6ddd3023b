// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics lists without a window, for `ortolan report --list`: each
// list as the window shows it on opening (sorted by column 2, largest first;
// the packet-size classes and the local nodes unsorted), in the bytes its
// "CSV出力" writes. An empty list writes nothing, as the button does.
#include <cstdint>
#include <optional>
#include <string>

namespace ortolan {

class CNFlowMon;
class IInterfaceNameLookup;
class CSFlowMon;

struct tagListReport {
    bool ok = false;
    std::string text;   // the CSV of every list asked for, one after another
    std::string error;  // why nothing could be written, when not ok
};

// True for "0" to "12" and "local".
bool IsListReportKind(const std::string& kind);

// Kind "local" lists the local nodes of both collectors (`portKey` must then
// be empty). Otherwise the lists of that kind for the port of that key, or,
// without a key, for every sFlow port then every NetFlow port, in key order.
// `now` decides nothing in the texts; it is there for the local node images.
// ifNames: the agents' interface names the interface list shows, or null.
// Scaled: the packet and byte columns hold the figures scaled by the sampling
// rates (BuildListRows), sorted by them.
tagListReport FormatListReport(const std::string& kind, const std::optional<std::string>& portKey,
                               CSFlowMon& sflow, CNFlowMon& nflow, int64_t now,
                               const IInterfaceNameLookup* ifNames = nullptr, bool scaled = false);

}  // namespace ortolan
