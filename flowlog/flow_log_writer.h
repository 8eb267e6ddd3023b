// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes the collectors' queues to the flow log on a thread of its own, so the
// thread that drains the sockets never waits for a log write. Each pass does
// what CFlowLog::WriteFlowLog does (and keeps its guarantees) over the records
// queued when the pass begins. Passes run when asked (a stop writes everything
// before it returns) and, once SetEagerPasses is on (the monitoring session),
// also as soon as either queue holds kWriterPassBytes and otherwise every
// kWriterPassPeriod: short passes keep the queues' chunks few and warm. Off,
// the log's lines come out exactly as the requests cut them (the benchmarks'
// logs compare byte for byte). The thread runs at a lower priority
// (kWriterNice) than the receive threads, which must never wait for it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "flow_log.h"
#include "log_queue.h"

namespace ortolan {

inline constexpr uint64_t kWriterPassBytes = 1ull << 20;
inline constexpr std::chrono::milliseconds kWriterPassPeriod{100};
// The writer thread's nice value (from 0, the receive threads', to 19): under
// a full CPU it yields to receiving, yet still gets a share, so the queues'
// bound is seldom reached; SCHED_IDLE could starve it for good.
inline constexpr int kWriterNice = 10;

class CFlowLogWriter {
public:
    // The queues must outlive the writer.
    CFlowLogWriter(CLogQueue& netflow, CLogQueue& sflow);
    // Stops the thread as Stop does.
    ~CFlowLogWriter();
    CFlowLogWriter(const CFlowLogWriter&) = delete;
    CFlowLogWriter& operator=(const CFlowLogWriter&) = delete;

    // The log folder (empty or ending with a separator), from the next pass on.
    void SetFolder(std::string folder);
    // Passes of the thread's own, at a megabyte queued or every period; set
    // before the thread starts and before anything fills the queues (it sets
    // their fill hooks).
    void SetEagerPasses(bool eager);
    // Starts the thread; nothing happens when it runs already.
    void Start();
    bool running() const { return m_thread.joinable(); }
    // Asks for a pass over what is queued now and returns at once.
    void Request();
    // Asks for a pass and waits until it has ended; without the thread the
    // pass runs here. True when it wrote everything queued at the call.
    bool Flush();
    // A last pass over everything queued, then the thread ends; returns what
    // Flush returns. Without the thread it only tells how the last pass went.
    bool Stop();

    // The last finished pass: whether it left records queued, and why
    // (naming the file); empty once a pass wrote everything.
    bool failing() const;
    std::string problem() const;
    // Passes finished since the writer was made.
    uint64_t passes() const;
    // The names of the day files the passes have written to.
    std::set<std::string> writtenFiles() const;

private:
    void Run();
    // One pass on the calling thread; m_passMutex held.
    bool Pass();

    CLogQueue& m_netflow;
    CLogQueue& m_sflow;
    std::mutex m_passMutex;  // one pass at a time, and m_log with it
    CFlowLog m_log;

    mutable std::mutex m_mutex;  // everything below
    std::condition_variable m_changed;
    std::string m_folder;
    uint64_t m_requested = 0;  // passes asked for
    uint64_t m_done = 0;       // requests answered by a finished pass
    uint64_t m_passes = 0;
    bool m_stopping = false;
    bool m_eager = false;
    bool m_failing = false;
    std::string m_problem;
    std::set<std::string> m_writtenFiles;
    std::thread m_thread;
};

}  // namespace ortolan
