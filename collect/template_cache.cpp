// SPDX-License-Identifier: GPL-3.0-or-later
#include "template_cache.h"

#include "memory_costs.h"

namespace ortolan {
namespace {

// A counter or an index may be sent in fewer bytes than its type has
// (IPFIX reduced-size encoding); one longer than we can hold is not read.
bool Within(uint16_t length, uint16_t most) { return length >= 1 && length <= most; }

}  // namespace

FlowField CTemplateCache::RoleOf(uint16_t type, uint16_t length, uint32_t enterprise)
{
    if (enterprise != 0 || length == kVariableLength) return FlowField::Skip;
    // Element ids shared by NetFlow v9 and IPFIX (RFC 3954, IANA IPFIX registry).
    // Source prefix lengths (9, 29) and IPv6 ones (30) have no use here: the
    // destination's IPv4 mask only serves the broadcast test.
    switch (type) {
    case 1: return Within(length, 8) ? FlowField::Octets : FlowField::Skip;
    case 2: return Within(length, 8) ? FlowField::Packets : FlowField::Skip;
    case 4: return length == 1 ? FlowField::Protocol : FlowField::Skip;
    case 5: return length == 1 ? FlowField::Tos : FlowField::Skip;
    case 7: return Within(length, 2) ? FlowField::SourcePort : FlowField::Skip;
    case 8: return length == 4 ? FlowField::SourceV4 : FlowField::Skip;
    case 10: return Within(length, 4) ? FlowField::Input : FlowField::Skip;
    case 11: return Within(length, 2) ? FlowField::DestinationPort : FlowField::Skip;
    case 12: return length == 4 ? FlowField::DestinationV4 : FlowField::Skip;
    case 13: return length == 1 ? FlowField::DestinationMask : FlowField::Skip;
    case 14: return Within(length, 4) ? FlowField::Output : FlowField::Skip;
    case 27: return length == 16 ? FlowField::SourceV6 : FlowField::Skip;
    case 28: return length == 16 ? FlowField::DestinationV6 : FlowField::Skip;
    case 32: return length == 2 ? FlowField::IcmpV4 : FlowField::Skip;
    case 34: return Within(length, 4) ? FlowField::SamplingInterval : FlowField::Skip;
    case 48: return Within(length, 8) ? FlowField::SamplerId : FlowField::Skip;
    case 50: return Within(length, 4) ? FlowField::SamplingInterval : FlowField::Skip;
    case 85: return Within(length, 8) ? FlowField::OctetsTotal : FlowField::Skip;
    case 86: return Within(length, 8) ? FlowField::PacketsTotal : FlowField::Skip;
    case 139: return length == 2 ? FlowField::IcmpV6 : FlowField::Skip;
    case 302: return Within(length, 8) ? FlowField::SamplerId : FlowField::Skip;
    case 305: return Within(length, 4) ? FlowField::PacketInterval : FlowField::Skip;
    case 306: return Within(length, 4) ? FlowField::PacketSpace : FlowField::Skip;
    default: return FlowField::Skip;
    }
}

uint64_t CTemplateCache::FieldsCost(const std::vector<tagTemplateField>& fields)
{
    return cost::HeapArray(fields.capacity() * sizeof(tagTemplateField));
}

uint64_t CTemplateCache::TableCost(size_t capacity)
{
    // The table's slot: the id and the template side by side.
    struct tagSlot {
        uint16_t id;
        tagFlowTemplate layout;
    };
    return cost::FlatTable(capacity, sizeof(tagSlot));
}

void CTemplateCache::Settle(tagTemplateSource& source)
{
    // A table keeps its storage through erasures: only a fresh one frees it.
    if (source.templates.empty()) source.templates = {};
    uint64_t cost = TableCost(source.templates.bucket_count());
    if (cost > source.tableCharge) {
        // Only ever after a charge for the largest the table could have grown to.
        m_memory.Charge(cost - source.tableCharge, false);
        m_charged += cost - source.tableCharge;
    } else {
        m_memory.Release(source.tableCharge - cost);
        m_charged -= source.tableCharge - cost;
    }
    source.tableCharge = cost;
}

uint64_t CTemplateCache::SourceCost()
{
    return cost::NodeTableEntry(sizeof(std::pair<const tagSourceKey, tagTemplateSource>));
}

tagTemplateSource* CTemplateCache::Source(const tagAgentAddress& exporter, uint32_t domain, uint16_t version)
{
    tagSourceKey key{exporter, version, domain};
    if (m_last && m_lastKey == key) return m_last;
    auto it = m_sources.find(key);
    if (it == m_sources.end()) {
        uint64_t cost = SourceCost();
        if (!m_memory.Charge(cost)) return nullptr;
        m_charged += cost;
        it = m_sources.try_emplace(key).first;
    }
    m_last = &it->second;
    m_lastKey = key;
    return m_last;
}

CTemplateCache::StoreResult CTemplateCache::Store(tagTemplateSource& source, uint16_t id,
                                                  std::vector<tagTemplateField>& fields, bool options)
{
    if (fields.size() > m_limits.maxFieldsPerTemplate) {
        Drop(source, id);
        m_memory.Refuse();
        return StoreResult::Refused;
    }
    uint64_t minLength = 0;
    bool variable = false;
    for (tagTemplateField& f : fields) {
        f.role = RoleOf(f.type, f.length, f.enterprise);
        // A variable field takes at least its one length byte.
        variable |= f.length == kVariableLength;
        minLength += f.length == kVariableLength ? 1 : f.length;
    }
    // A record of no bytes would never move a reader on; one longer than any
    // datagram can never arrive. A record of fewer bytes than fields would
    // make a datagram's fields outnumber its bytes: exporters give every field
    // at least one byte, so only a crafted template is that dense, and the
    // work of reading a datagram stays bounded by its length.
    if (fields.empty() || minLength < fields.size() || minLength > m_limits.maxRecordLength) {
        Drop(source, id);
        return StoreResult::Invalid;
    }
    auto it = source.templates.find(id);
    if (it != source.templates.end()) {
        tagFlowTemplate& held = it->second;
        if (held.fields == fields && held.options == options) return StoreResult::Unchanged;
        // Another layout under a held id: a list of its own size replaces the
        // held one, whose block may be far larger than the new layout needs.
        std::vector<tagTemplateField> fresh(fields.begin(), fields.end());
        uint64_t oldCost = FieldsCost(held.fields);
        uint64_t newCost = FieldsCost(fresh);
        if (newCost > oldCost && !m_memory.Charge(newCost - oldCost)) {
            Drop(source, id);
            return StoreResult::Refused;
        }
        if (newCost < oldCost) m_memory.Release(oldCost - newCost);
        m_charged += newCost;
        m_charged -= oldCost;
        held.fields.swap(fresh);
        held.options = options;
        held.minLength = uint32_t(minLength);
        held.variable = variable;
        return StoreResult::Stored;
    }
    if (source.templates.size() >= m_limits.maxTemplatesPerExporter) {
        m_memory.Refuse();
        return StoreResult::Refused;
    }
    std::vector<tagTemplateField> fresh(fields.begin(), fields.end());
    // One insertion grows the table at most once, to twice its capacity and one.
    size_t capacity = source.templates.bucket_count();
    uint64_t grown = TableCost(capacity == 0 ? 1 : 2 * capacity + 1);
    uint64_t cost = FieldsCost(fresh) + (grown - source.tableCharge);
    if (!m_memory.Charge(cost)) return StoreResult::Refused;
    m_charged += cost;
    source.tableCharge = grown;
    tagFlowTemplate& t = source.templates[id];
    t.fields.swap(fresh);
    t.options = options;
    t.minLength = uint32_t(minLength);
    t.variable = variable;
    ++m_templateCount;
    Settle(source);
    return StoreResult::Stored;
}

void CTemplateCache::Drop(tagTemplateSource& source, uint16_t id)
{
    auto it = source.templates.find(id);
    if (it == source.templates.end()) return;
    uint64_t cost = FieldsCost(it->second.fields);
    m_memory.Release(cost);
    m_charged -= cost <= m_charged ? cost : m_charged;
    source.templates.erase(it);
    --m_templateCount;
    Settle(source);
}

void CTemplateCache::Withdraw(tagTemplateSource& source, uint16_t id) { Drop(source, id); }

void CTemplateCache::WithdrawAll(tagTemplateSource& source, bool options)
{
    std::vector<uint16_t> ids;
    for (const auto& [id, t] : source.templates)
        if (t.options == options) ids.push_back(id);
    for (uint16_t id : ids) Drop(source, id);
}

void CTemplateCache::LearnRate(tagTemplateSource& source, const uint64_t* sampler, uint32_t rate)
{
    if (rate == 0) return;
    if (!sampler) {
        source.sourceRate = rate;
        return;
    }
    auto it = source.samplerRates.find(*sampler);
    if (it != source.samplerRates.end()) {
        it->second = rate;
        return;
    }
    if (source.samplerRates.size() >= m_limits.maxSamplersPerExporter) {
        m_memory.Refuse();
        return;
    }
    // One insertion grows the table at most to twice its capacity and one:
    // that is charged first, and what it did not take given back after.
    auto cost = [](size_t capacity) { return cost::FlatTable(capacity, sizeof(std::pair<uint64_t, uint32_t>)); };
    size_t capacity = source.samplerRates.bucket_count();
    uint64_t grown = cost(capacity == 0 ? 1 : 2 * capacity + 1);
    if (grown > source.samplerCharge) {
        if (!m_memory.Charge(grown - source.samplerCharge)) return;
        m_charged += grown - source.samplerCharge;
        source.samplerCharge = grown;
    }
    source.samplerRates.emplace(*sampler, rate);
    uint64_t held = cost(source.samplerRates.bucket_count());
    if (held < source.samplerCharge) {
        m_memory.Release(source.samplerCharge - held);
        m_charged -= source.samplerCharge - held;
        source.samplerCharge = held;
    }
}

void CTemplateCache::Clear()
{
    m_memory.Release(m_charged);
    m_charged = 0;
    m_sources.clear();
    m_templateCount = 0;
    m_last = nullptr;
    m_lastKey = {};
}

}  // namespace ortolan
