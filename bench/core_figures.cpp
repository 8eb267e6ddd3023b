// SPDX-License-Identifier: GPL-3.0-or-later
#include "core_figures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "flow_log.h"
#include "replay_feed.h"
#include "flow_log_writer.h"
#include "mon_port.h"
#include "port_texts.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double ProcessCpu()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU time of the calling thread alone.
double ThreadCpu()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

uint64_t ResidentBytes()
{
    std::ifstream in("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    in >> size >> resident;
    return resident * uint64_t(::sysconf(_SC_PAGESIZE));
}

constexpr int64_t kLogBase = 1700000000;

// Feeds every datagram of the stream once; returns the count fed. Never
// inlined, so a profiler can cut the run at each pass
// (valgrind --tool=callgrind --dump-after='*FeedAll*').
__attribute__((noinline)) uint64_t FeedAll(CFlowCollector& collector, const CDatagramStream& stream, int64_t time)
{
    for (const auto& d : stream.datagrams()) collector.FeedDatagram(d.data(), d.size(), time, "127.0.0.1", 9999);
    return stream.size();
}

// Wall time and this process's CPU time: on a shared machine the CPU figure is
// the steadier one, the wall figure is what a receiver would see.
void PrintDecode(const char* kind, const char* table, uint64_t datagrams, double seconds, double cpu,
                 uint64_t records)
{
    double dps = seconds > 0 ? double(datagrams) / seconds : 0;
    std::printf("DECODE kind=%s table=%s datagrams=%llu seconds=%.3f dps=%.0f ns=%.0f cpu_dps=%.0f cpu_ns=%.0f "
                "records_per_datagram=%.1f\n",
                kind, table, static_cast<unsigned long long>(datagrams), seconds, dps,
                datagrams ? seconds * 1e9 / double(datagrams) : 0.0, cpu > 0 ? double(datagrams) / cpu : 0.0,
                datagrams ? cpu * 1e9 / double(datagrams) : 0.0,
                datagrams ? double(records) / double(datagrams) : 0.0);
}

// Flow samples (sFlow) or flow records (NetFlow, as accounted: a v9 or IPFIX
// header counts templates too, or bytes) of one pass over a stream.
uint64_t Records(const char* kind, const CDatagramStream& stream, const CFlowCollector& warmed)
{
    if (const auto* netflow = dynamic_cast<const CNFlowMon*>(&warmed)) return netflow->flowRecords();
    uint64_t n = 0;
    for (const auto& [key, port] : warmed.ports) n += uint64_t(port->sampleCount);
    return n;
}

template <class Collector>
int DecodeWith(Collector& mon, const char* kind, const CDatagramStream& stream, double seconds)
{
    // Cold: every pass starts from empty tables, so each entry is created on its first sight.
    uint64_t fed = 0, passes = 0;
    double spent = 0, cpu = 0;
    while (spent < seconds || fed == 0) {
        mon.Reset();
        auto t0 = Clock::now();
        double c0 = ProcessCpu();
        fed += FeedAll(mon, stream, kLogBase);
        cpu += ProcessCpu() - c0;
        spent += Since(t0);
        ++passes;
    }
    uint64_t perPass = Records(kind, stream, mon);
    PrintDecode(kind, "cold", fed, spent, cpu, perPass * passes);

    // Warm: the tables already hold every key the stream brings.
    mon.Reset();
    FeedAll(mon, stream, kLogBase);
    fed = 0;
    passes = 0;
    spent = 0;
    cpu = 0;
    while (spent < seconds || fed == 0) {
        auto t0 = Clock::now();
        double c0 = ProcessCpu();
        fed += FeedAll(mon, stream, kLogBase + 1);
        cpu += ProcessCpu() - c0;
        spent += Since(t0);
        ++passes;
    }
    PrintDecode(kind, "warm", fed, spent, cpu, perPass * passes);
    size_t ips = 0;
    for (const auto& [key, port] : mon.ports) ips += port->ips.size();
    std::printf("DECODE_TABLES kind=%s ports=%zu ip_nodes=%zu rejected=%llu\n", kind, mon.ports.size(), ips,
                static_cast<unsigned long long>(mon.rejectedDatagrams));
    return 0;
}

}  // namespace

CCoreFigures::CCoreFigures(std::string configFolder)
{
    if (configFolder.empty()) return;
    m_names.LoadProtocolTable(configFolder + "/IPProt.txt");
    m_names.LoadPortTable(configFolder + "/Port.txt");
    m_names.LoadOuiTable(configFolder + "/oui.txt");
}

int CCoreFigures::Decode(const std::string& kind, const CDatagramStream& stream, double seconds)
{
    if (kind == "sflow") {
        auto mon = std::make_unique<CSFlowMon>(m_names);
        return DecodeWith(*mon, "sflow", stream, seconds);
    }
    if (kind == "netflow") {
        auto mon = std::make_unique<CNFlowMon>(m_names);
        return DecodeWith(*mon, "netflow", stream, seconds);
    }
    return 2;
}

namespace {

template <class Map, class KeyText, class Line>
void DumpTable(std::vector<std::string>& out, const std::string& prefix, const Map& table, KeyText keyText,
               Line line)
{
    for (const auto& [key, entry] : table) out.push_back(prefix + keyText(key, entry) + "\t" + line(entry));
}

std::string Joined(const std::vector<std::string>& texts)
{
    std::string out;
    for (const auto& t : texts) {
        if (!out.empty()) out += ',';
        out += t;
    }
    return out;
}

void DumpPorts(const CFlowCollector& c)
{
    std::vector<std::string> out;
    auto stat = [](const tagProtStat& e) { return std::to_string(e.packets) + " " + std::to_string(e.bytes); };
    auto text = [](const auto& key, const auto&) { return key.String(); };
    auto pairText = [](const auto& key, const tagMtxEntry& e) { return CMonPort::PairText(key, e); };
    for (const auto& [key, p] : c.ports) {
        const CMonPort& port = *p;
        auto label = [&port](uint32_t l, const tagProtStat&) { return port.LabelText(l); };
        auto pair = [&port](const tagMtxEntry& e) {
            return std::to_string(e.packetsAtoB) + " " + std::to_string(e.bytesAtoB) + " " +
                   std::to_string(e.packetsBtoA) + " " + std::to_string(e.bytesBtoA) + " " +
                   Joined(ServiceTexts(port, e.services));
        };
        DumpTable(out, key + "\tmac\t", p->macs, text, [](const tagMacEntry& e) {
            return std::to_string(e.rxPackets) + " " + std::to_string(e.txPackets) + " " + std::to_string(e.rxBytes);
        });
        DumpTable(out, key + "\tip\t", p->ips, text, [&port](const tagIpEntry& e) {
            return std::to_string(e.rxPackets) + " " + std::to_string(e.txBytes) + " " +
                   Joined(ServiceTexts(port, e.services)) + " " + MacList(e);
        });
        DumpTable(out, key + "\tipmtx\t", p->ipMatrix, pairText, pair);
        DumpTable(out, key + "\tmacmtx\t", p->macMatrix, pairText, pair);
        DumpTable(out, key + "\teth\t", p->ethernetTypes, label, stat);
        DumpTable(out, key + "\tproto\t", p->ipProtocols, label, stat);
        DumpTable(out, key + "\ttcp\t", p->tcpServices, label, stat);
        DumpTable(out, key + "\tudp\t", p->udpServices, label, stat);
        DumpTable(out, key + "\ticmp\t", p->icmpTypes, label, stat);
        DumpTable(out, key + "\ttos\t", p->tosTable, text, stat);
        for (const auto& [index, ifc] : p->interfaces)
            out.push_back(key + "\tif\t" + std::to_string(index) + "\t" + std::to_string(ifc.current.ifInOctets) + " " +
                          std::to_string(ifc.current.ifOutOctets) + " " + std::to_string(ifc.history.size()) + " " +
                          std::to_string(ifc.hourStamp));
    }
    std::sort(out.begin(), out.end());
    for (const auto& line : out) std::printf("%s\n", line.c_str());
}

}  // namespace

int CCoreFigures::Dump(const std::string& kind, const CDatagramStream& stream)
{
    std::unique_ptr<CFlowCollector> mon;
    if (kind == "sflow") {
        auto s = std::make_unique<CSFlowMon>(m_names);
        mon = std::move(s);
    } else {
        auto n = std::make_unique<CNFlowMon>(m_names);
        mon = std::move(n);
    }
    int64_t t = kLogBase;
    for (const auto& d : stream.datagrams()) mon->FeedDatagram(d.data(), d.size(), t++, "127.0.0.1", 9999);
    DumpPorts(*mon);
    return 0;
}

namespace {

// The address of exporter n as the live driver binds its senders:
// 127.0.1.1 ... 127.0.1.255, then 127.0.2.1 ...
std::string ExporterText(int n)
{
    return "127.0." + std::to_string(1 + n / 255) + "." + std::to_string(1 + n % 255);
}

// One pass over the stream, datagram i from exporter i mod the count. An sFlow
// agent field carries the exporter's own (non-loopback) address, so the port
// is found by the datagram's bytes; NetFlow's exporter is its sender's text.
__attribute__((noinline)) uint64_t FeedInTurn(CFlowCollector& collector, std::vector<std::vector<uint8_t>>& datagrams,
                                              const std::vector<std::string>& senders, int64_t time)
{
    for (size_t i = 0; i < datagrams.size(); ++i) {
        const auto& d = datagrams[i];
        collector.FeedDatagram(d.data(), d.size(), time, senders[i % senders.size()], 9999);
    }
    return datagrams.size();
}

}  // namespace

int CCoreFigures::Exporters(const std::string& kind, const CDatagramStream& stream, double seconds, int exporters)
{
    std::unique_ptr<CFlowCollector> mon;
    if (kind == "sflow")
        mon = std::make_unique<CSFlowMon>(m_names);
    else if (kind == "netflow")
        mon = std::make_unique<CNFlowMon>(m_names);
    else
        return 2;
    // Full datagrams, and their headers alone: with many exporters each one's
    // port holds tables of its own (a larger working set for the samples),
    // while a header alone costs the port's look-up and little else.
    for (const char* payload : {"full", "header"}) {
        double warmNs[2] = {}, warmCpuNs[2] = {};
        const int counts[2] = {1, std::max(exporters, 1)};
        const bool headerOnly = std::string(payload) == "header";
        for (int run = 0; run < 2; ++run) {
            std::vector<std::vector<uint8_t>> datagrams = stream.datagrams();
            if (headerOnly) {
                // sFlow v5 with an IPv4 agent: 28 bytes, no samples; NetFlow v5: 24 bytes, no records.
                for (auto& d : datagrams) {
                    if (kind == "sflow" && d.size() >= 28) {
                        d.resize(28);
                        std::fill(d.begin() + 24, d.end(), uint8_t(0));
                    } else if (kind == "netflow" && d.size() >= 24) {
                        d.resize(24);
                        d[2] = d[3] = 0;
                    }
                }
            }
            std::vector<std::string> senders;
            for (int n = 0; n < counts[run]; ++n) senders.push_back(ExporterText(n));
            if (kind == "sflow") {
                // An IPv4 agent field (type 1 at byte 4) takes 10.1.<n / 256>.<n % 256>.
                for (size_t i = 0; i < datagrams.size(); ++i) {
                    auto& d = datagrams[i];
                    const int n = int(i % size_t(counts[run]));
                    if (d.size() >= 12 && d[4] == 0 && d[5] == 0 && d[6] == 0 && d[7] == 1) {
                        d[8] = 10;
                        d[9] = 1;
                        d[10] = uint8_t(n / 256);
                        d[11] = uint8_t(n % 256);
                    }
                }
            }
            mon->Reset();
            FeedInTurn(*mon, datagrams, senders, kLogBase);
            uint64_t fed = 0;
            double spent = 0, cpu = 0;
            while (spent < seconds || fed == 0) {
                auto t0 = Clock::now();
                double c0 = ProcessCpu();
                fed += FeedInTurn(*mon, datagrams, senders, kLogBase + 1);
                cpu += ProcessCpu() - c0;
                spent += Since(t0);
            }
            warmNs[run] = spent * 1e9 / double(fed);
            warmCpuNs[run] = cpu * 1e9 / double(fed);
            std::printf("EXPORTERS kind=%s payload=%s exporters=%d ports=%zu datagrams=%llu us=%.3f cpu_us=%.3f "
                        "rejected=%llu\n",
                        kind.c_str(), payload, counts[run], mon->ports.size(), static_cast<unsigned long long>(fed),
                        warmNs[run] / 1000, warmCpuNs[run] / 1000,
                        static_cast<unsigned long long>(mon->rejectedDatagrams));
        }
        // The figure the target speaks of: how much of the one-exporter rate the
        // interleaved exporters keep (1.0 = no cost at all).
        std::printf("EXPORTERS_RATIO kind=%s payload=%s exporters=%d rate_ratio=%.3f cpu_rate_ratio=%.3f\n",
                    kind.c_str(), payload, counts[1], warmNs[1] > 0 ? warmNs[0] / warmNs[1] : 0.0,
                    warmCpuNs[1] > 0 ? warmCpuNs[0] / warmCpuNs[1] : 0.0);
    }
    return 0;
}

int CCoreFigures::MakeLog(const CDatagramStream& sflow, const CDatagramStream& netflow, const std::string& folder,
                          uint64_t count)
{
    if (sflow.empty() || netflow.empty()) return 1;
    auto s = std::make_unique<CSFlowMon>();
    auto n = std::make_unique<CNFlowMon>();
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::string name = CFlowLog::FileNameFor(kLogBase);
    ::unlink((dir + name).c_str());
    // The writer thread the program runs; each batch is queued, then one pass
    // writes it, timed from the request to the pass's end.
    CFlowLogWriter writer(n->logQueue(), s->logQueue());
    writer.SetFolder(dir);
    writer.Start();
    size_t si = 0, ni = 0;
    double writing = 0, writingCpu = 0;
    constexpr uint64_t kBatch = 20000;
    for (uint64_t done = 0; done < count;) {
        for (uint64_t i = 0; i < kBatch && done < count; ++i, ++done) {
            bool toSflow = done % 2 == 0;
            const CDatagramStream& stream = toSflow ? sflow : netflow;
            size_t& at = toSflow ? si : ni;
            const auto& bytes = stream.datagrams()[at];
            at = at + 1 == stream.size() ? 0 : at + 1;
            CFlowCollector& target = toSflow ? static_cast<CFlowCollector&>(*s) : static_cast<CFlowCollector&>(*n);
            // A thousand datagrams per logged second, so replay closes intervals as it goes.
            target.logQueue().Push(kLogBase + int64_t(done / 1000), "127.0.0.1", 9999, bytes);
        }
        auto t0 = Clock::now();
        double c0 = ProcessCpu();
        bool ok = writer.Flush();
        writingCpu += ProcessCpu() - c0;
        writing += Since(t0);
        if (!ok) {
            std::fprintf(stderr, "makelog: %s\n", writer.problem().c_str());
            return 1;
        }
    }
    writer.Stop();
    struct stat st{};
    ::stat((dir + name).c_str(), &st);
    std::printf("LOG file=%s datagrams=%llu bytes=%lld write_seconds=%.3f write_cpu=%.3f write_dps=%.0f\n",
                name.c_str(), static_cast<unsigned long long>(count), static_cast<long long>(st.st_size), writing,
                writingCpu, writing > 0 ? double(count) / writing : 0.0);
    return 0;
}

int CCoreFigures::Replay(const std::string& folder, const std::string& fileName)
{
    auto s = std::make_unique<CSFlowMon>(m_names);
    auto n = std::make_unique<CNFlowMon>(m_names);
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    CFlowLog log(dir);
    uint64_t intervals = 0, seen = 0;
    tagReplayHooks hooks;
    double cpu0 = ProcessCpu();
    double callerCpu0 = ThreadCpu();
    auto t0 = Clock::now();
    // Progress lines let a caller that stops a slow replay still say how fast it went.
    hooks.observeTime = [&](int64_t) {
        if (++seen % 50000 == 0) {
            double spent = Since(t0);
            std::printf("REPLAY_PROGRESS datagrams=%llu seconds=%.3f cpu=%.3f dps=%.0f\n",
                        static_cast<unsigned long long>(seen), spent, ProcessCpu() - cpu0, double(seen) / spent);
            std::fflush(stdout);
        }
    };
    // As the controller does at each close: every port takes its interval snapshot.
    hooks.closeInterval = [&](int64_t) {
        ++intervals;
        for (CFlowCollector* c : {static_cast<CFlowCollector*>(s.get()), static_cast<CFlowCollector*>(n.get())})
            for (auto& [key, port] : c->ports) port->interfaces.TakeSnapshot();
    };
    bool ok = log.ReplayLog(fileName, ReplayFeed(*n, *s), 30, hooks);
    double seconds = Since(t0);
    double cpu = ProcessCpu() - cpu0;
    // The decoders run on this thread and reading on another: on a busy
    // machine this thread's CPU is what the wall time would be on a quiet one.
    double callerCpu = ThreadCpu() - callerCpu0;
    uint64_t lines = log.replayedLines();
    std::printf("REPLAY ok=%d datagrams=%llu skipped=%llu intervals=%llu seconds=%.3f cpu=%.3f caller_cpu=%.3f "
                "dps=%.0f\n",
                int(ok), static_cast<unsigned long long>(lines), static_cast<unsigned long long>(log.skippedLines()),
                static_cast<unsigned long long>(intervals), seconds, cpu, callerCpu,
                seconds > 0 ? double(lines) / seconds : 0.0);
    return ok ? 0 : 1;
}

int CCoreFigures::Memory(const std::string& kind, uint64_t count)
{
    tagLimits limits;
    limits.memoryLimit = UINT64_MAX;
    CMemoryBudget budget(limits.memoryLimit);
    CMemoryAccount account(budget);
    auto port = std::make_unique<CMonPort>("10.0.0.1", 0, &account, limits);
    auto ip = [](uint64_t i) { return CIpAddress::V4Number(uint32_t((10u << 24) + i)); };
    auto mac = [](uint64_t i) { return MacAddress{0x020000000000ull + i}; };
    uint64_t before = ResidentBytes();
    uint64_t made = 0;
    const uint32_t https = port->labels().Intern("https/tcp");
    for (uint64_t i = 0; i < count; ++i) {
        if (kind == "ip" || kind == "ipfull") {
            tagIpEntry* node = port->FindOrAddIp(ip(i), kLogBase);
            if (!node) break;
            if (kind == "ipfull") {
                // What a sampled TCP packet leaves on its source node.
                port->AddService(node->services, https);
                port->AddMacToIp(*node, mac(i));
            }
        } else if (kind == "pair") {
            bool sourceIsA = false;
            if (!port->FindOrAddPair(port->ipMatrix, ip(i), ip(i + count), kLogBase, &sourceIsA)) break;
        } else if (kind == "mac") {
            if (!port->FindOrAddMac(mac(i), kLogBase)) break;
        } else {
            return 2;
        }
        ++made;
    }
    uint64_t after = ResidentBytes();
    std::printf("MEMORY kind=%s entries=%llu resident_bytes=%llu bytes_per_entry=%.1f sizeof=%zu\n", kind.c_str(),
                static_cast<unsigned long long>(made), static_cast<unsigned long long>(after - before),
                made ? double(after - before) / double(made) : 0.0,
                kind == "pair" ? sizeof(tagMtxEntry) : kind == "mac" ? sizeof(tagMacEntry) : sizeof(tagIpEntry));
    // The scaled figures: nothing per entry while the port's records share one
    // rate; per-entry sums (both directions of each) once a second rate comes.
    port->NoteSamplingRate(100, 1, 64);
    const uint64_t oneRate = ResidentBytes();
    const uint64_t chargedBefore = account.used();
    port->NoteSamplingRate(200, 1, 64);
    const uint64_t split = ResidentBytes();
    std::printf("SCALED kind=%s one_rate_bytes_per_entry=%.1f two_rates_bytes_per_entry=%.1f "
                "charged_per_entry=%.1f sums_kept=%zu\n",
                kind.c_str(), made ? double(oneRate - after) / double(made) : 0.0,
                made ? double(split - oneRate) / double(made) : 0.0,
                made ? double(account.used() - chargedBefore) / double(made) : 0.0, port->scaled.entriesKept());
    return made == count ? 0 : 1;
}

}  // namespace ortolan
