// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The queue of datagram copies between a collector, which fills it on the
// receiving thread, and the flow-log writer, which empties it on its own
// thread. Records are packed one after another into large chunks, so queueing
// a datagram allocates nothing once the chunks exist. One producer and one
// reader at a time; every call may come from either thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "datagram.h"

namespace ortolan {

// One received datagram waiting for the flow log. As handed out by the
// queue, the sender and the bytes point into the queue's memory and stay
// valid until the record leaves the queue.
struct tagXFlowLog {
    int64_t receivedAt = 0;
    std::string_view sender;
    uint32_t senderPort = 0;
    std::span<const uint8_t> bytes;
};

// While the flow log cannot be written the queue holds records costing at most
// this many bytes (LogRecordCost); further copies are dropped and counted.
inline constexpr uint64_t kDefaultLogQueueBytes = 256ull << 20;
// What a queued record costs beyond its bytes: its packed header and sender
// text (an IPv6 text included) in its chunk. Counted against the bound, so a
// flood of tiny datagrams cannot hold far more memory than the bound says.
inline constexpr uint64_t kLogRecordOverhead = 64;
inline uint64_t LogRecordCost(size_t bytes) { return uint64_t(bytes) + kLogRecordOverhead; }

class CLogQueue {
public:
    CLogQueue();
    ~CLogQueue();
    CLogQueue(const CLogQueue&) = delete;
    CLogQueue& operator=(const CLogQueue&) = delete;

    void SetLimit(uint64_t bytes);
    // Calls hook on the producing thread, outside the queue's lock, whenever a
    // push takes the queued bytes from below `bytes` to `bytes` or more (the
    // writer's cue for an early pass). Set before any producer runs.
    void SetFillHook(uint64_t bytes, std::function<void()> hook);
    // Queues a copy of one datagram; false, counting it in dropped(), when the
    // bound leaves no room for it. A sender text over 255 characters is cut.
    bool Push(int64_t receivedAt, std::string_view sender, uint32_t senderPort, std::span<const uint8_t> bytes);
    // Queues copies of a whole receive burst under one lock, in order, as
    // Push would one by one; returns how many the bound let in.
    size_t Push(std::span<const tagDatagram> datagrams);

    size_t size() const;        // records queued
    uint64_t bytes() const;     // their LogRecordCost, at most the limit
    uint64_t dropped() const;   // copies refused by the bound since the last Clear
    uint64_t unwritten() const; // records given up by Discard since the last Clear
    // Chunks allocated since the queue was made: a steady flow that stays
    // within its recent peak reuses its emptied chunks and adds none.
    uint64_t allocatedChunks() const;

    // Gives up every queued record (the log could not take them when the
    // program stopped), counting them unwritten; returns how many.
    uint64_t Discard();
    // Empties the queue and zeroes its counters (a collector's reset).
    void Clear();

    // The reader's hold on the queue: the records queued when it was made,
    // read in order while the producer goes on queueing. A record leaves the
    // queue only through Pop. Discard and Clear wait while a reader exists.
    class CReader {
    public:
        explicit CReader(CLogQueue& queue);
        ~CReader();
        CReader(const CReader&) = delete;
        CReader& operator=(const CReader&) = delete;

        // Records of the snapshot not yet popped.
        size_t available() const { return m_available; }
        // The record at the cursor; false past the snapshot's last record.
        bool Peek(tagXFlowLog& record) const;
        // Moves the cursor to the next record.
        void Advance();
        // Removes the first count records of those not yet popped. A cursor
        // past them stays on its record; otherwise it goes to the new first.
        void Pop(size_t count);

    private:
        struct tagSegment;
        CLogQueue& m_queue;
        std::unique_lock<std::mutex> m_hold;
        std::vector<tagSegment> m_segments;  // chunk ranges of the snapshot, oldest first
        size_t m_available = 0;
        size_t m_readCount = 0;              // records the cursor has passed
        size_t m_segment = 0;                // cursor
        size_t m_offset = 0;
    };

private:
    struct tagChunk;
    tagChunk* TailFor(size_t need);
    // Push with m_mutex held.
    bool PushLocked(int64_t receivedAt, std::string_view sender, uint32_t senderPort, std::span<const uint8_t> bytes);
    // Removes count records from the head; with m_mutex held.
    void PopLocked(size_t count);
    void ClearLocked();
    // Keeps an emptied chunk for reuse, or frees it; with m_mutex held.
    void Recycle(std::unique_ptr<tagChunk>& chunk);
    // Whether the fill hook is due after a push that found `before` bytes queued.
    bool FillHookDue(uint64_t before) const;

    mutable std::mutex m_mutex;     // everything below
    std::mutex m_readerMutex;       // held by a CReader for its lifetime
    std::deque<std::unique_ptr<tagChunk>> m_chunks;
    std::vector<std::unique_ptr<tagChunk>> m_spare;  // emptied chunks kept for reuse
    // The most chunks the queue held at once lately: emptied chunks are kept
    // while queued and spare ones together stay within it, so a flow that
    // refills as fast as the writer empties allocates nothing. Each time the
    // queue runs empty it falls a sixteenth towards the most queued since the
    // last time (m_cyclePeak), so a peak long past gives its memory back while
    // a steady flow keeps what it needs.
    size_t m_peakChunks = 0;
    size_t m_cyclePeak = 0;
    uint64_t m_allocatedChunks = 0;
    uint64_t m_fillBytes = 0;
    std::function<void()> m_fillHook;
    size_t m_head = 0;              // offset of the first record in the front chunk
    size_t m_count = 0;
    uint64_t m_bytes = 0;
    uint64_t m_limit = kDefaultLogQueueBytes;
    uint64_t m_dropped = 0;
    uint64_t m_unwritten = 0;
};

}  // namespace ortolan
