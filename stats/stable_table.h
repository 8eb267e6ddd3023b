// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A hash map whose entries keep their addresses while it grows, for the node
// and pair tables that the accounting and the views point into. The entries
// live in blocks of kBlock, in the order they were added; an Abseil Swiss set
// of their 32-bit numbers finds them by key. An entry costs its own size and
// about eight bytes of index, with no heap block of its own (a node map pays
// a pointer, a heap block header and its rounding). Entries are only ever
// added; clear() drops them all.
#include <absl/container/flat_hash_set.h>
#include <absl/hash/hash.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace ortolan {

template <class K, class V>
class CStableTable {
public:
    using key_type = K;
    using mapped_type = V;
    using value_type = std::pair<const K, V>;
    static constexpr size_t kBlock = 64;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CStableTable::value_type;
        using difference_type = std::ptrdiff_t;
        using reference = std::conditional_t<Const, const value_type&, value_type&>;
        using pointer = std::conditional_t<Const, const value_type*, value_type*>;
        using Table = std::conditional_t<Const, const CStableTable, CStableTable>;

        Iterator() = default;
        Iterator(Table* table, size_t at) : m_table(table), m_at(at) {}
        template <bool C = Const, std::enable_if_t<!C, int> = 0>
        operator Iterator<true>() const
        {
            return {m_table, m_at};
        }
        reference operator*() const { return m_table->At(m_at); }
        pointer operator->() const { return &m_table->At(m_at); }
        Iterator& operator++()
        {
            ++m_at;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator old = *this;
            ++m_at;
            return old;
        }
        bool operator==(const Iterator& o) const { return m_at == o.m_at; }

    private:
        Table* m_table = nullptr;
        size_t m_at = 0;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    CStableTable() : m_index(0, Hasher{this}, Equal{this}) {}
    ~CStableTable() { clear(); }
    // The index refers back to this table: it neither copies nor moves.
    CStableTable(const CStableTable&) = delete;
    CStableTable& operator=(const CStableTable&) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, m_size}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

    iterator find(const K& key)
    {
        auto it = m_index.find(key);
        return it == m_index.end() ? end() : iterator{this, *it};
    }
    const_iterator find(const K& key) const
    {
        auto it = m_index.find(key);
        return it == m_index.end() ? end() : const_iterator{this, *it};
    }
    bool contains(const K& key) const { return m_index.contains(key); }

    // The entry of the key, added value-initialised when missing.
    std::pair<iterator, bool> try_emplace(const K& key)
    {
        auto it = m_index.find(key);
        if (it != m_index.end()) return {iterator{this, *it}, false};
        if (m_size / kBlock == m_blocks.size()) m_blocks.push_back(std::make_unique<Slot[]>(kBlock));
        new (SlotOf(m_size)) value_type(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
        // The entry exists before the index hashes its number.
        m_index.insert(uint32_t(m_size));
        return {iterator{this, m_size++}, true};
    }

    void clear()
    {
        m_index.clear();
        for (size_t i = 0; i < m_size; ++i) At(i).~value_type();
        m_size = 0;
        m_blocks.clear();
    }

    // Bytes one more entry costs on average: the entry and its share of the
    // index, which runs between 7/16 and 7/8 full.
    static constexpr size_t EntryBytes() { return sizeof(value_type) + (sizeof(uint32_t) + 1) * 8 / 5; }

private:
    struct alignas(value_type) Slot {
        unsigned char bytes[sizeof(value_type)];
    };
    struct Hasher {
        using is_transparent = void;
        const CStableTable* table;
        size_t operator()(uint32_t at) const { return absl::Hash<K>{}(table->At(at).first); }
        size_t operator()(const K& key) const { return absl::Hash<K>{}(key); }
    };
    struct Equal {
        using is_transparent = void;
        const CStableTable* table;
        bool operator()(uint32_t a, uint32_t b) const { return a == b; }
        bool operator()(uint32_t at, const K& key) const { return table->At(at).first == key; }
        bool operator()(const K& key, uint32_t at) const { return table->At(at).first == key; }
    };

    void* SlotOf(size_t at) { return m_blocks[at / kBlock][at % kBlock].bytes; }
    value_type& At(size_t at) { return *std::launder(reinterpret_cast<value_type*>(SlotOf(at))); }
    const value_type& At(size_t at) const
    {
        return *std::launder(reinterpret_cast<const value_type*>(m_blocks[at / kBlock][at % kBlock].bytes));
    }

    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    size_t m_size = 0;
    absl::flat_hash_set<uint32_t, Hasher, Equal> m_index;
};

}  // namespace ortolan
