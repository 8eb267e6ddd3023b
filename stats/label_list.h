// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A short list of label numbers (a node's or a pair's services) in eight
// bytes. Up to two labels live in those bytes themselves, which is where
// nearly every list stays (a service confirmed and presumed), so looking a
// label up or adding it reads no other memory and allocates nothing. A longer
// list moves to one heap block: its length and room, then the numbers. Lists
// stay short (the per-entry bound of tagLimits). The order of the labels is
// not kept: every reader sorts their texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "index_iterator.h"

namespace ortolan {

class CLabelList {
public:
    using const_iterator = CIndexIterator<CLabelList, uint32_t>;

    CLabelList() = default;
    ~CLabelList() { std::free(Block()); }
    CLabelList(const CLabelList& other) { *this = other; }
    CLabelList(CLabelList&& other) noexcept : m_word(other.m_word) { other.m_word = 0; }
    CLabelList& operator=(const CLabelList& other)
    {
        if (this == &other) return *this;
        std::free(Block());
        m_word = other.m_word;
        if (const uint32_t* from = other.Block()) {
            m_word = 0;
            uint32_t* block = Allocate(other.blockRoom());
            std::memcpy(block, from, (kHead + other.size()) * sizeof(uint32_t));
            block[1] = uint32_t(other.blockRoom());
        }
        return *this;
    }
    CLabelList& operator=(CLabelList&& other) noexcept
    {
        std::swap(m_word, other.m_word);
        return *this;
    }

    size_t size() const
    {
        if (const uint32_t* block = Block()) return block[0];
        return (m_word >> 1 & 1) + (m_word >> 2 & 1);
    }
    bool empty() const { return size() == 0; }
    // The room of the heap block; 0 while the labels live inline.
    size_t blockRoom() const
    {
        const uint32_t* block = Block();
        return block ? block[1] : 0;
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    uint32_t operator[](size_t i) const
    {
        if (const uint32_t* block = Block()) return block[kHead + i];
        // The low slot, when held, comes first.
        if (i == 0 && (m_word & kHasLow)) return uint32_t(m_word >> kLowShift) & kLowMask;
        return uint32_t(m_word >> 32);
    }
    bool contains(uint32_t label) const
    {
        if (const uint32_t* block = Block()) {
            const uint32_t* first = block + kHead;
            return std::find(first, first + block[0], label) != first + block[0];
        }
        return ((m_word & kHasHigh) && uint32_t(m_word >> 32) == label) ||
               ((m_word & kHasLow) && (uint32_t(m_word >> kLowShift) & kLowMask) == label);
    }

    // The block room the list has once the label is added: 0 when it still
    // fits inline, the same room while the block has space, else the grown room.
    size_t BlockRoomWith(uint32_t label) const
    {
        if (const uint32_t* block = Block()) return block[0] < block[1] ? block[1] : size_t(block[1]) * 2;
        if (!(m_word & kHasHigh)) return 0;
        if (!(m_word & kHasLow) && label <= kLowMask) return 0;
        return kFirstRoom;
    }
    void push_back(uint32_t label)
    {
        uint32_t* block = Block();
        if (!block) {
            if (!(m_word & kHasHigh)) {
                m_word = (m_word & ~(uint64_t(0xFFFFFFFFu) << 32)) | uint64_t(label) << 32 | kHasHigh | kTag;
                return;
            }
            if (!(m_word & kHasLow) && label <= kLowMask) {
                m_word |= uint64_t(label) << kLowShift | kHasLow | kTag;
                return;
            }
            const uint64_t word = m_word;
            const uint32_t held[2] = {uint32_t(word >> 32), uint32_t(word >> kLowShift) & kLowMask};
            m_word = 0;
            block = Allocate(kFirstRoom);
            block[0] = 0;
            block[kHead + block[0]++] = held[0];
            if (word & kHasLow) block[kHead + block[0]++] = held[1];
        } else if (block[0] == block[1]) {
            block = Reallocate(size_t(block[1]) * 2);
        }
        block[kHead + block[0]++] = label;
    }

    // The bytes asked of the allocator for a block of that room (0: no block).
    static constexpr size_t BlockBytes(size_t room) { return room ? (kHead + room) * sizeof(uint32_t) : 0; }

private:
    // Inline form: bit 0 set; bit 1 and 2 tell which slots hold a label; the
    // low slot (29 bits, bits 3 to 31) and the high slot (bits 32 to 63). Any
    // label fits the high slot; labels are small numbers (CLabelTable), so
    // the low slot's bound is only met by a list that then takes a block.
    // Otherwise the word is the block's address, or 0 for an empty list.
    static constexpr uint64_t kTag = 1;
    static constexpr uint64_t kHasLow = 2;
    static constexpr uint64_t kHasHigh = 4;
    static constexpr int kLowShift = 3;
    static constexpr uint32_t kLowMask = 0x1FFFFFFFu;
    static constexpr size_t kHead = 2;  // length, room
    static constexpr size_t kFirstRoom = 4;

    uint32_t* Block() const { return (m_word & kTag) ? nullptr : reinterpret_cast<uint32_t*>(m_word); }
    uint32_t* Allocate(size_t room)
    {
        auto* block = static_cast<uint32_t*>(std::malloc(BlockBytes(room)));
        if (!block) throw std::bad_alloc();
        block[0] = 0;
        block[1] = uint32_t(room);
        m_word = reinterpret_cast<uint64_t>(block);
        return block;
    }
    uint32_t* Reallocate(size_t room)
    {
        auto* block = static_cast<uint32_t*>(std::realloc(Block(), BlockBytes(room)));
        if (!block) throw std::bad_alloc();
        block[1] = uint32_t(room);
        m_word = reinterpret_cast<uint64_t>(block);
        return block;
    }

    uint64_t m_word = 0;
};

}  // namespace ortolan
