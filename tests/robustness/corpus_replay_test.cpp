// SPDX-License-Identifier: GPL-3.0-or-later
// Every seed and every input a fuzzer once crashed on goes through the same
// entries the fuzzers drive, so a fixed fault stays fixed in the ordinary build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz_bench.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = ORTOLAN_FUZZ_DIR;

std::vector<uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files of one target's folder under corpus/ or regressions/, sorted.
std::vector<fs::path> InputsOf(const std::string& folder, const std::string& target)
{
    std::vector<fs::path> files;
    fs::path dir = kFuzzDir / folder / target;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FuzzInputs, EveryTargetHasSeeds)
{
    for (const auto& target : CFuzzBench::TargetNames())
        EXPECT_FALSE(InputsOf("corpus", target).empty()) << "no seeds for " << target;
}

// A regression filed under a misspelt folder would silently never run.
TEST(FuzzInputs, RegressionFoldersNameKnownTargets)
{
    fs::path dir = kFuzzDir / "regressions";
    if (!fs::is_directory(dir)) return;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_directory()) continue;
        std::string name = entry.path().filename().string();
        // Targets of parts this build leaves out are not unknown.
        if (name == "flow_log_replay" || name == "status_markup" || name == "snmp_text") continue;
        EXPECT_TRUE(CFuzzBench::HasTarget(name)) << "regressions/" << name;
    }
}

TEST(FuzzInputs, CorpusAndRegressionsReplayCleanly)
{
    CFuzzBench bench;
    size_t replayed = 0;
    for (const auto& target : CFuzzBench::TargetNames())
        for (const char* folder : {"corpus", "regressions"})
            for (const auto& file : InputsOf(folder, target)) {
                auto bytes = ReadAll(file);
                EXPECT_TRUE(bench.Run(target, bytes.data(), bytes.size()))
                    << file << ": " << bench.failure();
                ++replayed;
            }
    EXPECT_GE(replayed, CFuzzBench::TargetNames().size());
}

TEST(FuzzInputs, EveryTruncationOfEverySeedIsSafe)
{
    CFuzzBench bench;
    for (const char* target : {"sflow_datagram", "netflow_datagram", "header_decoder"})
        for (const auto& file : InputsOf("corpus", target)) {
            auto bytes = ReadAll(file);
            for (size_t n = 0; n <= bytes.size(); ++n) {
                // An exact-size copy, so a read past the cut is a read past the buffer.
                std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + ptrdiff_t(n));
                ASSERT_TRUE(bench.Run(target, cut.data(), cut.size()))
                    << file << " cut at " << n << ": " << bench.failure();
            }
        }
}

// Seeds that the decoders reject would leave the fuzzers at the front door.
TEST(FuzzInputs, DatagramSeedsAreDecodedNotRejected)
{
    for (const auto& file : InputsOf("corpus", "sflow_datagram")) {
        auto bytes = ReadAll(file);
        CSFlowMon sflow;
        sflow.FeedDatagram(bytes.data(), bytes.size(), 1'700'000'000, "192.0.2.1", 6343);
        EXPECT_EQ(sflow.rejectedDatagrams, 0u) << file;
        ASSERT_EQ(sflow.ports.size(), 1u) << file;
        const CMonPort& port = *sflow.ports.begin()->second;
        EXPECT_GT(port.sampleCount + int64_t(port.interfaces.size()), 0) << file;
    }
    for (const auto& file : InputsOf("corpus", "netflow_datagram")) {
        auto bytes = ReadAll(file);
        CNFlowMon netflow;
        netflow.FeedDatagram(bytes.data(), bytes.size(), 1'700'000'000, "192.0.2.1", 2055);
        EXPECT_EQ(netflow.rejectedDatagrams, 0u) << file;
        EXPECT_EQ(netflow.ports.size(), 1u) << file;
    }
}

}  // namespace
}  // namespace ortolan
