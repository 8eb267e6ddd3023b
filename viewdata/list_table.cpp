// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_table.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "node_key.h"

namespace ortolan {

std::vector<std::string> tagListTable::Headers() const
{
    std::vector<std::string> out;
    out.reserve(columns.size());
    for (const auto& c : columns) out.push_back(c.header);
    return out;
}

std::vector<std::vector<std::string>> tagListTable::Cells(const std::vector<int>& order) const
{
    std::vector<std::vector<std::string>> out;
    if (order.empty()) {
        out.reserve(rows.size());
        for (const auto& r : rows) out.push_back(r.cells);
        return out;
    }
    out.reserve(order.size());
    for (int i : order)
        if (i >= 0 && static_cast<size_t>(i) < rows.size()) out.push_back(rows[static_cast<size_t>(i)].cells);
    return out;
}

void SortRowOrder(const tagListTable& table, std::vector<int>& order, int column, bool descending)
{
    if (column < 0 || static_cast<size_t>(column) >= table.columns.size()) return;
    const size_t c = static_cast<size_t>(column);
    const auto& rows = table.rows;
    auto sortBy = [&](auto less) {
        if (descending)
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
        else
            std::stable_sort(order.begin(), order.end(), less);
    };
    static const std::string kNone;
    auto cell = [&](int r) -> const std::string& {
        const auto& cells = rows[static_cast<size_t>(r)].cells;
        return c < cells.size() ? cells[c] : kNone;
    };
    switch (table.columns[c].sort) {
    case SortKind::Number:
        sortBy([&](int a, int b) {
            const auto& na = rows[static_cast<size_t>(a)].numbers;
            const auto& nb = rows[static_cast<size_t>(b)].numbers;
            double va = c < na.size() ? na[c] : 0;
            double vb = c < nb.size() ? nb[c] : 0;
            return va < vb;
        });
        break;
    case SortKind::Address: {
        // IPv4 addresses compare as numbers in network order, IPv6 addresses
        // after all of them by their bytes; a cell that is no address as 0.0.0.0.
        // Keys are read once per sort, not once per comparison.
        std::vector<std::array<uint8_t, 17>> keys(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            if (auto address = CIpAddress::Parse(cell(int(r)))) {
                keys[r][0] = address->IsV6() ? 1 : 0;
                std::copy_n(address->bytes(), address->IsV6() ? 16 : 4, keys[r].begin() + 1);
            }
        }
        sortBy([&](int a, int b) { return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)]; });
        break;
    }
    case SortKind::AltText:
        sortBy([&](int a, int b) {
            return rows[static_cast<size_t>(a)].altText < rows[static_cast<size_t>(b)].altText;
        });
        break;
    case SortKind::Text:
        sortBy([&](int a, int b) { return cell(a) < cell(b); });
        break;
    }
}

uint32_t Ipv4Number(std::string_view text)
{
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
        uint32_t part = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + uint32_t(text[i] - '0');
            ++i;
            ++digits;
        }
        if (part > 255) return 0;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return 0;
            ++i;
        }
    }
    return i == text.size() ? value : 0;
}

}  // namespace ortolan
