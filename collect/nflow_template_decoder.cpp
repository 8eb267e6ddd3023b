// SPDX-License-Identifier: GPL-3.0-or-later
#include "nflow_template_decoder.h"

namespace ortolan {
namespace {

// Set ids (RFC 3954 section 5, RFC 7011 section 3.3.2).
constexpr uint16_t kV9TemplateSet = 0;
constexpr uint16_t kV9OptionsSet = 1;
constexpr uint16_t kIpfixTemplateSet = 2;
constexpr uint16_t kIpfixOptionsSet = 3;
constexpr uint16_t kFirstDataSet = 256;
constexpr size_t kSetHeader = 4;
constexpr uint16_t kEnterpriseBit = 0x8000;

// A field of up to eight bytes as an unsigned number.
uint64_t Number(const uint8_t* p, uint16_t length)
{
    uint64_t v = 0;
    for (uint16_t i = 0; i < length && i < 8; ++i) v = v << 8 | p[i];
    return v;
}

void Note(tagFlowRecord& record, FlowField role, const uint8_t* p, uint16_t length)
{
    size_t i = size_t(role);
    record.present |= 1u << i;
    record.bytes[i] = p;
    record.value[i] = Number(p, length);
}

}  // namespace

tagSetTally CNFlowTemplateDecoder::DecodeSets(FlowExport format, const uint8_t* bytes, size_t length,
                                              tagTemplateSource& source, IFlowRecordSink& sink)
{
    tagSetTally tally;
    BigEndianReader message(bytes, length);
    const uint16_t templateSet = format == FlowExport::V9 ? kV9TemplateSet : kIpfixTemplateSet;
    const uint16_t optionsSet = format == FlowExport::V9 ? kV9OptionsSet : kIpfixOptionsSet;
    while (message.remaining() >= kSetHeader) {
        uint16_t id = message.Read16();
        uint16_t setLength = message.Read16();
        // A set shorter than its own header, or longer than what is left, ends
        // the message: where the next set starts is no longer known.
        if (setLength < kSetHeader || setLength - kSetHeader > message.remaining()) {
            tally.truncated = true;
            break;
        }
        BigEndianReader set = message.Sub(setLength - kSetHeader);
        if (id == templateSet) {
            TemplateSet(format, set, source, tally);
        } else if (id == optionsSet) {
            if (format == FlowExport::V9)
                OptionsSetV9(set, source, tally);
            else
                OptionsSetIpfix(set, source, tally);
        } else if (id >= kFirstDataSet) {
            ++tally.dataSets;
            if (const tagFlowTemplate* layout = CTemplateCache::Find(source, id))
                DataSet(*layout, set, sink, tally);
            else
                ++tally.unknownSets;
        }
        // Reserved set ids are passed over by their length.
    }
    return tally;
}

bool CNFlowTemplateDecoder::ReadFields(FlowExport format, BigEndianReader& set, uint32_t count)
{
    m_fields.clear();
    // Every specifier takes at least four bytes: the count is checked against
    // what is left before anything is reserved.
    if (size_t(count) * 4 > set.remaining()) return false;
    m_fields.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (set.remaining() < 4) return false;
        tagTemplateField f;
        f.type = set.Read16();
        f.length = set.Read16();
        if (format == FlowExport::Ipfix && (f.type & kEnterpriseBit)) {
            if (set.remaining() < 4) return false;
            f.type &= uint16_t(~kEnterpriseBit);
            f.enterprise = set.Read32();
        }
        m_fields.push_back(f);
    }
    return true;
}

bool CNFlowTemplateDecoder::HasVariableField() const
{
    for (const tagTemplateField& f : m_fields)
        if (f.length == kVariableLength) return true;
    return false;
}

void CNFlowTemplateDecoder::TemplateSet(FlowExport format, BigEndianReader set, tagTemplateSource& source,
                                        tagSetTally& tally)
{
    while (set.remaining() >= 4) {
        uint16_t id = set.Read16();
        uint16_t count = set.Read16();
        if (format == FlowExport::Ipfix && count == 0) {
            // Withdrawal: one template, or (the set's own id) all of them.
            ++tally.templates;
            if (id == kIpfixTemplateSet)
                m_cache.WithdrawAll(source, false);
            else if (id >= kFirstDataSet)
                m_cache.Withdraw(source, id);
            continue;
        }
        // Ids below 256 name no data set: what follows is padding.
        if (id < kFirstDataSet || count == 0) return;
        if (!ReadFields(format, set, count)) {
            tally.truncated = true;
            return;
        }
        ++tally.templates;
        if (format == FlowExport::V9 && HasVariableField())
            m_cache.Withdraw(source, id);
        else
            m_cache.Store(source, id, m_fields, false);
    }
}

void CNFlowTemplateDecoder::OptionsSetV9(BigEndianReader set, tagTemplateSource& source, tagSetTally& tally)
{
    while (set.remaining() >= 6) {
        uint16_t id = set.Read16();
        uint16_t scopeLength = set.Read16();
        uint16_t optionLength = set.Read16();
        if (id < kFirstDataSet) return;
        // Both lengths are in bytes, four per field specifier.
        uint32_t count = uint32_t(scopeLength / 4) + optionLength / 4;
        if (!ReadFields(FlowExport::V9, set, count)) {
            tally.truncated = true;
            return;
        }
        ++tally.templates;
        if (HasVariableField())
            m_cache.Withdraw(source, id);
        else
            m_cache.Store(source, id, m_fields, true);
    }
}

void CNFlowTemplateDecoder::OptionsSetIpfix(BigEndianReader set, tagTemplateSource& source, tagSetTally& tally)
{
    while (set.remaining() >= 4) {
        uint16_t id = set.Read16();
        uint16_t count = set.Read16();
        if (count == 0) {
            ++tally.templates;
            if (id == kIpfixOptionsSet)
                m_cache.WithdrawAll(source, true);
            else if (id >= kFirstDataSet)
                m_cache.Withdraw(source, id);
            continue;
        }
        if (id < kFirstDataSet || set.remaining() < 2) return;
        uint16_t scopeCount = set.Read16();
        if (!ReadFields(FlowExport::Ipfix, set, count)) {
            tally.truncated = true;
            return;
        }
        ++tally.templates;
        // An options template must name at least one scope field within its fields.
        if (scopeCount == 0 || scopeCount > count)
            m_cache.Withdraw(source, id);
        else
            m_cache.Store(source, id, m_fields, true);
    }
}

void CNFlowTemplateDecoder::DataSet(const tagFlowTemplate& layout, BigEndianReader set, IFlowRecordSink& sink,
                                    tagSetTally& tally)
{
    tagFlowRecord record;
    // What is left after the last whole record is padding (shorter than any record).
    while (set.remaining() >= layout.minLength) {
        record.present = 0;
        if (!layout.variable) {
            // The whole record is there: its fields sit at fixed offsets.
            const uint8_t* p = set.cursor();
            for (const tagTemplateField& f : layout.fields) {
                if (f.role != FlowField::Skip) Note(record, f.role, p, f.length);
                p += f.length;
            }
            set.Skip(layout.minLength);
        } else {
            for (const tagTemplateField& f : layout.fields) {
                size_t n = f.length;
                if (f.length == kVariableLength) {
                    // One length byte; 255 says the length follows in two.
                    if (set.remaining() < 1) return;
                    n = set.Read8();
                    if (n == 255) {
                        if (set.remaining() < 2) return;
                        n = set.Read16();
                    }
                }
                const uint8_t* p = set.cursor();
                if (!set.Skip(n)) return;
                if (f.role != FlowField::Skip) Note(record, f.role, p, uint16_t(n));
            }
        }
        if (layout.options) {
            ++tally.optionsRecords;
            sink.OnOptionsRecord(record);
        } else {
            ++tally.flowRecords;
            sink.OnFlowRecord(record);
        }
    }
}

}  // namespace ortolan
