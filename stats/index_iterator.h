// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A forward iterator over a list that hands its elements out by value through
// operator[]: the short inline lists keep no array a pointer could walk.
#include <cstddef>
#include <iterator>

namespace ortolan {

template <class List, class Value>
class CIndexIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = const Value*;
    using reference = Value;

    CIndexIterator() = default;
    CIndexIterator(const List* list, size_t at) : m_list(list), m_at(at) {}
    Value operator*() const { return (*m_list)[m_at]; }
    CIndexIterator& operator++()
    {
        ++m_at;
        return *this;
    }
    CIndexIterator operator++(int)
    {
        CIndexIterator old = *this;
        ++m_at;
        return old;
    }
    bool operator==(const CIndexIterator& o) const { return m_at == o.m_at; }

private:
    const List* m_list = nullptr;
    size_t m_at = 0;
};

}  // namespace ortolan
