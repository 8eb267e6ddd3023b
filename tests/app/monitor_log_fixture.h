// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A flow log of half an hour from three sFlow agents and one NetFlow
// exporter, for tests that replay a realistic day into the window.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "datagram_builder.h"

namespace ortolan::testing {

inline std::string HexOf(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Writes the log to path: one datagram per port every 30 seconds from start.
inline void WriteSampleLog(const std::string& path, int64_t start, int minutes = 30)
{
    std::ofstream log(path);
    for (int step = 0; step < minutes * 2; ++step) {
        int64_t t = start + step * 30;
        uint32_t uptime = uint32_t(1000 + step * 30000);
        for (uint8_t agent = 1; agent <= 3; ++agent) {
            std::vector<std::vector<uint8_t>> samples;
            for (int i = 0; i < 4 + (step + agent) % 5; ++i) {
                FrameSpec frame;
                frame.src[2] = agent;
                frame.src[3] = uint8_t(1 + (step * 7 + i) % (10 * agent));
                frame.srcMac[5] = frame.src[3];
                frame.dst[3] = uint8_t(200 + i);
                frame.dport = uint16_t(i % 2 ? 443 : 53);
                frame.protocol = uint8_t(i % 2 ? 6 : 17);
                samples.push_back(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(frame), 60 + 100 * i)}));
            }
            IfCounters c;
            c.inUcast = uint32_t(step * (900 + 300 * agent) + (step % 4) * 400);
            c.inOctets = uint64_t(c.inUcast) * (400 + 150 * agent);
            samples.push_back(CounterSampleV5(c));
            Bytes b = SflowV5Header(uint32_t(step + 1), uint32_t(samples.size()), 0, {10, 0, 0, agent}, uptime);
            for (const auto& s : samples) b.raw(s);
            log << "S\t" << t << "\t10.0.0." << int(agent) << "\t6343\t" << HexOf(b.data()) << "\n";
        }
        FlowSpec flow;
        flow.packets = uint32_t(500 + step * 10);
        flow.octets = flow.packets * 800;
        log << "N\t" << t << "\t10.0.0.9\t2055\t" << HexOf(NetflowV5(uint32_t(step + 1), {flow}, 0, -1, uptime))
            << "\n";
    }
}

}  // namespace ortolan::testing
