// SPDX-License-Identifier: GPL-3.0-or-later
#include "row_queue.h"

#include <algorithm>
#include <cstring>

namespace ortolan {
namespace {

// The longest a row can be: the fixed columns and a port key of up to 255 bytes.
constexpr size_t kFixedRowBytes = 4 + 16 + 4 + 4 + 4 + 8 + 8 + 16 + 16 + 1 + 2 + 2 + 1 + 1 + 1 + 8 + 8;
constexpr size_t kMaxKeyBytes = 255;

template <class T>
void Put(uint8_t*& at, T value)
{
    // RowBinary numbers are little-endian, as this machine's are.
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
}

}  // namespace

CRowQueue::CRowQueue(uint64_t limitBytes, uint32_t batchRows) : m_limit(limitBytes), m_batchRows(batchRows) {}

void CRowQueue::Encode(const tagFlowRow& row, std::vector<uint8_t>& out)
{
    const size_t keyLength = std::min(row.portKey.size(), kMaxKeyBytes);
    const size_t start = out.size();
    out.resize(start + kFixedRowBytes + 2 + keyLength);
    uint8_t* at = out.data() + start;
    // DateTime is seconds since 1970 in 32 bits, until 2106.
    Put(at, uint32_t(row.time < 0 ? 0 : row.time > int64_t(UINT32_MAX) ? UINT32_MAX : row.time));
    std::memcpy(at, row.exporter, 16), at += 16;
    // A String: its length in LEB128 (two bytes at most here), then the bytes.
    if (keyLength < 128) {
        *at++ = uint8_t(keyLength);
    } else {
        *at++ = uint8_t(keyLength | 0x80);
        *at++ = uint8_t(keyLength >> 7);
    }
    std::memcpy(at, row.portKey.data(), keyLength), at += keyLength;
    Put(at, row.samplingRate);
    Put(at, row.input);
    Put(at, row.output);
    Put(at, row.sourceMac);
    Put(at, row.destinationMac);
    std::memcpy(at, row.source, 16), at += 16;
    std::memcpy(at, row.destination, 16), at += 16;
    Put(at, row.protocol);
    Put(at, row.sourcePort);
    Put(at, row.destinationPort);
    Put(at, row.tos);
    Put(at, row.icmpType);
    Put(at, row.icmpCode);
    Put(at, row.packets);
    Put(at, row.bytes);
    out.resize(size_t(at - out.data()));
}

bool CRowQueue::Push(const tagFlowRow& row)
{
    std::lock_guard lock(m_mutex);
    ++m_queued;
    const size_t worst = kFixedRowBytes + 2 + std::min(row.portKey.size(), kMaxKeyBytes);
    if (m_bytes + worst > m_limit) {
        ++m_dropped;
        return false;
    }
    if (m_open.rows == 0) {
        m_openSince = Clock::now();
        m_open.bytes.reserve(size_t(std::min<uint64_t>(uint64_t(m_batchRows) * 160, m_limit)));
    }
    const size_t before = m_open.bytes.size();
    Encode(row, m_open.bytes);
    m_bytes += m_open.bytes.size() - before;
    ++m_rows;
    if (++m_open.rows >= m_batchRows) {
        m_full.push_back(std::move(m_open));
        m_open = {};
        m_ready.notify_one();
    }
    return true;
}

std::optional<tagRowBatch> CRowQueue::Take(std::chrono::milliseconds age, Clock::time_point until)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_full.empty()) {
            tagRowBatch batch = std::move(m_full.front());
            m_full.pop_front();
            return batch;
        }
        const Clock::time_point ripe = m_openSince + age;
        if (m_open.rows > 0 && Clock::now() >= ripe) {
            tagRowBatch batch = std::move(m_open);
            m_open = {};
            return batch;
        }
        if (m_woken) {
            m_woken = false;
            return std::nullopt;
        }
        const Clock::time_point wake = m_open.rows > 0 && ripe < until ? ripe : until;
        if (Clock::now() >= until) return std::nullopt;
        m_ready.wait_until(lock, wake);
    }
}

void CRowQueue::Release(const tagRowBatch& batch)
{
    std::lock_guard lock(m_mutex);
    m_bytes -= std::min<uint64_t>(m_bytes, batch.bytes.size());
    m_rows -= std::min<uint64_t>(m_rows, batch.rows);
}

uint64_t CRowQueue::Discard()
{
    std::lock_guard lock(m_mutex);
    uint64_t rows = m_open.rows;
    for (const tagRowBatch& b : m_full) rows += b.rows;
    for (const tagRowBatch& b : m_full) m_bytes -= std::min<uint64_t>(m_bytes, b.bytes.size());
    m_bytes -= std::min<uint64_t>(m_bytes, m_open.bytes.size());
    m_rows -= std::min<uint64_t>(m_rows, rows);
    m_full.clear();
    m_open = {};
    return rows;
}

void CRowQueue::Wake()
{
    std::lock_guard lock(m_mutex);
    m_woken = true;
    m_ready.notify_all();
}

uint64_t CRowQueue::queued() const
{
    std::lock_guard lock(m_mutex);
    return m_queued;
}

uint64_t CRowQueue::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

uint64_t CRowQueue::rows() const
{
    std::lock_guard lock(m_mutex);
    return m_rows;
}

uint64_t CRowQueue::bytes() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

}  // namespace ortolan
