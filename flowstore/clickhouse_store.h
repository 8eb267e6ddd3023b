// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The optional ClickHouse flow store: every row the collectors hand it is
// queued (bounded, charged to the memory limit) and inserted in batches over
// HTTP in RowBinary by a sender thread of its own, never on the receiving one.
// It creates its table when absent, drops partitions older than the retention
// at the start and daily, retries failed inserts with a growing pause, and at
// a stop sends what it can within a bound and counts the rest.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "flow_row_sink.h"
#include "store_counters.h"
#include "memory_budget.h"
#include "row_queue.h"
#include "store_limits.h"

namespace ortolan {

class CClickHouseHttp;

struct tagStoreSettings {
    std::string url;                       // http://host:8123/ (parameters such as ?database=NAME kept)
    std::string table = "ortolan_flows";   // NAME or DATABASE.NAME
    std::string user;                      // empty: the server's default user, no authentication sent
    std::string password;
    uint32_t retentionDays = 0;            // partitions (UTC days) older than this are dropped; 0 keeps all
};

// The store's counters since its start, as one snapshot.
class CClickHouseStore : public IFlowRowSink {
public:
    explicit CClickHouseStore(tagStoreSettings settings, const tagStoreLimits& limits = tagStoreLimits{});
    ~CClickHouseStore() override;
    CClickHouseStore(const CClickHouseStore&) = delete;
    CClickHouseStore& operator=(const CClickHouseStore&) = delete;

    // What is wrong with a table name (letters, digits and underscores, with
    // one optional "database." before it), or nothing.
    static std::optional<std::string> CheckTable(const std::string& table);
    // The queue's bound under a memory limit.
    static uint64_t QueueBytes(uint64_t memoryLimit, const tagStoreLimits& limits);
    // The statements, as sent.
    static std::string CreateTableQuery(const std::string& table);
    static std::string InsertQuery(const std::string& table);

    // Where the store says what went wrong, or that it is right again: called
    // on the sender thread. Set before Start.
    void SetReportHook(std::function<void(const std::string&)> hook) { m_report = std::move(hook); }
    // Charges the queue's bound to the budget and starts the sender thread;
    // false, starting nothing, when the budget has no room for it.
    bool Start(CMemoryBudget& budget);
    // Sends what is queued for at most limits.stopBound, then gives the rest
    // up and ends the thread; returns the rows given up. Rows that arrive
    // after the stop began are still queued and sent while time remains.
    uint64_t Stop();

    void OnFlowRow(const tagFlowRow& row) override;

    // Readable from any thread.
    tagStoreCounters Counters() const;
    // The last failure or refusal, empty while inserts succeed.
    std::string problem() const;
    uint64_t queueBound() const { return m_queue ? m_queue->limit() : 0; }

private:
    void Run();
    // Pauses the sender for `pause`, less when a stop begins or its time ends.
    void Pause(std::chrono::milliseconds pause);
    bool Stopping() const { return m_stopping.load(); }
    CRowQueue::Clock::time_point StopDeadline() const;
    void DropOldPartitions(CClickHouseHttp& http);
    // Notes how the last request went and says it when that changes.
    void NoteAnswer(bool ok, const std::string& what);

    tagStoreSettings m_settings;
    tagStoreLimits m_limits;
    std::unique_ptr<CRowQueue> m_queue;
    CMemoryBudget* m_budget = nullptr;
    uint64_t m_charged = 0;
    std::function<void(const std::string&)> m_report;
    std::thread m_thread;

    mutable std::mutex m_mutex;  // the waits, the deadline and the problem text
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_abort{false};
    bool m_done = false;
    CRowQueue::Clock::time_point m_stopDeadline{};
    std::string m_problem;

    std::atomic<uint64_t> m_rowsSent{0};
    std::atomic<uint64_t> m_failedInserts{0};
    std::atomic<uint64_t> m_refusals{0};
    std::atomic<uint64_t> m_rowsUnsent{0};
};

}  // namespace ortolan
