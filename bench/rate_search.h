// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds the highest rate at which a receiver process takes a stream from
// 127.0.0.1 without loss: steps of a bounded count at a paced rate, doubling
// while the loss stays under the threshold, then halving the gap a few times.
// Loss is what the kernel dropped at the receiver's socket (per-socket drop
// counter of /proc/net/udp and udp6) and, when the receiver writes one line per
// datagram to a log folder, the datagrams missing from the log.
#include <cstdint>
#include <string>
#include <vector>

#include "datagram_stream.h"

namespace ortolan {

struct tagRateStep {
    uint64_t rate = 0;       // asked, datagrams per second
    uint64_t sent = 0;
    double sendSeconds = 0;
    uint64_t lost = 0;
    double cpuSeconds = 0;   // the receiver's processes, user and system
    bool drained = true;     // the socket emptied within the wait
    bool loggedAll = true;   // every datagram reached the log (when counted)
    bool peerLoss = false;   // the receiver's own output reported losing data
    double lossRatio() const { return sent ? double(lost) / double(sent) : 1.0; }
    double achievedRate() const { return sendSeconds > 0 ? double(sent) / sendSeconds : 0; }
};

struct tagRateSearchSettings {
    int receiverPid = 0;
    uint16_t port = 0;
    std::string logFolder;    // empty: the receiver writes no per-datagram log
    // A receiver that loses data past its socket (pmacct between its core and a
    // plugin) says so in its output: lines holding lossText in outputFile fail the step.
    std::string outputFile;
    std::string lossText;
    uint64_t startRate = 5000;
    uint64_t maxRate = 1280000;
    double stepSeconds = 2.0;
    int refineSteps = 3;
    double lossThreshold = 0.001;
    double budgetSeconds = 90;  // the whole search stops asking for new steps after this
    int exporters = 1;          // senders in turn (CUdpProbe::Send)
};

class CRateSearch {
public:
    CRateSearch(const CDatagramStream& stream, tagRateSearchSettings settings);
    // Runs the steps; prints one line per step to stdout as it goes.
    void Run();

    bool found() const { return m_best.sent > 0; }
    const tagRateStep& best() const { return m_best; }
    const std::vector<tagRateStep>& steps() const { return m_steps; }
    // Why the search stopped above the best rate.
    const std::string& bound() const { return m_bound; }

    // Helpers read from /proc, public so the command line can print them.
    static uint64_t SocketDrops(uint16_t port, uint64_t* queuedBytes);
    static double ProcessTreeCpu(int pid);
    static bool Alive(int pid);

private:
    tagRateStep Step(uint64_t rate);
    uint64_t CountLogLines();
    uint64_t CountLossReports() const;
    bool Passes(const tagRateStep& step) const;

    const CDatagramStream& m_stream;
    tagRateSearchSettings m_settings;
    std::vector<tagRateStep> m_steps;
    tagRateStep m_best;
    std::string m_bound;
    struct tagLogFile {
        std::string name;
        uint64_t offset = 0;
    };
    std::vector<tagLogFile> m_logFiles;
    uint64_t m_logLines = 0;
};

}  // namespace ortolan
