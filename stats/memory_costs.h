// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each kind of thing the tables keep costs in bytes, as the containers
// allocate it (glibc malloc, libstdc++, Abseil's Swiss tables): the one place
// these figures live. A test measures them against the allocator, so a change
// of container or record shows up there.
#include <cstddef>
#include <cstdint>

namespace ortolan {
class CLabelList;
class CMacList;
}

namespace ortolan::cost {

// A glibc heap block for a request of n bytes: n plus 8, rounded up to 16, at least 32.
constexpr uint64_t HeapBlock(uint64_t n) { return n == 0 ? 0 : (n + 8 + 15) / 16 * 16 < 32 ? 32 : (n + 8 + 15) / 16 * 16; }

uint64_t MacNode();
uint64_t IpNode();
uint64_t IpPair();
uint64_t MacPair();
uint64_t Stat();
uint64_t Tos();
// One more MAC in an IP node's list: nothing while it fits, then the growth
// of the list's block.
uint64_t MacSlot(const CMacList& list);
// One more label in a services list: nothing while it fits, then the growth
// of the list's block.
uint64_t ServiceSlot(const CLabelList& list, uint32_t label);
// A new interface record with its empty history, and one history sample.
uint64_t Interface();
uint64_t HistoryEntry();
// A port: the statistics object, its key in the collector's map and its agent.
uint64_t Port(size_t keyLength, size_t agentLength);
// Building blocks for tables kept outside the statistics (the NetFlow
// templates): an entry of `entryBytes` in a node table, an array of `bytes`
// on the heap, and a text of `length` characters.
uint64_t NodeTableEntry(size_t entryBytes);
// An entry of `entryBytes` in a flat table that grows with its entries.
uint64_t FlatTableEntry(size_t entryBytes);
// The storage of a flat table of `capacity` slots of `slotBytes`: the slots,
// a control byte each and a group's worth more, and the table's growth count.
uint64_t FlatTable(size_t capacity, size_t slotBytes);
uint64_t HeapArray(size_t bytes);
uint64_t Text(size_t length);
// A reverse look-up's answer in the controller's host-name cache: the entry of
// the binary address and its name, and the address again in the cache's age order.
uint64_t HostName(size_t nameLength);

}  // namespace ortolan::cost
