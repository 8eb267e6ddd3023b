// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A port's packets and bytes scaled by the sampling rate of the records that
// added them: the sum of count x rate, a record of no rate counting once.
//
// While every record of the port shares one factor, an entry's scaled figure
// is its count times that factor, and nothing is kept per entry. At the first
// record of another factor the port seeds this table with every entry's counts
// times the old factor (exact, as every count so far came at it), and from then
// on every add also adds count x factor here. The table is keyed by the address
// of the entry's packet count: entries keep their addresses until the whole
// port goes, and a pair's two directions are two keys. What the table holds is
// charged to the port's memory account; an entry the budget has no room for
// reads as its count times the port's first factor, and the figures are then
// marked inexact.
#include <absl/container/flat_hash_map.h>

#include <cstdint>

#include "memory_budget.h"
#include "port_records.h"

namespace ortolan {

struct tagScaled {
    int64_t packets = 0;
    int64_t bytes = 0;
};

class CScaledFigures {
public:
    explicit CScaledFigures(CMemoryAccount* memory) : m_memory(memory) {}
    CScaledFigures(const CScaledFigures&) = delete;
    CScaledFigures& operator=(const CScaledFigures&) = delete;

    // The factor of the record about to be added (its rate, 1 for none).
    // True when it differs from the factor every earlier record had: the port
    // must then Seed every entry it holds and call Split before adding.
    bool NeedsSplit(uint32_t factor) const { return !m_split && m_factor != 0 && factor != m_factor; }
    void SetFactor(uint32_t factor)
    {
        if (m_factor == 0) m_first = factor;
        m_factor = factor;
    }
    // One entry's scaled sums at the switch: its counts times the old factor.
    void Seed(const int64_t& packets, int64_t bytes);
    void Split() { m_split = true; }

    // Adds a record's counts to an entry's, and its scaled counts here once split.
    void Add(int64_t& packets, int64_t& bytes, int64_t p, int64_t b)
    {
        SaturatingAdd(packets, p);
        SaturatingAdd(bytes, b);
        if (m_split) AddScaled(packets, p, b);
    }
    // The port's totals, scaled: every record adds to them, split or not.
    void AddTotal(uint64_t packets, uint64_t bytes);

    // An entry's scaled figures, by its packet and byte counts.
    tagScaled Of(const int64_t& packets, const int64_t& bytes) const
    {
        if (!m_split) return {Times(packets, Factor()), Times(bytes, Factor())};
        return SplitOf(packets, bytes);
    }
    int64_t totalPackets() const { return m_totalPackets; }
    int64_t totalBytes() const { return m_totalBytes; }
    // Whether entries keep scaled sums of their own (records came at several factors).
    bool split() const { return m_split; }
    // Whether some entry's sums could not be kept, for want of memory.
    bool inexact() const { return m_inexact; }
    size_t entriesKept() const { return m_sums.size(); }
    // What one kept entry costs (both of its sums, in the table).
    static uint64_t EntryCost();

    static int64_t Times(int64_t count, uint64_t factor)
    {
        int64_t out;
        return __builtin_mul_overflow(count, int64_t(factor), &out) ? INT64_MAX : out;
    }

private:
    uint32_t Factor() const { return m_factor == 0 ? 1 : m_factor; }
    void AddScaled(const int64_t& packets, int64_t p, int64_t b);
    tagScaled SplitOf(const int64_t& packets, const int64_t& bytes) const;

    CMemoryAccount* m_memory;
    uint32_t m_factor = 0;  // of the records so far (before the split) or of the record being added
    uint32_t m_first = 0;   // of the first record: what an entry without sums is read by
    bool m_split = false;
    bool m_inexact = false;
    int64_t m_totalPackets = 0;
    int64_t m_totalBytes = 0;
    absl::flat_hash_map<const int64_t*, tagScaled> m_sums;
};

}  // namespace ortolan
