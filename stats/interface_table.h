// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interface counters of one port: the latest sample of each interface,
// the one at the last snapshot (for rates), the base (for totals since the
// counters were first seen), a week of hourly history, and the sums of the
// NetFlow records whose output is every interface (65535). New interfaces and
// history entries are charged to the port's memory account.
#include <array>
#include <cstdint>
#include <map>

#include "local_time.h"
#include "memory_budget.h"
#include "port_records.h"

namespace ortolan {

// Which sample of each interface a sum reads.
enum class CounterSet {
    Previous,   // at the last snapshot
    Current,    // the latest
    SinceBase,  // the latest minus the base (packets only; octets sum to 0)
};
// What an inbound sum counts.
enum class InboundFigure { Octets, Packets };
// The unit of an inbound rate.
enum class RateUnit { PacketsPerSecond, MegabitsPerSecond };

class CInterfaceTable {
public:
    using Map = std::map<uint32_t, tagIfCounter>;

    // The memory account is the port's; none never refuses.
    CInterfaceTable(CMemoryAccount* memory, uint32_t maxInterfaces);
    CInterfaceTable(const CInterfaceTable&) = delete;
    CInterfaceTable& operator=(const CInterfaceTable&) = delete;

    // --- The interfaces by ifIndex, in ifIndex order. Entries read here may
    // lag the every-interface sums until synced (Sync, SyncAll).
    Map::const_iterator begin() const { return m_counters.begin(); }
    Map::const_iterator end() const { return m_counters.end(); }
    Map::const_iterator find(uint32_t ifIndex) const { return m_counters.find(ifIndex); }
    const tagIfCounter& at(uint32_t ifIndex) const { return m_counters.at(ifIndex); }
    size_t count(uint32_t ifIndex) const { return m_counters.count(ifIndex); }
    size_t size() const { return m_counters.size(); }
    bool empty() const { return m_counters.empty(); }

    // Interface record of ifIndex, up to date (Sync), or a new one that adds
    // the every-interface sums from now on; null when refused.
    tagIfCounter* FindOrAdd(uint32_t ifIndex, bool* created)
    {
        for (tagIfSlot& slot : m_slots)
            if (slot.ifc && slot.ifIndex == ifIndex) {
                *created = false;
                Sync(*slot.ifc);
                return slot.ifc;
            }
        return Add(ifIndex, created);
    }

    // --- NetFlow records whose output is every interface (65535). Such a
    // record is added once to table-wide sums; each interface folds in what
    // came since its last fold when it is next touched or read, so the record
    // costs the same whatever the number of interfaces. Only when the local
    // hour of these records changes are all interfaces folded at once, so that
    // each gets its history entry for the new hour as if the record had been
    // added to it.
    void AddOutboundToAll(const tagOutboundSums& add, int64_t sampleTime, uint32_t agentUptime, int32_t hour);
    // The history step of one interface for a sample of the given local hour:
    // appends current when the hour differs from hourStamp, keeping a week.
    void StepHistory(tagIfCounter& ifc, int32_t hour)
    {
        if (hour != ifc.hourStamp) NewHour(ifc, hour);
    }
    // Folds the pending every-interface sums into one interface, or all. The
    // figures an interface shows do not change by it (hence const): readers of
    // current call it first; history entries are always up to date.
    void Sync(tagIfCounter& ifc) const
    {
        if (ifc.allRecordsSeen != m_all.records) FoldAll(ifc);
    }
    void SyncAll() const;

    // An sFlow generic counter sample: becomes the interface's current
    // sample, enters the history when its local hour is new, and renews the
    // base after a long gap or an agent restart.
    void AddCounterSample(const _tagIf_counters& sample);

    // --- Figures over every interface.
    double InSum(CounterSet set, InboundFigure figure) const;
    // The inbound rate between the snapshot and the latest samples; 0 when
    // the uptimes give no usable interval or the counters went back.
    double InRate(RateUnit unit) const;
    // current becomes previous for every interface, and the latest counter
    // uptime the snapshot's.
    void TakeSnapshot();

    // Agent uptime (ms) of the latest counters, and of the last snapshot.
    uint32_t counterUptime() const { return m_counterUptime; }
    void SetCounterUptime(uint32_t uptime) { m_counterUptime = uptime; }
    uint32_t snapshotUptime() const { return m_snapshotUptime; }
    // Milliseconds from uptime b to uptime a, modulo 2^32.
    static uint32_t Elapsed(uint32_t a, uint32_t b) { return a - b; }

private:
    bool Charge(uint64_t bytes);
    void Refuse();
    // The slow halves of the steps above: a look-up in the map (or a new
    // interface), a fold of the every-interface sums, a history entry.
    tagIfCounter* Add(uint32_t ifIndex, bool* created);
    void FoldAll(tagIfCounter& ifc) const;
    void NewHour(tagIfCounter& ifc, int32_t hour);
    // Appends a sample to the week of history, charged until the week is full.
    void AppendHistory(tagIfCounter& ifc, const _tagIf_counters& sample);

    Map m_counters;
    CMemoryAccount* m_memory;
    uint32_t m_maxInterfaces;
    CLocalHourCache m_hours;
    uint32_t m_counterUptime = 0;
    uint32_t m_snapshotUptime = 0;
    // The last interfaces found, by ifIndex: a NetFlow record names two.
    struct tagIfSlot {
        uint32_t ifIndex = 0;
        tagIfCounter* ifc = nullptr;
    };
    std::array<tagIfSlot, 2> m_slots{};

    static constexpr int32_t kNoHour = INT32_MIN;
    struct tagAllInterfaces {
        tagOutboundSums sums;
        uint64_t records = 0;
        int64_t sampleTime = 0;
        uint32_t agentUptime = 0;
        // Local hour of the last such record; kNoHour forces the next one to
        // fold every interface (an interface's hourStamp moved elsewhere).
        int32_t hour = kNoHour;
    } m_all;
};

}  // namespace ortolan
