// SPDX-License-Identifier: GPL-3.0-or-later
#include "rate_search.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "udp_probe.h"

namespace ortolan {
namespace {

void SleepSeconds(double s)
{
    timespec ts{};
    ts.tv_sec = time_t(s);
    ts.tv_nsec = long((s - double(ts.tv_sec)) * 1e9);
    ::nanosleep(&ts, nullptr);
}

// Fields of one /proc/PID/stat line after the command name: state is field 3.
bool ReadStat(int pid, int& ppid, uint64_t& ticks)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return false;
    size_t close = line.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    std::vector<std::string> fields;
    while (rest >> field && fields.size() < 16) fields.push_back(field);
    if (fields.size() < 13) return false;
    // fields[0] is state (3rd), so field N of the man page is fields[N - 3].
    ppid = std::atoi(fields[1].c_str());
    ticks = std::strtoull(fields[11].c_str(), nullptr, 10) + std::strtoull(fields[12].c_str(), nullptr, 10);
    return true;
}

}  // namespace

CRateSearch::CRateSearch(const CDatagramStream& stream, tagRateSearchSettings settings)
    : m_stream(stream), m_settings(std::move(settings))
{
}

uint64_t CRateSearch::SocketDrops(uint16_t port, uint64_t* queuedBytes)
{
    uint64_t drops = 0;
    if (queuedBytes) *queuedBytes = 0;
    char want[8];
    std::snprintf(want, sizeof want, ":%04X", port);
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues;
            fields >> slot >> local >> remote >> state >> queues;
            if (local.size() < 5 || local.compare(local.size() - 5, 5, want) != 0) continue;
            size_t colon = queues.find(':');
            if (queuedBytes && colon != std::string::npos)
                *queuedBytes += std::strtoull(queues.c_str() + colon + 1, nullptr, 16);
            std::string last, field;
            while (fields >> field) last = field;
            drops += std::strtoull(last.c_str(), nullptr, 10);
        }
    }
    return drops;
}

double CRateSearch::ProcessTreeCpu(int root)
{
    // Parent of every process, then the sum over the root and its descendants
    // (pmacct works in a core process and one process per plugin).
    std::map<int, std::pair<int, uint64_t>> procs;
    if (DIR* d = ::opendir("/proc")) {
        while (dirent* e = ::readdir(d)) {
            int pid = std::atoi(e->d_name);
            if (pid <= 0) continue;
            int ppid = 0;
            uint64_t ticks = 0;
            if (ReadStat(pid, ppid, ticks)) procs[pid] = {ppid, ticks};
        }
        ::closedir(d);
    }
    uint64_t total = 0;
    std::vector<int> todo{root};
    for (size_t i = 0; i < todo.size() && i < 1000; ++i) {
        auto it = procs.find(todo[i]);
        if (it == procs.end()) continue;
        total += it->second.second;
        for (const auto& [pid, info] : procs)
            if (info.first == todo[i]) todo.push_back(pid);
    }
    return double(total) / double(::sysconf(_SC_CLK_TCK));
}

bool CRateSearch::Alive(int pid)
{
    return pid > 0 && ::kill(pid, 0) == 0;
}

uint64_t CRateSearch::CountLogLines()
{
    if (m_settings.logFolder.empty()) return 0;
    if (DIR* d = ::opendir(m_settings.logFolder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            auto it = std::find_if(m_logFiles.begin(), m_logFiles.end(),
                                   [&](const tagLogFile& f) { return f.name == name; });
            if (it == m_logFiles.end()) {
                m_logFiles.push_back({name, 0});
                it = m_logFiles.end() - 1;
            }
            std::FILE* f = std::fopen((m_settings.logFolder + "/" + name).c_str(), "rb");
            if (!f) continue;
            // Only what was appended since the last count is read.
            if (std::fseek(f, long(it->offset), SEEK_SET) == 0) {
                static char buf[1 << 20];
                size_t n;
                while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
                    for (size_t i = 0; i < n; ++i) m_logLines += buf[i] == '\n';
                    it->offset += n;
                }
            }
            std::fclose(f);
        }
        ::closedir(d);
    }
    return m_logLines;
}

uint64_t CRateSearch::CountLossReports() const
{
    if (m_settings.outputFile.empty() || m_settings.lossText.empty()) return 0;
    std::ifstream in(m_settings.outputFile);
    std::string line;
    uint64_t n = 0;
    while (std::getline(in, line)) n += line.find(m_settings.lossText) != std::string::npos;
    return n;
}

tagRateStep CRateSearch::Step(uint64_t rate)
{
    tagRateStep step;
    step.rate = rate;
    uint64_t reports0 = CountLossReports();
    uint64_t drops0 = SocketDrops(m_settings.port, nullptr);
    uint64_t lines0 = CountLogLines();
    double cpu0 = ProcessTreeCpu(m_settings.receiverPid);

    uint64_t count = std::max<uint64_t>(2000, uint64_t(double(rate) * m_settings.stepSeconds));
    tagSendResult sent = CUdpProbe::Send(m_stream, m_settings.port, rate, count, m_settings.stepSeconds * 2,
                                           m_settings.exporters);
    step.sent = sent.sent;
    step.sendSeconds = sent.seconds;

    // Wait for the receiver to empty its socket, then for the log writer.
    double deadline = Monotonic() + 5;
    uint64_t queued = 0;
    for (;;) {
        SocketDrops(m_settings.port, &queued);
        if (queued == 0 || Monotonic() > deadline) break;
        SleepSeconds(0.05);
    }
    step.drained = queued == 0;
    uint64_t lines = lines0;
    if (!m_settings.logFolder.empty()) {
        double logDeadline = Monotonic() + 6;
        uint64_t last = ~0ull;
        for (;;) {
            SleepSeconds(0.6);
            lines = CountLogLines();
            if (lines == last || Monotonic() > logDeadline) break;
            last = lines;
        }
    }
    step.cpuSeconds = ProcessTreeCpu(m_settings.receiverPid) - cpu0;
    step.lost = SocketDrops(m_settings.port, nullptr) - drops0;
    step.peerLoss = CountLossReports() > reports0;
    if (!m_settings.logFolder.empty()) {
        uint64_t logged = lines - lines0;
        step.loggedAll = logged >= step.sent;
        if (logged < step.sent) step.lost = std::max(step.lost, step.sent - logged);
    }
    return step;
}

bool CRateSearch::Passes(const tagRateStep& step) const
{
    return step.drained && !step.peerLoss && step.lossRatio() < m_settings.lossThreshold &&
           step.achievedRate() >= 0.9 * double(step.rate);
}

void CRateSearch::Run()
{
    double start = Monotonic();
    auto report = [](const tagRateStep& s, bool ok) {
        double received = double(s.sent - std::min(s.lost, s.sent));
        std::printf("STEP rate=%llu achieved=%.0f sent=%llu lost=%llu loss=%.4f%% cpu_us=%.2f drained=%d%s %s\n",
                    static_cast<unsigned long long>(s.rate), s.achievedRate(),
                    static_cast<unsigned long long>(s.sent), static_cast<unsigned long long>(s.lost),
                    100.0 * s.lossRatio(), received > 0 ? s.cpuSeconds * 1e6 / received : 0.0, int(s.drained),
                    s.peerLoss ? " receiver-reported-loss" : "", ok ? "ok" : "fail");
        std::fflush(stdout);
    };
    auto explain = [this](const tagRateStep& s) {
        char text[160];
        if (!Alive(m_settings.receiverPid))
            std::snprintf(text, sizeof text, "receiver exited");
        else if (s.achievedRate() < 0.9 * double(s.rate))
            std::snprintf(text, sizeof text, "sender reached only %.0f/s of %llu/s (CPU shared with the receiver)",
                          s.achievedRate(), static_cast<unsigned long long>(s.rate));
        else if (s.peerLoss)
            std::snprintf(text, sizeof text, "receiver reported lost data at %llu/s",
                          static_cast<unsigned long long>(s.rate));
        else if (!s.drained)
            std::snprintf(text, sizeof text, "socket not drained 5 s after %llu/s",
                          static_cast<unsigned long long>(s.rate));
        else
            std::snprintf(text, sizeof text, "%.3f%% lost at %llu/s", 100.0 * s.lossRatio(),
                          static_cast<unsigned long long>(s.rate));
        m_bound = text;
    };

    uint64_t low = 0, high = 0;
    for (uint64_t rate = m_settings.startRate; rate <= m_settings.maxRate; rate *= 2) {
        if (!Alive(m_settings.receiverPid) || Monotonic() - start > m_settings.budgetSeconds) break;
        tagRateStep s = Step(rate);
        bool ok = Passes(s);
        report(s, ok);
        m_steps.push_back(s);
        if (!ok) {
            high = rate;
            explain(s);
            break;
        }
        low = rate;
        m_best = s;
    }
    if (high == 0 && low) m_bound = "the highest rate asked";
    for (int i = 0; i < m_settings.refineSteps && low && high && high > low + low / 20; ++i) {
        if (!Alive(m_settings.receiverPid) || Monotonic() - start > m_settings.budgetSeconds) break;
        uint64_t mid = (low + high) / 2;
        tagRateStep s = Step(mid);
        bool ok = Passes(s);
        report(s, ok);
        m_steps.push_back(s);
        if (ok) {
            low = mid;
            m_best = s;
        } else {
            high = mid;
            explain(s);
        }
    }
}

}  // namespace ortolan
