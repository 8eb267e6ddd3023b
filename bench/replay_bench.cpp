// SPDX-License-Identifier: GPL-3.0-or-later
// Replay speed against decoding the same datagrams from memory, measured in
// one run and printed as a ratio. Not a test: timings never fail a build.
//   flowlog_replay_bench [DATAGRAMS]   (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flow_log.h"
#include "replay_feed.h"
#include "test_datagrams.h"

using namespace ortolan;

int main(int argc, char** argv)
{
    size_t count = argc > 1 ? size_t(std::strtoull(argv[1], nullptr, 10)) : 1000000;
    std::vector<std::vector<uint8_t>> samples;
    for (int i = 0; i < 64; ++i)
        samples.push_back(i % 4 == 3 ? testdata::NetFlowV5(uint32_t(i), 1, 1000u * uint32_t(i), 1 + i % 30)
                                     : testdata::SFlowV5(uint8_t(1 + i % 8), uint32_t(i), 1000u * uint32_t(i),
                                                         uint8_t(1 + i % 50), 1000u * uint64_t(i)));
    char pattern[] = "/tmp/ortolan-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    std::string folder = std::string(pattern) + "/";
    {
        std::ofstream out(folder + "FLbench.log", std::ios::binary);
        tagXFlowLog record;
        record.sender = "192.0.2.1";
        record.senderPort = 6343;
        for (size_t i = 0; i < count; ++i) {
            std::vector<uint8_t> d = samples[i % samples.size()];
            record.receivedAt = 1700000000 + int64_t(i / 1000);
            // Fresh sequence numbers, so no datagram is dropped as a repeat.
            size_t at = (i % 4 == 3) ? 16 : 20;
            d[at] = uint8_t(i >> 24);
            d[at + 1] = uint8_t(i >> 16);
            d[at + 2] = uint8_t(i >> 8);
            d[at + 3] = uint8_t(i);
            record.bytes = d;
            out << (i % 4 == 3 ? "N\t" : "S\t") << CFlowLog::FormatLogLine(record) << '\n';
        }
    }

    using Clock = std::chrono::steady_clock;
    CNFlowMon netflow;
    CSFlowMon sflow;
    auto start = Clock::now();
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes = samples[i % samples.size()];
        size_t at = (i % 4 == 3) ? 16 : 20;
        bytes[at] = uint8_t(i >> 24);
        bytes[at + 1] = uint8_t(i >> 16);
        bytes[at + 2] = uint8_t(i >> 8);
        bytes[at + 3] = uint8_t(i);
        CFlowCollector& c = i % 4 == 3 ? static_cast<CFlowCollector&>(netflow) : sflow;
        c.FeedDatagram(bytes.data(), bytes.size(), 1700000000 + int64_t(i / 1000), "192.0.2.1", 6343);
    }
    double direct = std::chrono::duration<double>(Clock::now() - start).count();

    CNFlowMon replayNetflow;
    CSFlowMon replaySflow;
    CFlowLog log(folder);
    start = Clock::now();
    log.ReplayLog("FLbench.log", ReplayFeed(replayNetflow, replaySflow), 60, {});
    double replay = std::chrono::duration<double>(Clock::now() - start).count();
    std::filesystem::remove_all(folder);

    std::printf("datagrams %zu\ndirect decoding %.0f/s\nreplay %.0f/s\nreplay/direct time %.2f\n", count,
                double(count) / direct, double(count) / replay, replay / direct);
    return replaySflow.datagramCount + replayNetflow.datagramCount == count ? 0 : 1;
}
