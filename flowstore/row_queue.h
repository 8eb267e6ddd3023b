// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows between the receiving threads and the store's sender thread, kept
// already in ClickHouse's RowBinary form (little-endian, strings with a
// LEB128 length) and cut into batches. Push may come from any thread and takes
// one lock per row; the sender takes whole batches. The bytes held are bounded:
// a row that does not fit is dropped and counted, never waited for.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "flow_row_sink.h"

namespace ortolan {

struct tagRowBatch {
    std::vector<uint8_t> bytes;
    uint32_t rows = 0;
};

class CRowQueue {
public:
    using Clock = std::chrono::steady_clock;

    CRowQueue(uint64_t limitBytes, uint32_t batchRows);
    CRowQueue(const CRowQueue&) = delete;
    CRowQueue& operator=(const CRowQueue&) = delete;

    // Queues one row; false, counting it dropped, when the bound has no room.
    bool Push(const tagFlowRow& row);
    // The oldest full batch, else the open one once its first row is at least
    // `age` old (an age of zero: any rows at all); waits until `until` for one.
    // Nothing when none came in time or Wake was called. The batch's bytes
    // stay charged to the bound until Release.
    std::optional<tagRowBatch> Take(std::chrono::milliseconds age, Clock::time_point until);
    void Release(const tagRowBatch& batch);
    // Gives up every queued row; returns how many.
    uint64_t Discard();
    // Ends a Take that is waiting.
    void Wake();

    uint64_t queued() const;   // rows pushed since the start
    uint64_t dropped() const;  // rows refused by the bound
    uint64_t rows() const;     // rows held now, taken ones included until released
    uint64_t bytes() const;
    uint64_t limit() const { return m_limit; }

    // The RowBinary form of one row, appended to out; the columns in the order
    // of CClickHouseStore::Columns().
    static void Encode(const tagFlowRow& row, std::vector<uint8_t>& out);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    const uint64_t m_limit;
    const uint32_t m_batchRows;
    std::deque<tagRowBatch> m_full;
    tagRowBatch m_open;
    Clock::time_point m_openSince;
    uint64_t m_bytes = 0;
    uint64_t m_rows = 0;
    uint64_t m_queued = 0;
    uint64_t m_dropped = 0;
    bool m_woken = false;
};

}  // namespace ortolan
