// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The in-memory figures: decode and account a captured stream into cold and
// warm tables, write and replay a flow log, and resident bytes per entry. Each
// prints "KEY name=value ..." lines that scripts/bench.sh gathers into its table.
#include <cstdint>
#include <string>

#include "datagram_stream.h"
#include "name_tables.h"

namespace ortolan {

class CCoreFigures {
public:
    // Name tables are read from configFolder (oui.txt, IPProt.txt, Port.txt) when present.
    explicit CCoreFigures(std::string configFolder);

    // kind is "sflow" or "netflow"; each of cold and warm runs for about seconds.
    int Decode(const std::string& kind, const CDatagramStream& stream, double seconds);
    // Writes count datagrams, alternating between the two streams, through the
    // flow-log writer into folder; prints the file name.
    int MakeLog(const CDatagramStream& sflow, const CDatagramStream& netflow, const std::string& folder,
                uint64_t count);
    int Replay(const std::string& folder, const std::string& fileName);
    // The warm decode of the stream as one exporter sends it, then as
    // `exporters` exporters send it in turn (datagram i from exporter i mod
    // exporters, its agent address and sender rewritten), in one run: the
    // cost of finding each datagram's port when no two in a row share one.
    int Exporters(const std::string& kind, const CDatagramStream& stream, double seconds, int exporters);
    // Every table of every port after one pass, sorted, one line per entry: two
    // builds that decode alike print the same text (checks a speed-up changed nothing).
    int Dump(const std::string& kind, const CDatagramStream& stream);
    // kind is "ip", "ipfull" (node with a service and a MAC), "pair" or "mac".
    int Memory(const std::string& kind, uint64_t count);

private:
    // Loaded once; every collector the figures make labels with them.
    CNameTables m_names;
};

}  // namespace ortolan
