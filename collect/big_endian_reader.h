// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bounded big-endian reader over received bytes. Every read checks what
// remains; a read that does not fit returns the failure value and leaves the
// position where it was, so a truncated datagram ends loops instead of reading
// past its end. Sizes are compared, never pointers.
#include <cstddef>
#include <cstdint>

namespace ortolan {

class BigEndianReader {
public:
    BigEndianReader(const uint8_t* data, size_t end, size_t pos = 0)
        : m_data(data), m_end(end), m_pos(pos <= end ? pos : end) {}

    size_t pos() const { return m_pos; }
    size_t end() const { return m_end; }
    size_t remaining() const { return m_end - m_pos; }
    const uint8_t* cursor() const { return m_data + m_pos; }

    // 0xFF / 0xFFFF when fewer than 1 / 2 bytes remain (position unchanged).
    uint8_t Read8()
    {
        if (remaining() < 1) return 0xFF;
        return m_data[m_pos++];
    }
    uint16_t Read16()
    {
        if (remaining() < 2) return 0xFFFF;
        const uint8_t* p = m_data + m_pos;
        m_pos += 2;
        return uint16_t(p[0] << 8 | p[1]);
    }
    // 0xFFFFFFFF when fewer than 4 bytes remain (position unchanged).
    uint32_t Read32()
    {
        if (remaining() < 4) return 0xFFFFFFFFu;
        const uint8_t* p = m_data + m_pos;
        m_pos += 4;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    // Two words, high first.
    uint64_t Read64()
    {
        uint64_t high = Read32();
        return high << 32 | Read32();
    }
    // Moves n bytes on; false (position unchanged) when fewer remain.
    bool Skip(size_t n)
    {
        if (n > remaining()) return false;
        m_pos += n;
        return true;
    }
    // Moves past n bytes and the padding to a multiple of four, or to the end
    // when that lies beyond it; false when the bytes did not all fit.
    bool SkipPadded(size_t n)
    {
        size_t padded = n + ((4 - n % 4) % 4);
        if (n > remaining()) {
            m_pos = m_end;
            return false;
        }
        m_pos += padded <= remaining() ? padded : remaining();
        return true;
    }
    // A reader over the next n bytes (clamped to what remains); this reader moves past them.
    BigEndianReader Sub(size_t n)
    {
        if (n > remaining()) n = remaining();
        BigEndianReader sub(m_data, m_pos + n, m_pos);
        m_pos += n;
        return sub;
    }

private:
    const uint8_t* m_data;
    size_t m_end;
    size_t m_pos;
};

// Big-endian 16 and 32-bit values at an offset the caller has bounds-checked.
inline uint16_t LoadBe16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t LoadBe32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace ortolan
