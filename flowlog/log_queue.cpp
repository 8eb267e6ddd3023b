// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_queue.h"

#include <algorithm>
#include <cstring>

namespace ortolan {
namespace {

// A chunk holds about 180 datagrams of 1.4 KB; a larger record gets a chunk of
// its own size.
constexpr size_t kChunkBytes = 256 * 1024;
// Emptied chunks kept for reuse at the least, whatever the recent peak.
constexpr size_t kSpareChunks = 2;

// A record in its chunk: time, port, length, sender length, sender text, bytes.
constexpr size_t kTimeAt = 0;
constexpr size_t kPortAt = 8;
constexpr size_t kLengthAt = 12;
constexpr size_t kSenderLengthAt = 16;
constexpr size_t kHeadBytes = 17;
static_assert(kLogRecordOverhead >= kHeadBytes + 46, "the overhead covers the header and an IPv6 text");

template <class T>
T Load(const uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

size_t RecordBytes(const uint8_t* at)
{
    return kHeadBytes + at[kSenderLengthAt] + Load<uint32_t>(at + kLengthAt);
}

}  // namespace

struct CLogQueue::tagChunk {
    explicit tagChunk(size_t size) : data(new uint8_t[size]), capacity(size) {}
    std::unique_ptr<uint8_t[]> data;
    size_t capacity;
    size_t used = 0;
};

struct CLogQueue::CReader::tagSegment {
    const tagChunk* chunk;
    size_t begin;
    size_t end;
};

void CLogQueue::Recycle(std::unique_ptr<tagChunk>& chunk)
{
    // Up to the recent peak: the chunks in the queue still count, since they
    // too come back empty.
    const size_t keep = std::max(kSpareChunks, m_peakChunks);
    if (chunk && chunk->capacity == kChunkBytes && m_spare.size() + m_chunks.size() <= keep)
        m_spare.push_back(std::move(chunk));
    chunk.reset();
}

bool CLogQueue::FillHookDue(uint64_t before) const
{
    return m_fillHook && before < m_fillBytes && m_bytes >= m_fillBytes;
}

void CLogQueue::SetFillHook(uint64_t bytes, std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_fillBytes = bytes;
    m_fillHook = std::move(hook);
}

uint64_t CLogQueue::allocatedChunks() const
{
    std::lock_guard lock(m_mutex);
    return m_allocatedChunks;
}

CLogQueue::CLogQueue() = default;
CLogQueue::~CLogQueue() = default;

void CLogQueue::SetLimit(uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_limit = bytes;
}

CLogQueue::tagChunk* CLogQueue::TailFor(size_t need)
{
    if (!m_chunks.empty() && m_chunks.back()->capacity - m_chunks.back()->used >= need) return m_chunks.back().get();
    std::unique_ptr<tagChunk> chunk;
    if (!m_spare.empty() && m_spare.back()->capacity >= need) {
        chunk = std::move(m_spare.back());
        m_spare.pop_back();
        chunk->used = 0;
    } else {
        chunk = std::make_unique<tagChunk>(std::max(kChunkBytes, need));
        ++m_allocatedChunks;
    }
    m_chunks.push_back(std::move(chunk));
    m_cyclePeak = std::max(m_cyclePeak, m_chunks.size());
    m_peakChunks = std::max(m_peakChunks, m_cyclePeak);
    return m_chunks.back().get();
}

bool CLogQueue::Push(int64_t receivedAt, std::string_view sender, uint32_t senderPort,
                     std::span<const uint8_t> bytes)
{
    bool queued = false;
    bool due = false;
    {
        std::lock_guard lock(m_mutex);
        const uint64_t before = m_bytes;
        queued = PushLocked(receivedAt, sender, senderPort, bytes);
        due = FillHookDue(before);
    }
    if (due) m_fillHook();
    return queued;
}

size_t CLogQueue::Push(std::span<const tagDatagram> datagrams)
{
    size_t queued = 0;
    bool due = false;
    {
        std::lock_guard lock(m_mutex);
        const uint64_t before = m_bytes;
        for (const tagDatagram& d : datagrams)
            queued += PushLocked(d.time, d.sender, d.senderPort, {d.bytes, d.length});
        due = FillHookDue(before);
    }
    if (due) m_fillHook();
    return queued;
}

bool CLogQueue::PushLocked(int64_t receivedAt, std::string_view sender, uint32_t senderPort,
                           std::span<const uint8_t> bytes)
{
    if (sender.size() > 255) sender = sender.substr(0, 255);
    const uint64_t cost = LogRecordCost(bytes.size());
    const size_t need = kHeadBytes + sender.size() + bytes.size();
    if (m_bytes + cost > m_limit) {
        ++m_dropped;
        return false;
    }
    tagChunk* tail = TailFor(need);
    uint8_t* at = tail->data.get() + tail->used;
    const auto length = uint32_t(bytes.size());
    std::memcpy(at + kTimeAt, &receivedAt, 8);
    std::memcpy(at + kPortAt, &senderPort, 4);
    std::memcpy(at + kLengthAt, &length, 4);
    at[kSenderLengthAt] = uint8_t(sender.size());
    if (!sender.empty()) std::memcpy(at + kHeadBytes, sender.data(), sender.size());
    if (!bytes.empty()) std::memcpy(at + kHeadBytes + sender.size(), bytes.data(), bytes.size());
    tail->used += need;
    ++m_count;
    m_bytes += cost;
    return true;
}

size_t CLogQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

uint64_t CLogQueue::bytes() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

uint64_t CLogQueue::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

uint64_t CLogQueue::unwritten() const
{
    std::lock_guard lock(m_mutex);
    return m_unwritten;
}

void CLogQueue::ClearLocked()
{
    for (auto& chunk : m_chunks) Recycle(chunk);
    m_chunks.clear();
    m_head = 0;
    m_count = 0;
    m_bytes = 0;
}

uint64_t CLogQueue::Discard()
{
    std::lock_guard reading(m_readerMutex);
    std::lock_guard lock(m_mutex);
    uint64_t count = m_count;
    m_unwritten += count;
    ClearLocked();
    return count;
}

void CLogQueue::Clear()
{
    std::lock_guard reading(m_readerMutex);
    std::lock_guard lock(m_mutex);
    ClearLocked();
    m_dropped = 0;
    m_unwritten = 0;
}

void CLogQueue::PopLocked(size_t count)
{
    count = std::min(count, m_count);
    while (count > 0) {
        tagChunk& front = *m_chunks.front();
        if (m_head >= front.used) {
            // Records remain, so this chunk is not the one being filled.
            Recycle(m_chunks.front());
            m_chunks.pop_front();
            m_head = 0;
            continue;
        }
        const uint8_t* at = front.data.get() + m_head;
        m_bytes -= LogRecordCost(Load<uint32_t>(at + kLengthAt));
        m_head += RecordBytes(at);
        --m_count;
        --count;
    }
    if (m_count == 0) {
        m_peakChunks = std::max(m_cyclePeak, m_peakChunks - m_peakChunks / 16);
        if (!m_chunks.empty()) {
            // Nothing left: the chunks start over from their beginning.
            while (m_chunks.size() > 1) {
                Recycle(m_chunks.front());
                m_chunks.pop_front();
            }
            m_chunks.front()->used = 0;
            m_head = 0;
        }
        // What the lower peak no longer keeps is freed.
        while (!m_spare.empty() && m_chunks.size() + m_spare.size() > std::max(kSpareChunks, m_peakChunks))
            m_spare.pop_back();
        m_cyclePeak = m_chunks.size();
    }
}

CLogQueue::CReader::CReader(CLogQueue& queue) : m_queue(queue), m_hold(queue.m_readerMutex)
{
    std::lock_guard lock(queue.m_mutex);
    m_available = queue.m_count;
    for (size_t i = 0; i < queue.m_chunks.size(); ++i) {
        const tagChunk* chunk = queue.m_chunks[i].get();
        size_t begin = i == 0 ? queue.m_head : 0;
        if (begin < chunk->used) m_segments.push_back({chunk, begin, chunk->used});
    }
    m_offset = m_segments.empty() ? 0 : m_segments.front().begin;
}

CLogQueue::CReader::~CReader() = default;

bool CLogQueue::CReader::Peek(tagXFlowLog& record) const
{
    if (m_readCount >= m_available) return false;
    const uint8_t* at = m_segments[m_segment].chunk->data.get() + m_offset;
    size_t senderLength = at[kSenderLengthAt];
    record.receivedAt = Load<int64_t>(at + kTimeAt);
    record.senderPort = Load<uint32_t>(at + kPortAt);
    record.sender = {reinterpret_cast<const char*>(at + kHeadBytes), senderLength};
    record.bytes = {at + kHeadBytes + senderLength, Load<uint32_t>(at + kLengthAt)};
    return true;
}

void CLogQueue::CReader::Advance()
{
    if (m_readCount >= m_available) return;
    m_offset += RecordBytes(m_segments[m_segment].chunk->data.get() + m_offset);
    ++m_readCount;
    if (m_offset >= m_segments[m_segment].end && m_segment + 1 < m_segments.size()) {
        ++m_segment;
        m_offset = m_segments[m_segment].begin;
    }
}

void CLogQueue::CReader::Pop(size_t count)
{
    count = std::min(count, m_available);
    // The same records leave this snapshot and the queue.
    size_t left = count;
    while (left > 0 && !m_segments.empty()) {
        tagSegment& first = m_segments.front();
        first.begin += RecordBytes(first.chunk->data.get() + first.begin);
        --left;
        if (first.begin >= first.end) {
            m_segments.erase(m_segments.begin());
            if (m_segment > 0) --m_segment;
        }
    }
    {
        std::lock_guard lock(m_queue.m_mutex);
        m_queue.PopLocked(count);
    }
    m_available -= count;
    if (count < m_readCount) {
        // Records read past the popped ones stay read: the cursor keeps its
        // place, so a writer can pop one batch while it formats the next.
        m_readCount -= count;
        return;
    }
    m_readCount = 0;
    m_segment = 0;
    m_offset = m_segments.empty() ? 0 : m_segments.front().begin;
}

}  // namespace ortolan
