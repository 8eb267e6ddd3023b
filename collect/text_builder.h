// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds a short key or label in a stack buffer, without printf: the
// per-sample path forms several of these for every packet and flow record.
#include <charconv>
#include <cstring>
#include <string_view>

namespace ortolan {

template <size_t Capacity>
class TextBuilder {
public:
    TextBuilder& operator<<(std::string_view text)
    {
        if (m_ok && text.size() <= Capacity - m_size) {
            std::memcpy(m_buf + m_size, text.data(), text.size());
            m_size += text.size();
        } else {
            m_ok = false;
        }
        return *this;
    }
    TextBuilder& operator<<(unsigned value)
    {
        auto r = std::to_chars(m_buf + m_size, m_buf + Capacity, value);
        if (m_ok && r.ec == std::errc())
            m_size = size_t(r.ptr - m_buf);
        else
            m_ok = false;
        return *this;
    }
    // False when something did not fit; the text is then incomplete.
    bool ok() const { return m_ok; }
    std::string_view view() const { return {m_buf, m_size}; }

private:
    char m_buf[Capacity];
    size_t m_size = 0;
    bool m_ok = true;
};

}  // namespace ortolan
