#pragma once
// A short list of label numbers (a node's or a pair's services) in one heap
// block: its length and room, then the numbers. The entry that holds it pays
// eight bytes, where a std::vector costs twenty-four; an empty list holds no
// block. Lists stay short (the per-entry bound of tagLimits).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ortolan {

class CLabelList {
public:
    CLabelList() = default;
    ~CLabelList() { std::free(m_block); }
    CLabelList(const CLabelList& other) { *this = other; }
    CLabelList(CLabelList&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    CLabelList& operator=(const CLabelList& other)
    {
        if (this == &other) return *this;
        std::free(m_block);
        m_block = nullptr;
        if (!other.empty()) {
            Reserve(other.capacity());
            std::memcpy(m_block, other.m_block, (kHead + other.size()) * sizeof(uint32_t));
            m_block[1] = uint32_t(other.capacity());
        }
        return *this;
    }
    CLabelList& operator=(CLabelList&& other) noexcept
    {
        std::swap(m_block, other.m_block);
        return *this;
    }

    size_t size() const { return m_block ? m_block[0] : 0; }
    size_t capacity() const { return m_block ? m_block[1] : 0; }
    bool empty() const { return size() == 0; }
    const uint32_t* begin() const { return m_block ? m_block + kHead : nullptr; }
    const uint32_t* end() const { return begin() + size(); }
    uint32_t operator[](size_t i) const { return m_block[kHead + i]; }

    // Room doubles from kFirstRoom when the list is full.
    void push_back(uint32_t label)
    {
        if (size() == capacity()) Reserve(GrownCapacity(capacity()));
        m_block[kHead + m_block[0]++] = label;
    }
    // Removes the first occurrence of the label, if any.
    void Remove(uint32_t label)
    {
        uint32_t* first = m_block ? m_block + kHead : nullptr;
        uint32_t* last = first + size();
        uint32_t* at = std::find(first, last, label);
        if (at == last) return;
        std::memmove(at, at + 1, size_t(last - at - 1) * sizeof(uint32_t));
        --m_block[0];
    }

    // The room after growing from capacity, and the bytes asked for a block of that room.
    static constexpr size_t GrownCapacity(size_t capacity) { return capacity ? capacity * 2 : kFirstRoom; }
    static constexpr size_t BlockBytes(size_t capacity) { return capacity ? (kHead + capacity) * sizeof(uint32_t) : 0; }

private:
    static constexpr size_t kHead = 2;  // length, room
    static constexpr size_t kFirstRoom = 4;

    void Reserve(size_t capacity)
    {
        auto* block = static_cast<uint32_t*>(std::realloc(m_block, BlockBytes(capacity)));
        if (!block) throw std::bad_alloc();
        if (!m_block) block[0] = 0;
        block[1] = uint32_t(capacity);
        m_block = block;
    }

    uint32_t* m_block = nullptr;
};

}  // namespace ortolan
