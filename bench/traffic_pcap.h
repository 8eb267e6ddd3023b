// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A capture file of made-up LAN traffic for the exporters to turn into flow
// datagrams: thousands of hosts in 10.1.0.0/16, TCP, UDP and ICMP flows of a few
// packets each, a third of the hosts behind 802.1Q tags, a few DSCP values.
// Frames are stored cut to the snapshot length with their real lengths, so a
// capture of hundreds of thousands of frames stays a few tens of MB.
#include <cstdint>
#include <string>

namespace ortolan {

struct tagTrafficShape {
    uint32_t hosts = 4000;
    uint32_t servers = 200;       // the first hosts also serve
    uint32_t frames = 300000;
    uint32_t activeFlows = 2000;  // flows interleaved at any moment
    uint32_t frameGapMicros = 1000;
    uint32_t seed = 9;
    uint32_t snapLength = 128;
};

class CTrafficPcap {
public:
    explicit CTrafficPcap(const tagTrafficShape& shape) : m_shape(shape) {}
    // Writes the capture (link type Ethernet); false when the file cannot be written.
    bool Write(const std::string& path, uint32_t firstSecond) const;

private:
    tagTrafficShape m_shape;
};

}  // namespace ortolan
