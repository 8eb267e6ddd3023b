// SPDX-License-Identifier: GPL-3.0-or-later
// The network side of the benchmarks, one subcommand per job of scripts/bench.sh:
//   pcap OUT [FRAMES] [HOSTS]                      made-up LAN traffic for the exporters
//   catch OUT SECONDS COMMAND...                   runs COMMAND ("{PORT}" replaced) and keeps what it sends
//   sink PORT SECONDS                              bare recvmmsg receiver, counts only
//   search STREAM PID PORT [LOGDIR] [BUDGET] [START] [OUTFILE LOSSTEXT]
//                                                  loss-free rate of a receiver process
//   send STREAM PORT RATE SECONDS                  paced send at a fixed rate; the socket's drops meanwhile
//   info STREAM                                    datagrams and bytes of a stream file
// ORTOLAN_BENCH_EXPORTERS=N makes search and send use N exporters in turn
// (sources 127.0.1.1 ... 127.0.2.1 ...), each an sFlow agent of its own.
//   head STREAM OUT COUNT                          the first COUNT datagrams (profiling runs)
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "datagram_stream.h"
#include "rate_search.h"
#include "traffic_pcap.h"
#include "udp_probe.h"

using namespace ortolan;

namespace {

volatile int g_stop = 0;
void OnStop(int) { g_stop = 1; }

int Usage()
{
    std::fprintf(stderr, "usage: ortolan_bench_net pcap|catch|sink|search|info ... (see the source head)\n");
    return 2;
}

uint64_t Number(const char* text) { return std::strtoull(text, nullptr, 10); }

int Exporters()
{
    const char* text = std::getenv("ORTOLAN_BENCH_EXPORTERS");
    return text ? std::max(1, std::atoi(text)) : 1;
}

int MakePcap(int argc, char** argv)
{
    if (argc < 3) return Usage();
    tagTrafficShape shape;
    if (argc > 3) shape.frames = uint32_t(Number(argv[3]));
    if (argc > 4) shape.hosts = uint32_t(Number(argv[4]));
    if (shape.hosts <= shape.servers) return Usage();
    if (!CTrafficPcap(shape).Write(argv[2], 1700000000)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("pcap %s frames=%u hosts=%u\n", argv[2], shape.frames, shape.hosts);
    return 0;
}

int CatchCommand(int argc, char** argv)
{
    if (argc < 5) return Usage();
    int seconds = int(Number(argv[3]));
    int fd = CUdpProbe::BindLoopback(0, 64 << 20, true);
    if (fd < 0) return 1;
    std::string port = std::to_string(CUdpProbe::LocalPort(fd));
    std::string command;
    for (int i = 4; i < argc; ++i) {
        if (i > 4) command += ' ';
        command += argv[i];
    }
    for (size_t at; (at = command.find("{PORT}")) != std::string::npos;) command.replace(at, 6, port);

    pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    CDatagramStream stream;
    // Exporters flush at the end of the capture: wait for the first datagram, then
    // until a quiet moment after it.
    CUdpProbe::Catch(fd, 3000, seconds, stream);
    if (child > 0) {
        ::kill(-child, SIGTERM);
        ::waitpid(child, nullptr, 0);
    }
    ::close(fd);
    if (!stream.Save(argv[2])) return 1;
    std::printf("caught %zu datagrams, %llu bytes\n", stream.size(),
                static_cast<unsigned long long>(stream.totalBytes()));
    return stream.empty() ? 1 : 0;
}

int SinkCommand(int argc, char** argv)
{
    if (argc < 4) return Usage();
    int fd = CUdpProbe::BindLoopback(uint16_t(Number(argv[2])), 8 << 20, false);
    if (fd < 0) {
        std::fprintf(stderr, "sink: cannot bind 127.0.0.1:%s\n", argv[2]);
        return 1;
    }
    std::signal(SIGTERM, OnStop);
    std::signal(SIGINT, OnStop);
    std::printf("sink on %u\n", CUdpProbe::LocalPort(fd));
    std::fflush(stdout);
    tagSinkResult r = CUdpProbe::Sink(fd, double(Number(argv[3])), &g_stop);
    std::printf("sink received=%llu bytes=%llu cpu=%.3f\n", static_cast<unsigned long long>(r.received),
                static_cast<unsigned long long>(r.bytes), r.cpuSeconds);
    return 0;
}

int SendCommand(int argc, char** argv)
{
    if (argc < 6) return Usage();
    CDatagramStream stream;
    if (!stream.Load(argv[2]) || stream.empty()) {
        std::fprintf(stderr, "send: no datagrams in %s\n", argv[2]);
        return 1;
    }
    const uint16_t port = uint16_t(Number(argv[3]));
    const uint64_t rate = Number(argv[4]);
    const double seconds = std::strtod(argv[5], nullptr);
    if (rate == 0 || seconds <= 0) return Usage();
    uint64_t queued = 0;
    const uint64_t drops0 = CRateSearch::SocketDrops(port, &queued);
    tagSendResult r =
        CUdpProbe::Send(stream, port, rate, uint64_t(double(rate) * seconds), seconds * 2 + 5, Exporters());
    // Let the receiver empty its socket before its drops are read.
    for (int i = 0; i < 50; ++i) {
        CRateSearch::SocketDrops(port, &queued);
        if (queued == 0) break;
        ::usleep(100000);
    }
    const uint64_t drops = CRateSearch::SocketDrops(port, &queued) - drops0;
    std::printf("SEND sent=%llu seconds=%.3f rate=%.0f drops=%llu\n", static_cast<unsigned long long>(r.sent),
                r.seconds, r.seconds > 0 ? double(r.sent) / r.seconds : 0.0, static_cast<unsigned long long>(drops));
    return 0;
}

int SearchCommand(int argc, char** argv)
{
    if (argc < 5) return Usage();
    CDatagramStream stream;
    if (!stream.Load(argv[2]) || stream.empty()) {
        std::fprintf(stderr, "search: no datagrams in %s\n", argv[2]);
        return 1;
    }
    tagRateSearchSettings s;
    s.receiverPid = int(Number(argv[3]));
    s.port = uint16_t(Number(argv[4]));
    if (argc > 5 && std::string(argv[5]) != "-") s.logFolder = argv[5];
    if (argc > 6) s.budgetSeconds = double(Number(argv[6]));
    if (argc > 7) s.startRate = std::max<uint64_t>(1000, Number(argv[7]));
    if (argc > 9) {
        s.outputFile = argv[8];
        s.lossText = argv[9];
    }
    s.exporters = Exporters();
    CRateSearch search(stream, s);
    search.Run();
    const tagRateStep& b = search.best();
    double received = double(b.sent - std::min(b.lost, b.sent));
    std::printf("RESULT rate=%llu cpu_us=%.2f bound=%s\n", static_cast<unsigned long long>(b.rate),
                received > 0 ? b.cpuSeconds * 1e6 / received : 0.0,
                search.bound().empty() ? "none" : search.bound().c_str());
    return 0;
}

int InfoCommand(int argc, char** argv)
{
    if (argc < 3) return Usage();
    CDatagramStream stream;
    if (!stream.Load(argv[2])) return 1;
    std::printf("datagrams=%zu bytes=%llu\n", stream.size(), static_cast<unsigned long long>(stream.totalBytes()));
    return 0;
}

int HeadCommand(int argc, char** argv)
{
    if (argc < 5) return Usage();
    CDatagramStream in, out;
    if (!in.Load(argv[2])) return 1;
    uint64_t count = Number(argv[4]);
    for (const auto& d : in.datagrams()) {
        if (out.size() >= count) break;
        out.Append(d.data(), d.size());
    }
    return out.Save(argv[3]) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "pcap") return MakePcap(argc, argv);
    if (command == "catch") return CatchCommand(argc, argv);
    if (command == "sink") return SinkCommand(argc, argv);
    if (command == "search") return SearchCommand(argc, argv);
    if (command == "send") return SendCommand(argc, argv);
    if (command == "info") return InfoCommand(argc, argv);
    if (command == "head") return HeadCommand(argc, argv);
    return Usage();
}
