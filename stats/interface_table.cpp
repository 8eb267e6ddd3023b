// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface_table.h"

#include "memory_costs.h"

namespace ortolan {
namespace {

// Beyond this an uptime difference is no rate interval but a restart or a stall.
constexpr uint32_t kMaxRateInterval = 60480000;  // ms, 16.8 hours
constexpr uint32_t kBaseRenewal = 604800;        // ms

}  // namespace

CInterfaceTable::CInterfaceTable(CMemoryAccount* memory, uint32_t maxInterfaces)
    : m_memory(memory), m_maxInterfaces(maxInterfaces)
{
}

bool CInterfaceTable::Charge(uint64_t bytes) { return m_memory == nullptr || m_memory->Charge(bytes); }

void CInterfaceTable::Refuse()
{
    if (m_memory) m_memory->Refuse();
}

tagIfCounter* CInterfaceTable::Add(uint32_t ifIndex, bool* created)
{
    *created = false;
    // The older slot makes room: a record's input and output stay cached together.
    m_slots[1] = m_slots[0];
    auto it = m_counters.find(ifIndex);
    if (it != m_counters.end()) {
        Sync(it->second);
        m_slots[0] = {ifIndex, &it->second};
        return &it->second;
    }
    if (m_counters.size() >= m_maxInterfaces) {
        Refuse();
        return nullptr;
    }
    if (!Charge(cost::Interface())) return nullptr;
    *created = true;
    tagIfCounter& ifc = m_counters[ifIndex];
    m_slots[0] = {ifIndex, &ifc};
    // Records to every interface count for a new one from the moment it exists.
    ifc.allRecordsSeen = m_all.records;
    ifc.allSeen = m_all.sums;
    return &ifc;
}

void CInterfaceTable::FoldAll(tagIfCounter& ifc) const
{
    _tagIf_counters& c = ifc.current;
    c.ifOutOctets += m_all.sums.octets - ifc.allSeen.octets;
    c.ifOutUcastPkts += m_all.sums.unicast - ifc.allSeen.unicast;
    c.ifOutMulticastPkts += m_all.sums.multicast - ifc.allSeen.multicast;
    c.ifOutBroadcastPkts += m_all.sums.broadcast - ifc.allSeen.broadcast;
    c.sampleTime = m_all.sampleTime;
    c.agentUptime = m_all.agentUptime;
    ifc.allSeen = m_all.sums;
    ifc.allRecordsSeen = m_all.records;
}

void CInterfaceTable::SyncAll() const
{
    // The folded figures are what the interface shows already; only where
    // they are kept changes.
    auto& all = const_cast<Map&>(m_counters);
    for (auto& [index, ifc] : all) Sync(ifc);
}

void CInterfaceTable::NewHour(tagIfCounter& ifc, int32_t hour)
{
    AppendHistory(ifc, ifc.current);
    ifc.hourStamp = hour;
    // Pending every-interface records were all of the old hour; the next
    // one must fold them before this interface's hour can differ again.
    if (hour != m_all.hour) m_all.hour = kNoHour;
}

void CInterfaceTable::AppendHistory(tagIfCounter& ifc, const _tagIf_counters& sample)
{
    if (ifc.history.size() >= kHistoryHours) {
        // A full week: the oldest sample makes room, so nothing more is kept.
        while (ifc.history.size() >= kHistoryHours) ifc.history.pop_front();
    } else if (!Charge(cost::HistoryEntry())) {
        return;
    }
    ifc.history.push_back(sample);
}

void CInterfaceTable::AddOutboundToAll(const tagOutboundSums& add, int64_t sampleTime, uint32_t agentUptime,
                                       int32_t hour)
{
    m_all.sums.octets += add.octets;
    m_all.sums.unicast += add.unicast;
    m_all.sums.multicast += add.multicast;
    m_all.sums.broadcast += add.broadcast;
    m_all.records += 1;
    m_all.sampleTime = sampleTime;
    m_all.agentUptime = agentUptime;
    if (hour == m_all.hour) return;
    // A new hour: every interface takes its history step now, with the record
    // added, as it would have had the record been added to each.
    m_all.hour = hour;
    for (auto& [index, ifc] : m_counters) {
        Sync(ifc);
        StepHistory(ifc, hour);
    }
}

void CInterfaceTable::AddCounterSample(const _tagIf_counters& sample)
{
    bool created = false;
    tagIfCounter* ifc = FindOrAdd(sample.ifIndex, &created);
    if (!ifc) return;
    int32_t hour = m_hours.Hour(sample.sampleTime);
    if (created) {
        AppendHistory(*ifc, sample);
        ifc->base = sample;
        ifc->hourStamp = hour;
    }
    if (hour != ifc->hourStamp) {
        AppendHistory(*ifc, sample);
        ifc->hourStamp = hour;
    }
    // Unsigned difference: an agent that restarted (uptime went back) also renews the base.
    if (Elapsed(sample.agentUptime, ifc->base.agentUptime) > kBaseRenewal) ifc->base = sample;
    ifc->current = sample;
    m_counterUptime = sample.agentUptime;
}

double CInterfaceTable::InSum(CounterSet set, InboundFigure figure) const
{
    double sum = 0;
    for (const auto& [index, ifc] : m_counters) {
        const _tagIf_counters& c = set == CounterSet::Previous ? ifc.previous : ifc.current;
        if (figure == InboundFigure::Octets) {
            if (set != CounterSet::SinceBase) sum += double(c.ifInOctets);
            continue;
        }
        double packets = double(c.ifInUcastPkts) + c.ifInMulticastPkts + c.ifInBroadcastPkts;
        if (set == CounterSet::SinceBase)
            packets -= double(ifc.base.ifInUcastPkts) + ifc.base.ifInMulticastPkts +
                       ifc.base.ifInBroadcastPkts;
        sum += packets;
    }
    return sum;
}

double CInterfaceTable::InRate(RateUnit unit) const
{
    uint32_t dt = Elapsed(m_counterUptime, m_snapshotUptime);
    if (dt == 0 || dt > kMaxRateInterval) return 0;
    const bool bits = unit == RateUnit::MegabitsPerSecond;
    const InboundFigure figure = bits ? InboundFigure::Octets : InboundFigure::Packets;
    double rate = (InSum(CounterSet::Current, figure) - InSum(CounterSet::Previous, figure)) * 1000.0 / dt;
    if (bits) rate = rate * 8 / 1000 / 1000;
    return rate < 0 ? 0 : rate;
}

void CInterfaceTable::TakeSnapshot()
{
    for (auto& [index, ifc] : m_counters) {
        Sync(ifc);
        ifc.previous = ifc.current;
    }
    m_snapshotUptime = m_counterUptime;
}

}  // namespace ortolan
