// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An IP node's source MACs, ascending (which is also the byte-wise order of
// their texts), in eight bytes. One MAC, what nearly every node has, lives in
// those bytes themselves, so checking it reads no other memory and costs no
// heap block; more move to one block: the count and room, then the MACs.
// Lists stay short (the per-node bound of tagLimits).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "index_iterator.h"
#include "node_key.h"

namespace ortolan {

class CMacList {
public:
    using const_iterator = CIndexIterator<CMacList, MacAddress>;

    CMacList() = default;
    ~CMacList() { std::free(Block()); }
    CMacList(const CMacList& other) { *this = other; }
    CMacList(CMacList&& other) noexcept : m_word(other.m_word) { other.m_word = 0; }
    CMacList& operator=(const CMacList& other)
    {
        if (this == &other) return *this;
        std::free(Block());
        m_word = other.m_word;
        if (const uint64_t* from = other.Block()) {
            m_word = 0;
            uint64_t* block = Allocate(other.blockRoom());
            std::memcpy(block + 1, from + 1, other.size() * sizeof(uint64_t));
            block[0] = from[0];
        }
        return *this;
    }
    CMacList& operator=(CMacList&& other) noexcept
    {
        std::swap(m_word, other.m_word);
        return *this;
    }

    size_t size() const
    {
        if (const uint64_t* block = Block()) return uint32_t(block[0]);
        return m_word & kInline ? 1 : 0;
    }
    bool empty() const { return m_word == 0; }
    // The room of the heap block; 0 while the list is inline.
    size_t blockRoom() const
    {
        const uint64_t* block = Block();
        return block ? size_t(block[0] >> 32) : 0;
    }
    MacAddress operator[](size_t i) const
    {
        if (const uint64_t* block = Block()) return {block[1 + i]};
        return {m_word >> 16};
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    bool contains(const MacAddress& mac) const
    {
        if (m_word & kInline) return m_word >> 16 == mac.value;
        const uint64_t* block = Block();
        if (!block) return false;
        const uint64_t* first = block + 1;
        const uint64_t* last = first + uint32_t(block[0]);
        return std::binary_search(first, last, mac.value);
    }

    // The block room the list has once one more MAC is added: 0 while it
    // stays inline, the same room while the block has space, else the grown room.
    size_t BlockRoomWithOneMore() const
    {
        if (const uint64_t* block = Block()) {
            const size_t room = size_t(block[0] >> 32);
            return uint32_t(block[0]) < room ? room : room * 2;
        }
        return m_word ? kFirstRoom : 0;
    }
    // Adds a MAC the list does not hold, in its place.
    void Insert(const MacAddress& mac)
    {
        if (m_word == 0) {
            m_word = mac.value << 16 | kInline;
            return;
        }
        uint64_t* block = Block();
        if (!block) {
            const uint64_t held = m_word >> 16;
            m_word = 0;
            block = Allocate(kFirstRoom);
            block[1] = held;
            block[0] = 1 | uint64_t(kFirstRoom) << 32;
        } else if (uint32_t(block[0]) == block[0] >> 32) {
            block = Reallocate(size_t(block[0] >> 32) * 2);
        }
        const size_t count = uint32_t(block[0]);
        uint64_t* first = block + 1;
        uint64_t* at = std::lower_bound(first, first + count, mac.value);
        std::memmove(at + 1, at, size_t(first + count - at) * sizeof(uint64_t));
        *at = mac.value;
        block[0] += 1;
    }

    // The bytes asked of the allocator for a block of that room (0: no block).
    static constexpr size_t BlockBytes(size_t room) { return room ? (1 + room) * sizeof(uint64_t) : 0; }

private:
    // Inline form: bit 0 set and the 48-bit MAC in bits 16 to 63. Otherwise
    // the word is the block's address (count in the low half of its first
    // word, room in the high half), or 0 for an empty list.
    static constexpr uint64_t kInline = 1;
    static constexpr size_t kFirstRoom = 4;

    uint64_t* Block() const { return (m_word & kInline) ? nullptr : reinterpret_cast<uint64_t*>(m_word); }
    uint64_t* Allocate(size_t room)
    {
        auto* block = static_cast<uint64_t*>(std::malloc(BlockBytes(room)));
        if (!block) throw std::bad_alloc();
        block[0] = uint64_t(room) << 32;
        m_word = reinterpret_cast<uint64_t>(block);
        return block;
    }
    uint64_t* Reallocate(size_t room)
    {
        auto* block = static_cast<uint64_t*>(std::realloc(Block(), BlockBytes(room)));
        if (!block) throw std::bad_alloc();
        block[0] = uint64_t(uint32_t(block[0])) | uint64_t(room) << 32;
        m_word = reinterpret_cast<uint64_t>(block);
        return block;
    }

    uint64_t m_word = 0;
};

}  // namespace ortolan
