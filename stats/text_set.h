#pragma once
// A small ordered set of texts kept in a sorted vector: node service labels and
// MAC lists hold a handful of entries, where a tree would cost far more memory.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

class TextSet {
public:
    using const_iterator = std::vector<std::string>::const_iterator;

    // Returns true when the text was added, false when it was already present.
    bool insert(std::string_view text)
    {
        auto it = std::lower_bound(m_items.begin(), m_items.end(), text,
                                   [](const std::string& a, std::string_view b) { return a < b; });
        if (it != m_items.end() && *it == text) return false;
        m_items.insert(it, std::string(text));
        return true;
    }
    bool contains(std::string_view text) const
    {
        auto it = std::lower_bound(m_items.begin(), m_items.end(), text,
                                   [](const std::string& a, std::string_view b) { return a < b; });
        return it != m_items.end() && *it == text;
    }
    bool erase(std::string_view text)
    {
        auto it = std::lower_bound(m_items.begin(), m_items.end(), text,
                                   [](const std::string& a, std::string_view b) { return a < b; });
        if (it == m_items.end() || *it != text) return false;
        m_items.erase(it);
        return true;
    }
    size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }
    // Joins the texts in order with the separator.
    std::string join(std::string_view separator) const
    {
        std::string out;
        for (const auto& s : m_items) {
            if (!out.empty()) out += separator;
            out += s;
        }
        return out;
    }

private:
    std::vector<std::string> m_items;
};

}  // namespace ortolan
