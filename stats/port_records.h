// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The entry records of one monitored port. Packet counts are 64-bit: at tens of
// thousands of samples a second a 32-bit count overflows within a week.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "label_list.h"
#include "mac_list.h"
#include "node_key.h"

namespace ortolan {

// Adds to a count that a sender can drive to the top of its range (spoofed
// frame lengths, NetFlow v9 and IPFIX 64-bit counts): it stays there rather
// than overflowing.
inline void SaturatingAdd(int64_t& total, int64_t amount)
{
    if (__builtin_add_overflow(total, amount, &total)) total = INT64_MAX;
}

// Entries hold counts only; their keys are binary (node_key.h) and every text
// is formed where it is shown.
struct tagMacEntry {
    int64_t rxPackets = 0;
    int64_t rxBytes = 0;
    int64_t txPackets = 0;
    int64_t txBytes = 0;
    int64_t firstSeen = 0;
    int64_t lastSeen = 0;
};

struct tagIpEntry {
    int64_t rxPackets = 0;
    int64_t rxBytes = 0;
    int64_t txPackets = 0;
    int64_t txBytes = 0;
    int64_t firstSeen = 0;
    int64_t lastSeen = 0;
    // Label numbers of "%s/tcp", "%s/tcp?", "%s/udp", "%s/udp?", "%s/icmp".
    CLabelList services;
    // Source MACs of frames that carried packets from this node, ascending
    // (which is also the byte-wise order of their texts).
    CMacList macs;
};

// One conversation pair. Its key holds the two sides in binary order; the
// user's A side is the byte-wise smaller address text.
struct tagMtxEntry {
    int64_t packetsAtoB = 0;
    int64_t bytesAtoB = 0;
    int64_t packetsBtoA = 0;
    int64_t bytesBtoA = 0;
    int64_t firstSeen = 0;
    int64_t lastSeen = 0;
    CLabelList services;  // IP pairs only, label numbers
    bool lowIsA = true;              // the key's low side is the A side
};

// A MAC pair also keeps where its two nodes are, so a sampled frame finds all
// three entries with one look-up. Nodes are never removed apart from the whole
// port, so the pointers stay valid; null until both nodes exist.
struct tagMacPairEntry : tagMtxEntry {
    tagMacEntry* lowNode = nullptr;  // the node of the key's low side
    tagMacEntry* highNode = nullptr;
};

struct tagProtStat {
    int64_t packets = 0;
    int64_t bytes = 0;
};

struct tagSizeClass {
    std::string label;
    int64_t packets = 0;
    int64_t bytes = 0;
};

// The sampling rates of what one port counted. While every record that
// carried a rate carried the same one, `rate` is it; records (sFlow: sampled
// headers) with no rate are counted apart, their figures stand as counted and
// make any scaled figure a lower bound.
struct tagSamplingSeen {
    uint32_t rate = 0;      // the first rate seen, every rated record's while !Mixed(); 0 before any
    uint32_t lowest = 0;    // the smallest and largest rate seen; 0 before the first
    uint32_t highest = 0;
    uint64_t ratedRecords = 0;
    uint64_t unscaledRecords = 0;

    // One record's rate; 0 for none.
    void Note(uint32_t r)
    {
        if (r == 0) {
            ++unscaledRecords;
            return;
        }
        if (r == rate) {
            ++ratedRecords;
            return;
        }
        NoteOther(r);
    }
    bool Mixed() const { return lowest != highest; }

private:
    void NoteOther(uint32_t r)
    {
        if (ratedRecords == 0) {
            rate = lowest = highest = r;
        } else {
            if (r < lowest) lowest = r;
            if (r > highest) highest = r;
        }
        ++ratedRecords;
    }
};

// One interface counter sample: the generic interface counters of sFlow, or the
// sums NetFlow builds from flows, plus when and at which agent uptime it was taken.
struct _tagIf_counters {
    uint32_t ifIndex = 0;
    uint32_t ifType = 0;
    uint64_t ifSpeed = 0;
    uint32_t ifDirection = 0;
    uint32_t ifStatus = 0;
    uint64_t ifInOctets = 0;
    // Packet counts are 64-bit: sFlow fills them from 32-bit wire counters, but
    // NetFlow builds them by adding flows, which passes 2^32 within an interval.
    uint64_t ifInUcastPkts = 0;
    uint64_t ifInMulticastPkts = 0;
    uint64_t ifInBroadcastPkts = 0;
    uint32_t ifInDiscards = 0;
    uint32_t ifInErrors = 0;
    uint32_t ifInUnknownProtos = 0;
    uint64_t ifOutOctets = 0;
    uint64_t ifOutUcastPkts = 0;
    uint64_t ifOutMulticastPkts = 0;
    uint64_t ifOutBroadcastPkts = 0;
    uint32_t ifOutDiscards = 0;
    uint32_t ifOutErrors = 0;
    uint32_t ifPromiscuousMode = 0;
    uint32_t agentUptime = 0;  // ms
    int64_t sampleTime = 0;    // seconds since 1970
};

// Hourly history keeps one week.
inline constexpr size_t kHistoryHours = 168;

// Outbound figures of the NetFlow records whose output is every interface (65535).
struct tagOutboundSums {
    uint64_t octets = 0;
    uint64_t unicast = 0;
    uint64_t multicast = 0;
    uint64_t broadcast = 0;
};

struct tagIfCounter {
    _tagIf_counters current;
    _tagIf_counters previous;
    _tagIf_counters base;
    std::deque<_tagIf_counters> history;  // oldest first, at most kHistoryHours
    int32_t hourStamp = 0;
    // How far the port's every-interface sums were folded into current
    // (CInterfaceTable::Sync): the record count and the sums at that fold.
    uint64_t allRecordsSeen = 0;
    tagOutboundSums allSeen;
};

}  // namespace ortolan
