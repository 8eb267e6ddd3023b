// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sets of a NetFlow v9 (RFC 3954) or IPFIX (RFC 7011) message: template
// and options template sets are learnt into the exporter's templates, data
// sets are read record by record by their template, and each flow record is
// handed on as the fields it held. Works on the bytes after the message
// header; every set is read inside its own length, every record inside its
// set, and decoding stops where the bytes stop. Records of options templates
// describe the exporter, not flows: they are counted and handed on apart.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "big_endian_reader.h"
#include "template_cache.h"

namespace ortolan {

inline constexpr size_t kFlowFieldCount = size_t(FlowField::PacketSpace) + 1;

// One data record: the fields of the roles its template has. Numbers are in
// host order; `bytes` point at a field's wire bytes (the addresses) and stay
// valid only during the call that hands the record on.
struct tagFlowRecord {
    uint32_t present = 0;
    uint64_t value[kFlowFieldCount];
    const uint8_t* bytes[kFlowFieldCount];

    bool Has(FlowField f) const { return present >> unsigned(f) & 1u; }
};

class IFlowRecordSink {
public:
    virtual ~IFlowRecordSink() = default;
    virtual void OnFlowRecord(const tagFlowRecord& record) = 0;
    // A record of an options template: what it says of the exporter (its
    // samplers' rates) in the same roles.
    virtual void OnOptionsRecord(const tagFlowRecord& record) {}
};

// What the sets of one message held.
struct tagSetTally {
    uint32_t flowRecords = 0;     // data records handed on
    uint32_t optionsRecords = 0;  // records of options templates, handed on apart
    uint32_t dataSets = 0;        // data sets, their template known or not
    uint32_t unknownSets = 0;     // data sets of no known template, skipped
    uint32_t templates = 0;       // template and options template records read
    bool truncated = false;       // a set or template claimed more bytes than there were
};

enum class FlowExport : uint8_t { V9, Ipfix };

class CNFlowTemplateDecoder {
public:
    explicit CNFlowTemplateDecoder(CTemplateCache& cache) : m_cache(cache) {}

    tagSetTally DecodeSets(FlowExport format, const uint8_t* bytes, size_t length, tagTemplateSource& source,
                           IFlowRecordSink& sink);

private:
    void TemplateSet(FlowExport format, BigEndianReader set, tagTemplateSource& source, tagSetTally& tally);
    void OptionsSetV9(BigEndianReader set, tagTemplateSource& source, tagSetTally& tally);
    void OptionsSetIpfix(BigEndianReader set, tagTemplateSource& source, tagSetTally& tally);
    void DataSet(const tagFlowTemplate& layout, BigEndianReader set, IFlowRecordSink& sink, tagSetTally& tally);
    // Reads `count` field specifiers into m_fields; false when they do not fit.
    bool ReadFields(FlowExport format, BigEndianReader& set, uint32_t count);
    // Whether m_fields holds IPFIX's variable length, which NetFlow v9 does not
    // have: there a layout with it is refused, and its id left unknown.
    bool HasVariableField() const;

    CTemplateCache& m_cache;
    std::vector<tagTemplateField> m_fields;  // the template being read, reused
};

}  // namespace ortolan
