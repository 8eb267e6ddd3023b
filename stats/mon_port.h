// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything counted for one monitored port: an sFlow agent and sub-agent, or a
// NetFlow exporter and engine. Packet and byte figures are counts of samples and
// their frame lengths (sFlow) or the flow records' own counts (NetFlow), as
// sent; `sampling` keeps the rates they came with, by which they scale.
#include <absl/container/flat_hash_map.h>
#include <absl/container/node_hash_map.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "interface_table.h"
#include "memory_budget.h"
#include "label_table.h"
#include "node_key.h"
#include "port_records.h"
#include "scaled_figures.h"
#include "stable_table.h"

namespace ortolan {

inline constexpr size_t kSizeClassCount = 7;

// Index of the packet-size class of a frame length.
inline size_t SizeClassOf(uint32_t frameLength)
{
    if (frameLength < 64) return 0;
    if (frameLength < 128) return 1;
    if (frameLength < 256) return 2;
    if (frameLength < 512) return 3;
    if (frameLength < 1024) return 4;
    if (frameLength < 1514) return 5;
    return 6;
}

// Node and pair entries keep their addresses while the table grows (the
// accounting holds a sample's source node while it adds the destination, and
// keeps the last flow's entries). IP pairs, the most numerous entries, live in
// blocks with a compact index; the rest are node maps, whose look-ups take
// one indirection less.
using MacTable = absl::node_hash_map<MacAddress, tagMacEntry>;
using IpTable = absl::node_hash_map<CIpAddress, tagIpEntry>;
template <class Key>
using PairTable = std::conditional_t<std::is_same_v<Key, CIpAddress>, CStableTable<PairKey<Key>, tagMtxEntry>,
                                     absl::node_hash_map<PairKey<Key>, tagMacPairEntry>>;
using IpPairTable = PairTable<CIpAddress>;
using MacPairTable = PairTable<MacAddress>;
// Labelled counters by label number (CLabelTable). Node entries keep their
// addresses, so the port's label cache can point at them.
using StatTable = absl::node_hash_map<uint32_t, tagProtStat>;
using TosTable = absl::flat_hash_map<TosKey, tagProtStat>;

// The nodes a count covers: IP addresses or MAC addresses.
enum class NodeKind { Ip, Mac };

class CMonPort {
public:
    // The memory account is the owning collector's; a port without one never refuses.
    // Labels are shared with the collector's accounting; a port given none
    // keeps its own.
    CMonPort(std::string agentText, int32_t subAgent, CMemoryAccount* memory = nullptr,
             const tagLimits& limits = tagLimits{}, std::shared_ptr<CLabelTable> labels = nullptr);
    virtual ~CMonPort();
    CMonPort(const CMonPort&) = delete;
    CMonPort& operator=(const CMonPort&) = delete;

    std::string agent;
    int32_t subAgentId = 0;
    uint32_t lastSequence = 0xFFFFFFFFu;
    uint32_t lastUptime = 0xFFFFFFFFu;
    int64_t sampleCount = 0;
    int64_t sampledBytes = 0;
    // NetFlow: the flow records accounted and the packets and octets they
    // carry, as sent (sFlow's samples are sampleCount and sampledBytes).
    uint64_t flowRecords = 0;
    uint64_t flowPackets = 0;
    uint64_t flowOctets = 0;
    // The sampling rates of the sampled headers and flow records counted, and
    // every figure scaled by them.
    tagSamplingSeen sampling;
    CScaledFigures scaled;
    // What NetFlow's sums of flow records (its interface figures) scale by:
    // the records' mean factor, exact while they share one rate. 1 for sFlow,
    // whose interface figures are the agent's own counters.
    double FlowPacketFactor() const { return flowPackets ? double(scaled.totalPackets()) / double(flowPackets) : 1; }
    double FlowByteFactor() const { return flowOctets ? double(scaled.totalBytes()) / double(flowOctets) : 1; }
    MacTable macs;
    IpTable ips;
    uint64_t datagrams = 0;
    CInterfaceTable interfaces;
    StatTable ethernetTypes;
    StatTable ipProtocols;
    StatTable tcpServices;
    StatTable udpServices;
    StatTable icmpTypes;
    IpPairTable ipMatrix;
    MacPairTable macMatrix;
    TosTable tosTable;
    std::array<tagSizeClass, kSizeClassCount> sizeClasses;
    int64_t lastReceived = 0;

    // --- Entry creation: the seam the traffic accounting works through. Each
    // returns the existing entry, or a new one stamped firstSeen = now, or null
    // when the collector's memory budget refuses it.
    tagMacEntry* FindOrAddMac(const MacAddress& address, int64_t now)
    {
        auto it = macs.find(address);
        return it != macs.end() ? &it->second : AddMac(address, now);
    }
    tagIpEntry* FindOrAddIp(const CIpAddress& address, int64_t now)
    {
        auto it = ips.find(address);
        return it != ips.end() ? &it->second : AddIp(address, now);
    }
    // Finds the pair of the two nodes; *sourceIsA tells whether the first
    // argument is the pair's A side, the byte-wise smaller text (also when both
    // are equal).
    tagMtxEntry* FindOrAddPair(IpPairTable& matrix, const CIpAddress& source, const CIpAddress& destination,
                               int64_t now, bool* sourceIsA);
    tagMtxEntry* FindOrAddPair(MacPairTable& matrix, const MacAddress& source, const MacAddress& destination,
                               int64_t now, bool* sourceIsA);
    // The pair of two addresses, then the source's node (with the sending MAC,
    // when given, added to its list) and the destination's node, in that order;
    // any may be null when the budget refuses it. The last flow found is kept:
    // exporters often send a flow's two directions one after the other, and the
    // second then costs no look-up.
    struct tagFlowEntries {
        tagMtxEntry* pair = nullptr;
        bool sourceIsA = true;
        tagIpEntry* source = nullptr;
        tagIpEntry* destination = nullptr;
    };
    tagFlowEntries FindOrAddIpFlow(const CIpAddress& source, const CIpAddress& destination, int64_t now,
                                   const MacAddress* sourceMac)
    {
        if (m_lastFlow.entries.pair) {
            const tagFlowEntries& e = m_lastFlow.entries;
            if (source == m_lastFlow.source && destination == m_lastFlow.destination) {
                if (sourceMac) AddMacToIp(*e.source, *sourceMac);
                return e;
            }
            if (source == m_lastFlow.destination && destination == m_lastFlow.source) {
                if (sourceMac) AddMacToIp(*e.destination, *sourceMac);
                return {e.pair, !e.sourceIsA, e.destination, e.source};
            }
        }
        return AddIpFlow(source, destination, now, sourceMac);
    }
    // The pair of two MACs, then the source's node and the destination's, in
    // that order; any may be null when the budget refuses it.
    struct tagMacFlowEntries {
        tagMtxEntry* pair = nullptr;
        bool sourceIsA = true;
        tagMacEntry* source = nullptr;
        tagMacEntry* destination = nullptr;
    };
    tagMacFlowEntries FindOrAddMacFlow(const MacAddress& source, const MacAddress& destination, int64_t now)
    {
        bool swapped = false;
        const PairKey<MacAddress> key = MakePair(source, destination, &swapped);
        auto it = macMatrix.find(key);
        if (it != macMatrix.end() && it->second.lowNode && it->second.highNode) {
            tagMacPairEntry& pair = it->second;
            return {&pair, pair.lowIsA != swapped || key.low == key.high, swapped ? pair.highNode : pair.lowNode,
                    swapped ? pair.lowNode : pair.highNode};
        }
        return AddMacFlow(source, destination, now, swapped);
    }
    tagProtStat* FindOrAddStat(StatTable& table, uint32_t label)
    {
        tagStatSlot& slot = m_statSlots[StatSlotOf(table, label)];
        if (slot.table == &table && slot.label == label) return slot.stat;
        return AddStat(table, label, slot);
    }
    tagProtStat* FindOrAddTos(const TosKey& key)
    {
        auto it = tosTable.find(key);
        return it != tosTable.end() ? &it->second : AddTos(key);
    }
    // Adds a source MAC to an IP node's list, within the per-node bound.
    void AddMacToIp(tagIpEntry& node, const MacAddress& mac)
    {
        if (!node.macs.contains(mac)) AddNewMacToIp(node, mac);
    }
    // Adds a service label to a node's or a pair's set, within the per-entry bound.
    void AddService(CLabelList& services, uint32_t label)
    {
        if (!services.contains(label)) AddNewService(services, label);
    }

    // --- The same by text, for set-ups and look-ups that start from what a
    // user sees; a text that is no address finds and adds nothing.
    tagMacEntry* FindOrAddMac(std::string_view address, int64_t now);
    tagIpEntry* FindOrAddIp(std::string_view address, int64_t now);
    tagMtxEntry* FindOrAddIpPair(std::string_view source, std::string_view destination, int64_t now,
                                 bool* sourceIsA);
    tagProtStat* FindOrAddStat(StatTable& table, std::string_view name);
    void AddMacToIp(tagIpEntry& node, std::string_view mac);
    void AddService(CLabelList& services, std::string_view label);
    const tagMacEntry* FindMac(std::string_view address) const;
    const tagIpEntry* FindIp(std::string_view address) const;
    // The pair of two address texts (IP or MAC) in either order.
    const tagMtxEntry* FindPair(std::string_view a, std::string_view b) const;
    const tagProtStat* FindStat(const StatTable& table, std::string_view name) const;

    // --- Texts of keys and labels.
    CLabelTable& labels() { return *m_labels; }
    const CLabelTable& labels() const { return *m_labels; }
    const std::string& LabelText(uint32_t label) const { return m_labels->Text(label); }
    // The A and B sides of a pair.
    template <class Key>
    static std::pair<Key, Key> Sides(const PairKey<Key>& key, const tagMtxEntry& e)
    {
        return e.lowIsA ? std::pair<Key, Key>{key.low, key.high} : std::pair<Key, Key>{key.high, key.low};
    }
    // "A<->B", the text a pair is listed and reported by.
    template <class Key>
    static std::string PairText(const PairKey<Key>& key, const tagMtxEntry& e)
    {
        auto [a, b] = Sides(key, e);
        return a.String() + "<->" + b.String();
    }


    // --- Updates from the decoders.
    // One sampled header's or flow record's rate (0: none), before its counts
    // are added, with the packets and bytes it carries as sent.
    void NoteSamplingRate(uint32_t rate, uint64_t packets, uint64_t bytes)
    {
        sampling.Note(rate);
        const uint32_t factor = rate ? rate : 1;
        if (scaled.NeedsSplit(factor)) SplitScaled();
        scaled.SetFactor(factor);
        scaled.AddTotal(packets, bytes);
    }
    void CountFrameSize(uint32_t frameLength)
    {
        tagSizeClass& c = sizeClasses[SizeClassOf(frameLength)];
        scaled.Add(c.packets, c.bytes, 1, frameLength);
    }

    // --- Queries.
    // Nodes that sent within twenty refresh intervals of now.
    double ActiveNodes(NodeKind kind, int64_t now) const;

private:
    // A direct-mapped cache of labelled counters: most samples meet the same
    // few labels, found here without hashing. Entries are never removed from
    // a port's tables (a port is dropped whole), so the pointers stay valid.
    struct tagStatSlot {
        const StatTable* table = nullptr;
        uint32_t label = 0;
        tagProtStat* stat = nullptr;
    };
    static constexpr size_t kStatSlots = 64;
    size_t StatSlotOf(const StatTable& table, uint32_t label) const
    {
        // The tables are neighbouring members: their offsets tell them apart.
        const size_t which = size_t(reinterpret_cast<uintptr_t>(&table) / sizeof(StatTable));
        return (label * 4 + which) & (kStatSlots - 1);
    }
    tagProtStat* AddStat(StatTable& table, uint32_t label, tagStatSlot& slot);
    // Seeds the scaled figures with every entry's counts at the port's one
    // factor so far, when a record of another arrives.
    void SplitScaled();
    void AddNewMacToIp(tagIpEntry& node, const MacAddress& mac);
    void AddNewService(CLabelList& services, uint32_t label);
    tagProtStat* AddTos(const TosKey& key);
    tagMacEntry* AddMac(const MacAddress& address, int64_t now);
    tagIpEntry* AddIp(const CIpAddress& address, int64_t now);
    tagMacFlowEntries AddMacFlow(const MacAddress& source, const MacAddress& destination, int64_t now, bool swapped);
    tagFlowEntries AddIpFlow(const CIpAddress& source, const CIpAddress& destination, int64_t now,
                             const MacAddress* sourceMac);
    bool Charge(uint64_t bytes);
    void Refuse();
    template <class Key>
    tagMtxEntry* AddPair(PairTable<Key>& matrix, const Key& source, const Key& destination, int64_t now,
                         bool* sourceIsA);

    CMemoryAccount* m_memory;
    tagLimits m_limits;
    std::shared_ptr<CLabelTable> m_labels;
    std::array<tagStatSlot, kStatSlots> m_statSlots{};
    // The last flow of FindOrAddIpFlow, kept only when all three entries exist.
    struct {
        CIpAddress source;
        CIpAddress destination;
        tagFlowEntries entries;
    } m_lastFlow;
};


}  // namespace ortolan
