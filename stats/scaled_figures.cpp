// SPDX-License-Identifier: GPL-3.0-or-later
#include "scaled_figures.h"

#include "memory_costs.h"

namespace ortolan {

uint64_t CScaledFigures::EntryCost()
{
    return cost::FlatTableEntry(sizeof(std::pair<const int64_t*, tagScaled>));
}

void CScaledFigures::Seed(const int64_t& packets, int64_t bytes)
{
    if (m_memory && !m_memory->Charge(EntryCost(), false)) {
        m_inexact = true;
        return;
    }
    m_sums[&packets] = {Times(packets, Factor()), Times(bytes, Factor())};
}

void CScaledFigures::AddScaled(const int64_t& packets, int64_t p, int64_t b)
{
    auto it = m_sums.find(&packets);
    if (it == m_sums.end()) {
        // A new entry (its count is this record's), or one the budget refused before.
        if (packets != p) {
            m_inexact = true;
            return;
        }
        if (m_memory && !m_memory->Charge(EntryCost(), false)) {
            m_inexact = true;
            return;
        }
        it = m_sums.try_emplace(&packets).first;
    }
    SaturatingAdd(it->second.packets, Times(p, Factor()));
    SaturatingAdd(it->second.bytes, Times(b, Factor()));
}

tagScaled CScaledFigures::SplitOf(const int64_t& packets, const int64_t& bytes) const
{
    auto it = m_sums.find(&packets);
    if (it != m_sums.end()) return it->second;
    const uint32_t first = m_first == 0 ? 1 : m_first;
    return {Times(packets, first), Times(bytes, first)};
}

void CScaledFigures::AddTotal(uint64_t packets, uint64_t bytes)
{
    auto clamp = [](uint64_t n) { return n > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(n); };
    SaturatingAdd(m_totalPackets, Times(clamp(packets), Factor()));
    SaturatingAdd(m_totalBytes, Times(clamp(bytes), Factor()));
}

}  // namespace ortolan
