// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory_costs.h"

#include <map>
#include <string>

#include "mon_port.h"

namespace ortolan::cost {
namespace {

// Swiss tables run between 7/16 and 7/8 full, about 5/8 on average: each entry
// holds 8/5 of a slot and its control byte.
constexpr uint64_t TableShare(uint64_t slot) { return (slot + 1) * 8 / 5; }

// A node table: the entry in its own heap block, a pointer in the table.
template <class K, class V>
constexpr uint64_t NodeEntry()
{
    return HeapBlock(sizeof(std::pair<const K, V>)) + TableShare(sizeof(void*));
}

// A flat table: the entry in the table itself.
template <class K, class V>
constexpr uint64_t FlatEntry()
{
    return TableShare(sizeof(std::pair<const K, V>));
}

// A red-black tree node: colour, three links, then the value.
template <class T>
constexpr uint64_t TreeNode()
{
    return HeapBlock(32 + sizeof(T));
}

constexpr uint64_t TextHeap(size_t length) { return length <= 15 ? 0 : HeapBlock(length + 1); }

// libstdc++'s deque keeps its samples in 512-byte buffers (one sample each
// when larger) and starts with a map of eight buffer pointers and one buffer.
constexpr size_t kDequeBuffer = 512;
constexpr size_t kSamplesPerBuffer =
    sizeof(_tagIf_counters) < kDequeBuffer ? kDequeBuffer / sizeof(_tagIf_counters) : 1;
constexpr uint64_t kEmptyDeque = HeapBlock(8 * sizeof(void*)) + HeapBlock(kSamplesPerBuffer * sizeof(_tagIf_counters));

}  // namespace

uint64_t MacNode() { return NodeEntry<MacAddress, tagMacEntry>(); }
uint64_t IpNode() { return NodeEntry<CIpAddress, tagIpEntry>(); }
uint64_t IpPair() { return IpPairTable::EntryBytes(); }
uint64_t MacPair() { return NodeEntry<PairKey<MacAddress>, tagMacPairEntry>(); }
uint64_t Stat() { return NodeEntry<uint32_t, tagProtStat>(); }
uint64_t Tos() { return FlatEntry<TosKey, tagProtStat>(); }
uint64_t MacSlot(const CMacList& list)
{
    return HeapBlock(CMacList::BlockBytes(list.BlockRoomWithOneMore())) - HeapBlock(CMacList::BlockBytes(list.blockRoom()));
}
uint64_t ServiceSlot(const CLabelList& list, uint32_t label)
{
    return HeapBlock(CLabelList::BlockBytes(list.BlockRoomWith(label))) -
           HeapBlock(CLabelList::BlockBytes(list.blockRoom()));
}

uint64_t Interface() { return TreeNode<std::pair<const uint32_t, tagIfCounter>>() + kEmptyDeque; }

uint64_t HistoryEntry()
{
    return (HeapBlock(kSamplesPerBuffer * sizeof(_tagIf_counters)) + kSamplesPerBuffer - 1) / kSamplesPerBuffer;
}

uint64_t Port(size_t keyLength, size_t agentLength)
{
    return HeapBlock(sizeof(CMonPort)) + TreeNode<std::pair<const std::string, void*>>() + TextHeap(keyLength) +
           TreeNode<std::string>() + TextHeap(agentLength) + TextHeap(agentLength);
}

uint64_t NodeTableEntry(size_t entryBytes) { return HeapBlock(entryBytes) + TableShare(sizeof(void*)); }
uint64_t FlatTableEntry(size_t entryBytes) { return TableShare(entryBytes); }
uint64_t FlatTable(size_t capacity, size_t slotBytes)
{
    if (capacity == 0) return 0;
    return HeapBlock(sizeof(size_t) + (capacity + 16 + 7) / 8 * 8 + capacity * slotBytes);
}
uint64_t HeapArray(size_t bytes) { return HeapBlock(bytes); }
uint64_t Text(size_t length) { return TextHeap(length); }

uint64_t HostName(size_t nameLength)
{
    return FlatTableEntry(sizeof(std::pair<const CIpAddress, std::string>)) + TextHeap(nameLength) + sizeof(CIpAddress);
}

}  // namespace ortolan::cost
