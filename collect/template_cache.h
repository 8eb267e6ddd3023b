// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The NetFlow v9 and IPFIX templates of every exporter: per exporter address,
// source id (IPFIX: observation domain) and version, the layouts that data
// records are read by. Each exporter's table and each template is charged to
// the collector's memory account before it is kept, by the storage really
// held (the table's capacity, each field list's block); templates per exporter,
// fields per template and record length are bounded by tagLimits. A template
// that is refused or invalid also drops an older one of the same id, so data
// is never read by a layout the exporter has since left.
#include <absl/container/flat_hash_map.h>
#include <absl/container/node_hash_map.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "port_key.h"
#include "memory_budget.h"

namespace ortolan {

// What a template field stands for in the flow accounting; Skip for anything
// else, read past by its length (enterprise-specific fields among them).
enum class FlowField : uint8_t {
    Skip,
    SourceV4,
    DestinationV4,
    SourceV6,
    DestinationV6,
    SourcePort,
    DestinationPort,
    Protocol,
    Tos,
    Packets,
    PacketsTotal,
    Octets,
    OctetsTotal,
    Input,
    Output,
    IcmpV4,
    IcmpV6,
    DestinationMask,  // IPv4 prefix length, for the broadcast test
    SamplingInterval, // 34 or 50: the record's own sampling rate, or an options record's
    SamplerId,        // 48 or 302: the sampler (selector) a record was sampled by
    PacketInterval,   // 305: packets taken in a row ...
    PacketSpace,      // 306: ... and packets passed over after them
};

// The field length that IPFIX marks variable: each record then carries the
// length in one byte, or 255 and the length in the next two.
inline constexpr uint16_t kVariableLength = 65535;

struct tagTemplateField {
    uint16_t type = 0;        // information element id, enterprise bit cleared
    uint16_t length = 0;      // bytes, or kVariableLength
    uint32_t enterprise = 0;  // 0 for the IANA elements
    FlowField role = FlowField::Skip;

    bool operator==(const tagTemplateField&) const = default;
};

struct tagFlowTemplate {
    std::vector<tagTemplateField> fields;
    bool options = false;      // its records describe the exporter, not flows
    uint32_t minLength = 0;    // bytes of the shortest record (variable fields empty)
    bool variable = false;     // some field has a variable length
};

// The templates of one exporter, source id and version, by template id.
struct tagTemplateSource {
    absl::flat_hash_map<uint16_t, tagFlowTemplate> templates;
    // What the table's storage is charged: its capacity, which withdrawals
    // do not give back until the table is empty.
    uint64_t tableCharge = 0;
    // Whether the exporter's last message carried data sets: IPFIX numbers
    // data records, so only then does an equal sequence number mark a repeat.
    bool lastCarriedData = false;
    // The sampling rates its options records taught: the source's own (an
    // options record naming no sampler) and each sampler's by its id; 0: none.
    uint32_t sourceRate = 0;
    absl::flat_hash_map<uint64_t, uint32_t> samplerRates;
    uint64_t samplerCharge = 0;  // what samplerRates' storage is charged
};

class CTemplateCache {
public:
    CTemplateCache(CMemoryAccount& memory, const tagLimits& limits) : m_memory(memory), m_limits(limits) {}
    ~CTemplateCache() { Clear(); }
    CTemplateCache(const CTemplateCache&) = delete;
    CTemplateCache& operator=(const CTemplateCache&) = delete;

    // The templates of an exporter, made on first sight; null when the budget refuses it.
    tagTemplateSource* Source(const tagAgentAddress& exporter, uint32_t domain, uint16_t version);
    static const tagFlowTemplate* Find(const tagTemplateSource& source, uint16_t id)
    {
        auto it = source.templates.find(id);
        return it == source.templates.end() ? nullptr : &it->second;
    }

    enum class StoreResult { Stored, Unchanged, Invalid, Refused };
    // Keeps the fields as template `id`, replacing another layout of that id
    // (the fields' roles are filled in on the way; a resent layout costs no
    // allocation). Invalid: no fields, a record of fewer bytes than fields or
    // longer than the bound. Refused (and counted as a refusal): too many
    // fields or templates, or the budget is spent.
    StoreResult Store(tagTemplateSource& source, uint16_t id, std::vector<tagTemplateField>& fields, bool options);
    void Withdraw(tagTemplateSource& source, uint16_t id);
    // Every template, or every options template, of the exporter.
    void WithdrawAll(tagTemplateSource& source, bool options);
    // Drops every exporter and gives back what they were charged.
    void Clear();

    // Learns a rate an options record gave: the sampler's when it names one,
    // else the source's. A rate of 0 teaches nothing; a sampler beyond
    // maxSamplersPerExporter, or beyond the budget, is refused and counted.
    void LearnRate(tagTemplateSource& source, const uint64_t* sampler, uint32_t rate);
    // The rate learnt for a sampler of the source; 0 when none was.
    static uint32_t SamplerRate(const tagTemplateSource& source, uint64_t sampler)
    {
        auto it = source.samplerRates.find(sampler);
        return it == source.samplerRates.end() ? 0 : it->second;
    }

    size_t templateCount() const { return m_templateCount; }
    static FlowField RoleOf(uint16_t type, uint16_t length, uint32_t enterprise);

private:
    // An exporter's templates are keyed as its port is: address, version and
    // source id or observation domain.
    using tagSourceKey = tagPortKey;
    static uint64_t FieldsCost(const std::vector<tagTemplateField>& fields);
    static uint64_t TableCost(size_t capacity);
    static uint64_t SourceCost();
    void Drop(tagTemplateSource& source, uint16_t id);
    // Charges or gives back the difference between the table's capacity and
    // its charge; an empty table gives its storage back first.
    void Settle(tagTemplateSource& source);

    CMemoryAccount& m_memory;
    const tagLimits& m_limits;
    // Node table: sources are handed out by pointer and stay where they are.
    absl::node_hash_map<tagSourceKey, tagTemplateSource> m_sources;
    uint64_t m_charged = 0;
    size_t m_templateCount = 0;
    // The exporter of the last look-up: datagrams come in runs from one exporter.
    tagTemplateSource* m_last = nullptr;
    tagSourceKey m_lastKey;
};

}  // namespace ortolan
