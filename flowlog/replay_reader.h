// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reading half of a flow-log replay. A thread of its own reads the file in
// blocks, splits the lines and turns each into a ready datagram (kind, time,
// sender, port, its exact bytes); the caller takes them one block at a time,
// in file order, and decodes them on its own thread. The blocks pass through a
// short ring, so reading runs a few blocks ahead of decoding and no further.
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace ortolan {

// One replayable line. sender and bytes live in their block.
struct tagReplayDatagram {
    bool isNetFlow = false;
    int64_t time = 0;
    uint32_t senderPort = 0;
    std::string_view sender;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
};

// What one read of the file brought: the lines it completed, the lines among
// them that were skipped, and how the file went on after it.
class CReplayBlock {
public:
    enum class End {
        more,       // a read follows; the caller may stop before it
        endOfFile,  // the file ended; a last line without a line break is skipped as torn
        readError,  // the read after the last block failed (errorNumber)
    };
    size_t size() const { return m_items.size(); }
    tagReplayDatagram operator[](size_t i) const;

    uint64_t skippedLines = 0;
    uint64_t oversizeLines = 0;
    // Bytes of the file read once this block was in.
    uint64_t readBytes = 0;
    End end = End::more;
    int errorNumber = 0;

private:
    friend class CReplayReader;
    struct tagItem {
        int64_t time;
        uint32_t senderPort;
        uint32_t senderLength;
        uint32_t length;
        bool isNetFlow;
        size_t at;  // sender text, then the bytes, in m_data
    };
    void Clear();
    // Room for n more bytes at the end of m_data.
    uint8_t* Room(size_t n);

    std::vector<tagItem> m_items;
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_capacity = 0;
    size_t m_used = 0;
};

class CReplayReader {
public:
    // Reads fd from its current position; the caller keeps it open until this
    // object is gone. Should no thread be available, Next() reads in place.
    explicit CReplayReader(int fd);
    // Stops the reading thread wherever it is and waits for it.
    ~CReplayReader();
    CReplayReader(const CReplayReader&) = delete;
    CReplayReader& operator=(const CReplayReader&) = delete;

    // The next block in file order, waiting for it; valid until the next call.
    // Not to be called again after a block that ends the file or a failed read.
    const CReplayBlock& Next();

private:
    static constexpr size_t kRingBlocks = 4;

    void Run();
    // Reads once into m_buffer and puts the lines it completed into block.
    // False once the file has ended or failed.
    bool Fill(CReplayBlock& block);
    void ParseLine(const char* line, size_t length, CReplayBlock& block);

    int m_fd;
    // The reading side's state, touched by the reading thread only (or by
    // Next() when there is none).
    std::unique_ptr<char[]> m_buffer;
    size_t m_start = 0;
    size_t m_end = 0;
    bool m_discarding = false;  // inside a line over kMaxLogLineBytes
    uint64_t m_readBytes = 0;

    std::array<CReplayBlock, kRingBlocks> m_ring;
    std::mutex m_mutex;
    std::condition_variable m_filled;
    std::condition_variable m_freed;
    uint64_t m_produced = 0;  // blocks filled
    uint64_t m_released = 0;  // blocks the caller is done with
    bool m_holding = false;   // the caller holds block m_released
    bool m_cancel = false;
    std::thread m_thread;
};

}  // namespace ortolan
