#include "collect_command.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "command_line.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Readiness of a collector's socket drives its OnReceive on the event loop.
void Watch(CFlowCollector& collector, QObject* parent)
{
    auto* notifier = new QSocketNotifier(collector.socketDescriptor(), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent,
                     [&collector] { collector.OnReceive(0); });
}

void PrintPorts(const char* name, const CFlowCollector& collector)
{
    std::printf("%s\tdatagrams %llu\tagents %zu\n", name,
                static_cast<unsigned long long>(collector.datagramCount), collector.agents.size());
    for (const auto& [key, port] : collector.ports)
        std::printf("%s\tdatagrams %llu\tsamples %lld\n", key.c_str(),
                    static_cast<unsigned long long>(port->datagrams),
                    static_cast<long long>(port->sampleCount));
}

}  // namespace

int RunCollectCommand(const std::vector<std::string>& args)
{
    CCommandLine line(args, {"--sflow-port", "--netflow-port", "--refresh"});
    if (!line.ok() || !line.words().empty()) {
        std::fprintf(stderr, "ortolan collect: %s\n",
                     line.ok() ? "unexpected argument" : line.error().c_str());
        return 2;
    }
    auto number = [&](const char* option, uint64_t fallback) {
        auto v = line.value(option);
        return v ? ParseUnsigned(*v) : std::optional<uint64_t>(fallback);
    };
    auto sflowPort = number("--sflow-port", 0);
    auto netflowPort = number("--netflow-port", 0);
    auto refresh = number("--refresh", 5);
    if (!sflowPort || !netflowPort || !refresh) {
        std::fprintf(stderr, "ortolan collect: options take whole numbers\n");
        return 2;
    }

    int argc = 1;
    char name[] = "ortolan";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    CSFlowMon sflow;
    CNFlowMon netflow;
    bool sflowOpen = sflow.Open(uint32_t(std::min<uint64_t>(*sflowPort, 70000)));
    bool netflowOpen = netflow.Open(uint32_t(std::min<uint64_t>(*netflowPort, 70000)));
    if (!sflowOpen)
        std::fprintf(stderr, "ortolan collect: cannot open the sFlow port %u\n",
                     unsigned(*sflowPort == 0 || *sflowPort > 65535 ? 6343 : *sflowPort));
    if (!netflowOpen)
        std::fprintf(stderr, "ortolan collect: cannot open the NetFlow port %u\n",
                     unsigned(*netflowPort == 0 || *netflowPort > 65535 ? 2100 : *netflowPort));
    if (!sflowOpen && !netflowOpen) return 2;
    if (sflowOpen) {
        Watch(sflow, &app);
        std::printf("sFlow on UDP port %u\n", sflow.boundPort());
    }
    if (netflowOpen) {
        Watch(netflow, &app);
        std::printf("NetFlow on UDP port %u\n", netflow.boundPort());
    }
    std::fflush(stdout);

    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        auto* stop = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        PrintPorts("sFlow", sflow);
        PrintPorts("NetFlow", netflow);
        std::fflush(stdout);
    });
    tick.start(int(std::clamp<uint64_t>(*refresh, 1, 3600) * 1000));
    app.exec();
    PrintPorts("sFlow", sflow);
    PrintPorts("NetFlow", netflow);
    return 0;
}

}  // namespace ortolan
