// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <unistd.h>

#include "flow_log.h"
#include "hex_text.h"

namespace ortolan {
namespace {

// The file is read in blocks of this size; a partial line of up to
// kMaxLogLineBytes is carried over to the next block. The caller's progress
// hook is asked once per block, so the size also sets how often it is asked.
constexpr size_t kReadBlockBytes = 1024 * 1024;
static_assert(kReadBlockBytes >= 2 * kMaxLogLineBytes);

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The leading decimal number of [p, end) after blanks, saturated at max; 0
// when there are no digits.
uint64_t LeadingNumber(const char* p, const char* end, uint64_t max)
{
    while (p < end && (*p == ' ' || *p == '\v' || *p == '\f' || *p == '\r')) ++p;
    uint64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        uint64_t digit = uint64_t(*p - '0');
        if (value > (max - digit) / 10) return max;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

tagReplayDatagram CReplayBlock::operator[](size_t i) const
{
    const tagItem& item = m_items[i];
    const uint8_t* at = m_data.get() + item.at;
    return {item.isNetFlow, item.time, item.senderPort,
            std::string_view(reinterpret_cast<const char*>(at), item.senderLength), at + item.senderLength,
            item.length};
}

void CReplayBlock::Clear()
{
    m_items.clear();
    m_used = 0;
    skippedLines = oversizeLines = 0;
    readBytes = 0;
    end = End::more;
    errorNumber = 0;
}

uint8_t* CReplayBlock::Room(size_t n)
{
    // Allocated even for nothing, so an empty datagram still has an address.
    if (!m_data || m_capacity - m_used < n) {
        // Blocks are reused, so this grows to what a block of the file needs
        // and stays there.
        size_t capacity = std::max({2 * m_capacity, m_used + n, size_t(1) << 20});
        std::unique_ptr<uint8_t[]> data(new uint8_t[capacity]);
        if (m_used) std::memcpy(data.get(), m_data.get(), m_used);
        m_data = std::move(data);
        m_capacity = capacity;
    }
    return m_data.get() + m_used;
}

CReplayReader::CReplayReader(int fd) : m_fd(fd), m_buffer(new char[kReadBlockBytes])
{
    try {
        m_thread = std::thread(&CReplayReader::Run, this);
    } catch (const std::system_error&) {
        // No thread to be had: Next() reads in place, as slowly as that is.
    }
}

CReplayReader::~CReplayReader()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_cancel = true;
    }
    m_freed.notify_all();
    m_thread.join();
}

const CReplayBlock& CReplayReader::Next()
{
    if (!m_thread.joinable()) {
        Fill(m_ring[0]);
        return m_ring[0];
    }
    std::unique_lock lock(m_mutex);
    if (m_holding) {
        ++m_released;
        m_freed.notify_one();
    }
    m_filled.wait(lock, [this] { return m_produced > m_released; });
    m_holding = true;
    return m_ring[m_released % kRingBlocks];
}

void CReplayReader::Run()
{
    for (;;) {
        CReplayBlock* block;
        {
            std::unique_lock lock(m_mutex);
            m_freed.wait(lock, [this] { return m_cancel || m_produced - m_released < kRingBlocks; });
            if (m_cancel) return;
            block = &m_ring[m_produced % kRingBlocks];
        }
        bool more;
        try {
            more = Fill(*block);
        } catch (const std::bad_alloc&) {
            block->Clear();
            block->end = CReplayBlock::End::readError;
            block->errorNumber = ENOMEM;
            more = false;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_produced;
        }
        m_filled.notify_one();
        if (!more) return;
    }
}

bool CReplayReader::Fill(CReplayBlock& block)
{
    block.Clear();
    char* buf = m_buffer.get();
    ssize_t n;
    do {
        n = ::read(m_fd, buf + m_end, kReadBlockBytes - m_end);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        block.errorNumber = errno;
        block.end = CReplayBlock::End::readError;
        block.readBytes = m_readBytes;
        return false;
    }
    if (n == 0) {
        // A last line without its line break is the torn tail of a write the
        // process did not live to finish (the next start cuts it off): half a
        // datagram decoded would count as a whole one, so it is skipped.
        if (!m_discarding && m_end > m_start) ++block.skippedLines;
        block.end = CReplayBlock::End::endOfFile;
        block.readBytes = m_readBytes;
        return false;
    }
    m_end += size_t(n);
    m_readBytes += uint64_t(n);
    while (m_start < m_end) {
        auto* newline = static_cast<char*>(std::memchr(buf + m_start, '\n', m_end - m_start));
        if (!newline) break;
        size_t length = size_t(newline - (buf + m_start));
        if (m_discarding)
            m_discarding = false;
        else
            ParseLine(buf + m_start, length, block);
        m_start += length + 1;
    }
    if (m_discarding) {
        m_start = m_end = 0;
    } else if (m_end - m_start > kMaxLogLineBytes) {
        ++block.skippedLines;
        ++block.oversizeLines;
        m_discarding = true;
        m_start = m_end = 0;
    } else if (m_start > 0) {
        std::memmove(buf, buf + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    block.readBytes = m_readBytes;
    return true;
}

void CReplayReader::ParseLine(const char* line, size_t length, CReplayBlock& block)
{
    const char* end = line + length;
    auto nextTab = [end](const char* from) {
        return static_cast<const char*>(std::memchr(from, '\t', size_t(end - from)));
    };
    const char* tab1 = length > kMaxLogLineBytes ? nullptr : nextTab(line);
    const char* tab2 = tab1 ? nextTab(tab1 + 1) : nullptr;
    const char* tab3 = tab2 ? nextTab(tab2 + 1) : nullptr;
    const char* tab4 = tab3 ? nextTab(tab3 + 1) : nullptr;
    if (!tab4) {
        ++block.skippedLines;
        if (length > kMaxLogLineBytes) ++block.oversizeLines;
        return;
    }
    bool isNetFlow = tab1 - line == 1 && line[0] == 'N';
    auto time = int64_t(LeadingNumber(tab1 + 1, tab2, uint64_t(std::numeric_limits<int64_t>::max())));
    size_t senderLength = size_t(tab3 - tab2 - 1);
    auto senderPort = uint32_t(LeadingNumber(tab3 + 1, tab4, std::numeric_limits<uint32_t>::max()));
    const char* hex = tab4 + 1;
    const char* hexEnd = end;
    while (hex < hexEnd && IsSpace(*hex)) ++hex;
    while (hexEnd > hex && IsSpace(hexEnd[-1])) --hexEnd;

    // An odd last digit is ignored. A payload the collector's buffer cannot
    // hold, or one with a character that is no hexadecimal digit, is no
    // datagram this program wrote: the line is skipped whole rather than
    // decoded as guesswork.
    size_t count = size_t(hexEnd - hex) / 2;
    if (count > kDatagramCapacity) {
        ++block.skippedLines;
        ++block.oversizeLines;
        return;
    }
    uint8_t* out = block.Room(senderLength + count);
    std::memcpy(out, tab2 + 1, senderLength);
    if (!ReadHex(hex, count, out + senderLength)) {
        ++block.skippedLines;
        return;
    }
    block.m_items.push_back(
        {time, senderPort, uint32_t(senderLength), uint32_t(count), isNetFlow, block.m_used});
    block.m_used += senderLength + count;
}

}  // namespace ortolan
