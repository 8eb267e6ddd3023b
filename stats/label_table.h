// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Interned labels: each distinct text (an Ethernet type, a protocol, a
// service, an ICMP type, a service label such as "http/tcp?") gets a small
// number once, and the tables count by that number. The collector owns one
// table for all its ports; labels are never removed, and their count is
// bounded by what the name tables and the wire's numbers can spell.
#include <absl/container/flat_hash_map.h>

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace ortolan {

class CLabelTable {
public:
    // The number of the text, added on first sight. Numbers start at 1.
    uint32_t Intern(std::string_view text)
    {
        auto it = m_ids.find(text);
        if (it != m_ids.end()) return it->second;
        m_texts.emplace_back(text);
        uint32_t id = uint32_t(m_texts.size());
        m_ids.emplace(m_texts.back(), id);
        return id;
    }
    // 0 when the text has no number.
    uint32_t Find(std::string_view text) const
    {
        auto it = m_ids.find(text);
        return it == m_ids.end() ? 0 : it->second;
    }
    const std::string& Text(uint32_t id) const { return m_texts[id - 1]; }
    size_t size() const { return m_texts.size(); }

private:
    std::deque<std::string> m_texts;  // a deque: the views keyed below stay valid as it grows
    absl::flat_hash_map<std::string_view, uint32_t> m_ids;
};

}  // namespace ortolan
