// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory benchmarks, one subcommand per figure of scripts/bench.sh:
//   decode sflow|netflow STREAM SECONDS [CONFIGDIR]
//   exporters sflow|netflow STREAM SECONDS COUNT [CONFIGDIR]   warm decode, one exporter vs COUNT in turn
//   makelog SFLOW_STREAM NETFLOW_STREAM FOLDER COUNT
//   replay FOLDER FILE [CONFIGDIR]
//   memory ip|ipfull|pair|mac COUNT
//   dump sflow|netflow STREAM [CONFIGDIR]        every table after one pass, sorted
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core_figures.h"
#include "datagram_stream.h"

using namespace ortolan;

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ortolan_bench decode|makelog|replay|memory ... (see the source head)\n");
    return 2;
}

bool LoadStream(const char* path, CDatagramStream& stream)
{
    if (stream.Load(path) && !stream.empty()) return true;
    std::fprintf(stderr, "ortolan_bench: no datagrams in %s\n", path);
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "decode" && argc >= 5) {
        CDatagramStream stream;
        if (!LoadStream(argv[3], stream)) return 1;
        return CCoreFigures(argc > 5 ? argv[5] : "").Decode(argv[2], stream, std::atof(argv[4]));
    }
    if (command == "exporters" && argc >= 6) {
        CDatagramStream stream;
        if (!LoadStream(argv[3], stream)) return 1;
        return CCoreFigures(argc > 6 ? argv[6] : "")
            .Exporters(argv[2], stream, std::atof(argv[4]), std::atoi(argv[5]));
    }
    if (command == "makelog" && argc >= 6) {
        CDatagramStream sflow, netflow;
        if (!LoadStream(argv[2], sflow) || !LoadStream(argv[3], netflow)) return 1;
        return CCoreFigures("").MakeLog(sflow, netflow, argv[4], std::strtoull(argv[5], nullptr, 10));
    }
    if (command == "replay" && argc >= 4) return CCoreFigures(argc > 4 ? argv[4] : "").Replay(argv[2], argv[3]);
    if (command == "dump" && argc >= 4) {
        CDatagramStream stream;
        if (!LoadStream(argv[3], stream)) return 1;
        return CCoreFigures(argc > 4 ? argv[4] : "").Dump(argv[2], stream);
    }
    if (command == "memory" && argc >= 4) return CCoreFigures("").Memory(argv[2], std::strtoull(argv[3], nullptr, 10));
    return Usage();
}
